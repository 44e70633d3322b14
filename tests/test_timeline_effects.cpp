// The timeline's own effects: plasma, dot paths, rotozoom and the cycling
// mask, what they refuse and where the rotozoom draws. The tables, the
// phases' steps, the dots' places, the light bands and every effect's bytes
// on noisy inputs, on both paths, are left to test_recorded_output's hash
// (and the offsets' wrap to the show's digests).
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

} // namespace
