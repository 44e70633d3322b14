// The depth fog's threshold and channel arithmetic, and the dot cells' squares
// and their clipping at the frame's edges.
#include "data/render_resources.h"
#include "effects/effect_tables.h"
#include "effects/fog.h"

#include <gtest/gtest.h>

namespace {

const uint32_t CANARY = 0x00102030;

uint32_t& pixel(int x, int y) {
    return surface_virtual1->pixels[size_t(y) * FRAME_WIDTH + x];
}
uint32_t& depth(int x, int y) {
    return depth_buffer[size_t(y) * FRAME_WIDTH + x];
}
uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) {
    return r << 16 | g << 8 | b;
}

struct Overlays : ::testing::Test {
    void SetUp() override {
        ASSERT_EQ(create_working_surface(), 1);
        std::fill(surface_virtual1->pixels.begin(), surface_virtual1->pixels.end(), CANARY);
        ASSERT_EQ(alloc_render_buffers(320, 200), 1);
        // Everything nearer than the fog by default.
        std::fill(depth_buffer, depth_buffer + 64000, 0x00FFFFFFu);
        ModeRecord mode{320, 200, 60, 32, 0xFF0000, 0xFF00, 0xFF};
        init_effect_tables(mode);
        surface_failing_locks = 0;
    }
    void TearDown() override {
        EXPECT_FALSE(surface_virtual1->locked);
        release_working_surface();
        free_render_buffers();
        release_effect_tables();
        surface_failing_locks = 0;
    }
    static void fog() { apply_depth_fog(surface_virtual1, 300.0f, 2000.0f, 128, 128, 255); }
};

// The set pixels of the frame as (x, y) pairs, in row order.
std::vector<std::pair<int, int>> blue_pixels() {
    std::vector<std::pair<int, int>> out;
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++) {
            if (pixel(x, y) == 0xFF) {
                out.emplace_back(x, y);
            } else if (pixel(x, y) != CANARY) {
                ADD_FAILURE() << "unexpected colour at " << x << "," << y;
            }
        }
    return out;
}

std::vector<std::pair<int, int>> square(int x0, int y0, int side) {
    std::vector<std::pair<int, int>> out;
    for (int y = y0; y < y0 + side; y++)
        for (int x = x0; x < x0 + side; x++) out.emplace_back(x, y);
    return out;
}

TEST_F(Overlays, FogThresholdAtNear) {
    // 16777215 / 300 = 55924.05: depth 55,924 lies just beyond near.
    pixel(0, 0) = pixel(1, 0) = pixel(2, 0) = 0;
    depth(0, 0) = 55924;
    depth(1, 0) = 55925;
    depth(2, 0) = 0xAB000000u | 55924; // the stamp byte is ignored
    fog();
    // f = 55924 / 4092 = 13, k = 242, h = 121: fog channel (c * 242) >> 8.
    EXPECT_EQ(pixel(0, 0), rgb(121, 121, 241));
    EXPECT_EQ(pixel(1, 0), 0u);
    EXPECT_EQ(pixel(2, 0), rgb(121, 121, 241));
    EXPECT_EQ(pixel(3, 0), CANARY);
}

TEST_F(Overlays, FogChannelArithmetic) {
    pixel(10, 10) = rgb(200, 40, 10);
    depth(10, 10) = 0;
    pixel(11, 10) = 0;
    depth(11, 10) = 0;
    pixel(12, 10) = rgb(255, 255, 255);
    depth(12, 10) = 4092 * 100; // 409,200: nearer than near, untouched
    pixel(13, 10) = rgb(255, 255, 255);
    depth(13, 10) = 4092 * 10 + 5; // f = 10, k = 245, h = 122
    fog();
    EXPECT_EQ(pixel(10, 10), rgb(200, 127, 254)); // min(255, 127 + 73), 127 + 0, 254 + 0
    EXPECT_EQ(pixel(11, 10), rgb(127, 127, 254));
    EXPECT_EQ(pixel(12, 10), rgb(255, 255, 255));
    // (128 * 245) >> 8 = 122, (255 * 245) >> 8 = 244; 255 - 122 = 133.
    EXPECT_EQ(pixel(13, 10), rgb(255, 255, 255));
    pixel(13, 10) = rgb(100, 0, 1);
    fog();
    EXPECT_EQ(pixel(13, 10), rgb(122, 122, 244));
}

TEST_F(Overlays, FogAmountOverTheWholeDepthRange) {
    // Black pixels show the fog share alone: channel (fog * k) >> 8 with
    // k = 255 - min(255, e / D). Two ranges: D = 4092 with every depth below
    // near, and D = trunc(0.9 * 4095) = 3685 with depths 26 apart up to 1.66M.
    struct Case {
        float near, far;
        uint32_t divisor, depth_step;
    };
    for (const Case& c : {Case{300.0f, 2000.0f, 4092, 1}, Case{10.0f, 20.0f, 3685, 26}}) {
        std::fill(surface_virtual1->pixels.begin(), surface_virtual1->pixels.end(), 0u);
        for (uint32_t i = 0; i < 64000; i++) depth_buffer[i] = i * c.depth_step;
        apply_depth_fog(surface_virtual1, c.near, c.far, 128, 128, 255);
        for (uint32_t i = 0; i < 64000; i++) {
            const uint32_t e = i * c.depth_step;
            uint32_t want = 0;
            if (double(e) < 16777215.0 / c.near) {
                const uint32_t k = 255 - std::min(255u, e / c.divisor);
                want = rgb((128 * k) >> 8, (128 * k) >> 8, (255 * k) >> 8);
            }
            ASSERT_EQ(surface_virtual1->pixels[i], want) << "depth " << e;
        }
    }
}

TEST_F(Overlays, FogDrawsNothingWhenItCannot) {
    std::fill(depth_buffer, depth_buffer + 64000, 0u);
    apply_depth_fog(surface_virtual1, 300.0f, 300.0f, 128, 128, 255); // no range
    apply_depth_fog(surface_virtual1, 300.0f, 300.5f, 128, 128, 255); // D below 1
    apply_depth_fog(nullptr, 300.0f, 2000.0f, 128, 128, 255);
    surface_failing_locks = 1;
    fog();
    EXPECT_EQ(surface_failing_locks, 0);
    free_render_buffers();
    fog();
    for (uint32_t p : surface_virtual1->pixels) ASSERT_EQ(p, CANARY);
}

TEST_F(Overlays, DotCellSquaresByLevel) {
    draw_dot_cell(280, 5, 200, surface_virtual1);
    EXPECT_EQ(blue_pixels(), square(283, 8, 4));
    std::fill(surface_virtual1->pixels.begin(), surface_virtual1->pixels.end(), CANARY);
    draw_dot_cell(0, 0, 63, surface_virtual1);
    draw_dot_cell(100, 0, 64, surface_virtual1);
    draw_dot_cell(200, 0, 191, surface_virtual1);
    auto want = square(0, 0, 10);
    auto second = square(101, 1, 8), third = square(202, 2, 6);
    want.insert(want.end(), second.begin(), second.end());
    want.insert(want.end(), third.begin(), third.end());
    std::sort(want.begin(), want.end(), [](auto a, auto b) {
        return a.second != b.second ? a.second < b.second : a.first < b.first;
    });
    EXPECT_EQ(blue_pixels(), want);
}

TEST_F(Overlays, DotCellsNeverLeaveTheFrame) {
    // The bottom-right corner cell keeps its 5 x 5 visible part and wraps nowhere.
    draw_dot_cell(315, 195, 0, surface_virtual1);
    EXPECT_EQ(blue_pixels(), square(315, 195, 5));
    std::fill(surface_virtual1->pixels.begin(), surface_virtual1->pixels.end(), CANARY);
    draw_dot_cell(320, 0, 0, surface_virtual1);
    draw_dot_cell(0, 200, 0, surface_virtual1);
    draw_dot_cell(65535, 65535, 0, surface_virtual1);
    EXPECT_TRUE(blue_pixels().empty());
    surface_failing_locks = 1;
    draw_dot_cell(10, 10, 0, surface_virtual1);
    draw_dot_cell(10, 10, 0, nullptr);
    EXPECT_TRUE(blue_pixels().empty());
}

} // namespace
