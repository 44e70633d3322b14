#include "engine3d/math.h"

#include <cmath>

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

static WideMatrix widen(const Matrix4* m) {
    WideMatrix w;
    for (int i = 0; i < 16; i++) w.m[i] = m->m[i];
    return w;
}

void transform_wide_plain(Vec3* dst, const Vec3* src, int32_t count, const WideMatrix& w) {
    for (int32_t i = 0; i < count; i++) dst[i] = transformed(src[i], w.m);
}

void (*transform_wide)(Vec3* dst, const Vec3* src, int32_t count,
                       const WideMatrix& w) = transform_wide_plain;

void transform_points(Vec3* dst, const Vec3* src, int32_t count, const Matrix4* m) {
    transform_wide(dst, src, count, widen(m));
}

void face_normal(float x0, float y0, float z0, float x1, float y1, float z1, float x2, float y2,
                 float z2, float* nx, float* ny, float* nz) {
    const double ux = double(x1) - x0, uy = double(y1) - y0, uz = double(z1) - z0;
    const double wx = double(x2) - x0, wy = double(y2) - y0, wz = double(z2) - z0;
    *nx = float(uy * wz - uz * wy);
    *ny = float(uz * wx - ux * wz);
    *nz = float(ux * wy - uy * wx);
}
