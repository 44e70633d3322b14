// libFuzzer target: the settings file from untrusted bytes. Whatever it holds,
// the loaded values obey their corrections.
#include "presentation/settings.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

static std::string settings_path() {
    static std::string path;
    if (path.empty()) {
        const std::string dir = std::filesystem::temp_directory_path().string() + "/vorn-fuzz";
        std::filesystem::create_directories(dir + "/vorn");
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        path = settings_file_path();
    }
    return path;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = settings_path();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    load_settings();
    if (sound_output == 0 || output_rate < 4000) __builtin_trap();
    return 0;
}
