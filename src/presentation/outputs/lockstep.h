// Lockstep runs without a window or sound device: the show rendered frame by
// frame at a fixed rate, the music advancing by exactly one frame's share each
// time. Capture, the benchmark and the tests drive the show through these.
#pragma once

#include "director/show_parts.h"
#include "presentation/services/command_line.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

// One lockstep run in progress.
struct LockstepRun {
    uint32_t fps;
    uint32_t frame_limit;    // 0: until the show ends
    uint32_t frame;          // frames rendered so far
    uint32_t expected;       // frames the run will take (0: not known)
    double director_seconds; // time spent drawing them
    double part_seconds[PART_COUNT];
    uint32_t part_frames[PART_COUNT];
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point last_progress;
    bool show_progress;
};

// Sets up the show without a window: a memory display of the options' size,
// the show started in lockstep and, from a start order, caught up to it as a
// seek in the window is. Returns 0 when it cannot; stop_lockstep_show then
// releases what was made.
int start_lockstep_show(const CommandLine& options, LockstepRun* run);
// Draws the next frame into surface_back with its share of the music in
// demo_lockstep_samples. Returns 0, without a frame, once the show is over.
int render_lockstep_frame(LockstepRun* run);
// Frees everything start_lockstep_show made.
void stop_lockstep_show();

// The run's drawing time, in all and part by part, also as multiples of the
// time one full 320 x 200 frame write takes here.
void print_lockstep_timings(const LockstepRun& run, uint32_t width, uint32_t height,
                            std::FILE* out);
