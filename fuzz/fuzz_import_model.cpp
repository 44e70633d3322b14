// libFuzzer target: model files from untrusted bytes, imported as qxpack does
// (the asset library in a child process, then welding, winding and scaling).
// The first byte picks the format and the options; the rest is the file. A
// model that imports is accepted by the show's model reader with the counts
// it reported.
#include "imported_model.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include <unistd.h>

// The asset library leaks on some malformed files (its own allocations, freed
// by no one); that is not ours to find here.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libassimp.so\n";
}

static const char* const FORMATS[8] = {"obj", "gltf", "glb", "ply", "stl", "off", "obj", "ply"};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const ItemShape shape{KIND_MODEL, 0, 0, 55.0f, 2, (data[0] & 8) != 0, false};
    ModelOptions options;
    options.centre = (data[0] & 16) != 0;
    options.radius = (data[0] & 32) ? 0.0f : -1.0f;
    options.read_seconds = 2;
    const std::string path = std::filesystem::temp_directory_path().string() +
                             "/vorn-fuzz-import-" + std::to_string(getpid()) + "." +
                             FORMATS[data[0] & 7];
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size > 1) std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);
    Buffer out;
    ModelSummary summary;
    std::string error;
    const bool ok = import_model_file(path, shape, options, &out, &summary, &error);
    std::remove(path.c_str());
    check_imported_model(ok, error, out, summary);
    return 0;
}
