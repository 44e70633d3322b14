// The timeline's own effects: plasma, light bands, dot paths, rotozoom and the
// cycling mask. Expected pixels are worked out by hand from the table formulas;
// the tables and the phases' steps are left to test_recorded_output's hash.
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

TEST_F(TimelineEffects, PlasmaLeavesAFrameItCannotLockAndItsPhases) {
    // The only test that draws the plasma, so the phases are still at their start.
    ASSERT_EQ(four(plasma_phase), (std::vector<int>{116, 32, 142, 70}));
    build_plasma_table();
    fill_frame(0x00FFFFFF);
    surface_failing_locks = 1;
    draw_plasma(surface_virtual1);
    EXPECT_EQ(plasma_phase[0], 116) << "a failed lock moved the phases";
    EXPECT_EQ(pixel(0, 0), 0x00FFFFFFu);
}

TEST_F(TimelineEffects, LightBands) {
    // Band value v = x on row 0 with flat waves and a ripple of i mod 256.
    std::fill(band_wave, band_wave + 256, 0);
    for (int i = 0; i < 320; i++) band_ripple[i] = uint8_t(i);
    fill_frame(rgb(235, 100, 225));
    pixel(3, 0) = rgb(234, 225, 224);
    draw_light_bands(surface_virtual1);
    for (int x = 0; x < 320; x++) {
        const int v = x & 255;
        const uint32_t want = x == 3                         ? rgb(254, 245, 244)
                              : v < 8 || (v >= 16 && v < 25) ? rgb(255, 120, 245)
                              : v < 16                       ? rgb(255, 130, 255)
                                                             : rgb(235, 100, 225);
        ASSERT_EQ(pixel(x, 0), want) << x;
    }
    // Row 1 shifts every band by one: v = 25 at x = 24 is untouched.
    EXPECT_EQ(pixel(23, 1), rgb(255, 120, 245));
    EXPECT_EQ(pixel(24, 1), rgb(235, 100, 225));
}

TEST_F(TimelineEffects, PathDots) {
    build_path_tables();
    // Rates 0 put all 1200 dots on one pixel; these offsets read entry 0 of
    // both tables (50 + 50), and the step wraps every offset to 0.
    set_path_rates(0, 0, 0, 0);
    const uint16_t start[4] = {1196, 498, 1198, 497};
    std::copy(start, start + 4, path_offset);
    fill_frame(0);
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

    // Inverting a spread path twice from the same offsets restores the frame.
    set_path_rates(6, 6, 3, 8);
    for (int i = 0; i < 64000; i++) surface_virtual1->pixels[i] = uint32_t(i * 2654435761u) >> 8;
    const std::vector<uint32_t> original = surface_virtual1->pixels;
    invert_path_dots(surface_virtual1);
    int inverted = 0, other = 0;
    for (int i = 0; i < 64000; i++) {
        const uint32_t p = surface_virtual1->pixels[i], o = original[i];
        inverted += p == (~o & 0xFFFFFFu);
        other += p != o && p != (~o & 0xFFFFFFu);
    }
    EXPECT_GT(inverted, 500);
    EXPECT_EQ(other, 0);
    const uint16_t again[4] = {8, 4, 4, 6};
    std::copy(again, again + 4, path_offset);
    invert_path_dots(surface_virtual1);
    EXPECT_EQ(surface_virtual1->pixels, original);
    surface_failing_locks = 1;
    invert_path_dots(surface_virtual1);
    EXPECT_EQ(four(path_offset), (std::vector<int>{12, 6, 6, 9})) << "a failed lock moved them";
}

TEST_F(TimelineEffects, RotozoomZoomsTurnsAndStaysInsideItsSquare) {
    build_row_offsets();
    const Buffer picture = coordinate_picture();
    // Zoom 1 copies the middle columns.
    fill_frame(0x8F);
    draw_rotozoom(picture, surface_virtual1, 1.0f, 0.0f);
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++)
            ASSERT_EQ(pixel(x, y), x >= 60 && x <= 259 ? coordinate_pixel(x, y) : 0x8Fu)
                << x << "," << y;
    // Zoom 1.05: C = 68812; u starts at 3,604,560 (column 55), v at -327,600
    // (row -5), so rows 0-4 and 196-199 of the square find no texel, and the
    // picture's last row and column are read.
    fill_frame(0x8F);
    draw_rotozoom(picture, surface_virtual1, 1.05f, 0.0f);
    for (int y : {0, 4, 196, 199}) EXPECT_EQ(pixel(100, y), 0x8Fu) << y;
    EXPECT_EQ(pixel(60, 5), coordinate_pixel(55, 0));
    EXPECT_EQ(pixel(259, 195), coordinate_pixel(263, 199));

    // At the float nearest pi / 2, C = trunc(-0.0029) = 0 and S = 65535. Row r
    // starts at u = 60 * 65536 + 100 + 65535 r, v = 200 * 65536 - 100, and v
    // falls by 65535 along the row: picture column 60 + r up to r = 100, 59 + r
    // below; picture row 199 - j up to j = 99, 200 - j from j = 100.
    draw_rotozoom(picture, surface_virtual1, 1.0f, 1.5707964f);
    for (int r = 0; r < 200; r++)
        for (int j = 0; j < 200; j++) {
            const int tx = r <= 100 ? 60 + r : 59 + r;
            const int ty = j < 100 ? 199 - j : 200 - j;
            ASSERT_EQ(pixel(60 + j, r), coordinate_pixel(tx, ty)) << j << "," << r;
        }
    // Whatever the zoom, nothing is drawn outside columns 60..259.
    for (float zoom : {40000.0f, 1.0e9f, -3.0f, 0.0f}) {
        fill_frame(0x8F);
        draw_rotozoom(picture, surface_virtual1, zoom, 0.3f);
        for (int y = 0; y < 200; y++) {
            ASSERT_EQ(pixel(59, y), 0x8Fu);
            ASSERT_EQ(pixel(260, y), 0x8Fu);
        }
    }
    EXPECT_EQ(pixel(61, 3), coordinate_pixel(160, 100)) << "zoom 0 reads the centre texel";
    fill_frame(0x8F);
    draw_rotozoom(Buffer(picture.begin(), picture.end() - 1), surface_virtual1, 1.0f, 0.0f);
    draw_rotozoom(picture, nullptr, 1.0f, 0.0f);
    surface_failing_locks = 1;
    draw_rotozoom(picture, surface_virtual1, 1.0f, 0.0f);
    EXPECT_EQ(pixels_not(0x8F), 0);
}

TEST_F(TimelineEffects, CyclingMaskCountsTheMapUp) {
    Buffer picture(192000, 0xFF);
    picture[3 * 1 + 1] = 1;
    picture[3 * 2] = 0xA5;
    Buffer map(64000, 0x0F);
    map[0] = 255;
    map[1] = 0;
    draw_cycling_mask(surface_virtual1, picture, map);
    EXPECT_EQ(pixel(0, 0), rgb(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(pixel(1, 0), rgb(0, 1, 0xFF));
    EXPECT_EQ(pixel(2, 0), rgb(0x05, 0xFF, 0xFF));
    EXPECT_EQ(pixel(319, 199), rgb(0x0F, 0xFF, 0xFF));
    EXPECT_EQ(map[0], 0);
    EXPECT_EQ(map[1], 1);
    EXPECT_EQ(map[63999], 0x10);
    draw_cycling_mask(surface_virtual1, picture, map);
    EXPECT_EQ(pixel(0, 0), rgb(0, 0xFF, 0xFF));
    EXPECT_EQ(pixel(2, 0), rgb(0x10 & 0xA5, 0xFF, 0xFF));
    // Nothing drawn or counted for a failed lock or short inputs.
    surface_failing_locks = 1;
    draw_cycling_mask(surface_virtual1, picture, map);
    Buffer short_map(63999, 0);
    draw_cycling_mask(surface_virtual1, picture, short_map);
    draw_cycling_mask(surface_virtual1, Buffer(picture.begin(), picture.end() - 1), map);
    EXPECT_EQ(map[2], 0x11);
    EXPECT_EQ(short_map[0], 0);
    EXPECT_EQ(pixel(0, 0), rgb(0, 0xFF, 0xFF));
}

} // namespace
