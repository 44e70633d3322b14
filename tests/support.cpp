#include "support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

ScopedDirectory::ScopedDirectory() {
    previous = fs::current_path().string();
    std::string pattern = fs::temp_directory_path().string() + "/vorn-test-XXXXXX";
    path = mkdtemp(pattern.data());
    fs::current_path(path);
}

ScopedDirectory::~ScopedDirectory() {
    fs::current_path(previous);
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

ScopedConfigHome::ScopedConfigHome() {
    if (const char* home = std::getenv("HOME")) had_home = true, saved_home = home;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"))
        had_config = true, saved_config = config;
    setenv("XDG_CONFIG_HOME", path.c_str(), 1);
    if (const char* cache = std::getenv("XDG_CACHE_HOME")) had_cache = true, saved_cache = cache;
    setenv("XDG_CACHE_HOME", (path + "/cache").c_str(), 1);
}

ScopedConfigHome::~ScopedConfigHome() {
    if (had_home)
        setenv("HOME", saved_home.c_str(), 1);
    else
        unsetenv("HOME");
    if (had_config)
        setenv("XDG_CONFIG_HOME", saved_config.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    if (had_cache)
        setenv("XDG_CACHE_HOME", saved_cache.c_str(), 1);
    else
        unsetenv("XDG_CACHE_HOME");
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string read_text(const std::string& path) {
    const std::vector<uint8_t> bytes = read_file(path);
    return std::string(bytes.begin(), bytes.end());
}

void write_text(const std::string& path, const std::string& text) {
    const fs::path folder = fs::path(path).parent_path();
    if (!folder.empty()) fs::create_directories(folder);
    write_file(path, std::vector<uint8_t>(text.begin(), text.end()));
}

void put_u32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; i++) out.push_back(uint8_t(value >> (8 * i)));
}

void put_u16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

// No screen and no sound card: SDL runs on its dummy drivers unless the
// caller chose others.
int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
