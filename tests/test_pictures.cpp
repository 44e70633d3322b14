// Picture copies, masked blends and the fade step: clipped placement and the
// input they refuse. Their pixels in every mode are pinned by
// test_recorded_output.
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

TEST_F(Pictures, ShortInputsOtherModesAndFailedLocksDrawNothing) {
    const Buffer frame_picture = pattern_picture(320, 200), picture = pattern_picture(90, 30);
    const Buffer short_frame(frame_picture.begin(), frame_picture.end() - 1);
    const Buffer short_picture(picture.begin(), picture.end() - 1), mask(90 * 30, 0);
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
    // Right, on row 0: a copy and a masked blend cut at column 319 leave row 1
    // alone (a row running over would land at its start).
    draw_picture_at(pattern_picture(40, 1), surface_virtual1, 0, 300, 0, 40, 1);
    EXPECT_EQ(pixel(319, 0), pattern_pixel(19, 0));
    blend_picture_masked(pattern_picture(40, 1), surface_virtual1, Buffer(40, 0), 290, 0, 40, 1,
                         255);
    EXPECT_EQ(pixels_not(CANARY), 30);
    fill_frame(CANARY);
    // Left: x = -10 puts the picture's eleventh column at frame column 0.
    draw_picture_at(pattern_picture(30, 20), surface_virtual1, 0, -10, 3, 30, 20);
    EXPECT_EQ(pixel(0, 3), pattern_pixel(10, 0));
    EXPECT_EQ(pixel(19, 22), pattern_pixel(29, 19));
    // Above and right: a 218 x 55 picture at (110, -5) keeps frame columns 110..319.
    draw_picture_at(pattern_picture(218, 55), surface_virtual1, 0, 110, -5, 218, 55);
    EXPECT_EQ(pixel(110, 0), pattern_pixel(0, 5));
    EXPECT_EQ(pixel(319, 49), pattern_pixel(209, 54));
    // Below: rows 190..199 only.
    draw_picture_at(pattern_picture(40, 30), surface_virtual1, 0, 280, 190, 40, 30);
    EXPECT_EQ(pixel(319, 199), pattern_pixel(39, 9));
    // A masked blend at the left edge: frame columns 0..19 of rows 100..119.
    blend_picture_masked(pattern_picture(30, 20), surface_virtual1, Buffer(30 * 20, 0), -10, 100,
                         30, 20, 255);
    EXPECT_NE(pixel(19, 119), CANARY);
    EXPECT_EQ(pixels_not(CANARY), 20 * 20 + 210 * 50 + 40 * 10 + 20 * 20);
}

} // namespace
