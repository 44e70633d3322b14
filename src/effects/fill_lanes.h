// The four 16.16 values an edge or a span end carries for the fillers: its
// column and the attributes u, v and shade, each in 64 bits ("lanes"). Two
// carriers hold them and give the same numbers: PlainLanes, four integers,
// and Avx2Lanes, one AVX2 register, where a row's step is one add and the
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

#include "core/cpu.h"

#include <array>
#include <cstdint>

#if VORN_AVX2
#include <immintrin.h>
#endif

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

// Which lanes a quotient must get right: the column's, and those of the
// attributes a rule reads (Uses); the others may hold anything.
template <unsigned Uses, bool Column> constexpr bool lane_used(int lane) {
    return lane == 0 ? Column : lane == 3 ? (Uses & USE_SHADE) != 0 : (Uses & USE_UV) != 0;
}

// The plain carrier keeps only the column and the lanes a rule reads (Uses);
// the others stay 0 in every value the walk makes, as in the AVX2 register.
// Each lane is a field of its own, so the compiler keeps them in registers.
template <unsigned Uses> struct PlainLanes {
    static constexpr bool wide = false; // rules draw their plain pixels
    static constexpr bool UV = (Uses & USE_UV) != 0, SHADE = (Uses & USE_SHADE) != 0;

    using Shade = uint32_t; // a span's shade as its pixels step it
    static Shade shade(uint32_t s) { return s; }
    static void step_shade(Shade& s, const Shade& step) { s += step; }
    static uint32_t shade_word(const Shade& s) { return s; }

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

#if VORN_AVX2
// A span's shade in all four 32-bit lanes, ready to multiply the channels of
// a pixel at once.
struct ShadeLanes {
    __m128i lanes;
};

// The AVX2 carrier keeps all four lanes; Uses names those a rule reads.
template <unsigned Uses> struct Avx2Lanes {
    static constexpr bool wide = true; // rules may draw their pixels with vector steps

    using Shade = ShadeLanes;
    VORN_TARGET_AVX2 static Shade shade(uint32_t s) { return {_mm_set1_epi32(int(s))}; }
    VORN_TARGET_AVX2 static void step_shade(Shade& s, const Shade& step) {
        s.lanes = _mm_add_epi32(s.lanes, step.lanes);
    }
    VORN_TARGET_AVX2 static uint32_t shade_word(const Shade& s) {
        return uint32_t(_mm_cvtsi128_si32(s.lanes));
    }

    struct Lanes {
        __m256i lanes; // column, u, v, shade
    };

    VORN_TARGET_AVX2 static void load(Lanes& r, const CornerValues& values) {
        const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values.data()));
        r.lanes = _mm256_slli_epi64(_mm256_cvtepi32_epi64(four), 16);
    }
    VORN_TARGET_AVX2 static void add(Lanes& a, const Lanes& b) {
        a.lanes = _mm256_add_epi64(a.lanes, b.lanes);
    }
    VORN_TARGET_AVX2 static void difference(Lanes& r, const Lanes& a, const Lanes& b) {
        r.lanes = _mm256_sub_epi64(a.lanes, b.lanes);
    }
    // k * b from the products of k with b's low and high 32-bit halves.
    VORN_TARGET_AVX2 static void add_times(Lanes& a, const Lanes& b, int64_t k) {
        const __m256i times = _mm256_set1_epi64x(k);
        const __m256i low = _mm256_mul_epu32(b.lanes, times);
        const __m256i high = _mm256_mul_epu32(_mm256_srli_epi64(b.lanes, 32), times);
        a.lanes = _mm256_add_epi64(a.lanes, _mm256_add_epi64(low, _mm256_slli_epi64(high, 32)));
    }
    VORN_TARGET_AVX2 static int32_t column(const Lanes& a) {
        return int32_t(uint64_t(_mm_cvtsi128_si64(_mm256_castsi256_si128(a.lanes))) >> 16);
    }
    VORN_TARGET_AVX2 static void low_words(const Lanes& a, uint32_t& u, uint32_t& v,
                                           uint32_t& shade) {
        const __m128i high = _mm256_extracti128_si256(a.lanes, 1);
        u = uint32_t(_mm_extract_epi32(_mm256_castsi256_si128(a.lanes), 2));
        v = uint32_t(_mm_cvtsi128_si32(high));
        shade = uint32_t(_mm_extract_epi32(high, 2));
    }
    // Magnitudes below 2^31 and a multiplier below 2^32 multiply exactly in
    // the 32 x 32 -> 64-bit lanes; anything else divides lane by lane.
    template <bool Column>
    VORN_TARGET_AVX2 static void quotients(Lanes& q, const Lanes& a, int64_t n) {
        const __m256i checked =
            _mm256_setr_epi64x(lane_used<Uses, Column>(0) ? -(int64_t(1) << 31) : 0,
                               lane_used<Uses, Column>(1) ? -(int64_t(1) << 31) : 0,
                               lane_used<Uses, Column>(2) ? -(int64_t(1) << 31) : 0,
                               lane_used<Uses, Column>(3) ? -(int64_t(1) << 31) : 0);
        const __m256i sign = _mm256_cmpgt_epi64(_mm256_setzero_si256(), a.lanes);
        const __m256i magnitude = _mm256_sub_epi64(_mm256_xor_si256(a.lanes, sign), sign);
        if (n >= SPAN_RECIPROCALS || !_mm256_testz_si256(magnitude, checked)) {
            alignas(32) int64_t lane[4];
            _mm256_store_si256(reinterpret_cast<__m256i*>(lane), a.lanes);
            for (int i = 0; i < 4; i++) lane[i] = lane_used<Uses, Column>(i) ? lane[i] / n : 0;
            q.lanes = _mm256_load_si256(reinterpret_cast<const __m256i*>(lane));
            return;
        }
        const __m256i product = _mm256_mul_epu32(
            magnitude, _mm256_set1_epi64x(int64_t(span_reciprocals.multiplier[n])));
        const __m256i quotient =
            _mm256_srl_epi64(product, _mm_cvtsi32_si128(span_reciprocals.shift[n]));
        q.lanes = _mm256_sub_epi64(_mm256_xor_si256(quotient, sign), sign);
    }
};
#endif

} // namespace fill
