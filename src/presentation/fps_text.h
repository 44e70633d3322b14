// The show's frame-rate counter and its text.
#pragma once

#include <cstdint>

extern int show_fps;          // toggled by Enter; 1 draws the text
extern uint32_t fps_value;    // last computed frames per second
extern uint32_t fps_frames;   // frames begun since the last update
extern uint32_t fps_start_ms; // time of the last update, milliseconds

// Counts one frame begun at now_ms. More than one second after the last
// update, fps_value becomes frames * 1000 / elapsed (rounded down) and the
// count starts again from now_ms.
void count_fps_frame(uint32_t now_ms);

// "FPS <fps_value>" in white on a black box at the top-left of surface_back,
// at the back buffer's resolution.
void draw_fps();
