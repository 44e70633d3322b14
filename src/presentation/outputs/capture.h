// The show rendered without a window: into a video file (through ffmpeg) or
// into PNG files.
#pragma once

#include "presentation/services/command_line.h"

// --record or --frames. Returns the process exit status.
int run_capture(const CommandLine& options);
