// The light reaching the vertices of a scene.
#pragma once

#include "engine3d/scene.h"

#include <cstdint>

// Light reaching a vertex with world normal n at view position p: the sum of
// the lights and the ambient level, clamped to 1..255.
int32_t light_vertex(const Scene* scene, float nx, float ny, float nz, float px, float py,
                     float pz);

// The light level of a sum of light and the ambient level: clamped to 1..255.
inline int32_t shade_level(int64_t sum) {
    if (sum < 1) return 1;
    if (sum > 255) return 255;
    return int32_t(sum);
}

// light_vertex for the work-array entries first .. first + count - 1 into
// shades, which hold 0 there on entry (the vector twins' sums start from
// them). A kernel: choose_lighting_kernels (lighting_simd.cpp) points it at
// the plain loop or a twin, which works light by light over two entries a step
// (four on AVX2) and leaves an odd last entry at 0 for the face loop to light
// when a corner needs it. The sums fit 32 bits (at most 100 lights of 1e6
// each).
extern void (*light_entries)(const Scene* scene, uint32_t first, uint32_t count, int32_t* shades);
void light_entries_plain(const Scene* scene, uint32_t first, uint32_t count, int32_t* shades);
void choose_lighting_kernels();
