#include "presentation/fps_text.h"

#include "presentation/display.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

int show_fps = 0;
uint32_t fps_value = 0;
uint32_t fps_frames = 0;
uint32_t fps_start_ms = 0;

// The font of the frame-rate text, "FPS" and the digits: 5 x 7 glyphs in
// cells of 6 x 9 (a column and two rows of space); each row of a glyph has its
// leftmost column in bit 4.
constexpr int GLYPH_WIDTH = 5;
constexpr int GLYPH_HEIGHT = 7;
constexpr int TEXT_CELL_WIDTH = 6;
constexpr int TEXT_CELL_HEIGHT = 9;

struct Glyph {
    char c;
    uint8_t rows[GLYPH_HEIGHT];
};

// clang-format off
static const Glyph font_glyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
};
// clang-format on

// The text box of draw_fps, kept between frames.
static std::vector<uint32_t> fps_box;

void count_fps_frame(uint32_t now_ms) {
    fps_frames++;
    const uint32_t elapsed = now_ms - fps_start_ms;
    if (elapsed > 1000) {
        fps_value = fps_frames * 1000 / elapsed;
        fps_start_ms = now_ms;
        fps_frames = 0;
    }
}

// The seven rows of a glyph; nullptr for a character the font lacks (a space,
// say), which is left blank.
static const uint8_t* glyph_rows(char c) {
    for (const Glyph& g : font_glyphs)
        if (g.c == c) return g.rows;
    return nullptr;
}

// Size of the box draw_text_box fills: a column of space at the left and a
// cell per character, every font pixel scale x scale screen pixels.
static int text_box_width(const char* text, int scale) {
    return (1 + int(std::strlen(text)) * TEXT_CELL_WIDTH) * scale;
}

static int text_box_height(int scale) {
    return TEXT_CELL_HEIGHT * scale;
}

// Fills the clipped part of a rectangle of the picture.
static void fill_box(uint32_t* pixels, int pitch, int width, int height, int x, int y, int w, int h,
                     uint32_t colour) {
    const int x0 = std::max(0, x), x1 = std::min(width, x + w);
    const int y0 = std::max(0, y), y1 = std::min(height, y + h);
    for (int row = y0; row < y1; row++)
        std::fill(pixels + size_t(row) * pitch + x0,
                  pixels + size_t(row) * pitch + std::max(x0, x1), colour);
}

// Draws text in ink on a box of paper with its top-left corner at (x, y) into
// a width x height picture of pitch pixels a row, clipped to the picture.
static void draw_text_box(uint32_t* pixels, int pitch, int width, int height, int x, int y,
                          const char* text, int scale, uint32_t ink, uint32_t paper) {
    if (!pixels || !text || scale < 1) return;
    fill_box(pixels, pitch, width, height, x, y, text_box_width(text, scale),
             text_box_height(scale), paper);
    int cell_x = x + scale;
    for (const char* c = text; *c; c++, cell_x += TEXT_CELL_WIDTH * scale) {
        const uint8_t* rows = glyph_rows(*c);
        if (!rows) continue;
        for (int gy = 0; gy < GLYPH_HEIGHT; gy++)
            for (int gx = 0; gx < GLYPH_WIDTH; gx++)
                if (rows[gy] & (0x10 >> gx))
                    fill_box(pixels, pitch, width, height, cell_x + gx * scale,
                             y + (gy + 1) * scale, scale, scale, ink);
    }
}

void draw_fps() {
    if (!surface_back) return;
    char text[256];
    std::snprintf(text, sizeof text, "FPS %u", fps_value);
    const int scale = std::max(1, int(surface_back->height) / 240);
    const int w = text_box_width(text, scale), h = text_box_height(scale);
    fps_box.resize(size_t(w) * h);
    draw_text_box(fps_box.data(), w, w, h, 0, 0, text, scale, 0xFFFFFF, 0x000000);
    put_pixels(surface_back, 0, 0, fps_box.data(), w, h);
}
