// The command line of vorn.
#pragma once

#include <cstdint>
#include <string>

struct CommandLine {
    bool help = false;
    bool version = false;
    bool play = false;
    bool windowed = false;
    bool nosound = false;
    bool no_builtin_data = false;
    bool benchmark = false;
    bool list_scenes = false;
    bool watch = false;       // --watch: reload saved files while the show plays
    uint32_t start_order = 0; // --start (an order or a scene's first); 0 is the beginning
    bool loop = false;        // --loop: the orders loop_first..loop_last over and over
    uint32_t loop_first = 0;
    uint32_t loop_last = 0;
    int pace = 0;            // FramePacing
    int filter = 0;          // ScaleFilter
    std::string record_path; // --record FILE
    std::string frames_dir;  // --frames DIR
    uint32_t width = 0;      // --size; 0 until given
    uint32_t height = 0;
    uint32_t fps = 60;  // --fps
    uint32_t every = 1; // --every
    double seconds = 0; // --seconds; 0 is the whole show
};

// Reads the options after argv[0]. Returns 1, or 0 with one line saying what
// is wrong in error.
int parse_command_line(int argc, const char* const* argv, CommandLine* options, std::string* error);

// The text of --help.
const char* command_line_usage();

// Whether the options ask for a lockstep run without a window (--record,
// --frames, --benchmark).
bool is_lockstep_run(const CommandLine& options);
