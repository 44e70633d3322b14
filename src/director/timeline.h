// The show's script: each frame reads the music position, draws the scene
// that belongs to it into the working surface and blits it to the back buffer.
// It knows the song it follows and the surfaces, not who runs the frames: the
// end of the show is its result, for the caller to act on.
#pragma once

#include "director/show_parts.h"
#include "engine3d/scene.h"

#include <cstdint>

struct MusicSong;

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
    bool show_ended = false; // the end of show was reached
};

extern TimelineState timeline;
extern Camera camera_vkocka, camera_opod, camera_brain, camera_istu, camera_kocka;

// One frame: the position of song, its scene, the blit. At the end of the show
// the song is silenced and stopped and the result is 0 (the caller ends the
// show); 1 otherwise.
int director_frame(MusicSong* song);

// The scene of one music position, drawn into the working surface (no blit).
void director_draw(uint32_t order, uint32_t row);

// The timeline, its effects' phases, the cameras and the morph back to their
// start values (what reset_show resets besides the assets and surfaces).
void reset_show_values();

// Everything the show changes as it runs back to its start values: the
// timeline and its effects' phases, the cameras, the scenes' objects and the
// morph (the assets are loaded afresh), the depth buffer and the working
// surface. A run from here draws exactly what a run from the program's start
// draws. Needs the working surface; returns 0 when the assets cannot load.
int reset_show();
