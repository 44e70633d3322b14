// libFuzzer target: items read through the file system. The first byte says
// whether the rest is a loose file or demo.qxd, and how much the reader takes;
// whatever comes back is exactly the size reported, never more than asked for,
// and a model that loads has every index inside its arrays.
#include "data/pack.h"
#include "engine3d/model.h"
#include "scratch.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

// The scratch directory (on memory, removed when the run ends) is entered on
// the first input, after libFuzzer has read its corpus paths; give them as
// absolute paths all the same.
static void enter_scratch_directory() {
    static bool entered = false;
    if (entered) return;
    if (chdir(scratch_directory().c_str()) != 0) std::abort();
    entered = true;
}

static void write_bytes(const char* name, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(name, "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

static void check_item(const char* name, size_t most) {
    const PackItem item = pack_read_item(name, most);
    if (item.data && (item.data->size() != item.size || item.size > most)) __builtin_trap();
    (void)pack_entry_size(name);
    Mesh mesh;
    if (model_load(name, &mesh, 1.0f)) {
        for (const Face& f : mesh.faces)
            if (f.vert_a >= mesh.vertices.size() || f.vert_b >= mesh.vertices.size() ||
                f.vert_c >= mesh.vertices.size())
                __builtin_trap();
        if (mesh.vertices.empty()) __builtin_trap();
    }
    mesh_free(&mesh);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    enter_scratch_directory();
    const uint8_t mode = data[0];
    data++, size--;
    const size_t most = (mode & 0x7E) ? size_t(mode & 0x7E) << 10 : PACK_ITEM_LIMIT;
    std::remove("item.raw");
    std::remove(PACK_FILE_NAME);
    if (mode & 1) {
        write_bytes("item.raw", data, size);
        check_item("item.raw", most);
        return 0;
    }
    write_bytes(PACK_FILE_NAME, data, size);
    const std::vector<PackDirEntry> dir = pack_directory(data, size);
    for (size_t i = 0; i < dir.size() && i < 8; i++) check_item(dir[i].name, most);
    return 0;
}
