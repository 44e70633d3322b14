// Texture coordinates for the faces of one surface: planar, cylindrical,
// spherical, box and direction projections, in texels.
#pragma once

#include "engine3d/math.h"
#include "engine3d/scene.h"

#include <cstdint>

constexpr uint8_t MAP_PLANAR = 1;
constexpr uint8_t MAP_CYLINDRICAL = 2;
constexpr uint8_t MAP_SPHERICAL = 3;
constexpr uint8_t MAP_BOX = 4; // planar, the axis chosen per face from its normal
// Any other mode maps the unit direction of each vertex.

// map_point_uv kinds.
constexpr int MAP_KIND_SPHERE = 2;
constexpr int MAP_KIND_CYLINDER = 3;

// Sets the surface's attributes, then its faces' uv pairs by mode and axis
// (0 = x, 1 = y, 2 = z). Nothing for an object or surface index out of range.
void surface_map(Scene* scene, uint16_t object, uint16_t surface, uint32_t type, uint8_t texture,
                 uint8_t red, uint8_t green, uint8_t blue, uint8_t mode, uint8_t axis);

// Angle of the point (a, c) in [0, 2 pi); b is ignored.
float azimuth_angle(float a, float b, float c);
// Azimuth of (a, c) and the polar angle from the +b axis in [0, pi].
void sphere_angles(float a, float b, float c, float* azimuth, float* polar);

// (u, v) of a point relative to the surface centre for the spherical or
// cylindrical kind, wrapped about axis 1 (y), 2 (z) or 3 (x). fx, fy, fz are
// the face's side flags: 255 all corners below the centre on that axis, 1 all
// at or above it, 0 both. Another kind or axis leaves u and v as they are.
void map_point_uv(int kind, const Vec3* point, const Vec3* size, int axis, int width, int height,
                  uint8_t fx, uint8_t fy, uint8_t fz, float* u, float* v);
