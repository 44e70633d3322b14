// The five 3D scenes, each built by one set-up function that loads its
// models and places its objects and lights.
#include "engine3d/scenes.h"

#include "data/render_resources.h"
#include "engine3d/mapping.h"
#include "engine3d/render.h"

Scene scene_brain;
Scene scene_vkocka;
Scene scene_kocka;
Scene scene_opod;
Scene scene_istu;

uint16_t obj_brain = NO_OBJECT;
uint16_t obj_vkocka1 = NO_OBJECT, obj_vkocka2 = NO_OBJECT, obj_vkocka3 = NO_OBJECT;
uint16_t obj_kocka_target = NO_OBJECT, obj_kocka_from = NO_OBJECT, obj_kocka_to = NO_OBJECT;
uint16_t obj_opod_target = NO_OBJECT, obj_opod_from = NO_OBJECT, obj_opod_to = NO_OBJECT;
uint16_t obj_istu = NO_OBJECT;

// The scenes pass their surface types with bit 4 set (16 + the type); only the
// low four bits choose how a face is drawn.
constexpr uint32_t as_passed(SurfaceType type) {
    return 16 + type;
}

constexpr uint16_t SCENE_AMBIENT = 50;
constexpr uint32_t SCENE_LIGHT_INTENSITY = 2000;

static uint16_t load(Scene* scene, const char* name, uint8_t texture, uint8_t red, uint8_t green,
                     uint8_t blue) {
    return scene_load_object(scene, name, 1.0f, 0.0f, 0.0f, 0.0f, as_passed(SURFACE_DEPTH_ONLY),
                             texture, red, green, blue);
}

// Ambient level, the one spot light at the origin, the work arrays.
static void finish_scene(Scene* scene) {
    scene_set_ambient(scene, SCENE_AMBIENT);
    scene_add_light(scene, 0.0f, 0.0f, 0.0f, 0, 0, 255, SCENE_LIGHT_INTENSITY, LIGHT_SPOT);
    scene_alloc_work(scene);
}

void setup_scene_brain() {
    Scene* scene = &scene_brain;
    scene_init(scene, 1);
    obj_brain = load(scene, "brain.m3d", TEX_WOOD, 32, 64, 128);
    surface_map(scene, obj_brain, 0, as_passed(SURFACE_TRANSLUCENT), TEX_BRAIN, 32, 64, 128,
                MAP_PLANAR, 2);
    object_apply_transform(scene, obj_brain, 0, 0, 0, 0.0f, 0.0f, 0.0f);
    object_move(scene, obj_brain, 0.0f, 0.0f, 310.0f);
    finish_scene(scene);
}

void setup_scene_vkocka() {
    Scene* scene = &scene_vkocka;
    scene_init(scene, 3);
    obj_vkocka1 = load(scene, "vkocka1.m3d", TEX_BRAIN, 32, 128, 255);
    obj_vkocka2 = load(scene, "vkocka2.m3d", TEX_BRAIN, 32, 128, 255);
    obj_vkocka3 = load(scene, "vkocka3.m3d", TEX_BRAIN, 32, 128, 255);
    for (uint16_t obj : {obj_vkocka1, obj_vkocka2, obj_vkocka3})
        surface_map(scene, obj, 0, as_passed(SURFACE_TEXTURED_SHADED), TEX_BRAIN, 32, 64, 148,
                    MAP_PLANAR, 2);
    for (uint16_t obj : {obj_vkocka1, obj_vkocka2, obj_vkocka3}) {
        object_apply_transform(scene, obj, 128, 0, 128, -30.0f, 0.0f, 0.0f);
        object_move(scene, obj, 0.0f, 300.0f, 1000.0f);
    }
    finish_scene(scene);
}

// The morph scenes: a target and its first shape from one model, the second
// shape from another, all mapped spherically about z.
static void setup_morph_scene(Scene* scene, const char* first, const char* second,
                              uint32_t target_type, uint8_t texture, uint16_t* target,
                              uint16_t* from, uint16_t* to) {
    scene_init(scene, 4);
    *target = load(scene, first, TEX_BRAIN, 32, 128, 255);
    *from = load(scene, first, TEX_BRAIN, 32, 128, 255);
    *to = load(scene, second, TEX_BRAIN, 32, 128, 255);
    surface_map(scene, *target, 0, target_type, texture, 32, 64, 148, MAP_SPHERICAL, 2);
    surface_map(scene, *from, 0, as_passed(SURFACE_TEXTURED), texture, 32, 64, 148, MAP_SPHERICAL,
                2);
    surface_map(scene, *to, 0, as_passed(SURFACE_TEXTURED), texture, 32, 64, 148, MAP_SPHERICAL, 2);
    for (uint16_t obj : {*target, *from, *to})
        object_apply_transform(scene, obj, 128, 0, 128, 0.0f, 0.0f, 0.0f);
}

void setup_scene_kocka() {
    Scene* scene = &scene_kocka;
    setup_morph_scene(scene, "kocka1.m3d", "kocka2.m3d", as_passed(SURFACE_ENVIRONMENT), TEX_BROWN,
                      &obj_kocka_target, &obj_kocka_from, &obj_kocka_to);
    for (uint16_t obj : {obj_kocka_target, obj_kocka_from, obj_kocka_to})
        object_move(scene, obj, 0.0f, 300.0f, 1100.0f);
    finish_scene(scene);
}

void setup_scene_opod() {
    Scene* scene = &scene_opod;
    setup_morph_scene(scene, "o_pod1.m3d", "o_pod2.m3d", as_passed(SURFACE_ENVIRONMENT_SHADED),
                      TEX_ENV, &obj_opod_target, &obj_opod_from, &obj_opod_to);
    finish_scene(scene);
}

void setup_scene_istu() {
    Scene* scene = &scene_istu;
    scene_init(scene, 2);
    obj_istu = load(scene, "istu2.m3d", TEX_BRAIN, 32, 128, 255);
    object_rotate(scene, obj_istu, 0, 90, 0);
    surface_map(scene, obj_istu, 0, as_passed(SURFACE_ENVIRONMENT_SHADED), TEX_BLUE, 32, 64, 148,
                MAP_SPHERICAL, 2);
    surface_map(scene, obj_istu, 1, as_passed(SURFACE_TEXTURED), TEX_WOOD, 32, 64, 148,
                MAP_CYLINDRICAL, 1);
    object_apply_transform(scene, obj_istu, 128, 0, 128, 0.0f, 0.0f, 0.0f);
    finish_scene(scene);
}

std::vector<SceneView> scene_views() {
    return {
        {"vkocka",
         "vkocka1.m3d, vkocka2.m3d, vkocka3.m3d",
         &scene_vkocka,
         {obj_vkocka1, obj_vkocka2, obj_vkocka3},
         {0, 0, 950},
         {-30, 300, 1000}},
        {"opod", "o_pod1.m3d, o_pod2.m3d", &scene_opod, {obj_opod_target}, {0, 0, -200}, {0, 0, 0}},
        // The show turns the brain half about y and looks from z 300; this is the
        // same view of the unturned brain.
        {"brain", "brain.m3d", &scene_brain, {obj_brain}, {0, 0, 320}, {2.5f, 0, 310}},
        {"istu", "istu2.m3d", &scene_istu, {obj_istu}, {0, 487, 1500}, {0, -450, 486}},
        {"kocka",
         "kocka1.m3d, kocka2.m3d",
         &scene_kocka,
         {obj_kocka_target},
         {0, 300, 900},
         {-80, 300, 1100}},
    };
}

Camera show_camera() {
    Camera camera{};
    camera_init(&camera, 256.0f, view_centre_x, view_centre_y,
                float(view_width) / float(view_width), float(view_height) / float(view_height),
                view_clip_left, view_clip_right, view_clip_top, view_clip_bottom);
    return camera;
}

void draw_scene_view(const SceneView& view, Camera* camera, Surface* surface) {
    scene_begin_frame(view.scene, FRAME_ADVANCE_STAMP | FRAME_CLEAR_IDS);
    camera_set_position(camera, view.eye.x, view.eye.y, view.eye.z);
    camera_look_at(camera, view.target.x, view.target.y, view.target.z);
    for (uint16_t object : view.objects) object_transform(view.scene, object, camera);
    render_scene(view.scene, camera, surface);
}
