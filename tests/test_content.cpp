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

struct Expected {
    const char* name;
    uint32_t size;
};

// Full sizes of the items as the effects read them (width x height x bytes).
const Expected PICTURE_SIZES[] = {
    {"pic_tex.raw", 192000},  {"qxlogo.raw", 192000},   {"b_qxpres.raw", 81585},
    {"a_qxpres.raw", 27195},  {"odjava.raw", 192000},   {"displace.raw", 64000},
    {"eye001.raw", 192000},   {"pic_006.raw", 192000},  {"girl004.raw", 192000},
    {"podloga.raw", 192000},  {"zarotate.raw", 192000}, {"think.raw", 192000},
    {"b_greet5.raw", 8100},   {"b_greet4.raw", 8100},   {"b_greet3.raw", 8100},
    {"b_greet2.raw", 8100},   {"b_greet1.raw", 8100},   {"b_welove.raw", 8100},
    {"b_greet6.raw", 8100},   {"b_greet9.raw", 8100},   {"b_greet8.raw", 8100},
    {"b_greet7.raw", 8100},   {"b_using.raw", 51000},   {"b_vorn.raw", 19323},
    {"b_start.raw", 20412},   {"b_the.raw", 15390},     {"b_unive.raw", 35970},
    {"a_vorn.raw", 6441},     {"a_start.raw", 6804},    {"a_the.raw", 5130},
    {"a_unive.raw", 11990},   {"t_tex1.raw", 196608},   {"t_tun.raw", 196608},
    {"t_thinki.raw", 196608}, {"1_displ.raw", 64000},   {"2_displ.raw", 64000},
    {"t_tex2.raw", 196608},   {"t_blueO.raw", 196608},  {"t_wood.raw", 196608},
    {"t_brain.raw", 196608},  {"t_env1.raw", 196608},   {"t_brown.raw", 196608},
    {"dialog.raw", 105120},
};

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

// Mean absolute channel difference between texel columns (or rows) a and b of
// a 256 x 256 RGB texture.
double line_difference(const Buffer& t, int a, int b, bool columns) {
    double sum = 0.0;
    for (int i = 0; i < 256; i++)
        for (int c = 0; c < 3; c++) {
            const size_t pa = columns ? size_t(i * 256 + a) : size_t(a * 256 + i);
            const size_t pb = columns ? size_t(i * 256 + b) : size_t(b * 256 + i);
            sum += std::abs(int(t[3 * pa + c]) - int(t[3 * pb + c]));
        }
    return sum / (256.0 * 3.0);
}

// The seam between the last and first line looks like the steps at 64, 128 and
// 192 (where a 64- or 128-texel pattern repeats); a texture that does not wrap
// jumps at the seam.
void expect_wraps(const Buffer& t, const char* name, bool columns) {
    double inner = 0.0;
    for (int at : {64, 128, 192}) inner = std::max(inner, line_difference(t, at - 1, at, columns));
    const double seam = line_difference(t, 255, 0, columns);
    EXPECT_LE(seam, inner * 1.5 + 2.0) << name << (columns ? " across" : " down");
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
    const Expected masks[] = {{"a_qxpres.raw", 259},
                              {"a_vorn.raw", 113},
                              {"a_start.raw", 126},
                              {"a_the.raw", 95},
                              {"a_unive.raw", 218}};
    for (const Expected& m : masks) {
        const Buffer b = item(m.name);
        ASSERT_FALSE(b.empty()) << m.name;
        const int w = int(m.size), h = int(b.size()) / w;
        size_t solid = 0, soft = 0;
        for (uint8_t v : b) {
            solid += v == 0;
            soft += v > 0 && v < 255;
        }
        EXPECT_GT(solid, b.size() / 20) << m.name << ": letters show fully";
        EXPECT_GT(soft, b.size() / 20) << m.name << ": edges are soft";
        // Nothing of the word or its halo touches the box edge.
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                if (x == 0 || y == 0 || x == w - 1 || y == h - 1) {
                    EXPECT_EQ(b[size_t(y * w + x)], 255) << m.name << " edge " << x << "," << y;
                }
    }
    // The last word is cut 8 columns short by the frame: those stay empty.
    const Buffer unive = item("a_unive.raw");
    ASSERT_EQ(unive.size(), 11990u);
    for (int y = 0; y < 55; y++)
        for (int x = 210; x < 218; x++) EXPECT_EQ(unive[size_t(y * 218 + x)], 255) << x << "," << y;
}

TEST_F(BuiltinPack, CardsAreBrightLettersOnPureBlack) {
    const char* const cards[] = {"b_welove.raw", "b_greet1.raw", "b_greet2.raw", "b_greet3.raw",
                                 "b_greet4.raw", "b_greet5.raw", "b_greet6.raw", "b_greet7.raw",
                                 "b_greet8.raw", "b_greet9.raw"};
    std::vector<Buffer> seen;
    for (const char* name : cards) {
        const Buffer c = item(name);
        ASSERT_EQ(c.size(), 8100u) << name;
        auto black = [&](int x, int y) {
            const size_t i = size_t(y * 90 + x) * 3;
            return c[i] == 0 && c[i + 1] == 0 && c[i + 2] == 0;
        };
        for (int x = 0; x < 90; x++) EXPECT_TRUE(black(x, 0) && black(x, 29)) << name << " " << x;
        for (int y = 0; y < 30; y++) EXPECT_TRUE(black(0, y) && black(89, y)) << name << " " << y;
        int see_through = 0, bright = 0;
        for (int y = 0; y < 30; y++)
            for (int x = 0; x < 90; x++) {
                const size_t i = size_t(y * 90 + x) * 3;
                see_through += black(x, y);
                bright += std::max({c[i], c[i + 1], c[i + 2]}) >= 200;
            }
        EXPECT_GT(see_through, 8100 / 3 / 2) << name;
        EXPECT_GT(bright, 60) << name;
        for (const Buffer& other : seen) EXPECT_NE(other, c) << name << " repeats another card";
        seen.push_back(c);
    }
}

TEST_F(BuiltinPack, TilingTexturesWrapBothWays) {
    for (const char* name : {"t_tex1.raw", "t_tun.raw", "t_thinki.raw"}) {
        const Buffer t = item(name);
        ASSERT_EQ(t.size(), 196608u) << name;
        expect_wraps(t, name, true);
        expect_wraps(t, name, false);
    }
    // The displaced texture is read with a row step of 255 texels, which joins
    // the end of each row to the start of the next: it must wrap across.
    const Buffer t2 = item("t_tex2.raw");
    ASSERT_EQ(t2.size(), 196608u);
    expect_wraps(t2, "t_tex2.raw", true);
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

// Every picture at its full size; two fresh runs agree with each other and
// with the build's own run in the built-in pack (test_models does the models).
TEST_F(BuiltinPack, RegeneratedPicturesMatchTheBuiltInPack) {
    ScopedDirectory first;
    ASSERT_TRUE(write_pictures(first.path));
    ScopedDirectory second;
    ASSERT_TRUE(write_pictures(second.path));
    std::filesystem::current_path(dir.path); // an empty directory: no loose file hides the pack
    for (const Expected& e : PICTURE_SIZES) {
        const std::vector<uint8_t> a = read_file(first.path + "/" + e.name);
        EXPECT_EQ(a.size(), e.size) << e.name;
        EXPECT_TRUE(a == read_file(second.path + "/" + e.name))
            << e.name << " differs between runs";
        EXPECT_TRUE(item(e.name) == a) << e.name << " differs from the built-in copy";
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
