// Screen-space culling: screen points rounded to whole pixels, and which
// faces with such corners are drawn.
#pragma once

#include "engine3d/math.h"
#include "engine3d/model.h"

#include <cstddef>
#include <cstdint>

// The camera clip box widened by 5 pixels on every side, exclusive bounds: a
// face is drawn only if a corner column and a corner row lie strictly inside.
struct GuardBox {
    int32_t left, right, top, bottom;
};

// A screen point rounded to whole pixels (z included): nearest, ties to even,
// saturated to the 32-bit range.
struct ScreenPoint {
    int32_t x, y, z;
};

ScreenPoint round_point(const Vec3& s);
// round_point over count points. A kernel, as drawn_faces below.
extern void (*round_points)(ScreenPoint* dst, const Vec3* src, uint32_t count);
void round_points_plain(ScreenPoint* dst, const Vec3* src, uint32_t count);

// Whether a face with these corners is drawn: all corners at z >= 1,
// counter-clockwise on screen, a corner column and a corner row inside the
// guard box.
bool face_drawn(const ScreenPoint& p0, const ScreenPoint& p1, const ScreenPoint& p2,
                const GuardBox& box);

// The faces first .. end - 1 that face_drawn draws, their corners at
// points[base + vertex], listed in order into drawn (room for end - first);
// gives how many. The points must run on one past the last a face uses: the
// vector path reads each point as sixteen bytes.
// A kernel: choose_culling_kernels (culling_simd.cpp) points it and
// round_points at the plain loops or their vector twins.
extern size_t (*drawn_faces)(const Face* faces, uint32_t first, uint32_t end, uint32_t base,
                             const ScreenPoint* points, const GuardBox& box, uint32_t* drawn);
size_t drawn_faces_plain(const Face* faces, uint32_t first, uint32_t end, uint32_t base,
                         const ScreenPoint* points, const GuardBox& box, uint32_t* drawn);
void choose_culling_kernels();
