// The five 3D scenes of the show and the indices of their objects (NO_OBJECT
// for a model that failed to load).
#pragma once

#include "data/surface.h"
#include "engine3d/scene.h"

#include <cstdint>
#include <vector>

extern Scene scene_brain;
extern Scene scene_vkocka;
extern Scene scene_kocka;
extern Scene scene_opod;
extern Scene scene_istu;

extern uint16_t obj_brain;
extern uint16_t obj_vkocka1, obj_vkocka2, obj_vkocka3;
extern uint16_t obj_kocka_target, obj_kocka_from, obj_kocka_to;
extern uint16_t obj_opod_target, obj_opod_from, obj_opod_to;
extern uint16_t obj_istu;

// Texture numbers in texture_table.
constexpr uint8_t TEX_BLUE = 0;  // "t_blueO.raw"
constexpr uint8_t TEX_WOOD = 1;  // "t_wood.raw"
constexpr uint8_t TEX_BRAIN = 2; // "t_brain.raw"
constexpr uint8_t TEX_ENV = 3;   // "t_env1.raw"
constexpr uint8_t TEX_BROWN = 4; // "t_brown.raw"

// Each builds its scene from the models in the pack; the texture table should
// be loaded first (its sizes feed the mapping). Run in this order at load.
void setup_scene_brain();
void setup_scene_vkocka();
void setup_scene_kocka();
void setup_scene_opod();
void setup_scene_istu();

// Where the show's camera looks at each scene's models, for pictures of them
// outside the show (the contact sheet, the scene test).
struct SceneView {
    const char* name;
    const char* models; // the items it shows
    Scene* scene;
    std::vector<uint16_t> objects; // the objects drawn
    Vec3 eye, target;
};

// The five views, with the object indices of the scenes as loaded.
std::vector<SceneView> scene_views();

// A camera as the show sets each one up: the whole working surface in view.
Camera show_camera();

// One frame of the view through camera (placed at the view's eye, looking at
// its target) onto surface; pixels the models do not cover are kept.
void draw_scene_view(const SceneView& view, Camera* camera, Surface* surface);
