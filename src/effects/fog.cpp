#include "effects/fog.h"

#include "data/render_resources.h"
#include "effects/effect_tables.h"

#include <algorithm>

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

static inline uint32_t fog_channel(uint32_t c, uint32_t fog, uint32_t k, uint32_t h) {
    const uint32_t darkened = c > h ? c - h : 0;
    return std::min<uint32_t>(255, ((fog * k) >> 8) + darkened);
}

void apply_depth_fog(Surface* surface, float near, float far, uint8_t fog_r, uint8_t fog_g,
                     uint8_t fog_b) {
    if (!depth_buffer || depth_buffer_bytes < size_t(FRAME_PIXELS) * 4) return;
    // D below 1 (far within one unit of near, or a non-number) fogs nothing:
    // the division by D would have no meaning.
    const double divisor = (1.0 - 1.0 / (double(far) - double(near))) * 4095.0;
    if (!(divisor >= 1.0 && divisor < 4294967296.0)) return;
    const uint32_t D = uint32_t(divisor);
    const double T = (1.0 / double(near)) * 16777215.0;
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    uint32_t* p = frame.pixels;
    for (int i = 0; i < FRAME_PIXELS; i++) {
        const uint32_t e = depth_buffer[i] & 0xFFFFFF;
        if (!(double(e) < T)) continue;
        const uint32_t f = std::min<uint32_t>(255, e / D);
        const uint32_t k = 255 - f;
        const uint32_t h = k >> 1;
        const uint32_t o = p[i];
        p[i] = fog_channel((o >> 16) & 0xFF, fog_r, k, h) << 16 |
               fog_channel((o >> 8) & 0xFF, fog_g, k, h) << 8 | fog_channel(o & 0xFF, fog_b, k, h);
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
