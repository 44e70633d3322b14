// The AVX2 vertex loops' shared load: four points' coordinates, each as four
// floats side by side.
#pragma once

#include "engine3d/math.h"

#if VORN_AVX2
#include <immintrin.h>

// Four points' x, y and z, each four side by side, from three loads.
VORN_TARGET_AVX2 inline void load_four_points(const Vec3* p, __m128* x, __m128* y, __m128* z) {
    const float* in = &p->x;
    // a = x0 y0 z0 x1, b = y1 z1 x2 y2, c = z2 x3 y3 z3
    const __m128 a = _mm_loadu_ps(in), b = _mm_loadu_ps(in + 4), c = _mm_loadu_ps(in + 8);
    const __m128 xs = _mm_blend_ps(_mm_blend_ps(a, b, 0x4), c, 0x2); // x0 x3 x2 x1
    const __m128 ys = _mm_blend_ps(_mm_blend_ps(a, b, 0x9), c, 0x4); // y1 y0 y3 y2
    const __m128 zs = _mm_blend_ps(_mm_blend_ps(a, b, 0x2), c, 0x9); // z2 z1 z0 z3
    *x = _mm_shuffle_ps(xs, xs, _MM_SHUFFLE(1, 2, 3, 0));
    *y = _mm_shuffle_ps(ys, ys, _MM_SHUFFLE(2, 3, 0, 1));
    *z = _mm_shuffle_ps(zs, zs, _MM_SHUFFLE(3, 0, 1, 2));
}
#endif
