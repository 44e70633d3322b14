// Per-frame rendering of a scene: visibility reset, object transform with box
// culling and projection, lighting, and one filler call per visible face.
#pragma once

#include "data/surface.h"
#include "effects/fillers.h"
#include "engine3d/culling.h"
#include "engine3d/scene.h"

#include <cstddef>
#include <cstdint>

// scene_begin_frame flags.
constexpr uint8_t FRAME_ADVANCE_STAMP = 1; // next frame_stamp; clear depth at 127
constexpr uint8_t FRAME_CLEAR_IDS = 2;

// Frames of one depth-buffer clear cycle.
constexpr uint8_t FRAME_STAMP_CYCLE = 127;

// The camera clip box widened by 5 pixels on every side (culling.h).
extern GuardBox guard_box;
void set_guard_box(const Camera* camera);

void scene_begin_frame(Scene* scene, uint8_t flags);

// Culls the object when its whole box lies at camera z <= 0; otherwise fills
// its work-array entries (view positions, world normals, screen positions) and
// marks it visible. An object that would not fit in the work arrays is skipped.
void object_transform(Scene* scene, uint16_t index, const Camera* camera);

// Draws every visible object of the scene into surface.
void render_scene(Scene* scene, const Camera* camera, Surface* surface);

// Perspective projection in place: x' = focal / z * x + centre_x, likewise y;
// z is kept (a z of exactly 0 projects as -1). The scaled form then multiplies
// x' and y' by the camera's scale factors.
void project_points(Vec3* points, const Camera* camera, int32_t count);
void project_points_scaled(Vec3* points, const Camera* camera, int32_t count);

void lights_to_view(Scene* scene, const Camera* camera);

// Rounds the screen points into the three records; 1 when the face is to be
// drawn (all corners at z >= 1, counter-clockwise on screen, touching the
// guard box), else 0.
int triangle_visible(FillVertex* rec0, FillVertex* rec1, FillVertex* rec2, const Vec3* s0,
                     const Vec3* s1, const Vec3* s2);

// ---- kernels ----
// Program-wide pointers that choose_render_kernels (render_simd.cpp) sets to
// the plain loops below or to their SSE2 twins.

// The projection of project_points and project_points_scaled from src into dst
// (dst may be src).
extern void (*project_into)(Vec3* dst, const Vec3* src, const Camera* camera, int32_t count);
extern void (*project_scaled_into)(Vec3* dst, const Vec3* src, const Camera* camera, int32_t count);
void project_into_plain(Vec3* dst, const Vec3* src, const Camera* camera, int32_t count);
void project_scaled_into_plain(Vec3* dst, const Vec3* src, const Camera* camera, int32_t count);

// Corner n's (u, v) among corner records stride bytes apart, the first
// record's (u, v) at uv.
inline int32_t* corner_uv(int32_t* uv, size_t stride, size_t n) {
    return reinterpret_cast<int32_t*>(reinterpret_cast<char*>(uv) + n * stride);
}

// The stored (u, v) of the faces listed[0 .. drawn - 1], three corners each,
// into corner records (corner_uv): each value truncated, 0 at or below 0 (NaN
// too), 65535 above 65535.
extern void (*face_uvs)(int32_t* uv, size_t stride, const Face* faces, const uint32_t* listed,
                        size_t drawn);
void face_uvs_plain(int32_t* uv, size_t stride, const Face* faces, const uint32_t* listed,
                    size_t drawn);

// The corners of work-array entries first .. first + count - 1 into out: each
// entry's column, row, light (from shades, lit there first where it is still
// 0) and 1/z. The twins take shades as light_entries left them, every entry
// lit but an odd last one.
extern void (*make_entry_corners)(FillCorner* out, const ScreenPoint* points, int32_t* shades,
                                  const Scene* scene, uint32_t first, uint32_t count);
void make_entry_corners_plain(FillCorner* out, const ScreenPoint* points, int32_t* shades,
                              const Scene* scene, uint32_t first, uint32_t count);

void choose_render_kernels();
