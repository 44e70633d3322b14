// The asset catalogue: slots filled from the look-up in order, short or
// missing entries left empty, everything released once.
#include "data/assets.h"
#include "data/render_resources.h"
#include "data/surface.h"
#include "effects/effect_tables.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <sys/stat.h>

namespace {

// A pack of every slot at its size, each entry filled with its slot number.
std::vector<uint8_t> full_pack(const std::string& left_out, const std::string& short_one) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> entries;
    for (size_t i = 0; i < asset_slot_count; i++) {
        const std::string name = asset_slots[i].entry;
        if (name == left_out) continue;
        const size_t size = asset_slots[i].bytes - (name == short_one ? 1 : 0);
        entries.push_back({name, std::vector<uint8_t>(size, uint8_t(i + 1))});
    }
    std::vector<uint8_t> out(8, 0);
    put_u32(out, uint32_t(entries.size()));
    uint32_t offset = uint32_t(12 + 24 * entries.size());
    for (const auto& e : entries) {
        char name[16] = {};
        std::memcpy(name, e.first.c_str(), e.first.size());
        out.insert(out.end(), name, name + 16);
        put_u32(out, uint32_t(e.second.size()));
        put_u32(out, offset);
        offset += uint32_t(e.second.size());
    }
    for (const auto& e : entries) out.insert(out.end(), e.second.begin(), e.second.end());
    return out;
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

    testing::internal::CaptureStderr();
    ASSERT_EQ(load_all_assets(), 1);
    const std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_EQ(warnings,
              "vorn: qxlogo.raw has 192001 bytes, expected 192000, from ./qxlogo.raw; not used\n"
              "vorn: b_vorn.raw has 19322 bytes, expected 19323, from built-in data; not used\n");
    EXPECT_TRUE(pic_think.empty()) << "missing from the pack";
    EXPECT_TRUE(pic_vorn.empty()) << "one byte short of 113 x 57 x 3";
    EXPECT_TRUE(pic_logo.empty()) << "one byte too long";
    EXPECT_EQ(pic_odjava.size(), 192000u) << "a directory of the name is no loose file";
    EXPECT_EQ(pic_using, Buffer(51000, 0xAB)) << "the loose file wins";
    EXPECT_EQ(pic_tex.size(), 192000u);
    EXPECT_EQ(pic_tex[0], 1) << "pic_tex is the first slot";
    EXPECT_EQ(mask_unive.size(), 218u * 55u);
    EXPECT_EQ(tex_tex2.size(), 47619u) << "the displaced texture needs 62 * 255 + 63 texels";
    // The render resources come with the catalogue.
    EXPECT_NE(depth_buffer, nullptr);
    EXPECT_NE(sphere_table, nullptr);
    EXPECT_EQ(view_centre_x, 159.0f);
    ASSERT_NE(texture_table, nullptr);
    EXPECT_EQ(texture_count, 5);
    EXPECT_EQ(texture_table[0].pixels, nullptr) << "no model textures in this pack";
    EXPECT_FALSE(tunnel_depth.empty());

    free_all_assets();
    for (size_t i = 0; i < asset_slot_count; i++)
        EXPECT_TRUE(asset_slots[i].slot->empty()) << asset_slots[i].entry;
    EXPECT_EQ(texture_table, nullptr);
    EXPECT_EQ(depth_buffer, nullptr);
    EXPECT_TRUE(tunnel_depth.empty());
}

TEST_F(AssetsTest, AWorkingSurfaceThatCannotLockLoadsNothing) {
    const std::vector<uint8_t> pack = full_pack("", "");
    pack_builtin = {pack.data(), pack.size()};
    surface_failing_locks = 1;
    EXPECT_EQ(load_all_assets(), 0);
    EXPECT_EQ(depth_buffer, nullptr);
    EXPECT_EQ(texture_table, nullptr);
    for (size_t i = 0; i < asset_slot_count; i++)
        EXPECT_TRUE(asset_slots[i].slot->empty()) << asset_slots[i].entry;
}
