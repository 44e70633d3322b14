// The tunnel tables, column_order, the wave table and the three texture-lookup
// effects. Textures here encode each texel's own index, so a frame pixel tells
// which texel it was read from.
#include "data/render_resources.h"
#include "effects/effect_tables.h"
#include "effects/tunnel.h"
#include "engine3d/math.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const uint32_t CANARY = 0x00ABCDEF;

// Texel i = (i >> 8, i & 255, a check byte), for `texels` texels.
Buffer index_texture(size_t texels) {
    Buffer b;
    for (size_t i = 0; i < texels; i++) {
        b.push_back(uint8_t(i >> 8));
        b.push_back(uint8_t(i));
        b.push_back(uint8_t(i * 7 + 3));
    }
    return b;
}

// The texel index a pixel was read from, or -1 when it is no texel of index_texture.
long texel_of(uint32_t pixel) {
    const long i = long((pixel >> 8) & 0xFFFF);
    return (pixel & 0xFF) == uint8_t(i * 7 + 3) && (pixel >> 24) == 0 ? i : -1;
}

uint32_t& pixel(int x, int y) {
    return surface_virtual1->pixels[size_t(y) * FRAME_WIDTH + x];
}

bool frame_untouched() {
    for (uint32_t p : surface_virtual1->pixels)
        if (p != CANARY) return false;
    return true;
}

struct Lookups : ::testing::Test {
    void SetUp() override {
        ASSERT_EQ(create_working_surface(), 1);
        std::fill(surface_virtual1->pixels.begin(), surface_virtual1->pixels.end(), CANARY);
        surface_failing_locks = 0;
        ModeRecord mode{640, 480, 60, 32, 0xFF0000, 0xFF00, 0xFF};
        ASSERT_EQ(init_effect_tables(mode), 1);
    }
    void TearDown() override {
        EXPECT_FALSE(surface_virtual1->locked);
        release_working_surface();
        release_effect_tables();
        free_sphere_table();
        surface_failing_locks = 0;
        display_depth = 0;
    }
};

size_t at(int x, int y) {
    return size_t(y + 100) * 320 + size_t(x + 160);
}

TEST_F(Lookups, TunnelTablesAtTheListedPoints) {
    // Any mode gives the tables of the 320 x 200 frame.
    EXPECT_EQ(display_depth, 32u);
    ASSERT_EQ(tunnel_width, 320);
    ASSERT_EQ(tunnel_height, 200);
    ASSERT_EQ(tunnel_depth.size(), 64000u);
    EXPECT_EQ(tunnel_depth[at(0, 0)], 97);
    EXPECT_EQ(tunnel_angle[at(0, 0)], 31);
    EXPECT_EQ(tunnel_depth[at(100, 0)], 131);
    EXPECT_EQ(tunnel_angle[at(100, 0)], 0);
    EXPECT_EQ(tunnel_depth[at(0, -100)], 131);
    EXPECT_EQ(tunnel_angle[at(0, -100)], 193);
    EXPECT_EQ(tunnel_depth[at(-160, -100)], 194);
    EXPECT_EQ(tunnel_angle[at(-160, -100)], 22);
    // Row 0 uses distance 1 for y: (1, 0) has distance trunc(sqrt 2) = 1, as the centre.
    EXPECT_EQ(tunnel_depth[at(1, 0)], 97);
    // atan of the quotient, not atan2: opposite quadrants share their angles,
    // and the distance ignores the signs.
    for (int y : {-100, -37, -1, 1, 58, 99})
        for (int x : {-159, -80, -3, 2, 77, 159}) {
            if (y > -100 && x > -160) {
                EXPECT_EQ(tunnel_angle[at(x, y)], tunnel_angle[at(-x, -y)]) << x << "," << y;
                EXPECT_EQ(tunnel_depth[at(x, y)], tunnel_depth[at(-x, -y)]) << x << "," << y;
            }
            // Non-negative where the signs agree, non-positive where they differ.
            const int a = int8_t(tunnel_angle[at(x, y)]);
            EXPECT_TRUE((x > 0) == (y > 0) ? a >= 0 : a <= 0) << x << "," << y << ": " << a;
            EXPECT_LE(std::abs(a), 63);
        }
}

TEST_F(Lookups, TunnelTablesAreReplacedAndFreed) {
    build_tunnel_tables(64, 40);
    EXPECT_EQ(tunnel_width, 64);
    EXPECT_EQ(tunnel_depth.size(), 64u * 40u);
    EXPECT_EQ(tunnel_depth[20 * 64 + 32], 97); // the centre of any size
    // Tables of another size do not fit the frame: the tunnel draws nothing.
    draw_tunnel(0, 0, surface_virtual1, index_texture(65536));
    EXPECT_TRUE(frame_untouched());
    free_tunnel_tables();
    free_tunnel_tables();
    EXPECT_TRUE(tunnel_depth.empty());
    EXPECT_TRUE(tunnel_angle.empty());
    draw_tunnel(0, 0, surface_virtual1, index_texture(65536));
    EXPECT_TRUE(frame_untouched());
}

TEST_F(Lookups, ColumnOrderWalksColumnsTopToBottom) {
    EXPECT_EQ(column_order[0], 0u);
    EXPECT_EQ(column_order[1], 320u);
    EXPECT_EQ(column_order[199], 199u * 320u);
    EXPECT_EQ(column_order[200], 1u);
    EXPECT_EQ(column_order[63999], 63999u);
    // Every frame pixel exactly once.
    std::vector<int> seen(64000, 0);
    for (uint32_t e : column_order) {
        ASSERT_LT(e, 64000u);
        seen[e]++;
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 64000);
}

TEST_F(Lookups, WaveTableMatchesTheSineFormula) {
    build_wave_table();
    EXPECT_EQ(wave_table[0], 32);
    EXPECT_EQ(wave_table[64], 62); // just short of 63
    EXPECT_EQ(wave_table[192], 1);
    for (int i = 0; i < 256; i++) {
        const double v = std::sin(i * 0.024543693348032258) * 31.0 + 32.0;
        EXPECT_EQ(wave_table[i], int(std::floor(v))) << i;
    }
}

TEST_F(Lookups, TunnelTexelIndices) {
    const Buffer texture = index_texture(65536);
    draw_tunnel(0, 0, surface_virtual1, texture);
    EXPECT_EQ(texel_of(pixel(160, 100)), 24894);         // (97 << 8) + (31 << 1)
    EXPECT_EQ(texel_of(pixel(0, 0)), 194 * 256 + 44);    // corner: depth 194, angle 22
    EXPECT_EQ(texel_of(pixel(260, 100)), 131 * 256);     // (100, 0): depth 131, angle 0
    EXPECT_EQ(texel_of(pixel(160, 0)), 131 * 256 + 386); // angle 193 doubled carries a row
    // Shifts: depth scrolls rows and wraps the whole index, angle scrolls columns.
    draw_tunnel(200, 5, surface_virtual1, texture);
    EXPECT_EQ(texel_of(pixel(160, 100)), (5 + 297 * 256 + 62) % 65536);
    for (uint32_t p : surface_virtual1->pixels) ASSERT_GE(texel_of(p), 0);
}

TEST_F(Lookups, TunnelDrawsNothingWhenItCannot) {
    const Buffer texture = index_texture(65536);
    draw_tunnel(0, 0, surface_virtual1, Buffer(texture.begin(), texture.end() - 1));
    draw_tunnel(0, 0, nullptr, texture);
    surface_failing_locks = 1;
    draw_tunnel(0, 0, surface_virtual1, texture);
    EXPECT_EQ(surface_failing_locks, 0);
    display_depth = 24;
    draw_tunnel(0, 0, surface_virtual1, texture);
    EXPECT_TRUE(frame_untouched());
}

TEST_F(Lookups, RotatedTextureAtAngleZero) {
    build_angle_tables();
    build_sphere_table(320, 200, 100.0f, 250.0f);
    draw_rotated_texture(surface_virtual1, 0, 255, 0, index_texture(65536));
    EXPECT_EQ(texel_of(pixel(0, 0)), 57116);
    // Row -32 and column 28 at the top-left; one texel per pixel both ways.
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++)
            ASSERT_EQ(texel_of(pixel(x, y)), (255 * 256 + 224 * 256 + 28 + 256 * y + x) % 65536)
                << x << "," << y;
    // The column part carries into the row part.
    draw_rotated_texture(surface_virtual1, 250, 0, 0, index_texture(65536));
    EXPECT_EQ(texel_of(pixel(0, 0)), 224 * 256 + 278);
}

TEST_F(Lookups, RotatedTextureQuarterTurn) {
    build_angle_tables();
    build_sphere_table(320, 200, 100.0f, 250.0f);
    // Angle 64 uses entry 192: sine -1, cosine 0 (to 16.16). Moving right walks
    // down the texture rows, moving down walks left along the columns.
    draw_rotated_texture(surface_virtual1, 0, 0, 64, index_texture(65536));
    for (int y = 0; y < 200; y += 9)
        for (int x = 0; x < 320; x += 11)
            ASSERT_EQ(texel_of(pixel(x, y)), (((x - 32) & 255) * 256 + 228 - y) & 0xFFFF)
                << x << "," << y;
}

TEST_F(Lookups, RotatedTextureNeedsTheSphereTableAndAFullTexture) {
    build_angle_tables();
    const Buffer texture = index_texture(65536);
    draw_rotated_texture(surface_virtual1, 0, 0, 0, texture); // no sphere table
    build_sphere_table(320, 200, 100.0f, 250.0f);
    draw_rotated_texture(surface_virtual1, 0, 0, 0, Buffer(texture.begin(), texture.end() - 3));
    display_depth = 16;
    draw_rotated_texture(surface_virtual1, 0, 0, 0, texture);
    display_depth = 32;
    surface_failing_locks = 1;
    draw_rotated_texture(surface_virtual1, 0, 0, 0, texture);
    EXPECT_TRUE(frame_untouched());
}

TEST_F(Lookups, DisplacedTexture) {
    build_wave_table();
    const Buffer zero(64000, 0);
    // The smallest texture it may read: texels 0..15,872.
    const Buffer texture = index_texture(15873);
    ASSERT_EQ(texture.size(), 47619u);
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

TEST_F(Lookups, DisplacedTextureDrawsNothingForShortInputs) {
    build_wave_table();
    const Buffer zero(64000, 0), short_map(63999, 0);
    const Buffer texture = index_texture(15873);
    draw_displaced_texture(0, surface_virtual1, short_map, zero, texture);
    draw_displaced_texture(0, surface_virtual1, zero, short_map, texture);
    draw_displaced_texture(0, surface_virtual1, zero, zero,
                           Buffer(texture.begin(), texture.end() - 1));
    draw_displaced_texture(0, nullptr, zero, zero, texture);
    surface_failing_locks = 1;
    draw_displaced_texture(0, surface_virtual1, zero, zero, texture);
    EXPECT_TRUE(frame_untouched());
    // The display depth does not matter here.
    display_depth = 16;
    draw_displaced_texture(0, surface_virtual1, zero, zero, texture);
    EXPECT_EQ(texel_of(pixel(0, 0)), 8192);
}

} // namespace
