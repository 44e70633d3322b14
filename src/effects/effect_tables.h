// Tables shared by the 2D effects: the display depth, the column walk of the
// frame, the tunnel's per-pixel depth and angle, and the wave table of the
// displaced texture.
#pragma once

#include "data/surface.h"

#include <cstdint>
#include <cstring>
#include <vector>

// Bits per pixel of the chosen display mode; 0 until init_effect_tables. The
// effects that test it draw only when it is 32.
extern uint32_t display_depth;

// Entry (column * 200 + row) holds row * 320 + column: the frame walked column
// by column, each column top to bottom.
extern uint32_t column_order[FRAME_PIXELS];

// One byte per pixel of a tunnel_width x tunnel_height frame, row-major; empty
// while absent.
extern std::vector<uint8_t> tunnel_depth;
extern std::vector<uint8_t> tunnel_angle;
extern int32_t tunnel_width;
extern int32_t tunnel_height;

// The displaced texture's wave: a sine table as build_sine_table makes it.
extern uint8_t wave_table[256];

// Records display_depth from the mode, builds the 320 x 200 tunnel tables and
// fills column_order. Returns 1.
int init_effect_tables(const ModeRecord& mode);
// Frees the tunnel tables.
void release_effect_tables();

// Replaces the tunnel tables with new ones for a width x height frame.
void build_tunnel_tables(int32_t width, int32_t height);
// Frees both tunnel tables; harmless when they are absent.
void free_tunnel_tables();

// table[i] = trunc(sin(i * 2 pi / 256) * 31 + 32) for i = 0..255: values 1..62.
void build_sine_table(uint8_t table[256]);
void build_wave_table();

// The pixel word 0x00RRGGBB of three bytes red, green, blue.
inline uint32_t rgb_pixel(const uint8_t* bytes) {
    return uint32_t(bytes[0]) << 16 | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]);
}

// The pixel words of the two RGB pixels at bytes 0-2 and 3-5 of a
// little-endian 64-bit word (bytes 6 and 7 unused), one per 32-bit half.
inline uint64_t swap_bytes64(uint64_t w) {
#if defined(__GNUC__)
    return __builtin_bswap64(w);
#else
    w = (w & 0x00000000FFFFFFFFull) << 32 | w >> 32;
    w = (w & 0x0000FFFF0000FFFFull) << 16 | (w >> 16 & 0x0000FFFF0000FFFFull);
    return (w & 0x00FF00FF00FF00FFull) << 8 | (w >> 8 & 0x00FF00FF00FF00FFull);
#endif
}

// out[i] = rgb_pixel(rgb + 3 * i) for i < count; nothing beyond the count's
// bytes is read. A kernel: choose_effect_table_kernels (effect_tables_simd.cpp)
// points it at widen_rgb_plain or the AVX2 twin.
extern void (*widen_rgb)(const uint8_t* rgb, uint32_t* out, size_t count);
// Two pixels from each 8-byte read.
void widen_rgb_plain(const uint8_t* rgb, uint32_t* out, size_t count);
void choose_effect_table_kernels();

// Locks surface for an effect that treats it as the 320 x 200 frame of 64,000
// consecutive pixels. Returns 0, with the surface left unlocked, when it is
// missing, cannot be locked or has another shape.
int lock_full_frame(Surface* surface, FrameSurface* frame);
