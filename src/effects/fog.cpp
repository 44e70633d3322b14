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

// One pixel washed towards the fog: f = min(255, e / D), k = 255 - f; each
// channel loses k / 2 (not below 0), gains the fog's share k * fog >> 8 and
// stays within 255.
static inline uint32_t fog_pixel(uint32_t o, uint32_t e, const Reciprocal& per_d,
                                 const uint32_t* fog_share) {
    const uint32_t f = uint32_t(std::min<uint64_t>(255, (e * per_d.multiplier) >> per_d.shift));
    const uint32_t k = 255 - f;
    const int32_t h = int32_t(k >> 1);
    const uint32_t share = fog_share[k];
    const uint32_t red = std::max<int32_t>(0, int32_t((o >> 16) & 0xFF) - h) + (share >> 16);
    const uint32_t green =
        std::max<int32_t>(0, int32_t((o >> 8) & 0xFF) - h) + ((share >> 8) & 0xFF);
    const uint32_t blue = std::max<int32_t>(0, int32_t(o & 0xFF) - h) + (share & 0xFF);
    return std::min<uint32_t>(255, red) << 16 | std::min<uint32_t>(255, green) << 8 |
           std::min<uint32_t>(255, blue);
}

void fog_pixels_plain(uint32_t* p, const uint32_t* depth, int count, const FogWash& wash) {
    const Reciprocal per_d{wash.multiplier, wash.shift};
    // The fog's share of each channel for every k.
    uint32_t fog_share[256];
    for (uint32_t k = 0; k < 256; k++)
        fog_share[k] =
            ((wash.red * k) >> 8) << 16 | ((wash.green * k) >> 8) << 8 | ((wash.blue * k) >> 8);
    for (int i = 0; i < count; i++) {
        const uint32_t e = depth[i] & 0xFFFFFF;
        if (e < wash.limit) p[i] = fog_pixel(p[i], e, per_d, fog_share);
    }
}

void (*fog_pixels)(uint32_t* p, const uint32_t* depth, int count,
                   const FogWash& wash) = fog_pixels_plain;

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
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    static_assert(FRAME_PIXELS % 32 == 0, "the vector twins take up to 32 pixels a step");
    fog_pixels(frame.pixels, depth_buffer, FRAME_PIXELS,
               {limit, uint32_t(divisor), per_d.multiplier, per_d.shift, fog_r, fog_g, fog_b});
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
