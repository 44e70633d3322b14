// The texts the show draws on the display at its resolution: the frame-rate
// counter and its text, the key overlay, the pause sign, the catch-up progress
// bar and a notice line.
#pragma once

#include <cstdint>

extern int show_fps;          // toggled by Enter; 1 draws the text
extern int show_keys;         // toggled by F1; 1 draws the key overlay
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

// The keys of the show in a box near the top-left of surface_back; the box
// (display pixels) is given by key_overlay_box.
void draw_key_overlay();
void key_overlay_box(int* x, int* y, int* width, int* height);

// One line of text at the bottom-left of surface_back, in capitals (what the
// font lacks is left blank), cut at the frame's edge.
void draw_notice(const char* text);

// The pause sign, two bars on a dark square at the top-right of surface_back
// (its box in display pixels: pause_sign_box); only the presented frame gets
// it, never the show's working surface.
void draw_pause_sign();
void pause_sign_box(int* x, int* y, int* width, int* height);

// "TO PART <order>" over a bar filled done / total, centred on surface_back.
void draw_progress_bar(uint32_t order, uint32_t done, uint32_t total);
