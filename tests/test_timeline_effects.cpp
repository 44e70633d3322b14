// The timeline's own effects: plasma, dot paths, rotozoom and the cycling
// mask, where they draw and what they refuse. Expected pixels are worked out by
// hand from the table formulas; the tables, the phases' steps, the light bands
// and every effect's bytes on noisy inputs, on both paths, are left to
// test_recorded_output's hash.
#include "director/timeline_effects.h"
#include "frame_support.h"

#include <vector>

namespace {

template <class T> std::vector<int> four(const T* values) {
    return std::vector<int>(values, values + 4);
}

// A 320 x 200 picture whose pixel (x, y) is (x & 255, y, 100 + (x >> 8)).
Buffer coordinate_picture() {
    Buffer b;
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++)
            b.insert(b.end(), {uint8_t(x), uint8_t(y), uint8_t(100 + (x >> 8))});
    return b;
}
uint32_t coordinate_pixel(int x, int y) {
    return rgb(x & 255, y, 100 + (x >> 8));
}

using TimelineEffects = FrameTest<0>;

// Without a lock, a surface or whole inputs no effect draws, moves its phases
// or offsets, or counts its map up.
TEST_F(TimelineEffects, NothingMovesWithoutALockASurfaceOrWholeInputs) {
    build_plasma_table();
    build_path_tables();
    build_row_offsets();
    const std::vector<int> phases = four(plasma_phase), offsets = four(path_offset);
    const Buffer picture(192000, 0xFF), short_picture(191999, 0xFF);
    Buffer map(64000, 0x0F), short_map(63999, 0);
    surface_failing_locks = 5;
    draw_plasma(surface_virtual1);
    draw_path_dots(surface_virtual1, 1, 2, 3);
    invert_path_dots(surface_virtual1);
    draw_rotozoom(picture, surface_virtual1, 1.0f, 0.0f);
    draw_cycling_mask(surface_virtual1, picture, map);
    EXPECT_EQ(surface_failing_locks, 0);
    draw_rotozoom(short_picture, surface_virtual1, 1.0f, 0.0f);
    draw_rotozoom(picture, nullptr, 1.0f, 0.0f);
    draw_cycling_mask(surface_virtual1, picture, short_map);
    draw_cycling_mask(surface_virtual1, short_picture, map);
    EXPECT_EQ(pixels_not(0), 0);
    EXPECT_EQ(four(plasma_phase), phases);
    EXPECT_EQ(four(path_offset), offsets);
    EXPECT_EQ(map, Buffer(64000, 0x0F));
    EXPECT_EQ(short_map, Buffer(63999, 0));
}

TEST_F(TimelineEffects, PathDots) {
    build_path_tables();
    // Rates 0 put all 1200 dots on one pixel; these offsets read entry 0 of
    // both tables (50 + 50), and the step wraps every offset to 0.
    set_path_rates(0, 0, 0, 0);
    const uint16_t start[4] = {1196, 498, 1198, 497};
    std::copy(start, start + 4, path_offset);
    draw_path_dots(surface_virtual1, 4, 64, 255);
    EXPECT_EQ(pixel(160, 100), rgb(4, 64, 255));
    EXPECT_EQ(pixels_not(0), 1);
    EXPECT_EQ(four(path_offset), (std::vector<int>{0, 0, 0, 0}));
    // Now long[4] + short[2] = 52 + 50 and long[2] + short[3] = 51 + 51.
    draw_path_dots(surface_virtual1, 1, 2, 3);
    EXPECT_EQ(pixel(162, 102), rgb(1, 2, 3));
    // The next dot, (54 + 51 + 60, 52 + 52), is inverted 1200 times: no change.
    const std::vector<uint32_t> two_dots = surface_virtual1->pixels;
    invert_path_dots(surface_virtual1);
    EXPECT_EQ(surface_virtual1->pixels, two_dots);
    EXPECT_EQ(four(path_offset), (std::vector<int>{8, 4, 4, 6}));
}

// Zoom 1 copies the middle columns; whatever the zoom, nothing is drawn outside
// columns 60..259. (The turned and zoomed bytes are pinned by
// test_recorded_output.)
TEST_F(TimelineEffects, RotozoomStaysInsideItsSquare) {
    build_row_offsets();
    const Buffer picture = coordinate_picture();
    fill_frame(0x8F);
    draw_rotozoom(picture, surface_virtual1, 1.0f, 0.0f);
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++)
            ASSERT_EQ(pixel(x, y), x >= 60 && x <= 259 ? coordinate_pixel(x, y) : 0x8Fu)
                << x << "," << y;
    for (float zoom : {40000.0f, 1.0e9f, -3.0f, 0.0f}) {
        fill_frame(0x8F);
        draw_rotozoom(picture, surface_virtual1, zoom, 0.3f);
        for (int y = 0; y < 200; y++) {
            ASSERT_EQ(pixel(59, y), 0x8Fu);
            ASSERT_EQ(pixel(260, y), 0x8Fu);
        }
    }
    EXPECT_EQ(pixel(61, 3), coordinate_pixel(160, 100)) << "zoom 0 reads the centre texel";
}

// Red is ANDed with the map before the map counts up, wrapping at 256.
TEST_F(TimelineEffects, CyclingMaskCountsTheMapUp) {
    Buffer picture(192000, 0xFF);
    picture[3 * 2] = 0xA5;
    Buffer map(64000, 0x0F);
    map[0] = 255;
    draw_cycling_mask(surface_virtual1, picture, map);
    EXPECT_EQ(pixel(0, 0), rgb(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(pixel(2, 0), rgb(0x05, 0xFF, 0xFF));
    EXPECT_EQ(map[0], 0);
    EXPECT_EQ(map[63999], 0x10);
}

} // namespace
