// One frame of the show: the song's share (in lockstep), the director's
// scene and, after a seek, the frame it left waiting.
#pragma once

#include <cstddef>

// In lockstep, renders the song's next frame share into
// demo_lockstep_samples, and keeps the show's state when the song has just
// reached a new order (kept_states.h); returns the sample frames rendered (0
// outside lockstep and once the song has ended).
size_t advance_show_music();

// The director's frame of the song's position into surface_back; at the
// end of the show the close is requested.
void draw_show_frame();

// Takes the frame a seek left waiting: 1 when there was one.
int take_waiting_frame();

// The next frame into surface_back: the waiting one, or the song's share and
// the director's frame.
void next_show_frame();
