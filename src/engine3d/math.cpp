#include "engine3d/math.h"

#include "core/cpu.h"

#include "engine3d/four_points.h"

#include <cmath>

#if VORN_SSE2
#include <emmintrin.h>
#endif
#if VORN_AVX2
#include <immintrin.h>
#endif

float sin_table[256];
float cos_table[256];

void build_angle_tables() {
    // 2 pi / 256 with pi rounded to 3.14159275, as the tables were always built.
    const long double step = 0.024543693348032258L;
    for (int i = 0; i < 256; i++) {
        const long double t = i * step;
        sin_table[i] = float(std::sin(t));
        cos_table[i] = float(std::cos(t));
    }
}

Matrix4* mat_identity(Matrix4* m) {
    for (int i = 0; i < 16; i++) m->m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
    return m;
}

Matrix4* mat_mul(Matrix4* dst, const Matrix4* a, const Matrix4* b) {
    const float* B = b->m;
    for (int r = 0; r < 4; r++) {
        const double a0 = a->m[4 * r], a1 = a->m[4 * r + 1], a2 = a->m[4 * r + 2],
                     a3 = a->m[4 * r + 3];
        for (int c = 0; c < 4; c++)
            dst->m[4 * r + c] = float(a0 * B[c] + a1 * B[4 + c] + a2 * B[8 + c] + a3 * B[12 + c]);
    }
    return const_cast<Matrix4*>(a);
}

void mat_premul(Matrix4* dst, const Matrix4* a, const Matrix4* b) {
    const float* B = b->m;
    for (int c = 0; c < 4; c++) {
        const double a0 = a->m[c], a1 = a->m[4 + c], a2 = a->m[8 + c], a3 = a->m[12 + c];
        for (int r = 0; r < 4; r++)
            dst->m[4 * r + c] =
                float(B[4 * r] * a0 + B[4 * r + 1] * a1 + B[4 * r + 2] * a2 + B[4 * r + 3] * a3);
    }
}

void mat_rotation(Matrix4* m, float s1, float s2, float s3, float c1, float c2, float c3) {
    const double S1 = s1, S2 = s2, S3 = s3, C1 = c1, C2 = c2, C3 = c3;
    float* o = m->m;
    o[0] = float(S1 * S2 * S3 + C1 * C3);
    o[1] = float(S1 * S2 * C3 - C1 * S3);
    o[2] = float(S1 * C2);
    o[3] = 0;
    o[4] = float(C2 * S3);
    o[5] = float(C2 * C3);
    o[6] = float(-S2);
    o[7] = 0;
    o[8] = float(C1 * S2 * S3 - S1 * C3);
    o[9] = float(C1 * S2 * C3 + S1 * S3);
    o[10] = float(C1 * C2);
    o[11] = 0;
    o[12] = o[13] = o[14] = 0;
    o[15] = 1;
}

void mat_rotation_angles(Matrix4* m, uint8_t a, uint8_t b, uint8_t c) {
    mat_rotation(m, sin_table[a], sin_table[b], sin_table[c], cos_table[a], cos_table[b],
                 cos_table[c]);
}

// p x M in double, each output rounded once to float; M's elements are the
// matrix's floats, as floats or widened (the products are the same).
template <class Element> static inline Vec3 transformed(const Vec3& p, const Element* M) {
    const double x = p.x, y = p.y, z = p.z;
    return {float(x * M[0] + y * M[4] + z * M[8] + M[12]),
            float(x * M[1] + y * M[5] + z * M[9] + M[13]),
            float(x * M[2] + y * M[6] + z * M[10] + M[14])};
}

void transform_point(Vec3* out, const Vec3* in, const Matrix4* m) {
    *out = transformed(*in, m->m);
}

// The matrix widened to double once, so that the loops need not read it back
// after every store (dst might have been the matrix, as far as the compiler
// knows).
struct WideMatrix {
    double m[16];
};

static WideMatrix widen(const Matrix4* m) {
    WideMatrix w;
    for (int i = 0; i < 16; i++) w.m[i] = m->m[i];
    return w;
}

#if VORN_SSE2
// Two points a step, each coordinate of both side by side: the six floats of
// the pair read in two loads and sorted into x, y and z pairs, each output
// summed in transform_point's order, then written back point by point.
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
        const __m128 tail = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(in + 4));
        const __m128 yz = _mm_shuffle_ps(head, tail, _MM_SHUFFLE(1, 0, 2, 1)); // ay az by bz
        const __m128d x = _mm_cvtps_pd(_mm_shuffle_ps(head, head, _MM_SHUFFLE(3, 3, 3, 0)));
        const __m128d y = _mm_cvtps_pd(_mm_shuffle_ps(yz, yz, _MM_SHUFFLE(2, 2, 2, 0)));
        const __m128d z = _mm_cvtps_pd(_mm_shuffle_ps(yz, yz, _MM_SHUFFLE(3, 3, 3, 1)));
        const __m128 out_x = _mm_cvtpd_ps(row(x, y, z, 0)), out_y = _mm_cvtpd_ps(row(x, y, z, 1));
        const __m128 out_z = _mm_cvtpd_ps(row(x, y, z, 2));
        const __m128 xy = _mm_unpacklo_ps(out_x, out_y); // ax ay bx by
        _mm_storel_pi(reinterpret_cast<__m64*>(&dst[i].x), xy);
        _mm_storeh_pi(reinterpret_cast<__m64*>(&dst[i + 1].x), xy);
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

void transform_points(Vec3* dst, const Vec3* src, int32_t count, const Matrix4* m) {
    const WideMatrix w = widen(m);
    int32_t i = 0;
#if VORN_AVX2
    if (use_simd && use_avx2) i = transform_quads_avx2(dst, src, count, w);
#endif
#if VORN_SSE2
    if (use_simd && i == 0) i = transform_pairs_sse2(dst, src, count, w); // no AVX2, or under four
#endif
    for (; i < count; i++) dst[i] = transformed(src[i], w.m);
}

void face_normal(float x0, float y0, float z0, float x1, float y1, float z1, float x2, float y2,
                 float z2, float* nx, float* ny, float* nz) {
    const double ux = double(x1) - x0, uy = double(y1) - y0, uz = double(z1) - z0;
    const double wx = double(x2) - x0, wy = double(y2) - y0, wz = double(z2) - z0;
    *nx = float(uy * wz - uz * wy);
    *ny = float(uz * wx - ux * wz);
    *nz = float(ux * wy - uy * wx);
}
