// One frame of each full-frame 2D effect, beside the full-frame write baseline
// that baseline.cpp registers in the same program.
#include "data/render_resources.h"
#include "director/kernels.h"
#include "director/timeline_effects.h"
#include "effects/effect_tables.h"
#include "effects/fog.h"
#include "effects/pictures.h"
#include "effects/tunnel.h"
#include "engine3d/math.h"

#include <benchmark/benchmark.h>

namespace {

Buffer noise(size_t size, uint32_t seed) {
    Buffer b(size);
    for (uint8_t& v : b) {
        seed = seed * 1664525u + 1013904223u;
        v = uint8_t(seed >> 24);
    }
    return b;
}

struct Inputs {
    Buffer picture = noise(size_t(FRAME_PIXELS) * 3, 1);
    Buffer second_picture = noise(size_t(FRAME_PIXELS) * 3, 2);
    Buffer texture = noise(size_t(TEXTURE_SIZE) * TEXTURE_SIZE * 3, 3);
    Buffer map1 = noise(FRAME_PIXELS, 4);
    Buffer map2 = noise(FRAME_PIXELS, 5);
    Buffer title = noise(259 * 105 * 3, 6);
    Buffer title_mask = noise(259 * 105, 7);
};

// Everything the effects need, made once per program.
Inputs& inputs() {
    static Inputs* made = [] {
        create_working_surface();
        choose_kernels();
        build_angle_tables();
        ModeRecord mode{320, 200, 60, 32, 0xFF0000, 0xFF00, 0xFF};
        init_effect_tables(mode);
        build_wave_table();
        build_sphere_table(320, 200, 100.0f, 250.0f);
        alloc_render_buffers(320, 200); // depth 0 everywhere: the fog touches every pixel
        build_plasma_table();
        build_band_tables();
        build_path_tables();
        build_row_offsets();
        return new Inputs;
    }();
    return *made;
}

void finish(benchmark::State& state) {
    benchmark::DoNotOptimize(surface_virtual1->pixels.data());
    benchmark::ClobberMemory();
    state.SetItemsProcessed(state.iterations() * FRAME_PIXELS);
}

void BM_draw_picture(benchmark::State& state) {
    const Inputs& in = inputs();
    for (auto _ : state) draw_picture(in.picture, surface_virtual1, 0);
    finish(state);
}
BENCHMARK(BM_draw_picture);

void BM_fade_to_picture(benchmark::State& state) {
    const Inputs& in = inputs();
    bool flip = false;
    for (auto _ : state) {
        fade_to_picture(flip ? in.picture : in.second_picture, surface_virtual1, 8, 8, 8);
        flip = !flip;
    }
    finish(state);
}
BENCHMARK(BM_fade_to_picture);

void BM_blend_picture_masked_title(benchmark::State& state) {
    const Inputs& in = inputs();
    for (auto _ : state)
        blend_picture_masked(in.title, surface_virtual1, in.title_mask, 7, 90, 259, 105, 128);
    finish(state);
}
BENCHMARK(BM_blend_picture_masked_title);

void BM_draw_tunnel(benchmark::State& state) {
    const Inputs& in = inputs();
    uint8_t shift = 0;
    for (auto _ : state) {
        draw_tunnel(shift, shift, surface_virtual1, in.texture);
        shift++;
    }
    finish(state);
}
BENCHMARK(BM_draw_tunnel);

void BM_draw_rotated_texture(benchmark::State& state) {
    const Inputs& in = inputs();
    uint8_t shift = 0;
    for (auto _ : state) {
        draw_rotated_texture(surface_virtual1, shift, uint8_t(255 - shift), 0, in.texture);
        shift++;
    }
    finish(state);
}
BENCHMARK(BM_draw_rotated_texture);

// The show draws the plane unturned; turned, every texel is looked up.
void BM_draw_rotated_texture_turned(benchmark::State& state) {
    const Inputs& in = inputs();
    uint8_t shift = 0;
    for (auto _ : state) {
        draw_rotated_texture(surface_virtual1, shift, uint8_t(255 - shift), 37, in.texture);
        shift++;
    }
    finish(state);
}
BENCHMARK(BM_draw_rotated_texture_turned);

void BM_draw_displaced_texture(benchmark::State& state) {
    const Inputs& in = inputs();
    uint8_t phase = 0;
    for (auto _ : state)
        draw_displaced_texture(phase++, surface_virtual1, in.map1, in.map2, in.texture);
    finish(state);
}
BENCHMARK(BM_draw_displaced_texture);

void BM_apply_depth_fog(benchmark::State& state) {
    inputs();
    for (auto _ : state) apply_depth_fog(surface_virtual1, 300.0f, 2000.0f, 128, 128, 255);
    finish(state);
}
BENCHMARK(BM_apply_depth_fog);

void BM_draw_plasma(benchmark::State& state) {
    inputs();
    for (auto _ : state) draw_plasma(surface_virtual1);
    finish(state);
}
BENCHMARK(BM_draw_plasma);

void BM_draw_light_bands(benchmark::State& state) {
    const Inputs& in = inputs();
    draw_picture(in.picture, surface_virtual1, 0);
    for (auto _ : state) {
        draw_light_bands(surface_virtual1);
        advance_band_phases();
    }
    finish(state);
}
BENCHMARK(BM_draw_light_bands);

void BM_draw_rotozoom(benchmark::State& state) {
    const Inputs& in = inputs();
    float angle = 0.0f;
    for (auto _ : state) {
        draw_rotozoom(in.picture, surface_virtual1, 1.05f, angle);
        angle += 0.098171875f;
    }
    finish(state);
}
BENCHMARK(BM_draw_rotozoom);

void BM_draw_cycling_mask(benchmark::State& state) {
    Inputs& in = inputs();
    for (auto _ : state) draw_cycling_mask(surface_virtual1, in.picture, in.map1);
    finish(state);
}
BENCHMARK(BM_draw_cycling_mask);

// The director's 48 cells of one frame.
void BM_dot_cell_columns(benchmark::State& state) {
    inputs();
    uint8_t c = 0;
    for (auto _ : state) {
        for (int i = 0; i < 16; i++, c++) {
            const uint16_t y = uint16_t(20 + 10 * i);
            draw_dot_cell(280, uint16_t(y - 15), uint8_t(2 * c), surface_virtual1);
            draw_dot_cell(260, y, uint8_t(2 * c + 64), surface_virtual1);
            draw_dot_cell(240, uint16_t(y + 15), uint8_t(2 * c + 128), surface_virtual1);
        }
    }
    finish(state);
}
BENCHMARK(BM_dot_cell_columns);

void BM_draw_path_dots(benchmark::State& state) {
    inputs();
    set_path_rates(6, 3, 6, 2);
    for (auto _ : state) draw_path_dots(surface_virtual1, 255, 128, 0);
    finish(state);
}
BENCHMARK(BM_draw_path_dots);

} // namespace
