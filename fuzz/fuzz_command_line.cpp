// libFuzzer target: the command line from untrusted bytes, one argument per
// zero-separated piece. Every verdict is a success or one "vorn: " line
// without control bytes.
#include "presentation/services/command_line.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args = {"vorn"};
    std::string piece;
    for (size_t i = 0; i < size && args.size() < 64; i++) {
        if (data[i] == 0) {
            args.push_back(piece);
            piece.clear();
        } else {
            piece += char(data[i]);
        }
    }
    args.push_back(piece);
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());

    CommandLine options;
    std::string error;
    if (parse_command_line(int(argv.size()), argv.data(), &options, &error)) {
        if (!error.empty() || options.fps == 0 || options.every == 0) __builtin_trap();
        const int modes = int(!options.record_path.empty()) + int(!options.frames_dir.empty()) +
                          int(options.benchmark);
        if (modes > 1 || is_lockstep_run(options) != (modes == 1)) __builtin_trap();
    } else {
        if (error.rfind("vorn: ", 0) != 0) __builtin_trap();
        for (char c : error)
            if ((unsigned char)c < 0x20) __builtin_trap();
    }
    return 0;
}
