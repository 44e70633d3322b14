// The point transform's vector twins, SSE2 and AVX2, beside the plain loop in
// math.cpp; choose_math_kernels picks one once for the processor.
#include "core/simd.h"
#include "engine3d/four_points_simd.h"
#include "engine3d/math.h"

#if VORN_SSE2
// Two points a step, each coordinate of both side by side: the six floats of
// the pair read in two loads and sorted into x, y and z pairs, each output
// summed in transform_point's order, then written back point by point. The
// 8-byte loads and stores are SSE2's integer ones, which WebAssembly SIMD
// has as single instructions.
static int32_t transform_pairs_sse2(Vec3* dst, const Vec3* src, int32_t count,
                                    const WideMatrix& w) {
    __m128d M[16];
    for (int i = 0; i < 16; i++) M[i] = _mm_set1_pd(w.m[i]);
    const auto row = [&M](__m128d x, __m128d y, __m128d z, int c) {
        return _mm_add_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(x, M[c]), _mm_mul_pd(y, M[4 + c])),
                                     _mm_mul_pd(z, M[8 + c])),
                          M[12 + c]);
    };
    int32_t i = 0;
    for (; i + 2 <= count; i += 2) {
        const float* in = &src[i].x;
        const __m128 head = _mm_loadu_ps(in); // ax ay az bx
        const __m128 tail =
            _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + 4)));
        const __m128 yz = _mm_shuffle_ps(head, tail, _MM_SHUFFLE(1, 0, 2, 1)); // ay az by bz
        const __m128d x = _mm_cvtps_pd(_mm_shuffle_ps(head, head, _MM_SHUFFLE(3, 3, 3, 0)));
        const __m128d y = _mm_cvtps_pd(_mm_shuffle_ps(yz, yz, _MM_SHUFFLE(2, 2, 2, 0)));
        const __m128d z = _mm_cvtps_pd(_mm_shuffle_ps(yz, yz, _MM_SHUFFLE(3, 3, 3, 1)));
        const __m128 out_x = _mm_cvtpd_ps(row(x, y, z, 0)), out_y = _mm_cvtpd_ps(row(x, y, z, 1));
        const __m128 out_z = _mm_cvtpd_ps(row(x, y, z, 2));
        const __m128i xy = _mm_castps_si128(_mm_unpacklo_ps(out_x, out_y)); // ax ay bx by
        _mm_storel_epi64(reinterpret_cast<__m128i*>(&dst[i].x), xy);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(&dst[i + 1].x), _mm_unpackhi_epi64(xy, xy));
        dst[i].z = _mm_cvtss_f32(out_z);
        dst[i + 1].z = _mm_cvtss_f32(_mm_shuffle_ps(out_z, out_z, 1));
    }
    return i;
}
#endif

#if VORN_AVX2
// Output c of four points, rounded to float.
VORN_TARGET_AVX2 static inline __m128 matrix_column(const __m256d* M, __m256d x, __m256d y,
                                                    __m256d z, int c) {
    const __m256d xy = _mm256_add_pd(_mm256_mul_pd(x, M[c]), _mm256_mul_pd(y, M[4 + c]));
    return _mm256_cvtpd_ps(_mm256_add_pd(_mm256_add_pd(xy, _mm256_mul_pd(z, M[8 + c])), M[12 + c]));
}

// Four points a step: their x, y and z fours, each output summed in transform_point's order, then
// sorted back into points and written in three stores.
VORN_TARGET_AVX2 static int32_t transform_quads_avx2(Vec3* dst, const Vec3* src, int32_t count,
                                                     const WideMatrix& w) {
    __m256d M[16];
    for (int i = 0; i < 16; i++) M[i] = _mm256_set1_pd(w.m[i]);
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        float* out = &dst[i].x;
        __m128 xs, ys, zs;
        load_four_points(src + i, &xs, &ys, &zs);
        const __m256d x = _mm256_cvtps_pd(xs), y = _mm256_cvtps_pd(ys), z = _mm256_cvtps_pd(zs);
        const __m128 ox = matrix_column(M, x, y, z, 0), oy = matrix_column(M, x, y, z, 1);
        const __m128 oz = matrix_column(M, x, y, z, 2);
        const __m128 xy01 = _mm_unpacklo_ps(ox, oy), xy23 = _mm_unpackhi_ps(ox, oy);
        const __m128 z0x1 = _mm_shuffle_ps(oz, xy01, _MM_SHUFFLE(2, 2, 0, 0));
        const __m128 y1z1 = _mm_shuffle_ps(xy01, oz, _MM_SHUFFLE(1, 1, 3, 3));
        const __m128 z2x3 = _mm_shuffle_ps(oz, xy23, _MM_SHUFFLE(2, 2, 2, 2));
        const __m128 y3z3 = _mm_shuffle_ps(xy23, oz, _MM_SHUFFLE(3, 3, 3, 3));
        _mm_storeu_ps(out, _mm_shuffle_ps(xy01, z0x1, _MM_SHUFFLE(2, 0, 1, 0)));
        _mm_storeu_ps(out + 4, _mm_shuffle_ps(y1z1, xy23, _MM_SHUFFLE(1, 0, 2, 0)));
        _mm_storeu_ps(out + 8, _mm_shuffle_ps(z2x3, y3z3, _MM_SHUFFLE(2, 0, 2, 0)));
    }
    return i;
}
#endif

#if VORN_SSE2
static void transform_wide_sse2(Vec3* dst, const Vec3* src, int32_t count, const WideMatrix& w) {
    const int32_t i = transform_pairs_sse2(dst, src, count, w);
    transform_wide_plain(dst + i, src + i, count - i, w);
}
#endif

#if VORN_AVX2
// Under four points, the SSE2 pairs.
static void transform_wide_avx2(Vec3* dst, const Vec3* src, int32_t count, const WideMatrix& w) {
    int32_t i = transform_quads_avx2(dst, src, count, w);
    if (i == 0) i = transform_pairs_sse2(dst, src, count, w);
    transform_wide_plain(dst + i, src + i, count - i, w);
}
#endif

void choose_math_kernels() {
    transform_wide = transform_wide_plain;
#if VORN_SSE2
    if (use_simd) transform_wide = transform_wide_sse2;
#endif
#if VORN_AVX2
    if (use_simd && use_avx2) transform_wide = transform_wide_avx2;
#endif
}
