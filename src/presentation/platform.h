// The video system's part in the program's start and end: signals left to the
// program, and the live show's display opened only where the environment
// names one.
#pragma once

// Before anything of the video system: SIGINT and SIGTERM stay the program's
// own to handle.
void platform_start();

// Whether the environment names a display to show windows on.
bool have_display();

// Opens the video system on the display the environment names (DISPLAY or
// WAYLAND_DISPLAY), or on the driver SDL_VIDEODRIVER names; false when there
// is none or it does not open.
bool open_show_display();

// Closes whatever of the video and sound systems is still open.
void platform_end();
