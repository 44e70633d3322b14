#include "engine3d/scene.h"
#include "model_writer.h"

#include <gtest/gtest.h>

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

    uint16_t load(const char* name = "quad.m3d", uint32_t type = 16) {
        return scene_load_object(&scene, name, 1.0f, 0, 0, 100, type, 3, 10, 20, 30);
    }
};

// Failed loads and loads past the capacity keep the count; releases shrink it
// from the end only.
TEST_F(SceneTest, TheObjectCountGrowsByLoadsAndShrinksFromTheEnd) {
    ASSERT_EQ(load(), 0);
    write_file("quad.obj", read_file("quad.m3d"));
    write_file("broken.m3d", {'Q', 'X', '3', 'D'});
    for (const char* name : {"absent.m3d", "quad.obj", "broken.m3d"})
        EXPECT_EQ(load(name), NO_OBJECT) << name;
    EXPECT_EQ(scene.object_count, 1);
    EXPECT_TRUE(scene.objects[1].mesh.vertices.empty());
    // Capacity 2: the third object is refused.
    EXPECT_EQ(load(), 1);
    EXPECT_EQ(load(), NO_OBJECT);
    EXPECT_EQ(scene.object_count, 2);
    // Releasing the first keeps the count (the last still has vertices);
    // releasing the last then drops both. A released scene has no room left.
    ASSERT_EQ(scene_alloc_work(&scene), 1);
    object_release(&scene, 0);
    EXPECT_EQ(scene.object_count, 2);
    object_release(&scene, 1);
    EXPECT_EQ(scene.object_count, 0);
    scene_release_objects(&scene);
    scene_release_objects(&scene);
    EXPECT_EQ(load(), NO_OBJECT);
}

TEST_F(SceneTest, SurfaceAttributesCarryColourTextureOrNothing) {
    ASSERT_EQ(load("quad.m3d", 17), 0);
    Mesh* mesh = &scene.objects[0].mesh;
    const uint32_t colour_attr = 17u + 0x1E140Au * 256u; // blue 30, green 20, red 10
    for (const Face& face : mesh->faces) EXPECT_EQ(face.attr, colour_attr);
    // Surface 1 is face 2 alone; surface 2 does not exist.
    surface_set_attributes(mesh, 1, 19, 2, 1, 2, 3);
    surface_set_attributes(mesh, 2, 19, 4, 7, 7, 7);
    EXPECT_EQ(mesh->faces[1].attr, colour_attr);
    EXPECT_EQ(mesh->faces[2].attr, 19u + 2u * 256u);
    EXPECT_EQ(mesh->faces[2].blue, 3);
    object_set_surfaces(mesh, 28, 4, 5, 6, 7);
    EXPECT_EQ(mesh->faces[0].attr, 28u);
    EXPECT_EQ(surface_attribute(24, 9, 0x11, 0x22, 0x33), 24u + 0x332211u * 256u);
    EXPECT_EQ(surface_attribute(27, 200, 0x11, 0x22, 0x33), 27u + 200u * 256u);
}

TEST_F(SceneTest, LightsFillSlotsFromOneAndStopAtTheTable) {
    LightSource* first = scene_add_light(&scene, 1, 2, 3, 64, 0, 0, 2000, LIGHT_SPOT);
    ASSERT_EQ(first, &scene.lights[1]);
    EXPECT_EQ(scene.lights[0].type, 0);
    for (int i = 2; i < SCENE_LIGHT_SLOTS; i++)
        ASSERT_EQ(scene_add_light(&scene, 0, 0, 0, 0, 0, 0, 1, 1), &scene.lights[i]);
    EXPECT_EQ(scene_add_light(&scene, 0, 0, 0, 0, 0, 0, 1, 1), nullptr);
    EXPECT_EQ(scene.light_count, SCENE_LIGHT_SLOTS);
}

TEST_F(SceneTest, TransformShiftsInTheObjectsOwnFrame) {
    ASSERT_EQ(load(), 0);
    const SceneObject& object = scene.objects[0];
    // A quarter turn about y maps the object's x axis onto world z: loaded at z 100, a shift of
    // 10 along its own x moves it to z 110.
    object_apply_transform(&scene, 0, 64, 0, 0, 10, 0, 0);
    expect_vec(object.position, 0, 0, 110, 1e-4);
    EXPECT_NEAR(object.matrix.m[8], -1, 1e-6);
    object_move(&scene, 0, 1, 2, 3);
    EXPECT_NEAR(object.position.z, 113, 1e-4);
    // Indices at or past the count change nothing.
    object_rotate(&scene, 1, 3, 3, 3);
    object_move(&scene, NO_OBJECT, 5, 5, 5);
    EXPECT_EQ(scene.objects[1].matrix.m[15], 0.0f);
}

TEST(Camera, LookAtPutsTheTargetOnTheViewAxisWithoutRoll) {
    build_angle_tables();
    Camera camera;
    camera_init(&camera, 256, 159, 99, 1, 1, 0, 320, 0, 200);
    const float targets[][3] = {{0, 0, 100}, {300, 0, 0}, {-200, 50, -900}, {10, -450, 486}};
    for (const auto& t : targets) {
        SCOPED_TRACE(testing::Message() << t[0] << " " << t[1] << " " << t[2]);
        camera_look_at(&camera, t[0], t[1], t[2]);
        // The target in camera space: (target - position) x orientation, whose
        // translation row stays zero.
        const Vec3 d = {t[0] - camera.position.x, t[1] - camera.position.y,
                        t[2] - camera.position.z};
        Vec3 v;
        transform_point(&v, &d, &camera.orientation);
        const double dist = vec_length(d.x, d.y, d.z);
        expect_vec(v, 0, 0, dist, dist * 1e-5);
        EXPECT_NEAR(camera.orientation.m[4], 0, 1e-6); // x axis stays horizontal
    }
    // At the camera itself, or straight above or below it: no change.
    const Matrix4 aimed = camera.orientation;
    for (float y : {0.0f, -50.0f, 50.0f}) {
        camera_look_at(&camera, 0, y, -600);
        for (int i = 0; i < 16; i++) EXPECT_EQ(camera.orientation.m[i], aimed.m[i]);
    }
}

} // namespace
