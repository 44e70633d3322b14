// Fill rate of every triangle filler on small, medium and frame-sized
// triangles, in pixels per second (items = pixels the triangles cover).
#include "data/render_resources.h"
#include "data/surface.h"
#include "director/kernels.h"
#include "effects/fillers.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using Triangle = std::array<FillVertex, 3>;
using FillWithTexture = void (*)(const FillVertex&, const FillVertex&, const FillVertex&,
                                 const TextureRecord*);

void depth_only(const FillVertex& a, const FillVertex& b, const FillVertex& c,
                const TextureRecord*) {
    fill_depth_only(a, b, c);
}
void gouraud(const FillVertex& a, const FillVertex& b, const FillVertex& c, const TextureRecord*) {
    fill_gouraud(a, b, c);
}
void wireframe(const FillVertex& a, const FillVertex& b, const FillVertex& c,
               const TextureRecord*) {
    fill_wireframe(a, b, c);
}

struct Variant {
    const char* name;
    FillWithTexture fill;
    bool grey_texture;
};

const Variant VARIANTS[] = {
    {"depth_only", depth_only, false},        {"gouraud", gouraud, false},
    {"textured", fill_textured, false},       {"textured_shaded", fill_textured_shaded, false},
    {"additive", fill_additive, true},        {"wireframe", wireframe, false},
    {"translucent", fill_translucent, false}, {"keyed_translucent", fill_keyed_translucent, false},
};

enum SizeClass { SMALL, MEDIUM, FRAME_SIZED };
const char* const SIZE_NAMES[] = {"small", "medium", "frame"};

struct Buffers {
    std::vector<uint32_t> frame = std::vector<uint32_t>(FRAME_PIXELS);
    std::vector<uint32_t> depth = std::vector<uint32_t>(FRAME_PIXELS);
    std::vector<uint8_t> ids = std::vector<uint8_t>(FRAME_PIXELS);
    std::vector<uint8_t> rgb_texels = std::vector<uint8_t>(TEXTURE_RGB_BYTES);
    std::vector<uint8_t> grey_texels = std::vector<uint8_t>(TEXTURE_SIZE * TEXTURE_SIZE);
    std::vector<uint32_t> rgb_words = std::vector<uint32_t>(TEXTURE_SIZE * TEXTURE_SIZE);
    TextureRecord rgb{}, grey{};

    Buffers() {
        choose_kernels();
        for (size_t i = 0; i < rgb_texels.size(); i++) rgb_texels[i] = uint8_t(i * 7 + 1);
        for (size_t i = 0; i < grey_texels.size(); i++) grey_texels[i] = uint8_t(i * 3 + 1);
        for (size_t i = 0; i < rgb_words.size(); i++)
            rgb_words[i] = uint32_t(rgb_texels[3 * i]) << 16 |
                           uint32_t(rgb_texels[3 * i + 1]) << 8 | rgb_texels[3 * i + 2];
        // Widened as texture_load widens the show's textures.
        rgb = {rgb_texels.data(), 256, 256, 0, nullptr, uint32_t(rgb_texels.size()),
               rgb_words.data()};
        grey = {grey_texels.data(), 256, 256, 0, nullptr, uint32_t(grey_texels.size()), nullptr};
        fill_context =
            FillContext{frame.data(),     uint16_t(FRAME_WIDTH), 4,          0, 0, FRAME_WIDTH - 1,
                        FRAME_HEIGHT - 1, depth.data(),          ids.data(), 1, 1};
    }

    void clear() {
        std::fill(frame.begin(), frame.end(), 0u);
        std::fill(depth.begin(), depth.end(), 0u);
        std::fill(ids.begin(), ids.end(), 0);
    }
};

FillVertex corner(int32_t x, int32_t y, int32_t z, uint32_t& seed) {
    auto next = [&seed](uint32_t range) {
        seed = seed * 1664525u + 1013904223u;
        return int32_t((seed >> 8) % range);
    };
    FillVertex p{};
    p.x = x, p.y = y, p.z = z;
    p.u = next(256), p.v = next(256), p.shade = 64 + next(192);
    p.red = 200, p.green = 150, p.blue = 100;
    return p;
}

// Triangles scattered over the frame, each a little nearer than the last so
// that overlaps pass the depth test.
std::vector<Triangle> make_triangles(SizeClass size) {
    uint32_t seed = 12345;
    auto next = [&seed](int32_t range) {
        seed = seed * 1664525u + 1013904223u;
        return int32_t((seed >> 8) % uint32_t(range));
    };
    std::vector<Triangle> out;
    if (size == FRAME_SIZED) {
        out.push_back(
            {corner(-1, -1, 500, seed), corner(330, -1, 400, seed), corner(-1, 210, 300, seed)});
        out.push_back(
            {corner(330, -1, 400, seed), corner(330, 210, 200, seed), corner(-1, 210, 300, seed)});
        return out;
    }
    const int32_t extent = size == SMALL ? 12 : 64;
    const int count = size == SMALL ? 400 : 40;
    for (int i = 0; i < count; i++) {
        const int32_t x = next(FRAME_WIDTH - extent), y = next(FRAME_HEIGHT - extent);
        const int32_t z = 4000 - i * 4;
        out.push_back({corner(x + next(extent), y, z, seed),
                       corner(x + extent, y + next(extent), z + 1, seed),
                       corner(x, y + extent - next(extent / 2), z + 2, seed)});
    }
    return out;
}

// Pixels a variant touches when it draws each triangle alone.
int64_t covered_pixels(Buffers& buffers, const Variant& variant,
                       const std::vector<Triangle>& triangles) {
    const TextureRecord* texture = variant.grey_texture ? &buffers.grey : &buffers.rgb;
    int64_t total = 0;
    for (const Triangle& t : triangles) {
        buffers.clear();
        variant.fill(t[0], t[1], t[2], texture);
        for (int i = 0; i < FRAME_PIXELS; i++)
            total += buffers.frame[i] || buffers.depth[i] || buffers.ids[i];
    }
    return total;
}

void run_fill(benchmark::State& state, const Variant* variant, SizeClass size) {
    Buffers buffers;
    const std::vector<Triangle> triangles = make_triangles(size);
    const int64_t pixels = covered_pixels(buffers, *variant, triangles);
    const TextureRecord* texture = variant->grey_texture ? &buffers.grey : &buffers.rgb;
    buffers.clear();
    uint8_t object = 1;
    for (auto _ : state) {
        // A new frame stamp each pass, as the renderer does, so the depth test
        // passes; the buffer is cleared when the stamp starts over.
        if (++fill_context.frame_stamp == 127) {
            std::fill(buffers.depth.begin(), buffers.depth.end(), 0u);
            fill_context.frame_stamp = 0;
        }
        for (const Triangle& t : triangles) {
            fill_context.object_id = object = uint8_t(object % 255 + 1);
            variant->fill(t[0], t[1], t[2], texture);
        }
        benchmark::DoNotOptimize(buffers.frame.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pixels);
    state.counters["pixels_per_pass"] = double(pixels);
}

const bool registered = [] {
    for (const Variant& variant : VARIANTS) {
        for (SizeClass size : {SMALL, MEDIUM, FRAME_SIZED}) {
            const std::string name =
                std::string("BM_fill_") + variant.name + "/" + SIZE_NAMES[size];
            benchmark::RegisterBenchmark(name.c_str(), run_fill, &variant, size);
        }
    }
    return true;
}();

} // namespace
