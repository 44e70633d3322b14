// Triangle fillers of the 3D renderer: one set-up per surface type, each
// walking the edges and filling spans with the depth and id tests.
//
// Every filler draws into fill_context: the frame, depth_buffer and id_buffer
// share one index (row * row_length + column), and the clip box must lie
// inside them. Corners are taken in any order; a triangle with all corners on
// one row, or with a corner at z below 1, draws nothing. Textures are
// 256 x 256 (RGB bytes, or one byte a texel for fill_additive); a null texture
// or one without pixels draws nothing, and one whose byte_size is short of the
// full size wraps every texel index within the texels it holds.
#pragma once

#include "effects/fill_common.h"

#include <array>
#include <cstddef>
#include <cstdint>

struct TextureRecord;
struct LightSource;

struct FillVertex {
    int32_t x, y;  // screen pixel
    int32_t z;     // camera-space depth, at least 1
    int32_t u, v;  // texture column 0..511, row 0..255
    int32_t shade; // 0..255
    int32_t red, green, blue;
    float extra[3];
};

void fill_depth_only(const FillVertex& a, const FillVertex& b, const FillVertex& c);
void fill_gouraud(const FillVertex& a, const FillVertex& b, const FillVertex& c);
void fill_textured(const FillVertex& a, const FillVertex& b, const FillVertex& c,
                   const TextureRecord* texture);
void fill_textured_shaded(const FillVertex& a, const FillVertex& b, const FillVertex& c,
                          const TextureRecord* texture);
// 1/z of the nearer depths, each made once by the same float division.
constexpr uint32_t FILL_DEPTH_RECIPROCALS = 4096;
extern const std::array<float, FILL_DEPTH_RECIPROCALS> fill_depth_reciprocals;

// 1/z of a corner at camera depth z, as the fillers carry it; 0 (which no
// corner in front has) for z below 1.
inline float fill_corner_depth(int32_t z) {
    if (z < 1) return 0.0f;
    return uint32_t(z) < FILL_DEPTH_RECIPROCALS ? fill_depth_reciprocals[uint32_t(z)]
                                                : 1.0f / float(z);
}

// fill_textured_shaded of `faces` triangles in turn, corners[3 * i .. 3 * i + 2]
// the corners of the i-th; a face with a corner at w = 0 draws nothing. The
// texture and fill_context are looked at once.
void fill_textured_shaded_corners(const FillCorner* corners, size_t faces,
                                  const TextureRecord* texture);
void fill_type4(const FillVertex& a, const FillVertex& b, const FillVertex& c,
                const LightSource& light);
void fill_additive(const FillVertex& a, const FillVertex& b, const FillVertex& c,
                   const TextureRecord* texture);
void fill_wireframe(const FillVertex& a, const FillVertex& b, const FillVertex& c);
void fill_translucent(const FillVertex& a, const FillVertex& b, const FillVertex& c,
                      const TextureRecord* texture);
void fill_keyed_translucent(const FillVertex& a, const FillVertex& b, const FillVertex& c,
                            const TextureRecord* texture);

// Points every rule's walk kernels (fill_walk.h) at the plain walks or, where
// use_simd and use_avx2 allow, at their AVX2 builds (fillers_simd.cpp).
void choose_fill_kernels();

// Adds colour x shade (shade stepped from shade0 to shade1) along the line,
// saturating each channel; the end point and points on the clip box's edges
// are not drawn. No depth test.
void draw_shaded_line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t red, int32_t green,
                      int32_t blue, int32_t shade0, int32_t shade1);
