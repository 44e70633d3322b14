// Draws the program's icon at each size the desktop asks for, each drawn for
// its size rather than scaled from one picture: a rounded tile in the logo's
// night purple with a light "V", and from 48 pixels on the word "VORN" whole
// beneath it. Letters come from the content generator's font, fitted into
// whole-pixel boxes so that small sizes stay sharp.
//   make_icon OUT_DIR   writes OUT_DIR/NxN/apps/vorn.png for every size
#include "font.h"
#include "raster.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

static const int icon_sizes[] = {16, 32, 48, 64, 128, 256};
// From this size on the word stands under the mark.
constexpr int WORD_FROM = 48;
// Samples per pixel side for the tile's rounded edge.
constexpr int EDGE_SAMPLES = 4;

struct Icon {
    Image colour;
    Gray alpha;
};

// Coverage of the rounded square [0, size) with corner radius r at pixel (x, y).
static float tile_coverage(int x, int y, int size, float r) {
    int inside = 0;
    for (int sy = 0; sy < EDGE_SAMPLES; sy++)
        for (int sx = 0; sx < EDGE_SAMPLES; sx++) {
            const float px = float(x) + (float(sx) + 0.5f) / EDGE_SAMPLES;
            const float py = float(y) + (float(sy) + 0.5f) / EDGE_SAMPLES;
            const float dx = std::max({r - px, px - (float(size) - r), 0.0f});
            const float dy = std::max({r - py, py - (float(size) - r), 0.0f});
            inside += dx * dx + dy * dy <= r * r;
        }
    return float(inside) / (EDGE_SAMPLES * EDGE_SAMPLES);
}

// The tile: the logo's gradient, from 48 pixels on a horizon of light low
// down (smaller, it would only cross the mark), and a one-pixel lighter rim
// from 32 pixels on.
static Icon draw_tile(int size) {
    Icon icon{make_image(size, size, {0, 0, 0}), make_gray(size, size, 0.0f)};
    const float radius = std::max(2.0f, float(size) / 6.0f);
    const float horizon = float(size) * 0.72f;
    const Rgb top = rgb8(58, 14, 96), bottom = rgb8(10, 2, 34), glow = rgb8(120, 90, 255);
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            const float t = (float(y) + 0.5f) / float(size);
            const float d = (float(y) + 0.5f - horizon) / std::max(1.0f, float(size) / 24.0f);
            const float light = size >= WORD_FROM ? 0.45f * std::exp(-d * d) : 0.0f;
            icon.colour.at(x, y) = mix(top, bottom, t) + glow * light;
            icon.alpha.at(x, y) = tile_coverage(x, y, size, radius);
        }
    if (size >= 32) {
        const float inner = radius - 1.0f;
        for (int y = 0; y < size; y++)
            for (int x = 0; x < size; x++) {
                const float rim =
                    icon.alpha.at(x, y) - (x >= 1 && y >= 1 && x < size - 1 && y < size - 1
                                               ? tile_coverage(x - 1, y - 1, size - 2, inner)
                                               : 0.0f);
                icon.colour.at(x, y) = mix(icon.colour.at(x, y), rgb8(150, 110, 255), clamp01(rim));
            }
    }
    return icon;
}

// Light letters, white at the top to lilac at the bottom, with a dark edge
// below and to the right that keeps them apart from the glow.
static void draw_letters(Icon* icon, const Gray& letters, int ox, int oy) {
    Gray shadow = make_gray(icon->colour.w, icon->colour.h, 0.0f);
    stamp(shadow, letters, ox + 1, oy + 1);
    paint(icon->colour, shadow, rgb8(6, 0, 20), 0, 0, 0.8f);
    for (int y = 0; y < letters.h; y++) {
        const float t = float(y) / float(std::max(1, letters.h - 1));
        const Rgb ink = mix(rgb8(255, 255, 255), rgb8(196, 160, 255), t);
        for (int x = 0; x < letters.w; x++) {
            const int ix = ox + x, iy = oy + y;
            if (ix < 0 || iy < 0 || ix >= icon->colour.w || iy >= icon->colour.h) continue;
            icon->colour.at(ix, iy) = mix(icon->colour.at(ix, iy), ink, clamp01(letters.at(x, y)));
        }
    }
}

static Icon draw_icon(int size) {
    Icon icon = draw_tile(size);
    // Margins in whole pixels: one at 16, growing with the size.
    const int pad = std::max(2, size / 8);
    if (size < WORD_FROM) {
        const Gray mark = fit_text("V", size - 2 * pad, size - 2 * pad);
        draw_letters(&icon, mark, (size - mark.w) / 2, (size - mark.h) / 2);
        return icon;
    }
    const int word_h = std::max(8, size / 6);
    const Gray word = fit_text("VORN", size - 2 * pad, word_h);
    const int word_y = size - pad - word.h;
    const int gap = std::max(2, size / 16);
    const Gray mark = fit_text("V", size - 4 * pad, word_y - gap - pad);
    draw_letters(&icon, mark, (size - mark.w) / 2, pad + (word_y - gap - pad - mark.h) / 2);
    draw_letters(&icon, word, (size - word.w) / 2, word_y);
    return icon;
}

static uint8_t byte_of(float v) {
    return uint8_t(std::lround(clamp01(v) * 255.0f));
}

static bool write_rgba_png(const std::string& path, const Icon& icon) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const int w = icon.colour.w, h = icon.colour.h;
    std::vector<uint8_t> row(size_t(w) * 4);
    bool ok = false;
    if (info && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, file);
        png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < h; y++) {
            for (int x = 0; x < w; x++) {
                const Rgb& c = icon.colour.at(x, y);
                uint8_t* p = &row[size_t(x) * 4];
                p[0] = byte_of(c.r);
                p[1] = byte_of(c.g);
                p[2] = byte_of(c.b);
                p[3] = byte_of(icon.alpha.at(x, y));
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && ok;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon OUT_DIR\n");
        return 2;
    }
    if (!font_available()) {
        std::fprintf(stderr, "make_icon: the font files cannot be opened\n");
        return 1;
    }
    for (int size : icon_sizes) {
        const std::string dir = std::string(argv[1]) + "/" + std::to_string(size) + "x" +
                                std::to_string(size) + "/apps";
        std::error_code error;
        std::filesystem::create_directories(dir, error);
        if (error || !write_rgba_png(dir + "/vorn.png", draw_icon(size))) {
            std::fprintf(stderr, "make_icon: cannot write %s/vorn.png\n", dir.c_str());
            return 1;
        }
    }
    return 0;
}
