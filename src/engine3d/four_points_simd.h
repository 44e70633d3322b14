// The vertex loops' shared load: four packed points of three 32-bit
// coordinates (Vec3, or the rounded screen points' whole numbers), sorted
// into x, y and z, each four side by side. Shuffles move the bits as they
// are, so the words need not be floats. Only the vector twins include it.
#pragma once

#include "core/simd.h"

#if VORN_SSE2
// The x, y and z of the four points at p, from three loads.
inline void load_four_points(const void* p, __m128* x, __m128* y, __m128* z) {
    const float* in = static_cast<const float*>(p);
    // a = x0 y0 z0 x1, b = y1 z1 x2 y2, c = z2 x3 y3 z3
    const __m128 a = _mm_loadu_ps(in), b = _mm_loadu_ps(in + 4), c = _mm_loadu_ps(in + 8);
    const __m128 x23 = _mm_shuffle_ps(b, c, _MM_SHUFFLE(1, 1, 2, 2));
    const __m128 y01 = _mm_shuffle_ps(a, b, _MM_SHUFFLE(0, 0, 1, 1));
    const __m128 y23 = _mm_shuffle_ps(b, c, _MM_SHUFFLE(2, 2, 3, 3));
    const __m128 z01 = _mm_shuffle_ps(a, b, _MM_SHUFFLE(1, 1, 2, 2));
    const __m128 z23 = _mm_shuffle_ps(c, c, _MM_SHUFFLE(3, 3, 0, 0));
    *x = _mm_shuffle_ps(a, x23, _MM_SHUFFLE(2, 0, 3, 0));
    *y = _mm_shuffle_ps(y01, y23, _MM_SHUFFLE(2, 0, 2, 0));
    *z = _mm_shuffle_ps(z01, z23, _MM_SHUFFLE(2, 0, 2, 0));
}
#endif
