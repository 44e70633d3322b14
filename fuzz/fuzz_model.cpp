// libFuzzer target: model entries from untrusted bytes. A model that loads
// has every face corner inside its vertices and every surface inside its faces.
#include "engine3d/model.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Mesh mesh;
    model_set_entry(data, size);
    if (model_parse(&mesh, 1.0f)) {
        for (const Face& f : mesh.faces)
            if (f.vert_a >= mesh.vertices.size() || f.vert_b >= mesh.vertices.size() ||
                f.vert_c >= mesh.vertices.size())
                __builtin_trap();
        for (const SurfaceRange& s : mesh.surfaces)
            if (size_t(s.first) + s.count > mesh.faces.size()) __builtin_trap();
    }
    mesh_free(&mesh);
    return 0;
}
