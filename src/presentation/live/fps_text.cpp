// The show's texts in a small bitmap font of our own, drawn at the back
// buffer's resolution through put_pixels.
#include "presentation/live/fps_text.h"

#include "platform/video.h"
#include "presentation/display.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int show_fps = 0;
int show_keys = 0;
uint32_t fps_value = 0;
uint32_t fps_frames = 0;
uint32_t fps_start_ms = 0;

// The font of the texts on the display, capitals, digits and a little
// punctuation: 5 x 7 glyphs in
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
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}},
    {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'+', {0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'/', {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
};
// clang-format on

// The picture of a text or the progress bar, kept between frames.
static std::vector<uint32_t> fps_box;

// The key overlay: key names, then what they do, in two columns.
// clang-format off
static const char* const key_lines[][2] = {
    {nullptr, "END THE SHOW"},        // video_end_keys
    {"ENTER", "FRAME RATE"},
    {nullptr, "FULL SCREEN / WINDOW"}, // video_full_screen_keys
    {"SPACE", "PAUSE / GO ON"},
    {"RIGHT PGDN", "NEXT PART"},
    {"LEFT PGUP", "RESTART PART"},
    {"F1", "THESE KEYS"},
};
// clang-format on
constexpr int KEY_LINE_COUNT = int(sizeof key_lines / sizeof key_lines[0]);
constexpr int KEY_COLUMN = 14; // characters of the first column

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

// Font pixels are this many display pixels: 1 up to 479 lines, then one more
// for every 240.
static int display_text_scale() {
    return std::max(1, int(surface_back->height) / 240);
}

void draw_fps() {
    if (!surface_back) return;
    char text[256];
    std::snprintf(text, sizeof text, "FPS %u", fps_value);
    const int scale = display_text_scale();
    const int w = text_box_width(text, scale), h = text_box_height(scale);
    fps_box.resize(size_t(w) * h);
    draw_text_box(fps_box.data(), w, w, h, 0, 0, text, scale, 0xFFFFFF, 0x000000);
    put_pixels(surface_back, 0, 0, fps_box.data(), w, h);
}

void key_overlay_box(int* x, int* y, int* width, int* height) {
    const int scale = surface_back ? display_text_scale() : 1;
    *width = (1 + (KEY_COLUMN + 23) * TEXT_CELL_WIDTH) * scale;
    *height = (KEY_LINE_COUNT * TEXT_CELL_HEIGHT + 2) * scale;
    *x = 2 * TEXT_CELL_HEIGHT * scale;
    *y = 2 * TEXT_CELL_HEIGHT * scale;
}

void draw_key_overlay() {
    if (!surface_back) return;
    const int scale = display_text_scale();
    int x, y, w, h;
    key_overlay_box(&x, &y, &w, &h);
    fps_box.assign(size_t(w) * h, 0);
    for (int line = 0; line < KEY_LINE_COUNT; line++) {
        const int ty = (1 + line * TEXT_CELL_HEIGHT) * scale;
        const char* keys = key_lines[line][0] ? key_lines[line][0]
                           : line == 0        ? video_end_keys
                                              : video_full_screen_keys;
        draw_text_box(fps_box.data(), w, w, h, 0, ty, keys, scale, 0xFFFF80, 0);
        draw_text_box(fps_box.data(), w, w, h, KEY_COLUMN * TEXT_CELL_WIDTH * scale, ty,
                      key_lines[line][1], scale, 0xFFFFFF, 0);
    }
    put_pixels(surface_back, x, y, fps_box.data(), w, h);
}

void draw_progress_bar(uint32_t order, uint32_t done, uint32_t total) {
    if (!surface_back) return;
    const int scale = display_text_scale();
    const int bw = int(surface_back->width), bh = int(surface_back->height);
    char text[64];
    std::snprintf(text, sizeof text, "TO PART %u", order);
    const int w = std::max(bw / 2, text_box_width(text, scale));
    const int bar = 4 * scale, h = text_box_height(scale) + bar + 2 * scale;
    fps_box.assign(size_t(w) * h, 0);
    draw_text_box(fps_box.data(), w, w, h, 0, 0, text, scale, 0xFFFFFF, 0);
    const uint64_t fraction = total ? std::min<uint64_t>(done, total) * 1024 / total : 0;
    const int bar_y = text_box_height(scale);
    fill_box(fps_box.data(), w, w, h, 0, bar_y, w, bar + 2 * scale, 0x606060);
    fill_box(fps_box.data(), w, w, h, scale, bar_y + scale, w - 2 * scale, bar, 0);
    fill_box(fps_box.data(), w, w, h, scale, bar_y + scale, int((w - 2 * scale) * fraction / 1024),
             bar, 0xFFFFFF);
    put_pixels(surface_back, (bw - w) / 2, (bh - h) / 2, fps_box.data(), w, h);
}

void draw_notice(const char* text) {
    if (!surface_back || !text) return;
    const int scale = display_text_scale();
    const size_t fits =
        size_t(std::max(0, (int(surface_back->width) / scale - 1) / TEXT_CELL_WIDTH));
    std::string line(text, std::min(std::strlen(text), fits));
    for (char& c : line) c = char(std::toupper(uint8_t(c)));
    const int w = text_box_width(line.c_str(), scale), h = text_box_height(scale);
    fps_box.assign(size_t(w) * h, 0);
    draw_text_box(fps_box.data(), w, w, h, 0, 0, line.c_str(), scale, 0xFFFF80, 0);
    put_pixels(surface_back, 0, int(surface_back->height) - h, fps_box.data(), w, h);
}

// The sign: a dark square of 16 x 16 font pixels with two light bars of 4 x 10.
constexpr int PAUSE_SIGN_SIZE = 16;
constexpr int PAUSE_BAR_WIDTH = 4;
constexpr int PAUSE_BAR_HEIGHT = 10;

void pause_sign_box(int* x, int* y, int* width, int* height) {
    const int scale = surface_back ? display_text_scale() : 1;
    *width = *height = PAUSE_SIGN_SIZE * scale;
    *x = (surface_back ? int(surface_back->width) : FRAME_WIDTH) - *width - 2 * scale;
    *y = 2 * scale;
}

void draw_pause_sign() {
    if (!surface_back) return;
    const int scale = display_text_scale();
    int x, y, w, h;
    pause_sign_box(&x, &y, &w, &h);
    fps_box.assign(size_t(w) * h, 0x202020);
    const int bar_w = PAUSE_BAR_WIDTH * scale, bar_h = PAUSE_BAR_HEIGHT * scale;
    const int top = (h - bar_h) / 2, gap = (w - 2 * bar_w) / 3;
    fill_box(fps_box.data(), w, w, h, gap, top, bar_w, bar_h, 0xFFFFFF);
    fill_box(fps_box.data(), w, w, h, w - gap - bar_w, top, bar_w, bar_h, 0xFFFFFF);
    put_pixels(surface_back, x, y, fps_box.data(), w, h);
}
