// The live show: its window, the start-up, the frame loop over the
// platform's events and the shut-down. Everything here is the show's own
// logic (the show clock, pause, seeking with its progress bar, the keys);
// the platform only gives the window, the events and the sound device.
#pragma once

#include "presentation/show.h"

#include <cstdint>
#include <cstdio>
#include <string>

extern int app_active; // 1 while the show has the focus; frames are drawn only then

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

// The scene list, formatted here alone: every part with its start and length
// in seconds at song's tempo (none: 0), as the terminal's table of orders,
// key, start, length and name (SCENES_TABLE), or as the page's lines of first
// order, key, name and start, tab-separated, the end of the show last (SCENES_PAGE).
enum SceneListLayout { SCENES_TABLE, SCENES_PAGE };
std::string scene_list_text(MusicSong* song, SceneListLayout layout);
