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

// The last order at which the show still draws; from here on it ends.
constexpr uint32_t SHOW_END_ORDER = 42;

// One frame: position, scene, blit.
void director_frame();

// The scene of one music position, drawn into the working surface (no blit).
void director_draw(uint32_t order, uint32_t row);
