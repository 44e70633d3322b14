// The depth fog's amount over the whole depth range and where it draws
// nothing, and the dot cells' squares and their clipping at the frame's edges.
// The fog over coloured pixels and stamped depth words is pinned by
// test_recorded_output.
#include "core/cpu.h"
#include "data/render_resources.h"
#include "director/kernels.h"
#include "effects/effect_tables.h"
#include "effects/fog.h"
#include "frame_support.h"

#include <vector>

namespace {

struct Overlays : FrameTest<0x00102030> {
    void SetUp() override {
        FrameTest::SetUp();
        ASSERT_EQ(alloc_render_buffers(320, 200), 1);
        std::fill(depth_buffer, depth_buffer + 64000, 0x00FFFFFFu); // nearer than any fog
        ModeRecord mode{320, 200, 60, 32, 0xFF0000, 0xFF00, 0xFF};
        init_effect_tables(mode);
    }
    void TearDown() override {
        FrameTest::TearDown();
        free_render_buffers();
        release_effect_tables();
    }
    static void fog() { apply_depth_fog(surface_virtual1, 300.0f, 2000.0f, 128, 128, 255); }
};

TEST_F(Overlays, FogAmountOverTheWholeDepthRange) {
    // Black pixels show the fog share alone: (fog * k) >> 8 with k = 255 -
    // min(255, e / D), here by plain division. Near 300 puts the fog's limit
    // inside the frame; near 1 fogs every depth, taken in passes of a frame
    // each up to 256 D, where the amount reaches its end: D = 1, 61, 2048, 4067,
    // 4092 and 4095 take the float quotient, D = 3685 every 26th depth to 1.66M,
    // and far below near gives D = 3 * 4095, beyond it, every 50th depth. Both
    // vector widths are checked where the processor has them, and the plain loop.
    const struct {
        float near, far;
        uint32_t divisor, depth_step;
    } cases[] = {{300.0f, 2000.0f, 4092, 1}, {10.0f, 20.0f, 3685, 26}, {1.0f, 2.0003f, 1, 1},
                 {1.0f, 2.0152f, 61, 1},     {1.0f, 150.0f, 4067, 1},  {1.0f, 3.001f, 2048, 1},
                 {1.0f, 1701.0f, 4092, 1},   {1.0f, 1e17f, 4095, 1},   {1.0f, 0.5f, 12285, 50}};
    const bool has_avx2 = use_avx2, has_avx512 = use_avx512;
    for (const auto& [simd, avx2, avx512, path] :
         {std::tuple{true, true, true, "AVX-512"}, {true, true, false, "AVX2"},
          {true, false, false, "SSE2"}, {false, false, false, "plain"}}) {
        if ((avx2 && !has_avx2) || (avx512 && !has_avx512)) continue;
        use_simd = simd;
        use_avx2 = avx2;
        use_avx512 = avx512;
        choose_kernels();
        for (const auto& c : cases) {
            for (uint32_t base = 0; base * c.depth_step <= 256 * c.divisor; base += 64000) {
                fill_frame(0);
                for (uint32_t i = 0; i < 64000; i++) depth_buffer[i] = (base + i) * c.depth_step;
                apply_depth_fog(surface_virtual1, c.near, c.far, 128, 128, 255);
                for (uint32_t i = 0; i < 64000; i++) {
                    const uint32_t e = (base + i) * c.depth_step;
                    const uint32_t k = 255 - std::min(255u, e / c.divisor);
                    const uint32_t want = double(e) < 16777215.0 / c.near
                                              ? rgb((128 * k) >> 8, (128 * k) >> 8, (255 * k) >> 8)
                                              : 0;
                    ASSERT_EQ(surface_virtual1->pixels[i], want)
                        << path << ", D " << c.divisor << " depth " << e;
                }
            }
        }
    }
    use_simd = true;
    use_avx2 = has_avx2;
    use_avx512 = has_avx512;
    choose_kernels();
}

TEST_F(Overlays, FogAndDotCellsDrawNothingWhenTheyCannot) {
    std::fill(depth_buffer, depth_buffer + 64000, 0u);
    apply_depth_fog(surface_virtual1, 300.0f, 300.0f, 128, 128, 255); // no range
    apply_depth_fog(surface_virtual1, 300.0f, 300.5f, 128, 128, 255); // D below 1
    apply_depth_fog(nullptr, 300.0f, 2000.0f, 128, 128, 255);
    draw_dot_cell(10, 10, 0, nullptr);
    surface_failing_locks = 2;
    fog();
    draw_dot_cell(10, 10, 0, surface_virtual1);
    free_render_buffers();
    fog();
    EXPECT_EQ(pixels_not(CANARY), 0);
}

// The blue pixels of the frame as indices, in row order.
std::vector<int> blue_pixels() {
    std::vector<int> out;
    for (int i = 0; i < 64000; i++)
        if (surface_virtual1->pixels[i] == 0xFF) out.push_back(i);
    return out;
}

std::vector<int> square(int x0, int y0, int side) {
    std::vector<int> out;
    for (int y = y0; y < std::min(y0 + side, 200); y++)
        for (int x = x0; x < std::min(x0 + side, 320); x++) out.push_back(y * 320 + x);
    return out;
}

TEST_F(Overlays, DotCellSquaresByLevelClippedToTheFrame) {
    const int cells[][4] = {{0, 0, 63, 10},   {100, 0, 64, 8},     {200, 0, 191, 6},
                            {280, 5, 200, 4}, {315, 195, 0, 10},   {320, 0, 0, 0},
                            {0, 200, 0, 0},   {65535, 65535, 0, 0}};
    for (const auto& c : cells) {
        fill_frame(CANARY);
        draw_dot_cell(uint16_t(c[0]), uint16_t(c[1]), uint8_t(c[2]), surface_virtual1);
        const int inset = (10 - c[3]) / 2;
        const std::vector<int> blue = blue_pixels();
        EXPECT_EQ(blue, square(c[0] + inset, c[1] + inset, c[3])) << c[0] << "," << c[1];
        EXPECT_EQ(pixels_not(CANARY), int(blue.size()));
    }
}

} // namespace
