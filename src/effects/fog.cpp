#include "effects/fog.h"

#include "data/render_resources.h"
#include "effects/effect_tables.h"

#include <algorithm>
#include <cmath>

#if VORN_SSE2
#include <emmintrin.h>
#endif

static const int CELL_SIZE = 10;
static const uint32_t DOT_COLOUR = 0x000000FF;

// The four cell patterns, 1 = set: centred squares of side 10, 8, 6 and 4,
// byte (i * 10 + j) for cell column i and cell row j.
struct CellMasks {
    uint8_t cells[4][CELL_SIZE * CELL_SIZE];
};

static constexpr CellMasks make_cell_masks() {
    CellMasks masks{};
    for (int level = 0; level < 4; level++)
        for (int i = 0; i < CELL_SIZE; i++)
            for (int j = 0; j < CELL_SIZE; j++)
                masks.cells[level][i * CELL_SIZE + j] =
                    i >= level && i < CELL_SIZE - level && j >= level && j < CELL_SIZE - level;
    return masks;
}

static constexpr CellMasks cell_masks = make_cell_masks();

// Exact unsigned division of 24-bit numerators by a fixed divisor as a
// multiply and shift (Granlund and Montgomery): with l = ceil(log2 d) and
// m = ceil(2^(24 + l) / d), n / d = (n * m) >> (24 + l) for every n < 2^24.
struct Reciprocal {
    uint64_t multiplier;
    uint32_t shift;
};

static Reciprocal reciprocal_of(uint32_t d) {
    uint32_t l = 0;
    while ((uint64_t(1) << l) < d) l++;
    const uint32_t shift = 24 + l;
    return {((uint64_t(1) << shift) + d - 1) / d, shift};
}

// One pixel washed towards the fog: f = min(255, e / D), k = 255 - f; each
// channel loses k / 2 (not below 0), gains the fog's share k * fog >> 8 and
// stays within 255.
static inline uint32_t fog_pixel(uint32_t o, uint32_t e, const Reciprocal& per_d,
                                 const uint32_t* fog_share) {
    const uint32_t f = uint32_t(std::min<uint64_t>(255, (e * per_d.multiplier) >> per_d.shift));
    const uint32_t k = 255 - f;
    const int32_t h = int32_t(k >> 1);
    const uint32_t share = fog_share[k];
    const uint32_t red = std::max<int32_t>(0, int32_t((o >> 16) & 0xFF) - h) + (share >> 16);
    const uint32_t green =
        std::max<int32_t>(0, int32_t((o >> 8) & 0xFF) - h) + ((share >> 8) & 0xFF);
    const uint32_t blue = std::max<int32_t>(0, int32_t(o & 0xFF) - h) + (share & 0xFF);
    return std::min<uint32_t>(255, red) << 16 | std::min<uint32_t>(255, green) << 8 |
           std::min<uint32_t>(255, blue);
}

#if VORN_SSE2
// The same four pixels at a time: the quotient by the 32 x 32 -> 64-bit
// multiply of two lanes at once, the channels in 16-bit lanes with saturating
// subtraction and packing doing the clamps.
static void fog_pixels_sse2(uint32_t* p, const uint32_t* depth, int count, uint32_t limit,
                            const Reciprocal& per_d, uint8_t fog_r, uint8_t fog_g, uint8_t fog_b) {
    const __m128i low24 = _mm_set1_epi32(0xFFFFFF);
    const __m128i limits = _mm_set1_epi32(int32_t(limit));
    const __m128i multiplier = _mm_set1_epi32(int32_t(uint32_t(per_d.multiplier)));
    const __m128i shift = _mm_cvtsi32_si128(int(per_d.shift));
    const __m128i max_f = _mm_set1_epi16(255);
    const __m128i fog = _mm_set_epi16(0, fog_r, fog_g, fog_b, 0, fog_r, fog_g, fog_b);
    const __m128i colour_bytes = _mm_set1_epi32(0x00FFFFFF);
    const __m128i zero = _mm_setzero_si128();
    for (int i = 0; i < count; i += 4) {
        const __m128i e = _mm_and_si128(_mm_loadu_si128((const __m128i*)(depth + i)), low24);
        const __m128i fogged = _mm_cmplt_epi32(e, limits);
        if (_mm_movemask_epi8(fogged) == 0) continue;
        const __m128i even = _mm_srl_epi64(_mm_mul_epu32(e, multiplier), shift);
        const __m128i odd = _mm_srl_epi64(_mm_mul_epu32(_mm_srli_epi64(e, 32), multiplier), shift);
        // Lanes 0 and 2 of even, 1 and 3 of odd; each below 2^25, so the
        // signed packing keeps them apart from the clamp.
        const __m128i f32 = _mm_or_si128(even, _mm_slli_epi64(odd, 32));
        const __m128i f16 = _mm_min_epi16(_mm_packs_epi32(f32, f32), max_f); // f0..f3 twice
        const __m128i k16 = _mm_sub_epi16(max_f, f16);
        // k of pixels 0, 1 and of 2, 3, each spread over its pixel's four lanes.
        const __m128i k_pairs = _mm_unpacklo_epi16(k16, k16); // k0 k0 k1 k1 k2 k2 k3 k3
        const __m128i k01 = _mm_unpacklo_epi32(k_pairs, k_pairs);
        const __m128i k23 = _mm_unpackhi_epi32(k_pairs, k_pairs);
        const __m128i o = _mm_loadu_si128((const __m128i*)(p + i));
        const __m128i o01 = _mm_unpacklo_epi8(o, zero);
        const __m128i o23 = _mm_unpackhi_epi8(o, zero);
        const __m128i w01 = _mm_add_epi16(_mm_subs_epu16(o01, _mm_srli_epi16(k01, 1)),
                                          _mm_srli_epi16(_mm_mullo_epi16(k01, fog), 8));
        const __m128i w23 = _mm_add_epi16(_mm_subs_epu16(o23, _mm_srli_epi16(k23, 1)),
                                          _mm_srli_epi16(_mm_mullo_epi16(k23, fog), 8));
        const __m128i washed = _mm_and_si128(_mm_packus_epi16(w01, w23), colour_bytes);
        const __m128i out =
            _mm_or_si128(_mm_and_si128(fogged, washed), _mm_andnot_si128(fogged, o));
        _mm_storeu_si128((__m128i*)(p + i), out);
    }
}
#endif

void apply_depth_fog(Surface* surface, float near, float far, uint8_t fog_r, uint8_t fog_g,
                     uint8_t fog_b) {
    if (!depth_buffer || depth_buffer_bytes < size_t(FRAME_PIXELS) * 4) return;
    // D below 1 (far within one unit of near, or a non-number) fogs nothing:
    // the division by D would have no meaning.
    const double divisor = (1.0 - 1.0 / (double(far) - double(near))) * 4095.0;
    if (!(divisor >= 1.0 && divisor < 4294967296.0)) return;
    const Reciprocal per_d = reciprocal_of(uint32_t(divisor));
    // Depths below T are fogged; as an exclusive integer limit that is ceil(T).
    const double T = (1.0 / double(near)) * 16777215.0;
    const uint32_t limit = !(T > 0.0) ? 0 : T >= 16777216.0 ? 16777216u : uint32_t(std::ceil(T));
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    uint32_t* p = frame.pixels;
#if VORN_SSE2
    if (use_simd) { // the multiplier lies in 2^24..2^25: one 32-bit lane

        fog_pixels_sse2(p, depth_buffer, FRAME_PIXELS, limit, per_d, fog_r, fog_g, fog_b);
        unlock_surface(surface);
        return;
    }
#endif
    // The fog's share of each channel for every k.
    uint32_t fog_share[256];
    for (uint32_t k = 0; k < 256; k++)
        fog_share[k] = ((fog_r * k) >> 8) << 16 | ((fog_g * k) >> 8) << 8 | ((fog_b * k) >> 8);
    for (int i = 0; i < FRAME_PIXELS; i++) {
        const uint32_t e = depth_buffer[i] & 0xFFFFFF;
        if (e < limit) p[i] = fog_pixel(p[i], e, per_d, fog_share);
    }
    unlock_surface(surface);
}

void draw_dot_cell(uint16_t x, uint16_t y, uint8_t level, Surface* surface) {
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    const uint8_t* mask = cell_masks.cells[level >> 6];
    const int columns = std::clamp(FRAME_WIDTH - int(x), 0, CELL_SIZE);
    const int rows = std::clamp(FRAME_HEIGHT - int(y), 0, CELL_SIZE);
    for (int i = 0; i < columns; i++) {
        const uint32_t* order = column_order + (size_t(x) + i) * FRAME_HEIGHT + y;
        for (int j = 0; j < rows; j++)
            if (mask[i * CELL_SIZE + j]) frame.pixels[order[j]] = DOT_COLOUR;
    }
    unlock_surface(surface);
}
