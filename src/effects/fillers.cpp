// Triangle fillers: the set-ups of every filled variant. A variant is a small
// per-pixel rule (fill_rules.h) that the shared edge walker and span loop
// (fill_walk.h) call inline, and names the attributes it reads, so the walk
// divides only those; each set-up hands its corners to its rule's walk kernel.
#include "effects/fillers.h"

#include "data/render_resources.h"
#include "effects/effect_tables.h"
#include "effects/fill_common.h"
#include "effects/fill_rules.h"
#include "effects/fill_walk.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

FillContext fill_context;

const std::array<float, FILL_DEPTH_RECIPROCALS> fill_depth_reciprocals = [] {
    std::array<float, FILL_DEPTH_RECIPROCALS> r{};
    for (uint32_t z = 1; z < FILL_DEPTH_RECIPROCALS; z++) r[z] = 1.0f / float(int32_t(z));
    return r;
}();

namespace {

using namespace fill;

constexpr uint32_t FULL_TEXELS = 256 * 256;

Corner make_corner(const FillVertex& p, unsigned use) {
    Corner c{{p.x, 0, 0, 0}, p.y, fill_corner_depth(p.z)};
    if (use & USE_UV) {
        c.values[1] = p.u;
        c.values[2] = p.v;
    }
    if (use & USE_SHADE) c.values[3] = p.shade;
    return c;
}

// 1/z is only defined for corners in front of the viewer.
bool corners_in_front(const FillVertex& a, const FillVertex& b, const FillVertex& c) {
    return a.z >= 1 && b.z >= 1 && c.z >= 1;
}

Targets context_targets() {
    const FillContext& fc = fill_context;
    return {fc.frame_pixels, fc.depth_buffer, fc.id_buffer, fc.object_id};
}

bool context_ready(bool needs_ids) {
    const FillContext& fc = fill_context;
    return fc.frame_pixels && fc.depth_buffer && (fc.id_buffer || !needs_ids);
}

Colour colour_of(const FillVertex& p) {
    return {uint32_t(p.red), uint32_t(p.green), uint32_t(p.blue)};
}

template <class Rule>
void fill_triangle(const Rule& rule, const Corner& a, const Corner& b, const Corner& c) {
    fill_one_kernel<Rule>(rule, a, b, c);
}

template <class Rule> void fill_run(const Rule& rule, FaceRun run) {
    fill_run_kernel<Rule>(rule, run);
}

// ---- set-ups ----

// The texels a fetch may read: none without pixels, at most a full texture.
uint32_t texel_count(const TextureRecord* texture, uint32_t bytes) {
    if (!texture || !texture->pixels) return 0;
    return std::min(texture->byte_size / bytes, FULL_TEXELS);
}

template <class Rule>
void fill_plain(const Rule& rule, const FillVertex& a, const FillVertex& b, const FillVertex& c) {
    if (!context_ready(false) || !corners_in_front(a, b, c)) return;
    fill_triangle(rule, make_corner(a, Rule::uses), make_corner(b, Rule::uses),
                  make_corner(c, Rule::uses));
}

// Rule<Texels>{targets, texels, extra...} is the variant's per-pixel rule,
// handed to draw; the choice between direct and wrapped fetches is made once
// per call.
template <template <class> class Rule, int Bytes, class Draw, class... Extra>
void with_texture_rule(const TextureRecord* texture, bool needs_ids, const Draw& draw,
                       const Extra&... extra) {
    const uint32_t count = texel_count(texture, Bytes);
    if (count == 0 || !context_ready(needs_ids)) return;
    const auto walk = [&](auto texels) {
        draw(Rule<decltype(texels)>{context_targets(), texels, extra...});
    };
    if constexpr (Bytes == 3) {
        if (count == FULL_TEXELS && texture->wide) {
            walk(WideTexels{texture->wide});
            return;
        }
    }
    if (count == FULL_TEXELS)
        walk(Texels<Bytes, false>{texture->pixels, count});
    else
        walk(Texels<Bytes, true>{texture->pixels, count});
}

// One face with a textured rule; its corners are made before the texels are
// chosen.
template <template <class> class Rule, int Bytes = 3, class... Extra>
void fill_with_texture(const FillVertex& a, const FillVertex& b, const FillVertex& c,
                       const TextureRecord* texture, bool needs_ids, const Extra&... extra) {
    if (!corners_in_front(a, b, c)) return;
    constexpr unsigned use = Rule<Texels<Bytes, false>>::uses;
    const Corner ca = make_corner(a, use), cb = make_corner(b, use), cc = make_corner(c, use);
    with_texture_rule<Rule, Bytes>(
        texture, needs_ids, [&](const auto& rule) { fill_triangle(rule, ca, cb, cc); }, extra...);
}

} // namespace

void fill_depth_only(const FillVertex& a, const FillVertex& b, const FillVertex& c) {
    fill_plain(DepthOnlyRule{context_targets()}, a, b, c);
}

void fill_gouraud(const FillVertex& a, const FillVertex& b, const FillVertex& c) {
    fill_plain(GouraudRule{context_targets(), colour_of(a)}, a, b, c);
}

void fill_textured(const FillVertex& a, const FillVertex& b, const FillVertex& c,
                   const TextureRecord* texture) {
    fill_with_texture<TexturedRule>(a, b, c, texture, false);
}

void fill_textured_shaded(const FillVertex& a, const FillVertex& b, const FillVertex& c,
                          const TextureRecord* texture) {
    fill_with_texture<TexturedShadedRule>(a, b, c, texture, false);
}

void fill_textured_shaded_corners(const FillCorner* corners, size_t faces,
                                  const TextureRecord* texture) {
    with_texture_rule<TexturedShadedRule, 3>(texture, false, [&](const auto& rule) {
        fill_run(rule, FaceRun{corners, faces});
    });
}

// Surface type 4 has a set-up of its own that draws nothing.
void fill_type4(const FillVertex&, const FillVertex&, const FillVertex&, const LightSource&) {}

void fill_additive(const FillVertex& a, const FillVertex& b, const FillVertex& c,
                   const TextureRecord* texture) {
    fill_with_texture<AdditiveRule, 1>(a, b, c, texture, true, colour_of(a));
}

void fill_translucent(const FillVertex& a, const FillVertex& b, const FillVertex& c,
                      const TextureRecord* texture) {
    fill_with_texture<TranslucentRule>(a, b, c, texture, true);
}

void fill_keyed_translucent(const FillVertex& a, const FillVertex& b, const FillVertex& c,
                            const TextureRecord* texture) {
    fill_with_texture<KeyedTranslucentRule>(a, b, c, texture, true);
}
