// Triangle meshes read from "QX3D" model entries: a 34-byte header, then
// tagged chunks ("VREX" vertices, "FACE" corner indices, "SRFS" surface
// ranges). Load-time work: scaling, face and vertex normals, box corners.
#pragma once

#include "engine3d/math.h"

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr size_t MODEL_HEADER_SIZE = 34;
constexpr size_t MODEL_CHUNK_HEADER_SIZE = 8; // tag, u32 payload size
constexpr size_t MODEL_VERTEX_RECORD = 12;    // x, y, z as f32
constexpr size_t MODEL_FACE_RECORD = 6;       // three u16 corner indices
constexpr size_t MODEL_SURFACE_RECORD = 36;   // first face at 12, face count at 14

// A run of consecutive faces drawn the same way.
struct SurfaceRange {
    uint16_t first;
    uint16_t count;
};

// How the faces of a surface are drawn: the low 4 bits of a face's attribute,
// each naming the filler and what its corners carry. 10 and 12-15 are never
// drawn.
enum SurfaceType : uint32_t {
    SURFACE_DEPTH_ONLY = 0,         // the face colour, flat
    SURFACE_GOURAUD = 1,            // the face colour, lit at each vertex
    SURFACE_TEXTURED = 2,           // the face's texture coordinates
    SURFACE_TEXTURED_SHADED = 3,    // those, lit at each vertex
    SURFACE_LIT = 4,                // the face colour, lit by light slot 0
    SURFACE_ENVIRONMENT = 5,        // texture coordinates from the world normal
    SURFACE_ENVIRONMENT_SHADED = 6, // those, lit at each vertex
    SURFACE_ADDITIVE = 7,           // a texture added to the frame
    SURFACE_WIREFRAME = 8,          // the edges, lit at each vertex
    SURFACE_TRANSLUCENT = 9,        // a texture mixed with the frame
    SURFACE_KEYED_TRANSLUCENT = 11, // that, with a colour key
    SURFACE_TYPE_MASK = 15,
};

struct Face {
    uint32_t vert_a, vert_b, vert_c;
    Vec3 normal;   // unit face normal, (0, 0, 0) for a degenerate face
    uint32_t attr; // SurfaceType in the low 4 bits, colour or texture from bit 8
    uint8_t red, green, blue;
    float uv[3][2]; // (u, v) of corners a, b, c in texels
};

// Each array holds exactly its count of entries; all four are empty when no
// model is loaded.
struct Mesh {
    std::vector<Vec3> vertices; // object space, already scaled
    std::vector<Vec3> normals;  // unit vertex normals
    std::vector<Face> faces;
    uint16_t vertex_count = 0;
    uint16_t face_count = 0;
    uint16_t surface_count = 0; // at least 1 once loaded
    std::vector<SurfaceRange> surfaces;
};

// Object-space bounding box: (minx, miny, minz), (maxx, maxy, maxz),
// (minx, maxy, minz), (maxx, maxy, minz), (maxx, miny, minz), (maxx, miny, maxz),
// (minx, miny, maxz), (minx, maxy, maxz).
struct BoxCorners {
    Vec3 corner[8];
};

// Reads the named model entry into mesh, coordinates multiplied by scale.
// Returns 1, or 0 (mesh left empty) when the entry is missing or malformed: a
// wrong magic, a chunk running past the end, a payload shorter than the
// header's counts, a face corner or surface range outside the mesh, or fewer
// than two geometry chunks.
int model_load(const char* name, Mesh* mesh, float scale);

// Parses the entry held by the reader state (set by model_load or
// model_set_entry). Returns 1 or 0 as model_load; on 0 the mesh is empty.
int model_parse(Mesh* mesh, float scale);

// Points the reader state at an entry in memory (not copied; it must outlive
// the following model_parse).
void model_set_entry(const uint8_t* data, size_t size);

// Allocates the four zero-filled arrays from the mesh's three counts.
int mesh_alloc(Mesh* mesh);
// Releases the arrays and clears the counts.
void mesh_free(Mesh* mesh);

// Face normals from the current vertex positions; each unit face normal is
// added to the vertex normals of its corners, which are then renormalised.
// The vertex normals are not cleared first.
void mesh_update_normals(Mesh* mesh);

// The box corners of a mesh in the fixed order above; all zero without vertices.
void mesh_box_corners(const Mesh* mesh, BoxCorners* box);
