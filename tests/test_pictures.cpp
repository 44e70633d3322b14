// Picture copies, clipped placement, masked blends and the fade step, checked
// against pixel values worked out by hand from the channel rules.
#include "effects/effect_tables.h"
#include "effects/pictures.h"
#include "frame_support.h"

namespace {

// A w x h picture whose pixel (x, y) is (x, y, 1): never black, and every
// pixel tells where it came from.
Buffer pattern_picture(uint32_t w, uint32_t h) {
    Buffer b;
    for (uint32_t y = 0; y < h; y++)
        for (uint32_t x = 0; x < w; x++) b.insert(b.end(), {uint8_t(x), uint8_t(y), 1});
    return b;
}
uint32_t pattern_pixel(uint32_t x, uint32_t y) {
    return rgb(x & 255, y & 255, 1);
}

Buffer solid_picture(uint32_t w, uint32_t h, uint8_t r, uint8_t g, uint8_t b) {
    Buffer out(size_t(w) * h * 3);
    for (size_t i = 0; i < out.size(); i += 3) out[i] = r, out[i + 1] = g, out[i + 2] = b;
    return out;
}

struct Pictures : FrameTest<0x00123456> {
    void SetUp() override {
        FrameTest::SetUp();
        display_depth = 32;
    }
    void TearDown() override {
        FrameTest::TearDown();
        display_depth = 0;
    }
};

TEST_F(Pictures, WholeFrameCopyAndSkipBlack) {
    Buffer picture = pattern_picture(320, 200);
    const size_t black = 3 * (size_t(7) * 320 + 40);
    picture[black] = picture[black + 1] = picture[black + 2] = 0;
    draw_picture(picture, surface_virtual1, 1);
    EXPECT_EQ(pixel(40, 7), CANARY);
    EXPECT_EQ(pixel(41, 7), pattern_pixel(41, 7));
    EXPECT_EQ(pixel(319, 199), pattern_pixel(319, 199));
    draw_picture(picture, surface_virtual1, 0);
    EXPECT_EQ(pixel(40, 7), 0u);
}

TEST_F(Pictures, ShortInputsOtherModesAndFailedLocksDrawNothing) {
    const Buffer frame_picture = pattern_picture(320, 200), picture = pattern_picture(90, 30);
    const Buffer short_frame(frame_picture.begin(), frame_picture.end() - 1);
    const Buffer short_picture(picture.begin(), picture.end() - 1), mask(90 * 30, 0);
    draw_picture(frame_picture, surface_virtual1, 2);
    draw_picture(short_frame, surface_virtual1, 0);
    fade_to_picture(short_frame, surface_virtual1, 8, 8, 8);
    draw_picture_at(picture, surface_virtual1, 3, 5, 5, 90, 30);
    draw_picture_at(short_picture, surface_virtual1, 0, 5, 5, 90, 30);
    blend_picture_masked(short_picture, surface_virtual1, mask, 5, 5, 90, 30, 255);
    blend_picture_masked(picture, surface_virtual1, Buffer(90 * 30 - 1, 0), 5, 5, 90, 30, 255);
    display_depth = 16;
    draw_picture(frame_picture, surface_virtual1, 0);
    fade_to_picture(frame_picture, surface_virtual1, 8, 8, 8);
    draw_picture_at(picture, surface_virtual1, 0, 5, 5, 90, 30);
    display_depth = 32;
    surface_failing_locks = 3;
    draw_picture(frame_picture, surface_virtual1, 0);
    draw_picture_at(picture, surface_virtual1, 0, 5, 5, 90, 30);
    blend_picture_masked(picture, surface_virtual1, mask, 5, 5, 90, 30, 255);
    EXPECT_EQ(surface_failing_locks, 0);
    // Wholly above or left of the frame: no lock is even tried.
    surface_failing_locks = 1;
    draw_picture_at(picture, surface_virtual1, 0, 5, -30, 90, 30);
    blend_picture_masked(picture, surface_virtual1, mask, -90, 5, 90, 30, 255);
    EXPECT_EQ(surface_failing_locks, 1);
    surface_failing_locks = 0;
    draw_picture_at(picture, surface_virtual1, 0, 320, 5, 90, 30);
    EXPECT_EQ(pixels_not(CANARY), 0);
}

TEST_F(Pictures, ClippingAtEveryEdge) {
    // Left: x = -10 puts the picture's eleventh column at frame column 0.
    draw_picture_at(pattern_picture(30, 20), surface_virtual1, 0, -10, 3, 30, 20);
    EXPECT_EQ(pixel(0, 3), pattern_pixel(10, 0));
    EXPECT_EQ(pixel(19, 22), pattern_pixel(29, 19));
    EXPECT_EQ(pixel(20, 3), CANARY);
    // Above and right: a 218 x 55 picture at (110, -5) keeps frame columns 110..319.
    draw_picture_at(pattern_picture(218, 55), surface_virtual1, 0, 110, -5, 218, 55);
    EXPECT_EQ(pixel(110, 0), pattern_pixel(0, 5));
    EXPECT_EQ(pixel(319, 49), pattern_pixel(209, 54));
    EXPECT_EQ(pixel(319, 50), CANARY);
    // Below: rows 190..199 only.
    draw_picture_at(pattern_picture(40, 30), surface_virtual1, 0, 280, 190, 40, 30);
    EXPECT_EQ(pixel(319, 199), pattern_pixel(39, 9));
    EXPECT_EQ(pixel(279, 199), CANARY);
    EXPECT_EQ(pixels_not(CANARY), 20 * 20 + 210 * 50 + 40 * 10);
}

TEST_F(Pictures, AveragingModeLeavesBlackTransparent) {
    fill_frame(rgb(255, 0, 0));
    Buffer picture = {0, 255, 1, 0, 0, 0, 100, 51, 255}; // 3 x 1
    draw_picture_at(picture, surface_virtual1, 2, 10, 10, 3, 1);
    EXPECT_EQ(pixel(10, 10), rgb(127, 127, 0));
    EXPECT_EQ(pixel(11, 10), rgb(255, 0, 0));
    EXPECT_EQ(pixel(12, 10), rgb(177, 25, 127));
}

TEST_F(Pictures, MaskedBlend) {
    fill_frame(0);
    // alpha 255, mask 0: a = 254, so 255 over 0 gives 253, never 255.
    blend_picture_masked(solid_picture(1, 1, 255, 255, 255), surface_virtual1, Buffer{0}, 0, 0, 1,
                         1, 255);
    EXPECT_EQ(pixel(0, 0), rgb(253, 253, 253));
    // alpha 128, mask 0: a = 127; 200 over 100 gives 99 + 50, 0 over 100 gives 50.
    pixel(1, 0) = rgb(100, 100, 100);
    blend_picture_masked(solid_picture(1, 1, 200, 0, 100), surface_virtual1, Buffer{0}, 1, 0, 1, 1,
                         128);
    EXPECT_EQ(pixel(1, 0), rgb(149, 50, 99));
    // mask 255: a = 0, the frame keeps (p * 255) >> 8 of itself.
    pixel(2, 0) = rgb(100, 0, 255);
    blend_picture_masked(solid_picture(1, 1, 255, 255, 255), surface_virtual1, Buffer{255}, 2, 0, 1,
                         1, 255);
    EXPECT_EQ(pixel(2, 0), rgb(99, 0, 254));
    // A 20 x 2 white picture at x = -10 whose mask is 0 only at column 10 of row 1.
    Buffer mask(20 * 2, 255);
    mask[20 + 10] = 0;
    blend_picture_masked(solid_picture(20, 2, 255, 255, 255), surface_virtual1, mask, -10, 50, 20,
                         2, 255);
    EXPECT_EQ(pixel(0, 51), rgb(253, 253, 253));
    EXPECT_EQ(pixels_not(0), 4);
}

TEST_F(Pictures, FadeMovesEachChannelByItsStep) {
    fill_frame(0);
    pixel(5, 5) = rgb(255, 3, 100);
    const Buffer picture = solid_picture(320, 200, 20, 3, 255);
    for (uint32_t want : {rgb(8, 3, 8), rgb(16, 3, 16), rgb(20, 3, 24)}) {
        fade_to_picture(picture, surface_virtual1, 8, 8, 8);
        EXPECT_EQ(pixel(319, 199), want);
    }
    EXPECT_EQ(pixel(5, 5), rgb(255 - 24, 3, 124));
    fill_frame(rgb(0, 255, 128));
    fade_to_picture(solid_picture(320, 200, 255, 0, 128), surface_virtual1, 1, 200, 9);
    EXPECT_EQ(pixel(100, 100), rgb(1, 55, 128));
}

} // namespace
