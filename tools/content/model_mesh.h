// Triangle meshes built by code and written as .m3d model files.
//
// File layout (little-endian): a 34-byte header ("QX3D", format version u16 at
// 4, vertex count u32 at 26, face count u32 at 30; readers take the low 16 bits
// of each count), then the chunks "VREX" (x, y, z f32 per vertex), "FACE" (three
// u16 corner indices per face) and "SRFS" (one 36-byte record per surface), each
// an 8-byte tag and payload size followed by the payload.
//
// Winding: every face's (b - a) x (c - a) points out of the solid, so a face is
// drawn when its outside looks towards the camera.
#pragma once

#include "engine3d/math.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ModelFace {
    uint16_t a, b, c;
};

// A run of consecutive faces drawn the same way, and the look it is meant for.
// The record stores type, texture, colour and mapping next to the range.
struct ModelSurface {
    uint16_t first;
    uint16_t count;
    uint32_t type; // 16 + surface type
    uint8_t texture;
    uint8_t red, green, blue;
    uint8_t map_mode; // 1 planar, 2 cylindrical, 3 spherical
    uint8_t map_axis;
    char name[20]; // zero-padded
};

struct ModelMesh {
    std::vector<Vec3> vertices;
    std::vector<ModelFace> faces;
    std::vector<ModelSurface> surfaces;
};

constexpr size_t MODEL_HEADER_SIZE = 34;
constexpr size_t MODEL_SURFACE_RECORD_SIZE = 36;
constexpr uint16_t MODEL_FORMAT_VERSION = 1;

// Starts a surface at the next face; model_end_surface closes it with the
// faces added since.
void model_begin_surface(ModelMesh& mesh, const char* name, uint32_t type, uint8_t texture,
                         uint8_t red, uint8_t green, uint8_t blue, uint8_t map_mode,
                         uint8_t map_axis);
void model_end_surface(ModelMesh& mesh);

uint32_t model_add_vertex(ModelMesh& mesh, Vec3 p);
void model_add_face(ModelMesh& mesh, uint32_t a, uint32_t b, uint32_t c);
// Two faces a, b, c and a, c, d.
void model_add_quad(ModelMesh& mesh, uint32_t a, uint32_t b, uint32_t c, uint32_t d);

// A closed surface with the topology of a sphere: `rings` rings of `segments`
// vertices between two poles. shape(t, s) gives the point for t in [0, 1] from
// the first pole (t = 0) to the second (t = 1) and s in [0, 1) around; the
// surface faces outwards when, seen from outside, s turns counter-clockwise
// about the axis running from the first pole to the second.
void model_add_polar_grid(ModelMesh& mesh, int rings, int segments,
                          const std::function<Vec3(double t, double s)>& shape);

// A closed torus: `around` x `across` vertices, both directions wrapping.
// shape(s, t) with s, t in [0, 1); outward when d/ds x d/dt points outwards.
void model_add_torus_grid(ModelMesh& mesh, int around, int across,
                          const std::function<Vec3(double s, double t)>& shape);

// The boundary of a union of box cells: the cell between grid lines xs[i],
// xs[i + 1], ys[j], ys[j + 1], zs[k], zs[k + 1] is solid when filled(centre)
// holds for its centre. Each face of a solid cell that borders an empty cell
// (or the outside) becomes two triangles; grid points are shared, so the
// boundary is closed. The cells must not touch along an edge only (two solid
// cells diagonal to each other with both other cells around that edge empty).
//
// With bevel > 0 the convex edges and corners are cut at 45 degrees: their
// points move bevel / 2 into the solid along each axis that has solid cells on
// one side only. For a flat cut, each such edge needs grid lines at `bevel`
// from it on both faces.
void model_add_cells(ModelMesh& mesh, const std::vector<float>& xs, const std::vector<float>& ys,
                     const std::vector<float>& zs, const std::function<bool(Vec3 centre)>& filled,
                     float bevel);

// The file bytes; empty when a count or an index does not fit the format.
std::vector<uint8_t> model_encode(const ModelMesh& mesh);
bool model_write(const ModelMesh& mesh, const std::string& path);
