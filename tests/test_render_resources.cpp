#include "data/pack.h"
#include "data/render_resources.h"
#include "support.h"

#include <gtest/gtest.h>

TEST(RenderResources, TexturesLoadIntoTheirSlots) {
    ScopedDirectory dir;
    std::vector<uint8_t> texels(TEXTURE_RGB_BYTES);
    for (size_t i = 0; i < texels.size(); i++) texels[i] = uint8_t(i * 7);
    write_file("t_a.raw", texels);
    write_file("t_short.raw", {1, 2, 3});

    ASSERT_EQ(texture_table_alloc(5), 1);
    EXPECT_EQ(texture_count, 5);
    for (uint16_t i = 0; i < 5; i++) ASSERT_EQ(texture_load("t_a.raw", i, 0), 1);
    for (uint16_t i = 0; i < 5; i++) {
        const TextureRecord& t = texture_table[i];
        EXPECT_EQ(t.width, 256);
        EXPECT_EQ(t.height, 256);
        EXPECT_EQ(t.kind, 0);
        EXPECT_EQ(t.second_plane, nullptr);
        EXPECT_EQ(t.byte_size, TEXTURE_RGB_BYTES);
        EXPECT_EQ(t.pixels[1000], uint8_t(7000));
    }

    // Index beyond the table: refused, nothing changed.
    EXPECT_EQ(texture_load("t_a.raw", 5, 0), 0);
    // A missing entry leaves the record sized but without pixels.
    EXPECT_EQ(texture_load("missing.raw", 2, 0), 0);
    EXPECT_EQ(texture_table[2].pixels, nullptr);
    EXPECT_EQ(texture_table[2].width, 256);
    // A short entry keeps its real size, so readers can stay inside it.
    EXPECT_EQ(texture_load("t_short.raw", 3, 1), 1);
    EXPECT_EQ(texture_table[3].byte_size, 3u);
    EXPECT_EQ(texture_table[3].second_plane, nullptr);
    EXPECT_EQ(texture_load("t_a.raw", 4, 1), 1);
    EXPECT_EQ(texture_table[4].second_plane, texture_table[4].pixels + 65536);

    texture_table_free();
    EXPECT_EQ(texture_table, nullptr);
    texture_table_free(); // harmless twice
}

TEST(RenderResources, BuffersAndViewGeometry) {
    ASSERT_EQ(alloc_render_buffers(320, 200), 1);
    EXPECT_EQ(depth_buffer_bytes, 256000u);
    EXPECT_EQ(id_buffer_bytes, 64000u);
    EXPECT_EQ(frame_stamp, 0);
    for (size_t i = 0; i < 64000; i++) ASSERT_EQ(depth_buffer[i], 0u);
    depth_buffer[63999] = 5;
    id_buffer[0] = 9;
    clear_depth_buffer();
    clear_id_buffer();
    EXPECT_EQ(depth_buffer[63999], 0u);
    EXPECT_EQ(id_buffer[0], 0);
    free_render_buffers();
    EXPECT_EQ(depth_buffer, nullptr);
    clear_depth_buffer(); // absent: nothing to do

    set_view_geometry(320, 200);
    EXPECT_EQ(view_centre_x, 159.0f);
    EXPECT_EQ(view_centre_y, 99.0f);
    EXPECT_EQ(view_clip_right, 320);
    EXPECT_EQ(view_clip_bottom, 200);

    build_sphere_table(320, 200, 100.0f, 250.0f);
    EXPECT_NE(sphere_table, nullptr);
    free_sphere_table();
    EXPECT_EQ(sphere_table, nullptr);
}
