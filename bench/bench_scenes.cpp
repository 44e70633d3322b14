// One frame of each 3D scene (begin, transform, render) from its camera, beside
// the full-frame write baseline. Items per second = frames per second.
#include "data/assets.h"
#include "data/builtin.h"
#include "data/render_resources.h"
#include "director/kernels.h"
#include "effects/effect_tables.h"
#include "engine3d/morph.h"
#include "engine3d/render.h"
#include "engine3d/scenes.h"

#include <benchmark/benchmark.h>

namespace {

void load_once() {
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    pack_builtin = builtin_pack();
    create_working_surface();
    choose_kernels();
    load_all_assets();
    display_depth = 32;
}

// Frames of one scene: begin with flags, position the camera and objects as
// the show does (move), render.
template <typename Move>
void run_frames(benchmark::State& state, Scene* scene, uint8_t flags, Camera camera, Move move) {
    for (auto _ : state) {
        scene_begin_frame(scene, flags);
        move(&camera);
        render_scene(scene, &camera, surface_virtual1);
    }
    state.SetItemsProcessed(state.iterations());
}

Camera make_camera() {
    load_once();
    return show_camera();
}

void BM_scene_vkocka(benchmark::State& state) {
    run_frames(state, &scene_vkocka, FRAME_ADVANCE_STAMP, make_camera(), [](Camera* c) {
        camera_set_position(c, 0.0f, 0.0f, 950.0f);
        const Vec3 p = scene_vkocka.objects[obj_vkocka1].position;
        camera_look_at(c, p.x, p.y, p.z);
        for (uint16_t obj : {obj_vkocka1, obj_vkocka2, obj_vkocka3}) {
            object_rotate(&scene_vkocka, obj, 3, 1, 254);
            object_transform(&scene_vkocka, obj, c);
        }
    });
}
BENCHMARK(BM_scene_vkocka);

void BM_scene_opod(benchmark::State& state) {
    run_frames(state, &scene_opod, FRAME_ADVANCE_STAMP | FRAME_CLEAR_IDS, make_camera(),
               [](Camera* c) {
                   camera_set_position(c, 0.0f, 0.0f, -200.0f);
                   const Vec3 p = scene_opod.objects[obj_opod_target].position;
                   camera_look_at(c, p.x, p.y, p.z);
                   morph_object(&scene_opod, obj_opod_target, obj_opod_from, obj_opod_to, 0.0f, 1);
                   object_rotate(&scene_opod, obj_opod_target, 2, 1, 2);
                   object_transform(&scene_opod, obj_opod_target, c);
               });
}
BENCHMARK(BM_scene_opod);

void BM_scene_brain(benchmark::State& state) {
    Camera camera = make_camera();
    camera_move(&camera, 0.0f, 0.0f, 900.0f);
    run_frames(state, &scene_brain, FRAME_ADVANCE_STAMP | FRAME_CLEAR_IDS, camera, [](Camera* c) {
        const Vec3 p = scene_brain.objects[obj_brain].position;
        camera_look_at(c, p.x - 2.5f, p.y, p.z);
        object_rotate(&scene_brain, obj_brain, 1, 0, 0);
        object_transform(&scene_brain, obj_brain, c);
    });
}
BENCHMARK(BM_scene_brain);

void BM_scene_istu(benchmark::State& state) {
    run_frames(state, &scene_istu, FRAME_ADVANCE_STAMP, make_camera(), [](Camera* c) {
        camera_set_position(c, 0.0f, 487.0f, 1500.0f);
        camera_look_at(c, 0.0f, -450.0f, 486.0f);
        object_rotate(&scene_istu, obj_istu, 0, 0, 1);
        object_transform(&scene_istu, obj_istu, c);
    });
}
BENCHMARK(BM_scene_istu);

void BM_scene_kocka(benchmark::State& state) {
    run_frames(state, &scene_kocka, FRAME_ADVANCE_STAMP, make_camera(), [](Camera* c) {
        const Vec3 p = scene_kocka.objects[obj_kocka_target].position;
        camera_set_position(c, p.x, p.y, p.z - 200.0f);
        camera_look_at(c, p.x - 80.0f, p.y, p.z);
        morph_object(&scene_kocka, obj_kocka_target, obj_kocka_from, obj_kocka_to, 0.0f, 1);
        object_rotate(&scene_kocka, obj_kocka_target, 3, 0, 0);
        object_transform(&scene_kocka, obj_kocka_target, c);
    });
}
BENCHMARK(BM_scene_kocka);

} // namespace
