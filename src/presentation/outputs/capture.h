// The show rendered without a window: into a video file (through ffmpeg),
// into PNG files, or timed.
#pragma once

#include "presentation/services/command_line.h"

// --record or --frames. Returns the process exit status.
int run_capture(const CommandLine& options);

// --benchmark: the frame loop's speed, also as a multiple of the time it takes
// to write one full 320 x 200 frame in the same run. Returns the exit status.
int run_benchmark(const CommandLine& options);
