#include "data/assets.h"
#include "data/builtin.h"
#include "data/render_resources.h"
#include "effects/effect_tables.h"
#include "engine3d/render.h"
#include "engine3d/scenes.h"
#include "presentation/png_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr uint32_t kBackground = 0x010203;

// The five scenes built once from the built-in content, as at load time.
class ScenesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        pack_builtin = builtin_pack();
        create_working_surface();
        load_all_assets();
        display_depth = 32;
    }
    static void TearDownTestSuite() {
        free_all_assets();
        release_working_surface();
        pack_builtin = {nullptr, 0};
    }
};

void expect_position(const SceneObject& object, float x, float y, float z) {
    EXPECT_NEAR(object.position.x, x, 1e-3);
    EXPECT_NEAR(object.position.y, y, 1e-3);
    EXPECT_NEAR(object.position.z, z, 1e-3);
}

TEST_F(ScenesTest, BuiltAsDefined) {
    const Scene* scenes[5] = {&scene_brain, &scene_vkocka, &scene_kocka, &scene_opod, &scene_istu};
    const int counts[5] = {1, 3, 3, 3, 1};
    for (int i = 0; i < 5; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(scenes[i]->object_count, counts[i]);
        EXPECT_EQ(scenes[i]->light_count, 2);
        EXPECT_EQ(scenes[i]->ambient, 50);
        EXPECT_EQ(scenes[i]->lights[1].type, LIGHT_SPOT);
    }
    EXPECT_EQ(obj_vkocka3, 2);
    EXPECT_EQ(obj_kocka_to, 2);

    const SceneObject& brain = scene_brain.objects[obj_brain];
    expect_position(brain, 0, 0, 310);
    for (int i = 0; i < 12; i++) EXPECT_NEAR(brain.matrix.m[i], i % 5 == 0 ? 1 : 0, 1e-6);

    // Half a turn about x: y and z axes reversed.
    const SceneObject& kocka = scene_kocka.objects[obj_kocka_target];
    expect_position(kocka, 0, 300, 1100);
    const float half_x[12] = {1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0};
    for (int i = 0; i < 12; i++) EXPECT_NEAR(kocka.matrix.m[i], half_x[i], 1e-6);
    EXPECT_EQ(kocka.mesh.faces[0].attr, 21u + 4u * 256u);
    // The same model loaded twice: two meshes with their own memory.
    EXPECT_NE(kocka.mesh.vertices.data(), scene_kocka.objects[obj_kocka_from].mesh.vertices.data());
    EXPECT_EQ(kocka.mesh.vertex_count, scene_kocka.objects[obj_kocka_to].mesh.vertex_count);

    for (uint16_t obj : {obj_vkocka1, obj_vkocka2, obj_vkocka3})
        expect_position(scene_vkocka.objects[obj], -30, 300, 1000);
    // The figure's two surfaces: shaded environment map and cylindrical wood.
    const Mesh& istu = scene_istu.objects[obj_istu].mesh;
    ASSERT_GE(istu.surface_count, 2);
    EXPECT_EQ(istu.faces[istu.surfaces[0].first].attr, 22u + 0u * 256u);
    EXPECT_EQ(istu.faces[istu.surfaces[1].first].attr, 18u + 1u * 256u);
}

// Renders one frame over the background; returns how many pixels changed,
// each of which must carry this frame's depth stamp (drawn by a depth-tested
// face) and lie inside the camera's clip box.
int render_shot(const SceneView& shot, Camera* camera) {
    fill_surface(surface_virtual1, kBackground);
    draw_scene_view(shot, camera, surface_virtual1);
    int changed = 0;
    for (int y = 0; y < FRAME_HEIGHT; y++)
        for (int x = 0; x < FRAME_WIDTH; x++) {
            const int i = y * FRAME_WIDTH + x;
            if (surface_virtual1->pixels[i] == kBackground) continue;
            changed++;
            EXPECT_EQ(depth_buffer[i] >> 24, frame_stamp) << shot.name << " at " << x << "," << y;
            EXPECT_TRUE(x >= camera->clip_left && x < camera->clip_right && y >= camera->clip_top &&
                        y < camera->clip_bottom)
                << shot.name << " at " << x << "," << y;
        }
    return changed;
}

TEST_F(ScenesTest, EachSceneFillsAFairPartOfTheFrameStaysInItsClipBoxAndIsTheSameOnBothPaths) {
    for (const SceneView& shot : scene_views()) {
        SCOPED_TRACE(shot.name);
        Camera camera = show_camera();
        EXPECT_GE(render_shot(shot, &camera), FRAME_PIXELS / 20);
        // The plain loops draw the very same frame.
        const std::vector<uint32_t> simd_frame = surface_virtual1->pixels;
        use_simd = false;
        render_shot(shot, &camera);
        use_simd = true;
        EXPECT_TRUE(surface_virtual1->pixels == simd_frame) << "plain paths";
        const std::string path = std::string(VORN_BINARY_DIR) + "/scene_" + shot.name + ".png";
        EXPECT_EQ(write_png(path, surface_virtual1->pixels.data(), FRAME_WIDTH, FRAME_HEIGHT), 1);
        camera.clip_left = 100, camera.clip_right = 250;
        camera.clip_top = 60, camera.clip_bottom = 140;
        EXPECT_GT(render_shot(shot, &camera), 0) << "narrow clip box";
    }
}

} // namespace
