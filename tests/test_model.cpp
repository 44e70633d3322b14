#include "engine3d/model.h"
#include "engine3d/scene.h"
#include "model_writer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Two triangles at a right angle sharing the edge v0-v1 (the x axis), a spare
// vertex used by no face, and v4 on the line through v0 and v1.
const std::vector<ModelPoint> kPoints = {{0, 0, 0}, {2, 0, 0}, {0, 3, 0},
                                         {0, 0, 4}, {5, 0, 0}, {7, -1, 9}};
const std::vector<ModelTriangle> kFaces = {{0, 1, 2}, {0, 3, 1}, {0, 1, 4}};

class ModelTest : public ::testing::Test {
  protected:
    void SetUp() override { build_angle_tables(); }
    ScopedDirectory dir;
    Mesh mesh;
};

void expect_empty(const Mesh& mesh) {
    EXPECT_TRUE(mesh.vertices.empty());
    EXPECT_TRUE(mesh.normals.empty());
    EXPECT_TRUE(mesh.faces.empty());
    EXPECT_TRUE(mesh.surfaces.empty());
}

int parse(const std::vector<uint8_t>& bytes, Mesh* mesh, float scale = 1.0f) {
    model_set_entry(bytes.data(), bytes.size());
    return model_parse(mesh, scale);
}

void expect_vec(const Vec3& v, double x, double y, double z) {
    EXPECT_NEAR(v.x, x, 1e-6);
    EXPECT_NEAR(v.y, y, 1e-6);
    EXPECT_NEAR(v.z, z, 1e-6);
}

TEST_F(ModelTest, ReadsVerticesFacesAndOneSurfaceWithoutSurfaceChunk) {
    write_file("shape.m3d", model_bytes(kPoints, kFaces));
    ASSERT_EQ(model_load("shape.m3d", &mesh, 1.0f), 1);
    ASSERT_EQ(mesh.vertex_count, 6);
    ASSERT_EQ(mesh.face_count, 3);
    ASSERT_EQ(mesh.vertices.size(), 6u);
    EXPECT_EQ(mesh.normals.size(), 6u);
    expect_vec(mesh.vertices[5], 7, -1, 9);
    EXPECT_EQ(mesh.faces[1].vert_a, 0u);
    EXPECT_EQ(mesh.faces[1].vert_b, 3u);
    EXPECT_EQ(mesh.faces[1].vert_c, 1u);
    ASSERT_EQ(mesh.surface_count, 1);
    EXPECT_EQ(mesh.surfaces[0].first, 0);
    EXPECT_EQ(mesh.surfaces[0].count, 3);
}

TEST_F(ModelTest, SurfaceRecordsOneIgnoredSeveralTakenAsStored) {
    // A single record does not count: the one surface covers every face.
    ASSERT_EQ(parse(model_bytes(kPoints, kFaces, {{2, 7}}), &mesh), 1);
    ASSERT_EQ(mesh.surface_count, 1);
    EXPECT_EQ(mesh.surfaces[0].first, 0);
    EXPECT_EQ(mesh.surfaces[0].count, 3);

    // Several records are kept as written, overlaps included.
    ASSERT_EQ(parse(model_bytes(kPoints, kFaces, {{0, 2}, {1, 2}, {2, 1}}), &mesh), 1);
    ASSERT_EQ(mesh.surface_count, 3);
    EXPECT_EQ(mesh.surfaces[0].first, 0);
    EXPECT_EQ(mesh.surfaces[0].count, 2);
    EXPECT_EQ(mesh.surfaces[1].first, 1);
    EXPECT_EQ(mesh.surfaces[1].count, 2);
    EXPECT_EQ(mesh.surfaces[2].first, 2);
    EXPECT_EQ(mesh.surfaces[2].count, 1);
}

TEST_F(ModelTest, ScaleMultipliesCoordinates) {
    ASSERT_EQ(parse(model_bytes(kPoints, kFaces), &mesh, 2.0f), 1);
    expect_vec(mesh.vertices[1], 4, 0, 0);
    expect_vec(mesh.vertices[5], 14, -2, 18);
}

TEST_F(ModelTest, UnknownChunksAnywhereAreSkippedAndOrderIsFree) {
    std::vector<uint8_t> bytes = model_header(6, 3);
    model_chunk(bytes, "FACE", face_payload(kFaces));
    model_chunk(bytes, "JUNK", {1, 2, 3, 4, 5});
    model_chunk(bytes, "NOPE", {});
    model_chunk(bytes, "VREX", vertex_payload(kPoints));
    model_chunk(bytes, "TAIL", std::vector<uint8_t>(40, 0x7F));
    ASSERT_EQ(parse(bytes, &mesh), 1);
    expect_vec(mesh.vertices[2], 0, 3, 0);
    EXPECT_EQ(mesh.faces[2].vert_c, 4u);
}

TEST_F(ModelTest, GeometryChunkCountDecides) {
    // Two vertex chunks alone pass (faces stay zero: corner 0 exists).
    std::vector<uint8_t> two_vertex = model_header(6, 3);
    model_chunk(two_vertex, "VREX", vertex_payload(kPoints));
    model_chunk(two_vertex, "VREX", vertex_payload(kPoints));
    EXPECT_EQ(parse(two_vertex, &mesh), 1);

    std::vector<uint8_t> one_chunk = model_header(6, 3);
    model_chunk(one_chunk, "VREX", vertex_payload(kPoints));
    EXPECT_EQ(parse(one_chunk, &mesh), 0);
    expect_empty(mesh);

    EXPECT_EQ(parse(model_header(0, 0), &mesh), 0);
    expect_empty(mesh);
}

TEST_F(ModelTest, MalformedEntriesAreRejectedWithNothingKept) {
    const std::vector<uint8_t> good = model_bytes(kPoints, kFaces);
    std::vector<std::vector<uint8_t>> bad;

    std::vector<uint8_t> magic = good;
    magic[3] = 'E';
    bad.push_back(magic);

    // Payloads consistent with their chunk sizes but shorter than the counts.
    std::vector<uint8_t> short_vertices = model_header(7, 3);
    model_chunk(short_vertices, "VREX", vertex_payload(kPoints));
    model_chunk(short_vertices, "FACE", face_payload(kFaces));
    bad.push_back(short_vertices);
    std::vector<uint8_t> short_faces = model_header(6, 4);
    model_chunk(short_faces, "VREX", vertex_payload(kPoints));
    model_chunk(short_faces, "FACE", face_payload(kFaces));
    bad.push_back(short_faces);

    // A corner naming vertex 6 of 6, a surface running past the faces.
    bad.push_back(model_bytes(kPoints, {{0, 1, 2}, {0, 6, 1}, {0, 1, 4}}));
    bad.push_back(model_bytes(kPoints, kFaces, {{0, 2}, {2, 2}}));

    // A chunk size reaching past the end, stray bytes after the last chunk.
    std::vector<uint8_t> long_chunk = good;
    model_chunk(long_chunk, "JUNK", {});
    long_chunk[long_chunk.size() - 4] = 1; // one payload byte that is not there
    bad.push_back(long_chunk);
    std::vector<uint8_t> stray = good;
    stray.insert(stray.end(), {0, 0, 0});
    bad.push_back(stray);

    for (size_t i = 0; i < bad.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(parse(bad[i], &mesh), 0);
        expect_empty(mesh);
    }
}

TEST_F(ModelTest, EveryTruncationIsRejected) {
    // Surface chunk first and faces last, so no cut at a chunk boundary leaves
    // two geometry chunks.
    const std::vector<uint8_t> good = model_bytes(kPoints, kFaces, {{0, 1}, {1, 2}});
    ASSERT_EQ(parse(good, &mesh), 1);
    for (size_t size = 0; size < good.size(); size++) {
        SCOPED_TRACE(size);
        // A copy of exactly the prefix, so a read past it is caught by tools.
        const std::vector<uint8_t> prefix(good.begin(), good.begin() + long(size));
        model_set_entry(prefix.data(), prefix.size());
        EXPECT_EQ(model_parse(&mesh, 1.0f), 0);
        expect_empty(mesh);
    }
}

TEST_F(ModelTest, MissingOrEmptyEntryFails) {
    EXPECT_EQ(model_load("absent.m3d", &mesh, 1.0f), 0);
    write_file("empty.m3d", {});
    EXPECT_EQ(model_load("empty.m3d", &mesh, 1.0f), 0);
    expect_empty(mesh);
}

class LoadedModelTest : public ModelTest {
  protected:
    void SetUp() override {
        ModelTest::SetUp();
        scene_init(&scene, 1);
        write_file("shape.m3d", model_bytes(kPoints, kFaces));
        index = scene_load_object(&scene, "shape.m3d", 1.0f, 0, 0, 0, 16, 0, 0, 0, 0);
        ASSERT_EQ(index, 0);
    }
    Scene scene;
    uint16_t index = NO_OBJECT;
};

TEST_F(LoadedModelTest, FaceAndVertexNormals) {
    const Mesh& m = scene.objects[index].mesh;
    // (2,0,0) x (0,3,0) = (0,0,6); (0,0,4) x (2,0,0) = (0,8,0).
    expect_vec(m.faces[0].normal, 0, 0, 1);
    expect_vec(m.faces[1].normal, 0, 1, 0);
    // Collinear corners: zero normal, nothing added to its corners.
    expect_vec(m.faces[2].normal, 0, 0, 0);
    const double r = std::sqrt(0.5);
    expect_vec(m.normals[0], 0, r, r); // both faces
    expect_vec(m.normals[1], 0, r, r);
    expect_vec(m.normals[2], 0, 0, 1); // first face only
    expect_vec(m.normals[3], 0, 1, 0); // second face only
    expect_vec(m.normals[4], 0, 0, 0); // only the degenerate face
    expect_vec(m.normals[5], 0, 0, 0); // no face
    for (const Face& f : m.faces)
        for (int k = 0; k < 3; k++) EXPECT_EQ(f.uv[k][0] + f.uv[k][1], 0.0f);
}

TEST_F(LoadedModelTest, NormalsIgnoreScale) {
    Scene big;
    scene_init(&big, 1);
    ASSERT_EQ(scene_load_object(&big, "shape.m3d", 2.0f, 0, 0, 0, 16, 0, 0, 0, 0), 0);
    const Mesh& a = scene.objects[index].mesh;
    const Mesh& b = big.objects[0].mesh;
    for (int i = 0; i < 6; i++) {
        EXPECT_FLOAT_EQ(b.vertices[i].x, 2 * a.vertices[i].x);
        expect_vec(b.normals[i], a.normals[i].x, a.normals[i].y, a.normals[i].z);
    }
}

TEST_F(LoadedModelTest, BoxCornersInFixedOrder) {
    const BoxCorners& box = scene.objects[index].box;
    // x in [0, 7], y in [-1, 3], z in [0, 9].
    const float expected[8][3] = {{0, -1, 0}, {7, 3, 9},  {0, 3, 0},  {7, 3, 0},
                                  {7, -1, 0}, {7, -1, 9}, {0, -1, 9}, {0, 3, 9}};
    for (int i = 0; i < 8; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(box.corner[i].x, expected[i][0]);
        EXPECT_EQ(box.corner[i].y, expected[i][1]);
        EXPECT_EQ(box.corner[i].z, expected[i][2]);
    }
}

TEST_F(LoadedModelTest, ComputeNormalsIgnoresIndexOutsideScene) {
    Mesh& m = scene.objects[index].mesh;
    m.normals[0] = {9, 9, 9};
    mesh_compute_normals(&scene, 1);
    EXPECT_EQ(m.normals[0].x, 9.0f);
    mesh_compute_normals(&scene, 0);
    expect_vec(m.normals[0], 0, std::sqrt(0.5), std::sqrt(0.5));
}

} // namespace
