#include "engine3d/scene.h"
#include "model_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

const std::vector<ModelPoint> kPoints = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
const std::vector<ModelTriangle> kFaces = {{0, 1, 2}, {0, 2, 3}, {1, 2, 3}};

class SceneTest : public ::testing::Test {
  protected:
    void SetUp() override {
        build_angle_tables();
        write_file("quad.m3d", model_bytes(kPoints, kFaces, {{0, 2}, {2, 1}}));
        ASSERT_NE(scene_init(&scene, 2), nullptr);
    }
    ScopedDirectory dir;
    Scene scene;

    uint16_t load(float x = 0, float y = 0, float z = 0) {
        return scene_load_object(&scene, "quad.m3d", 1.0f, x, y, z, 16, 0, 0, 0, 0);
    }
};

void expect_matrix_near(const Matrix4& a, const Matrix4& b, double tolerance = 1e-5) {
    for (int i = 0; i < 16; i++) EXPECT_NEAR(a.m[i], b.m[i], tolerance) << "element " << i;
}

TEST_F(SceneTest, FreshSceneAndLoading) {
    EXPECT_EQ(scene.object_count, 0);
    EXPECT_EQ(scene.light_count, 1);
    EXPECT_EQ(scene.ambient, 0);
    EXPECT_EQ(scene.objects.size(), 2u);

    ASSERT_EQ(load(5, 6, 7), 0);
    const SceneObject& object = scene.objects[0];
    EXPECT_EQ(object.position.x, 5.0f);
    EXPECT_EQ(object.position.y, 6.0f);
    EXPECT_EQ(object.position.z, 7.0f);
    Matrix4 expected;
    mat_identity(&expected);
    expected.m[12] = 5, expected.m[13] = 6, expected.m[14] = 7;
    expect_matrix_near(object.matrix, expected, 0);
    EXPECT_EQ(load(), 1);
    EXPECT_EQ(scene.object_count, 2);
}

TEST_F(SceneTest, FailedLoadsKeepTheCount) {
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(scene_load_object(&scene, "absent.m3d", 1, 0, 0, 0, 16, 0, 0, 0, 0), NO_OBJECT);
    write_file("quad.obj", read_file("quad.m3d"));
    EXPECT_EQ(scene_load_object(&scene, "quad.obj", 1, 0, 0, 0, 16, 0, 0, 0, 0), NO_OBJECT);
    write_file("broken.m3d", {'Q', 'X', '3', 'D'});
    EXPECT_EQ(scene_load_object(&scene, "broken.m3d", 1, 0, 0, 0, 16, 0, 0, 0, 0), NO_OBJECT);
    EXPECT_EQ(scene.object_count, 1);
    EXPECT_TRUE(scene.objects[1].mesh.vertices.empty());
    // Capacity 2: the third object is refused.
    EXPECT_EQ(load(), 1);
    EXPECT_EQ(load(), NO_OBJECT);
    EXPECT_EQ(scene.object_count, 2);
}

TEST_F(SceneTest, SameModelTwiceGivesSeparateMeshes) {
    ASSERT_EQ(load(), 0);
    ASSERT_EQ(load(), 1);
    scene.objects[0].mesh.vertices[0].x = 42;
    EXPECT_EQ(scene.objects[1].mesh.vertices[0].x, -1.0f);
    EXPECT_NE(scene.objects[0].mesh.faces.data(), scene.objects[1].mesh.faces.data());
}

TEST_F(SceneTest, SurfaceAttributesByType) {
    // Colour types carry blue, green, red from bit 8; textured types the
    // texture number; types 12-15 nothing.
    EXPECT_EQ(surface_attribute(17, 9, 0x11, 0x22, 0x33), 17u + 0x332211u * 256u);
    EXPECT_EQ(surface_attribute(24, 9, 0x11, 0x22, 0x33), 24u + 0x332211u * 256u);
    EXPECT_EQ(surface_attribute(18, 4, 0x11, 0x22, 0x33), 18u + 4u * 256u);
    EXPECT_EQ(surface_attribute(27, 200, 0x11, 0x22, 0x33), 27u + 200u * 256u);
    EXPECT_EQ(surface_attribute(28, 4, 0x11, 0x22, 0x33), 28u);
    EXPECT_EQ(surface_attribute(16, 4, 0, 0, 0), 16u);

    ASSERT_EQ(scene_load_object(&scene, "quad.m3d", 1, 0, 0, 0, 17, 3, 10, 20, 30), 0);
    Mesh* mesh = &scene.objects[0].mesh;
    for (const Face& face : mesh->faces) {
        EXPECT_EQ(face.attr, 17u + (30u * 65536 + 20u * 256 + 10u) * 256u);
        EXPECT_EQ(face.red, 10);
        EXPECT_EQ(face.green, 20);
        EXPECT_EQ(face.blue, 30);
    }
    // Surface 1 is face 2 alone; surface 2 does not exist.
    surface_set_attributes(mesh, 1, 19, 2, 1, 2, 3);
    surface_set_attributes(mesh, 2, 19, 4, 7, 7, 7);
    EXPECT_EQ(mesh->faces[0].attr, 17u + (30u * 65536 + 20u * 256 + 10u) * 256u);
    EXPECT_EQ(mesh->faces[1].red, 10);
    EXPECT_EQ(mesh->faces[2].attr, 19u + 2u * 256u);
    EXPECT_EQ(mesh->faces[2].red, 1);
    EXPECT_EQ(mesh->faces[2].blue, 3);
    object_set_surfaces(mesh, 28, 0, 5, 6, 7);
    for (const Face& face : mesh->faces) EXPECT_EQ(face.attr, 28u);
    EXPECT_EQ(mesh->faces[2].green, 6);
}

TEST_F(SceneTest, AmbientIsClamped) {
    scene_set_ambient(&scene, 300);
    EXPECT_EQ(scene.ambient, 255);
    scene_set_ambient(&scene, 255);
    EXPECT_EQ(scene.ambient, 255);
    scene_set_ambient(&scene, 50);
    EXPECT_EQ(scene.ambient, 50);
}

TEST_F(SceneTest, LightsFillSlotsFromOneAndStopAtTheTable) {
    LightSource* first = scene_add_light(&scene, 1, 2, 3, 64, 0, 0, 2000, LIGHT_SPOT);
    ASSERT_EQ(first, &scene.lights[1]);
    EXPECT_EQ(scene.lights[0].type, 0);
    EXPECT_EQ(first->direction.z, -1.0f);
    EXPECT_EQ(first->intensity, 2000u);
    EXPECT_EQ(first->angles[0], 64);
    // Quarter turn about y: row 0 is (0, 0, 1); translation row is the position.
    EXPECT_NEAR(first->matrix.m[2], 1.0, 1e-6);
    EXPECT_NEAR(first->matrix.m[0], 0.0, 1e-6);
    EXPECT_EQ(first->matrix.m[12], 1.0f);
    EXPECT_EQ(first->matrix.m[14], 3.0f);
    for (int i = 2; i < SCENE_LIGHT_SLOTS; i++)
        ASSERT_EQ(scene_add_light(&scene, 0, 0, 0, 0, 0, 0, 1, 1), &scene.lights[i]);
    EXPECT_EQ(scene.light_count, 100);
    EXPECT_EQ(scene_add_light(&scene, 0, 0, 0, 0, 0, 0, 1, 1), nullptr);
    EXPECT_EQ(scene.light_count, 100);
}

TEST_F(SceneTest, ObjectMotion) {
    ASSERT_EQ(load(0, 0, 100), 0);
    const Matrix4 start = scene.objects[0].matrix;

    object_rotate(&scene, 0, 0, 0, 0);
    expect_matrix_near(scene.objects[0].matrix, start, 0);
    object_apply_transform(&scene, 0, 0, 0, 0, 0, 0, 0);
    expect_matrix_near(scene.objects[0].matrix, start, 0);
    for (int i = 0; i < 4; i++) object_rotate(&scene, 0, 0, 64, 0);
    expect_matrix_near(scene.objects[0].matrix, start);

    // A quarter turn about y maps the object's x axis onto world z, so a
    // shift of 10 along its own x moves it 10 along world z.
    object_apply_transform(&scene, 0, 64, 0, 0, 10, 0, 0);
    const SceneObject& object = scene.objects[0];
    EXPECT_NEAR(object.position.x, 0, 1e-4);
    EXPECT_NEAR(object.position.z, 110, 1e-4);
    EXPECT_NEAR(object.matrix.m[2], 1, 1e-6);
    EXPECT_NEAR(object.matrix.m[8], -1, 1e-6);

    object_move(&scene, 0, 1, 2, 3);
    EXPECT_NEAR(object.position.x, 1, 1e-4);
    EXPECT_NEAR(object.position.y, 2, 1e-4);
    EXPECT_NEAR(object.position.z, 113, 1e-4);
    EXPECT_EQ(object.matrix.m[13], object.position.y);

    // Indices at or past the count change nothing.
    const Matrix4 before = object.matrix;
    object_rotate(&scene, 1, 3, 3, 3);
    object_move(&scene, 1, 5, 5, 5);
    object_apply_transform(&scene, NO_OBJECT, 3, 3, 3, 1, 1, 1);
    expect_matrix_near(object.matrix, before, 0);
    EXPECT_EQ(scene.objects[1].matrix.m[15], 0.0f);
}

TEST_F(SceneTest, WorkArraysAndRelease) {
    ASSERT_EQ(load(), 0);
    ASSERT_EQ(load(), 1);
    ASSERT_EQ(scene_alloc_work(&scene), 1);
    EXPECT_EQ(scene.total_vertices, 8u);
    EXPECT_EQ(scene.view_positions.size(), 8u);
    EXPECT_EQ(scene.world_normals.size(), 8u);

    // Releasing the first keeps the count (the last still has vertices);
    // releasing the last then drops both.
    object_release(&scene, 0);
    EXPECT_EQ(scene.object_count, 2);
    EXPECT_TRUE(scene.objects[0].mesh.faces.empty());
    object_release(&scene, 1);
    EXPECT_EQ(scene.object_count, 0);
    object_release(&scene, 1);
    scene_release_objects(&scene);
    EXPECT_TRUE(scene.objects.empty());
    scene_release_objects(&scene);
    EXPECT_EQ(load(), NO_OBJECT);
}

class CameraTest : public ::testing::Test {
  protected:
    void SetUp() override {
        build_angle_tables();
        camera_init(&camera, 256, 159, 99, 1, 1, 0, 320, 0, 200);
    }
    Camera camera;

    // The target in camera space: (target - position) x orientation.
    Vec3 in_camera_space(float x, float y, float z) {
        Matrix4 m = camera.orientation;
        m.m[12] = m.m[13] = m.m[14] = 0;
        const Vec3 d = {x - camera.position.x, y - camera.position.y, z - camera.position.z};
        Vec3 out;
        transform_point(&out, &d, &m);
        return out;
    }
};

TEST_F(CameraTest, InitAndMoves) {
    EXPECT_EQ(camera.focal, 256.0f);
    EXPECT_EQ(camera.centre_x, 159.0f);
    EXPECT_EQ(camera.clip_right, 320);
    EXPECT_EQ(camera.clip_bottom, 200);
    EXPECT_EQ(camera.position.z, -600.0f);
    Matrix4 identity;
    mat_identity(&identity);
    expect_matrix_near(camera.orientation, identity, 0);
    camera_move(&camera, 1, 2, 3);
    EXPECT_EQ(camera.position.x, 1.0f);
    EXPECT_EQ(camera.position.z, -597.0f);
    camera_set_position(&camera, 4, 5, 6);
    EXPECT_EQ(camera.position.y, 5.0f);
}

TEST_F(CameraTest, LookAtPutsTheTargetOnTheViewAxis) {
    const float targets[][3] = {{0, 0, 100},     {300, 0, 0},      {-200, 50, -900},
                                {10, -450, 486}, {-30, 300, 1000}, {5, 900, -600}};
    for (const auto& t : targets) {
        SCOPED_TRACE(testing::Message() << t[0] << " " << t[1] << " " << t[2]);
        camera_look_at(&camera, t[0], t[1], t[2]);
        const Vec3 v = in_camera_space(t[0], t[1], t[2]);
        const double dist =
            std::sqrt(double(t[0] - camera.position.x) * (t[0] - camera.position.x) +
                      double(t[1] - camera.position.y) * (t[1] - camera.position.y) +
                      double(t[2] - camera.position.z) * (t[2] - camera.position.z));
        EXPECT_NEAR(v.x, 0, dist * 1e-5);
        EXPECT_NEAR(v.y, 0, dist * 1e-5);
        EXPECT_NEAR(v.z, dist, dist * 1e-5);
        // No roll: the camera's x axis stays horizontal.
        EXPECT_NEAR(camera.orientation.m[4], 0, 1e-6);
    }
}

TEST_F(CameraTest, LookAtItselfOrStraightUpKeepsOrientation) {
    camera_look_at(&camera, 100, 20, 0);
    const Matrix4 aimed = camera.orientation;
    camera_look_at(&camera, 0, 0, -600);
    expect_matrix_near(camera.orientation, aimed, 0);
    camera_look_at(&camera, 0, -50, -600);
    expect_matrix_near(camera.orientation, aimed, 0);
    camera_look_at(&camera, 0, 50, -600);
    expect_matrix_near(camera.orientation, aimed, 0);
}

} // namespace
