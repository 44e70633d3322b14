// The fuzz targets' scratch files: one directory on memory (tmpfs under
// /dev/shm where there is one) for the whole run, removed when it ends, and
// qxpack's commands run with their output silenced.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

inline const std::string& scratch_directory() {
    static std::string path;
    if (path.empty()) {
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        path = (base / ("vorn-fuzz-" + std::to_string(getpid()))).string();
        std::filesystem::create_directories(path, ec);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        });
    }
    return path;
}

// Writes bytes to a file of the scratch directory; its path.
inline std::string scratch_file(const char* name, const uint8_t* data, size_t size) {
    const std::string path = scratch_directory() + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    return path;
}

#ifdef VORN_FUZZ_CONTENT
#include "data/files.h"

// A file of the built-in content as the ordinary build made it (the fuzz
// build makes none of its own); the run stops when it is missing.
inline std::vector<uint8_t> content_bytes(const char* name) {
    const std::string path = std::string(VORN_FUZZ_CONTENT) + "/" + name;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!read_regular_file(path, size_t(1) << 30, &bytes, &error)) {
        std::fprintf(stderr, "%s: %s; build the show first\n", path.c_str(), error.c_str());
        std::abort();
    }
    return bytes;
}
#endif

int qxpack_main(int argc, char** argv);

// qxpack with these arguments, standard output and error sent to /dev/null.
inline int run_qxpack_quietly(std::vector<std::string> args) {
    args.insert(args.begin(), "qxpack");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::fflush(stdout);
    std::fflush(stderr);
    const int saved_out = dup(1), saved_err = dup(2);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    const int status = qxpack_main(int(args.size()), argv.data());
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(saved_out, 1);
    dup2(saved_err, 2);
    close(saved_out);
    close(saved_err);
    close(null);
    return status;
}
