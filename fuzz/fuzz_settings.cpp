// libFuzzer target: the settings file from untrusted bytes, on memory (the
// scratch directory as XDG_CONFIG_HOME). Whatever it holds, the loaded values
// obey their corrections, and a save writes them back whole.
#include "presentation/services/settings.h"
#include "scratch.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        std::filesystem::create_directories(scratch_directory() + "/vorn");
        return setenv("XDG_CONFIG_HOME", scratch_directory().c_str(), 1) == 0;
    }();
    if (!ready) return 0;
    scratch_file("vorn/settings", data, size);
    load_settings();
    if (sound_output == 0 || output_rate < 4000) __builtin_trap();
    const int32_t rate = output_rate, output = sound_output;
    save_settings();
    load_settings();
    if (output_rate != rate || sound_output != output) __builtin_trap();
    return 0;
}
