// libFuzzer target: qxpack's reading commands on an untrusted pack: list, and
// extract of the first entry to standard output (sent to /dev/null).
#include "data/pack.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <unistd.h>

int qxpack_main(int argc, char** argv);

static std::string pack_path() {
    static std::string path;
    if (path.empty()) {
        path = std::filesystem::temp_directory_path().string() + "/vorn-fuzz-qxpack-" +
               std::to_string(getpid()) + ".qxd";
        if (!std::freopen("/dev/null", "w", stdout)) std::abort();
    }
    return path;
}

// Runs one command with its complaints on stderr silenced.
static int run_quietly(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::fflush(stderr);
    const int saved = dup(2);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    const int status = qxpack_main(int(args.size()), argv.data());
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    close(null);
    return status;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = pack_path();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    const int listed = run_quietly({"qxpack", "list", path});
    if (listed != 0 && listed != 1) __builtin_trap();
    const std::vector<PackDirEntry> dir = pack_directory(data, size);
    if (!dir.empty()) {
        const int extracted = run_quietly({"qxpack", "extract", path, dir[0].name});
        if (extracted != 0 && extracted != 1) __builtin_trap();
    }
    return 0;
}
