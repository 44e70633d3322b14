#include "model_mesh.h"
#include "data/files.h"

#include <cstdio>
#include <cstring>

void model_begin_surface(ModelMesh& mesh, const char* name, uint32_t type, uint8_t texture,
                         uint8_t red, uint8_t green, uint8_t blue, uint8_t map_mode,
                         uint8_t map_axis) {
    ModelSurface s{};
    s.first = uint16_t(mesh.faces.size());
    s.type = type;
    s.texture = texture;
    s.red = red;
    s.green = green;
    s.blue = blue;
    s.map_mode = map_mode;
    s.map_axis = map_axis;
    std::strncpy(s.name, name, sizeof(s.name) - 1);
    mesh.surfaces.push_back(s);
}

void model_end_surface(ModelMesh& mesh) {
    ModelSurface& s = mesh.surfaces.back();
    s.count = uint16_t(mesh.faces.size() - s.first);
}

uint32_t model_add_vertex(ModelMesh& mesh, Vec3 p) {
    mesh.vertices.push_back(p);
    return uint32_t(mesh.vertices.size() - 1);
}

void model_add_face(ModelMesh& mesh, uint32_t a, uint32_t b, uint32_t c) {
    mesh.faces.push_back({uint16_t(a), uint16_t(b), uint16_t(c)});
}

void model_add_quad(ModelMesh& mesh, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    model_add_face(mesh, a, b, c);
    model_add_face(mesh, a, c, d);
}

void model_add_polar_grid(ModelMesh& mesh, int rings, int segments,
                          const std::function<Vec3(double t, double s)>& shape) {
    uint32_t first_pole = model_add_vertex(mesh, shape(0.0, 0.0));
    uint32_t ring0 = uint32_t(mesh.vertices.size());
    for (int r = 0; r < rings; r++) {
        double t = double(r + 1) / double(rings + 1);
        for (int j = 0; j < segments; j++) model_add_vertex(mesh, shape(t, double(j) / segments));
    }
    uint32_t second_pole = model_add_vertex(mesh, shape(1.0, 0.0));

    auto at = [&](int r, int j) { return ring0 + uint32_t(r * segments + j % segments); };
    for (int j = 0; j < segments; j++) model_add_face(mesh, first_pole, at(0, j + 1), at(0, j));
    for (int r = 0; r + 1 < rings; r++)
        for (int j = 0; j < segments; j++)
            model_add_quad(mesh, at(r, j), at(r, j + 1), at(r + 1, j + 1), at(r + 1, j));
    for (int j = 0; j < segments; j++)
        model_add_face(mesh, at(rings - 1, j), at(rings - 1, j + 1), second_pole);
}

void model_add_torus_grid(ModelMesh& mesh, int around, int across,
                          const std::function<Vec3(double s, double t)>& shape) {
    uint32_t base = uint32_t(mesh.vertices.size());
    for (int i = 0; i < around; i++)
        for (int j = 0; j < across; j++)
            model_add_vertex(mesh, shape(double(i) / around, double(j) / across));

    auto at = [&](int i, int j) { return base + uint32_t((i % around) * across + j % across); };
    for (int i = 0; i < around; i++)
        for (int j = 0; j < across; j++)
            model_add_quad(mesh, at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
}

void model_add_cells(ModelMesh& mesh, const std::vector<float>& xs, const std::vector<float>& ys,
                     const std::vector<float>& zs, const std::function<bool(Vec3 centre)>& filled,
                     float bevel) {
    const int n[3] = {int(xs.size()) - 1, int(ys.size()) - 1, int(zs.size()) - 1};
    if (n[0] < 1 || n[1] < 1 || n[2] < 1) return;

    // Solidity of every cell, decided once.
    std::vector<uint8_t> cells(size_t(n[0]) * n[1] * n[2]);
    for (int k = 0; k < n[2]; k++)
        for (int j = 0; j < n[1]; j++)
            for (int i = 0; i < n[0]; i++)
                cells[(size_t(k) * n[1] + j) * n[0] + i] =
                    filled({(xs[i] + xs[i + 1]) * 0.5f, (ys[j] + ys[j + 1]) * 0.5f,
                            (zs[k] + zs[k + 1]) * 0.5f});
    auto solid = [&](const int c[3]) {
        for (int a = 0; a < 3; a++)
            if (c[a] < 0 || c[a] >= n[a]) return false;
        return cells[(size_t(c[2]) * n[1] + c[1]) * n[0] + c[0]] != 0;
    };

    // A grid point on a convex edge (two solid cells of the eight around it)
    // or corner (one) moves into the solid along the axes where all of them lie
    // on one side.
    auto bevelled = [&](const int g[3]) {
        Vec3 p = {xs[g[0]], ys[g[1]], zs[g[2]]};
        if (bevel <= 0.0f) return p;
        int count = 0, below[3] = {0, 0, 0}, above[3] = {0, 0, 0};
        for (int corner = 0; corner < 8; corner++) {
            int c[3];
            for (int a = 0; a < 3; a++) c[a] = g[a] - 1 + ((corner >> a) & 1);
            if (!solid(c)) continue;
            count++;
            for (int a = 0; a < 3; a++) ((corner >> a) & 1 ? above : below)[a]++;
        }
        if (count == 0 || count > 2) return p;
        float* coord[3] = {&p.x, &p.y, &p.z};
        for (int a = 0; a < 3; a++) {
            if (below[a] == 0) *coord[a] += bevel * 0.5f;
            if (above[a] == 0) *coord[a] -= bevel * 0.5f;
        }
        return p;
    };

    // Grid points get a vertex the first time a boundary face uses them.
    std::vector<int32_t> point_vertex(size_t(n[0] + 1) * (n[1] + 1) * (n[2] + 1), -1);
    auto vertex_at = [&](const int g[3]) {
        size_t key = (size_t(g[2]) * (n[1] + 1) + g[1]) * (n[0] + 1) + g[0];
        if (point_vertex[key] < 0) point_vertex[key] = int32_t(model_add_vertex(mesh, bevelled(g)));
        return uint32_t(point_vertex[key]);
    };

    // Corners of a face across axis a, in the plane of the axes b = a + 1 and
    // c = a + 2: counter-clockwise about +a for the positive side.
    static const int square[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int k = 0; k < n[2]; k++)
        for (int j = 0; j < n[1]; j++)
            for (int i = 0; i < n[0]; i++) {
                const int cell[3] = {i, j, k};
                if (!solid(cell)) continue;
                for (int a = 0; a < 3; a++)
                    for (int side = 0; side < 2; side++) {
                        int next[3] = {i, j, k};
                        next[a] += side ? 1 : -1;
                        if (solid(next)) continue;
                        const int b = (a + 1) % 3, c = (a + 2) % 3;
                        uint32_t v[4];
                        for (int q = 0; q < 4; q++) {
                            // The negative side runs the square the other way.
                            const int* corner = square[side ? q : (4 - q) % 4];
                            int g[3];
                            g[a] = cell[a] + side;
                            g[b] = cell[b] + corner[0];
                            g[c] = cell[c] + corner[1];
                            v[q] = vertex_at(g);
                        }
                        model_add_quad(mesh, v[0], v[1], v[2], v[3]);
                    }
            }
}

namespace {

void put_u16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void put_u32(std::vector<uint8_t>& out, uint32_t value) {
    put_u16(out, value & 0xFFFF);
    put_u16(out, value >> 16);
}

void put_f32(std::vector<uint8_t>& out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    put_u32(out, bits);
}

void put_chunk_header(std::vector<uint8_t>& out, const char* tag, size_t payload_size) {
    out.insert(out.end(), tag, tag + 4);
    put_u32(out, uint32_t(payload_size));
}

bool mesh_fits_format(const ModelMesh& mesh) {
    if (mesh.vertices.size() > 0xFFFF || mesh.faces.size() > 0xFFFF) return false;
    for (const ModelFace& f : mesh.faces)
        if (f.a >= mesh.vertices.size() || f.b >= mesh.vertices.size() ||
            f.c >= mesh.vertices.size())
            return false;
    for (const ModelSurface& s : mesh.surfaces)
        if (size_t(s.first) + s.count > mesh.faces.size()) return false;
    return true;
}

} // namespace

std::vector<uint8_t> model_encode(const ModelMesh& mesh) {
    std::vector<uint8_t> out;
    if (!mesh_fits_format(mesh)) return out;

    out.insert(out.end(), {'Q', 'X', '3', 'D'});
    put_u16(out, MODEL_FORMAT_VERSION);
    out.resize(26, 0);
    put_u32(out, uint32_t(mesh.vertices.size()));
    put_u32(out, uint32_t(mesh.faces.size()));

    put_chunk_header(out, "VREX", mesh.vertices.size() * 12);
    for (const Vec3& p : mesh.vertices) {
        put_f32(out, p.x);
        put_f32(out, p.y);
        put_f32(out, p.z);
    }
    put_chunk_header(out, "FACE", mesh.faces.size() * 6);
    for (const ModelFace& f : mesh.faces) {
        put_u16(out, f.a);
        put_u16(out, f.b);
        put_u16(out, f.c);
    }
    if (!mesh.surfaces.empty()) {
        put_chunk_header(out, "SRFS", mesh.surfaces.size() * MODEL_SURFACE_RECORD_SIZE);
        for (const ModelSurface& s : mesh.surfaces) {
            put_u32(out, s.type);
            out.insert(out.end(), {s.texture, s.red, s.green, s.blue, s.map_mode, s.map_axis});
            put_u16(out, 0);
            put_u16(out, s.first);
            put_u16(out, s.count);
            out.insert(out.end(), s.name, s.name + sizeof(s.name));
        }
    }
    return out;
}

bool model_write(const ModelMesh& mesh, const std::string& path) {
    std::vector<uint8_t> bytes = model_encode(mesh);
    if (bytes.empty()) return false;
    std::string error;
    return write_file_atomically(path, bytes.data(), bytes.size(), &error);
}
