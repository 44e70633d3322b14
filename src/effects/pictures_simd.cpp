// The picture blend's and fade's vector twins, SSE2, AVX2 and WebAssembly
// SIMD, beside the plain loops in pictures.cpp; choose_picture_kernels picks
// them once for the processor.
#include "core/simd.h"
#include "effects/effect_tables.h"
#include "effects/pictures.h"

#include <cstring>

#if VORN_SSE2
// The masked blend in SSE2, four pixels to a register. Each pixel's 32-bit
// lane is split into two registers of 16-bit lanes, one holding blue and red,
// the other green beside a zero, so four pixels take four products a term.
// A term (c * f) >> 8 of a channel c and a factor f, both below 256, is the
// high half of the 16-bit product of the two with either one moved up a byte:
// (c * 256 * f) >> 16 == (c * f) >> 8. A channel therefore stays in whichever
// byte of its lane it was read into, and the factor in that lane is scaled by
// 256 where the channel sits in the low byte. The two terms of a channel add
// up to at most (255 * a + 255 * (255 - a)) >> 8 = 254, so they never carry
// out of their byte and no clamp is needed.
//
// The picture's four pixels come from two 8-byte reads, at its pixels 0 and 2
// (two bytes beyond the fourth pixel are read). As 16-bit lanes, high byte
// first, bytes R0 G0 B0 R1 G1 B1 R2 G2 are G0R0 R1B0 B1G1 G2R2; one word
// shuffle of each half makes them R1B0 G0R0 B1G1 R1B0, where the first
// pixel's blue and red are low bytes and the second's are high bytes, in
// lane order. Green stays where it was read: the high byte of the first lane
// and the low byte of the third. The frame's blue and red are moved up a byte
// and its green is already a high byte, so the frame's factor is not scaled.

// 16-bit lane scales of the picture's factors, per pair of pixels: blue and
// red are low bytes in the first pixel, green is a low byte in the second.
static const short SCALE_RB[8] = {256, 256, 1, 1, 256, 256, 1, 1};
static const short SCALE_G[8] = {1, 1, 256, 256, 1, 1, 256, 256};

// Four pixels blended over p, picture bytes at q; a holds each pixel's
// picture factor in both 16-bit halves of its lane.
static inline void blend4(uint32_t* p, const uint8_t* q, __m128i a) {
    const __m128i a_rb = _mm_mullo_epi16(a, _mm_loadu_si128((const __m128i*)SCALE_RB));
    const __m128i a_g = _mm_mullo_epi16(a, _mm_loadu_si128((const __m128i*)SCALE_G));
    const __m128i b = _mm_xor_si128(a, _mm_set1_epi16(255)); // 255 - a, as a <= 255
    const __m128i read = _mm_unpacklo_epi64(_mm_loadl_epi64((const __m128i*)q),
                                            _mm_loadl_epi64((const __m128i*)(q + 6)));
    const __m128i words = _mm_shufflehi_epi16(_mm_shufflelo_epi16(read, _MM_SHUFFLE(1, 2, 0, 1)),
                                              _MM_SHUFFLE(1, 2, 0, 1));
    const __m128i q_rb = _mm_and_si128(words, _mm_set1_epi64x(0xFF00FF0000FF00FFll));
    const __m128i q_g = _mm_and_si128(read, _mm_set1_epi64x(0x000000FF0000FF00ll));
    const __m128i o = _mm_loadu_si128((const __m128i*)p);
    const __m128i rb =
        _mm_add_epi16(_mm_mulhi_epu16(q_rb, a_rb), _mm_mulhi_epu16(_mm_slli_epi16(o, 8), b));
    const __m128i g = _mm_add_epi16(_mm_mulhi_epu16(q_g, a_g),
                                    _mm_mulhi_epu16(_mm_and_si128(o, _mm_set1_epi32(0xFF00)), b));
    // Green's upper lanes stay zero, so green moves into byte 1 and byte 3 stays clear.
    _mm_storeu_si128((__m128i*)p, _mm_or_si128(rb, _mm_slli_epi32(g, 8)));
}

// The picture factors ((255 - m) * alpha) >> 8 of the low eight mask bytes, as
// words: high halves of products with alpha of the masks' complements moved up
// a byte.
static inline __m128i mask_factors(__m128i mask, __m128i alphas) {
    const __m128i inverse = _mm_xor_si128(mask, _mm_set1_epi8(-1));
    return _mm_mulhi_epu16(_mm_unpacklo_epi8(_mm_setzero_si128(), inverse), alphas);
}
#endif

#if VORN_AVX2
// The masked blend in AVX2, eight pixels a step, where byte shuffles do what
// the SSE2 path does with masks and word shuffles. Every channel, of the
// picture and of the frame, sits in the high byte of a 16-bit lane (picture
// bytes picked there by the shuffle, frame bytes by unpacking beside zero),
// with the lanes of a pixel in the order blue, green, red, pad; its term is
// then the high half of its product with the unscaled factor, as in the SSE2
// path, and the pad's factors are 0. The two terms add up to at most 254, so
// packing the words to bytes gives the pixels in their places with a clear
// pad byte. The shuffles work within 16-byte halves: the frame's pixels
// 0-1, 4-5 (low words) and 2-3, 6-7 (high words) meet the picture's read at
// its pixels 0 and 4 (four bytes past pixel 7 are read) and each factor
// spread over its pixel's words.

// Shuffles of one pixel pair's RGB bytes (at 3k) into the high bytes of
// blue, green, red words and a zero pad word; -1 gives a zero byte.
#define PAIR_FROM(k)                                                                               \
    -1, 3 * (k) + 2, -1, 3 * (k) + 1, -1, 3 * (k), -1, -1, -1, 3 * (k) + 5, -1, 3 * (k) + 4, -1,   \
        3 * (k) + 3, -1, -1
// One factor byte f (and the next) into the low bytes of the pair's three channel words.
#define FACTORS_FROM(f) f, -1, f, -1, f, -1, -1, -1, f + 1, -1, f + 1, -1, f + 1, -1, -1, -1

VORN_TARGET_AVX2 static inline void blend8(uint32_t* p, const uint8_t* q, __m256i a_low,
                                           __m256i a_high) {
    const __m256i channels =
        _mm256_setr_epi16(255, 255, 255, 0, 255, 255, 255, 0, 255, 255, 255, 0, 255, 255, 255, 0);
    const __m256i pic =
        _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128((const __m128i*)q)),
                                _mm_loadu_si128((const __m128i*)(q + 12)), 1);
    const __m256i pic_low = _mm256_shuffle_epi8(pic, _mm256_setr_epi8(PAIR_FROM(0), PAIR_FROM(0)));
    const __m256i pic_high = _mm256_shuffle_epi8(pic, _mm256_setr_epi8(PAIR_FROM(2), PAIR_FROM(2)));
    const __m256i o = _mm256_loadu_si256((const __m256i*)p);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i low = _mm256_add_epi16(
        _mm256_mulhi_epu16(pic_low, a_low),
        _mm256_mulhi_epu16(_mm256_unpacklo_epi8(zero, o), _mm256_xor_si256(a_low, channels)));
    const __m256i high = _mm256_add_epi16(
        _mm256_mulhi_epu16(pic_high, a_high),
        _mm256_mulhi_epu16(_mm256_unpackhi_epi8(zero, o), _mm256_xor_si256(a_high, channels)));
    _mm256_storeu_si256((__m256i*)p, _mm256_packus_epi16(low, high));
}

// The pixels the AVX2 steps drew: at least the row's last two are left to the others.
VORN_TARGET_AVX2 static size_t blend_steps_avx2(uint32_t* p, const uint8_t* q, const uint8_t* m,
                                                size_t n, uint8_t alpha) {
    const __m128i alphas = _mm_set1_epi16(alpha);
    size_t c = 0;
    for (; c + 10 <= n; c += 8) {
        // The eight pixels' factors as bytes, in both halves.
        const __m128i a16 = mask_factors(_mm_loadl_epi64((const __m128i*)(m + c)), alphas);
        const __m256i a = _mm256_broadcastsi128_si256(_mm_packus_epi16(a16, a16));
        const __m256i a_low =
            _mm256_shuffle_epi8(a, _mm256_setr_epi8(FACTORS_FROM(0), FACTORS_FROM(4)));
        const __m256i a_high =
            _mm256_shuffle_epi8(a, _mm256_setr_epi8(FACTORS_FROM(2), FACTORS_FROM(6)));
        blend8(p + c, q + 3 * c, a_low, a_high);
    }
    return c;
}
#undef PAIR_FROM
#undef FACTORS_FROM
#endif

#if VORN_WASM_SIMD
// The masked blend on WebAssembly SIMD, eight pixels a step. Its 16 x 16-bit
// high product takes three instructions there, so every channel and factor
// sits in the low byte of a 16-bit lane (blue, green, red, pad per pixel, two
// pixels a register) and a term (c * f) >> 8 is the low product shifted: c *
// f < 2^16. The two terms add up to at most 254, so narrowing the words to
// bytes gives the pixels; the pad bytes, which come out as anything, are
// cleared at the end. The picture's bytes come from reads at its pixels 0 and
// 4 (four bytes past pixel 7 are read), put in pixel order by a byte shuffle.

// Four picture pixels' bytes (R G B from byte 0) as bytes blue, green, red,
// anything.
static inline v128_t picture_words(v128_t bytes) {
    return wasm_i8x16_shuffle(bytes, bytes, 2, 1, 0, 0, 5, 4, 3, 0, 8, 7, 6, 0, 11, 10, 9, 0);
}

// (q * a) >> 8 + (o * (255 - a)) >> 8 lane by lane, a at most 255.
static inline v128_t blend_words(v128_t q, v128_t o, v128_t a) {
    const v128_t b = wasm_v128_xor(a, wasm_i16x8_splat(255));
    return wasm_i16x8_add(wasm_u16x8_shr(wasm_i16x8_mul(q, a), 8),
                          wasm_u16x8_shr(wasm_i16x8_mul(o, b), 8));
}

// Four pixels blended over p from their picture bytes and their factors,
// each spread over its pixel's four words, two pixels a register.
static inline void blend4_wasm(uint32_t* p, v128_t picture, v128_t a01, v128_t a23) {
    const v128_t q = picture_words(picture), o = wasm_v128_load(p);
    const v128_t low =
        blend_words(wasm_u16x8_extend_low_u8x16(q), wasm_u16x8_extend_low_u8x16(o), a01);
    const v128_t high =
        blend_words(wasm_u16x8_extend_high_u8x16(q), wasm_u16x8_extend_high_u8x16(o), a23);
    wasm_v128_store(
        p, wasm_v128_and(wasm_u8x16_narrow_i16x8(low, high), wasm_i32x4_splat(0x00FFFFFF)));
}

#define PAIR_FACTORS(a, k) wasm_i16x8_shuffle(a, a, k, k, k, k, k + 1, k + 1, k + 1, k + 1)

static size_t blend_steps_wasm(uint32_t* p, const uint8_t* q, const uint8_t* m, size_t n,
                               uint8_t alpha) {
    const v128_t full = wasm_i16x8_splat(255), alphas = wasm_i16x8_splat(alpha);
    size_t c = 0;
    for (; c + 10 <= n; c += 8) {
        const v128_t inverse = wasm_i16x8_sub(full, wasm_u16x8_load8x8(m + c));
        const v128_t a = wasm_u16x8_shr(wasm_i16x8_mul(inverse, alphas), 8);
        blend4_wasm(p + c, wasm_v128_load(q + 3 * c), PAIR_FACTORS(a, 0), PAIR_FACTORS(a, 2));
        blend4_wasm(p + c + 4, wasm_v128_load(q + 3 * c + 12), PAIR_FACTORS(a, 4),
                    PAIR_FACTORS(a, 6));
    }
    return c;
}
#undef PAIR_FACTORS
#endif

#if VORN_SSE2
// The SSE2 steps of the masked blend from pixel c; they read two bytes past
// their last pixel, so they stop short of the row's last pixel, which the
// plain loop draws. Returns the first pixel not drawn.
static size_t blend_steps_sse2(uint32_t* p, const uint8_t* q, const uint8_t* m, size_t n,
                               uint8_t alpha, size_t c) {
    const __m128i alphas = _mm_set1_epi16(alpha);
    for (; c + 17 <= n; c += 16) {
        const __m128i masks = _mm_loadu_si128((const __m128i*)(m + c));
        const __m128i low = mask_factors(masks, alphas);
        const __m128i high = mask_factors(_mm_unpackhi_epi64(masks, masks), alphas);
        blend4(p + c, q + 3 * c, _mm_unpacklo_epi16(low, low));
        blend4(p + c + 4, q + 3 * c + 12, _mm_unpackhi_epi16(low, low));
        blend4(p + c + 8, q + 3 * c + 24, _mm_unpacklo_epi16(high, high));
        blend4(p + c + 12, q + 3 * c + 36, _mm_unpackhi_epi16(high, high));
    }
    for (; c + 5 <= n; c += 4) {
        int32_t four;
        std::memcpy(&four, m + c, 4);
        const __m128i a = mask_factors(_mm_cvtsi32_si128(four), alphas);
        blend4(p + c, q + 3 * c, _mm_unpacklo_epi16(a, a));
    }
    return c;
}

static void blend_run_sse2(uint32_t* p, const uint8_t* q, const uint8_t* m, size_t n,
                           uint8_t alpha) {
    const size_t c = blend_steps_sse2(p, q, m, n, alpha, 0);
    blend_run_plain(p + c, q + 3 * c, m + c, n - c, alpha);
}

// Byte lanes: the frame gains min(q - p, step) where the picture is brighter
// and loses min(p - q, step) where it is darker.
static void fade_run_sse2(uint32_t* p, const uint32_t* w, size_t n, uint8_t step_r, uint8_t step_g,
                          uint8_t step_b) {
    const __m128i steps = _mm_set1_epi32(int32_t(uint32_t(step_r) << 16 | step_g << 8 | step_b));
    const __m128i colour_bytes = _mm_set1_epi32(0x00FFFFFF);
    size_t c = 0;
    for (; c + 4 <= n; c += 4) {
        const __m128i q = _mm_loadu_si128((const __m128i*)(w + c));
        const __m128i o = _mm_and_si128(_mm_loadu_si128((const __m128i*)(p + c)), colour_bytes);
        const __m128i up = _mm_min_epu8(_mm_subs_epu8(q, o), steps);
        const __m128i down = _mm_min_epu8(_mm_subs_epu8(o, q), steps);
        _mm_storeu_si128((__m128i*)(p + c), _mm_sub_epi8(_mm_add_epi8(o, up), down));
    }
    fade_run_plain(p + c, w + c, n - c, step_r, step_g, step_b);
}
#endif

#if VORN_WASM_SIMD
static void blend_run_wasm(uint32_t* p, const uint8_t* q, const uint8_t* m, size_t n,
                           uint8_t alpha) {
    const size_t c = blend_steps_sse2(p, q, m, n, alpha, blend_steps_wasm(p, q, m, n, alpha));
    blend_run_plain(p + c, q + 3 * c, m + c, n - c, alpha);
}
#endif

#if VORN_AVX2
// The AVX2 steps, then the SSE2 ones for what they leave, then the plain loop.
static void blend_run_avx2(uint32_t* p, const uint8_t* q, const uint8_t* m, size_t n,
                           uint8_t alpha) {
    const size_t c = blend_steps_sse2(p, q, m, n, alpha, blend_steps_avx2(p, q, m, n, alpha));
    blend_run_plain(p + c, q + 3 * c, m + c, n - c, alpha);
}
#endif

void choose_picture_kernels() {
    blend_run = blend_run_plain;
    fade_run = fade_run_plain;
#if VORN_SSE2
    if (use_simd) {
        blend_run = blend_run_sse2;
        fade_run = fade_run_sse2;
    }
#endif
#if VORN_WASM_SIMD
    if (use_simd) blend_run = blend_run_wasm;
#endif
#if VORN_AVX2
    if (use_simd && use_avx2) blend_run = blend_run_avx2;
#endif
}
