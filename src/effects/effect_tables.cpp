#include "effects/effect_tables.h"

#include <cmath>

uint32_t display_depth = 0;
uint32_t column_order[FRAME_PIXELS];

std::vector<uint8_t> tunnel_depth;
std::vector<uint8_t> tunnel_angle;
int32_t tunnel_width = 0;
int32_t tunnel_height = 0;

uint8_t wave_table[256];

// The stored double constants of the table formulas; the arithmetic around
// them runs in long double.
static const double WAVE_STEP = 0.024543693348032258; // 2 pi / 256, slightly above
static const double TUNNEL_DEPTH_FREQUENCY = 0.0200625;
static const double TUNNEL_ANGLE_SCALE = 40.73838319541694; // 256 / 6.284
static const float TUNNEL_ZERO_STAND_IN = 0.0001f;

void free_tunnel_tables() {
    tunnel_depth = std::vector<uint8_t>();
    tunnel_angle = std::vector<uint8_t>();
    tunnel_width = 0;
    tunnel_height = 0;
}

// The whole part of the distance of (x, y) from the centre, a zero
// coordinate counting as 1.
static int64_t tunnel_distance(int32_t x, int32_t y) {
    const int64_t xi = x != 0 ? x : 1;
    const int64_t yi = y != 0 ? y : 1;
    return int64_t(std::sqrt((long double)(xi * xi + yi * yi)));
}

static uint8_t tunnel_depth_of_distance(int64_t d) {
    const int32_t shifted = int32_t(uint32_t(d) << 18);
    const int64_t p = int64_t(std::pow((long double)shifted, 0.1L) * 256.0L);
    const int64_t wobble = int64_t(std::sin(p * (long double)TUNNEL_DEPTH_FREQUENCY) * -32.0L);
    return uint8_t(p - wobble);
}

static uint8_t tunnel_angle_at(int32_t x, int32_t y) {
    const float xf = x != 0 ? float(x) : TUNNEL_ZERO_STAND_IN;
    const float yf = y != 0 ? float(y) : TUNNEL_ZERO_STAND_IN;
    const long double a = std::atan((long double)yf / (long double)xf);
    return uint8_t(int64_t(a * (long double)TUNNEL_ANGLE_SCALE));
}

void build_tunnel_tables(int32_t width, int32_t height) {
    free_tunnel_tables();
    if (width <= 0 || height <= 0) return;
    const size_t size = size_t(width) * size_t(height);
    tunnel_depth.assign(size, 0);
    tunnel_angle.assign(size, 0);
    tunnel_width = width;
    tunnel_height = height;
    const int32_t hw = width / 2;
    const int32_t hh = height / 2;
    // The depth depends on the whole distance alone: each distance's depth
    // is worked out once (-1 marks those not met yet).
    const int64_t farthest = tunnel_distance(hw, hh);
    std::vector<int16_t> depth_of(farthest < 65536 ? size_t(farthest) + 1 : 0, -1);
    for (int32_t y = -hh; y < hh; y++) {
        for (int32_t x = -hw; x < hw; x++) {
            const size_t i = size_t(y + hh) * size_t(width) + size_t(x + hw);
            const int64_t d = tunnel_distance(x, y);
            if (size_t(d) < depth_of.size()) {
                if (depth_of[size_t(d)] < 0) depth_of[size_t(d)] = tunnel_depth_of_distance(d);
                tunnel_depth[i] = uint8_t(depth_of[size_t(d)]);
            } else {
                tunnel_depth[i] = tunnel_depth_of_distance(d);
            }
            tunnel_angle[i] = tunnel_angle_at(x, y);
        }
    }
}

void build_sine_table(uint8_t table[256]) {
    for (int i = 0; i < 256; i++)
        table[i] = uint8_t(int64_t(std::sin(i * (long double)WAVE_STEP) * 31.0L + 32.0L));
}

void build_wave_table() {
    build_sine_table(wave_table);
}

int init_effect_tables(const ModeRecord& mode) {
    display_depth = mode.bits_per_pixel;
    // The assets' loading builds the same tables; they are built only once.
    if (tunnel_width != FRAME_WIDTH || tunnel_height != FRAME_HEIGHT)
        build_tunnel_tables(FRAME_WIDTH, FRAME_HEIGHT);
    uint32_t* entry = column_order;
    for (uint32_t column = 0; column < FRAME_WIDTH; column++)
        for (uint32_t row = 0; row < FRAME_HEIGHT; row++) *entry++ = row * FRAME_WIDTH + column;
    return 1;
}

void release_effect_tables() {
    free_tunnel_tables();
}

int lock_full_frame(Surface* surface, FrameSurface* frame) {
    if (!surface || !lock_surface(surface, frame)) return 0;
    if (!frame->pixels || frame->width != FRAME_WIDTH || frame->height != FRAME_HEIGHT ||
        frame->pitch != FRAME_WIDTH * 4) {
        unlock_surface(surface);
        return 0;
    }
    return 1;
}

void widen_rgb_plain(const uint8_t* rgb, uint32_t* out, size_t count) {
    size_t i = 0;
    for (; i + 3 <= count; i += 2, rgb += 6) {
        uint64_t w;
        std::memcpy(&w, rgb, 8);
        const uint64_t s = swap_bytes64(w); // byte 0 on top
        out[i] = uint32_t(s >> 40);
        out[i + 1] = uint32_t(s >> 16) & 0xFFFFFF;
    }
    for (; i < count; i++, rgb += 3) out[i] = rgb_pixel(rgb);
}

void (*widen_rgb)(const uint8_t* rgb, uint32_t* out, size_t count) = widen_rgb_plain;
