// The show's start, frame and end, one sequence each, shared by every way of
// running it: the live show in a window, lockstep capture and the benchmark,
// and the dialog's sound test. A frame is the song's share (in lockstep), the
// director's scene and, after a seek, the frame it left waiting.
#pragma once

#include "data/surface.h"
#include "presentation/show_frame.h"
#include "presentation/show_song.h"

#include <cstdint>

// The sound library opened for output with the stored driver, mixer and
// rate (closed first). Returns what FSOUND_Init returns.
int open_show_sound(int output);

// Everything a show needs once its display is made: the assets and tables
// for mode, the sound output (on failure, with fall_back, no sound instead
// and one line on stderr; without, the "FSOUND" message and 0 after freeing
// what it loaded), the song from the start at the start volume.
int start_show(const ModeRecord& mode, int output, int fall_back);

// Frees the assets, the tables, the song and the sound library.
void stop_show();

// --loop: the orders played over and over.
struct ShowLoop {
    int on;
    uint32_t first, last;
};
extern ShowLoop show_loop;
// Whether the song has gone past the loop's last order, or reached the end of
// the show (a loop running past the song's end): the show goes back to the
// loop's first before it draws another frame.
int show_loop_turns();
