// What every model import must give, for the import fuzz targets: a failure
// says why; a model that imports is accepted by the show's model reader with
// the counts it reported, and no face uses a corner twice. Traps otherwise.
#pragma once

#include "engine3d/model.h"
#include "import.h"

#include <string>

inline void check_imported_model(bool imported, const std::string& error, const Buffer& out,
                                 const ModelSummary& summary) {
    if (!imported) {
        if (error.empty()) __builtin_trap();
        return;
    }
    Mesh mesh;
    model_set_entry(out.data(), out.size());
    if (!model_parse(&mesh, 1.0f) || mesh.vertex_count != summary.vertices ||
        mesh.face_count != summary.faces || mesh.surface_count != summary.surfaces.size())
        __builtin_trap();
    for (const Face& f : mesh.faces)
        if (f.vert_a == f.vert_b || f.vert_b == f.vert_c || f.vert_a == f.vert_c) __builtin_trap();
    model_set_entry(nullptr, 0);
    mesh_free(&mesh);
}
