#include "engine3d/model.h"
#include "engine3d/scene.h"
#include "model_writer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Two triangles at a right angle sharing the edge v0-v1 (the x axis), a third
// with v4 on the line through v0 and v1 (degenerate), and v5 used by no face.
const std::vector<ModelPoint> kPoints = {{0, 0, 0}, {2, 0, 0}, {0, 3, 0},
                                         {0, 0, 4}, {5, 0, 0}, {7, -1, 9}};
const std::vector<ModelTriangle> kFaces = {{0, 1, 2}, {0, 3, 1}, {0, 1, 4}};

class ModelTest : public ::testing::Test {
  protected:
    void SetUp() override { build_angle_tables(); }
    ScopedDirectory dir;
    Mesh mesh;

    int parse(const std::vector<uint8_t>& bytes, float scale = 1.0f) {
        model_set_entry(bytes.data(), bytes.size());
        return model_parse(&mesh, scale);
    }
    void expect_rejected(const std::vector<uint8_t>& bytes) {
        EXPECT_EQ(parse(bytes), 0);
        EXPECT_TRUE(mesh.vertices.empty() && mesh.normals.empty() && mesh.faces.empty() &&
                    mesh.surfaces.empty());
    }
    void expect_surfaces(const std::vector<std::pair<uint16_t, uint16_t>>& expected) {
        std::vector<std::pair<uint16_t, uint16_t>> got;
        for (const SurfaceRange& r : mesh.surfaces) got.emplace_back(r.first, r.count);
        EXPECT_EQ(got, expected);
        EXPECT_EQ(mesh.surface_count, expected.size());
    }
};

TEST_F(ModelTest, SurfaceRecordsNoneOneOrSeveralAndUnknownChunksSkipped) {
    write_file("shape.m3d", model_bytes(kPoints, kFaces));
    ASSERT_EQ(model_load("shape.m3d", &mesh, 1.0f), 1); // what it reads: the normals test
    expect_surfaces({{0, 3}});
    // A single record does not count: the one surface covers every face.
    ASSERT_EQ(parse(model_bytes(kPoints, kFaces, {{2, 7}})), 1);
    expect_surfaces({{0, 3}});
    // Several records are kept as written, overlaps included.
    ASSERT_EQ(parse(model_bytes(kPoints, kFaces, {{0, 2}, {1, 2}, {2, 1}})), 1);
    expect_surfaces({{0, 2}, {1, 2}, {2, 1}});
    // Chunks in any order, unknown ones anywhere skipped.
    std::vector<uint8_t> bytes = model_header(6, 3);
    model_chunk(bytes, "FACE", face_payload(kFaces));
    model_chunk(bytes, "JUNK", {1, 2, 3, 4, 5});
    model_chunk(bytes, "VREX", vertex_payload(kPoints));
    model_chunk(bytes, "TAIL", std::vector<uint8_t>(40, 0x7F));
    ASSERT_EQ(parse(bytes), 1);
    expect_vec(mesh.vertices[2], 0, 3, 0);
    EXPECT_EQ(mesh.faces[2].vert_c, 4u);
}

TEST_F(ModelTest, MalformedAndTruncatedEntriesAreRejectedWithNothingKept) {
    EXPECT_EQ(model_load("absent.m3d", &mesh, 1.0f), 0);
    std::vector<uint8_t> magic = model_bytes(kPoints, kFaces);
    magic[3] = 'E';
    expect_rejected(magic);
    // Both chunks present but no vertices (and so no faces).
    expect_rejected(model_bytes({}, {}));
    // Payloads consistent with their chunk sizes but shorter than the counts,
    // in either chunk order.
    for (bool faces_first : {false, true})
        for (auto counts : {std::make_pair(7, 3), std::make_pair(6, 4)}) {
            std::vector<uint8_t> bytes =
                model_header(uint16_t(counts.first), uint16_t(counts.second));
            if (faces_first) model_chunk(bytes, "FACE", face_payload(kFaces));
            model_chunk(bytes, "VREX", vertex_payload(kPoints));
            if (!faces_first) model_chunk(bytes, "FACE", face_payload(kFaces));
            expect_rejected(bytes);
        }
    // A corner naming vertex 6 of 6, a surface running past the faces.
    expect_rejected(model_bytes(kPoints, {{0, 1, 2}, {0, 6, 1}, {0, 1, 4}}));
    expect_rejected(model_bytes(kPoints, kFaces, {{0, 2}, {2, 2}}));
    // A chunk size reaching past the end, stray bytes after the last chunk.
    std::vector<uint8_t> long_chunk = model_bytes(kPoints, kFaces);
    model_chunk(long_chunk, "JUNK", {});
    long_chunk[long_chunk.size() - 4] = 1;
    expect_rejected(long_chunk);
    std::vector<uint8_t> stray = model_bytes(kPoints, kFaces);
    stray.insert(stray.end(), {0, 0, 0});
    expect_rejected(stray);

    // Every truncation. Surface chunk first and faces last, so a cut at a chunk
    // boundary leaves fewer than two geometry chunks.
    const std::vector<uint8_t> good = model_bytes(kPoints, kFaces, {{0, 1}, {1, 2}});
    ASSERT_EQ(parse(good), 1);
    for (size_t size = 0; size < good.size(); size++) {
        SCOPED_TRACE(size);
        // A copy of exactly the prefix, so a read past it is caught by tools.
        expect_rejected(std::vector<uint8_t>(good.begin(), good.begin() + long(size)));
    }
}

TEST_F(ModelTest, NormalsAndBoxOfALoadedObjectAtScaleTwo) {
    write_file("shape.m3d", model_bytes(kPoints, kFaces));
    Scene scene;
    scene_init(&scene, 1);
    ASSERT_EQ(scene_load_object(&scene, "shape.m3d", 2.0f, 0, 0, 0, 16, 0, 0, 0, 0), 0);
    const Mesh& m = scene.objects[0].mesh;
    expect_vec(m.vertices[5], 14, -2, 18);
    // (2,0,0) x (0,3,0) is along +z; (0,0,4) x (2,0,0) along +y; unit at any scale.
    expect_vec(m.faces[0].normal, 0, 0, 1);
    expect_vec(m.faces[1].normal, 0, 1, 0);
    // Collinear corners: zero normal, nothing added to its corners.
    expect_vec(m.faces[2].normal, 0, 0, 0);
    const double r = std::sqrt(0.5);
    expect_vec(m.normals[0], 0, r, r); // both faces
    expect_vec(m.normals[2], 0, 0, 1); // first face only
    expect_vec(m.normals[4], 0, 0, 0); // only the degenerate face
    expect_vec(m.normals[5], 0, 0, 0); // no face

    // Box order: min, max, then the fixed mixes; x in [0, 14], y in [-2, 6], z in [0, 18].
    const float expected[8][3] = {{0, -2, 0},  {14, 6, 18},  {0, 6, 0},   {14, 6, 0},
                                  {14, -2, 0}, {14, -2, 18}, {0, -2, 18}, {0, 6, 18}};
    for (int i = 0; i < 8; i++)
        expect_vec(scene.objects[0].box.corner[i], expected[i][0], expected[i][1], expected[i][2]);
}

} // namespace
