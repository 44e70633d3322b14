// Full-frame texture lookups: the tunnel, the rotated and scrolled texture
// plane, and the texture seen through two displacement maps. Textures are
// 256 x 256 RGB texels (texel index row * 256 + column); one shorter than what
// a call reads counts as missing and nothing is drawn.
#pragma once

#include "data/pack.h"
#include "data/surface.h"

#include <cstddef>
#include <cstdint>

// One tunnel frame from tunnel_depth and tunnel_angle: depth_shift scrolls
// along the tunnel, angle_shift turns it.
void draw_tunnel(uint8_t depth_shift, uint8_t angle_shift, Surface* surface, const Buffer& texture);

// The texture plane turned by angle (256 steps per turn) and scrolled by the
// two shifts; draws only while sphere_table exists.
void draw_rotated_texture(Surface* surface, uint8_t u_shift, uint8_t v_shift, uint8_t angle,
                          const Buffer& texture);

// The texture (read with a row step of 255 texels, at least 47,619 bytes) seen
// through two 320 x 200 displacement maps moved by phase in opposite directions.
void draw_displaced_texture(uint8_t phase, Surface* surface, const Buffer& map1, const Buffer& map2,
                            const Buffer& texture);

// The rows of the turned plane: the frame's first pixel, its row stride in
// pixels and its size, the texture, the index shift, column 0's 16.16
// coordinates on the first row, and the turn's steps (a column on moves u by c
// and v by -s, a row down moves u by s and v by c).
struct TurnedPlane {
    uint32_t* pixels;
    size_t stride;
    uint32_t width, height;
    const uint8_t* texture;
    uint32_t shift, row_u, row_v, c, s;
};

// The tunnel's pixels: pixel i is the texel at (angle_shift + ((depth[i] +
// depth_shift) << 8) + (angle[i] << 1)) modulo 2^16, for i below count.
struct TunnelPixels {
    uint32_t* pixels;
    const uint8_t* depth;
    const uint8_t* angle;
    uint32_t count;
    const uint8_t* texture;
    uint32_t depth_shift, angle_shift;
};

// Kernels: choose_tunnel_kernels (tunnel_simd.cpp) points each at the plain
// loop or the SSE2 twin.
extern void (*draw_tunnel_pixels)(const TunnelPixels& run);
void draw_tunnel_pixels_plain(const TunnelPixels& run);
// Pixels first .. count - 1 of the run.
void draw_tunnel_pixels_from(const TunnelPixels& run, uint32_t first);
extern void (*draw_turned_plane)(const TurnedPlane& plane);
void draw_turned_plane_plain(const TurnedPlane& plane);
// Columns x .. width - 1 of the row whose column 0 has coordinates (row_u, row_v).
void draw_turned_columns(uint32_t* p, uint32_t x, const TurnedPlane& plane, uint32_t row_u,
                         uint32_t row_v);
void choose_tunnel_kernels();
