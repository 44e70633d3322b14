// The triangle fillers' per-pixel rules and the texel fetches they read
// through. Each rule names the attributes it reads (uses) and either the
// colour of a pixel that passes the depth test (pixel; fill_lanes_simd.h
// gives some rules a second form on the AVX2 lanes) or the whole pixel
// (operator()).
#pragma once

#include "effects/effect_tables.h"
#include "effects/fill_common.h"
#include "effects/fill_lanes.h"

#include <cstddef>
#include <cstdint>

namespace fill {

// Where a span writes.
struct Targets {
    uint32_t* frame;
    uint32_t* depth;
    uint8_t* ids;
    uint8_t object_id;

    // The see-through rules draw a pixel nearer than what is there, and only
    // once per object.
    bool shows_through(size_t i, uint32_t word) const {
        return depth[i] < word && ids[i] != object_id;
    }
    // They mark what they draw with the object's id (and the depth word).
    void mark(size_t i) const { ids[i] = object_id; }
    void mark(size_t i, uint32_t word) const {
        depth[i] = word;
        ids[i] = object_id;
    }
};

// ---- texels ----

// Column u >> 16 is not masked: columns of 256 and more carry into the next row.
inline uint32_t texel_index(uint32_t u, uint32_t v) {
    return (((v >> 16) & 255u) * 256u + (u >> 16)) & 0xFFFFu;
}

// A full texture is indexed directly; a short one wraps the index within the
// texels it has, so no fetch reads past its end.
template <int Bytes, bool Wrapped> struct Texels {
    const uint8_t* pixels;
    uint32_t count;
    const uint8_t* at(uint32_t u, uint32_t v) const {
        uint32_t t = texel_index(u, v);
        if constexpr (Wrapped) t %= count;
        return pixels + size_t(t) * Bytes;
    }
    uint32_t word(uint32_t u, uint32_t v) const { return rgb_pixel(at(u, v)); }
};

// A full texture widened to words at load: one read a texel.
struct WideTexels {
    const uint32_t* words;
    uint32_t word(uint32_t u, uint32_t v) const { return words[texel_index(u, v)]; }
};

// ---- per-pixel rules ----

struct DepthOnlyRule {
    static constexpr unsigned uses = 0;
    Targets t;
    void operator()(size_t i, uint32_t, uint32_t, uint32_t, uint32_t word) const {
        if (t.depth[i] < word) t.depth[i] = word;
    }
};

struct GouraudRule {
    static constexpr unsigned uses = USE_SHADE;
    Targets t;
    Colour c;
    uint32_t pixel(uint32_t, uint32_t, uint32_t s) const {
        return (s * c.red) >> 24 << 16 | (s * c.green) >> 24 << 8 | (s * c.blue) >> 24;
    }
};

template <class T> struct TexturedRule {
    static constexpr unsigned uses = USE_UV;
    Targets t;
    T tex;
    uint32_t pixel(uint32_t u, uint32_t v, uint32_t) const { return tex.word(u, v); }
};

template <class T> struct TexturedShadedRule {
    static constexpr unsigned uses = USE_UV | USE_SHADE;
    Targets t;
    T tex;
    uint32_t pixel(uint32_t u, uint32_t v, uint32_t s) const {
        const uint32_t w = tex.word(u, v);
        return ((w >> 16) * s) >> 24 << 16 | ((w >> 8 & 255) * s) >> 24 << 8 |
               ((w & 255) * s) >> 24;
    }
};

template <class T> struct AdditiveRule {
    static constexpr unsigned uses = USE_UV;
    Targets t;
    T tex;
    Colour c;
    void operator()(size_t i, uint32_t u, uint32_t v, uint32_t, uint32_t word) const {
        if (!t.shows_through(i, word)) return;
        const uint32_t texel = *tex.at(u, v);
        const uint32_t pixel = t.frame[i];
        t.frame[i] = add_saturated(pixel >> 16 & 255, texel * c.red >> 8) << 16 |
                     add_saturated(pixel >> 8 & 255, texel * c.green >> 8) << 8 |
                     add_saturated(pixel & 255, texel * c.blue >> 8);
        t.mark(i);
    }
};

template <class T> struct TranslucentRule {
    static constexpr unsigned uses = USE_UV;
    Targets t;
    T tex;
    void operator()(size_t i, uint32_t u, uint32_t v, uint32_t, uint32_t word) const {
        if (!t.shows_through(i, word)) return;
        t.frame[i] = ((tex.word(u, v) & 0xFCFCFCu) + (t.frame[i] & 0xFCFCFCu)) >> 1;
        t.mark(i, word);
    }
};

template <class T> struct KeyedTranslucentRule {
    static constexpr unsigned uses = USE_UV;
    Targets t;
    T tex;
    void operator()(size_t i, uint32_t u, uint32_t v, uint32_t, uint32_t word) const {
        if (!t.shows_through(i, word)) return;
        const uint32_t texel = tex.word(u, v);
        if (texel == 0) return;
        const uint32_t pixel = t.frame[i];
        t.frame[i] = ((pixel >> 16 & 255) + (texel >> 16)) >> 1 << 16 |
                     ((pixel >> 8 & 255) + (texel >> 8 & 255)) >> 1 << 8 |
                     ((pixel & 255) + (texel & 255)) >> 1;
        t.mark(i, word);
    }
};

} // namespace fill
