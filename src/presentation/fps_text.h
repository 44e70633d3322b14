// The show's frame-rate counter and the small bitmap font it is written in.
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

// The font: 5 x 7 glyphs in cells of 6 x 9 (a column and two rows of space).
constexpr int GLYPH_WIDTH = 5;
constexpr int GLYPH_HEIGHT = 7;
constexpr int TEXT_CELL_WIDTH = 6;
constexpr int TEXT_CELL_HEIGHT = 9;

// The seven rows of a glyph, bit 4 the leftmost column; lower-case letters
// give their capitals; nullptr for a character the font lacks (drawn blank).
const uint8_t* glyph_rows(char c);

// Size of the box draw_text_box fills: a column of space at the left and a
// cell per character, every font pixel scale x scale screen pixels.
int text_box_width(const char* text, int scale);
int text_box_height(int scale);

// Draws text in ink on a box of paper with its top-left corner at (x, y) into
// a width x height picture of pitch pixels a row, clipped to the picture.
void draw_text_box(uint32_t* pixels, int pitch, int width, int height, int x, int y,
                   const char* text, int scale, uint32_t ink, uint32_t paper);
