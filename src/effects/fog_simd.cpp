// The depth fog's vector twins, SSE2, AVX2 and AVX-512, beside the plain
// loop in fog.cpp; choose_fog_kernels picks one once for the processor.
#include "core/simd.h"
#include "effects/fog.h"

#include <cmath>

#if VORN_SSE2
// The SSE2 path takes eight pixels at a time. The quotient comes as a float
// product when D is at most 4095 (whenever far lies beyond near) and as the
// integer multiply and shift otherwise; the channels are bytes, where
// saturating subtraction and addition do both clamps.
//
// The AVX2 path runs the same step on 256-bit registers, sixteen pixels at a
// time. Its packs, unpacks, multiplies and compares each act on one 128-bit
// half alone: packing the quotients of pixels 0-7 and 8-15 puts pixels 0-3 and
// 8-11 in the low half and 4-7 and 12-15 in the high one, and unpacking the
// low and then the high words of each half gives pixels 0-7 and then 8-15,
// the order of the loads and stores. So the step is written once, over a set
// of vector operations of any width (the AVX-512 path's 512-bit registers
// take 32 pixels a step).
//
// The float quotient: with r the smallest float not below 1/D, trunc(fl(e * r))
// is e / D for e < 256 D and at least 256 beyond, for every e < 2^24 and D <=
// 4095. e itself is exact in a float. Write e = n D + j with n <= 255 and 0 <=
// j < D. Then e * r >= n, and rounding to nearest keeps the product at or
// above the float n. r <= (1 + 2^-22) / D, so e * r <= (n + 1 - 1/D)(1 +
// 2^-22) < n + 1 - 2^-12 + 2^-14, as 1/D > 2^-12 and (n + 1) 2^-22 <= 2^-14;
// rounding adds at most half the float spacing below 256, 2^-17, so the
// product stays below n + 1. For e >= 256 D, e * r >= 256 and so is the
// rounded product. (Checked for every D in 1..4095 and every e < 2^24.)
constexpr uint32_t MAX_FLOAT_DIVISOR = 4095;

static float reciprocal_rounded_up(uint32_t d) {
    float r = float(1.0 / double(d));
    if (double(r) * double(d) < 1.0) r = std::nextafter(r, 2.0f); // exact: 24 + 12 bits
    return r;
}

// The quotient's constants: r for the float product, m and the shift for the
// integer multiply and shift.
struct Divider {
    float reciprocal;
    uint32_t multiplier; // below 2^25
    int shift;
};

// The vector operations the step is written in, named as their SSE2 forms.
// Sse2 holds four pixels a register; Avx2 holds eight, and its operations
// take the processor's AVX2 instructions.
#define SSE2_OP __attribute__((always_inline)) static
struct Sse2 {
    using I = __m128i;
    using F = __m128;
    static constexpr int LANES = 4;
    SSE2_OP I loadu(const uint32_t* p) { return _mm_loadu_si128((const __m128i*)p); }
    SSE2_OP void storeu(uint32_t* p, I a) { _mm_storeu_si128((__m128i*)p, a); }
    SSE2_OP I set1_epi32(int32_t v) { return _mm_set1_epi32(v); }
    SSE2_OP I set1_epi16(int16_t v) { return _mm_set1_epi16(v); }
    SSE2_OP F set1_ps(float v) { return _mm_set1_ps(v); }
    SSE2_OP I and_si(I a, I b) { return _mm_and_si128(a, b); }
    SSE2_OP I or_si(I a, I b) { return _mm_or_si128(a, b); }
    SSE2_OP bool any_byte(I a) { return _mm_movemask_epi8(a) != 0; }
    SSE2_OP I cmplt_epi32(I a, I b) { return _mm_cmplt_epi32(a, b); }
    SSE2_OP I packs_epi32(I a, I b) { return _mm_packs_epi32(a, b); }
    SSE2_OP I unpacklo_epi16(I a, I b) { return _mm_unpacklo_epi16(a, b); }
    SSE2_OP I unpackhi_epi16(I a, I b) { return _mm_unpackhi_epi16(a, b); }
    SSE2_OP I subs_epu16(I a, I b) { return _mm_subs_epu16(a, b); }
    SSE2_OP I srli_epi16(I a, int n) { return _mm_srli_epi16(a, n); }
    SSE2_OP I mullo_epi16(I a, I b) { return _mm_mullo_epi16(a, b); }
    SSE2_OP I mulhi_epu16(I a, I b) { return _mm_mulhi_epu16(a, b); }
    SSE2_OP I subs_epu8(I a, I b) { return _mm_subs_epu8(a, b); }
    SSE2_OP I adds_epu8(I a, I b) { return _mm_adds_epu8(a, b); }
    SSE2_OP F cvtepi32_ps(I a) { return _mm_cvtepi32_ps(a); }
    SSE2_OP F mul_ps(F a, F b) { return _mm_mul_ps(a, b); }
    SSE2_OP I cvttps_epi32(F a) { return _mm_cvttps_epi32(a); }
    SSE2_OP I mul_epu32(I a, I b) { return _mm_mul_epu32(a, b); }
    SSE2_OP I srl_epi64(I a, __m128i n) { return _mm_srl_epi64(a, n); }
    SSE2_OP I srli_epi64(I a, int n) { return _mm_srli_epi64(a, n); }
    SSE2_OP I slli_epi64(I a, int n) { return _mm_slli_epi64(a, n); }
    // (k * c) >> 8 of words k and c below 256: the high word of k * (c << 8).
    SSE2_OP I byte_factor(uint8_t c) { return _mm_set1_epi16(int16_t(c << 8)); }
    SSE2_OP I byte_product(I k, I factor) { return _mm_mulhi_epu16(k, factor); }
};

#if VORN_WASM_SIMD
// The SSE2 operations on WebAssembly SIMD, but for two that it translates
// badly: the truncating conversion, made lane by lane, where wasm's
// saturating one gives the same for the quotients (below 2^25); and the high
// word of a product, three instructions, where the low word of k * c moved
// down a byte is the same below 2^16.
struct Wasm128 : Sse2 {
    SSE2_OP I cvttps_epi32(F a) { return wasm_i32x4_trunc_sat_f32x4(a); }
    SSE2_OP I byte_factor(uint8_t c) { return wasm_i16x8_splat(c); }
    SSE2_OP I byte_product(I k, I factor) { return wasm_u16x8_shr(wasm_i16x8_mul(k, factor), 8); }
};
#endif
#undef SSE2_OP

#if VORN_AVX2
#define AVX2_OP __attribute__((always_inline)) VORN_TARGET_AVX2 static
struct Avx2 {
    using I = __m256i;
    using F = __m256;
    static constexpr int LANES = 8;
    AVX2_OP I loadu(const uint32_t* p) { return _mm256_loadu_si256((const __m256i*)p); }
    AVX2_OP void storeu(uint32_t* p, I a) { _mm256_storeu_si256((__m256i*)p, a); }
    AVX2_OP I set1_epi32(int32_t v) { return _mm256_set1_epi32(v); }
    AVX2_OP I set1_epi16(int16_t v) { return _mm256_set1_epi16(v); }
    AVX2_OP F set1_ps(float v) { return _mm256_set1_ps(v); }
    AVX2_OP I and_si(I a, I b) { return _mm256_and_si256(a, b); }
    AVX2_OP I or_si(I a, I b) { return _mm256_or_si256(a, b); }
    AVX2_OP bool any_byte(I a) { return _mm256_movemask_epi8(a) != 0; }
    AVX2_OP I cmplt_epi32(I a, I b) { return _mm256_cmpgt_epi32(b, a); }
    AVX2_OP I packs_epi32(I a, I b) { return _mm256_packs_epi32(a, b); }
    AVX2_OP I unpacklo_epi16(I a, I b) { return _mm256_unpacklo_epi16(a, b); }
    AVX2_OP I unpackhi_epi16(I a, I b) { return _mm256_unpackhi_epi16(a, b); }
    AVX2_OP I subs_epu16(I a, I b) { return _mm256_subs_epu16(a, b); }
    AVX2_OP I srli_epi16(I a, int n) { return _mm256_srli_epi16(a, n); }
    AVX2_OP I mullo_epi16(I a, I b) { return _mm256_mullo_epi16(a, b); }
    AVX2_OP I mulhi_epu16(I a, I b) { return _mm256_mulhi_epu16(a, b); }
    AVX2_OP I subs_epu8(I a, I b) { return _mm256_subs_epu8(a, b); }
    AVX2_OP I adds_epu8(I a, I b) { return _mm256_adds_epu8(a, b); }
    AVX2_OP F cvtepi32_ps(I a) { return _mm256_cvtepi32_ps(a); }
    AVX2_OP F mul_ps(F a, F b) { return _mm256_mul_ps(a, b); }
    AVX2_OP I cvttps_epi32(F a) { return _mm256_cvttps_epi32(a); }
    AVX2_OP I mul_epu32(I a, I b) { return _mm256_mul_epu32(a, b); }
    AVX2_OP I srl_epi64(I a, __m128i n) { return _mm256_srl_epi64(a, n); }
    AVX2_OP I srli_epi64(I a, int n) { return _mm256_srli_epi64(a, n); }
    AVX2_OP I slli_epi64(I a, int n) { return _mm256_slli_epi64(a, n); }
    AVX2_OP I byte_factor(uint8_t c) { return _mm256_set1_epi16(int16_t(c << 8)); }
    AVX2_OP I byte_product(I k, I factor) { return _mm256_mulhi_epu16(k, factor); }
};
#undef AVX2_OP

// Avx512 holds sixteen pixels a register; its packs and unpacks also act on
// each 128-bit quarter alone, so the step's order argument holds as for AVX2.
// Its compares give bit masks, which it widens back into lane masks. The
// conversions and 64-bit steps name every lane in a mask: GCC 12's unmasked
// forms start from an undefined register, which its warnings take for an
// uninitialised one.
#define AVX512_OP __attribute__((always_inline)) VORN_TARGET_AVX512 static
struct Avx512 {
    using I = __m512i;
    using F = __m512;
    static constexpr int LANES = 16;
    static constexpr __mmask8 ALL_64 = 0xFF;    // the 64-bit lanes
    static constexpr __mmask16 ALL_32 = 0xFFFF; // the 32-bit lanes
    AVX512_OP I loadu(const uint32_t* p) { return _mm512_loadu_si512(p); }
    AVX512_OP void storeu(uint32_t* p, I a) { _mm512_storeu_si512(p, a); }
    AVX512_OP I set1_epi32(int32_t v) { return _mm512_set1_epi32(v); }
    AVX512_OP I set1_epi16(int16_t v) { return _mm512_set1_epi16(v); }
    AVX512_OP F set1_ps(float v) { return _mm512_set1_ps(v); }
    AVX512_OP I and_si(I a, I b) { return _mm512_and_si512(a, b); }
    AVX512_OP I or_si(I a, I b) { return _mm512_or_si512(a, b); }
    AVX512_OP bool any_byte(I a) { return _mm512_test_epi8_mask(a, a) != 0; }
    AVX512_OP I cmplt_epi32(I a, I b) { return _mm512_movm_epi32(_mm512_cmplt_epi32_mask(a, b)); }
    AVX512_OP I packs_epi32(I a, I b) { return _mm512_packs_epi32(a, b); }
    AVX512_OP I unpacklo_epi16(I a, I b) { return _mm512_unpacklo_epi16(a, b); }
    AVX512_OP I unpackhi_epi16(I a, I b) { return _mm512_unpackhi_epi16(a, b); }
    AVX512_OP I subs_epu16(I a, I b) { return _mm512_subs_epu16(a, b); }
    AVX512_OP I srli_epi16(I a, int n) { return _mm512_srli_epi16(a, n); }
    AVX512_OP I mullo_epi16(I a, I b) { return _mm512_mullo_epi16(a, b); }
    AVX512_OP I mulhi_epu16(I a, I b) { return _mm512_mulhi_epu16(a, b); }
    AVX512_OP I subs_epu8(I a, I b) { return _mm512_subs_epu8(a, b); }
    AVX512_OP I adds_epu8(I a, I b) { return _mm512_adds_epu8(a, b); }
    AVX512_OP F cvtepi32_ps(I a) { return _mm512_maskz_cvtepi32_ps(ALL_32, a); }
    AVX512_OP F mul_ps(F a, F b) { return _mm512_mul_ps(a, b); }
    AVX512_OP I cvttps_epi32(F a) { return _mm512_maskz_cvttps_epi32(ALL_32, a); }
    AVX512_OP I mul_epu32(I a, I b) { return _mm512_maskz_mul_epu32(ALL_64, a, b); }
    AVX512_OP I srl_epi64(I a, __m128i n) { return _mm512_maskz_srl_epi64(ALL_64, a, n); }
    AVX512_OP I srli_epi64(I a, int n) { return _mm512_maskz_srli_epi64(ALL_64, a, unsigned(n)); }
    AVX512_OP I slli_epi64(I a, int n) { return _mm512_maskz_slli_epi64(ALL_64, a, unsigned(n)); }
    AVX512_OP I byte_factor(uint8_t c) { return _mm512_set1_epi16(int16_t(c << 8)); }
    AVX512_OP I byte_product(I k, I factor) { return _mm512_mulhi_epu16(k, factor); }
};
#undef AVX512_OP
#endif

// Quotients e / D, one a 32-bit lane, not yet clamped; each lies below 2^25.
template <class V, bool BY_FLOAT>
static typename V::I quotients(typename V::I e, typename V::F reciprocal, typename V::I multiplier,
                               __m128i shift) {
    if constexpr (BY_FLOAT) {
        return V::cvttps_epi32(V::mul_ps(V::cvtepi32_ps(e), reciprocal));
    } else {
        // The 32 x 32 -> 64-bit multiply of the even lanes, then of the odd.
        const typename V::I even = V::srl_epi64(V::mul_epu32(e, multiplier), shift);
        const typename V::I odd =
            V::srl_epi64(V::mul_epu32(V::srli_epi64(e, 32), multiplier), shift);
        return V::or_si(even, V::slli_epi64(odd, 32));
    }
}

#if VORN_WASM_SIMD
// The integer quotients on WebAssembly SIMD, which widens 32 x 32 -> 64-bit
// products of the low or high two lanes in one instruction (SSE2's even
// lanes take two shuffles more); the low words of the four shifted products
// are the quotients.
template <> v128_t quotients<Wasm128, false>(v128_t e, __m128, v128_t multiplier, __m128i shift) {
    const int n = wasm_i32x4_extract_lane(shift, 0);
    const v128_t low = wasm_u64x2_shr(wasm_u64x2_extmul_low_u32x4(e, multiplier), n);
    const v128_t high = wasm_u64x2_shr(wasm_u64x2_extmul_high_u32x4(e, multiplier), n);
    return wasm_i32x4_shuffle(low, high, 0, 2, 4, 6);
}
#endif

// Two registers of pixels a step. Per pixel, with h = k >> 1 and k = 0 where
// it is not fogged: take = bytes (h, h, h, 0xFF) for fogged pixels, share =
// bytes (blue, green, red, 0); the pixel becomes (o -sat take) +sat share.
// Each is built as a low and a high 16-bit word per pixel and interleaved.
template <class V, bool BY_FLOAT>
static void fog_steps(uint32_t* p, const uint32_t* depth, int count, uint32_t limit,
                      const Divider& divider, uint8_t fog_r, uint8_t fog_g, uint8_t fog_b) {
    using I = typename V::I;
    const int n = V::LANES;
    const I low24 = V::set1_epi32(0xFFFFFF);
    const I limits = V::set1_epi32(int32_t(limit));
    const I max_f = V::set1_epi16(255);
    const I high_byte = V::set1_epi16(int16_t(0xFF00));
    const I both_bytes = V::set1_epi16(0x0101);
    // Blue's and red's (k * c) >> 8 as byte products; green's share stays in the high byte.
    const I fog_blue = V::byte_factor(fog_b);
    const I fog_green = V::set1_epi16(fog_g);
    const I fog_red = V::byte_factor(fog_r);
    const typename V::F reciprocal = V::set1_ps(divider.reciprocal);
    const I multiplier = V::set1_epi32(int32_t(divider.multiplier));
    const __m128i shift = _mm_cvtsi32_si128(divider.shift);
    for (int i = 0; i < count; i += 2 * n) {
        const I e0 = V::and_si(V::loadu(depth + i), low24);
        const I e1 = V::and_si(V::loadu(depth + i + n), low24);
        const I fogged = V::packs_epi32(V::cmplt_epi32(e0, limits), V::cmplt_epi32(e1, limits));
        if (!V::any_byte(fogged)) continue;
        // Signed packing clamps the quotients to 32767, the subtraction to 255.
        const I f = V::packs_epi32(quotients<V, BY_FLOAT>(e0, reciprocal, multiplier, shift),
                                   quotients<V, BY_FLOAT>(e1, reciprocal, multiplier, shift));
        const I k = V::and_si(V::subs_epu16(max_f, f), fogged);
        const I h = V::srli_epi16(k, 1);
        const I take_low = V::mullo_epi16(h, both_bytes);
        const I take_high = V::or_si(h, V::and_si(fogged, high_byte));
        const I share_low = V::or_si(V::byte_product(k, fog_blue),
                                     V::and_si(V::mullo_epi16(k, fog_green), high_byte));
        const I share_high = V::byte_product(k, fog_red);
        const I o0 = V::loadu(p + i);
        const I o1 = V::loadu(p + i + n);
        const I w0 = V::adds_epu8(V::subs_epu8(o0, V::unpacklo_epi16(take_low, take_high)),
                                  V::unpacklo_epi16(share_low, share_high));
        const I w1 = V::adds_epu8(V::subs_epu8(o1, V::unpackhi_epi16(take_low, take_high)),
                                  V::unpackhi_epi16(share_low, share_high));
        V::storeu(p + i, w0);
        V::storeu(p + i + n, w1);
    }
}

#if VORN_AVX2
// A template's body cannot take a target for one instantiation alone, so the
// AVX2 ones take it here, where they are instantiated, before any use.
template VORN_TARGET_AVX2 __m256i quotients<Avx2, true>(__m256i, __m256, __m256i, __m128i);
template VORN_TARGET_AVX2 __m256i quotients<Avx2, false>(__m256i, __m256, __m256i, __m128i);
template VORN_TARGET_AVX2 void fog_steps<Avx2, true>(uint32_t*, const uint32_t*, int, uint32_t,
                                                     const Divider&, uint8_t, uint8_t, uint8_t);
template VORN_TARGET_AVX2 void fog_steps<Avx2, false>(uint32_t*, const uint32_t*, int, uint32_t,
                                                      const Divider&, uint8_t, uint8_t, uint8_t);
template VORN_TARGET_AVX512 __m512i quotients<Avx512, true>(__m512i, __m512, __m512i, __m128i);
template VORN_TARGET_AVX512 __m512i quotients<Avx512, false>(__m512i, __m512, __m512i, __m128i);
template VORN_TARGET_AVX512 void fog_steps<Avx512, true>(uint32_t*, const uint32_t*, int, uint32_t,
                                                         const Divider&, uint8_t, uint8_t, uint8_t);
template VORN_TARGET_AVX512 void fog_steps<Avx512, false>(uint32_t*, const uint32_t*, int, uint32_t,
                                                          const Divider&, uint8_t, uint8_t,
                                                          uint8_t);
#endif

// The wash on the vector operations V: the float quotient where the divisor
// allows it, else the integer multiply and shift.
template <class V>
static void fog_pixels_on(uint32_t* p, const uint32_t* depth, int count, const FogWash& wash) {
    const bool by_float = wash.divisor <= MAX_FLOAT_DIVISOR;
    const Divider divider{by_float ? reciprocal_rounded_up(wash.divisor) : 0.0f,
                          uint32_t(wash.multiplier), int(wash.shift)};
    if (by_float)
        fog_steps<V, true>(p, depth, count, wash.limit, divider, wash.red, wash.green, wash.blue);
    else
        fog_steps<V, false>(p, depth, count, wash.limit, divider, wash.red, wash.green, wash.blue);
}
#endif

void choose_fog_kernels() {
    fog_pixels = fog_pixels_plain;
#if VORN_SSE2
    if (use_simd) fog_pixels = fog_pixels_on<Sse2>;
#endif
#if VORN_WASM_SIMD
    if (use_simd) fog_pixels = fog_pixels_on<Wasm128>;
#endif
#if VORN_AVX2
    if (use_simd && use_avx2) fog_pixels = fog_pixels_on<Avx2>;
    if (use_simd && use_avx2 && use_avx512) fog_pixels = fog_pixels_on<Avx512>;
#endif
}
