// The catch-up of --start and seeking: the show back to its start values, then
// every frame up to the start of an order computed unseen, on a memory
// display (order 0 is the reset alone). Beside the full-frame write baseline
// of this program.
#include "data/builtin.h"
#include "data/pack.h"
#include "director/kernels.h"
#include "effects/effect_tables.h"
#include "launcher/settings.h"
#include "presentation/demo_run.h"
#include "presentation/display.h"
#include "presentation/sound.h"

#include <benchmark/benchmark.h>

static void BM_catch_up_to_order(benchmark::State& state) {
    pack_builtin = builtin_pack();
    const Blob module = builtin_module();
    music_song = FMUSIC_LoadSongMemory(module.data, module.size);
    init_memory_display(320, 200);
    choose_kernels();
    init_effect_tables(make_mode(320, 200));
    sound_set_lockstep(1, 60);
    FSOUND_Init(output_rate, DEMO_SOUND_CHANNELS, 0);
    const uint32_t order = uint32_t(state.range(0));
    for (auto _ : state) {
        if (!seek_to_order(order)) state.SkipWithError("the catch-up did not reach the order");
    }
    FMUSIC_FreeSong(music_song);
    music_song = nullptr;
    FSOUND_Close();
    sound_set_lockstep(0, 0);
    release_effect_tables();
    release_display();
}
BENCHMARK(BM_catch_up_to_order)
    ->ArgName("order")
    ->Arg(0)
    ->Arg(7)
    ->Arg(35)
    ->Unit(benchmark::kSecond)
    ->Iterations(1);
