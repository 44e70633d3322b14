// Lockstep runs without a window or sound device: the show rendered frame by
// frame at a fixed rate, the music advancing by exactly one frame's share each
// time, into a video file (through ffmpeg), into PNG files, or timed.
#pragma once

#include "presentation/command_line.h"

// --record or --frames. Returns the process exit status.
int run_capture(const CommandLine& options);

// --benchmark: the frame loop's speed, also as a multiple of the time it takes
// to write one full 320 x 200 frame in the same run. Returns the exit status.
int run_benchmark(const CommandLine& options);

// Where a program is found on PATH; empty when it is not.
std::string find_on_path(const char* program);
