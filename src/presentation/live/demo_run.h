// The live show: its window, the start-up, the frame loop over the
// platform's events and the shut-down. Everything here is the show's own
// logic (the show clock, pause, seeking with its progress bar, the keys);
// the platform only gives the window, the events and the sound device.
#pragma once

#include "presentation/show.h"

#include <cstdint>
#include <cstdio>

extern int app_active; // 1 while the show has the focus; frames are drawn only then

// Options of this run: sound output 3 whatever the stored setting (--nosound,
// or the dialog after an output failed to open); the order the show starts at
// (the frames before it computed without being shown).
extern int demo_nosound;
// Set for a show started without the dialog: when the sound output cannot be
// opened, one line on stderr and the show plays on without sound (the cuts
// kept) instead of ending.
extern int demo_sound_fallback;
extern uint32_t demo_start_order;

// 1 while Space has paused the show: the music stands, the last picture is
// drawn again every frame.
extern int demo_paused;

// The whole show: start-up, frame loop, shut-down. Returns 0 after the show
// ran, 1 when the window, the display or the sound output failed.
int run_demo();

// The parts of run_demo, for the platform's own loop and for tests.
// start_demo returns what run_demo would when it fails, or -1 when the show
// is running; frame_loop_pass handles every waiting event and then draws one
// frame (while a seek catches up, a slice of it and its progress; while
// inactive, it waits for an event) and returns 0 once the show has ended;
// shut_down_demo frees everything and stores the settings.
int start_demo();
int frame_loop_pass();
void shut_down_demo();

// "Test GFX": the chosen mode shown on device (a test picture), and back to
// the desktop. open_test_display returns 1 when the mode is shown, 0 when the
// window cannot be made, -1 when the display layer has already said why.
int open_test_display(int device, const ModeRecord& mode);
void close_test_display();

// The scene table with the start and length of every scene in seconds at the
// module's tempo.
void print_scene_list(MusicSong* song, std::FILE* out);
