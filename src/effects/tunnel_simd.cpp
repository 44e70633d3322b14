// The tunnel's and the turned plane's SSE2 twins, beside the plain loops in
// tunnel.cpp, with their texel reads in WebAssembly SIMD where it is built for
// that; choose_tunnel_kernels picks them once where the build has SSE2.
#include "core/simd.h"
#include "effects/effect_tables.h"
#include "effects/tunnel.h"

#include <cstring>

#if VORN_SSE2
static inline uint32_t texel(const uint8_t* texture, uint32_t index) {
    return rgb_pixel(texture + 3 * size_t(index));
}

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
// stays in byte 1. WebAssembly SIMD does it in one byte shuffle.
static inline __m128i pixel_words(__m128i rgbn) {
#if VORN_WASM_SIMD
    return wasm_i8x16_shuffle(rgbn, wasm_i32x4_splat(0), 2, 1, 0, 16, 6, 5, 4, 16, 10, 9, 8, 16, 14,
                              13, 12, 16);
#else
    const __m128i swapped = _mm_shufflehi_epi16(_mm_shufflelo_epi16(rgbn, 0xB1), 0xB1);
    return _mm_or_si128(_mm_and_si128(swapped, _mm_set1_epi32(0x00FF00FF)),
                        _mm_and_si128(rgbn, _mm_set1_epi32(0xFF00)));
#endif
}

// The texels at four indices as pixel words. Each is read as the four bytes
// from its first, R G B and the next texel's red. The last texel has no next
// byte when the texture is exactly 65,536 texels long, so where the index is
// 65535 the read starts a byte earlier, at byte 196,604, and every read ends
// inside the texture. Such a lane's word is then made from the same four
// bytes on every call, and end_fix (pixel_words of those bytes, exclusive-ored
// with the last texel's word) turns it into the last texel by one exclusive or.
// On WebAssembly SIMD the offsets are taken from their lanes and the words
// read into them, where SSE2 stores and unpacks.
static inline __m128i texels(const uint8_t* t, __m128i index, __m128i end_fix) {
    const __m128i at_end = _mm_cmpeq_epi32(index, _mm_set1_epi32(0xFFFF));
    const __m128i offset = _mm_add_epi32(_mm_add_epi32(index, _mm_add_epi32(index, index)), at_end);
#if VORN_WASM_SIMD
    const auto word = [t](uint32_t at) {
        uint32_t w;
        std::memcpy(&w, t + at, 4);
        return w;
    };
    const __m128i rgbn = wasm_u32x4_make(
        word(wasm_u32x4_extract_lane(offset, 0)), word(wasm_u32x4_extract_lane(offset, 1)),
        word(wasm_u32x4_extract_lane(offset, 2)), word(wasm_u32x4_extract_lane(offset, 3)));
#else
    alignas(16) uint32_t at[4];
    _mm_store_si128((__m128i*)at, offset);
    const __m128i rgbn =
        _mm_unpacklo_epi64(_mm_unpacklo_epi32(read_word(t + at[0]), read_word(t + at[1])),
                           _mm_unpacklo_epi32(read_word(t + at[2]), read_word(t + at[3])));
#endif
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

// Sixteen tunnel pixels a step, the last few by the plain loop. The indices
// are summed in 16-bit lanes, which wrap modulo 2^16 as the index does, then
// widened four at a time for texels().
static inline __m128i tunnel_indices(__m128i depth, __m128i angle, __m128i depth_shift,
                                     __m128i angle_shift) {
    const __m128i along = _mm_slli_epi16(_mm_add_epi16(depth, depth_shift), 8);
    return _mm_add_epi16(_mm_add_epi16(along, _mm_slli_epi16(angle, 1)), angle_shift);
}

static void draw_tunnel_pixels_sse2(const TunnelPixels& run) {
    const __m128i end_fix = end_fix_of(run.texture), zero = _mm_setzero_si128();
    const __m128i depth_shift = _mm_set1_epi16(int16_t(run.depth_shift));
    const __m128i angle_shift = _mm_set1_epi16(int16_t(run.angle_shift));
    uint32_t i = 0;
    for (; i + 16 <= run.count; i += 16) {
        const __m128i d = _mm_loadu_si128((const __m128i*)(run.depth + i));
        const __m128i a = _mm_loadu_si128((const __m128i*)(run.angle + i));
        const __m128i eights[2] = {
            tunnel_indices(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(a, zero), depth_shift,
                           angle_shift),
            tunnel_indices(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(a, zero), depth_shift,
                           angle_shift)};
        for (int h = 0; h < 2; h++) {
            uint32_t* p = run.pixels + i + 8 * h;
            _mm_storeu_si128((__m128i*)p,
                             texels(run.texture, _mm_unpacklo_epi16(eights[h], zero), end_fix));
            _mm_storeu_si128((__m128i*)(p + 4),
                             texels(run.texture, _mm_unpackhi_epi16(eights[h], zero), end_fix));
        }
    }
    draw_tunnel_pixels_from(run, i);
}

// Four columns a step on every row, the last few by the plain columns.
static void draw_turned_plane_sse2(const TurnedPlane& plane) {
    const __m128i end_fix = end_fix_of(plane.texture);
    uint32_t row_u = plane.row_u, row_v = plane.row_v;
    uint32_t* p = plane.pixels;
    for (uint32_t y = 0; y < plane.height; y++, p += plane.stride) {
        const uint32_t x = turned_row_simd(p, plane.width, plane.texture, end_fix,
                                           row_u + (plane.shift << 16), row_v, plane.c, plane.s);
        draw_turned_columns(p, x, plane, row_u, row_v);
        row_u += plane.s;
        row_v += plane.c;
    }
}
#endif

void choose_tunnel_kernels() {
    draw_tunnel_pixels = draw_tunnel_pixels_plain;
    draw_turned_plane = draw_turned_plane_plain;
#if VORN_SSE2
    if (use_simd) {
        draw_tunnel_pixels = draw_tunnel_pixels_sse2;
        draw_turned_plane = draw_turned_plane_sse2;
    }
#endif
}
