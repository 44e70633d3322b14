// Fewer faces for an imported model: each surface is simplified on its own
// (meshoptimizer's edge collapses) with the faces along its border kept, so
// every face keeps its surface and neighbouring surfaces still meet edge to
// edge; a closed model stays closed.
#pragma once

#include "engine3d/math.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One face of a model being imported: corners into its vertices, its surface.
struct Triangle {
    uint32_t corner[3];
    uint32_t surface;
};

// Simplifies `triangles` (grouped by surface; every vertex used) towards
// `budget` faces so that the faces and the vertices they use each number at
// most `most`. A surface whose border allows no fewer faces keeps more, and
// the others give up the difference. False with *error when the model cannot
// be brought within `most`.
bool simplify_model(const std::vector<Vec3>& vertices, std::vector<Triangle>& triangles,
                    size_t budget, size_t most, std::string* error);
