// The four 16.16 values an edge or a span end carries for the fillers: its
// column and the attributes u, v and shade, each in 64 bits ("lanes"). Two
// carriers hold them and give the same numbers: PlainLanes, four integers,
// and Avx2Lanes (fill_lanes_simd.h), one AVX2 register, where a row's step is one add and the
// quotients of a span's steps share one multiply. Each operation takes and
// gives its lanes by reference, so code generic over the carrier passes no
// AVX2 register by value; that code is built for AVX2 by inlining it whole
// into a function that is. Along a span, each carrier also steps the shade in
// the form its rules multiply the pixel's channels by (Shade).
//
// Quotients by n truncate toward zero, as the division gives them. Below
// SPAN_RECIPROCALS they come from a table: for 0 <= a < 2^31 and
// l = ceil(log2 n), m = ceil(2^(31 + l) / n) (below 2^32) gives
// floor(a / n) = (a * m) >> (31 + l) exactly (Granlund and Montgomery); the
// double 1 / n serves the fillers' depth step.
#pragma once

#include <array>
#include <cstdint>

namespace fill {

enum : unsigned { USE_UV = 1, USE_SHADE = 2 };

// A corner's column, u, v and shade as whole numbers, as the lanes load them.
using CornerValues = std::array<int32_t, 4>;

constexpr int64_t SPAN_RECIPROCALS = 1024;

struct SpanReciprocals {
    uint64_t multiplier[SPAN_RECIPROCALS];
    uint8_t shift[SPAN_RECIPROCALS];
    double inverse[SPAN_RECIPROCALS];
};

constexpr SpanReciprocals make_span_reciprocals() {
    SpanReciprocals r{};
    for (uint64_t n = 1; n < SPAN_RECIPROCALS; n++) {
        uint32_t l = 0;
        while ((uint64_t(1) << l) < n) l++;
        r.multiplier[n] = ((uint64_t(1) << (31 + l)) + n - 1) / n;
        r.shift[n] = uint8_t(31 + l);
        r.inverse[n] = 1.0 / double(n);
    }
    return r;
}

inline constexpr SpanReciprocals span_reciprocals = make_span_reciprocals();

// The plain carrier keeps only the column and the lanes a rule reads (Uses);
// the others stay 0 in every value the walk makes, as in the AVX2 register.
// Each lane is a field of its own, so the compiler keeps them in registers.
template <unsigned Uses> struct PlainLanes {
    static constexpr bool UV = (Uses & USE_UV) != 0, SHADE = (Uses & USE_SHADE) != 0;

    using Shade = uint32_t; // a span's shade as its pixels step it
    static Shade shade(uint32_t s) { return s; }
    static void step_shade(Shade& s, const Shade& step) { s += step; }
    static uint32_t shade_word(const Shade& s) { return s; }
    // The colour of an opaque rule's pixel.
    template <class Rule>
    static uint32_t pixel(const Rule& rule, uint32_t u, uint32_t v, const Shade& s) {
        return rule.pixel(u, v, s);
    }

    struct Lanes {
        int64_t x = 0, u = 0, v = 0, s = 0;
    };

    static void load(Lanes& r, const CornerValues& values) {
        r.x = int64_t(values[0]) * 65536;
        if constexpr (UV) r.u = int64_t(values[1]) * 65536, r.v = int64_t(values[2]) * 65536;
        if constexpr (SHADE) r.s = int64_t(values[3]) * 65536;
    }
    static void add(Lanes& a, const Lanes& b) {
        a.x += b.x;
        if constexpr (UV) a.u += b.u, a.v += b.v;
        if constexpr (SHADE) a.s += b.s;
    }
    static void difference(Lanes& r, const Lanes& a, const Lanes& b) { // a - b
        r.x = a.x - b.x;
        if constexpr (UV) r.u = a.u - b.u, r.v = a.v - b.v;
        if constexpr (SHADE) r.s = a.s - b.s;
    }
    static void add_times(Lanes& a, const Lanes& b, int64_t k) { // a += k * b, 0 <= k < 2^32
        a.x += k * b.x;
        if constexpr (UV) a.u += k * b.u, a.v += k * b.v;
        if constexpr (SHADE) a.s += k * b.s;
    }
    static int32_t column(const Lanes& a) { return int32_t(a.x >> 16); } // floor
    static void low_words(const Lanes& a, uint32_t& u, uint32_t& v, uint32_t& shade) {
        u = uint32_t(a.u), v = uint32_t(a.v), shade = uint32_t(a.s);
    }
    // The quotients of the column (with Column) and of the kept lanes, with
    // one look-up of the table when every magnitude allows it.
    template <bool Column> static void quotients(Lanes& q, const Lanes& a, int64_t n) {
        const auto magnitude = [](int64_t value) {
            return value < 0 ? 0 - uint64_t(value) : uint64_t(value);
        };
        const uint64_t all = (Column ? magnitude(a.x) : 0) |
                             (UV ? magnitude(a.u) | magnitude(a.v) : 0) |
                             (SHADE ? magnitude(a.s) : 0);
        const auto quotient = [&](int64_t value) {
            if (n >= SPAN_RECIPROCALS || (all >> 31) != 0) return value / n;
            const int64_t r = int64_t((magnitude(value) * span_reciprocals.multiplier[n]) >>
                                      span_reciprocals.shift[n]);
            return value < 0 ? -r : r;
        };
        Lanes r; // q may be a
        if constexpr (Column) r.x = quotient(a.x);
        if constexpr (UV) r.u = quotient(a.u), r.v = quotient(a.v);
        if constexpr (SHADE) r.s = quotient(a.s);
        q = r;
    }
};

} // namespace fill
