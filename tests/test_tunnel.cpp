// The tunnel tables and the three texture-lookup effects: what they do where
// they cannot draw, and the edges of what they read (the tables' every entry
// and the texels each effect reads are in test_recorded_output's hash).
// Textures here encode each texel's own index, so a frame pixel tells which
// texel it was read from.
#include "core/cpu.h"
#include "data/render_resources.h"
#include "director/kernels.h"
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
// The smallest texture the displaced texture may read: texels 0..15,872.
const Buffer displaced_texture = index_texture(15873);

// The texel index a pixel was read from, or -1 when it is no texel of index_texture.
long texel_of(uint32_t pixel) {
    return (pixel & 0xFF0000FF) == 0x5A ? long(pixel >> 8) : -1;
}

struct Lookups : FrameTest<0x00ABCDEF> {
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

TEST_F(Lookups, NothingIsDrawnWithoutTablesASurfaceOrWholeInputs) {
    build_angle_tables();
    draw_rotated_texture(surface_virtual1, 0, 0, 0, full_texture); // no sphere table yet
    build_sphere_table(320, 200, 100.0f, 250.0f);
    draw_rotated_texture(surface_virtual1, 0, 0, 0,
                         Buffer(full_texture.begin(), full_texture.end() - 3));
    const Buffer zero(64000, 0), short_map(63999, 0);
    draw_displaced_texture(0, surface_virtual1, short_map, zero, displaced_texture);
    draw_displaced_texture(0, surface_virtual1, zero, short_map, displaced_texture);
    draw_displaced_texture(0, surface_virtual1, zero, zero,
                           Buffer(displaced_texture.begin(), displaced_texture.end() - 1));
    draw_tunnel(0, 0, surface_virtual1, Buffer(full_texture.begin(), full_texture.end() - 1));
    draw_tunnel(0, 0, nullptr, full_texture);
    surface_failing_locks = 1;
    draw_tunnel(0, 0, surface_virtual1, full_texture);
    display_depth = 24;
    draw_tunnel(0, 0, surface_virtual1, full_texture);
    display_depth = 32;
    build_tunnel_tables(64, 40); // tables of another size do not fit the frame
    draw_tunnel(0, 0, surface_virtual1, full_texture);
    free_tunnel_tables();
    draw_tunnel(0, 0, surface_virtual1, full_texture);
    EXPECT_EQ(pixels_not(CANARY), 0);
}

TEST_F(Lookups, RotatedTexture) {
    build_angle_tables();
    build_sphere_table(320, 200, 100.0f, 250.0f);
    // The last texel, whose three bytes end the texture, and its neighbours,
    // through the SSE2 path and the plain loop. Angle 64: moving right walks
    // down the texture rows, moving down walks left along the columns.
    for (bool simd : {true, false}) {
        use_simd = simd;
        choose_kernels();
        draw_rotated_texture(surface_virtual1, 27, 0, 64, full_texture);
        EXPECT_EQ(texel_of(pixel(286, 0)), 65279) << simd;
        EXPECT_EQ(texel_of(pixel(287, 0)), 65535) << simd;
        EXPECT_EQ(texel_of(pixel(287, 1)), 65534) << simd;
        EXPECT_EQ(texel_of(pixel(288, 0)), 255) << simd;
    }
    use_simd = true;
    choose_kernels();
}

// Every pixel through the SSE2 path and the plain loop, with the shifts that
// make the pixel in the middle of the frame read the last texel.
TEST_F(Lookups, TunnelReadsTheTexelOfEachPixelsIndex) {
    build_tunnel_tables(320, 200);
    const int middle = 100 * 320 + 160;
    const uint32_t low = (255 - 2u * tunnel_angle[middle]) & 255;
    const uint32_t carry = (low + 2u * tunnel_angle[middle]) >> 8;
    const uint8_t depth_shift = uint8_t(255 - tunnel_depth[middle] - carry),
                  angle_shift = uint8_t(low);
    for (bool simd : {true, false}) {
        use_simd = simd;
        choose_kernels();
        draw_tunnel(depth_shift, angle_shift, surface_virtual1, full_texture);
        int wrong = 0;
        for (int i = 0; i < 64000; i++) {
            const long index =
                (angle_shift + ((tunnel_depth[i] + depth_shift) << 8) + (tunnel_angle[i] << 1)) &
                0xFFFF;
            wrong += texel_of(pixel(i % 320, i / 320)) != index;
        }
        EXPECT_EQ(wrong, 0) << simd;
        EXPECT_EQ(texel_of(pixel(160, 100)), 65535) << simd;
    }
    use_simd = true;
    choose_kernels();
    free_tunnel_tables();
}

// Both maps at 64 reach the last texel; the display's depth does not matter.
TEST_F(Lookups, DisplacedTexture) {
    display_depth = 16;
    Buffer map(64000, 0);
    map[64000 - 1] = 64;
    draw_displaced_texture(0, surface_virtual1, map, map, displaced_texture);
    EXPECT_EQ(texel_of(pixel(319, 199)), 15872);
    EXPECT_EQ(texel_of(pixel(318, 199)), 8192);
}

} // namespace
