// The full-frame effects only the timeline uses: plasma, light bands, the dot
// path, the rotozoom and the cycling mask, with their tables and phases. The
// phases start at fixed values when the program starts and go back to them
// only through reset_timeline_effects; a
// drawing call that cannot draw (no surface, failed lock, missing input) leaves
// them alone.
#pragma once

#include "data/pack.h"
#include "data/surface.h"

#include <cstdint>

constexpr int PATH_DOTS = 1200;
constexpr int PATH_LONG = 1200;
constexpr int PATH_SHORT = 500;

extern uint8_t plasma_sine[256];
extern uint8_t band_wave[256];
extern uint8_t band_ripple[FRAME_WIDTH];
extern uint8_t path_wave_long[PATH_LONG];
extern uint8_t path_wave_short[PATH_SHORT];
extern uint16_t row_offset[FRAME_HEIGHT];

extern uint8_t plasma_phase[4]; // 116, 32, 142, 70 at start
extern uint8_t band_phase[4];   // 0, 0, 0, 0
extern uint8_t path_rates[4];   // 0, 0, 0, 0
extern uint16_t path_offset[4]; // 100, 800, 300, 700

// The phases, rates and offsets back to their start values.
void reset_timeline_effects();

void build_plasma_table();
// A blue-only plasma over the whole frame; moves plasma_phase on.
void draw_plasma(Surface* surface);

void build_band_tables();
void advance_band_phases();
// Brightens the frame by 20 or 30 per channel along the moving bands.
void draw_light_bands(Surface* surface);
// The bands over the 320 x 200 pixels p: pixel (x, y) gains 20 where
// row_parts[y] + column_part[x] (modulo 256) is 0..7 or 16..24, 30 where it is
// 8..15, each channel at most 255. A kernel: choose_timeline_effect_kernels
// (timeline_effects_simd.cpp) points it at the plain loop or the SSE2 twin.
extern void (*lift_bands)(uint32_t* p, const uint8_t* column_part, const uint8_t* row_parts);
void lift_bands_plain(uint32_t* p, const uint8_t* column_part, const uint8_t* row_parts);
void choose_timeline_effect_kernels();

void build_path_tables();
void set_path_rates(uint8_t m0, uint8_t m1, uint8_t m2, uint8_t m3);
// 1200 dots along the path, in one colour or inverting what is under them;
// both move path_offset on by one step.
void draw_path_dots(Surface* surface, uint8_t red, uint8_t green, uint8_t blue);
void invert_path_dots(Surface* surface);

void build_row_offsets();
// The 320 x 200 picture turned by angle (radians) and zoomed, around its centre,
// into the 200 x 200 square of frame columns 60..259; texels that fall outside
// the picture leave the frame pixel unchanged.
void draw_rotozoom(const Buffer& picture, Surface* surface, float zoom, float angle);

// The picture with its red channel ANDed with the map, which counts every
// entry up by one per call.
void draw_cycling_mask(Surface* surface, const Buffer& picture, Buffer& map);
