// Vectors, row-vector 4x4 matrices and the 256-step angle tables.
#pragma once

#include <cmath>
#include <cstdint>

struct Vec3 {
    float x, y, z;
};

// Row-major, element 4 * row + column; points are row vectors (x, y, z, 1) x M,
// the translation in elements 12, 13, 14.
struct Matrix4 {
    float m[16];
};

extern float sin_table[256];
extern float cos_table[256];

void build_angle_tables();

Matrix4* mat_identity(Matrix4* m);
// dst = a x b; dst may be a, never b. Returns a.
Matrix4* mat_mul(Matrix4* dst, const Matrix4* a, const Matrix4* b);
// dst = b x a; dst may be a, never b.
void mat_premul(Matrix4* dst, const Matrix4* a, const Matrix4* b);
// Ry(first) x Rx(second) x Rz(third) from three sine/cosine pairs.
void mat_rotation(Matrix4* m, float s1, float s2, float s3, float c1, float c2, float c3);
// The same rotation for three 8-bit angles, taken from the tables.
void mat_rotation_angles(Matrix4* m, uint8_t a, uint8_t b, uint8_t c);

void transform_point(Vec3* out, const Vec3* in, const Matrix4* m);
// transform_point over count points; dst may be src.
void transform_points(Vec3* dst, const Vec3* src, int32_t count, const Matrix4* m);

// A matrix widened to double once, so that the point loops need not read it
// back after every store (dst might have been the matrix, as far as the
// compiler knows).
struct WideMatrix {
    double m[16];
};

// transform_points' kernel: choose_math_kernels (math_simd.cpp) points it at
// the plain loop or an SSE2 / AVX2 twin.
extern void (*transform_wide)(Vec3* dst, const Vec3* src, int32_t count, const WideMatrix& w);
void transform_wide_plain(Vec3* dst, const Vec3* src, int32_t count, const WideMatrix& w);
void choose_math_kernels();

// Inline, as the lighting calls them for every lit corner.
inline double vec_dot(const Vec3* a, const Vec3* b) {
    return double(a->x) * b->x + double(a->y) * b->y + double(a->z) * b->z;
}

inline double vec_length(float x, float y, float z) {
    return std::sqrt(double(x) * x + double(y) * y + double(z) * z);
}

void face_normal(float x0, float y0, float z0, float x1, float y1, float z1, float x2, float y2,
                 float z2, float* nx, float* ny, float* nz);
