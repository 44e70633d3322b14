// Texture lookups: a texture is 256 x 256 texels of three bytes R G B, texel
// i at byte 3 * i, and each effect reduces its coordinates to a 16-bit index.
// The turned plane walks 16.16 coordinates u and v in wrapping 32-bit
// arithmetic; its index is the shift plus u's top half plus bits 16..23 of v
// as the high byte, modulo 2^16, so the plane repeats every 256 texels both
// ways and no coordinate can leave the texture.
#include "effects/tunnel.h"

#include "data/render_resources.h"
#include "effects/effect_tables.h"
#include "engine3d/math.h"

#include <algorithm>
#include <cstring>

#if VORN_SSE2
#include <emmintrin.h>
#endif

static const size_t TEXTURE_BYTES = size_t(TEXTURE_SIZE) * TEXTURE_SIZE * 3;
// Highest texel of the displaced texture: wave_table[b] * 255 + wave_table[a], both <= 62.
static const size_t DISPLACED_TEXTURE_BYTES = (62 * 255 + 62 + 1) * 3;
static const uint8_t WAVE_MAX = 62;
static const uint32_t REACH = WAVE_MAX + 1;

static inline uint32_t texel(const uint8_t* texture, uint32_t index) {
    return rgb_pixel(texture + 3 * size_t(index));
}

#if VORN_SSE2
// The turned plane four columns at a time. u and v hold the four columns'
// 16.16 coordinates, the shift already added to u's top half (adding
// shift << 16 to u moves its top half by shift modulo 2^16, all the index
// keeps). The index is u's top half plus bits 16..23 of v moved up a byte,
// modulo 2^16: v << 8 in 16-bit lanes leaves those bits as the top byte of
// each lane's upper half, and one 16-bit add there gives the index in each
// lane's upper half.
static inline __m128i turned_indices(__m128i u, __m128i v) {
    return _mm_srli_epi32(_mm_add_epi16(u, _mm_slli_epi16(v, 8)), 16);
}

static inline __m128i read_word(const uint8_t* bytes) {
    int32_t w;
    std::memcpy(&w, bytes, 4);
    return _mm_cvtsi32_si128(w);
}

// Bytes R G B n, one texel a 32-bit lane, as pixel words 0x00RRGGBB:
// swapping the 16-bit halves puts blue in byte 0 and red in byte 2, and green
// stays in byte 1.
static inline __m128i pixel_words(__m128i rgbn) {
    const __m128i swapped = _mm_shufflehi_epi16(_mm_shufflelo_epi16(rgbn, 0xB1), 0xB1);
    return _mm_or_si128(_mm_and_si128(swapped, _mm_set1_epi32(0x00FF00FF)),
                        _mm_and_si128(rgbn, _mm_set1_epi32(0xFF00)));
}

// The texels at four indices as pixel words. Each is read as the four bytes
// from its first, R G B and the next texel's red. The last texel has no next
// byte when the texture is exactly 65,536 texels long, so where the index is
// 65535 the read starts a byte earlier, at byte 196,604, and every read ends
// inside the texture. Such a lane's word is then made from the same four
// bytes on every call, and end_fix (pixel_words of those bytes, exclusive-ored
// with the last texel's word) turns it into the last texel by one exclusive or.
static inline __m128i texels(const uint8_t* t, __m128i index, __m128i end_fix) {
    const __m128i at_end = _mm_cmpeq_epi32(index, _mm_set1_epi32(0xFFFF));
    const __m128i offset = _mm_add_epi32(_mm_add_epi32(index, _mm_add_epi32(index, index)), at_end);
    alignas(16) uint32_t at[4];
    _mm_store_si128((__m128i*)at, offset);
    const __m128i rgbn =
        _mm_unpacklo_epi64(_mm_unpacklo_epi32(read_word(t + at[0]), read_word(t + at[1])),
                           _mm_unpacklo_epi32(read_word(t + at[2]), read_word(t + at[3])));
    return _mm_xor_si128(pixel_words(rgbn), _mm_and_si128(at_end, end_fix));
}

// end_fix of texels() for the texture t.
static __m128i end_fix_of(const uint8_t* t) {
    const uint32_t read_early =
        uint32_t(_mm_cvtsi128_si32(pixel_words(read_word(t + 3 * 0xFFFF - 1))));
    return _mm_set1_epi32(int32_t(read_early ^ texel(t, 0xFFFF)));
}

// One row of the turned plane from column 0's coordinates (u with the shift
// added); returns the first column not drawn, fewer than four from the end.
static uint32_t turned_row_simd(uint32_t* p, uint32_t width, const uint8_t* t, __m128i end_fix,
                                uint32_t u, uint32_t v, uint32_t c, uint32_t s) {
    __m128i us = _mm_setr_epi32(int32_t(u), int32_t(u + c), int32_t(u + 2 * c), int32_t(u + 3 * c));
    __m128i vs = _mm_setr_epi32(int32_t(v), int32_t(v - s), int32_t(v - 2 * s), int32_t(v - 3 * s));
    const __m128i step_u = _mm_set1_epi32(int32_t(4 * c)), step_v = _mm_set1_epi32(int32_t(4 * s));
    uint32_t x = 0;
    for (; x + 4 <= width; x += 4) {
        _mm_storeu_si128((__m128i*)(p + x), texels(t, turned_indices(us, vs), end_fix));
        us = _mm_add_epi32(us, step_u);
        vs = _mm_sub_epi32(vs, step_v);
    }
    return x;
}
#endif

void draw_tunnel(uint8_t depth_shift, uint8_t angle_shift, Surface* surface,
                 const Buffer& texture) {
    if (texture.size() < TEXTURE_BYTES) return;
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    const bool tables_fit = tunnel_width == FRAME_WIDTH && tunnel_height == FRAME_HEIGHT &&
                            tunnel_depth.size() >= size_t(FRAME_PIXELS) &&
                            tunnel_angle.size() >= size_t(FRAME_PIXELS);
    if (display_depth == 32 && tables_fit) {
        const uint8_t* depth = tunnel_depth.data();
        const uint8_t* angle = tunnel_angle.data();
        const uint8_t* t = texture.data();
        uint32_t* p = frame.pixels;
        for (int i = 0; i < FRAME_PIXELS; i++) {
            const uint32_t index = (angle_shift + ((uint32_t(depth[i]) + depth_shift) << 8) +
                                    (uint32_t(angle[i]) << 1)) &
                                   0xFFFF;
            p[i] = texel(t, index);
        }
    }
    unlock_surface(surface);
}

void draw_rotated_texture(Surface* surface, uint8_t u_shift, uint8_t v_shift, uint8_t angle,
                          const Buffer& texture) {
    if (!sphere_table || texture.size() < TEXTURE_BYTES) return;
    FrameSurface frame;
    if (!lock_surface(surface, &frame)) return;
    if (display_depth == 32) {
        const uint8_t turn = uint8_t(-angle);
        const int32_t s = int32_t(sin_table[turn] * 65536.0);
        const int32_t c = int32_t(cos_table[turn] * 65536.0);
        // 16.16 texture coordinates in wrapping 32-bit arithmetic.
        uint32_t row_u = 0x800000u - (uint32_t(c) + uint32_t(s)) * (frame.height >> 1);
        uint32_t row_v = 0x800000u - (uint32_t(c) - uint32_t(s)) * (frame.width >> 1);
        const uint32_t shift = (uint32_t(v_shift) << 8) + u_shift;
        const uint8_t* t = texture.data();
        const size_t stride = size_t(frame.pitch) / 4;
        uint32_t* p = frame.pixels;
        if (s == 0 && c == 65536) {
            // Unturned: each row reads consecutive texels (the index wrapping
            // at 2^16), as the column advances u by one texel and keeps v.
            for (uint32_t y = 0; y < frame.height; y++, p += stride, row_v += uint32_t(c)) {
                uint32_t index =
                    (shift + (uint32_t(int32_t(row_v) >> 8) & 0xFF00) + (row_u >> 16)) & 0xFFFF;
                for (uint32_t x = 0; x < frame.width;) {
                    const uint32_t n = std::min(frame.width - x, 65536 - index);
                    widen_rgb(t + 3 * size_t(index), p + x, n);
                    x += n;
                    index = (index + n) & 0xFFFF;
                }
            }
            unlock_surface(surface);
            return;
        }
#if VORN_SSE2
        const __m128i end_fix = end_fix_of(t);
#endif
        for (uint32_t y = 0; y < frame.height; y++, p += stride) {
            uint32_t x = 0;
#if VORN_SSE2
            if (use_simd)
                x = turned_row_simd(p, frame.width, t, end_fix, row_u + (shift << 16), row_v,
                                    uint32_t(c), uint32_t(s));
#endif
            uint32_t u = row_u + x * uint32_t(c), v = row_v - x * uint32_t(s);
            for (; x < frame.width; x++) {
                const uint32_t index =
                    (shift + (uint32_t(int32_t(v) >> 8) & 0xFF00) + uint32_t(int32_t(u) >> 16)) &
                    0xFFFF;
                p[x] = texel(t, index);
                u += uint32_t(c);
                v -= uint32_t(s);
            }
            row_u += uint32_t(s);
            row_v += uint32_t(c);
        }
    }
    unlock_surface(surface);
}

void draw_displaced_texture(uint8_t phase, Surface* surface, const Buffer& map1, const Buffer& map2,
                            const Buffer& texture) {
    if (map1.size() < size_t(FRAME_PIXELS) || map2.size() < size_t(FRAME_PIXELS) ||
        texture.size() < DISPLACED_TEXTURE_BYTES)
        return;
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    const uint8_t* d1 = map1.data();
    const uint8_t* d2 = map2.data();
    const uint8_t* t = texture.data();
    uint32_t* p = frame.pixels;
    if (*std::max_element(wave_table, wave_table + 256) <= WAVE_MAX) {
        // The 63 x 63 texels the waves reach, as words, and each map value's
        // wave moved by the phase (the row's already times 63): three reads
        // a pixel besides the maps.
        uint32_t reach[REACH * REACH];
        for (uint32_t row = 0; row < REACH; row++)
            for (uint32_t column = 0; column < REACH; column++)
                reach[row * REACH + column] = texel(t, row * 255 + column);
        uint16_t row_of[256], column_of[256];
        for (int d = 0; d < 256; d++) {
            row_of[d] = uint16_t(wave_table[uint8_t(d + phase)] * REACH);
            column_of[d] = wave_table[uint8_t(d - phase)];
        }
        for (int i = 0; i < FRAME_PIXELS; i++) p[i] = reach[row_of[d2[i]] + column_of[d1[i]]];
        unlock_surface(surface);
        return;
    }
    for (int i = 0; i < FRAME_PIXELS; i++) {
        const uint8_t a = uint8_t(d1[i] - phase);
        const uint8_t b = uint8_t(d2[i] + phase);
        p[i] = texel(t, uint32_t(wave_table[b]) * 255 + wave_table[a]);
    }
    unlock_surface(surface);
}
