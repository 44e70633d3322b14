// The triangle fillers' edge walker and span loop, written once over the
// carrier of a span's four 64-bit values (fill_lanes.h) and a per-pixel rule
// (fill_rules.h). fillers.cpp builds it on the plain lanes; fillers_simd.cpp
// inlines it whole into AVX2 functions per rule. Each rule's walks are kernels
// (fill_one_kernel, fill_run_kernel), chosen once by choose_fill_kernels.
//
// Fixed point: columns and the attributes u, v, shade are 16.16. Edges carry
// them in 64 bits, so corners anywhere in the 32-bit range cannot overflow the
// interpolation; spans step them in wrapping 32-bit arithmetic. 1/z travels
// along the edges as a float and becomes the 24-bit depth once per span.
#pragma once

#include "effects/fill_common.h"
#include "effects/fill_lanes.h"
#include "effects/fill_rules.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace fill {

constexpr double DEPTH_SCALE = 16777215.0; // 1/z of 1.0 gives the largest depth
// Rows above the clip box are stepped one by one (exactly as if they had been
// walked); an edge that starts further away than this jumps there instead.
constexpr int64_t MAX_STEPPED_ROWS = 65536;

// A corner as the edge walker sees it; attributes the variant does not use are 0.
using Corner = FillCorner;
static_assert(std::is_same_v<decltype(Corner::values), CornerValues>, "lanes load the values");

// ---- edges ----

// An edge during the row walk: column and attributes (Lanes), and 1/z as the
// float sum its steps make, on the current row; their steps per row.
template <class L> struct Edge {
    typename L::Lanes at, step;
    float w, w_step;
};

// The edge from one corner to a lower one (to.y > from.y), at `from`.
template <class L>
[[gnu::always_inline]] inline void edge_between(Edge<L>& e, const Corner& from, const Corner& to) {
    const int64_t n = int64_t(to.y) - from.y;
    typename L::Lanes end;
    L::load(e.at, from.values);
    L::load(end, to.values);
    L::difference(end, end, e.at);
    L::template quotients<true>(e.step, end, n);
    e.w = from.w;
    e.w_step = (to.w - from.w) / float(n);
}

// Moves the edge one row on, as the row walk does.
template <class L> void edge_step(Edge<L>& e) {
    L::add(e.at, e.step);
    e.w += e.w_step;
}

// Moves the edge `rows` rows on in one go (rows < 2^32).
template <class L> void edge_jump(Edge<L>& e, int64_t rows) {
    L::add_times(e.at, e.step, rows);
    e.w += float(rows) * e.w_step;
}

// Moves the edge `rows` rows on, 1/z one step at a time as the walk would
// unless that is further than MAX_STEPPED_ROWS.
template <class L> void edge_skip(Edge<L>& e, int64_t rows) {
    if (rows > MAX_STEPPED_ROWS) {
        edge_jump(e, rows);
        return;
    }
    L::add_times(e.at, e.step, rows);
    for (int64_t k = 0; k < rows; k++) e.w += e.w_step;
}

// ---- span frame ----

// What the walk needs of fill_context, read once per call of a filler: a
// pixel rule's stores could otherwise change it as far as the compiler knows.
struct SpanFrame {
    int32_t clip_left, clip_right, clip_top, clip_bottom;
    size_t row_length;
    uint32_t stamp; // the frame stamp in the depth word's top byte
};

inline SpanFrame context_frame() {
    const FillContext& fc = fill_context;
    return {fc.clip_left,   fc.clip_right, fc.clip_top,
            fc.clip_bottom, fc.row_length, uint32_t(fc.frame_stamp) << 24};
}

// Depth at 1/z: the float times 2^24 - 1 is exact in double, so it truncates
// as in any wider format.
inline int64_t depth_of(float w) {
    return int64_t(double(w) * DEPTH_SCALE);
}

// Depth step over n columns: trunc((wb - wa) * (2^24 - 1) / n) in extended
// precision. The double quotient q (or the product with the double 1 / n) is
// within 2^-51 of it relative, so it truncates the same when q made 2^-40 of
// itself smaller and larger truncates alike; only otherwise is the (much
// slower) extended division made, and near such an integer both forms make it.
inline int64_t depth_step(float wa, float wb, int64_t n) {
    const double x = (double(wb) - double(wa)) * DEPTH_SCALE;
    const double q = n < SPAN_RECIPROCALS ? x * span_reciprocals.inverse[n] : x / double(n);
    const int64_t low = int64_t(q * (1.0 - 0x1p-40)), high = int64_t(q * (1.0 + 0x1p-40));
    if (low == high) return low;
    return int64_t((static_cast<long double>(wb) - wa) * static_cast<long double>(DEPTH_SCALE) / n);
}

// Opaque rules name only the colour of a pixel that passes the depth test,
// pixel(u, v, shade), which the lanes L work out (L::pixel: the AVX2 lanes
// have a second form for some rules, which gives the same); the other rules
// draw the whole pixel, rule(index, u, v, shade, depth word).
template <class Rule, class = void> constexpr bool is_opaque = false;
template <class Rule> constexpr bool is_opaque<Rule, std::void_t<decltype(&Rule::pixel)>> = true;

template <class L, class Rule>
[[gnu::always_inline]] inline void draw_one(const Rule& rule, size_t i, uint32_t u, uint32_t v,
                                            const typename L::Shade& s, uint32_t word) {
    if constexpr (is_opaque<Rule>) {
        if (rule.t.depth[i] < word) {
            rule.t.frame[i] = L::pixel(rule, u, v, s);
            rule.t.depth[i] = word;
        }
    } else {
        rule(i, u, v, L::shade_word(s), word);
    }
}

// Fills row y from column ax of edge `left` to column bx (ax < bx) of edge
// `right`. The right end and the clip-right column are never drawn; a run
// starting left of the clip box starts at its edge with every attribute
// stepped there (without Clip, the run lies inside). Only the low 32 bits of
// the attributes reach the pixels, so from the steps on they are worked out in
// 32 bits.
template <class L, bool Clip, class Rule>
[[gnu::always_inline]] inline void draw_run(const Rule& rule, const SpanFrame& f,
                                            const Edge<L>& left, const Edge<L>& right, int32_t ax,
                                            int32_t bx, int64_t y) {
    if (Clip && (ax > f.clip_right || bx < f.clip_left)) return;
    const int64_t n = int64_t(bx) - ax;
    const size_t row = size_t(y) * f.row_length;
    uint32_t u, v, s;
    L::low_words(left.at, u, v, s);
    if (n == 1) { // one pixel: no steps
        if (!Clip || (ax >= f.clip_left && ax < f.clip_right))
            draw_one<L>(rule, row + size_t(ax), u, v, L::shade(s),
                        uint32_t(depth_of(left.w)) + f.stamp);
        return;
    }
    typename L::Lanes steps;
    L::difference(steps, right.at, left.at);
    L::template quotients<false>(steps, steps, n);
    uint32_t su, sv, ss;
    L::low_words(steps, su, sv, ss);
    const int64_t dd = depth_step(left.w, right.w, n);
    int64_t d = depth_of(left.w);

    int64_t x = ax;
    const int64_t end = Clip ? std::min<int64_t>(bx, f.clip_right) : bx;
    if (Clip && x < f.clip_left) {
        const int64_t k = f.clip_left - x;
        u += uint32_t(k) * su;
        v += uint32_t(k) * sv;
        s += uint32_t(k) * ss;
        d += k * dd;
        x = f.clip_left;
    }
    if (Clip && x >= end) return;

    uint32_t word = uint32_t(d) + f.stamp;
    const uint32_t sd = uint32_t(dd);
    typename L::Shade shade = L::shade(s);
    const typename L::Shade shade_step = L::shade(ss);
    for (size_t i = row + size_t(x), stop = row + size_t(end); i < stop; i++) {
        draw_one<L>(rule, i, u, v, shade, word);
        u += su;
        v += sv;
        L::step_shade(shade, shade_step);
        word += sd;
    }
}

// ---- edge walker ----

// Rows y .. y_end - 1 between the long and the short edge, clipped to the
// clip box's rows (without Clip, they lie inside); each row is filled between
// the edges' columns, whichever is on the left.
template <class L, bool Clip, class Rule>
[[gnu::always_inline]] inline void walk_rows(const Rule& rule, const SpanFrame& frame,
                                             Edge<L> long_edge, Edge<L> short_edge, int64_t y,
                                             int64_t y_end) {
    if (Clip && y < frame.clip_top) {
        const int64_t skip = std::min<int64_t>(frame.clip_top, y_end) - y;
        edge_skip(long_edge, skip);
        edge_skip(short_edge, skip);
        y += skip;
    }
    const int64_t last = Clip ? std::min<int64_t>(y_end, int64_t(frame.clip_bottom) + 1) : y_end;
    for (; y < last; y++) {
        const int32_t long_x = L::column(long_edge.at), short_x = L::column(short_edge.at);
        if (long_x < short_x)
            draw_run<L, Clip>(rule, frame, long_edge, short_edge, long_x, short_x, y);
        else if (short_x < long_x)
            draw_run<L, Clip>(rule, frame, short_edge, long_edge, short_x, long_x, y);
        edge_step(long_edge);
        edge_step(short_edge);
    }
}

// Rows top.y .. middle.y - 1 come from the upper part, middle.y .. bottom.y
// from the lower part, whose long edge starts again from the top corner.
template <class L, bool Clip, class Rule>
[[gnu::always_inline]] inline void walk_parts(const Rule& rule, const SpanFrame& frame,
                                              const Corner& top, const Corner& middle,
                                              const Corner& bottom) {
    if (!Clip && bottom.y == top.y + 1) { // one row high: the edges need no steps
        if (middle.y == bottom.y) return; // its one row is the bottom one, never drawn
        // The top row, between the top and middle corners (the bottom row is
        // empty: both edges end on the bottom corner).
        Edge<L> a, b;
        L::load(a.at, top.values);
        L::load(b.at, middle.values);
        a.w = top.w, b.w = middle.w;
        if (top.x() < middle.x())
            draw_run<L, false>(rule, frame, a, b, top.x(), middle.x(), top.y);
        else if (middle.x() < top.x())
            draw_run<L, false>(rule, frame, b, a, middle.x(), top.x(), top.y);
        return;
    }
    Edge<L> long_edge, short_edge;
    edge_between<L>(long_edge, top, bottom);
    if (middle.y != top.y) {
        edge_between<L>(short_edge, top, middle);
        // Both edges leave the top corner at one column, so its row is empty
        // and a walk that starts there starts a row lower.
        Edge<L> long_upper = long_edge;
        int64_t first = top.y;
        if (!Clip || first >= frame.clip_top) {
            edge_step(long_upper);
            edge_step(short_edge);
            first++;
        }
        walk_rows<L, Clip>(rule, frame, long_upper, short_edge, first, middle.y);
    }
    if (bottom.y != middle.y) {
        edge_between<L>(short_edge, middle, bottom);
        edge_jump(long_edge, int64_t(middle.y) - top.y);
        walk_rows<L, Clip>(rule, frame, long_edge, short_edge, middle.y, int64_t(bottom.y) + 1);
    }
}

// A triangle inside the clip box, as most are, takes a walk that makes none
// of the clipping tests: the edges' columns stay between their corners'.
template <class L, class Rule>
[[gnu::always_inline]] inline void walk_triangle(const Rule& rule, const SpanFrame& frame,
                                                 const Corner& a, const Corner& b,
                                                 const Corner& c) {
    const Corner *top = &a, *middle = &b, *bottom = &c;
    sort_by_row(top, middle, bottom);
    if (top->y == bottom->y) return;
    const int32_t left = std::min({a.x(), b.x(), c.x()}), right = std::max({a.x(), b.x(), c.x()});
    if (top->y >= frame.clip_top && bottom->y <= frame.clip_bottom && left >= frame.clip_left &&
        right <= frame.clip_right)
        walk_parts<L, false>(rule, frame, *top, *middle, *bottom);
    else
        walk_parts<L, true>(rule, frame, *top, *middle, *bottom);
}

// One triangle.
template <class L, class Rule>
[[gnu::always_inline]] inline void walk_one(const Rule& shared_rule, const Corner& a,
                                            const Corner& b, const Corner& c) {
    const Rule rule = shared_rule; // a copy no pixel store can reach
    walk_triangle<L>(rule, context_frame(), a, b, c);
}

// A run of faces, three corners each, one after the other; a face with a
// corner behind the viewer (w = 0) draws nothing.
struct FaceRun {
    const Corner* corners;
    size_t faces;
};

template <class L, class Rule>
[[gnu::always_inline]] inline void walk_run(const Rule& shared_rule, FaceRun run) {
    const Rule rule = shared_rule;
    const SpanFrame frame = context_frame();
    for (const Corner* c = run.corners; c != run.corners + 3 * run.faces; c += 3) {
        if (!(c[0].w > 0.0f && c[1].w > 0.0f && c[2].w > 0.0f)) continue;
        walk_triangle<L>(rule, frame, c[0], c[1], c[2]);
    }
}

// ---- kernels ----

// The walks on the plain lanes, each inlined whole as the AVX2 ones are: the
// reference of every rule's kernels.
template <class Rule>
[[gnu::flatten]] void walk_one_plain(const Rule& rule, const Corner& a, const Corner& b,
                                     const Corner& c) {
    walk_one<PlainLanes<Rule::uses>>(rule, a, b, c);
}

template <class Rule> [[gnu::flatten]] void walk_run_plain(const Rule& rule, FaceRun run) {
    walk_run<PlainLanes<Rule::uses>>(rule, run);
}

// One triangle, and a run of faces, of each rule: program-wide pointers set by
// choose_fill_kernels (fillers_simd.cpp) to the plain walks or their AVX2 builds.
template <class Rule>
inline void (*fill_one_kernel)(const Rule& rule, const Corner& a, const Corner& b,
                               const Corner& c) = walk_one_plain<Rule>;
template <class Rule>
inline void (*fill_run_kernel)(const Rule& rule, FaceRun run) = walk_run_plain<Rule>;

} // namespace fill
