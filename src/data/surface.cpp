#include "data/surface.h"

#include "core/cpu.h"

#include <algorithm>

#if VORN_AVX2
#include <immintrin.h>
#endif

Surface* surface_primary = nullptr;
Surface* surface_back = nullptr;
Surface* surface_virtual1 = nullptr;
int surface_failing_locks = 0;

int create_working_surface() {
    release_working_surface();
    surface_virtual1 = new Surface{std::vector<uint32_t>(FRAME_PIXELS, 0), FRAME_WIDTH,
                                   FRAME_HEIGHT, false, nullptr};
    return 1;
}

void release_working_surface() {
    delete surface_virtual1;
    surface_virtual1 = nullptr;
}

int lock_surface(Surface* surface, FrameSurface* out) {
    *out = FrameSurface{};
    if (!surface || surface->locked || surface->pixels.empty()) return 0;
    if (surface_failing_locks > 0) {
        surface_failing_locks--;
        return 0;
    }
    surface->locked = true;
    *out = FrameSurface{surface->pixels.data(), int32_t(surface->width * 4), surface->width,
                        surface->height};
    return 1;
}

int unlock_surface(Surface* surface) {
    if (!surface || !surface->locked) return 0;
    surface->locked = false;
    return 1;
}

#if VORN_AVX2
// The first whole steps of fill_pixels; returns how many words they set.
VORN_TARGET_AVX2 static size_t fill_pixels_avx2(uint32_t* pixels, size_t count, uint32_t colour) {
    const __m256i words = _mm256_set1_epi32(int(colour));
    size_t i = 0;
    for (; i + 8 <= count; i += 8)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels + i), words);
    return i;
}

VORN_TARGET_AVX512 static size_t fill_pixels_avx512(uint32_t* pixels, size_t count,
                                                    uint32_t colour) {
    const __m512i words = _mm512_set1_epi32(int(colour));
    size_t i = 0;
    for (; i + 16 <= count; i += 16) _mm512_storeu_si512(pixels + i, words);
    return i;
}
#endif

void fill_pixels(uint32_t* pixels, size_t count, uint32_t colour) {
    size_t i = 0;
#if VORN_AVX2
    if (use_simd && use_avx2)
        i = use_avx512 ? fill_pixels_avx512(pixels, count, colour)
                       : fill_pixels_avx2(pixels, count, colour);
#endif
    std::fill(pixels + i, pixels + count, colour);
}
