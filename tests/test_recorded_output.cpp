// Recorded outputs: every effect, filler and table builder run on fixed
// pseudo-random inputs, its output bytes hashed and compared with the hash it
// gave when recorded. Any change of a pixel, depth word or table entry shows
// as a mismatch, with the new hash printed. Everything runs on the AVX-512
// and the AVX2 paths (each where the processor has it), the SSE2 paths and
// the plain loops; all must give the same bytes.
#include "core/cpu.h"
#include "data/render_resources.h"
#include "director/kernels.h"
#include "director/timeline_effects.h"
#include "effects/effect_tables.h"
#include "effects/fillers.h"
#include "effects/fog.h"
#include "effects/pictures.h"
#include "effects/tunnel.h"
#include "engine3d/math.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <tuple>
#include <vector>

namespace {

struct Hash {
    uint64_t value = 0xCBF29CE484222325ull; // FNV-1a, 64 bits
    void add(const void* data, size_t size) {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < size; i++) value = (value ^ p[i]) * 0x100000001B3ull;
    }
    template <class T> void add(const std::vector<T>& v) { add(v.data(), v.size() * sizeof(T)); }
    template <class T, size_t N> void add(const T (&a)[N]) { add(a, sizeof a); }
    template <class... T> void add_each(const T&... parts) { (add(parts), ...); }
};

struct Random {
    uint32_t seed;
    uint32_t next() { return seed = seed * 1664525u + 1013904223u; }
    int32_t below(int32_t n) { return int32_t((next() >> 8) % uint32_t(n)); }
    int32_t between(int32_t lo, int32_t hi) { return lo + below(hi - lo + 1); }
};

Buffer noise(size_t size, uint32_t seed) {
    Random r{seed};
    Buffer b(size);
    for (uint8_t& v : b) v = uint8_t(r.next() >> 24);
    return b;
}

// Noise with runs of black pixels, so the skip-black modes skip some.
Buffer picture_with_black(size_t pixels, uint32_t seed) {
    Buffer b = noise(pixels * 3, seed);
    for (size_t i = 0; i < pixels; i++)
        if ((i / 7) % 3 == 0) b[3 * i] = b[3 * i + 1] = b[3 * i + 2] = 0;
    return b;
}

std::vector<uint32_t>& frame() {
    return surface_virtual1->pixels;
}

void fill_frame(uint32_t seed) {
    Random r{seed};
    for (uint32_t& p : frame()) p = r.next() >> 8;
}

struct Inputs {
    Buffer picture = picture_with_black(FRAME_PIXELS, 1);
    Buffer picture2 = noise(size_t(FRAME_PIXELS) * 3, 2);
    Buffer texture = noise(TEXTURE_RGB_BYTES, 3);
    Buffer map1 = noise(FRAME_PIXELS, 4);
    Buffer map2 = noise(FRAME_PIXELS, 5);
    Buffer word = picture_with_black(259 * 105, 6);
    Buffer word_mask = noise(259 * 105, 7);
    Buffer grey = noise(256 * 256, 8);
};

const Inputs& inputs() {
    static const Inputs* made = [] {
        create_working_surface();
        build_angle_tables();
        init_effect_tables(ModeRecord{320, 200, 60, 32, 0xFF0000, 0xFF00, 0xFF});
        build_wave_table();
        build_sphere_table(320, 200, 100.0f, 250.0f);
        alloc_render_buffers(320, 200);
        build_plasma_table();
        build_band_tables();
        build_path_tables();
        build_row_offsets();
        return new Inputs;
    }();
    return *made;
}

// ---- the cases: each returns the hash of what it produced ----

uint64_t tables() {
    Hash h;
    h.add_each(sin_table, cos_table, tunnel_depth, tunnel_angle, column_order, wave_table,
               plasma_sine, band_wave, band_ripple, path_wave_long, path_wave_short, row_offset);
    h.add(sphere_table, size_t(FRAME_PIXELS) * 2);
    build_tunnel_tables(64, 30); // another size, then back
    h.add_each(tunnel_depth, tunnel_angle);
    build_tunnel_tables(FRAME_WIDTH, FRAME_HEIGHT);
    return h.value;
}

uint64_t pictures() {
    const Inputs& in = inputs();
    Hash h;
    for (uint8_t mode = 0; mode < 3; mode++) {
        fill_frame(10 + mode);
        draw_picture(in.picture, surface_virtual1, mode);
        h.add(frame());
    }
    const int32_t places[][2] = {{7, 90}, {-30, -40}, {200, 150}, {-258, 0}, {0, 199}, {61, -104}};
    for (uint8_t mode = 0; mode < 3; mode++) {
        fill_frame(20 + mode);
        for (const auto& at : places)
            draw_picture_at(in.word, surface_virtual1, mode, at[0], at[1], 259, 105);
        h.add(frame());
    }
    return h.value;
}

uint64_t blends() {
    const Inputs& in = inputs();
    Hash h;
    const int32_t places[][2] = {{7, 90}, {-30, -40}, {200, 150}, {61, -104}, {0, 0}};
    for (uint8_t alpha : {0, 1, 127, 128, 200, 255}) {
        fill_frame(30 + alpha);
        for (const auto& at : places)
            blend_picture_masked(in.word, surface_virtual1, in.word_mask, at[0], at[1], 259, 105,
                                 alpha);
        h.add(frame());
    }
    fill_frame(31);
    blend_picture_masked(in.picture2, surface_virtual1, in.map1, 0, 0, 320, 200, 255);
    blend_picture_masked(in.picture2, surface_virtual1, in.map2, 3, 1, 320, 200, 99);
    h.add(frame());
    return h.value;
}

uint64_t fades() {
    const Inputs& in = inputs();
    Hash h;
    const uint8_t steps[][3] = {{8, 8, 8}, {0, 1, 255}, {3, 200, 17}, {255, 255, 255}};
    fill_frame(40);
    for (const auto& s : steps) {
        fade_to_picture(in.picture2, surface_virtual1, s[0], s[1], s[2]);
        h.add(frame());
        fade_to_picture(in.picture, surface_virtual1, s[2], s[0], s[1]);
        h.add(frame());
    }
    return h.value;
}

uint64_t textures() {
    const Inputs& in = inputs();
    Hash h;
    for (int k = 0; k < 4; k++) {
        draw_tunnel(uint8_t(k * 77), uint8_t(k * 51 + 3), surface_virtual1, in.texture);
        h.add(frame());
        draw_rotated_texture(surface_virtual1, uint8_t(k * 37), uint8_t(255 - k * 11),
                             uint8_t(k * 70 + 5), in.texture);
        h.add(frame());
        draw_rotated_texture(surface_virtual1, uint8_t(k), uint8_t(k * 3), 0, in.texture);
        h.add(frame());
        draw_displaced_texture(uint8_t(k * 93), surface_virtual1, in.map1, in.map2, in.texture);
        h.add(frame());
    }
    return h.value;
}

uint64_t fog() {
    Hash h;
    const float ranges[][2] = {{300, 2000}, {1, 2}, {0.5f, 100}, {10, 10.5f}, {1e-6f, 1e7f}};
    int n = 0;
    for (const auto& r : ranges) {
        Random random{uint32_t(50 + n)};
        for (size_t i = 0; i < size_t(FRAME_PIXELS); i++) {
            // Mostly near the fog's limits, some anywhere, with stamps on top.
            const uint32_t v = random.next();
            const uint32_t e = (v & 3) ? (v >> 8) % 65536 : v >> 8;
            depth_buffer[i] = e | (random.next() & 0xFF000000u);
        }
        fill_frame(60 + n);
        apply_depth_fog(surface_virtual1, r[0], r[1], uint8_t(128 + n), uint8_t(n * 60), 255);
        h.add(frame());
        n++;
    }
    std::memset(depth_buffer, 0, depth_buffer_bytes);
    return h.value;
}

uint64_t frame_effects() {
    const Inputs& in = inputs();
    Hash h;
    const uint8_t phases[4] = {116, 32, 142, 70};
    std::memcpy(plasma_phase, phases, 4);
    std::memset(band_phase, 0, 4);
    const uint16_t offsets[4] = {100, 800, 300, 700};
    std::memcpy(path_offset, offsets, sizeof offsets);
    for (int k = 0; k < 3; k++) {
        draw_plasma(surface_virtual1);
        h.add(frame());
        fill_frame(70 + k);
        draw_light_bands(surface_virtual1);
        advance_band_phases();
        h.add(frame());
        set_path_rates(uint8_t(6 + k), 3, 6, uint8_t(2 * k));
        draw_path_dots(surface_virtual1, 255, 128, uint8_t(k));
        invert_path_dots(surface_virtual1);
        h.add(frame());
        draw_rotozoom(in.picture, surface_virtual1, 1.05f + k, 0.7f * float(k));
        draw_rotozoom(in.picture2, surface_virtual1, 0.01f, -3.0f);
        h.add(frame());
        Buffer map = in.map1;
        draw_cycling_mask(surface_virtual1, in.picture2, map);
        h.add_each(frame(), map);
        fill_frame(80 + k);
        for (int i = 0; i < 16; i++) {
            draw_dot_cell(uint16_t(280 + 10 * k), uint16_t(20 * i - 15 + k), uint8_t(17 * i),
                          surface_virtual1);
            draw_dot_cell(uint16_t(31 * i), uint16_t(193 - k), uint8_t(64 * k + i),
                          surface_virtual1);
        }
        h.add(frame());
    }
    return h.value;
}

FillVertex random_corner(Random& r, int32_t cx, int32_t cy, int32_t size) {
    FillVertex p{};
    // The comma operator keeps the draws in this order.
    p.x = cx + r.between(-size, size), p.y = cy + r.between(-size, size);
    p.z = r.between(1, 4000), p.u = r.below(512), p.v = r.below(256);
    p.shade = r.below(256), p.red = r.below(256), p.green = r.below(256), p.blue = r.below(256);
    return p;
}

// Many triangles of every size through each filler, over clip boxes that are
// the frame, a part of it and one cut by the frame's edges.
uint64_t fillers(bool wide_texels) {
    std::vector<uint32_t> fb(FRAME_PIXELS), depth(FRAME_PIXELS);
    std::vector<uint8_t> ids(FRAME_PIXELS);
    const Inputs& in = inputs();
    Buffer texels = in.texture, grey = in.grey;
    for (size_t i = 0; i < texels.size(); i += 3 * 97)
        texels[i] = texels[i + 1] = texels[i + 2] = 0;
    std::vector<uint32_t> words(256 * 256);
    for (size_t i = 0; i < words.size(); i++) words[i] = rgb_pixel(&texels[3 * i]);
    auto record = [](Buffer& b, size_t size, uint32_t* wide) {
        return TextureRecord{b.data(), 256, 256, 0, nullptr, uint32_t(size), wide};
    };
    TextureRecord rgb = record(texels, texels.size(), wide_texels ? words.data() : nullptr),
                  short_rgb = record(texels, 3 * 40000 + 2, nullptr),
                  grey_texture = record(grey, grey.size(), nullptr);
    using Fill = std::function<void(const FillVertex&, const FillVertex&, const FillVertex&)>;
    const std::vector<Fill> fills = {
        fill_depth_only,
        fill_gouraud,
        [&](auto& a, auto& b, auto& c) { fill_textured(a, b, c, &rgb); },
        [&](auto& a, auto& b, auto& c) { fill_textured(a, b, c, &short_rgb); },
        [&](auto& a, auto& b, auto& c) { fill_textured_shaded(a, b, c, &rgb); },
        [&](auto& a, auto& b, auto& c) { fill_additive(a, b, c, &grey_texture); },
        fill_wireframe,
        [&](auto& a, auto& b, auto& c) { fill_translucent(a, b, c, &rgb); },
        [&](auto& a, auto& b, auto& c) { fill_keyed_translucent(a, b, c, &rgb); },
    };
    const int32_t clips[][4] = {{0, 0, 319, 199}, {20, 10, 250, 150}, {0, 0, 319, 199}};
    Hash h;
    uint32_t seed = 90;
    for (const Fill& fill : fills) {
        for (int c = 0; c < 3; c++) {
            Random r{seed++};
            for (uint32_t& p : fb) p = r.next() >> 8;
            for (uint32_t& d : depth) d = r.next() >> 9;
            for (uint8_t& i : ids) i = uint8_t(r.below(3));
            fill_context = {fb.data(),       uint16_t(FRAME_WIDTH), 4,
                            clips[c][0],     clips[c][1],           clips[c][2],
                            clips[c][3],     depth.data(),          ids.data(),
                            uint8_t(40 + c), uint8_t(1 + c)};
            for (int t = 0; t < 300; t++) {
                // Small, medium and large triangles; the third set lies
                // around and past the frame's edges.
                const int32_t size = t % 3 == 0 ? 4 : t % 3 == 1 ? 25 : 160;
                const int32_t cx = c == 2 ? r.between(-200, 520) : r.between(0, 319);
                const int32_t cy = c == 2 ? r.between(-150, 350) : r.between(0, 199);
                const FillVertex a = random_corner(r, cx, cy, size);
                const FillVertex b = random_corner(r, cx, cy, size);
                const FillVertex d = random_corner(r, cx, cy, size);
                fill(a, b, d);
            }
            h.add_each(fb, depth, ids);
        }
    }
    return h.value;
}

struct Case {
    const char* name;
    uint64_t (*run)();
    uint64_t recorded;
};

const Case CASES[] = {
    {"tables", tables, 0x0D9856CE405E5722ull},
    {"pictures", pictures, 0x7A551FDFB04AF26Aull},
    {"blends", blends, 0xFEAE3FE24B147304ull},
    {"fades", fades, 0x0B315823A98C907Bull},
    {"textures", textures, 0xF75A820874A62661ull},
    {"fog", fog, 0xAD70834A2660B960ull},
    {"frame effects", frame_effects, 0xEE96FB486183A3C8ull},
    {"fillers", [] { return fillers(false); }, 0x1F643DA4605D77ACull},
    {"fillers on widened texels", [] { return fillers(true); }, 0x1F643DA4605D77ACull},
};

} // namespace

TEST(RecordedOutput, EveryRoutineGivesItsRecordedBytesOnEveryPath) {
    inputs();
    const bool has_avx2 = use_avx2, has_avx512 = use_avx512;
    const std::tuple<const char*, bool, bool, bool> paths[] = {{"AVX-512", true, true, true},
                                                               {"AVX2", true, true, false},
                                                               {"SSE2", true, false, false},
                                                               {"plain", false, false, false}};
    for (const auto& [path, simd, avx2, avx512] : paths) {
        if ((avx2 && !has_avx2) || (avx512 && !has_avx512)) continue; // this processor cannot
        use_simd = simd;
        use_avx2 = avx2;
        use_avx512 = avx512;
        choose_kernels();
        for (const Case& c : CASES) {
            const uint64_t got = c.run();
            EXPECT_EQ(got, c.recorded) << c.name << " (" << path << " paths) gives 0x" << std::hex
                                       << std::uppercase << got;
        }
    }
    use_simd = true;
    use_avx2 = has_avx2;
    use_avx512 = has_avx512;
    choose_kernels();
}
