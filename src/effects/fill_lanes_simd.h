// The AVX2 carrier of the fillers' span values (fill_lanes.h tells what the
// carriers are) and the wide pixel forms of the rules that have one; only
// fillers_simd.cpp includes it.
#pragma once

#include "core/simd.h"
#include "effects/fill_lanes.h"
#include "effects/fill_rules.h"

#include <cstdint>

#if VORN_AVX2
namespace fill {

// Which lanes a quotient must get right: the column's, and those of the
// attributes a rule reads (Uses); the others may hold anything.
template <unsigned Uses, bool Column> constexpr bool lane_used(int lane) {
    return lane == 0 ? Column : lane == 3 ? (Uses & USE_SHADE) != 0 : (Uses & USE_UV) != 0;
}

// A span's shade in all four 32-bit lanes, ready to multiply the channels of
// a pixel at once.
struct ShadeLanes {
    __m128i lanes;
};

// The pixel word of channels (blue, green, red, 0) each times the shade, taken
// >> 24 in 32 bits: the plain rules' sums, side by side.
VORN_TARGET_AVX2 inline uint32_t shaded_channels(__m128i channels, const ShadeLanes& shade) {
    const __m128i shaded = _mm_srli_epi32(_mm_mullo_epi32(channels, shade.lanes), 24);
    const __m128i words = _mm_packus_epi32(shaded, shaded);
    return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
}

// An opaque rule's pixel on the AVX2 lanes: its plain form, or the wide one
// of the rules that multiply channels by the shade, which gives the same.
template <class Rule>
VORN_TARGET_AVX2 inline uint32_t wide_pixel(const Rule& rule, uint32_t u, uint32_t v,
                                            const ShadeLanes& s) {
    return rule.pixel(u, v, uint32_t(_mm_cvtsi128_si32(s.lanes)));
}

VORN_TARGET_AVX2 inline uint32_t wide_pixel(const GouraudRule& rule, uint32_t, uint32_t,
                                            const ShadeLanes& s) {
    const Colour& c = rule.c;
    return shaded_channels(_mm_setr_epi32(int(c.blue), int(c.green), int(c.red), 0), s);
}

// The texel's top byte, 0, is a fourth channel that stays 0.
template <class T>
VORN_TARGET_AVX2 inline uint32_t wide_pixel(const TexturedShadedRule<T>& rule, uint32_t u,
                                            uint32_t v, const ShadeLanes& s) {
    return shaded_channels(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(int(rule.tex.word(u, v)))), s);
}

// The AVX2 carrier keeps all four lanes; Uses names those a rule reads.
template <unsigned Uses> struct Avx2Lanes {
    using Shade = ShadeLanes;
    VORN_TARGET_AVX2 static Shade shade(uint32_t s) { return {_mm_set1_epi32(int(s))}; }
    VORN_TARGET_AVX2 static void step_shade(Shade& s, const Shade& step) {
        s.lanes = _mm_add_epi32(s.lanes, step.lanes);
    }
    VORN_TARGET_AVX2 static uint32_t shade_word(const Shade& s) {
        return uint32_t(_mm_cvtsi128_si32(s.lanes));
    }
    // The colour of an opaque rule's pixel, in its wide form where it has one.
    template <class Rule>
    VORN_TARGET_AVX2 static uint32_t pixel(const Rule& rule, uint32_t u, uint32_t v,
                                           const Shade& s) {
        return wide_pixel(rule, u, v, s);
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
} // namespace fill

#endif
