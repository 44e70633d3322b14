#include "baseline.h"

#include "data/surface.h"

#include <benchmark/benchmark.h>

#include <vector>

void write_full_frame(uint32_t* frame, uint32_t colour) {
    for (int i = 0; i < FRAME_PIXELS; i++) frame[i] = colour + uint32_t(i);
}

// Registered in every benchmark program, so each run carries its own baseline.
static void BM_baseline_full_frame(benchmark::State& state) {
    std::vector<uint32_t> frame(FRAME_PIXELS);
    uint32_t colour = 0;
    for (auto _ : state) {
        write_full_frame(frame.data(), colour++);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * FRAME_PIXELS);
}
BENCHMARK(BM_baseline_full_frame);
