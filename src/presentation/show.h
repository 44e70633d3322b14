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

// --loop: the orders played over and over.
struct ShowLoop {
    int on;
    uint32_t first, last;
};

// What a run of the show is asked for, in one record: made from the command
// line by the program's entry, by the page, by the dialog (nosound) or a
// test, read when the show starts and by the live loop.
struct ShowOptions {
    int filter = -1;   // display_filter while the show runs; -1 leaves it
    int pacing = -1;   // display_pacing of the show's window; -1 leaves it
    int windowed = -1; // display_windowed of the show's window; -1 leaves it
    // Sound output 3 whatever the stored setting (--nosound, or the dialog
    // after an output failed to open).
    int nosound = 0;
    // A show started without the dialog: when the sound output cannot be
    // opened, one line on stderr and the show plays on without sound (the
    // cuts kept) instead of ending.
    int sound_fallback = 0;
    uint32_t start_order = 0; // reached unseen, as a seek
    int watch = 0;            // --watch
    ShowLoop loop = {0, 0, 0};
};
extern ShowOptions show_options;

// The display's part of options, before the display is made: the filter, and
// the pacing and shape the platform reads when the window opens.
void apply_display_options(const ShowOptions& options);

// Everything a show needs once its display is made: the assets and tables
// for mode, the sound output of options (nosound: none; on failure, with
// sound_fallback, no sound instead and one line on stderr; without, the
// "FSOUND" message and 0 after freeing what it loaded), the song from the
// start at the start volume.
int start_show(const ModeRecord& mode, const ShowOptions& options);

// Frees the assets, the tables, the song and the sound library.
void stop_show();

// Whether the song has gone past the loop's last order, or reached the end of
// the show (a loop running past the song's end): the show goes back to the
// loop's first before it draws another frame.
int show_loop_turns();
