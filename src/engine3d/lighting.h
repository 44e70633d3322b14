// The light reaching the vertices of a scene.
#pragma once

#include "core/cpu.h"
#include "engine3d/scene.h"

#include <cstdint>

// Light reaching a vertex with world normal n at view position p: the sum of
// the lights and the ambient level, clamped to 1..255.
int32_t light_vertex(const Scene* scene, float nx, float ny, float nz, float px, float py,
                     float pz);

#if VORN_SSE2
// light_vertex for the work-array entries first .. first + count - 1 into
// shades, which hold 0 there on entry (the sums start from them), light by
// light over two entries a step (four on AVX2). The sums fit 32 bits (at most
// 100 lights of 1e6 each). An odd last entry is left at 0, for the face loop
// to light when a corner needs it.
void light_entries(const Scene* scene, uint32_t first, uint32_t count, int32_t* shades);
#endif
