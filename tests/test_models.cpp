// The generated models: well-formed files, closed outward meshes and morph
// pairs with one layout. Their shapes and sizes, as the show's cameras see
// them, are pinned by the show's digests (test_scenes renders every scene).
#include "content.h"
#include "data/builtin.h"
#include "data/pack.h"
#include "model_mesh.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <numeric>
#include <string>

namespace {

const char* const kModelNames[] = {"brain.m3d",   "vkocka1.m3d", "vkocka2.m3d",
                                   "vkocka3.m3d", "kocka1.m3d",  "kocka2.m3d",
                                   "o_pod1.m3d",  "o_pod2.m3d",  "istu2.m3d"};

struct P3 {
    double x, y, z;
    friend P3 operator-(P3 a, P3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
    friend P3 cross(P3 a, P3 b) {
        return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    }
    friend double dot(P3 a, P3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
    friend double length(P3 a) { return std::sqrt(dot(a, a)); }
};

struct Model {
    std::vector<P3> vertices;
    std::vector<std::array<uint32_t, 3>> faces;
    std::vector<std::pair<uint32_t, uint32_t>> surfaces; // first, count
    std::vector<uint32_t> types;                         // 16 + surface type
    // Faces of the surfaces that show (type 16, depth only, hides and shows nothing).
    std::vector<std::array<uint32_t, 3>> shown_faces() const {
        std::vector<std::array<uint32_t, 3>> out;
        for (size_t s = 0; s < surfaces.size(); s++)
            if (types[s] != 16)
                out.insert(out.end(), faces.begin() + surfaces[s].first,
                           faces.begin() + surfaces[s].first + surfaces[s].second);
        return out;
    }
};

float get_f32(const std::vector<uint8_t>& b, size_t at) {
    const uint32_t bits = get_u32(b, at);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

// A strict reader: every chunk exactly the size its counts need, back to back
// up to the end of the file, every index in range. Fails the test otherwise.
Model parse_model(const std::vector<uint8_t>& b, const std::string& name) {
    Model m;
    EXPECT_GE(b.size(), 34u) << name;
    if (b.size() < 34) return m;
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "QX3D") << name;
    const uint32_t vertex_count = get_u32(b, 26), face_count = get_u32(b, 30);
    EXPECT_LE(std::max(vertex_count, face_count), 0xFFFFu) << name;
    bool seen_vrex = false, seen_face = false;
    size_t at = 34;
    while (at < b.size()) {
        if (at + 8 > b.size() || at + 8 + get_u32(b, at + 4) > b.size()) {
            ADD_FAILURE() << name << ": a chunk runs past the end";
            return m;
        }
        const std::string tag(b.begin() + long(at), b.begin() + long(at) + 4);
        const size_t size = get_u32(b, at + 4);
        at += 8;
        if (tag == "VREX") {
            EXPECT_EQ(size, 12u * vertex_count) << name;
            for (size_t i = 0; i < size / 12; i++)
                m.vertices.push_back({get_f32(b, at + 12 * i), get_f32(b, at + 12 * i + 4),
                                      get_f32(b, at + 12 * i + 8)});
            seen_vrex = true;
        } else if (tag == "FACE") {
            EXPECT_EQ(size, 6u * face_count) << name;
            for (size_t i = 0; i < size / 6; i++)
                m.faces.push_back({get_u16(b, at + 6 * i), get_u16(b, at + 6 * i + 2),
                                   get_u16(b, at + 6 * i + 4)});
            seen_face = true;
        } else if (tag == "SRFS") {
            EXPECT_EQ(size % 36, 0u) << name;
            for (size_t i = 0; i < size / 36; i++) {
                m.surfaces.push_back({get_u16(b, at + 36 * i + 12), get_u16(b, at + 36 * i + 14)});
                m.types.push_back(get_u32(b, at + 36 * i));
            }
        } else {
            ADD_FAILURE() << name << ": unexpected chunk " << tag;
        }
        at += size;
    }
    EXPECT_TRUE(seen_vrex && seen_face) << name;
    for (const auto& f : m.faces)
        for (uint32_t v : f) EXPECT_LT(v, m.vertices.size()) << name;
    return m;
}

struct Generated {
    std::map<std::string, std::vector<uint8_t>> bytes;
    std::map<std::string, Model> models;
};

const Generated& generated() {
    static const Generated g = [] {
        Generated out;
        ScopedDirectory dir;
        EXPECT_TRUE(write_models("."));
        for (const char* name : kModelNames) {
            out.bytes[name] = read_file(name);
            out.models[name] = parse_model(out.bytes[name], name);
        }
        return out;
    }();
    return g;
}

const Model& model(const std::string& name) {
    return generated().models.at(name);
}

P3 corner(const Model& m, const std::array<uint32_t, 3>& f, int k) {
    return m.vertices[f[size_t(k)] < m.vertices.size() ? f[size_t(k)] : 0];
}

double bounding_radius(const Model& m) {
    double r = 0;
    for (const P3& p : m.vertices) r = std::max(r, length(p));
    return r;
}

// Edges not run exactly once in each direction (by one face a -> b and by
// exactly one other b -> a): 0 for a closed, consistently wound mesh.
int unpaired_edges(const Model& m) {
    std::map<std::pair<uint32_t, uint32_t>, int> directed;
    for (const auto& f : m.faces)
        for (int k = 0; k < 3; k++) directed[{f[size_t(k)], f[size_t((k + 1) % 3)]}]++;
    int bad = 0;
    for (const auto& [edge, uses] : directed) {
        auto reverse = directed.find({edge.second, edge.first});
        if (uses != 1 || reverse == directed.end() || reverse->second != 1) bad++;
    }
    return bad;
}

// a . (b x c) / 6 of a face: summed over a closed mesh, the enclosed volume,
// positive only when the normals point out.
double face_volume(const Model& m, const std::array<uint32_t, 3>& f) {
    return dot(corner(m, f, 0), cross(corner(m, f, 1), corner(m, f, 2))) / 6.0;
}

// The volume each connected piece (faces sharing a vertex) encloses.
std::vector<double> piece_volumes(const Model& m) {
    std::vector<uint32_t> parent(m.vertices.size());
    std::iota(parent.begin(), parent.end(), 0u);
    auto find = [&](uint32_t v) {
        while (parent[v] != v) v = parent[v] = parent[parent[v]];
        return v;
    };
    for (const auto& f : m.faces) {
        parent[find(f[1])] = find(f[0]);
        parent[find(f[2])] = find(f[0]);
    }
    std::map<uint32_t, size_t> ids;
    std::vector<double> volume;
    for (const auto& f : m.faces) {
        const size_t id = ids.emplace(find(f[0]), ids.size()).first->second;
        volume.resize(ids.size(), 0.0);
        volume[id] += face_volume(m, f);
    }
    return volume;
}

Model encoded(const ModelMesh& mesh) {
    return parse_model(model_encode(mesh), "built");
}

} // namespace

TEST(Models, FilesAreWellFormedClosedAndFaceOutwards) {
    for (const char* name : kModelNames) {
        SCOPED_TRACE(name);
        const Model& m = model(name);
        EXPECT_GE(m.shown_faces().size(), 200u);
        EXPECT_LE(m.shown_faces().size(), 2200u);
        EXPECT_LE(m.faces.size(), 4000u);

        // Surfaces: consecutive runs from face 0 to the last face, none empty.
        ASSERT_FALSE(m.surfaces.empty());
        uint32_t next = 0;
        for (const auto& s : m.surfaces) {
            EXPECT_EQ(s.first, next);
            EXPECT_GT(s.second, 0u);
            next = s.first + s.second;
        }
        EXPECT_EQ(next, m.faces.size());

        // Every face has an area, so every face normal is defined.
        for (const auto& f : m.faces) {
            P3 n = cross(corner(m, f, 1) - corner(m, f, 0), corner(m, f, 2) - corner(m, f, 0));
            EXPECT_GT(length(n), 1e-6 * bounding_radius(m) * bounding_radius(m));
        }

        // The faces that show: closed, consistently wound, and each piece
        // encloses a positive volume.
        Model shown = m;
        shown.faces = m.shown_faces();
        EXPECT_EQ(unpaired_edges(shown), 0);
        for (double v : piece_volumes(shown)) EXPECT_GT(v, 0.0);
    }
}

// How far the shapes differ is the show's digests' to pin.
TEST(Models, MorphPairsShareVerticesFacesAndSurfaces) {
    const std::pair<const char*, const char*> pairs[] = {{"kocka1.m3d", "kocka2.m3d"},
                                                         {"o_pod1.m3d", "o_pod2.m3d"}};
    for (const auto& [from, to] : pairs) {
        SCOPED_TRACE(from);
        EXPECT_EQ(model(from).vertices.size(), model(to).vertices.size());
        EXPECT_EQ(model(from).faces, model(to).faces);
        EXPECT_EQ(model(from).surfaces, model(to).surfaces);
    }
}

TEST(Models, BuiltInPackCarriesTheGeneratedModels) {
    ScopedDirectory empty; // no loose files, no demo.qxd
    pack_builtin = builtin_pack();
    for (const char* name : kModelNames) {
        std::optional<Buffer> item = pack_read_entry(name);
        ASSERT_TRUE(item) << name;
        EXPECT_EQ(*item, generated().bytes.at(name)) << name;
    }
    pack_builtin = {nullptr, 0};
}

TEST(ModelWriter, RefusesMeshesTheFormatCannotHold) {
    ScopedDirectory dir;
    ModelMesh mesh;
    model_begin_surface(mesh, "s", 16, 0, 0, 0, 0, 1, 2);
    for (int i = 0; i < 3; i++) model_add_vertex(mesh, {float(i), float(i * i), 0.0f});
    model_add_face(mesh, 0, 1, 2);
    model_end_surface(mesh);
    const Model good = encoded(mesh); // the strict reader: every chunk its exact size
    EXPECT_EQ(good.faces, (std::vector<std::array<uint32_t, 3>>{{0, 1, 2}}));
    EXPECT_EQ(good.surfaces, (std::vector<std::pair<uint32_t, uint32_t>>{{0, 1}}));

    // Refused by the encoder, and by the writer without leaving a file.
    auto refused = [&](void (*spoil)(ModelMesh&)) {
        ModelMesh bad = mesh;
        spoil(bad);
        return model_encode(bad).empty() && !model_write(bad, "bad.m3d") &&
               !std::filesystem::exists("bad.m3d");
    };
    EXPECT_TRUE(refused([](ModelMesh& m) { m.faces[0].c = 3; }));        // past the vertices
    EXPECT_TRUE(refused([](ModelMesh& m) { m.surfaces[0].count = 2; })); // past the faces
    EXPECT_TRUE(refused([](ModelMesh& m) { m.vertices.resize(0x10000, Vec3{0, 0, 0}); }));
}

// Bevelled cells make the cube frames, whose files are checked above and whose
// shape the show's digests pin; an L without a bevel has a concave edge too.
TEST(ModelBuilder, CellsMakeAClosedOutwardBoundary) {
    // An L of three unit cells in a 2 x 2 x 1 grid: volume 3, 14 squares.
    ModelMesh l_shape;
    model_add_cells(
        l_shape, {0, 1, 2}, {0, 1, 2}, {0, 1}, [](Vec3 c) { return !(c.x > 1 && c.y > 1); }, 0.0f);
    const Model l = encoded(l_shape);
    EXPECT_EQ(l.faces.size(), 28u);
    EXPECT_EQ(unpaired_edges(l), 0);
    const std::vector<double> pieces = piece_volumes(l);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_NEAR(pieces[0], 3.0, 1e-9);
}
