#include "core/cpu.h"
#include "data/assets.h"
#include "data/builtin.h"
#include "data/render_resources.h"
#include "director/kernels.h"
#include "effects/effect_tables.h"
#include "engine3d/render.h"
#include "engine3d/scenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr uint32_t kBackground = 0x010203;

// The five scenes built once from the built-in content, as at load time.
class ScenesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        pack_builtin = builtin_pack();
        create_working_surface();
        choose_kernels();
        load_all_assets();
        display_depth = 32;
    }
    static void TearDownTestSuite() {
        free_all_assets();
        release_working_surface();
        pack_builtin = {nullptr, 0};
    }
};

// Renders one frame over the background; returns how many pixels changed,
// each of which must carry this frame's depth stamp (drawn by a depth-tested
// face) and lie inside the camera's clip box, whose right column the spans
// leave out. *rightmost: the rightmost column changed.
int render_shot(const SceneView& shot, Camera* camera, int* rightmost = nullptr) {
    fill_surface(surface_virtual1, kBackground);
    draw_scene_view(shot, camera, surface_virtual1);
    int changed = 0;
    for (int y = 0; y < FRAME_HEIGHT; y++)
        for (int x = 0; x < FRAME_WIDTH; x++) {
            const int i = y * FRAME_WIDTH + x;
            if (surface_virtual1->pixels[i] == kBackground) continue;
            changed++;
            if (rightmost) *rightmost = std::max(*rightmost, x);
            EXPECT_EQ(depth_buffer[i] >> 24, frame_stamp) << shot.name << " at " << x << "," << y;
            EXPECT_TRUE(x >= camera->clip_left && x < camera->clip_right - 1 &&
                        y >= camera->clip_top && y < camera->clip_bottom)
                << shot.name << " at " << x << "," << y;
        }
    return changed;
}

TEST_F(ScenesTest, EachSceneFillsAFairPartOfTheFrameStaysInItsClipBoxAndIsTheSameOnBothPaths) {
    int rightmost = 0;
    for (const SceneView& shot : scene_views()) {
        SCOPED_TRACE(shot.name);
        Camera camera = show_camera();
        EXPECT_GE(render_shot(shot, &camera), FRAME_PIXELS / 20);
        // The plain loops draw the very same frame.
        const std::vector<uint32_t> simd_frame = surface_virtual1->pixels;
        use_simd = false;
        choose_kernels();
        render_shot(shot, &camera);
        use_simd = true;
        choose_kernels();
        EXPECT_TRUE(surface_virtual1->pixels == simd_frame) << "plain paths";
        camera.clip_left = 100, camera.clip_right = 250;
        camera.clip_top = 60, camera.clip_bottom = 140;
        EXPECT_GT(render_shot(shot, &camera, &rightmost), 0) << "narrow clip box";
    }
    EXPECT_EQ(rightmost, 250 - 2) << "the spans reach the last column they may";
}

} // namespace
