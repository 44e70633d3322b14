// The display: the demo window's renderer, the back buffer of the chosen mode
// that the 320 x 200 working surface is stretched onto, presenting with frame
// pacing, and the device and mode lists of the launcher. A memory display
// (no window) serves lockstep capture: surface_back is then a plain pixel
// buffer of the capture size.
#pragma once

#include "data/surface.h"

#include <string>
#include <vector>

struct SDL_Window;

// How a picture is scaled to a larger one.
enum ScaleFilter {
    FILTER_SHARP,   // nearest to the largest whole multiple, then linear to the final size
    FILTER_NEAREST, // nearest neighbour
    FILTER_LINEAR   // bilinear
};

// How flip_primary paces the show.
enum FramePacing {
    PACE_60,       // 60 frames a second
    PACE_VSYNC,    // the display's refresh
    PACE_UNLIMITED // no waiting
};

extern int display_filter;   // ScaleFilter
extern int display_pacing;   // FramePacing; read by init_display
extern int display_windowed; // 1: a window of the mode's size instead of full screen

// The chosen display and mode. selected_device -1 is the primary display.
extern ModeRecord selected_mode;
extern int selected_device;

// A 32-bit RGB mode record (masks 0xFF0000, 0xFF00, 0xFF; default refresh).
ModeRecord make_mode(uint32_t width, uint32_t height);

// Sets up the display on window: its renderer, surface_primary (the window's
// output), surface_back (a render target of the mode's size) and
// surface_virtual1. On failure shows the "DDRAW" message of the failing step,
// releases what it made and returns 0.
int init_display(SDL_Window* window, int device, const ModeRecord& mode);

// Switches the display's window between full screen (full 1) and a window of
// the chosen mode's size; display_windowed follows. Returns 0 when the window
// system refused.
int set_display_full_screen(SDL_Window* window, int full);

// A display without a window: surface_back a memory surface of width x height,
// surface_virtual1 the working surface; flip_primary does nothing.
int init_memory_display(uint32_t width, uint32_t height);

// Releases everything init_display or init_memory_display made; harmless when
// there is nothing to release.
void release_display();

// The display's own 32-bit modes 320 or 640 pixels wide, plus 320x200,
// 320x240, 640x400 and 640x480, sorted by width, height and refresh.
std::vector<ModeRecord> list_display_modes(int device);
// The names of the displays; at least one entry.
std::vector<std::string> list_display_devices();

// Copies a width x height block of pixels 1:1 onto surface at (x, y), clipped
// to the surface. Returns 0 when the surface cannot be written.
int put_pixels(Surface* surface, int x, int y, const uint32_t* pixels, int width, int height);

// The surface's pixels (memory or display), width x height without gaps.
int read_surface_pixels(Surface* surface, std::vector<uint32_t>* out);

// Scales a sw x sh picture onto a dw x dh one with the given filter.
void scale_pixels(const uint32_t* source, int sw, int sh, uint32_t* destination, int dw, int dh,
                  int filter);

// A message the user must see: a message box, or the caption and text on
// stderr when there is no display to show it on.
void show_message(const char* caption, const char* text, int is_error);
// The last message shown (tests).
extern std::string last_message_caption;
extern std::string last_message_text;
