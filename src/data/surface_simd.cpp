// The surface fill's vector twins, AVX2 and AVX-512, beside the plain one in
// surface.cpp; choose_surface_kernels picks one once for the processor.
#include "core/simd.h"
#include "data/surface.h"

#if VORN_AVX2
VORN_TARGET_AVX2 static void fill_pixels_avx2(uint32_t* pixels, size_t count, uint32_t colour) {
    const __m256i words = _mm256_set1_epi32(int(colour));
    size_t i = 0;
    for (; i + 8 <= count; i += 8)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels + i), words);
    fill_pixels_plain(pixels + i, count - i, colour);
}

VORN_TARGET_AVX512 static void fill_pixels_avx512(uint32_t* pixels, size_t count, uint32_t colour) {
    const __m512i words = _mm512_set1_epi32(int(colour));
    size_t i = 0;
    for (; i + 16 <= count; i += 16) _mm512_storeu_si512(pixels + i, words);
    fill_pixels_plain(pixels + i, count - i, colour);
}
#endif

void choose_surface_kernels() {
    fill_pixels = fill_pixels_plain;
#if VORN_AVX2
    if (use_simd && use_avx2) fill_pixels = use_avx512 ? fill_pixels_avx512 : fill_pixels_avx2;
#endif
}
