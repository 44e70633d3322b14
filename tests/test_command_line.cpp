#include "data/scaler.h"
#include "platform/video.h"
#include "presentation/services/command_line.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <tuple>
#include <vector>

namespace {

struct Parsed {
    int ok;
    CommandLine options;
    std::string error;
};

Parsed parse(std::vector<const char*> args) {
    args.insert(args.begin(), "vorn");
    Parsed p;
    p.ok = parse_command_line(int(args.size()), args.data(), &p.options, &p.error);
    return p;
}

std::tuple<uint32_t, uint32_t, uint32_t> size_and_fps(const CommandLine& o) {
    return {o.width, o.height, o.fps};
}

// No options is the plain show from the start, paced at 60 frames a second and
// scaled sharp (the zeros the options start from); captures default to a size
// of their kind.
TEST(CommandLine, Defaults) {
    const Parsed p = parse({}), record = parse({"--record", "show.mp4"}),
                 frames = parse({"--frames", "dir"});
    ASSERT_EQ(p.ok + record.ok + frames.ok, 3);
    EXPECT_FALSE(p.options.play || p.options.windowed || p.options.nosound || p.options.benchmark ||
                 p.options.no_builtin_data || is_lockstep_run(p.options));
    EXPECT_EQ(
        std::make_tuple(p.options.pace, p.options.filter, p.options.start_order, p.options.kernels),
        std::make_tuple(int(PACE_60), int(FILTER_SHARP), 0u, int(KERNELS_AVX512)));
    EXPECT_EQ(size_and_fps(record.options), std::make_tuple(1280u, 960u, 60u));
    EXPECT_EQ(size_and_fps(frames.options), std::make_tuple(320u, 200u, 60u));
}

TEST(CommandLine, ReadsEveryOptionInBothSpellings) {
    const Parsed p = parse({"--play", "--windowed", "--start", "17", "--pace=vsync", "--filter",
                            "linear", "--nosound", "--no-builtin-data", "--kernels", "sse2"});
    ASSERT_EQ(p.ok, 1) << p.error;
    EXPECT_TRUE(p.options.play && p.options.windowed && p.options.nosound &&
                p.options.no_builtin_data);
    EXPECT_EQ(
        std::make_tuple(p.options.start_order, p.options.pace, p.options.filter, p.options.kernels),
        std::make_tuple(17u, int(PACE_VSYNC), int(FILTER_LINEAR), int(KERNELS_SSE2)));

    // A loop starts where it turns back to: a scene's orders, one order or a range.
    const Parsed tunnel = parse({"--play", "--watch", "--loop", "tunnel"});
    ASSERT_EQ(tunnel.ok, 1) << tunnel.error;
    EXPECT_TRUE(tunnel.options.watch && tunnel.options.loop);
    EXPECT_EQ(std::make_tuple(tunnel.options.start_order, tunnel.options.loop_first,
                              tunnel.options.loop_last),
              std::make_tuple(27u, 27u, 28u));
    for (const auto& [text, first, last] :
         {std::make_tuple("9", 9u, 9u), std::make_tuple("0-255", 0u, 255u),
          std::make_tuple("3-3", 3u, 3u)}) {
        const Parsed range = parse({"--frames", "d", "--loop", text});
        ASSERT_EQ(range.ok, 1) << text << ": " << range.error;
        EXPECT_EQ(std::make_tuple(range.options.loop_first, range.options.loop_last),
                  std::make_tuple(first, last))
            << text;
    }

    const Parsed frames = parse({"--frames", "out dir", "--every=5", "--seconds", "2.5", "--size",
                                 "640x480", "--fps", "30"});
    ASSERT_EQ(frames.ok, 1) << frames.error;
    EXPECT_EQ(frames.options.frames_dir, "out dir");
    EXPECT_EQ(frames.options.every, 5u);
    EXPECT_DOUBLE_EQ(frames.options.seconds, 2.5);
    EXPECT_DOUBLE_EQ(parse({"--frames", "d", "--seconds", "86400"}).options.seconds, 86400.0)
        << "a whole day is taken";
    EXPECT_EQ(size_and_fps(frames.options), std::make_tuple(640u, 480u, 30u));
    EXPECT_TRUE(is_lockstep_run(frames.options));

    // The largest values taken; one more is refused below.
    const Parsed most = parse({"--frames", "d", "--start", "255", "--fps", "1000", "--size",
                               "8192x8192", "--seconds", "0.008"});
    ASSERT_EQ(most.ok, 1) << most.error;
    EXPECT_EQ(most.options.start_order, 255u);
    EXPECT_EQ(size_and_fps(most.options), std::make_tuple(8192u, 8192u, 1000u));
}

TEST(CommandLine, WrongOptionsAndValuesGiveOneLine) {
    const std::vector<std::vector<const char*>> wrong = {
        {"--bogus"},
        {"play"},
        {"--start"},
        {"--start", "256"},
        {"--start", "-1"},
        {"--start", "1x"},
        {"--pace", "30"},
        {"--filter", "blur"},
        {"--kernels", "sse4"},
        {"--play=1"},
        {"--record", "a.mp4", "--size", "1281x800"},
        {"--frames", "d", "--size", "0x200"},
        {"--frames", "d", "--size", "640"},
        {"--frames", "d", "--size", "9000x10"},
        {"--frames", "d", "--size", "8193x8192"},
        {"--frames", "d", "--size", "8192x8193"},
        {"--frames", "d", "--fps", "1001"},
        {"--frames", "d", "--fps", "0"},
        {"--frames", "d", "--every", "0"},
        {"--frames", "d", "--seconds", "-3"},
        {"--frames", "d", "--seconds", "abc"},
        {"--frames", "d", "--seconds", "1e3"},
        {"--frames", "d", "--seconds", "86401"},
        {"--frames", "d", "--record", "a.mp4"},
        {"--benchmark", "--frames", "d"},
        {"--size", "640x400"},
        {"--record", "a.mp4", "--every", "2"},
        {"--record", ""},
        {"--\n\x1b[2J"},
        {"--start", "1\r"},
        {"--loop", "end"},
        {"--loop", "5-4"},
        {"--loop", "3-256"},
        {"--loop", "-3"},
        {"--loop", "2-"},
        {"--loop", "2", "--start", "2"},
        {"--watch"},
    };
    for (const auto& args : wrong) {
        const Parsed p = parse(args);
        std::string shown;
        for (const char* a : args) shown += std::string(a) + " ";
        EXPECT_EQ(p.ok, 0) << shown;
        EXPECT_EQ(p.error.rfind("vorn: ", 0), 0u) << shown << ": " << p.error;
        EXPECT_EQ(std::count_if(p.error.begin(), p.error.end(),
                                [](char c) { return (unsigned char)c < 0x20; }),
                  0)
            << shown;
    }
    EXPECT_EQ(parse({"--\n\x1b"}).error, "vorn: unknown option '--\\x0a\\x1b' (try --help)");
    // A number the grammar does not take is said as such, not as a sign.
    EXPECT_EQ(parse({"--frames", "d", "--seconds", "1e3"}).error,
              "vorn: --seconds needs seconds written as digits and a point (such as 2.5), more "
              "than 0 and at most 86400, not '1e3'");
}

// The program itself: status 2 and exactly one line on stderr.
TEST(CommandLine, ProgramExitsWithStatusTwoAndOneLine) {
    ScopedDirectory dir;
    for (const char* args : {"--bogus", "--pace 30", "--start"}) {
        const std::string command =
            std::string(VORN_BINARY_DIR "/vorn ") + args + " 2>err.txt >/dev/null";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << args;
        EXPECT_EQ(WEXITSTATUS(status), 2) << args;
        const std::string err = read_text("err.txt");
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << args << ": " << err;
    }
}

} // namespace
