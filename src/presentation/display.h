// The display surfaces of a show: a window's (the platform's video opened for
// the chosen mode, its back buffer a memory surface of the mode's size that
// flip_primary presents) or a memory display without a window for lockstep
// capture (surface_back a plain buffer of the capture size, flip_primary
// shows nothing). Either way surface_virtual1 is the 320 x 200 working
// surface.
#pragma once

#include "data/surface.h"

// The chosen display and mode. selected_device -1 is the primary display.
extern ModeRecord selected_mode;
extern int selected_device;

// Opens the platform's window for mode on device and makes surface_primary
// (a record of the window, without pixels), surface_back (the mode's size)
// and surface_virtual1. Returns 1; as video_open, 0 when no window could be
// made and -1 after the "DDRAW" message of a failed step.
int init_display(int device, const ModeRecord& mode);

// A display without a window: surface_back a memory surface of width x height,
// surface_virtual1 the working surface; flip_primary does nothing.
int init_memory_display(uint32_t width, uint32_t height);

// Releases everything init_display or init_memory_display made, the window
// too; harmless when there is nothing to release.
void release_display();

// Shows surface_back on the window, paced. Returns 0 when nothing was shown.
int flip_primary();
