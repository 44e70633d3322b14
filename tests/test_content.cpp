#include "content.h"
#include "data/builtin.h"
#include "data/items.h"
#include "data/pack.h"
#include "data/surface.h"
#include "model_writer.h"
#include "raster.h"
#include "support.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
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

// The seam between texel columns (or rows) 255 and 0 of a 256 x 256 RGB
// texture looks like the steps at 64, 128 and 192 (where a 64- or 128-texel
// pattern repeats); a texture that does not wrap jumps at the seam. A step is
// the mean absolute channel difference between two lines.
void expect_wraps(const Buffer& t, const char* name, bool columns) {
    auto step = [&](int a, int b) {
        double sum = 0.0;
        for (int i = 0; i < 256; i++)
            for (int c = 0; c < 3; c++) {
                const size_t pa = columns ? size_t(i * 256 + a) : size_t(a * 256 + i);
                const size_t pb = columns ? size_t(i * 256 + b) : size_t(b * 256 + i);
                sum += std::abs(int(t[3 * pa + c]) - int(t[3 * pb + c]));
            }
        return sum / (256.0 * 3.0);
    };
    const double inner = std::max({step(63, 64), step(127, 128), step(191, 192)});
    EXPECT_LE(step(255, 0), inner * 1.5 + 2.0) << name << (columns ? " across" : " down");
}

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

TEST_F(BuiltinPack, TitleMasksHaveSoftEdgesAndEmptyBorders) {
    for (const ShowItem& m : show_items) {
        if (m.kind != ITEM_MASK) continue;
        SCOPED_TRACE(m.name);
        const Buffer b = item(m.name);
        ASSERT_EQ(b.size(), item_bytes(m));
        const int w = m.width, h = m.height;
        size_t solid = 0, soft = 0;
        for (uint8_t v : b) {
            solid += v == 0;
            soft += v > 0 && v < 255;
        }
        EXPECT_GT(solid, b.size() / 20) << "letters show fully";
        EXPECT_GT(soft, b.size() / 20) << "edges are soft";
        // Nothing of the word or its halo touches the box edge.
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                if (x == 0 || y == 0 || x == w - 1 || y == h - 1) {
                    ASSERT_EQ(b[size_t(y * w + x)], 255) << "edge " << x << "," << y;
                }
    }
    // The last word is cut 8 columns short by the frame: those stay empty.
    const Buffer unive = item("a_unive.raw");
    ASSERT_EQ(unive.size(), 11990u);
    for (int y = 0; y < 55; y++)
        for (int x = 210; x < 218; x++) EXPECT_EQ(unive[size_t(y * 218 + x)], 255) << x << "," << y;
}

// The greetings cards: every 90 x 30 picture.
TEST_F(BuiltinPack, CardsAreBrightLettersOnPureBlack) {
    std::vector<Buffer> seen;
    for (const ShowItem& it : show_items) {
        if (it.width != 90 || it.height != 30) continue;
        SCOPED_TRACE(it.name);
        const Buffer c = item(it.name);
        ASSERT_EQ(c.size(), 8100u);
        int see_through = 0, bright = 0;
        for (int y = 0; y < 30; y++)
            for (int x = 0; x < 90; x++) {
                const size_t i = size_t(y * 90 + x) * 3;
                const bool black = c[i] == 0 && c[i + 1] == 0 && c[i + 2] == 0;
                if (x == 0 || y == 0 || x == 89 || y == 29) {
                    ASSERT_TRUE(black) << x << "," << y;
                }
                see_through += black;
                bright += std::max({c[i], c[i + 1], c[i + 2]}) >= 200;
            }
        EXPECT_GT(see_through, 8100 / 3 / 2);
        EXPECT_GT(bright, 60);
        for (const Buffer& other : seen) EXPECT_NE(other, c) << "repeats another card";
        seen.push_back(c);
    }
    EXPECT_EQ(seen.size(), 10u);
}

// The displaced texture is read with a row step of 255 texels, which joins the
// end of each row to the start of the next: it must wrap across, the others
// both ways.
TEST_F(BuiltinPack, TilingTexturesWrapBothWays) {
    for (const char* name : {"t_tex1.raw", "t_tun.raw", "t_thinki.raw", "t_tex2.raw"}) {
        const Buffer t = item(name);
        ASSERT_EQ(t.size(), 196608u) << name;
        expect_wraps(t, name, true);
        if (std::string(name) != "t_tex2.raw") expect_wraps(t, name, false);
    }
}

TEST_F(BuiltinPack, MapsAreSmoothAndUseTheFullRange) {
    for (const char* name : {"1_displ.raw", "2_displ.raw", "displace.raw"}) {
        const Buffer m = item(name);
        ASSERT_EQ(m.size(), 64000u) << name;
        const auto [lo, hi] = std::minmax_element(m.begin(), m.end());
        EXPECT_EQ(*lo, 0) << name;
        EXPECT_EQ(*hi, 255) << name;
        double step = 0.0;
        for (int y = 0; y < 200; y++)
            for (int x = 0; x + 1 < 320; x++)
                step += std::abs(int(m[size_t(y * 320 + x + 1)]) - int(m[size_t(y * 320 + x)]));
        EXPECT_LT(step / (200.0 * 319.0), 6.0) << name;
    }
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

TEST(ContentRaster, AreaResampleKeepsTheMeanAndEdges) {
    // A 9 x 3 ramp averaged down to 3 x 1: each output is the mean of its block.
    Gray g = make_gray(9, 3, 0.0f);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 9; x++) g.at(x, y) = float(x);
    const Gray small = resize_area(g, 3, 1);
    ASSERT_EQ(small.w, 3);
    ASSERT_EQ(small.h, 1);
    for (int x = 0; x < 3; x++) EXPECT_NEAR(small.at(x, 0), float(3 * x + 1), 1e-5f);
    // A non-integer ratio: 5 cells onto 2 weighs the middle cell half each way.
    Gray line = make_gray(5, 1, 0.0f);
    line.at(2, 0) = 1.0f;
    const Gray two = resize_area(line, 2, 1);
    for (int x = 0; x < 2; x++) EXPECT_NEAR(two.at(x, 0), 0.5f / 2.5f, 1e-5f);
}

TEST(ContentRaster, RangeStretchMapsLowestToZeroAndHighestToOne) {
    Gray g = make_gray(3, 1, 0.0f);
    g.v = {2.0f, 6.0f, 3.0f};
    stretch_to_unit(g);
    EXPECT_EQ(g.v, (std::vector<float>{0.0f, 1.0f, 0.25f}));
    // A flat input has no range to stretch: it becomes 0, not a division by 0.
    Gray flat = make_gray(4, 2, 0.7f);
    stretch_to_unit(flat);
    EXPECT_EQ(flat.v, std::vector<float>(8, 0.0f));
}

TEST(ContentRaster, PolygonCoverageAndWrappedBlur) {
    // A 10 x 6 rectangle on pixel edges covers exactly 60 pixel centres.
    Gray g = make_gray(32, 32, 0.0f);
    fill_polygon(g, {{4, 5}, {14, 5}, {14, 11}, {4, 11}}, 1.0f);
    EXPECT_FLOAT_EQ(std::accumulate(g.v.begin(), g.v.end(), 0.0f), 60.0f);
    EXPECT_EQ(g.at(4, 5), 1.0f);
    EXPECT_EQ(g.at(13, 10), 1.0f);
    EXPECT_EQ(g.at(14, 10), 0.0f);
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
