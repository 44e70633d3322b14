// The platform's window, as the show sees it: opened for a display mode,
// shown a finished back buffer each frame, switched between full screen and
// a window. The show's pixels are all made before they get here; a platform
// only scales the back buffer to its screen (keeping its shape, with
// display_filter) and paces the frames. One implementation per platform
// (SDL, the web page, none).
#pragma once

#include "data/surface.h"

#include <string>
#include <vector>

// How video_present paces the show.
enum FramePacing {
    PACE_60,       // 60 frames a second
    PACE_VSYNC,    // the display's refresh
    PACE_UNLIMITED // no waiting
};

extern int display_pacing;   // FramePacing; read when the window opens
extern int display_windowed; // 1: a window of the mode's size instead of full screen
// The keys that switch full screen here, as the key overlay names them.
extern const char* const video_full_screen_keys;
// The keys that end the show, as the key overlay names them.
extern const char* const video_end_keys;

// Whether the environment names a display to show windows on.
bool have_display();

// Opens the video system on the display the environment names; false when
// there is none or it does not open.
bool open_show_display();

// Opens the show's window on device (-1 the primary display) for mode, full
// screen unless display_windowed. Returns 1; 0 when no window could be made;
// -1 when a later step failed, after showing its "DDRAW" message and closing
// what it made.
int video_open(int device, const ModeRecord& mode);
// Closes the window; harmless when none is open.
void video_close();
int video_is_open();

// Shows a back buffer of the mode's size, centred on the window with its
// aspect kept, and waits for the next frame as display_pacing says.
// Returns 0 when nothing could be shown.
int video_present(const Surface* back);

// Full screen (full 1) or a window of the mode's size; display_windowed
// follows. Returns 0 when the window system refused.
int video_set_full_screen(int full);

// A full-screen show steps out of the way while inactive (minimised) and
// comes back when active again.
void video_set_active(int active);

// The display's own 32-bit modes 320 or 640 pixels wide, plus 320x200,
// 320x240, 640x400 and 640x480, sorted by width, height and refresh.
std::vector<ModeRecord> list_display_modes(int device);
// The size of the primary display's desktop; 0 when it is not known.
int video_desktop_size(int* width, int* height);
// The names of the displays; at least one entry.
std::vector<std::string> list_display_devices();

// A message box in front of the show's window while one is open; 0 when
// there is no display to show it on.
int video_message_box(const char* caption, const char* text, int is_error);
// A message the user must see: video_message_box, or the caption and text on
// stderr when there is no display to show it on.
void show_message(const char* caption, const char* text, int is_error);
// The last message shown (tests).
extern std::string last_message_caption;
extern std::string last_message_text;

// Before anything of the platform: SIGINT and SIGTERM stay the program's own
// to handle. platform_end closes whatever of it is still open.
void platform_start();
void platform_end();
