#include "effects/pictures.h"

#include "effects/effect_tables.h"

#include <algorithm>
#include <cstring>

#if VORN_SSE2
#include <emmintrin.h>
#endif

static const size_t FULL_PICTURE_BYTES = size_t(FRAME_PIXELS) * 3;

// Pixels are widened from the picture's bytes a run of at most this many at a time.
static const size_t RUN = 256;

// Picture pixels over frame pixels, n of them (n <= RUN): mode 0 copies,
// mode 1 skips black, mode 2 skips black and averages each channel with the
// frame, rounding down.
static void draw_run(uint32_t* p, const uint8_t* q, size_t n, uint8_t mode) {
    if (mode == 0) {
        widen_rgb(q, p, n);
        return;
    }
    uint32_t w[RUN];
    widen_rgb(q, w, n);
    if (mode == 1) {
        for (size_t c = 0; c < n; c++) p[c] = w[c] ? w[c] : p[c];
        return;
    }
    for (size_t c = 0; c < n; c++) {
        const uint32_t o = p[c] & 0xFFFFFF;
        const uint32_t mean = (o & w[c]) + (((o ^ w[c]) & 0xFEFEFE) >> 1);
        p[c] = w[c] ? mean : p[c];
    }
}

static void draw_row(uint32_t* p, const uint8_t* q, size_t n, uint8_t mode) {
    for (size_t c = 0; c < n; c += RUN) draw_run(p + c, q + 3 * c, std::min(RUN, n - c), mode);
}

void draw_picture(const Buffer& picture, Surface* surface, uint8_t mode) {
    if (picture.size() < FULL_PICTURE_BYTES) return;
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    if (display_depth == 32 && mode <= 1)
        draw_row(frame.pixels, picture.data(), FRAME_PIXELS, mode);
    unlock_surface(surface);
}

// The visible part of a w x h picture placed at (x, y) on a W x H frame.
struct ClipRect {
    int64_t columns, rows;    // visible size; nothing to draw when either is < 1
    size_t source;            // first picture pixel read
    int64_t frame_x, frame_y; // first frame pixel written
};

static ClipRect clip_picture(int32_t x, int32_t y, uint32_t w, uint32_t h, uint32_t W, uint32_t H) {
    const int64_t sx = x < 0 ? -int64_t(x) : 0;
    const int64_t sy = y < 0 ? -int64_t(y) : 0;
    const int64_t fx = std::max<int64_t>(x, 0);
    const int64_t fy = std::max<int64_t>(y, 0);
    ClipRect clip;
    clip.columns = std::min<int64_t>(int64_t(w) - sx, int64_t(W) - fx);
    clip.rows = std::min<int64_t>(int64_t(h) - sy, int64_t(H) - fy);
    clip.source = clip.columns > 0 && clip.rows > 0 ? size_t(sy) * w + size_t(sx) : 0;
    clip.frame_x = fx;
    clip.frame_y = fy;
    return clip;
}

// True when a w x h picture at (x, y) lies wholly above or left of the frame.
static bool wholly_before_frame(int32_t x, int32_t y, uint32_t w, uint32_t h) {
    return int64_t(y) <= -int64_t(h) || int64_t(x) <= -int64_t(w);
}

void draw_picture_at(const Buffer& picture, Surface* surface, uint8_t mode, int32_t x, int32_t y,
                     uint32_t width, uint32_t height) {
    if (picture.empty()) return;
    if (picture.size() / 3 < uint64_t(width) * height) return;
    if (wholly_before_frame(x, y, width, height)) return;
    FrameSurface frame;
    if (!lock_surface(surface, &frame)) return;
    const ClipRect clip = clip_picture(x, y, width, height, frame.width, frame.height);
    if (display_depth == 32 && mode <= 2 && clip.columns > 0 && clip.rows > 0) {
        const size_t stride = size_t(frame.pitch) / 4;
        const uint8_t* q = picture.data() + 3 * clip.source;
        uint32_t* p = frame.pixels + size_t(clip.frame_y) * stride + size_t(clip.frame_x);
        for (int64_t r = 0; r < clip.rows; r++, q += 3 * size_t(width), p += stride)
            draw_row(p, q, size_t(clip.columns), mode);
    }
    unlock_surface(surface);
}

static inline uint32_t blend_channel(uint32_t q, uint32_t p, uint32_t a) {
    return std::min<uint32_t>(255, ((q * a) >> 8) + ((p * (255 - a)) >> 8));
}

#if VORN_SSE2
// Two pixels of RGB bytes as 16-bit lanes B G R and, fourth, the byte after
// each pixel (the red of the next), which the colour mask drops later.
static inline __m128i two_pixels(const uint8_t* rgb) {
    int32_t first, second;
    std::memcpy(&first, rgb, 4);
    std::memcpy(&second, rgb + 3, 4);
    const __m128i bytes = _mm_unpacklo_epi32(_mm_cvtsi32_si128(first), _mm_cvtsi32_si128(second));
    const __m128i lanes = _mm_unpacklo_epi8(bytes, _mm_setzero_si128()); // R G B next, twice
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(lanes, _MM_SHUFFLE(3, 0, 1, 2)),
                               _MM_SHUFFLE(3, 0, 1, 2));
}
#endif

// n picture pixels (RGB bytes at q) over frame pixels through the mask.
static void blend_run(uint32_t* p, const uint8_t* q, const uint8_t* m, size_t n, uint8_t alpha) {
    size_t c = 0;
#if VORN_SSE2
    // Eight pixels at a time in 16-bit lanes. Each product's >> 8 comes from
    // the high half of a product with the factor times 256 (both below 2^16);
    // the two parts add up to at most 254, so no clamp is needed. The picture
    // is read four bytes a pixel, so the row's last pixel is the plain loop's.
    if (use_simd) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i all = _mm_set1_epi16(255);
        const __m128i alpha_256 = _mm_set1_epi16(short(alpha << 8));
        const __m128i full_256 = _mm_set1_epi16(short(0xFF00));
        const __m128i colour_bytes = _mm_set1_epi32(0x00FFFFFF);
        for (; c + 9 <= n; c += 8) {
            const __m128i masks = _mm_unpacklo_epi8(_mm_loadl_epi64((const __m128i*)(m + c)), zero);
            const __m128i a = _mm_mulhi_epu16(_mm_sub_epi16(all, masks), alpha_256);
            const __m128i a_256 = _mm_slli_epi16(a, 8);
            const __m128i halves[2] = {_mm_unpacklo_epi16(a_256, a_256),
                                       _mm_unpackhi_epi16(a_256, a_256)};
            for (int h = 0; h < 2; h++) {
                const __m128i a01 = _mm_unpacklo_epi32(halves[h], halves[h]);
                const __m128i a23 = _mm_unpackhi_epi32(halves[h], halves[h]);
                const uint8_t* source = q + 3 * (c + 4 * h);
                const __m128i o = _mm_loadu_si128((const __m128i*)(p + c + 4 * h));
                const __m128i b01 = _mm_add_epi16(
                    _mm_mulhi_epu16(two_pixels(source), a01),
                    _mm_mulhi_epu16(_mm_unpacklo_epi8(o, zero), _mm_sub_epi16(full_256, a01)));
                const __m128i b23 = _mm_add_epi16(
                    _mm_mulhi_epu16(two_pixels(source + 6), a23),
                    _mm_mulhi_epu16(_mm_unpackhi_epi8(o, zero), _mm_sub_epi16(full_256, a23)));
                _mm_storeu_si128((__m128i*)(p + c + 4 * h),
                                 _mm_and_si128(_mm_packus_epi16(b01, b23), colour_bytes));
            }
        }
    }
#endif
    for (; c < n; c++) {
        const uint32_t a = ((255u - m[c]) * alpha) >> 8;
        const uint32_t w = rgb_pixel(q + 3 * c), o = p[c];
        p[c] = blend_channel(w >> 16, (o >> 16) & 0xFF, a) << 16 |
               blend_channel((w >> 8) & 0xFF, (o >> 8) & 0xFF, a) << 8 |
               blend_channel(w & 0xFF, o & 0xFF, a);
    }
}

void blend_picture_masked(const Buffer& picture, Surface* surface, const Buffer& mask, int32_t x,
                          int32_t y, uint32_t width, uint32_t height, uint8_t alpha) {
    if (picture.empty()) return;
    const uint64_t pixels = uint64_t(width) * height;
    if (picture.size() / 3 < pixels || mask.size() < pixels) return;
    if (wholly_before_frame(x, y, width, height)) return;
    FrameSurface frame;
    if (!lock_surface(surface, &frame)) return;
    const ClipRect clip = clip_picture(x, y, width, height, frame.width, frame.height);
    if (clip.columns > 0 && clip.rows > 0) {
        const size_t stride = size_t(frame.pitch) / 4;
        const uint8_t* q = picture.data() + 3 * clip.source;
        const uint8_t* m = mask.data() + clip.source;
        uint32_t* p = frame.pixels + size_t(clip.frame_y) * stride + size_t(clip.frame_x);
        for (int64_t r = 0; r < clip.rows; r++, q += 3 * size_t(width), m += width, p += stride)
            blend_run(p, q, m, size_t(clip.columns), alpha);
    }
    unlock_surface(surface);
}

// p moved towards q by at most step.
static inline uint32_t fade_channel(uint32_t p, uint32_t q, int32_t step) {
    const int32_t d = std::clamp(int32_t(q) - int32_t(p), -step, step);
    return uint32_t(int32_t(p) + d);
}

static void fade_run(uint32_t* p, const uint32_t* w, size_t n, uint8_t step_r, uint8_t step_g,
                     uint8_t step_b) {
    size_t c = 0;
#if VORN_SSE2
    // Byte lanes: the frame gains min(q - p, step) where the picture is
    // brighter and loses min(p - q, step) where it is darker.
    if (use_simd) {
        const __m128i steps =
            _mm_set1_epi32(int32_t(uint32_t(step_r) << 16 | step_g << 8 | step_b));
        const __m128i colour_bytes = _mm_set1_epi32(0x00FFFFFF);
        for (; c + 4 <= n; c += 4) {
            const __m128i q = _mm_loadu_si128((const __m128i*)(w + c));
            const __m128i o = _mm_and_si128(_mm_loadu_si128((const __m128i*)(p + c)), colour_bytes);
            const __m128i up = _mm_min_epu8(_mm_subs_epu8(q, o), steps);
            const __m128i down = _mm_min_epu8(_mm_subs_epu8(o, q), steps);
            _mm_storeu_si128((__m128i*)(p + c), _mm_sub_epi8(_mm_add_epi8(o, up), down));
        }
    }
#endif
    for (; c < n; c++) {
        const uint32_t o = p[c], q = w[c];
        p[c] = fade_channel((o >> 16) & 0xFF, q >> 16, step_r) << 16 |
               fade_channel((o >> 8) & 0xFF, (q >> 8) & 0xFF, step_g) << 8 |
               fade_channel(o & 0xFF, q & 0xFF, step_b);
    }
}

void fade_to_picture(const Buffer& picture, Surface* surface, uint8_t step_r, uint8_t step_g,
                     uint8_t step_b) {
    if (picture.size() < FULL_PICTURE_BYTES) return;
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    if (display_depth == 32) {
        uint32_t w[RUN];
        for (size_t c = 0; c < size_t(FRAME_PIXELS); c += RUN) {
            const size_t n = std::min(RUN, size_t(FRAME_PIXELS) - c);
            widen_rgb(picture.data() + 3 * c, w, n);
            fade_run(frame.pixels + c, w, n, step_r, step_g, step_b);
        }
    }
    unlock_surface(surface);
}
