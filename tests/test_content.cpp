// The picture generator: the built-in pack holds what it makes, packed, and
// the contact sheet draws the folder's own models. What the pictures look
// like, as the show draws them, is pinned by the show's digests
// (test_show_digests).
#include "content.h"
#include "data/builtin.h"
#include "data/items.h"
#include "data/pack.h"
#include "data/surface.h"
#include "raster.h"
#include "support.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

namespace {

// Looks items up in the built-in pack only (an empty working directory).
struct BuiltinPack : ::testing::Test {
    ScopedDirectory dir;
    void SetUp() override { pack_builtin = builtin_pack(); }
    void TearDown() override { pack_builtin = {nullptr, 0}; }
    Buffer item(const char* name) {
        std::optional<Buffer> b = pack_read_entry(name);
        return b ? *b : Buffer{};
    }
};

} // namespace

TEST_F(BuiltinPack, PackedSmallerThanItsPictures) {
    const std::vector<PackDirEntry> dir = pack_directory(pack_builtin.data, pack_builtin.size);
    ASSERT_FALSE(dir.empty());
    uint64_t unpacked = 0, stored = 0;
    for (const PackDirEntry& e : dir) {
        const uint32_t full = pack_entry_size(e.name);
        unpacked += full;
        stored += e.stored_size;
        const std::string name = e.name;
        // Masks and smooth maps are mostly flat runs or slow ramps.
        if (name.rfind("a_", 0) == 0 || name == "1_displ.raw" || name == "2_displ.raw") {
            EXPECT_LT(e.stored_size, full * 6 / 10) << name;
        }
    }
    EXPECT_LT(stored, unpacked * 8 / 10);
}

// Two fresh runs agree with each other and with the build's own run in the
// built-in pack (the items' sizes: qxpack_check.sh; the models: test_models).
TEST_F(BuiltinPack, RegeneratedPicturesMatchTheBuiltInPack) {
    ScopedDirectory first;
    ASSERT_TRUE(write_pictures(first.path));
    ScopedDirectory second;
    ASSERT_TRUE(write_pictures(second.path));
    std::filesystem::current_path(dir.path); // an empty directory: no loose file hides the pack
    for (const ShowItem& it : show_items) {
        if (it.kind == ITEM_MODEL || it.kind == ITEM_MODULE) continue;
        const std::vector<uint8_t> a = read_file(first.path + "/" + it.name);
        EXPECT_FALSE(a.empty()) << it.name;
        EXPECT_TRUE(a == read_file(second.path + "/" + it.name))
            << it.name << " differs between runs";
        EXPECT_TRUE(item(it.name) == a) << it.name << " differs from the built-in copy";
    }
}

// What the pictures make of the raster helpers is pinned by the show's
// digests; these are the cases no picture reaches.
TEST(ContentRaster, FlatStretchAndWrappedBlur) {
    // A flat input has no range to stretch: it becomes 0, not a division by 0.
    Gray flat = make_gray(4, 2, 0.7f);
    stretch_to_unit(flat);
    EXPECT_EQ(flat.v, std::vector<float>(8, 0.0f));
    // A wrapped blur keeps the total and spreads a spot at column 0 into
    // column 31 as much as into column 1.
    Gray spot = make_gray(32, 8, 0.0f);
    spot.at(0, 4) = 1.0f;
    blur(spot, 2, true);
    EXPECT_NEAR(std::accumulate(spot.v.begin(), spot.v.end(), 0.0f), 1.0f, 1e-4f);
    EXPECT_NEAR(spot.at(31, 4), spot.at(1, 4), 1e-6f);
    EXPECT_GT(spot.at(31, 4), 0.0f);
}

// The sheet's pixels as RGB bytes; empty when it cannot be read.
std::vector<uint8_t> png_pixels(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
    return pixels;
}

size_t pixels_differing(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    size_t n = 0;
    for (size_t i = 0; i + 2 < std::min(a.size(), b.size()); i += 3)
        n += !std::equal(&a[i], &a[i] + 3, &b[i]);
    return n;
}

// The scenes are drawn from the folder's own models (never the built-in ones),
// each filling a fair part of its picture; a broken model leaves the rest.
TEST_F(BuiltinPack, SheetShowsEachSceneFromTheFoldersModels) {
    ASSERT_TRUE(write_pictures(dir.path));
    ASSERT_TRUE(write_contact_sheet(dir.path, dir.path + "/bare.png"));
    for (const ShowItem& it : show_items)
        if (it.kind == ITEM_MODEL) write_file(dir.path + "/" + it.name, item(it.name));
    ASSERT_TRUE(write_contact_sheet(dir.path, dir.path + "/models.png"));
    Buffer broken = item("vkocka1.m3d");
    broken[38] = 0xFF; // the first chunk claims far more bytes than there are
    write_file(dir.path + "/vkocka1.m3d", broken);
    ASSERT_TRUE(write_contact_sheet(dir.path, dir.path + "/broken.png"));

    const std::vector<uint8_t> bare = png_pixels(dir.path + "/bare.png");
    const std::vector<uint8_t> models = png_pixels(dir.path + "/models.png");
    const std::vector<uint8_t> less = png_pixels(dir.path + "/broken.png");
    ASSERT_FALSE(bare.empty());
    ASSERT_EQ(models.size(), bare.size());
    ASSERT_EQ(less.size(), bare.size());
    EXPECT_GE(pixels_differing(bare, models), size_t(5 * FRAME_PIXELS / 20));
    EXPECT_GT(pixels_differing(bare, less), 0u);
    EXPECT_GT(pixels_differing(less, models), 0u) << "the broken cube is not drawn";
}
