// The catch-up of --start and seeking: the show back to its start values, then
// every frame up to the start of an order computed unseen, on a memory
// display (order 0 is the reset alone). Beside the full-frame write baseline
// of this program.
#include "data/builtin.h"
#include "data/pack.h"
#include "platform/sound.h"
#include "presentation/outputs/lockstep.h"
#include "presentation/seeking/catch_up.h"
#include "presentation/show.h"

#include <benchmark/benchmark.h>

static void BM_catch_up_to_order(benchmark::State& state) {
    pack_builtin = builtin_pack();
    const Blob module = builtin_module();
    music_song = FMUSIC_LoadSongMemory(module.data, module.size);
    CommandLine options;
    options.width = 320;
    options.height = 200;
    LockstepRun run;
    if (!start_lockstep_show(options, &run)) state.SkipWithError("the show did not start");
    const uint32_t order = uint32_t(state.range(0));
    for (auto _ : state) {
        if (!seek_to_order(order)) state.SkipWithError("the catch-up did not reach the order");
    }
    stop_lockstep_show();
}
BENCHMARK(BM_catch_up_to_order)
    ->ArgName("order")
    ->Arg(0)
    ->Arg(7)
    ->Arg(35)
    ->Unit(benchmark::kSecond)
    ->Iterations(1);
