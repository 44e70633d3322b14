// The pixel widening's vector twins, AVX2 and WebAssembly SIMD, beside the
// plain one in effect_tables.cpp; choose_effect_table_kernels picks one once
// for the processor.
#include "core/simd.h"
#include "effects/effect_tables.h"

#if VORN_AVX2
// Eight pixels a step by byte shuffles, leaving at least the last two to the
// plain loop: each 16-byte half holds four pixels' bytes (R G B, from a read
// at pixel 0 and one at pixel 4, each four bytes longer than its pixels) and
// becomes their words, blue in the low byte, the top byte clear.
VORN_TARGET_AVX2 static void widen_rgb_avx2(const uint8_t* rgb, uint32_t* out, size_t count) {
    const __m256i to_words = _mm256_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1,
                                              2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
    size_t i = 0;
    for (; i + 10 <= count; i += 8) {
        const uint8_t* q = rgb + 3 * i;
        const __m256i bytes =
            _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128((const __m128i*)q)),
                                    _mm_loadu_si128((const __m128i*)(q + 12)), 1);
        _mm256_storeu_si256((__m256i*)(out + i), _mm256_shuffle_epi8(bytes, to_words));
    }
    widen_rgb_plain(rgb + 3 * i, out + i, count - i);
}
#endif

#if VORN_WASM_SIMD
// Sixteen pixels a step from their 48 bytes in three reads, by byte shuffles
// of one read or two (SSE2 has none): pixels 0-3 are bytes 0-11 of the first
// read, 4-7 its last four and the second's first eight, 8-11 the second's
// last eight and the third's first four, 12-15 the third's last twelve. Each
// becomes four words, blue in the low byte, the top byte cleared.
static void widen_rgb_wasm(const uint8_t* rgb, uint32_t* out, size_t count) {
    const v128_t colour_bytes = wasm_i32x4_splat(0x00FFFFFF);
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const uint8_t* q = rgb + 3 * i;
        const v128_t a = wasm_v128_load(q), b = wasm_v128_load(q + 16);
        const v128_t c = wasm_v128_load(q + 32);
        const v128_t p0 =
            wasm_i8x16_shuffle(a, a, 2, 1, 0, 0, 5, 4, 3, 0, 8, 7, 6, 0, 11, 10, 9, 0);
        const v128_t p1 =
            wasm_i8x16_shuffle(a, b, 14, 13, 12, 0, 17, 16, 15, 0, 20, 19, 18, 0, 23, 22, 21, 0);
        const v128_t p2 =
            wasm_i8x16_shuffle(b, c, 10, 9, 8, 0, 13, 12, 11, 0, 16, 15, 14, 0, 19, 18, 17, 0);
        const v128_t p3 =
            wasm_i8x16_shuffle(c, c, 6, 5, 4, 0, 9, 8, 7, 0, 12, 11, 10, 0, 15, 14, 13, 0);
        uint32_t* o = out + i;
        wasm_v128_store(o, wasm_v128_and(p0, colour_bytes));
        wasm_v128_store(o + 4, wasm_v128_and(p1, colour_bytes));
        wasm_v128_store(o + 8, wasm_v128_and(p2, colour_bytes));
        wasm_v128_store(o + 12, wasm_v128_and(p3, colour_bytes));
    }
    widen_rgb_plain(rgb + 3 * i, out + i, count - i);
}
#endif

void choose_effect_table_kernels() {
    widen_rgb = widen_rgb_plain;
#if VORN_WASM_SIMD
    if (use_simd) widen_rgb = widen_rgb_wasm;
#endif
#if VORN_AVX2
    if (use_simd && use_avx2) widen_rgb = widen_rgb_avx2;
#endif
}
