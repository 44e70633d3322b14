#include "engine3d/mapping.h"
#include "model_writer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const double kPi = 3.14159265358979;

class MappingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        build_angle_tables();
        scene_init(&scene, 1);
    }
    ScopedDirectory dir;
    Scene scene;

    const Mesh& load(const std::vector<ModelPoint>& points,
                     const std::vector<ModelTriangle>& faces) {
        write_file("m.m3d", model_bytes(points, faces));
        EXPECT_EQ(scene_load_object(&scene, "m.m3d", 1, 0, 0, 0, 16, 0, 0, 0, 0), 0);
        return scene.objects[0].mesh;
    }
};

void expect_uv(const Face& face, int corner, double u, double v) {
    EXPECT_NEAR(face.uv[corner][0], u, 1e-3) << "corner " << corner;
    EXPECT_NEAR(face.uv[corner][1], v, 1e-3) << "corner " << corner;
}

TEST_F(MappingTest, PlanarSpansTheTextureAndSetsTheSurface) {
    // x in [-10, 30], y in [5, 25], flat in z.
    const Mesh& mesh =
        load({{-10, 5, 3}, {30, 5, 3}, {30, 25, 3}, {-10, 25, 3}}, {{0, 1, 2}, {0, 2, 3}});
    surface_map(&scene, 0, 0, 18, 2, 1, 2, 3, MAP_PLANAR, 2);
    expect_uv(mesh.faces[0], 2, 254, 254);
    EXPECT_EQ(mesh.faces[1].attr, 18u + 2u * 256u);
    // Along x: u from y, v from z, whose zero extent counts as a half size of 1.
    surface_map(&scene, 0, 0, 18, 2, 1, 2, 3, MAP_PLANAR, 0);
    expect_uv(mesh.faces[0], 2, 254, 127);
    // An object or surface out of range changes nothing.
    surface_map(&scene, 0, 1, 19, 2, 0, 0, 0, MAP_PLANAR, 2);
    surface_map(&scene, 1, 0, 19, 2, 0, 0, 0, MAP_PLANAR, 2);
    EXPECT_EQ(mesh.faces[0].attr, 18u + 2u * 256u);
    expect_uv(mesh.faces[0], 2, 254, 127);
}

TEST_F(MappingTest, DirectionModeUsesUnitVectorsAndTheOrigin) {
    const Mesh& mesh = load({{0, 0, 0}, {3, 4, 0}, {0, -6, 8}}, {{0, 1, 2}});
    surface_map(&scene, 0, 0, 18, 2, 0, 0, 0, 0, 2);
    expect_uv(mesh.faces[0], 0, 127, 127); // the origin maps to the centre
    expect_uv(mesh.faces[0], 1, (0.6 + 1) * 127, (0.8 + 1) * 127);
    surface_map(&scene, 0, 0, 18, 2, 0, 0, 0, 9, 0); // u from y, v from z
    expect_uv(mesh.faces[0], 2, (-0.6 + 1) * 127, (0.8 + 1) * 127);
}

TEST_F(MappingTest, BoxModePicksTheAxisFromTheFaceNormal) {
    // Face 0 faces x (u from y, v from z); face 1 faces z (u from x, v from y).
    const Mesh& mesh = load({{0, 0, 0}, {0, 2, 0}, {0, 0, 2}, {2, 0, 0}}, {{0, 1, 2}, {0, 3, 1}});
    surface_map(&scene, 0, 0, 18, 2, 0, 0, 0, MAP_BOX, 2);
    // Surface box: centre (1, 1, 1), half sizes 1.
    expect_uv(mesh.faces[0], 1, 254, 0); // (0, 2, 0): y = +1, z = -1
    expect_uv(mesh.faces[1], 1, 254, 0); // (2, 0, 0): x = +1, y = -1
}

// Coordinates are rounded to f32 once, where stored, not in the quotients on the way.
TEST_F(MappingTest, CoordinatesAreRoundedOnceWhereStored) {
    // A ring vertex of a radius-30 sphere at polar angle 0.6 pi (f32): 255 x 1.8849555 / pi is
    // 153.00000 in double, 152.99998 had the quotient been rounded to f32 first.
    const Mesh& sphere = load({{28.531696319580078f, -9.270509719848633f, 0},
                               {-28.531696319580078f, 9.270509719848633f, 0},
                               {0, 0, 30},
                               {0, 0, -30}},
                              {{0, 1, 2}, {0, 1, 3}});
    surface_map(&scene, 0, 0, 22, 3, 0, 0, 0, MAP_SPHERICAL, 0);
    EXPECT_EQ(sphere.faces[0].uv[0][0], 0.0f);
    EXPECT_EQ(sphere.faces[0].uv[0][1], 153.0f);
    // Planar: x = -126 of a surface from -127 to 127 gives (1 - 126 / 127) x 127
    // = 1 exactly; through an f32 quotient it was 0.9999995.
    scene_init(&scene, 1);
    const Mesh& flat = load({{-127, 0, 0}, {127, 2, 0}, {-126, 1, 0}}, {{0, 1, 2}});
    surface_map(&scene, 0, 0, 18, 2, 0, 0, 0, MAP_PLANAR, 2);
    EXPECT_EQ(flat.faces[0].uv[2][0], 1.0f);
    EXPECT_EQ(flat.faces[0].uv[2][1], 127.0f);
}

TEST(MappingAngles, AzimuthAndPolarAgreeWithAtan2AndAcos) {
    for (float a : {-3.0f, 0.0f, 0.5f, 2.0f})
        for (float b : {-3.0f, 0.0f, 0.5f})
            for (float c : {-2.0f, 0.0f, 0.75f}) {
                SCOPED_TRACE(testing::Message() << a << " " << b << " " << c);
                double azimuth = std::fmod(std::atan2(double(c), double(a)) + 2 * kPi, 2 * kPi);
                if (a == 0 && c == 0) azimuth = kPi;
                const double r = std::sqrt(double(a) * a + double(b) * b + double(c) * c);
                float az, polar;
                sphere_angles(a, b, c, &az, &polar);
                EXPECT_NEAR(az, azimuth, 1e-6);
                EXPECT_NEAR(polar, r == 0 ? kPi / 2 : std::acos(b / r), 1e-6);
            }
}

TEST(MappingAngles, PointOnTheAxisTheSeamAndCylinder) {
    const Vec3 unit = {1, 1, 1};
    float u = -1, v = -1;
    // About y (axis 1: p = x, s = z), a face with every x at or above 0 and z
    // of both signs straddles the seam: its corners at x > 0, z >= 0 go a
    // texture width on.
    const auto seam_shift = [&](Vec3 point) {
        float plain = -1;
        map_point_uv(MAP_KIND_SPHERE, &point, &unit, 1, 256, 256, 1, 0, 0, &u, &v);
        map_point_uv(MAP_KIND_SPHERE, &point, &unit, 1, 256, 256, 0, 0, 0, &plain, &v);
        return u - plain;
    };
    EXPECT_NEAR(seam_shift({5, 1, 0}), 256, 1e-3);
    EXPECT_NEAR(seam_shift({0, 1, 5}), 0, 1e-3);
    EXPECT_NEAR(seam_shift({5, 1, -1}), 0, 1e-3);
    // Axis 3 wraps about x (p = z, q = x, s = y). On the axis (p = s = 0) the
    // azimuth is a quarter or three quarters of a turn by the flag of y.
    const Vec3 on_axis = {5, 0, 0};
    map_point_uv(MAP_KIND_SPHERE, &on_axis, &unit, 3, 256, 256, 0, 1, 0, &u, &v);
    EXPECT_NEAR(u, 255 * 0.25, 1e-3);
    EXPECT_NEAR(v, 0, 1e-6); // straight along +q
    map_point_uv(MAP_KIND_SPHERE, &on_axis, &unit, 3, 256, 256, 0, 0, 0, &u, &v);
    EXPECT_NEAR(u, 255 * 0.75, 1e-3);
    // Cylinder about z (axis 2): p = y, q = z, s = x, height from z / size.z.
    const Vec3 size = {9, 9, 2};
    map_point_uv(MAP_KIND_CYLINDER, &unit, &size, 2, 256, 256, 0, 0, 0, &u, &v);
    EXPECT_NEAR(u, 255 * 0.125, 1e-3);
    EXPECT_NEAR(v, 255 * 0.75, 1e-3);
}

} // namespace
