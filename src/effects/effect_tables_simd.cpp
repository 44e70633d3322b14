// The pixel widening's AVX2 twin, beside the plain one in effect_tables.cpp;
// choose_effect_table_kernels picks one once for the processor.
#include "core/cpu.h"
#include "effects/effect_tables.h"

#if VORN_AVX2
#include <immintrin.h>

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

void choose_effect_table_kernels() {
    widen_rgb = widen_rgb_plain;
#if VORN_AVX2
    if (use_simd && use_avx2) widen_rgb = widen_rgb_avx2;
#endif
}
