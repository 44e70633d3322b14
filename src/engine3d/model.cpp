// The model reader: chunks read with their sizes checked against the entry,
// then the load-time work done once (scale, normals, box corners).
#include "engine3d/model.h"

#include "data/pack.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <optional>

// Reader state: one model is parsed at a time, on the loading thread.
static const uint8_t* model_entry = nullptr;
static size_t model_entry_size = 0;
static size_t model_position = 0;

struct ChunkHeader {
    char tag[4];
    uint32_t size;
};

static uint16_t get_u16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

static uint32_t get_u32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

static float get_f32(const uint8_t* p) {
    const uint32_t bits = get_u32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

static bool tag_is(const ChunkHeader& chunk, const char* tag) {
    return std::memcmp(chunk.tag, tag, 4) == 0;
}

// Reads the chunk header at the current position. False when the header or
// its payload does not lie wholly inside the entry.
static bool next_chunk(ChunkHeader* chunk) {
    if (model_entry_size - model_position < MODEL_CHUNK_HEADER_SIZE) return false;
    const uint8_t* p = model_entry + model_position;
    std::memcpy(chunk->tag, p, 4);
    chunk->size = get_u32(p + 4);
    model_position += MODEL_CHUNK_HEADER_SIZE;
    return chunk->size <= model_entry_size - model_position;
}

void model_set_entry(const uint8_t* data, size_t size) {
    model_entry = data;
    model_entry_size = data ? size : 0;
    model_position = 0;
}

int mesh_alloc(Mesh* mesh) {
    try {
        mesh->vertices.assign(mesh->vertex_count, Vec3{});
        mesh->normals.assign(mesh->vertex_count, Vec3{});
        mesh->faces.assign(mesh->face_count, Face{});
        mesh->surfaces.assign(mesh->surface_count, SurfaceRange{});
    } catch (const std::bad_alloc&) {
        mesh_free(mesh);
        return 0;
    }
    return 1;
}

void mesh_free(Mesh* mesh) {
    *mesh = Mesh{};
}

// Counting pass: the number of surface records of the last "SRFS" chunk, or -1
// when a chunk does not fit in the entry.
static long count_surface_records() {
    long records = 0;
    model_position = MODEL_HEADER_SIZE;
    while (model_position < model_entry_size) {
        ChunkHeader chunk;
        if (!next_chunk(&chunk)) return -1;
        if (tag_is(chunk, "SRFS")) records = long(chunk.size / MODEL_SURFACE_RECORD);
        model_position += chunk.size;
    }
    return records;
}

// Surface pass: each "SRFS" chunk fills the ranges from its records.
static bool read_surfaces(Mesh* mesh) {
    const size_t bytes = size_t(mesh->surface_count) * MODEL_SURFACE_RECORD;
    model_position = MODEL_HEADER_SIZE;
    while (model_position < model_entry_size) {
        ChunkHeader chunk;
        if (!next_chunk(&chunk)) return false;
        if (!tag_is(chunk, "SRFS")) {
            model_position += chunk.size;
            continue;
        }
        if (chunk.size < bytes) return false;
        for (uint16_t i = 0; i < mesh->surface_count; i++) {
            const uint8_t* record = model_entry + model_position;
            mesh->surfaces[i].first = get_u16(record + 12);
            mesh->surfaces[i].count = get_u16(record + 14);
            model_position += MODEL_SURFACE_RECORD;
        }
    }
    return true;
}

// Geometry pass: returns the number of "VREX" and "FACE" chunks read, or -1
// when a chunk does not fit or holds fewer records than the header's counts.
static int read_geometry(Mesh* mesh, float scale) {
    int chunks = 0;
    model_position = MODEL_HEADER_SIZE;
    while (model_position < model_entry_size) {
        ChunkHeader chunk;
        if (!next_chunk(&chunk)) return -1;
        if (tag_is(chunk, "VREX")) {
            if (chunk.size < size_t(mesh->vertex_count) * MODEL_VERTEX_RECORD) return -1;
            for (uint16_t i = 0; i < mesh->vertex_count; i++) {
                const uint8_t* p = model_entry + model_position;
                mesh->vertices[i].x = float(double(get_f32(p)) * scale);
                mesh->vertices[i].y = float(double(get_f32(p + 4)) * scale);
                mesh->vertices[i].z = float(double(get_f32(p + 8)) * scale);
                model_position += MODEL_VERTEX_RECORD;
            }
            chunks++;
        } else if (tag_is(chunk, "FACE")) {
            if (chunk.size < size_t(mesh->face_count) * MODEL_FACE_RECORD) return -1;
            for (uint16_t i = 0; i < mesh->face_count; i++) {
                const uint8_t* p = model_entry + model_position;
                mesh->faces[i].vert_a = get_u16(p);
                mesh->faces[i].vert_b = get_u16(p + 2);
                mesh->faces[i].vert_c = get_u16(p + 4);
                model_position += MODEL_FACE_RECORD;
            }
            chunks++;
        } else {
            model_position += chunk.size;
        }
    }
    return chunks;
}

// Every face corner names a vertex and every surface lies within the faces.
static bool mesh_indices_valid(const Mesh* mesh) {
    for (const Face& face : mesh->faces) {
        if (face.vert_a >= mesh->vertex_count || face.vert_b >= mesh->vertex_count ||
            face.vert_c >= mesh->vertex_count)
            return false;
    }
    for (const SurfaceRange& range : mesh->surfaces) {
        if (uint32_t(range.first) + range.count > mesh->face_count) return false;
    }
    return true;
}

static int model_parse_passes(Mesh* mesh, float scale) {
    if (model_entry_size < MODEL_HEADER_SIZE) return 0;
    const uint8_t* header = model_entry;
    if (std::memcmp(header, "QX3D", 4) != 0) return 0;
    mesh->vertex_count = get_u16(header + 26);
    mesh->face_count = get_u16(header + 30);
    // No vertices is empty geometry, like a missing chunk: nothing to place.
    if (mesh->vertex_count == 0) return 0;

    const long records = count_surface_records();
    if (records < 0 || records > 0xFFFF) return 0;
    mesh->surface_count = records == 0 ? 1 : uint16_t(records);
    if (!mesh_alloc(mesh)) return 0;

    if (mesh->surface_count > 1) {
        if (!read_surfaces(mesh)) return 0;
    } else {
        mesh->surfaces[0] = SurfaceRange{0, mesh->face_count};
    }
    if (read_geometry(mesh, scale) < 2) return 0;
    return mesh_indices_valid(mesh) ? 1 : 0;
}

int model_parse(Mesh* mesh, float scale) {
    mesh_free(mesh);
    if (!model_entry) return 0;
    if (model_parse_passes(mesh, scale)) return 1;
    mesh_free(mesh);
    return 0;
}

int model_load(const char* name, Mesh* mesh, float scale) {
    std::optional<Buffer> entry = pack_read_entry(name);
    if (!entry) {
        mesh_free(mesh);
        return 0;
    }
    // The buffer is the whole entry; never trust a larger reported size.
    const size_t size = std::min<size_t>(entry->size(), pack_entry_size(name));
    model_set_entry(entry->data(), size);
    const int result = model_parse(mesh, scale);
    model_set_entry(nullptr, 0);
    return result;
}

static void normalise(Vec3* v) {
    double len = std::sqrt(double(v->x) * v->x + double(v->y) * v->y + double(v->z) * v->z);
    if (len == 0.0) len = -1.0;
    v->x = float(v->x / len);
    v->y = float(v->y / len);
    v->z = float(v->z / len);
}

void mesh_update_normals(Mesh* mesh) {
    Vec3* vertices = mesh->vertices.data();
    Vec3* normals = mesh->normals.data();
    for (Face& face : mesh->faces) {
        const Vec3& a = vertices[face.vert_a];
        const Vec3& b = vertices[face.vert_b];
        const Vec3& c = vertices[face.vert_c];
        Vec3 n;
        face_normal(a.x, a.y, a.z, b.x, b.y, b.z, c.x, c.y, c.z, &n.x, &n.y, &n.z);
        normalise(&n);
        face.normal = n;
        for (uint32_t corner : {face.vert_a, face.vert_b, face.vert_c}) {
            normals[corner].x += n.x;
            normals[corner].y += n.y;
            normals[corner].z += n.z;
        }
    }
    for (Vec3& normal : mesh->normals) normalise(&normal);
}

void mesh_box_corners(const Mesh* mesh, BoxCorners* box) {
    *box = BoxCorners{};
    if (mesh->vertices.empty()) return;
    Vec3 lo = mesh->vertices[0], hi = mesh->vertices[0];
    for (const Vec3& v : mesh->vertices) {
        if (v.x < lo.x) lo.x = v.x;
        if (v.y < lo.y) lo.y = v.y;
        if (v.z < lo.z) lo.z = v.z;
        if (v.x > hi.x) hi.x = v.x;
        if (v.y > hi.y) hi.y = v.y;
        if (v.z > hi.z) hi.z = v.z;
    }
    box->corner[0] = {lo.x, lo.y, lo.z};
    box->corner[1] = {hi.x, hi.y, hi.z};
    box->corner[2] = {lo.x, hi.y, lo.z};
    box->corner[3] = {hi.x, hi.y, lo.z};
    box->corner[4] = {hi.x, lo.y, lo.z};
    box->corner[5] = {hi.x, lo.y, hi.z};
    box->corner[6] = {lo.x, lo.y, hi.z};
    box->corner[7] = {lo.x, hi.y, hi.z};
}
