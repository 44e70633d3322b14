// Lockstep runs without a window or sound device: the show rendered frame by
// frame at a fixed rate, the music advancing by exactly one frame's share each
// time, into a video file (through ffmpeg), into PNG files, or timed.
#pragma once

#include "director/timeline.h"
#include "presentation/command_line.h"

#include <chrono>
#include <cstdint>
#include <vector>

// One lockstep run in progress.
struct LockstepRun {
    uint32_t fps;
    uint32_t frame_limit;    // 0: until the show ends
    uint32_t frame;          // frames rendered so far
    uint32_t expected;       // frames the run will take (0: not known)
    double director_seconds; // time spent drawing them
    double scene_seconds[SCENE_COUNT];
    uint32_t scene_frames[SCENE_COUNT];
    std::vector<int16_t> samples; // the last frame's share of the music
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point last_progress;
    bool show_progress;
    bool frame_waiting; // the catch-up to the start order drew the next frame
};

// Sets up the show without a window: a memory display of the options' size,
// the assets and tables, the sound library in lockstep and music_song playing
// (from the start order on, reached as a seek in the window is). Returns 0
// when it cannot; stop_lockstep_show then releases what was made.
int start_lockstep_show(const CommandLine& options, LockstepRun* run);
// Draws the next frame into surface_back with its share of the music in
// run->samples. Returns 0, without a frame, once the show is over.
int render_lockstep_frame(LockstepRun* run);
// Frees the assets, the tables, the song, the sound library and the display.
void stop_lockstep_show();

// --record or --frames. Returns the process exit status.
int run_capture(const CommandLine& options);

// --benchmark: the frame loop's speed, also as a multiple of the time it takes
// to write one full 320 x 200 frame in the same run. Returns the exit status.
int run_benchmark(const CommandLine& options);
