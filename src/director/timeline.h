// The show's script: each frame reads the music position, draws the scene
// that belongs to it into the working surface and blits it to the back buffer.
#pragma once

#include "engine3d/scene.h"

#include <cstdint>

// What the timeline keeps from one frame to the next.
struct TimelineState {
    uint8_t step_counter = 0;
    int8_t echo_direction = 1;
    uint8_t texture_shift_u = 0;
    uint8_t texture_shift_v = 255;
    uint8_t tunnel_depth_shift = 0;
    uint8_t tunnel_angle_shift = 0;
    uint8_t cell_phase = 0;
    uint16_t camera_retreat = 0;
    float roto_zoom = 1.05f;
    float roto_angle = 0.0f;
    bool plasma_ready = false;
    bool bands_ready = false;
    bool path_ready = false;
    bool camera_vkocka_ready = false;
    bool camera_opod_ready = false;
    bool camera_brain_ready = false;
    bool camera_istu_ready = false;
    bool camera_kocka_ready = false;
};

extern TimelineState timeline;
extern Camera camera_vkocka, camera_opod, camera_brain, camera_istu, camera_kocka;

// The scenes of the show, in show order, and the orders each runs at.
enum ShowScene {
    SCENE_LOGO,
    SCENE_PRESENTS,
    SCENE_TITLE,
    SCENE_TITLE_FADE,
    SCENE_CUBES,
    SCENE_CUBES_RETREAT,
    SCENE_GREETINGS,
    SCENE_TUNNEL,
    SCENE_FIGURE,
    SCENE_MORPH,
    SCENE_END_PICTURE,
    SCENE_END_OF_SHOW,
    SCENE_COUNT
};

struct SceneRange {
    uint32_t first_order;
    uint32_t last_order;
    const char* name;
};

extern const SceneRange show_scenes[SCENE_COUNT];

// The first scene whose range holds order.
ShowScene scene_for_order(uint32_t order);

// One frame: position, scene, blit.
void director_frame();

// The scene of one music position, drawn into the working surface (no blit).
void director_draw(uint32_t order, uint32_t row);
