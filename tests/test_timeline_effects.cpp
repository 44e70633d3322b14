// The timeline's own effects: plasma, light bands, dot paths, rotozoom and the
// cycling mask. Expected values come from the table formulas evaluated here in
// plain double precision and from cases worked out by hand.
#include "director/timeline_effects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

namespace {

uint32_t& pixel(int x, int y) {
    return surface_virtual1->pixels[size_t(y) * FRAME_WIDTH + x];
}
uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) {
    return r << 16 | g << 8 | b;
}

void fill_frame(uint32_t colour) {
    std::fill(surface_virtual1->pixels.begin(), surface_virtual1->pixels.end(), colour);
}

// The low byte of trunc(v).
int low_byte(double v) {
    return int(int64_t(std::trunc(v)) & 255);
}

int sine_entry(int i) {
    return low_byte(std::sin(i * 0.024543693348032258) * 31.0 + 32.0);
}
int long_entry(int i) {
    return low_byte(std::sin(i * 0.010471666666666667) * 49.0 + 50.0);
}
int short_entry(int i) {
    return low_byte(std::sin(i * 0.025132) * 19.0 + 50.0);
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

struct TimelineEffects : ::testing::Test {
    void SetUp() override {
        ASSERT_EQ(create_working_surface(), 1);
        surface_failing_locks = 0;
    }
    void TearDown() override {
        EXPECT_FALSE(surface_virtual1->locked);
        release_working_surface();
        surface_failing_locks = 0;
    }
};

TEST_F(TimelineEffects, PlasmaFromTheStartPhases) {
    // The only test that draws the plasma, so the phases are still at their start.
    ASSERT_EQ(std::vector<int>(plasma_phase, plasma_phase + 4),
              (std::vector<int>{116, 32, 142, 70}));
    build_plasma_table();
    EXPECT_EQ(plasma_sine[116], 40);
    EXPECT_EQ(plasma_sine[32], 53);
    EXPECT_EQ(plasma_sine[70], 62);
    EXPECT_EQ(plasma_sine[142], 21);
    for (int i = 0; i < 256; i++) ASSERT_EQ(plasma_sine[i], sine_entry(i)) << i;

    fill_frame(0x00FFFFFF);
    surface_failing_locks = 1;
    draw_plasma(surface_virtual1);
    EXPECT_EQ(plasma_phase[0], 116) << "a failed lock moved the phases";
    EXPECT_EQ(pixel(0, 0), 0x00FFFFFFu);

    const int phases[2][4] = {{116, 32, 142, 70}, {111, 30, 147, 68}};
    for (const auto& p : phases) {
        draw_plasma(surface_virtual1);
        for (int y = 0; y < 200; y++)
            for (int x = 0; x < 320; x++) {
                const uint32_t want =
                    (sine_entry((p[0] + 4 * y) & 255) + sine_entry((p[1] + 3 * y) & 255) +
                     sine_entry((p[3] + 5 * x) & 255) + sine_entry((p[2] + 4 * x) & 255)) &
                    255;
                ASSERT_EQ(pixel(x, y), want) << x << "," << y;
            }
    }
    EXPECT_EQ(std::vector<int>(plasma_phase, plasma_phase + 4),
              (std::vector<int>{106, 28, 152, 66}));
}

TEST_F(TimelineEffects, BandTablesFollowTheirFormulas) {
    build_band_tables();
    EXPECT_EQ(band_wave[0], 32);
    EXPECT_EQ(band_ripple[0], 32);
    for (int i = 0; i < 256; i++) {
        const double t = i * 0.012271484375;
        const double v = 32.0 + 31.0 * std::sin(t) * std::cos(t) *
                                    std::sqrt(std::fabs(16.0 * std::sin(i * 0.02454296875)));
        ASSERT_EQ(band_wave[i], low_byte(v)) << i;
    }
    // At i = 80 both terms sit at an extreme (cosine near 1, sine near 1) and
    // their second-order parts cancel exactly, as the two steps differ by a
    // factor of 4; the fourth-order rest puts the value 1.2e-15 above -224, so
    // it truncates to -223 (byte 33). Double precision cannot resolve that, so
    // this entry is checked by that hand result instead.
    EXPECT_EQ(band_ripple[80], 33);
    for (int i = 0; i < 320; i++) {
        if (i == 80) continue;
        const double w = 16.0 * std::sin(i * 0.019634375000000003);
        ASSERT_EQ(band_ripple[i], low_byte(32.0 * std::cos(i * 0.07853750000000001) - w * w)) << i;
    }
}

TEST_F(TimelineEffects, LightBandLifts) {
    // Band value v = x on row 0 with flat waves and a ripple of i mod 256.
    std::fill(band_wave, band_wave + 256, 0);
    for (int i = 0; i < 320; i++) band_ripple[i] = uint8_t(i);
    fill_frame(rgb(235, 100, 225));
    pixel(3, 0) = rgb(234, 225, 224);
    pixel(9, 0) = rgb(224, 225, 226);
    draw_light_bands(surface_virtual1);
    for (int x = 0; x < 320; x++) {
        const int v = x & 255;
        if (x == 3 || x == 9) continue;
        const uint32_t want = v < 8 || (v >= 16 && v < 25) ? rgb(255, 120, 245)
                              : v < 16                     ? rgb(255, 130, 255)
                                                           : rgb(235, 100, 225);
        ASSERT_EQ(pixel(x, 0), want) << x;
    }
    EXPECT_EQ(pixel(3, 0), rgb(254, 245, 244));
    EXPECT_EQ(pixel(9, 0), rgb(254, 255, 255));
    // Row 1 shifts every band by one: v = 25 at x = 24 is untouched.
    EXPECT_EQ(pixel(23, 1), rgb(255, 120, 245));
    EXPECT_EQ(pixel(24, 1), rgb(235, 100, 225));
}

TEST_F(TimelineEffects, LightBandsUseEveryPhase) {
    build_band_tables();
    const uint8_t q[4] = {10, 200, 30, 77};
    std::copy(q, q + 4, band_phase);
    for (int i = 0; i < 64000; i++)
        surface_virtual1->pixels[i] = uint32_t(i * 2654435761u) & 0xFFFFFF;
    const std::vector<uint32_t> original = surface_virtual1->pixels;
    draw_light_bands(surface_virtual1);
    int lifted = 0;
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++) {
            const int v = (band_wave[(q[0] + x) & 255] + band_wave[(q[1] + x) & 255] +
                           band_ripple[x] + band_ripple[y] + band_wave[q[2]] + band_wave[q[3]]) &
                          255;
            int lift = 0;
            if (v < 8 || (v >= 16 && v < 25)) lift = 20;
            if (v >= 8 && v < 16) lift = 30;
            const uint32_t o = original[y * 320 + x];
            const uint32_t want = std::min(255u, ((o >> 16) & 255) + lift) << 16 |
                                  std::min(255u, ((o >> 8) & 255) + lift) << 8 |
                                  std::min(255u, (o & 255) + lift);
            ASSERT_EQ(pixel(x, y), want) << x << "," << y;
            lifted += lift != 0;
        }
    EXPECT_GT(lifted, 0);
    advance_band_phases();
    EXPECT_EQ(std::vector<int>(band_phase, band_phase + 4), (std::vector<int>{9, 197, 37, 74}));
    std::fill(band_phase, band_phase + 4, 0);
    advance_band_phases();
    EXPECT_EQ(std::vector<int>(band_phase, band_phase + 4), (std::vector<int>{255, 253, 7, 253}));
}

// Dot counts per frame index of one path, from the formulas in double precision.
std::map<int, int> path_counts(const int m[4], const int o[4]) {
    std::map<int, int> counts;
    for (long k = 0; k < 1200; k++) {
        const int x =
            long_entry((m[0] * k + o[0] + 4) % 1200) + short_entry((m[1] * k + o[1] + 2) % 500);
        const int y =
            long_entry((m[2] * k + o[2] + 2) % 1200) + short_entry((m[3] * k + o[3] + 3) % 500);
        counts[y * 320 + x + 60]++;
    }
    return counts;
}

TEST_F(TimelineEffects, PathTables) {
    build_path_tables();
    for (int i = 0; i < 1200; i++) ASSERT_EQ(path_wave_long[i], long_entry(i)) << i;
    for (int i = 0; i < 500; i++) ASSERT_EQ(path_wave_short[i], short_entry(i)) << i;
    EXPECT_EQ(*std::min_element(path_wave_long, path_wave_long + 1200), 1);
    EXPECT_EQ(*std::max_element(path_wave_long, path_wave_long + 1200), 98);
    EXPECT_EQ(*std::min_element(path_wave_short, path_wave_short + 500), 31);
    EXPECT_EQ(*std::max_element(path_wave_short, path_wave_short + 500), 68);
}

TEST_F(TimelineEffects, InvertedDotsCancelInPairs) {
    build_path_tables();
    const uint16_t start[4] = {100, 800, 300, 700};
    std::copy(start, start + 4, path_offset);
    set_path_rates(6, 6, 3, 8);
    fill_frame(0);
    invert_path_dots(surface_virtual1);
    const int m[4] = {6, 6, 3, 8}, o[4] = {100, 800, 300, 700};
    const std::map<int, int> counts = path_counts(m, o);
    int odd = 0, even = 0;
    for (int i = 0; i < 64000; i++) {
        const auto it = counts.find(i);
        const bool white = it != counts.end() && it->second % 2 == 1;
        ASSERT_EQ(surface_virtual1->pixels[i], white ? 0x00FFFFFFu : 0u) << i;
        if (it != counts.end()) (it->second % 2 ? odd : even)++;
    }
    EXPECT_GT(odd, 0);
    EXPECT_GT(even, 0) << "no pixel was hit twice; the case proves nothing";
    EXPECT_EQ(std::vector<int>(path_offset, path_offset + 4),
              (std::vector<int>{104, 302, 302, 203}));
    // Every call moves the offsets on by one step.
    invert_path_dots(surface_virtual1);
    EXPECT_EQ(std::vector<int>(path_offset, path_offset + 4),
              (std::vector<int>{108, 304, 304, 206}));
}

TEST_F(TimelineEffects, SecondPathIsOneStepOn) {
    build_path_tables();
    const uint16_t start[4] = {1196, 499, 1199, 498}; // every offset wraps on the step
    std::copy(start, start + 4, path_offset);
    set_path_rates(7, 3, 7, 6);
    const int m[4] = {7, 3, 7, 6};
    const int steps[2][4] = {{1196, 499, 1199, 498}, {0, 1, 1, 1}};
    for (const auto& o : steps) {
        fill_frame(0);
        draw_path_dots(surface_virtual1, 4, 64, 255);
        const std::map<int, int> counts = path_counts(m, o);
        for (int i = 0; i < 64000; i++)
            ASSERT_EQ(surface_virtual1->pixels[i], counts.count(i) ? rgb(4, 64, 255) : 0u) << i;
    }
    surface_failing_locks = 1;
    draw_path_dots(surface_virtual1, 4, 64, 255);
    EXPECT_EQ(std::vector<int>(path_offset, path_offset + 4), (std::vector<int>{4, 3, 3, 4}));
}

TEST_F(TimelineEffects, RotozoomAtZoomOneCopiesTheMiddleColumns) {
    build_row_offsets();
    EXPECT_EQ(row_offset[1], 320);
    EXPECT_EQ(row_offset[199], 63680);
    fill_frame(0x8F);
    draw_rotozoom(coordinate_picture(), surface_virtual1, 1.0f, 0.0f);
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++)
            ASSERT_EQ(pixel(x, y), x >= 60 && x <= 259 ? coordinate_pixel(x, y) : 0x8Fu)
                << x << "," << y;
}

TEST_F(TimelineEffects, RotozoomLeavesTexelsOutsideThePictureUntouched) {
    build_row_offsets();
    fill_frame(0x8F);
    // Zoom 1.05: C = 68812; u starts at 3,604,560 (column 55), v at -327,600
    // (row -5), so rows 0-4 and 196-199 of the square find no texel.
    draw_rotozoom(coordinate_picture(), surface_virtual1, 1.05f, 0.0f);
    for (int x = 60; x < 260; x++) {
        for (int y : {0, 4, 196, 199}) ASSERT_EQ(pixel(x, y), 0x8Fu) << x << "," << y;
        for (int y : {5, 100, 195}) ASSERT_NE(pixel(x, y), 0x8Fu) << x << "," << y;
    }
    EXPECT_EQ(pixel(60, 5), coordinate_pixel(55, 0));
    EXPECT_EQ(pixel(259, 195), coordinate_pixel(263, 199));
    EXPECT_EQ(pixel(160, 100), coordinate_pixel(160, 100));
    EXPECT_EQ(pixel(59, 100), 0x8Fu);
    EXPECT_EQ(pixel(260, 100), 0x8Fu);
}

TEST_F(TimelineEffects, RotozoomQuarterTurn) {
    build_row_offsets();
    fill_frame(0x8F);
    // At the float nearest pi / 2 the cosine is -4.4e-8 and the sine 1 - 7.6e-16,
    // so C = trunc(-0.0029) = 0 and S = trunc(65535.99999999995) = 65535. Row
    // starts: u = 60 * 65536 + 100 + 65535 r, v = 200 * 65536 - 100; along a
    // row v falls by 65535. So picture column 60 + r up to r = 100 and 59 + r
    // below; picture row 199 - j up to j = 99 and 200 - j from j = 100. The
    // centre stays on the centre.
    draw_rotozoom(coordinate_picture(), surface_virtual1, 1.0f, 1.5707964f);
    for (int r = 0; r < 200; r++)
        for (int j = 0; j < 200; j++) {
            const int tx = r <= 100 ? 60 + r : 59 + r;
            const int ty = j < 100 ? 199 - j : 200 - j;
            ASSERT_EQ(pixel(60 + j, r), coordinate_pixel(tx, ty)) << j << "," << r;
        }
    EXPECT_EQ(pixel(160, 100), coordinate_pixel(160, 100));
    EXPECT_EQ(pixel(59, 0), 0x8Fu);
    EXPECT_EQ(pixel(260, 199), 0x8Fu);
}

TEST_F(TimelineEffects, RotozoomStaysInsideAtAnyZoom) {
    build_row_offsets();
    const Buffer picture = coordinate_picture();
    for (float zoom : {40000.0f, 1.0e9f, -3.0f, 0.0f}) {
        fill_frame(0x8F);
        draw_rotozoom(picture, surface_virtual1, zoom, 0.3f);
        for (int y = 0; y < 200; y++) {
            ASSERT_EQ(pixel(59, y), 0x8Fu);
            ASSERT_EQ(pixel(260, y), 0x8Fu);
        }
    }
    // Zoom 0 reads the centre texel everywhere.
    EXPECT_EQ(pixel(61, 3), coordinate_pixel(160, 100));
    fill_frame(0x8F);
    draw_rotozoom(Buffer(picture.begin(), picture.end() - 1), surface_virtual1, 1.0f, 0.0f);
    draw_rotozoom(picture, nullptr, 1.0f, 0.0f);
    surface_failing_locks = 1;
    draw_rotozoom(picture, surface_virtual1, 1.0f, 0.0f);
    for (uint32_t p : surface_virtual1->pixels) ASSERT_EQ(p, 0x8Fu);
}

TEST_F(TimelineEffects, CyclingMaskCountsTheMapUp) {
    Buffer picture(192000);
    for (int i = 0; i < 64000; i++) {
        picture[3 * i] = 0xFF;
        picture[3 * i + 1] = uint8_t(i);
        picture[3 * i + 2] = uint8_t(i >> 8);
    }
    picture[3 * 2] = 0xA5;
    Buffer map(64000, 0x0F);
    map[0] = 255;
    map[1] = 0;
    draw_cycling_mask(surface_virtual1, picture, map);
    EXPECT_EQ(pixel(0, 0), rgb(0xFF, 0, 0));
    EXPECT_EQ(pixel(1, 0), rgb(0, 1, 0));
    EXPECT_EQ(pixel(2, 0), rgb(0x05, 2, 0));
    EXPECT_EQ(pixel(319, 199), rgb(0x0F, 63999 & 255, 63999 >> 8));
    EXPECT_EQ(map[0], 0);
    EXPECT_EQ(map[1], 1);
    EXPECT_EQ(map[63999], 0x10);
    draw_cycling_mask(surface_virtual1, picture, map);
    EXPECT_EQ(pixel(0, 0), rgb(0, 0, 0));
    EXPECT_EQ(pixel(1, 0), rgb(1, 1, 0));
    EXPECT_EQ(pixel(2, 0), rgb(0x10 & 0xA5, 2, 0));
    EXPECT_EQ(map[2], 0x11);
    // Nothing drawn or counted for a failed lock or short inputs.
    surface_failing_locks = 1;
    draw_cycling_mask(surface_virtual1, picture, map);
    Buffer short_map(63999, 0);
    draw_cycling_mask(surface_virtual1, picture, short_map);
    draw_cycling_mask(surface_virtual1, Buffer(picture.begin(), picture.end() - 1), map);
    EXPECT_EQ(map[2], 0x11);
    EXPECT_EQ(short_map[0], 0);
    EXPECT_EQ(pixel(0, 0), 0u);
}

} // namespace
