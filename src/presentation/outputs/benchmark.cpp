// --benchmark: the show in lockstep without presenting, timed part by part
// and given as multiples of one full-frame write in the same run (the web
// page's lockstep run reports the same table); then, at the catch-up's rate,
// the cost of a seek to each order the run passed: back to it from the end,
// and from the start as the first seek of a show computes it.
#include "presentation/outputs/benchmark.h"

#include "data/surface.h"
#include "platform/sound.h"
#include "presentation/outputs/lockstep.h"
#include "presentation/seeking/catch_up.h"
#include "presentation/seeking/kept_states.h"
#include "presentation/show.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using steady = std::chrono::steady_clock;

// Seconds it takes to write one full 320 x 200 frame of pixels.
static double full_frame_write_seconds() {
    std::vector<uint32_t> frame(FRAME_PIXELS);
    volatile uint32_t sink = 0;
    const int writes = 2000;
    const steady::time_point start = steady::now();
    for (int n = 0; n < writes; n++) {
        uint32_t* p = frame.data();
        const uint32_t colour = uint32_t(n) * 0x010101;
        for (int i = 0; i < FRAME_PIXELS; i++) p[i] = colour + uint32_t(i);
        sink = sink + p[n % FRAME_PIXELS];
    }
    return std::chrono::duration<double>(steady::now() - start).count() / writes;
}

void print_lockstep_timings(const LockstepRun& run, uint32_t width, uint32_t height,
                            std::FILE* out) {
    const double write_seconds = full_frame_write_seconds();
    const double per_frame = run.frame ? run.director_seconds / run.frame : 0;
    std::fprintf(out, "frame loop: %u frames of %ux%u in %.3f s: %.0f frames per second\n",
                 run.frame, width, height, run.director_seconds, per_frame > 0 ? 1 / per_frame : 0);
    std::fprintf(out,
                 "one full 320x200 frame write: %.2f us; one frame of the loop: %.2f us = %.2f "
                 "full-frame writes\n",
                 write_seconds * 1e6, per_frame * 1e6,
                 write_seconds > 0 ? per_frame / write_seconds : 0);
    std::fprintf(out, "\n%-7s  %-34s %7s %10s %10s %9s\n", "orders", "scene", "frames", "us/frame",
                 "frames/s", "x write");
    for (int i = 0; i < PART_COUNT; i++) {
        const PartRange& s = show_parts[i];
        if (!run.part_frames[i]) continue;
        const double us = run.part_seconds[i] / run.part_frames[i] * 1e6;
        char orders[16];
        if (s.first_order == s.last_order)
            std::snprintf(orders, sizeof orders, "%u", s.first_order);
        else if (s.last_order == UINT32_MAX)
            std::snprintf(orders, sizeof orders, "%u+", s.first_order);
        else
            std::snprintf(orders, sizeof orders, "%u-%u", s.first_order, s.last_order);
        std::fprintf(out, "%-7s  %-34s %7u %10.1f %10.0f %9.1f\n", orders, s.name,
                     run.part_frames[i], us, us > 0 ? 1e6 / us : 0,
                     write_seconds > 0 ? us / (write_seconds * 1e6) : 0);
    }
}

static double seconds_since(steady::time_point start) {
    return std::chrono::duration<double>(steady::now() - start).count();
}

// The seconds a seek to each order takes: back to it once the show has passed
// it (the states the run kept), and from the start (one catch-up from the
// show's start to the last order, timed where it reaches each order).
static void print_seek_timings(std::FILE* out) {
    size_t states = 0, bytes = 0;
    kept_state_memory(&states, &bytes);
    std::vector<double> back;
    uint32_t kept_order = 0;
    uint64_t sample = 0;
    for (uint32_t order = 0;
         nearest_kept_state(order, sound_lockstep_fps(), &kept_order, &sample) &&
         kept_order == order;
         order++) {
        const steady::time_point start = steady::now();
        if (!seek_to_order(order)) break;
        back.push_back(seconds_since(start));
    }
    if (back.empty()) return;
    const uint32_t last = uint32_t(back.size() - 1);
    std::vector<double> first(back.size(), 0);
    forget_kept_states();
    set_show_state_exact(0);
    const steady::time_point start = steady::now();
    if (!begin_seek(last)) return;
    uint32_t reached = 0;
    while (continue_catch_up(1)) {
        const uint32_t order = std::min(FMUSIC_GetOrder(music_song), last);
        for (; reached < order; reached++) first[reached] = seconds_since(start);
    }
    for (; reached <= last; reached++) first[reached] = seconds_since(start);
    std::fprintf(out, "\nseeks: %zu order starts kept in %.1f MB\n", states, bytes / 1048576.0);
    std::fprintf(out, "%5s %12s %12s %8s\n", "order", "from-start", "back-to-it", "ratio");
    double worst = 0;
    for (uint32_t order = 0; order <= last; order++) {
        worst = std::max(worst, back[order]);
        std::fprintf(out, "%5u %12.3f %12.3f %8.3f\n", order, first[order], back[order],
                     first[order] > 0 ? back[order] / first[order] : 0);
    }
    std::fprintf(out, "slowest-seek-back: %.3f s\n", worst);
    std::fprintf(out, "first-catch-up-to-order-%u: %.3f s\n", last, first[last]);
}

int run_benchmark(const CommandLine& options) {
    LockstepRun run{};
    if (!start_lockstep_show(options, &run)) {
        stop_lockstep_show();
        return 1;
    }
    run.show_progress = false;
    while (render_lockstep_frame(&run)) {
    }
    print_lockstep_timings(run, options.width, options.height, stdout);
    // Seeks compute at the catch-up's rate: a run at another rate keeps
    // states no seek of a live show uses.
    if (music_song && options.fps == CATCH_UP_FPS) print_seek_timings(stdout);
    stop_lockstep_show();
    return 0;
}
