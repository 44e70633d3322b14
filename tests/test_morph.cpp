#include "engine3d/morph.h"
#include "model_writer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// One triangle in three shapes of the same layout: in the xy plane, in the
// xz plane, and collapsed onto the x axis. Vertex 0 moves from x 0 to x 100
// between the first two, so its x reads the blend in hundredths.
const std::vector<ModelTriangle> kFace = {{0, 1, 2}};
const std::vector<ModelPoint> kFlat = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
const std::vector<ModelPoint> kUpright = {{100, 0, 0}, {101, 0, 0}, {100, 0, 1}};
const std::vector<ModelPoint> kLine = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}};

class MorphTest : public ::testing::Test {
  protected:
    void SetUp() override {
        build_angle_tables();
        morph_step = 0.0f;
        morph_falling = 0;
        write_file("flat.m3d", model_bytes(kFlat, kFace));
        write_file("upright.m3d", model_bytes(kUpright, kFace));
        write_file("line.m3d", model_bytes(kLine, kFace));
        scene_init(&scene, 4);
        // Object 0 is the target, 1 its first shape.
        for (const char* name : {"flat.m3d", "flat.m3d", "upright.m3d", "line.m3d"})
            ASSERT_NE(load(name), NO_OBJECT) << name;
    }
    uint16_t load(const char* name) {
        return scene_load_object(&scene, name, 1, 0, 0, 0, 16, 0, 0, 0, 0);
    }
    const Mesh& target() const { return scene.objects[0].mesh; }

    ScopedDirectory dir;
    Scene scene;
};

TEST_F(MorphTest, HalfWayTheNormalsFollowWithALag) {
    // Objects past the count change nothing, not even the step.
    morph_step = 50;
    morph_object(&scene, 0, 1, NO_OBJECT, 0.0f, 1);
    morph_object(&scene, 4, 1, 2, 0.0f, 1);
    EXPECT_EQ(morph_step, 50.0f);
    expect_vec(target().vertices[0], 0, 0, 0);

    // Half way the face is tilted 45 degrees: (0, -1, 1) / sqrt 2. Each vertex
    // normal is the normalised sum of its old normal (0, 0, 1) and that.
    morph_object(&scene, 0, 1, 2, 0.0f, 1);
    expect_vec(target().vertices[2], 50, 0.5, 0.5);
    const double r = std::sqrt(0.5);
    expect_vec(target().faces[0].normal, 0, -r, r);
    const double len = std::sqrt(r * r + (1 + r) * (1 + r));
    for (int i = 0; i < 3; i++) expect_vec(target().normals[i], 0, -r / len, (1 + r) / len);
    // Without recomputing, the normals stay; a degenerate shape gets the zero
    // face normal and adds nothing to its vertices.
    morph_object(&scene, 0, 1, 3, 0.0f, 0);
    expect_vec(target().faces[0].normal, 0, -r, r);
    morph_object(&scene, 0, 3, 3, 0.0f, 1);
    expect_vec(target().faces[0].normal, 0, 0, 0);
    expect_vec(target().normals[1], 0, -r / len, (1 + r) / len);

    // The step climbs a hundredth a call to 99, stays there one call as it
    // turns, falls to 1, stays one call and climbs again.
    morph_step = 0.0f;
    std::vector<float> steps;
    for (int i = 0; i < 200; i++) {
        morph_object(&scene, 0, 1, 2, 0.0f, 0);
        steps.push_back(morph_step);
    }
    EXPECT_EQ(std::vector<float>(steps.begin() + 97, steps.begin() + 101),
              (std::vector<float>{98, 99, 99, 98}));
    EXPECT_EQ(std::vector<float>(steps.begin() + 196, steps.end()),
              (std::vector<float>{2, 1, 1, 2}));
}

} // namespace
