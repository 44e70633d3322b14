// The show's start-up work between the dialog and the first frame: the assets
// and scenes loaded from the built-in pack and the effect tables built, then
// all of it released again, beside the full-frame write baseline.
#include "data/assets.h"
#include "data/builtin.h"
#include "data/surface.h"
#include "director/kernels.h"
#include "effects/effect_tables.h"

#include <benchmark/benchmark.h>

static void BM_start_up(benchmark::State& state) {
    pack_builtin = builtin_pack();
    create_working_surface();
    choose_kernels();
    const ModeRecord mode{320, 200, 60, 32, 0xFF0000, 0xFF00, 0xFF};
    for (auto _ : state) {
        load_all_assets();
        init_effect_tables(mode);
        benchmark::DoNotOptimize(tunnel_depth.data());
        free_all_assets();
        release_effect_tables();
    }
    release_working_surface();
}
BENCHMARK(BM_start_up)->Unit(benchmark::kMillisecond);
