#include "effects/fog.h"

#include "data/render_resources.h"
#include "effects/effect_tables.h"

#include <algorithm>
#include <cmath>

static const int CELL_SIZE = 10;
static const uint32_t DOT_COLOUR = 0x000000FF;

// The four cell patterns, 1 = set: centred squares of side 10, 8, 6 and 4,
// byte (i * 10 + j) for cell column i and cell row j.
struct CellMasks {
    uint8_t cells[4][CELL_SIZE * CELL_SIZE];
};

static constexpr CellMasks make_cell_masks() {
    CellMasks masks{};
    for (int level = 0; level < 4; level++)
        for (int i = 0; i < CELL_SIZE; i++)
            for (int j = 0; j < CELL_SIZE; j++)
                masks.cells[level][i * CELL_SIZE + j] =
                    i >= level && i < CELL_SIZE - level && j >= level && j < CELL_SIZE - level;
    return masks;
}

static constexpr CellMasks cell_masks = make_cell_masks();

// Exact unsigned division of 24-bit numerators by a fixed divisor as a
// multiply and shift (Granlund and Montgomery): with l = ceil(log2 d) and
// m = ceil(2^(24 + l) / d), n / d = (n * m) >> (24 + l) for every n < 2^24.
struct Reciprocal {
    uint64_t multiplier;
    uint32_t shift;
};

static Reciprocal reciprocal_of(uint32_t d) {
    uint32_t l = 0;
    while ((uint64_t(1) << l) < d) l++;
    const uint32_t shift = 24 + l;
    return {((uint64_t(1) << shift) + d - 1) / d, shift};
}

void apply_depth_fog(Surface* surface, float near, float far, uint8_t fog_r, uint8_t fog_g,
                     uint8_t fog_b) {
    if (!depth_buffer || depth_buffer_bytes < size_t(FRAME_PIXELS) * 4) return;
    // D below 1 (far within one unit of near, or a non-number) fogs nothing:
    // the division by D would have no meaning.
    const double divisor = (1.0 - 1.0 / (double(far) - double(near))) * 4095.0;
    if (!(divisor >= 1.0 && divisor < 4294967296.0)) return;
    const Reciprocal per_d = reciprocal_of(uint32_t(divisor));
    // Depths below T are fogged; as an exclusive integer limit that is ceil(T).
    const double T = (1.0 / double(near)) * 16777215.0;
    const uint32_t limit = !(T > 0.0) ? 0 : T >= 16777216.0 ? 16777216u : uint32_t(std::ceil(T));
    // The fog's share of each channel for every k.
    uint32_t fog_share[256];
    for (uint32_t k = 0; k < 256; k++)
        fog_share[k] = ((fog_r * k) >> 8) << 16 | ((fog_g * k) >> 8) << 8 | ((fog_b * k) >> 8);
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    uint32_t* p = frame.pixels;
    for (int i = 0; i < FRAME_PIXELS; i++) {
        const uint32_t e = depth_buffer[i] & 0xFFFFFF;
        if (e >= limit) continue;
        const uint32_t f = uint32_t(std::min<uint64_t>(255, (e * per_d.multiplier) >> per_d.shift));
        const uint32_t k = 255 - f;
        const int32_t h = int32_t(k >> 1);
        const uint32_t o = p[i], share = fog_share[k];
        const uint32_t red = std::max<int32_t>(0, int32_t((o >> 16) & 0xFF) - h) + (share >> 16);
        const uint32_t green =
            std::max<int32_t>(0, int32_t((o >> 8) & 0xFF) - h) + ((share >> 8) & 0xFF);
        const uint32_t blue = std::max<int32_t>(0, int32_t(o & 0xFF) - h) + (share & 0xFF);
        p[i] = std::min<uint32_t>(255, red) << 16 | std::min<uint32_t>(255, green) << 8 |
               std::min<uint32_t>(255, blue);
    }
    unlock_surface(surface);
}

void draw_dot_cell(uint16_t x, uint16_t y, uint8_t level, Surface* surface) {
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    const uint8_t* mask = cell_masks.cells[level >> 6];
    const int columns = std::clamp(FRAME_WIDTH - int(x), 0, CELL_SIZE);
    const int rows = std::clamp(FRAME_HEIGHT - int(y), 0, CELL_SIZE);
    for (int i = 0; i < columns; i++) {
        const uint32_t* order = column_order + (size_t(x) + i) * FRAME_HEIGHT + y;
        for (int j = 0; j < rows; j++)
            if (mask[i * CELL_SIZE + j]) frame.pixels[order[j]] = DOT_COLOUR;
    }
    unlock_surface(surface);
}
