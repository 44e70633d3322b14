// The light bands' SSE2 twin, beside the plain loop in timeline_effects.cpp;
// choose_timeline_effect_kernels picks it once where the build has SSE2.
#include "core/simd.h"
#include "director/timeline_effects.h"

#if VORN_SSE2
// The bands sixteen columns at a time: the lift from three byte compares
// (20 up to 24, 30 from 8 to 15), each pixel's lift spread over its three
// channels and added with saturation; blocks without a band are skipped.
static void lift_bands_sse2(uint32_t* p, const uint8_t* column_part, const uint8_t* row_parts) {
    const __m128i below_8 = _mm_set1_epi8(7), below_16 = _mm_set1_epi8(15);
    const __m128i below_25 = _mm_set1_epi8(24);
    const __m128i lift_20 = _mm_set1_epi8(20), lift_30 = _mm_set1_epi8(30);
    const __m128i colour_bytes = _mm_set1_epi32(0x00FFFFFF), zero = _mm_setzero_si128();
    for (int y = 0; y < FRAME_HEIGHT; y++, p += FRAME_WIDTH) {
        const __m128i row_part = _mm_set1_epi8(char(row_parts[y]));
        for (int x = 0; x < FRAME_WIDTH; x += 16) {
            const __m128i v =
                _mm_add_epi8(row_part, _mm_loadu_si128((const __m128i*)(column_part + x)));
            const auto upto = [&](__m128i limit) {
                return _mm_cmpeq_epi8(_mm_min_epu8(v, limit), v);
            };
            const __m128i lift = _mm_or_si128(
                _mm_and_si128(upto(below_25), lift_20),
                _mm_and_si128(_mm_andnot_si128(upto(below_8), upto(below_16)), lift_30));
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(lift, zero)) == 0xFFFF) continue;
            const __m128i pairs[2] = {_mm_unpacklo_epi8(lift, lift), _mm_unpackhi_epi8(lift, lift)};
            for (int k = 0; k < 4; k++) {
                const __m128i spread = (k & 1) ? _mm_unpackhi_epi16(pairs[k >> 1], pairs[k >> 1])
                                               : _mm_unpacklo_epi16(pairs[k >> 1], pairs[k >> 1]);
                uint32_t* q = p + x + 4 * k;
                const __m128i o = _mm_loadu_si128((const __m128i*)q);
                const __m128i lifted = _mm_adds_epu8(_mm_and_si128(o, colour_bytes),
                                                     _mm_and_si128(spread, colour_bytes));
                const __m128i keep = _mm_cmpeq_epi32(spread, zero);
                _mm_storeu_si128((__m128i*)q, _mm_or_si128(_mm_and_si128(keep, o),
                                                           _mm_andnot_si128(keep, lifted)));
            }
        }
    }
}
#endif

void choose_timeline_effect_kernels() {
    lift_bands = lift_bands_plain;
#if VORN_SSE2
    if (use_simd) lift_bands = lift_bands_sse2;
#endif
}
