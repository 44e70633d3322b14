// Frame overlays: the depth fog laid over a rendered 3D frame, and the dot
// cells (a centred blue square in a 10 x 10 cell, its size chosen by a level).
#pragma once

#include "data/surface.h"

#include <cstdint>

// Washes every pixel whose depth_buffer entry lies beyond near towards the fog
// colour; draws nothing while depth_buffer does not cover the frame.
void apply_depth_fog(Surface* surface, float near, float far, uint8_t fog_r, uint8_t fog_g,
                     uint8_t fog_b);

// Draws the level's square (side 10, 8, 6 or 4 for levels 0-63, 64-127,
// 128-191, 192-255) in pure blue into the cell whose top-left pixel is (x, y).
// Only the part of the cell inside the frame is drawn.
void draw_dot_cell(uint16_t x, uint16_t y, uint8_t level, Surface* surface);

// The fog's wash of a frame: pixels whose depth word's low 24 bits lie below
// limit are fogged, by e / divisor (the quotient as the multiply and shift
// (e * multiplier) >> shift gives it for every e below 2^24), towards the
// colour.
struct FogWash {
    uint32_t limit;
    uint32_t divisor;
    uint64_t multiplier;
    uint32_t shift;
    uint8_t red, green, blue;
};

// A kernel over count pixels: choose_fog_kernels (fog_simd.cpp) points it at
// the plain loop or an SSE2 / AVX2 / AVX-512 twin, which take count in whole
// steps of 32.
extern void (*fog_pixels)(uint32_t* p, const uint32_t* depth, int count, const FogWash& wash);
void fog_pixels_plain(uint32_t* p, const uint32_t* depth, int count, const FogWash& wash);
void choose_fog_kernels();
