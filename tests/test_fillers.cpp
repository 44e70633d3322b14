// The triangle fillers and shaded lines on a 320 x 200 frame whose buffers are
// fenced by canary rows: which pixels they cover, clipping, refused input and
// far-off corners. Their exact pixels, depth words and ids on many triangles
// are pinned by test_recorded_output.
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
};

// Texel (row, column) holds (column, row, 7).
TestTexture coordinate_texture() {
    TestTexture t(TEXTURE_RGB_BYTES);
    for (size_t i = 0; i < 65536; i++) {
        t.bytes[3 * i] = uint8_t(i);
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

FillCorner ready(const FillVertex& p) {
    return {{p.x, p.u, p.v, p.shade}, p.y, fill_corner_depth(p.z)};
}

// The face between two that lie behind the viewer (a corner at z = 0), as
// one run; they would cover the whole frame.
void fill_shaded_run(const FillVertex& a, const FillVertex& b, const FillVertex& c,
                     const TextureRecord* texture) {
    const FillCorner behind[3] = {ready(corner(0, 0)), ready(corner(319, 0, 0)),
                                  ready(corner(0, 199))};
    const FillCorner run[9] = {behind[0], behind[1], behind[2], ready(a), ready(b),
                               ready(c),  behind[1], behind[0], behind[2]};
    fill_textured_shaded_corners(run, 3, texture);
}

// Every variant that fills spans, with textures whose texels all draw.
std::vector<std::pair<std::string, Fill>> span_fillers(const TextureRecord* rgb,
                                                       const TextureRecord* grey) {
    return {{"depth only", fill_depth_only},
            {"gouraud", fill_gouraud},
            {"textured", [=](auto& a, auto& b, auto& c) { fill_textured(a, b, c, rgb); }},
            {"shaded", [=](auto& a, auto& b, auto& c) { fill_textured_shaded(a, b, c, rgb); }},
            {"shaded run", [=](auto& a, auto& b, auto& c) { fill_shaded_run(a, b, c, rgb); }},
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
    TestTexture rgb{TEXTURE_RGB_BYTES, 100}, grey{65536, 128};

    void SetUp() override {
        frame_store.assign(W * H + 2 * FENCE, CANARY);
        depth_store.assign(W * H + 2 * FENCE, CANARY);
        id_store.assign(W * H + 2 * FENCE, uint8_t(CANARY));
        reset();
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

// Every variant walks the same rows: the top corner's row stays empty, the
// bottom corner's row is drawn. (Flat tops and bottoms, among many more
// triangles, are pinned by test_recorded_output.)
TEST_F(Fillers, EdgesCoverTheRowsBelowTheTopCorner) {
    // Long edge 20 -> 30 over 10 rows; short edges 20 -> 10 over 4 rows (-2.5 a
    // row), then 10 -> 30 over 6 rows, stepping 218453 (3.33 truncated).
    const Runs both_parts = {{11, {17, 20}}, {12, {15, 21}}, {13, {12, 22}}, {14, {10, 23}},
                             {15, {13, 24}}, {16, {16, 25}}, {17, {19, 26}}, {18, {23, 27}},
                             {19, {26, 28}}, {20, {29, 29}}};
    for (auto& [name, fill] : span_fillers(&rgb.record, &grey.record)) {
        reset();
        fill(corner(20, 10), corner(10, 14), corner(30, 20));
        expect_runs(both_parts, name);
    }
}

// A see-through face draws only where it is nearer than what is there: at
// exactly the stored depth, another object's pixels, depth and ids stay; one
// step nearer it draws.
TEST_F(Fillers, SeeThroughFacesDrawOnlyWhereNearer) {
    const auto at = [](int32_t z) {
        return std::array<FillVertex, 3>{corner(10, 10, z), corner(200, 30, z), corner(40, 150, z)};
    };
    for (auto& [name, fill] : span_fillers(&rgb.record, &grey.record)) {
        if (name != "additive" && name != "translucent" && name != "keyed") continue;
        reset();
        const auto same = at(100), nearer = at(99);
        fill_gouraud(same[0], same[1], same[2]);
        const std::vector<uint32_t> frame = frame_store, depths = depth_store;
        const std::vector<uint8_t> ids = id_store;
        fill_context.object_id = 2;
        fill(same[0], same[1], same[2]);
        EXPECT_TRUE(frame == frame_store && depths == depth_store && ids == id_store) << name;
        fill(nearer[0], nearer[1], nearer[2]);
        EXPECT_FALSE(frame == frame_store && ids == id_store) << name << ": one step nearer";
    }
}

// Clipping never changes what is drawn right of the clip edge, nor draws left of it.
TEST_F(Fillers, ClippingKeepsTheSpansRightOfTheClipEdge) {
    TestTexture tex = coordinate_texture();
    const FillVertex a = corner(0, 10, 1, 0, 0, 30), c = corner(0, 20, 1, 0, 0, 250);
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

TEST_F(Fillers, LinesStayStrictlyInsideTheClipBox) {
    draw_shaded_line(-50, 100, 400, 100, 255, 255, 255, 255, 255);
    draw_shaded_line(-1000000000, 50, 1000000000, 50, 255, 255, 255, 255, 255);
    expect_runs({{50, {1, 318}}, {100, {1, 318}}}, "lines across the frame");

    reset();
    draw_shaded_line(10, 0, 100, 0, 255, 255, 255, 255, 255);
    draw_shaded_line(319, 10, 319, 100, 255, 255, 255, 255, 255);
    draw_shaded_line(0, 10, 0, 100, 255, 255, 255, 255, 255);
    draw_shaded_line(10, 199, 100, 199, 255, 255, 255, 255, 255);
    draw_shaded_line(10, -5, 300, -40, 255, 255, 255, 255, 255);
    EXPECT_EQ(touched_count(), 0);

    // A wireframe: three lines, each drawn from its start up to before its end.
    fill_wireframe(corner(10, 10), corner(50, 10), corner(10, 50));
    EXPECT_EQ(touched_count(), 40 + 40 + 40 - 1);
}

TEST_F(Fillers, TinyTexturesAreNeverReadPastTheirEnd) {
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
