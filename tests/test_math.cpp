#include "core/cpu.h"
#include "director/kernels.h"
#include "engine3d/math.h"
#include "model_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace {

Matrix4 sample_matrix(float seed) {
    Matrix4 m;
    for (int i = 0; i < 16; i++) m.m[i] = std::sin(seed + float(i) * 0.7f) * 3.0f;
    return m;
}

// Reference product with plain loops over (row, column).
Matrix4 product(const Matrix4& a, const Matrix4& b) {
    Matrix4 r;
    for (int row = 0; row < 4; row++)
        for (int col = 0; col < 4; col++) {
            double sum = 0;
            for (int k = 0; k < 4; k++) sum += double(a.m[4 * row + k]) * b.m[4 * k + col];
            r.m[4 * row + col] = float(sum);
        }
    return r;
}

void expect_near(const Matrix4& a, const Matrix4& b, float tolerance = 1e-5f) {
    for (int i = 0; i < 16; i++) EXPECT_NEAR(a.m[i], b.m[i], tolerance) << "element " << i;
}

struct MathTest : ::testing::Test {
    void SetUp() override { build_angle_tables(); }
};

} // namespace

TEST_F(MathTest, ProductsMatchReferenceAndAllowAliasingTheFirstOperand) {
    const Matrix4 a = sample_matrix(0.3f), b = sample_matrix(1.9f);
    Matrix4 dst, in_place = a;
    mat_mul(&dst, &a, &b);
    expect_near(dst, product(a, b));
    mat_mul(&in_place, &in_place, &b);
    expect_near(in_place, dst, 0);
    in_place = a;
    mat_premul(&dst, &a, &b); // b x a
    expect_near(dst, product(b, a));
    mat_premul(&in_place, &in_place, &b);
    expect_near(in_place, dst, 0);
}

TEST_F(MathTest, RotationIdentities) {
    Matrix4 m, identity;
    mat_identity(&identity);
    mat_rotation_angles(&m, 0, 0, 0);
    expect_near(m, identity, 0);

    // A quarter turn of the first angle (about y): x goes to z, z to -x.
    mat_rotation_angles(&m, 64, 0, 0);
    expect_near(m, Matrix4{{0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1}}, 1e-6f);

    // Any rotation equals Ry x Rx x Rz built separately.
    const uint8_t a = 37, b = 200, c = 91;
    mat_rotation_angles(&m, a, b, c);
    Matrix4 ry, rx, rz, ryx, expected;
    mat_rotation_angles(&ry, a, 0, 0);
    mat_rotation_angles(&rx, 0, b, 0);
    mat_rotation_angles(&rz, 0, 0, c);
    mat_mul(&ryx, &ry, &rx);
    mat_mul(&expected, &ryx, &rz);
    expect_near(m, expected);
}

TEST_F(MathTest, TransformUsesRowVectorsAndTranslation) {
    Matrix4 m;
    mat_rotation_angles(&m, 64, 0, 0);
    m.m[12] = 10, m.m[13] = 20, m.m[14] = 30;
    Vec3 p = {1, 2, 3};
    transform_point(&p, &p, &m);                  // in place
    expect_vec(p, -3 + 10, 2 + 20, 1 + 30, 1e-5); // (1, 2, 3) turns to (-3, 2, 1), then moves

    Vec3 points[2] = {{1, 0, 0}, {0, 0, 1}};
    Vec3 untouched[2] = {{7, 7, 7}, {7, 7, 7}};
    transform_points(untouched, points, 0, &m);
    transform_points(untouched, points, -3, &m);
    EXPECT_EQ(untouched[0].x, 7);
    EXPECT_EQ(untouched[1].z, 7);
    transform_points(points, points, 2, &m);
    expect_vec(points[0], 10, 20, 1 + 30, 1e-5);
    expect_vec(points[1], -1 + 10, 20, 30, 1e-5);

    // Runs of any length give transform_point's floats on every path.
    mat_rotation_angles(&m, 37, 201, 90);
    m.m[12] = -0.1f, m.m[13] = 1e5f, m.m[14] = 3.3f;
    Vec3 many[11], expected[11];
    for (int i = 0; i < 11; i++) {
        many[i] = {i * 1.7f - 5, 100.0f / (i + 1), -i * 0.3f};
        transform_point(&expected[i], &many[i], &m);
    }
    const bool has_avx2 = use_avx2;
    for (const auto& [simd, avx2] : {std::pair{true, true}, {true, false}, {false, false}}) {
        use_simd = simd, use_avx2 = avx2 && has_avx2;
        choose_kernels();
        Vec3 out[11];
        transform_points(out, many, 11, &m);
        for (int i = 0; i < 11; i++)
            EXPECT_TRUE(out[i].x == expected[i].x && out[i].y == expected[i].y &&
                        out[i].z == expected[i].z)
                << "point " << i << (simd ? avx2 ? " (AVX2)" : " (SSE2)" : " (plain)");
    }
    use_simd = true, use_avx2 = has_avx2;
    choose_kernels();
}

TEST_F(MathTest, NormalsDotsAndLengths) {
    Vec3 n;
    face_normal(0, 0, 0, 1, 1, 1, 3, 3, 3, &n.x, &n.y, &n.z); // collinear
    EXPECT_EQ(vec_length(n.x, n.y, n.z), 0.0);
    EXPECT_DOUBLE_EQ(vec_length(3, 4, 12), 13.0);
    const Vec3 a = {1, 2, 3}, b = {-4, 5, 0.5f};
    EXPECT_DOUBLE_EQ(vec_dot(&a, &b), -4 + 10 + 1.5);
}
