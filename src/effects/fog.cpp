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
// The SSE2 path takes eight pixels at a time. The quotient comes as a float
// product when D is at most 4095 (whenever far lies beyond near) and as the
// integer multiply and shift otherwise; the channels are bytes, where
// saturating subtraction and addition do both clamps.
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

struct Divider {
    __m128 reciprocal;  // the float quotient's r
    __m128i multiplier; // the integer quotient's m (below 2^25, one 32-bit lane)
    __m128i shift;
};

// Four quotients e / D, not yet clamped; each lies below 2^25.
template <bool BY_FLOAT> static inline __m128i quotients(__m128i e, const Divider& divider) {
    if constexpr (BY_FLOAT) {
        return _mm_cvttps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(e), divider.reciprocal));
    } else {
        // The 32 x 32 -> 64-bit multiply of lanes 0 and 2, then of 1 and 3.
        const __m128i even = _mm_srl_epi64(_mm_mul_epu32(e, divider.multiplier), divider.shift);
        const __m128i odd =
            _mm_srl_epi64(_mm_mul_epu32(_mm_srli_epi64(e, 32), divider.multiplier), divider.shift);
        return _mm_or_si128(even, _mm_slli_epi64(odd, 32));
    }
}

// Eight pixels a step. Per pixel, with h = k >> 1 and k = 0 where it is not fogged:
// take = bytes (h, h, h, 0xFF) for fogged pixels, share = bytes (blue, green,
// red, 0); the pixel becomes (o -sat take) +sat share. Each is built as a low
// and a high 16-bit word per pixel and interleaved.
template <bool BY_FLOAT>
static void fog_pixels_sse2(uint32_t* p, const uint32_t* depth, int count, uint32_t limit,
                            const Divider& divider, uint8_t fog_r, uint8_t fog_g, uint8_t fog_b) {
    const __m128i low24 = _mm_set1_epi32(0xFFFFFF);
    const __m128i limits = _mm_set1_epi32(int32_t(limit));
    const __m128i max_f = _mm_set1_epi16(255);
    const __m128i high_byte = _mm_set1_epi16(int16_t(0xFF00));
    const __m128i both_bytes = _mm_set1_epi16(0x0101);
    // (k * c) >> 8 as the high word of k * (c << 8); green's share stays in the high byte.
    const __m128i fog_blue = _mm_set1_epi16(int16_t(fog_b << 8));
    const __m128i fog_green = _mm_set1_epi16(fog_g);
    const __m128i fog_red = _mm_set1_epi16(int16_t(fog_r << 8));
    for (int i = 0; i < count; i += 8) {
        const __m128i e0 = _mm_and_si128(_mm_loadu_si128((const __m128i*)(depth + i)), low24);
        const __m128i e1 = _mm_and_si128(_mm_loadu_si128((const __m128i*)(depth + i + 4)), low24);
        const __m128i fogged =
            _mm_packs_epi32(_mm_cmplt_epi32(e0, limits), _mm_cmplt_epi32(e1, limits));
        if (_mm_movemask_epi8(fogged) == 0) continue;
        // Signed packing clamps the quotients to 32767, the subtraction to 255.
        const __m128i f =
            _mm_packs_epi32(quotients<BY_FLOAT>(e0, divider), quotients<BY_FLOAT>(e1, divider));
        const __m128i k = _mm_and_si128(_mm_subs_epu16(max_f, f), fogged);
        const __m128i h = _mm_srli_epi16(k, 1);
        const __m128i take_low = _mm_mullo_epi16(h, both_bytes);
        const __m128i take_high = _mm_or_si128(h, _mm_and_si128(fogged, high_byte));
        const __m128i share_low = _mm_or_si128(
            _mm_mulhi_epu16(k, fog_blue), _mm_and_si128(_mm_mullo_epi16(k, fog_green), high_byte));
        const __m128i share_high = _mm_mulhi_epu16(k, fog_red);
        const __m128i o0 = _mm_loadu_si128((const __m128i*)(p + i));
        const __m128i o1 = _mm_loadu_si128((const __m128i*)(p + i + 4));
        const __m128i w0 = _mm_adds_epu8(_mm_subs_epu8(o0, _mm_unpacklo_epi16(take_low, take_high)),
                                         _mm_unpacklo_epi16(share_low, share_high));
        const __m128i w1 = _mm_adds_epu8(_mm_subs_epu8(o1, _mm_unpackhi_epi16(take_low, take_high)),
                                         _mm_unpackhi_epi16(share_low, share_high));
        _mm_storeu_si128((__m128i*)(p + i), w0);
        _mm_storeu_si128((__m128i*)(p + i + 4), w1);
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
    if (use_simd) {
        static_assert(FRAME_PIXELS % 8 == 0, "the SSE2 path takes eight pixels a step");
        const uint32_t d = uint32_t(divisor);
        const bool by_float = d <= MAX_FLOAT_DIVISOR;
        const float r = by_float ? reciprocal_rounded_up(d) : 0.0f;
        const Divider divider{_mm_set1_ps(r), _mm_set1_epi32(int32_t(uint32_t(per_d.multiplier))),
                              _mm_cvtsi32_si128(int(per_d.shift))};
        if (by_float)
            fog_pixels_sse2<true>(p, depth_buffer, FRAME_PIXELS, limit, divider, fog_r, fog_g,
                                  fog_b);
        else
            fog_pixels_sse2<false>(p, depth_buffer, FRAME_PIXELS, limit, divider, fog_r, fog_g,
                                   fog_b);
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
