// What the web platform keeps for the page's entry: the frame it shows, the
// keys the page hands over, the sound the page pulls.
#pragma once

#include "platform/input.h"

#include <cstddef>
#include <cstdint>

// The last frame presented, 320 x 200 RGBA bytes (R, G, B, 255) for a canvas.
const uint8_t* web_frame_rgba();

// A key pressed on the page.
void web_push_key(ShowKey key);
// The page shown (1) or hidden (0): the show's window gains or loses the focus.
void web_push_shown(int shown);

// Renders up to frames sample frames of interleaved stereo into out from the
// open sound device; 0 when none is open.
size_t web_sound_pull(int16_t* out, size_t frames);
// The sample frame, of all pulled so far, that the page's audio clock says is
// leaving the speakers now.
void web_sound_heard(double frame);
