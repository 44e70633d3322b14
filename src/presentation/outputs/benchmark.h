// The show timed without a window, part by part (benchmark.cpp).
#pragma once

#include "presentation/services/command_line.h"

// --benchmark: the frame loop's speed, also as a multiple of the time it takes
// to write one full 320 x 200 frame in the same run. Returns the exit status.
int run_benchmark(const CommandLine& options);
