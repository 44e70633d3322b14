#include "core/cpu.h"
#include "data/render_resources.h"
#include "director/kernels.h"
#include "effects/effect_tables.h"
#include "engine3d/lighting.h"
#include "engine3d/render.h"
#include "frame_support.h"
#include "model_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <tuple>

namespace {

// A 100 x 100 square in the z = 0 plane; the front faces run counter-clockwise
// on screen for a camera looking along +z.
const std::vector<ModelPoint> kSquare = {{-50, -50, 0}, {50, -50, 0}, {50, 50, 0}, {-50, 50, 0}};
const std::vector<ModelTriangle> kFront = {{0, 2, 1}, {0, 3, 2}};
const std::vector<ModelTriangle> kBack = {{0, 1, 2}, {0, 2, 3}};

constexpr uint32_t kBackground = 0x123456;

class RenderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        build_angle_tables();
        ASSERT_EQ(create_working_surface(), 1);
        ASSERT_EQ(alloc_render_buffers(FRAME_WIDTH, FRAME_HEIGHT), 1);
        ASSERT_EQ(texture_table_alloc(5), 1);
        display_depth = 32;
        surface_failing_locks = 0;
        fill_surface(surface_virtual1, kBackground);
        camera_init(&camera, 256, 159, 99, 1, 1, 0, 320, 0, 200);
        camera_set_position(&camera, 0, 0, -200);
        scene_init(&scene, 3);
        write_file("front.m3d", model_bytes(kSquare, kFront));
        write_file("back.m3d", model_bytes(kSquare, kBack));
    }
    void TearDown() override {
        texture_table_free();
        free_render_buffers();
        release_working_surface();
    }

    uint16_t load(const char* name, uint32_t type, uint8_t texture = 0) {
        return scene_load_object(&scene, name, 1, 0, 0, 0, type, texture, 200, 100, 50);
    }
    // Transforms every object and renders one frame; the pixels drawn.
    int frame() {
        scene_alloc_work(&scene);
        scene_begin_frame(&scene, FRAME_ADVANCE_STAMP | FRAME_CLEAR_IDS);
        for (uint16_t i = 0; i < scene.object_count; i++) object_transform(&scene, i, &camera);
        render_scene(&scene, &camera, surface_virtual1);
        return pixels_not(kBackground);
    }

    ScopedDirectory dir;
    Scene scene;
    Camera camera;
};

// The stamp runs 1..126, the 127th frame wraps it to 0 and clears the depth
// buffer; the ids are cleared on their own flag, which leaves the stamp.
TEST_F(RenderTest, BeginFrameCyclesTheStampAndClearsDepthOnce) {
    frame_stamp = 0;
    depth_buffer[77] = 0xABCDEF;
    id_buffer[5] = 9;
    for (int i = 1; i <= 126; i++) {
        scene_begin_frame(&scene, FRAME_ADVANCE_STAMP);
        ASSERT_EQ(frame_stamp, i);
    }
    EXPECT_EQ(id_buffer[5], 9);
    scene_begin_frame(&scene, FRAME_CLEAR_IDS);
    EXPECT_EQ(id_buffer[5], 0);
    EXPECT_EQ(frame_stamp, 126);
    EXPECT_EQ(depth_buffer[77], 0xABCDEFu);
    scene_begin_frame(&scene, FRAME_ADVANCE_STAMP);
    EXPECT_EQ(frame_stamp, 0);
    EXPECT_EQ(depth_buffer[77], 0u);
}

TEST_F(RenderTest, ProjectionOfZeroDepthAndScaled) {
    camera.centre_x = 160, camera.centre_y = 100, camera.scale_x = 2, camera.scale_y = 0.5f;
    Vec3 p[2] = {{1, 1, 0}, {10, -20, 128}};
    project_points(p, &camera, 1);
    EXPECT_FLOAT_EQ(p[0].x, -96); // z 0 projects as z -1
    EXPECT_FLOAT_EQ(p[0].z, 0);
    project_points_scaled(p + 1, &camera, 1);
    EXPECT_FLOAT_EQ(p[1].x, 360); // (256 / 128 * 10 + 160) * 2, centre scaled too
    EXPECT_FLOAT_EQ(p[1].y, 30);
}

TEST_F(RenderTest, TransformCullsBoxesBehindTheCamera) {
    for (uint16_t i = 0; i < 3; i++) ASSERT_EQ(load("front.m3d", 17), i);
    object_move(&scene, 0, 0, 0, -250); // wholly behind the viewer at z -200
    object_move(&scene, 1, 10, 0, 200);
    object_rotate(&scene, 2, 64, 0, 0); // edge-on, at view z -50 to +50
    object_move(&scene, 2, 0, 0, -200);
    ASSERT_EQ(scene_alloc_work(&scene), 1);
    std::fill(scene.view_positions.begin(), scene.view_positions.end(), Vec3{-7, -7, -7});

    scene_begin_frame(&scene, 0);
    object_transform(&scene, 0, &camera);
    EXPECT_EQ(scene.objects[0].hidden, 1u);
    EXPECT_EQ(scene.vertex_cursor, 0u);
    EXPECT_EQ(scene.view_positions[0].x, -7.0f);

    object_transform(&scene, 1, &camera);
    EXPECT_EQ(scene.objects[1].hidden, 0u);
    // Vertex 2 (50, 50, 0) at (10, 0, 200): view (60, 50, 400), screen
    // 256 / 400 * (60, 50) + (159, 99).
    expect_vec(scene.screen_positions[2], 159 + 38.4, 99 + 32, 400, 1e-4);

    object_transform(&scene, 2, &camera);
    EXPECT_EQ(scene.objects[2].hidden, 0u);
    // World normals turn with the object but ignore camera and position:
    // (0, 0, -1) turned a quarter about y is (1, 0, 0).
    EXPECT_NEAR(scene.world_normals[4].x, 1, 1e-6);

    // The arrays hold 12 entries (the culled object counts too): a second
    // transform of object 1 takes the last four, a third is refused.
    object_transform(&scene, 1, &camera);
    object_transform(&scene, 1, &camera);
    EXPECT_EQ(scene.vertex_cursor, 12u);
    EXPECT_EQ(scene.objects[1].vertex_base, 8);
}

TEST_F(RenderTest, TriangleVisibility) {
    set_guard_box(&camera);
    FillVertex r[3];
    auto visible = [&](Vec3 a, Vec3 b, Vec3 c) {
        return triangle_visible(&r[0], &r[1], &r[2], &a, &b, &c);
    };
    EXPECT_EQ(visible({10, 10, 5}, {10, 50, 5}, {50, 10, 5}), 1);
    // Reversed winding, zero area.
    EXPECT_EQ(visible({10, 10, 5}, {50, 10, 5}, {10, 50, 5}), 0);
    EXPECT_EQ(visible({10, 10, 5}, {20, 20, 5}, {30, 30, 5}), 0);
    // Depth rounds to nearest, ties to even: 0.5 -> 0 is dropped, 1.5 -> 2 kept.
    EXPECT_EQ(visible({10, 10, 900}, {10, 50, 0.5f}, {50, 10, 900}), 0);
    EXPECT_EQ(visible({10, 10, 900}, {10, 50, -40}, {50, 10, 900}), 0);
    EXPECT_EQ(visible({10, 10, 900}, {10, 50, 1.5f}, {50, 10, 900}), 1);
    EXPECT_EQ(r[1].z, 2);
    EXPECT_EQ(visible({10.5f, 10, 5}, {10, 49.5f, 5}, {50, 11.5f, 5}), 1);
    EXPECT_EQ(std::make_tuple(r[0].x, r[1].y, r[2].y), std::make_tuple(10, 50, 12)); // ties to even
    // Guard box columns -5 < x < 324, rows -5 < y < 204, exclusive; the row
    // of one corner and the column of another suffice.
    EXPECT_EQ(visible({-400, -100, 5}, {-400, 900, 5}, {-5, 0, 5}), 0);
    EXPECT_EQ(visible({-400, -100, 5}, {-400, 900, 5}, {-4, 0, 5}), 1);
    EXPECT_EQ(visible({-100, 100, 5}, {100, 900, 5}, {900, -400, 5}), 1);
    EXPECT_EQ(visible({330, -400, 5}, {324, 900, 5}, {900, 100, 5}), 0);
    EXPECT_EQ(visible({0, 204, 5}, {-50, 900, 5}, {900, 900, 5}), 0);
    // Corners saturated far outside: the winding's products pass 64 bits.
    EXPECT_EQ(visible({-3e9f, 3e9f, 5}, {100, -3e9f, 5}, {3e9f, 100, 5}), 0);
    EXPECT_EQ(visible({-3e9f, 3e9f, 5}, {3e9f, 100, 5}, {100, -3e9f, 5}), 1);
}

// The batch culling lists just the faces face_drawn draws, in order, on every
// path: corners around the guard box's edges, behind the viewer, and far
// enough out that the winding's differences leave 32 bits.
TEST(DrawnFaces, ListTheFacesTheTestDraws) {
    const int32_t coordinates[] = {
        -6,        -5,       -4,  0,       100,        203,           204,
        323,       324,      325, 1 << 30, -(1 << 30), (1 << 30) - 1, -(1 << 30) - 1,
        INT32_MAX, INT32_MIN};
    const int32_t depths[] = {-1, 0, 1, 1, 1, 900};
    uint32_t seed = 12345;
    const auto pick = [&seed](uint32_t n) {
        return ((seed = seed * 1664525u + 1013904223u) >> 8) % n;
    };
    std::vector<ScreenPoint> points(41); // one more than used: the culling reads sixteen bytes
    for (size_t i = 0; i + 1 < points.size(); i++)
        points[i] = {coordinates[pick(16)], coordinates[pick(16)], depths[pick(6)]};
    std::vector<Face> faces(203); // not a whole number of eight-face steps
    for (Face& f : faces) f.vert_a = pick(38), f.vert_b = pick(38), f.vert_c = pick(38);
    const GuardBox box = {-5, 324, -5, 204};
    const uint32_t base = 2;

    std::vector<uint32_t> expected;
    for (uint32_t i = 3; i < faces.size(); i++)
        if (face_drawn(points[base + faces[i].vert_a], points[base + faces[i].vert_b],
                       points[base + faces[i].vert_c], box))
            expected.push_back(i);
    ASSERT_GT(expected.size(), 10u);
    const bool has_avx2 = use_avx2;
    for (const bool avx2 : {true, false}) {
        use_avx2 = avx2 && has_avx2;
        choose_kernels();
        std::vector<uint32_t> drawn(faces.size());
        drawn.resize(drawn_faces(faces.data(), 3, uint32_t(faces.size()), base, points.data(), box,
                                 drawn.data()));
        EXPECT_EQ(drawn, expected) << (avx2 ? "AVX2" : "scalar");
    }
    use_avx2 = has_avx2;
    choose_kernels();
}

TEST_F(RenderTest, LightSumsAndClamps) {
    // Only the reserved slot: the ambient level, clamped to 1..255.
    EXPECT_EQ(light_vertex(&scene, 0, 0, -1, 0, 0, 100), 1);
    scene_set_ambient(&scene, 999);
    EXPECT_EQ(light_vertex(&scene, 0, 0, -1, 0, 0, 100), 255);

    // A spot light at the origin seen from the origin: view direction (0, 0, -1).
    scene_set_ambient(&scene, 50);
    scene_add_light(&scene, 0, 0, 0, 0, 0, 255, 2000, LIGHT_SPOT);
    camera_set_position(&camera, 0, 0, 0);
    lights_to_view(&scene, &camera);
    // 2000 / 4000 * 255 = 127.5 -> 127; facing the light fully.
    EXPECT_EQ(light_vertex(&scene, 0, 0, -1, 0, 0, 4000), 177);
    // At 60 degrees: 127.5 * 0.5 = 63.75 -> 63.
    EXPECT_EQ(light_vertex(&scene, 0, float(std::sqrt(0.75)), -0.5f, 0, 0, 4000), 113);
    EXPECT_EQ(light_vertex(&scene, 0, 0, 1, 0, 0, 4000), 50); // turned away
    EXPECT_EQ(light_vertex(&scene, 0, 0, -1, 0, 0, 0), 255);  // distance 0 counts as 1

    scene.lights[1].type = LIGHT_POINT;
    EXPECT_EQ(light_vertex(&scene, 0, 0, 1, 0, 3000, 4000), 50 + 102); // 2000/5000*255
    scene.lights[1].type = 7;
    EXPECT_EQ(light_vertex(&scene, 0, 0, -1, 0, 0, 1), 50);

    // The slot's matrix already holds the position, so a light away from the
    // origin lands at position x rotation + position - camera.
    scene_add_light(&scene, 10, 0, 5, 0, 0, 0, 1, LIGHT_POINT);
    camera_set_position(&camera, 0, 0, -100);
    lights_to_view(&scene, &camera);
    EXPECT_FLOAT_EQ(scene.lights[2].view_position.x, 20);
    EXPECT_FLOAT_EQ(scene.lights[2].view_position.z, 110);

    // A whole object lit on every path: every light type, each entry
    // light_vertex's level; the vector paths leave an odd last entry for the
    // face loop.
    scene.lights[1].type = LIGHT_SPOT;
    scene_add_light(&scene, 0, 0, 0, 40, 90, 10, 300, LIGHT_DIRECTIONAL);
    lights_to_view(&scene, &camera);
    constexpr uint32_t kEntries = 13, kFirst = 2;
    scene.world_normals.resize(kFirst + kEntries);
    scene.view_positions.resize(kFirst + kEntries);
    for (uint32_t i = 0; i < kEntries; i++) {
        const float a = 0.5f * float(i); // entries 4 .. 9 turned away from the spot light
        scene.world_normals[kFirst + i] = {std::sin(a), std::cos(a) * 0.6f, -0.8f * std::cos(a)};
        scene.view_positions[kFirst + i] = {a * 90 - 400, 300 - a * 40, 500 + a * 300};
    }
    const bool has_avx2 = use_avx2;
    for (const auto& [simd, avx2, path] :
         {std::tuple{true, true, "AVX2"}, {true, false, "SSE2"}, {false, false, "plain"}}) {
        use_simd = simd, use_avx2 = avx2 && has_avx2;
        choose_kernels();
        const bool twin = light_entries != light_entries_plain;
        int32_t shades[kFirst + kEntries] = {};
        light_entries(&scene, kFirst, kEntries, shades);
        for (uint32_t e = kFirst; e < kFirst + kEntries; e++) {
            const Vec3 &n = scene.world_normals[e], &p = scene.view_positions[e];
            const bool left = twin && e + 1 == kFirst + kEntries;
            EXPECT_EQ(shades[e], left ? 0 : light_vertex(&scene, n.x, n.y, n.z, p.x, p.y, p.z))
                << "entry " << e << " (" << path << ")";
        }
    }
    use_simd = true, use_avx2 = has_avx2;
    choose_kernels();
}

TEST_F(RenderTest, FrontFacesDrawButNotBackFacesBoxesBehindFailedFramesOrHiddenSurfaces) {
    ASSERT_EQ(load("back.m3d", 17), 0);
    ASSERT_EQ(load("front.m3d", 17), 1);
    object_move(&scene, 1, 0, 0, -300);
    scene_set_ambient(&scene, 128);
    EXPECT_EQ(frame(), 0);
    EXPECT_EQ(scene.objects[1].hidden, 1u);

    object_move(&scene, 1, 0, 0, 300);
    surface_failing_locks = 1;
    EXPECT_EQ(frame(), 0);
    display_depth = 16;
    EXPECT_EQ(frame(), 0);
    EXPECT_FALSE(surface_virtual1->locked);
    display_depth = 32;
    const int drawn = frame();
    // Colour (200, 100, 50) at shade 128; screen square from (95, 35) to (223, 163).
    EXPECT_EQ(pixel(159, 99), 0x643219u);
    EXPECT_EQ(pixel(90, 99), kBackground);
    EXPECT_EQ(pixel(159, 170), kBackground);
    EXPECT_EQ(depth_buffer[99 * FRAME_WIDTH + 159] >> 24, frame_stamp);
    EXPECT_GT(drawn, 120 * 120);
    EXPECT_LT(drawn, 130 * 130);

    // The first face decides the surface: type 10 is not drawn.
    fill_surface(surface_virtual1, kBackground);
    scene.objects[1].mesh.faces[0].attr = 26;
    EXPECT_EQ(frame(), 0);
    scene.objects[1].mesh.faces[0].attr = 17;
    scene.objects[1].mesh.faces[1].attr = 26;
    EXPECT_GT(frame(), 120 * 120);
}

// Texel (u, v) holds (u, v, 0): the environment map's pixel shows where the
// normal pointed; the front square's normals (0, 0, -1) give u = v = 127.
// Nearer squares whose texture is beyond the table of 5, or in it but never
// loaded, draw nothing (they would have covered a wider square).
TEST_F(RenderTest, EnvironmentMapFollowsTheNormalsAndNeedsAUsableTexture) {
    uint8_t* texels = static_cast<uint8_t*>(std::malloc(TEXTURE_RGB_BYTES));
    for (uint32_t i = 0; i < 65536; i++) {
        texels[3 * i] = uint8_t(i);
        texels[3 * i + 1] = uint8_t(i >> 8);
        texels[3 * i + 2] = 0;
    }
    texture_table[0] = {texels, 256, 256, 0, nullptr, TEXTURE_RGB_BYTES, nullptr};
    ASSERT_EQ(load("front.m3d", 21, 0), 0);
    ASSERT_EQ(load("front.m3d", 18, 7), 1);
    ASSERT_EQ(load("front.m3d", 21, 3), 2);
    object_move(&scene, 1, 0, 0, -50); // columns 74..244, inside the guard box
    object_move(&scene, 2, 0, 0, -25);
    frame();
    EXPECT_EQ(pixel(159, 99), 0x7F7F00u);
    EXPECT_EQ(pixel(80, 99), kBackground);
}

} // namespace
