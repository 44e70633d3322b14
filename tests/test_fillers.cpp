// The triangle fillers and shaded lines on a 320 x 200 frame whose buffers are
// fenced by canary rows; expected pixels and depth words are worked out by hand.
#include "data/render_resources.h"
#include "data/surface.h"
#include "effects/fillers.h"
#include "engine3d/scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int W = FRAME_WIDTH, H = FRAME_HEIGHT;
constexpr size_t FENCE = 4 * W; // canary entries before and after each buffer
constexpr uint32_t CANARY = 0xA5A5A5A5u;

struct TestTexture {
    std::vector<uint8_t> bytes; // exactly byte_size long, so overreads are caught
    TextureRecord record{};
    explicit TestTexture(size_t size, uint8_t fill = 0) : bytes(size, fill) {
        record.pixels = bytes.data();
        record.width = record.height = 256;
        record.byte_size = uint32_t(size);
    }
    void set_all(uint8_t r, uint8_t g, uint8_t b) {
        for (size_t i = 0; i + 2 < bytes.size(); i += 3)
            bytes[i] = r, bytes[i + 1] = g, bytes[i + 2] = b;
    }
};

// Texel (row, column) holds (column, row, 7).
TestTexture coordinate_texture() {
    TestTexture t(TEXTURE_RGB_BYTES);
    for (size_t i = 0; i < 65536; i++) {
        t.bytes[3 * i] = uint8_t(i & 255);
        t.bytes[3 * i + 1] = uint8_t(i >> 8);
        t.bytes[3 * i + 2] = 7;
    }
    return t;
}

FillVertex corner(int32_t x, int32_t y, int32_t z = 100, int32_t u = 0, int32_t v = 0,
                  int32_t shade = 255) {
    FillVertex p{};
    p.x = x, p.y = y, p.z = z, p.u = u, p.v = v, p.shade = shade;
    p.red = p.green = p.blue = 255;
    return p;
}

using Fill = std::function<void(const FillVertex&, const FillVertex&, const FillVertex&)>;

// Every variant that fills spans, with textures whose texels all draw.
std::vector<std::pair<std::string, Fill>> span_fillers(const TextureRecord* rgb,
                                                       const TextureRecord* grey) {
    return {{"depth only", fill_depth_only},
            {"gouraud", fill_gouraud},
            {"textured", [=](auto& a, auto& b, auto& c) { fill_textured(a, b, c, rgb); }},
            {"shaded", [=](auto& a, auto& b, auto& c) { fill_textured_shaded(a, b, c, rgb); }},
            {"additive", [=](auto& a, auto& b, auto& c) { fill_additive(a, b, c, grey); }},
            {"translucent", [=](auto& a, auto& b, auto& c) { fill_translucent(a, b, c, rgb); }},
            {"keyed", [=](auto& a, auto& b, auto& c) { fill_keyed_translucent(a, b, c, rgb); }}};
}

// Expected runs of drawn columns per row, first..last inclusive.
using Runs = std::map<int, std::pair<int, int>>;

class Fillers : public ::testing::Test {
  protected:
    std::vector<uint32_t> frame_store, depth_store;
    std::vector<uint8_t> id_store;
    TestTexture rgb{TEXTURE_RGB_BYTES}, grey{65536, 128};

    void SetUp() override {
        frame_store.assign(W * H + 2 * FENCE, CANARY);
        depth_store.assign(W * H + 2 * FENCE, CANARY);
        id_store.assign(W * H + 2 * FENCE, uint8_t(CANARY));
        reset();
        rgb.set_all(200, 100, 50);
    }

    void TearDown() override {
        size_t broken = 0;
        for (size_t i = 0; i < FENCE; i++)
            for (size_t at : {i, FENCE + W * H + i})
                broken += frame_store[at] != CANARY || depth_store[at] != CANARY ||
                          id_store[at] != uint8_t(CANARY);
        EXPECT_EQ(broken, 0u) << "a filler wrote outside its buffers";
    }

    // Clears the frame and both buffers and restores the default context.
    void reset() {
        std::fill(frame_store.begin() + FENCE, frame_store.end() - FENCE, 0u);
        std::fill(depth_store.begin() + FENCE, depth_store.end() - FENCE, 0u);
        std::fill(id_store.begin() + FENCE, id_store.end() - FENCE, 0);
        fill_context = {&pixel(0, 0), W, 4, 0, 0, W - 1, H - 1, &depth(0, 0), &id(0, 0), 1, 1};
    }

    uint32_t& pixel(int x, int y) { return frame_store[FENCE + size_t(y) * W + x]; }
    uint32_t& depth(int x, int y) { return depth_store[FENCE + size_t(y) * W + x]; }
    uint8_t& id(int x, int y) { return id_store[FENCE + size_t(y) * W + x]; }
    bool touched(int x, int y) { return pixel(x, y) || depth(x, y) || id(x, y); }

    int touched_count() {
        int n = 0;
        for (int i = 0; i < W * H; i++) n += touched(i % W, i / W);
        return n;
    }

    // Compares the touched pixels with the expected runs; reports the first miss.
    void expect_runs(const Runs& runs, const std::string& what) {
        for (int y = 0; y < H; y++) {
            const auto row = runs.find(y);
            for (int x = 0; x < W; x++) {
                const bool inside =
                    row != runs.end() && x >= row->second.first && x <= row->second.second;
                if (touched(x, y) != inside) {
                    ADD_FAILURE() << what << ": pixel (" << x << ", " << y << ") "
                                  << (inside ? "not drawn" : "drawn");
                    return;
                }
            }
        }
    }
};

TEST_F(Fillers, DegenerateInputDrawsNothing) {
    const FillVertex a = corner(10, 50), b = corner(200, 50), c = corner(100, 50);
    for (auto& [name, fill] : span_fillers(&rgb.record, &grey.record)) {
        fill(a, b, c);
        fill(corner(10, 10), corner(100, 10, 0), corner(50, 60));
        EXPECT_EQ(touched_count(), 0) << name << " on one row or with a corner at z = 0";
    }
    fill_wireframe(a, b, c);
    draw_shaded_line(40, 40, 40, 40, 255, 255, 255, 255, 255);
    const FillVertex p = corner(10, 10), q = corner(100, 10), r = corner(50, 60);
    fill_type4(p, q, r, LightSource{});
    TestTexture none(4, 255), short_rgb(2, 255);
    none.record.pixels = nullptr;
    for (const TextureRecord* t : {&none.record, &short_rgb.record, (TextureRecord*)nullptr}) {
        fill_textured(p, q, r, t);
        fill_translucent(p, q, r, t);
        if (t != &short_rgb.record) fill_additive(p, q, r, t); // two grey texels are enough
    }
    fill_context.depth_buffer = nullptr;
    fill_gouraud(p, q, r);
    fill_context.depth_buffer = &depth(0, 0);
    fill_context.id_buffer = nullptr;
    fill_translucent(p, q, r, &rgb.record);
    EXPECT_EQ(touched_count(), 0);
}

TEST_F(Fillers, EdgesCoverTheirRowsAndFlatBottomsLoseTheLastRow) {
    // Long edge 10 -> 20 and short edge 10 -> 0 over 4 rows, 2.5 columns a row.
    const Runs flat_bottom = {{11, {7, 11}}, {12, {5, 14}}, {13, {2, 16}}};
    // Long edge 0 -> 10 over 3 rows steps 218453 (3.33 truncated), so row 13
    // ends at 655359 (column 9) against the short edge's exact 10.
    const Runs flat_top = {{10, {0, 39}}, {11, {3, 29}}, {12, {6, 19}}, {13, {9, 9}}};
    // Long edge 20 -> 30 over 10 rows; short edges 20 -> 10 over 4 rows (-2.5 a
    // row), then 10 -> 30 over 6 rows, stepping 218453 (3.33 truncated).
    const Runs both_parts = {{11, {17, 20}}, {12, {15, 21}}, {13, {12, 22}}, {14, {10, 23}},
                             {15, {13, 24}}, {16, {16, 25}}, {17, {19, 26}}, {18, {23, 27}},
                             {19, {26, 28}}, {20, {29, 29}}};
    for (auto& [name, fill] : span_fillers(&rgb.record, &grey.record)) {
        reset();
        fill(corner(20, 10), corner(10, 14), corner(30, 20));
        expect_runs(both_parts, name + " upper and lower part");
        reset();
        fill(corner(10, 10), corner(0, 14), corner(20, 14));
        expect_runs(flat_bottom, name + " flat bottom");
        reset();
        fill(corner(0, 10), corner(40, 10), corner(10, 13));
        expect_runs(flat_top, name + " flat top");
    }
    // A span to column 320 stops before the clip-right column (far beyond it:
    // FarOutsideCornersStayInsideTheFrame).
    reset();
    fill_gouraud(corner(0, 10), corner(320, 10), corner(0, 20));
    EXPECT_EQ(pixel(318, 10), 0xFEFEFEu);
    EXPECT_FALSE(touched(319, 10));
}

TEST_F(Fillers, DepthWordsComeFromOneOverZ) {
    fill_context.frame_stamp = 5;
    fill_depth_only(corner(20, 20, 256), corner(90, 25, 256), corner(40, 80, 256));
    EXPECT_EQ(depth(40, 40), 0x0500FFFFu); // (5 << 24) + trunc(16777215 / 256)

    // Against z 1 -> 4 (depth 16777215 - 125829 x) a face at z 2 (depth
    // 8388607) loses up to column 66 and wins from 67; an older stamp always loses.
    reset();
    fill_depth_only(corner(0, 10, 1), corner(100, 10, 4), corner(0, 20, 1));
    fill_gouraud(corner(0, 10, 2), corner(100, 10, 2), corner(0, 20, 2));
    EXPECT_EQ(pixel(66, 10), 0u);
    EXPECT_EQ(pixel(67, 10), 0xFEFEFEu);
    EXPECT_EQ(depth(67, 10), (1u << 24) + 8388607u);
    fill_context.frame_stamp = 2;
    fill_gouraud(corner(0, 10, 1000), corner(100, 10, 1000), corner(0, 20, 1000));
    EXPECT_EQ(depth(0, 10), (2u << 24) + 16777u);
}

TEST_F(Fillers, ShadesTexelsAndTranslucency) {
    FillVertex a = corner(10, 10, 100, 0, 0, 128), b = corner(60, 10, 100, 0, 0, 128),
               c = corner(10, 40, 100, 0, 0, 128);
    a.red = 200, a.green = 100, a.blue = 50;
    b.red = b.green = b.blue = c.red = c.green = c.blue = 0; // only the first corner counts
    fill_gouraud(a, b, c);
    EXPECT_EQ(pixel(20, 15), 0x643219u);

    reset();
    rgb.set_all(255, 128, 1);
    a.shade = b.shade = c.shade = 255;
    fill_textured_shaded(a, b, c, &rgb.record);
    EXPECT_EQ(pixel(20, 15), 0xFE7F00u); // 255*255/256, 128*255/256, 1*255/256 truncated

    // Column u >> 16 is not masked: column 300 of row 5 is column 44 of row 6.
    TestTexture tex = coordinate_texture();
    for (auto& k : {std::array<int, 4>{20, 5, 20, 5}, {300, 5, 44, 6}, {10, 260, 10, 4}}) {
        reset();
        fill_textured(corner(10, 10, 100, k[0], k[1]), corner(60, 10, 100, k[0], k[1]),
                      corner(10, 40, 100, k[0], k[1]), &tex.record);
        EXPECT_EQ(pixel(20, 15), uint32_t(k[2] << 16 | k[3] << 8 | 7)) << k[0] << ", " << k[1];
    }

    reset();
    rgb.set_all(255, 255, 255);
    pixel(20, 15) = 0x0382FF;
    fill_translucent(corner(10, 10), corner(60, 10), corner(10, 40), &rgb.record);
    EXPECT_EQ(pixel(20, 15), 0x7EBEFCu); // (252 + 0) / 2, (252 + 128) / 2, (252 + 252) / 2
}

TEST_F(Fillers, ClippedSpansStartWithEveryAttributeStepped) {
    // Row 10: u 0 -> 200, v 0 -> 50, z 1 -> 2 over columns 0..100.
    TestTexture tex = coordinate_texture();
    fill_context.clip_left = 10;
    fill_textured(corner(0, 10, 1), corner(100, 10, 2, 200, 50), corner(0, 20, 1), &tex.record);
    EXPECT_EQ(pixel(9, 10), 0u);
    EXPECT_EQ(pixel(10, 10), 0x140507u); // u 20, v 5
    // trunc(-0.5 * 16777215 / 100) = -83886 a column
    EXPECT_EQ(depth(10, 10), (1u << 24) + 16777215u - 10 * 83886u);

    reset();
    fill_context.clip_left = 10;
    FillVertex a = corner(0, 10, 1, 0, 0, 0), c = corner(0, 20, 1, 0, 0, 0);
    fill_gouraud(a, corner(100, 10, 2, 0, 0, 200), c);
    EXPECT_EQ(pixel(10, 10), 0x131313u); // shade 20: 20 * 65536 * 255 >> 24 = 19

    // Clipping never changes what is drawn right of the clip edge.
    a.shade = 30, c.shade = 250;
    const FillVertex b = corner(290, 90, 7, 500, 255, 90);
    for (auto& [name, fill] : span_fillers(&tex.record, &grey.record)) {
        reset();
        fill(a, b, c);
        const std::vector<uint32_t> frame = frame_store, depths = depth_store;
        reset();
        fill_context.clip_left = 37;
        fill(a, b, c);
        int differ = 0;
        for (int i = 0; i < W * H; i++) {
            const size_t at = FENCE + size_t(i);
            differ += i % W < 37 ? touched(i % W, i / W)
                                 : frame[at] != frame_store[at] || depths[at] != depth_store[at];
        }
        EXPECT_EQ(differ, 0) << name;
    }
}

TEST_F(Fillers, IdsLetEachObjectBlendOnce) {
    rgb.set_all(255, 255, 255);
    fill_translucent(corner(10, 10, 100), corner(60, 10, 100), corner(10, 40, 100), &rgb.record);
    const uint32_t far_depth = depth(20, 15);
    fill_translucent(corner(10, 10, 50), corner(60, 10, 50), corner(10, 40, 50), &rgb.record);
    EXPECT_EQ(pixel(20, 15), 0x7E7E7Eu) << "same object blends once";
    EXPECT_EQ(depth(20, 15), far_depth);

    fill_context.object_id = 2;
    fill_translucent(corner(10, 10, 40), corner(60, 10, 40), corner(10, 40, 40), &rgb.record);
    EXPECT_EQ(pixel(20, 15), 0xBCBCBCu) << "another object blends again: (252 + 124) / 2";

    fill_context.frame_stamp = 2; // a new frame without clearing the ids
    fill_translucent(corner(10, 10, 40), corner(60, 10, 40), corner(10, 40, 40), &rgb.record);
    fill_keyed_translucent(corner(10, 10, 40), corner(60, 10, 40), corner(10, 40, 40), &rgb.record);
    fill_additive(corner(10, 10, 40), corner(60, 10, 40), corner(10, 40, 40), &grey.record);
    EXPECT_EQ(pixel(20, 15), 0xBCBCBCu) << "ids left from an earlier frame";
}

TEST_F(Fillers, AdditiveFacesAreHiddenButHideNothing) {
    for (int y = 0; y < 60; y++)
        for (int x = 0; x < 200; x++) pixel(x, y) = 0x64C80A;
    fill_depth_only(corner(0, 0, 10), corner(100, 0, 10), corner(0, 60, 10));

    FillVertex a = corner(0, 0, 100, 0, 0), b = corner(200, 0, 100), c = corner(0, 60, 100);
    a.red = 255, a.green = 255, a.blue = 0;
    fill_additive(a, b, c, &grey.record);
    EXPECT_EQ(pixel(10, 10), 0x64C80Au) << "hidden behind the nearer face";
    EXPECT_EQ(id(10, 10), 0);
    EXPECT_EQ(pixel(120, 10), 0xE3FF0Au) << "100 + 127, 200 + 127 saturated, 10 + 0";
    EXPECT_EQ(id(120, 10), 1);
    EXPECT_EQ(depth(120, 10), 0u);

    fill_context.object_id = 2;
    fill_gouraud(corner(100, 0, 500), corner(200, 0, 500), corner(100, 60, 500));
    EXPECT_EQ(pixel(120, 10), 0xFEFEFEu) << "a farther face drawn later still shows";
}

TEST_F(Fillers, KeyedBlackTexelsChangeNothing) {
    TestTexture tex(TEXTURE_RGB_BYTES);
    for (size_t i = 0; i < 65536; i++)
        if ((i & 255) >= 128)
            tex.bytes[3 * i] = 200, tex.bytes[3 * i + 1] = 100, tex.bytes[3 * i + 2] = 50;
    for (int x = 0; x < 256; x++) pixel(x, 10) = 0x643218;
    fill_keyed_translucent(corner(0, 10), corner(256, 10, 100, 256), corner(0, 30), &tex.record);
    EXPECT_EQ(pixel(100, 10), 0x643218u);
    EXPECT_EQ(depth(100, 10), 0u);
    EXPECT_EQ(id(100, 10), 0);
    EXPECT_EQ(pixel(200, 10), 0x964B25u); // (100 + 200) / 2, (50 + 100) / 2, (24 + 50) / 2
    EXPECT_NE(depth(200, 10), 0u);
    EXPECT_EQ(id(200, 10), 1);
}

TEST_F(Fillers, LinesStayStrictlyInsideTheClipBox) {
    draw_shaded_line(-50, 100, 400, 100, 255, 255, 255, 255, 255);
    draw_shaded_line(-1000000000, 50, 1000000000, 50, 255, 255, 255, 255, 255);
    expect_runs({{50, {1, 318}}, {100, {1, 318}}}, "lines across the frame");
    EXPECT_EQ(pixel(1, 50), 0xFEFEFEu);

    reset();
    draw_shaded_line(10, 0, 100, 0, 255, 255, 255, 255, 255);
    draw_shaded_line(319, 10, 319, 100, 255, 255, 255, 255, 255);
    draw_shaded_line(0, 10, 0, 100, 255, 255, 255, 255, 255);
    draw_shaded_line(10, 199, 100, 199, 255, 255, 255, 255, 255);
    draw_shaded_line(10, -5, 300, -40, 255, 255, 255, 255, 255);
    EXPECT_EQ(touched_count(), 0);

    // The start is drawn, the end is not; shades ramp and channels saturate.
    pixel(15, 20) = 0xC8C8C8;
    draw_shaded_line(20, 20, 10, 20, 255, 128, 0, 255, 0);
    EXPECT_EQ(pixel(10, 20), 0u) << "shade 0 at the start";
    EXPECT_EQ(pixel(19, 20), 0xE47200u); // shade 229.5: 255 * 15040512 >> 24, 128 * ...
    EXPECT_EQ(pixel(20, 20), 0u) << "the end point";
    EXPECT_EQ(pixel(15, 20), 0xFFFFC8u); // 200 + 127 and 200 + 63, saturated

    // A wireframe: three lines in the first corner's colour.
    reset();
    FillVertex a = corner(10, 10), b = corner(50, 10), c = corner(10, 50);
    a.green = a.blue = 0;
    b.red = c.red = 0;
    fill_wireframe(a, b, c);
    EXPECT_EQ(pixel(10, 10), 0xFF0000u) << "two lines meet: 254 + 254 saturates";
    EXPECT_EQ(pixel(30, 30), 0xFE0000u);
    EXPECT_EQ(touched_count(), 40 + 40 + 40 - 1);
}

TEST_F(Fillers, ShortTexturesWrapWithinTheirTexels) {
    // An 8-bit-sized texture used as RGB holds 21845 texels: index 100 * 256 + 200
    // = 25800 wraps to 3955, bytes 11865..11867.
    TestTexture small(65536);
    for (size_t i = 0; i < small.bytes.size(); i++) small.bytes[i] = uint8_t(i);
    fill_textured(corner(10, 10, 100, 200, 100), corner(60, 10, 100, 200, 100),
                  corner(10, 40, 100, 200, 100), &small.record);
    EXPECT_EQ(pixel(20, 15), 0x595A5Bu);

    // Ten texels: every fetch of every variant stays inside them.
    TestTexture tiny(30, 0x40), tiny_grey(10, 0x40);
    for (auto& [name, fill] : span_fillers(&tiny.record, &tiny_grey.record)) {
        reset();
        fill(corner(-20, -10, 50, 0, 0), corner(400, 20, 60, 511, 255),
             corner(30, 230, 70, 300, 128));
        EXPECT_GT(touched_count(), 10000) << name;
    }
}

TEST_F(Fillers, FarOutsideCornersStayInsideTheFrame) {
    // Edges at -40000 + 401.6 y and 40000 - 398.4 y (steps 26318848 and
    // -26109542): every row 0..99 covers the frame, row 100 keeps one pixel.
    fill_depth_only(corner(-40000, 0), corner(40000, 0), corner(160, 100));
    Runs full_rows = {{100, {159, 159}}}; // 10444800 >> 16 against 10485800 >> 16
    for (int y = 0; y < 100; y++) full_rows[y] = {0, 318};
    expect_runs(full_rows, "wide triangle");

    // Long edge steps 96 (96.69 truncated) from column 10 over 61000 rows: at
    // row y it is at 655360 + 96 * (60000 + y), column 97 up to row 74, then 98.
    reset();
    fill_depth_only(corner(10, -60000), corner(10, 1000), corner(100, 1000));
    Runs stepped;
    for (int y = 0; y < H; y++) stepped[y] = {10, y <= 74 ? 96 : 97};
    expect_runs(stepped, "edge from 60000 rows above");

    // Step 5 (5.89 truncated) over 1001000 rows: column 86 on rows 0..199.
    reset();
    fill_depth_only(corner(10, -1000000), corner(10, 1000), corner(100, 1000));
    Runs jumped;
    for (int y = 0; y < H; y++) jumped[y] = {10, 85};
    expect_runs(jumped, "edge from a million rows above");

    for (auto& [name, fill] : span_fillers(&rgb.record, &grey.record)) {
        reset();
        fill(corner(INT_MIN, INT_MIN), corner(INT_MAX, INT_MIN), corner(0, INT_MAX));
        EXPECT_EQ(touched_count(), 319 * H) << name;
    }
    // Far lines cross the frame nowhere but on row 100, where the two lines
    // from the left corner run (their row step 20 / 2^32 truncates to 0).
    reset();
    fill_wireframe(corner(INT_MIN, INT_MIN), corner(INT_MAX, INT_MIN), corner(0, INT_MAX));
    fill_wireframe(corner(INT_MIN, 100), corner(INT_MAX, 120), corner(INT_MAX, 121));
    expect_runs({{100, {1, 318}}}, "far wireframes");
    EXPECT_EQ(pixel(1, 100), 0xFFFFFFu);
}

} // namespace
