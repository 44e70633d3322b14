// The command line: each option read into a plain record, every value
// checked with its range, the first fault said in one line.
#include "presentation/services/command_line.h"

#include "data/scaler.h"
#include "director/show_parts.h"
#include "platform/video.h"

#include <cerrno>
#include <cstdlib>

constexpr uint32_t SIZE_LIMIT = 8192;
constexpr uint32_t FPS_LIMIT = 1000;
constexpr uint32_t ORDER_LIMIT = 255;

static const char usage_text[] =
    "usage: vorn [options]\n"
    "  (no options)         the configuration dialog, then the show\n"
    "  --play               skip the configuration dialog: saved settings, default mode\n"
    "  --windowed           show in a window instead of full screen\n"
    "  --start ORDER|NAME   begin at that order of the music (0..255) or at the first\n"
    "                       order of the named scene (see --list-scenes)\n"
    "  --list-scenes        print the scene table: orders, names, start and length\n"
    "  --loop NAME|FIRST[-LAST]\n"
    "                       play that scene (or those orders) over and over, from its\n"
    "                       start, music and all\n"
    "  --watch              with --play: reload the pictures, models, demo.qxd and the\n"
    "                       module saved in the current directory while the show plays\n"
    "  --pace 60|vsync|unlimited\n"
    "                       frame pacing (default 60 frames a second)\n"
    "  --filter sharp|nearest|linear\n"
    "                       how the frame is scaled to the screen (default sharp)\n"
    "  --record FILE        render the show with its sound to a video file (needs ffmpeg)\n"
    "  --frames DIR         render the show to PNG files in DIR\n"
    "  --benchmark          render the show without showing it and print its speed\n"
    "  --size WxH           picture size of --record (default 1280x960), --frames and\n"
    "                       --benchmark (default 320x200)\n"
    "  --fps N              frames a second of --record, --frames, --benchmark (default 60)\n"
    "  --every N            --frames: write every Nth frame (default 1)\n"
    "  --seconds S          --record, --frames, --benchmark: stop after S seconds\n"
    "  --kernels plain|sse2|avx2|avx512\n"
    "                       the widest vector kernels to draw with (default: the\n"
    "                       processor's widest; every choice gives the same frames)\n"
    "  --nosound            no sound this run (the stored setting is kept)\n"
    "  --no-builtin-data    do not fall back to the data built into the program\n"
    "  --help               this text\n"
    "  --version            the program's version\n"
    "\n"
    "keys in the show:\n"
    "  Escape, F12          end the show\n"
    "  Enter                frame-rate text on and off\n"
    "  F11, Alt+Enter       full screen / window\n"
    "  Space                pause and go on\n"
    "  Right, Page Down     the start of the next order\n"
    "  Left, Page Up        the start of this order (of the one before within its\n"
    "                       first second)\n"
    "  F1                   these keys on the screen\n";

const char* command_line_usage() {
    return usage_text;
}

bool is_lockstep_run(const CommandLine& options) {
    return !options.record_path.empty() || !options.frames_dir.empty() || options.benchmark;
}

// A whole decimal number in [low, high].
static bool read_number(const std::string& text, uint32_t low, uint32_t high, uint32_t* value) {
    if (text.empty() || text.size() > 10) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    const unsigned long long n = std::strtoull(text.c_str(), nullptr, 10);
    if (n < low || n > high) return false;
    *value = uint32_t(n);
    return true;
}

// One of the words an option takes, and the value it stands for.
struct NamedChoice {
    const char* name;
    int value;
};

static const NamedChoice pace_choices[] = {
    {"60", PACE_60}, {"vsync", PACE_VSYNC}, {"unlimited", PACE_UNLIMITED}};
static const NamedChoice filter_choices[] = {
    {"sharp", FILTER_SHARP}, {"nearest", FILTER_NEAREST}, {"linear", FILTER_LINEAR}};
static const NamedChoice kernel_choices[] = {{"plain", KERNELS_PLAIN},
                                             {"sse2", KERNELS_SSE2},
                                             {"avx2", KERNELS_AVX2},
                                             {"avx512", KERNELS_AVX512}};

template <size_t N>
static bool read_choice(const std::string& text, const NamedChoice (&choices)[N], int* value) {
    for (const NamedChoice& choice : choices) {
        if (text == choice.name) {
            *value = choice.value;
            return true;
        }
    }
    return false;
}

static bool read_size(const std::string& text, uint32_t* width, uint32_t* height) {
    const size_t x = text.find('x');
    return x != std::string::npos && read_number(text.substr(0, x), 1, SIZE_LIMIT, width) &&
           read_number(text.substr(x + 1), 1, SIZE_LIMIT, height);
}

// An order number or the key of a scene, which stands for its first order.
static bool read_start(const std::string& text, uint32_t* order) {
    if (read_number(text, 0, ORDER_LIMIT, order)) return true;
    const ShowPart part = part_for_key(text.c_str());
    if (part == PART_COUNT) return false;
    *order = show_parts[part].first_order;
    return true;
}

// A scene's orders, or FIRST or FIRST-LAST (0..255, in order).
static bool read_loop(const std::string& text, uint32_t* first, uint32_t* last) {
    const ShowPart part = part_for_key(text.c_str());
    if (part != PART_COUNT && part != PART_END_OF_SHOW) {
        *first = show_parts[part].first_order;
        *last = show_parts[part].last_order;
        return true;
    }
    const size_t dash = text.find('-');
    if (dash == std::string::npos)
        return read_number(text, 0, ORDER_LIMIT, first) && (*last = *first, true);
    return read_number(text.substr(0, dash), 0, ORDER_LIMIT, first) &&
           read_number(text.substr(dash + 1), *first, ORDER_LIMIT, last);
}

// --seconds takes at most a day, written as digits with one point at most.
constexpr int SECONDS_MOST = 24 * 3600;

static bool read_seconds(const std::string& text, double* seconds) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) return false;
    errno = 0;
    char* end = nullptr;
    const double s = std::strtod(text.c_str(), &end);
    if (errno || *end || !(s > 0) || s > SECONDS_MOST) return false;
    *seconds = s;
    return true;
}

// The text may quote an argument: control bytes in it are shown as \xNN, so
// the message stays one line and sends the terminal nothing.
static int fail(std::string* error, const std::string& text) {
    if (!error) return 0;
    *error = "vorn: ";
    for (unsigned char c : text) {
        if (c >= 0x20 && c != 0x7F) {
            *error += char(c);
            continue;
        }
        static const char digits[] = "0123456789abcdef";
        *error += {'\\', 'x', digits[c >> 4], digits[c & 15]};
    }
    return 0;
}

int parse_command_line(int argc, const char* const* argv, CommandLine* options,
                       std::string* error) {
    CommandLine o;
    bool size_given = false, fps_given = false, every_given = false, seconds_given = false,
         start_given = false;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        std::string value;
        bool has_value = false;
        const size_t equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
            has_value = true;
        }
        const bool takes_value = arg == "--start" || arg == "--pace" || arg == "--filter" ||
                                 arg == "--record" || arg == "--frames" || arg == "--size" ||
                                 arg == "--fps" || arg == "--every" || arg == "--seconds" ||
                                 arg == "--loop" || arg == "--kernels";
        if (takes_value && !has_value) {
            if (i + 1 >= argc) return fail(error, arg + " needs a value");
            value = argv[++i];
        } else if (!takes_value && has_value) {
            return fail(error, arg + " takes no value");
        }

        if (arg == "--help") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--play") {
            o.play = true;
        } else if (arg == "--windowed") {
            o.windowed = true;
        } else if (arg == "--nosound") {
            o.nosound = true;
        } else if (arg == "--no-builtin-data") {
            o.no_builtin_data = true;
        } else if (arg == "--benchmark") {
            o.benchmark = true;
        } else if (arg == "--list-scenes") {
            o.list_scenes = true;
        } else if (arg == "--start") {
            if (!read_start(value, &o.start_order))
                return fail(error, "--start needs an order from 0 to 255 or a scene name (see "
                                   "--list-scenes), not '" +
                                       value + "'");
            start_given = true;
        } else if (arg == "--loop") {
            if (!read_loop(value, &o.loop_first, &o.loop_last))
                return fail(error, "--loop needs a scene name (see --list-scenes) or orders "
                                   "FIRST-LAST from 0 to 255, not '" +
                                       value + "'");
            o.loop = true;
        } else if (arg == "--watch") {
            o.watch = true;
        } else if (arg == "--pace") {
            if (!read_choice(value, pace_choices, &o.pace))
                return fail(error, "--pace must be 60, vsync or unlimited, not '" + value + "'");
        } else if (arg == "--filter") {
            if (!read_choice(value, filter_choices, &o.filter))
                return fail(error,
                            "--filter must be sharp, nearest or linear, not '" + value + "'");
        } else if (arg == "--kernels") {
            if (!read_choice(value, kernel_choices, &o.kernels))
                return fail(error,
                            "--kernels must be plain, sse2, avx2 or avx512, not '" + value + "'");
        } else if (arg == "--record") {
            if (value.empty()) return fail(error, "--record needs a file name");
            o.record_path = value;
        } else if (arg == "--frames") {
            if (value.empty()) return fail(error, "--frames needs a directory");
            o.frames_dir = value;
        } else if (arg == "--size") {
            if (!read_size(value, &o.width, &o.height))
                return fail(error,
                            "--size must be WIDTHxHEIGHT (1 to 8192 each), not '" + value + "'");
            size_given = true;
        } else if (arg == "--fps") {
            if (!read_number(value, 1, FPS_LIMIT, &o.fps))
                return fail(error, "--fps needs a number from 1 to 1000, not '" + value + "'");
            fps_given = true;
        } else if (arg == "--every") {
            if (!read_number(value, 1, 1u << 30, &o.every))
                return fail(error,
                            "--every needs a whole number of at least 1, not '" + value + "'");
            every_given = true;
        } else if (arg == "--seconds") {
            if (!read_seconds(value, &o.seconds))
                return fail(error, "--seconds needs seconds written as digits and a point (such "
                                   "as 2.5), more than 0 and at most " +
                                       std::to_string(SECONDS_MOST) + ", not '" + value + "'");
            seconds_given = true;
        } else if (arg.rfind("-", 0) == 0) {
            return fail(error, "unknown option '" + arg + "' (try --help)");
        } else {
            return fail(error, "unexpected argument '" + arg + "' (try --help)");
        }
    }

    const int lockstep_modes =
        int(!o.record_path.empty()) + int(!o.frames_dir.empty()) + int(o.benchmark);
    if (lockstep_modes > 1)
        return fail(error, "--record, --frames and --benchmark cannot be combined");
    if ((size_given || fps_given || seconds_given) && lockstep_modes == 0)
        return fail(error, "--size, --fps and --seconds need --record, --frames or --benchmark");
    if (every_given && o.frames_dir.empty()) return fail(error, "--every needs --frames");
    if (o.watch && !o.play) return fail(error, "--watch needs --play");
    if (o.loop && start_given) return fail(error, "--loop starts at its first order: no --start");
    if (o.loop) o.start_order = o.loop_first;
    if (!size_given) {
        o.width = o.record_path.empty() ? FRAME_WIDTH : 1280;
        o.height = o.record_path.empty() ? FRAME_HEIGHT : 960;
    }
    if (!o.record_path.empty() && (o.width % 2 || o.height % 2))
        return fail(error, "--record needs an even width and height");
    *options = o;
    return 1;
}
