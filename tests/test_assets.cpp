// The asset catalogue: slots filled from the look-up in order, short or
// missing entries left empty, everything released once; and the render
// resources that come with it.
#include "data/assets.h"
#include "data/render_resources.h"
#include "data/surface.h"
#include "effects/effect_tables.h"
#include "support.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A pack of every slot at its size, each entry filled with its slot number.
std::vector<uint8_t> full_pack(const std::string& left_out, const std::string& short_one) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> entries;
    for (size_t i = 0; i < asset_slot_count; i++) {
        const std::string name = asset_slots[i].entry;
        if (name != left_out)
            entries.push_back(
                {name,
                 std::vector<uint8_t>(asset_slots[i].bytes - (name == short_one), uint8_t(i + 1))});
    }
    return make_pack(entries);
}

// The first slot that holds something, or "" when all are empty.
std::string first_filled_slot() {
    for (size_t i = 0; i < asset_slot_count; i++)
        if (!asset_slots[i].slot->empty()) return asset_slots[i].entry;
    return "";
}

class AssetsTest : public ::testing::Test {
  protected:
    ScopedDirectory dir;
    void SetUp() override { create_working_surface(); }
    void TearDown() override {
        free_all_assets();
        release_working_surface();
        pack_builtin = {nullptr, 0};
    }
};

} // namespace

TEST_F(AssetsTest, SlotsFillFromTheLookUpAndWrongSizesCountAsMissing) {
    const std::vector<uint8_t> pack = full_pack("think.raw", "b_vorn.raw");
    pack_builtin = {pack.data(), pack.size()};
    write_file("b_using.raw", std::vector<uint8_t>(100 * 170 * 3, 0xAB));
    write_file("qxlogo.raw", std::vector<uint8_t>(192001, 1));
    ASSERT_EQ(mkdir("odjava.raw", 0755), 0);
    write_file("brain.m3d", std::vector<uint8_t>(64, 'Q'));
    write_file("istu2.m3d", {'Q'});
    ASSERT_EQ(truncate("istu2.m3d", off_t(PACK_ITEM_LIMIT) + 1), 0);

    // A working surface that cannot lock loads nothing.
    surface_failing_locks = 1;
    EXPECT_EQ(load_all_assets(), 0);
    EXPECT_TRUE(!depth_buffer && !texture_table);
    EXPECT_EQ(first_filled_slot(), "");

    testing::internal::CaptureStderr();
    ASSERT_EQ(load_all_assets(), 1);
    const std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_EQ(warnings,
              "vorn: brain.m3d from ./brain.m3d is no model the show can read; not used\n"
              "vorn: istu2.m3d from ./istu2.m3d is longer than any item is read (67108865 bytes); "
              "not used\n"
              "vorn: qxlogo.raw has 192001 bytes, expected 192000, from ./qxlogo.raw; not used\n"
              "vorn: b_vorn.raw has 19322 bytes, expected 19323, from built-in data; not used\n");
    EXPECT_TRUE(pic_think.empty()) << "missing from the pack";
    EXPECT_TRUE(pic_vorn.empty()) << "one byte short of 113 x 57 x 3";
    EXPECT_TRUE(pic_logo.empty()) << "one byte too long";
    // A reload says an item only too long to be read is too long.
    std::string why;
    EXPECT_FALSE(reload_asset("qxlogo.raw", &why));
    EXPECT_EQ(why, "has 192001 bytes, expected 192000");
    EXPECT_FALSE(reload_asset("istu2.m3d", &why));
    EXPECT_EQ(why, "has 67108865 bytes, more than the 67108864 a model may have");
    EXPECT_EQ(pic_odjava.size(), 192000u) << "a directory of the name is no loose file";
    EXPECT_EQ(pic_using, Buffer(51000, 0xAB)) << "the loose file wins";
    EXPECT_EQ(mask_unive.size(), 218u * 55u);
    EXPECT_EQ(tex_tex2.size(), 47619u) << "the displaced texture needs 62 * 255 + 63 texels";
    // The render resources come with the catalogue.
    EXPECT_TRUE(depth_buffer && sphere_table);
    ASSERT_NE(texture_table, nullptr);
    EXPECT_EQ(texture_count, 5);
    EXPECT_EQ(texture_table[0].pixels, nullptr) << "no model textures in this pack";
    EXPECT_FALSE(tunnel_depth.empty());

    free_all_assets();
    EXPECT_EQ(first_filled_slot(), "");
    EXPECT_TRUE(!texture_table && !depth_buffer && !sphere_table && tunnel_depth.empty());
}

TEST(RenderResources, TexturesLoadIntoTheirSlots) {
    ScopedDirectory dir;
    std::vector<uint8_t> texels(TEXTURE_RGB_BYTES);
    for (size_t i = 0; i < texels.size(); i++) texels[i] = uint8_t(i * 7);
    write_file("t_a.raw", texels);
    write_file("t_short.raw", {1, 2, 3});

    ASSERT_EQ(texture_table_alloc(5), 1);
    for (uint16_t i = 0; i < 5; i++) ASSERT_EQ(texture_load("t_a.raw", i, 0), 1);
    for (uint16_t i = 0; i < 5; i++) {
        const TextureRecord& t = texture_table[i];
        EXPECT_EQ(std::make_tuple(t.width, t.height, t.kind, t.second_plane, t.byte_size),
                  std::make_tuple(256, 256, 0, nullptr, TEXTURE_RGB_BYTES))
            << i;
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

TEST(RenderResources, BuffersClearAndRelease) {
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
}
