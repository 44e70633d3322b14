#include "director/timeline_effects.h"

#include "effects/effect_tables.h"

#include <algorithm>
#include <cmath>

uint8_t plasma_sine[256];
uint8_t band_wave[256];
uint8_t band_ripple[FRAME_WIDTH];
uint8_t path_wave_long[PATH_LONG];
uint8_t path_wave_short[PATH_SHORT];
uint16_t row_offset[FRAME_HEIGHT];

static const uint8_t PLASMA_PHASE_START[4] = {116, 32, 142, 70};
static const uint16_t PATH_OFFSET_START[4] = {100, 800, 300, 700};

uint8_t plasma_phase[4] = {116, 32, 142, 70};
uint8_t band_phase[4] = {0, 0, 0, 0};
uint8_t path_rates[4] = {0, 0, 0, 0};
uint16_t path_offset[4] = {100, 800, 300, 700};

void reset_timeline_effects() {
    std::copy(PLASMA_PHASE_START, PLASMA_PHASE_START + 4, plasma_phase);
    std::fill(band_phase, band_phase + 4, uint8_t(0));
    std::fill(path_rates, path_rates + 4, uint8_t(0));
    std::copy(PATH_OFFSET_START, PATH_OFFSET_START + 4, path_offset);
}

static const size_t PICTURE_BYTES = size_t(FRAME_PIXELS) * 3;

// Stored double constants of the table formulas; the arithmetic around them
// runs in long double.
static const double BAND_STEP = 0.012271484375;
static const double BAND_SQRT_STEP = 0.02454296875;
static const double RIPPLE_COS_STEP = 0.07853750000000001;
static const double RIPPLE_SIN_STEP = 0.019634375000000003;
static const double PATH_LONG_STEP = 0.010471666666666667;
static const double PATH_SHORT_STEP = 0.025132;

// The low 8 bits of v truncated toward zero.
static inline uint8_t trunc_byte(long double v) {
    return uint8_t(int64_t(v));
}

void build_plasma_table() {
    build_sine_table(plasma_sine);
}

void draw_plasma(Surface* surface) {
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    const uint8_t p0 = plasma_phase[0], p1 = plasma_phase[1], p2 = plasma_phase[2],
                  p3 = plasma_phase[3];
    uint8_t column_part[FRAME_WIDTH];
    for (int x = 0; x < FRAME_WIDTH; x++)
        column_part[x] =
            uint8_t(plasma_sine[uint8_t(p3 + 5 * x)] + plasma_sine[uint8_t(p2 + 4 * x)]);
    uint32_t* p = frame.pixels;
    for (int y = 0; y < FRAME_HEIGHT; y++, p += FRAME_WIDTH) {
        const uint8_t row_part =
            uint8_t(plasma_sine[uint8_t(p0 + 4 * y)] + plasma_sine[uint8_t(p1 + 3 * y)]);
        for (int x = 0; x < FRAME_WIDTH; x++) p[x] = uint8_t(row_part + column_part[x]);
    }
    unlock_surface(surface);
    plasma_phase[0] = uint8_t(p0 - 5);
    plasma_phase[1] = uint8_t(p1 - 2);
    plasma_phase[2] = uint8_t(p2 + 5);
    plasma_phase[3] = uint8_t(p3 - 2);
}

void build_band_tables() {
    for (int i = 0; i < 256; i++) {
        const long double t = i * (long double)BAND_STEP;
        const long double root =
            std::sqrt(std::fabs(16.0L * std::sin(i * (long double)BAND_SQRT_STEP)));
        band_wave[i] = trunc_byte(32.0L + 31.0L * std::sin(t) * std::cos(t) * root);
    }
    for (int i = 0; i < FRAME_WIDTH; i++) {
        const long double wave = 16.0L * std::sin(i * (long double)RIPPLE_SIN_STEP);
        band_ripple[i] =
            trunc_byte(32.0L * std::cos(i * (long double)RIPPLE_COS_STEP) - wave * wave);
    }
}

void advance_band_phases() {
    band_phase[0] = uint8_t(band_phase[0] - 1);
    band_phase[1] = uint8_t(band_phase[1] - 3);
    band_phase[2] = uint8_t(band_phase[2] + 7);
    band_phase[3] = uint8_t(band_phase[3] - 3);
}

// Brightness added for each band value v: 20 below 8 and from 16 to 24, 30 from 8 to 15.
struct BandLift {
    uint8_t lift[256];
};

static constexpr BandLift make_band_lift() {
    BandLift b{};
    for (int v = 0; v < 256; v++) b.lift[v] = v < 8 ? 20 : v < 16 ? 30 : v < 25 ? 20 : 0;
    return b;
}

static constexpr BandLift band_lift = make_band_lift();

static inline uint32_t lift_channel(uint32_t c, uint32_t lift) {
    return std::min<uint32_t>(c + lift, 255);
}

void lift_bands_plain(uint32_t* p, const uint8_t* column_part, const uint8_t* row_parts) {
    for (int y = 0; y < FRAME_HEIGHT; y++, p += FRAME_WIDTH) {
        const uint8_t row_part = row_parts[y];
        for (int x = 0; x < FRAME_WIDTH; x++) {
            const uint32_t lift = band_lift.lift[uint8_t(row_part + column_part[x])];
            if (lift == 0) continue; // most of the frame lies between the bands
            const uint32_t o = p[x];
            p[x] = lift_channel((o >> 16) & 0xFF, lift) << 16 |
                   lift_channel((o >> 8) & 0xFF, lift) << 8 | lift_channel(o & 0xFF, lift);
        }
    }
}

void (*lift_bands)(uint32_t* p, const uint8_t* column_part,
                   const uint8_t* row_parts) = lift_bands_plain;

void draw_light_bands(Surface* surface) {
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    const uint8_t q0 = band_phase[0], q1 = band_phase[1];
    const uint8_t fixed = uint8_t(band_wave[band_phase[2]] + band_wave[band_phase[3]]);
    uint8_t column_part[FRAME_WIDTH];
    for (int x = 0; x < FRAME_WIDTH; x++)
        column_part[x] = uint8_t(band_wave[uint8_t(q0 + x)] + band_wave[uint8_t(q1 + x)] +
                                 band_ripple[x] + fixed);
    lift_bands(frame.pixels, column_part, band_ripple);
    unlock_surface(surface);
}

void build_path_tables() {
    for (int i = 0; i < PATH_LONG; i++)
        path_wave_long[i] = trunc_byte(std::sin(i * (long double)PATH_LONG_STEP) * 49.0L + 50.0L);
    for (int i = 0; i < PATH_SHORT; i++)
        path_wave_short[i] = trunc_byte(std::sin(i * (long double)PATH_SHORT_STEP) * 19.0L + 50.0L);
}

void set_path_rates(uint8_t m0, uint8_t m1, uint8_t m2, uint8_t m3) {
    path_rates[0] = m0;
    path_rates[1] = m1;
    path_rates[2] = m2;
    path_rates[3] = m3;
}

// Frame index of dot k of the path at the current rates and offsets.
static inline uint32_t path_dot(uint32_t k) {
    const uint32_t x = path_wave_long[(path_rates[0] * k + path_offset[0] + 4) % PATH_LONG] +
                       path_wave_short[(path_rates[1] * k + path_offset[1] + 2) % PATH_SHORT];
    const uint32_t y = path_wave_long[(path_rates[2] * k + path_offset[2] + 2) % PATH_LONG] +
                       path_wave_short[(path_rates[3] * k + path_offset[3] + 3) % PATH_SHORT];
    // Both lie in 2..196 with the tables' values, so the dot is inside the frame.
    return y * FRAME_WIDTH + x + 60;
}

static void advance_path() {
    path_offset[0] = uint16_t((path_offset[0] + 4) % PATH_LONG);
    path_offset[1] = uint16_t((path_offset[1] + 2) % PATH_SHORT);
    path_offset[2] = uint16_t((path_offset[2] + 2) % PATH_LONG);
    path_offset[3] = uint16_t((path_offset[3] + 3) % PATH_SHORT);
}

void draw_path_dots(Surface* surface, uint8_t red, uint8_t green, uint8_t blue) {
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    const uint32_t colour = uint32_t(red) << 16 | uint32_t(green) << 8 | blue;
    for (uint32_t k = 0; k < PATH_DOTS; k++) frame.pixels[path_dot(k)] = colour;
    unlock_surface(surface);
    advance_path();
}

void invert_path_dots(Surface* surface) {
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    for (uint32_t k = 0; k < PATH_DOTS; k++) {
        uint32_t& p = frame.pixels[path_dot(k)];
        p = ~p & 0x00FFFFFF;
    }
    unlock_surface(surface);
    advance_path();
}

void build_row_offsets() {
    for (int i = 0; i < FRAME_HEIGHT; i++) row_offset[i] = uint16_t(FRAME_WIDTH * i);
}

// v truncated toward zero into 32 bits; a value out of range (or not a number)
// gives INT32_MIN, as the x87 conversion does.
static inline int32_t trunc_i32(double v) {
    if (!(v > -2147483649.0 && v < 2147483648.0)) return INT32_MIN;
    return int32_t(v);
}

static const int ROTOZOOM_LEFT = 60;
static const int ROTOZOOM_SIZE = 200;

void draw_rotozoom(const Buffer& picture, Surface* surface, float zoom, float angle) {
    if (picture.size() < PICTURE_BYTES) return;
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    const uint32_t C = uint32_t(trunc_i32(std::cos(double(angle)) * 65536.0 * zoom));
    const uint32_t S = uint32_t(trunc_i32(std::sin(double(angle)) * 65536.0 * zoom));
    // 16.16 accumulators, wrapping modulo 2^32.
    uint32_t row_u = 160u * 65536u - 100u * (C + S);
    uint32_t row_v = 100u * 65536u + 100u * (S - C);
    const uint8_t* q = picture.data();
    uint32_t* p = frame.pixels + ROTOZOOM_LEFT;
    for (int r = 0; r < ROTOZOOM_SIZE; r++, p += FRAME_WIDTH) {
        uint32_t u = row_u, v = row_v;
        for (int j = 0; j < ROTOZOOM_SIZE; j++) {
            const int32_t tx = int32_t(u) >> 16;
            const int32_t ty = int32_t(v) >> 16;
            if (uint32_t(tx) < uint32_t(FRAME_WIDTH) && uint32_t(ty) < uint32_t(FRAME_HEIGHT)) {
                const uint8_t* t = q + 3 * (size_t(row_offset[ty]) + size_t(tx));
                p[j] = rgb_pixel(t);
            }
            u += C;
            v -= S;
        }
        row_u += S;
        row_v += C;
    }
    unlock_surface(surface);
}

void draw_cycling_mask(Surface* surface, const Buffer& picture, Buffer& map) {
    if (picture.size() < PICTURE_BYTES || map.size() < size_t(FRAME_PIXELS)) return;
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    uint8_t* m = map.data();
    uint32_t* p = frame.pixels;
    widen_rgb(picture.data(), p, FRAME_PIXELS);
    for (int i = 0; i < FRAME_PIXELS; i++) {
        const uint8_t d = m[i];
        m[i] = uint8_t(d + 1);
        p[i] &= uint32_t(d) << 16 | 0xFFFF;
    }
    unlock_surface(surface);
}
