// The presentation's share of a frame: stretching the 320 x 200 frame onto a
// memory back buffer with each filter, and the frame-rate text.
#include "data/scaler.h"
#include "presentation/display.h"
#include "presentation/live/fps_text.h"

#include <benchmark/benchmark.h>

static void BM_blit_stretch(benchmark::State& state) {
    const int filter = int(state.range(0));
    init_memory_display(uint32_t(state.range(1)), uint32_t(state.range(2)));
    for (int i = 0; i < FRAME_PIXELS; i++) surface_virtual1->pixels[i] = uint32_t(i * 2654435761u);
    display_filter = filter;
    for (auto _ : state) {
        blit_surface(surface_virtual1, surface_back);
        benchmark::DoNotOptimize(surface_back->pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(surface_back->pixels.size()));
    release_display();
}
BENCHMARK(BM_blit_stretch)
    ->ArgNames({"filter", "w", "h"})
    ->Args({FILTER_NEAREST, 320, 200})
    ->Args({FILTER_NEAREST, 1280, 800})
    ->Args({FILTER_SHARP, 1280, 800})
    ->Args({FILTER_SHARP, 1280, 960})
    ->Args({FILTER_SHARP, 1920, 1080})
    ->Args({FILTER_SHARP, 640, 480})
    ->Args({FILTER_LINEAR, 640, 480})
    ->Args({FILTER_LINEAR, 1280, 800});

static void BM_draw_fps(benchmark::State& state) {
    init_memory_display(640, 480);
    fps_value = 1234;
    for (auto _ : state) {
        draw_fps();
        benchmark::DoNotOptimize(surface_back->pixels.data());
    }
    release_display();
}
BENCHMARK(BM_draw_fps);
