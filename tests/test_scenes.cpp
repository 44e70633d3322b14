#include "data/assets.h"
#include "data/builtin.h"
#include "data/render_resources.h"
#include "effects/effect_tables.h"
#include "engine3d/morph.h"
#include "engine3d/render.h"
#include "engine3d/scenes.h"
#include "presentation/png_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

namespace {

constexpr uint32_t kBackground = 0x010203;


// The five scenes built once from the built-in content, as at load time.
class ScenesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        pack_builtin = builtin_pack();
        build_angle_tables();
        create_working_surface();
        set_view_geometry(FRAME_WIDTH, FRAME_HEIGHT);
        alloc_render_buffers(FRAME_WIDTH, FRAME_HEIGHT);
        display_depth = 32;
        load_textures_and_scenes();
    }
    static void TearDownTestSuite() {
        for (Scene* scene : {&scene_brain, &scene_vkocka, &scene_kocka, &scene_opod, &scene_istu})
            scene_release_objects(scene);
        texture_table_free();
        free_render_buffers();
        release_working_surface();
        pack_builtin = {nullptr, 0};
    }

    // A camera as the timeline sets each one up.
    static Camera timeline_camera() {
        Camera camera;
        camera_init(&camera, 256.0f, view_centre_x, view_centre_y, 1.0f, 1.0f, view_clip_left,
                    view_clip_right, view_clip_top, view_clip_bottom);
        return camera;
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
        EXPECT_EQ(scenes[i]->lights[1].intensity, 2000u);
        uint32_t total = 0;
        for (int k = 0; k < scenes[i]->object_count; k++)
            total += scenes[i]->objects[k].mesh.vertex_count;
        EXPECT_EQ(scenes[i]->total_vertices, total);
        EXPECT_GT(total, 0u);
    }
    EXPECT_EQ(obj_brain, 0);
    EXPECT_EQ(obj_vkocka3, 2);
    EXPECT_EQ(obj_kocka_to, 2);
    EXPECT_EQ(obj_opod_from, 1);
    EXPECT_EQ(obj_istu, 0);

    const SceneObject& brain = scene_brain.objects[obj_brain];
    expect_position(brain, 0, 0, 310);
    for (int i = 0; i < 12; i++) EXPECT_NEAR(brain.matrix.m[i], i % 5 == 0 ? 1 : 0, 1e-6);
    EXPECT_EQ(brain.mesh.faces[0].attr & 15, 9u);

    // Half a turn about x: y and z axes reversed.
    const SceneObject& kocka = scene_kocka.objects[obj_kocka_target];
    expect_position(kocka, 0, 300, 1100);
    const float half_x[12] = {1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0};
    for (int i = 0; i < 12; i++) EXPECT_NEAR(kocka.matrix.m[i], half_x[i], 1e-6);
    EXPECT_EQ(kocka.mesh.faces[0].attr, 21u + 4u * 256u);
    EXPECT_EQ(scene_kocka.objects[obj_kocka_from].mesh.faces[0].attr, 18u + 4u * 256u);

    for (uint16_t obj : {obj_vkocka1, obj_vkocka2, obj_vkocka3})
        expect_position(scene_vkocka.objects[obj], -30, 300, 1000);
    for (uint16_t obj : {obj_opod_target, obj_opod_from, obj_opod_to})
        expect_position(scene_opod.objects[obj], 0, 0, 0);
    EXPECT_EQ(scene_opod.objects[obj_opod_target].mesh.faces[0].attr, 22u + 3u * 256u);

    // The same model loaded twice: two meshes with their own memory.
    EXPECT_NE(scene_kocka.objects[obj_kocka_target].mesh.vertices.data(),
              scene_kocka.objects[obj_kocka_from].mesh.vertices.data());
    EXPECT_EQ(scene_kocka.objects[obj_kocka_target].mesh.vertex_count,
              scene_kocka.objects[obj_kocka_to].mesh.vertex_count);
    EXPECT_EQ(scene_opod.objects[obj_opod_target].mesh.vertex_count,
              scene_opod.objects[obj_opod_to].mesh.vertex_count);

    // The figure's two surfaces: shaded environment map and cylindrical wood.
    const Mesh& istu = scene_istu.objects[obj_istu].mesh;
    ASSERT_GE(istu.surface_count, 2);
    EXPECT_EQ(istu.faces[istu.surfaces[0].first].attr, 22u + 0u * 256u);
    EXPECT_EQ(istu.faces[istu.surfaces[1].first].attr, 18u + 1u * 256u);
}

struct SceneShot {
    const char* name;
    Scene* scene;
    // Positions and aims the camera and moves the objects as one frame of the
    // timeline does, then transforms the drawn objects.
    std::function<void(Camera*)> prepare;
};

std::vector<SceneShot> shots() {
    return {
        {"vkocka", &scene_vkocka,
         [](Camera* c) {
             camera_set_position(c, 0.0f, 0.0f, 950.0f);
             const Vec3 p = scene_vkocka.objects[obj_vkocka1].position;
             camera_look_at(c, p.x, p.y, p.z);
             for (uint16_t obj : {obj_vkocka1, obj_vkocka2, obj_vkocka3}) {
                 object_rotate(&scene_vkocka, obj, 0, 1, 0);
                 object_transform(&scene_vkocka, obj, c);
             }
         }},
        {"opod", &scene_opod,
         [](Camera* c) {
             camera_set_position(c, 0.0f, 0.0f, -200.0f);
             const Vec3 p = scene_opod.objects[obj_opod_target].position;
             camera_look_at(c, p.x, p.y, p.z);
             morph_object(&scene_opod, obj_opod_target, obj_opod_from, obj_opod_to, 0.0f, 1);
             object_rotate(&scene_opod, obj_opod_target, 2, 1, 2);
             object_transform(&scene_opod, obj_opod_target, c);
         }},
        {"brain", &scene_brain,
         [](Camera* c) {
             camera_move(c, 0.0f, 0.0f, 900.0f);
             static bool turned = false;
             if (!turned) object_rotate(&scene_brain, obj_brain, 0, 128, 0);
             turned = true;
             const Vec3 p = scene_brain.objects[obj_brain].position;
             camera_look_at(c, p.x - 2.5f, p.y, p.z);
             object_rotate(&scene_brain, obj_brain, 1, 0, 0);
             object_transform(&scene_brain, obj_brain, c);
         }},
        {"istu", &scene_istu,
         [](Camera* c) {
             camera_set_position(c, 0.0f, 487.0f, 1500.0f);
             camera_look_at(c, 0.0f, -450.0f, 486.0f);
             object_rotate(&scene_istu, obj_istu, 0, 0, 1);
             object_transform(&scene_istu, obj_istu, c);
         }},
        {"kocka", &scene_kocka,
         [](Camera* c) {
             const Vec3 p = scene_kocka.objects[obj_kocka_target].position;
             camera_set_position(c, p.x, p.y, p.z - 200.0f);
             camera_look_at(c, p.x - 80.0f, p.y, p.z);
             morph_object(&scene_kocka, obj_kocka_target, obj_kocka_from, obj_kocka_to, 0.0f, 1);
             object_rotate(&scene_kocka, obj_kocka_target, 3, 0, 0);
             object_transform(&scene_kocka, obj_kocka_target, c);
         }},
    };
}

// Renders one frame over the background; returns how many pixels changed,
// each of which must carry this frame's depth stamp (drawn by a depth-tested
// face) and lie inside the camera's clip box.
int render_shot(const SceneShot& shot, Camera* camera) {
    fill_surface(surface_virtual1, kBackground);
    scene_begin_frame(shot.scene, FRAME_ADVANCE_STAMP | FRAME_CLEAR_IDS);
    shot.prepare(camera);
    render_scene(shot.scene, camera, surface_virtual1);
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

TEST_F(ScenesTest, EachSceneFillsAFairPartOfTheFrame) {
    for (const SceneShot& shot : shots()) {
        SCOPED_TRACE(shot.name);
        Camera camera = timeline_camera();
        const int changed = render_shot(shot, &camera);
        EXPECT_GE(changed, FRAME_PIXELS / 20);
        const std::string path = std::string(VORN_BINARY_DIR) + "/scene_" + shot.name + ".png";
        EXPECT_EQ(write_png(path, surface_virtual1->pixels.data(), FRAME_WIDTH, FRAME_HEIGHT), 1);
    }
}

TEST_F(ScenesTest, NarrowClipBoxKeepsEverySceneInside) {
    for (const SceneShot& shot : shots()) {
        SCOPED_TRACE(shot.name);
        Camera camera = timeline_camera();
        camera.clip_left = 100, camera.clip_right = 220;
        camera.clip_top = 60, camera.clip_bottom = 140;
        EXPECT_GT(render_shot(shot, &camera), 0);
    }
}

} // namespace
