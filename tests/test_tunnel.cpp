// The tunnel tables and the three texture-lookup effects (the tables' every
// entry is also in test_recorded_output's hash). Textures here encode each texel's own index, so a
// frame pixel tells which texel it was read from.
#include "data/render_resources.h"
#include "effects/effect_tables.h"
#include "effects/tunnel.h"
#include "engine3d/math.h"
#include "frame_support.h"

namespace {

// Texel i = (i >> 8, i & 255, a check byte), for `texels` texels.
Buffer index_texture(size_t texels) {
    Buffer b;
    for (size_t i = 0; i < texels; i++) b.insert(b.end(), {uint8_t(i >> 8), uint8_t(i), 0x5A});
    return b;
}
const Buffer full_texture = index_texture(65536);

// The texel index a pixel was read from, or -1 when it is no texel of index_texture.
long texel_of(uint32_t pixel) {
    return (pixel & 0xFF0000FF) == 0x5A ? long(pixel >> 8) : -1;
}

// Table entry of the point (x, y) from the frame's centre.
size_t at(int x, int y) {
    return size_t(y + 100) * 320 + size_t(x + 160);
}

struct Lookups : FrameTest<0x00ABCDEF> {
    bool frame_untouched() { return pixels_not(CANARY) == 0; }
    void SetUp() override {
        FrameTest::SetUp();
        ModeRecord mode{640, 480, 60, 32, 0xFF0000, 0xFF00, 0xFF};
        ASSERT_EQ(init_effect_tables(mode), 1);
        build_wave_table();
    }
    void TearDown() override {
        FrameTest::TearDown();
        release_effect_tables();
        free_sphere_table();
        display_depth = 0;
    }
};

// Whatever the mode, the tables are those of the 320 x 200 frame. Depth 97 at
// the centre and at distance 1 (trunc(sqrt 2) = 1 as well), 194 at the corner,
// 131 at distance 100; the angle, atan of the quotient as a byte, is 0 along +x
// and 193 (-63) straight up, doubled in the index so that it carries a row.
TEST_F(Lookups, TunnelTablesAndTexelIndices) {
    ASSERT_EQ(tunnel_depth.size(), 64000u);
    EXPECT_EQ(tunnel_depth[at(1, 0)], 97);
    EXPECT_EQ(std::make_pair(tunnel_depth[at(100, 0)], tunnel_angle[at(100, 0)]),
              std::make_pair(uint8_t(131), uint8_t(0)));
    draw_tunnel(0, 0, surface_virtual1, full_texture);
    EXPECT_EQ(texel_of(pixel(160, 100)), 24894);      // (97 << 8) + (31 << 1)
    EXPECT_EQ(texel_of(pixel(0, 0)), 194 * 256 + 44); // angle 22
    EXPECT_EQ(texel_of(pixel(160, 0)), 131 * 256 + 386);
    // Depth scrolls rows and wraps the whole index, angle scrolls columns.
    draw_tunnel(200, 5, surface_virtual1, full_texture);
    EXPECT_EQ(texel_of(pixel(160, 100)), (5 + 297 * 256 + 62) % 65536);
}

TEST_F(Lookups, TunnelDrawsNothingWhenItCannot) {
    draw_tunnel(0, 0, surface_virtual1, Buffer(full_texture.begin(), full_texture.end() - 1));
    draw_tunnel(0, 0, nullptr, full_texture);
    surface_failing_locks = 1;
    draw_tunnel(0, 0, surface_virtual1, full_texture);
    display_depth = 24;
    draw_tunnel(0, 0, surface_virtual1, full_texture);
    display_depth = 32;
    build_tunnel_tables(64, 40); // tables of another size do not fit the frame
    EXPECT_EQ(tunnel_depth[20 * 64 + 32], 97);
    draw_tunnel(0, 0, surface_virtual1, full_texture);
    free_tunnel_tables();
    draw_tunnel(0, 0, surface_virtual1, full_texture);
    EXPECT_TRUE(frame_untouched());
}

TEST_F(Lookups, RotatedTexture) {
    build_angle_tables();
    draw_rotated_texture(surface_virtual1, 0, 0, 0, full_texture); // no sphere table yet
    EXPECT_TRUE(frame_untouched());
    build_sphere_table(320, 200, 100.0f, 250.0f);
    draw_rotated_texture(surface_virtual1, 0, 0, 0,
                         Buffer(full_texture.begin(), full_texture.end() - 3));
    EXPECT_TRUE(frame_untouched());

    // Angle 0 starts at row -32 and column 28, one texel per pixel both ways.
    draw_rotated_texture(surface_virtual1, 0, 255, 0, full_texture);
    EXPECT_EQ(texel_of(pixel(0, 0)), 57116);
    EXPECT_EQ(texel_of(pixel(319, 0)), 57116 + 319);
    EXPECT_EQ(texel_of(pixel(0, 199)), (57116 + 199 * 256) % 65536);
    draw_rotated_texture(surface_virtual1, 250, 0, 0, full_texture);
    EXPECT_EQ(texel_of(pixel(0, 0)), 224 * 256 + 278) << "the column carries into the row";
    // Angle 64 uses entry 192: sine -1, cosine 0. Moving right walks down the
    // texture rows, moving down walks left along the columns.
    draw_rotated_texture(surface_virtual1, 0, 0, 64, full_texture);
    for (int y = 0; y < 200; y += 9)
        for (int x = 0; x < 320; x += 11)
            ASSERT_EQ(texel_of(pixel(x, y)), (((x - 32) & 255) * 256 + 228 - y) & 0xFFFF)
                << x << "," << y;
    // The last texel, whose three bytes end the texture, and its neighbours,
    // through the SSE2 path and the plain loop.
    for (bool simd : {true, false}) {
        use_simd = simd;
        draw_rotated_texture(surface_virtual1, 27, 0, 64, full_texture);
        EXPECT_EQ(texel_of(pixel(286, 0)), 65279) << simd;
        EXPECT_EQ(texel_of(pixel(287, 0)), 65535) << simd;
        EXPECT_EQ(texel_of(pixel(287, 1)), 65534) << simd;
        EXPECT_EQ(texel_of(pixel(288, 0)), 255) << simd;
    }
    use_simd = true;
}

TEST_F(Lookups, DisplacedTexture) {
    const Buffer zero(64000, 0), short_map(63999, 0);
    // The smallest texture it may read: texels 0..15,872.
    const Buffer texture = index_texture(15873);
    draw_displaced_texture(0, surface_virtual1, short_map, zero, texture);
    draw_displaced_texture(0, surface_virtual1, zero, short_map, texture);
    draw_displaced_texture(0, surface_virtual1, zero, zero,
                           Buffer(texture.begin(), texture.end() - 1));
    EXPECT_TRUE(frame_untouched());

    display_depth = 16; // does not matter here
    draw_displaced_texture(0, surface_virtual1, zero, zero, texture);
    for (uint32_t p : surface_virtual1->pixels) ASSERT_EQ(texel_of(p), 8192); // 32 * 255 + 32
    // Phase 64 moves the maps apart: a = 192 (value 1), b = 64 (value 62).
    draw_displaced_texture(64, surface_virtual1, zero, zero, texture);
    EXPECT_EQ(texel_of(pixel(0, 0)), 62 * 255 + 1);
    // Both at 64 reach the last texel.
    Buffer map = zero;
    map[64000 - 1] = 64;
    draw_displaced_texture(0, surface_virtual1, map, map, texture);
    EXPECT_EQ(texel_of(pixel(319, 199)), 15872);
    EXPECT_EQ(texel_of(pixel(318, 199)), 8192);
}

} // namespace
