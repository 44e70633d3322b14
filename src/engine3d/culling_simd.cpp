// The culling's vector twins: four points rounded a step on SSE2, eight faces
// culled a step on AVX2, beside the plain loops in culling.cpp;
// choose_culling_kernels picks them once for the processor.
//
// The SSE2 rounding takes twelve coordinates (three registers) a step: the
// conversion rounds to nearest even and gives 0x80000000 for NaN and anything
// outside the 32-bit range, which the exclusive or with the "at least 2^31"
// mask turns into INT32_MAX there. WebAssembly SIMD translates that
// conversion lane by lane; its own form rounds to nearest even as a float and
// converts with saturation (INT32_MAX and INT32_MIN beyond the range, 0 for
// NaN, which it then sets to INT32_MIN). The AVX2 culling loads each corner point
// whole, turns the points into columns of x, y and z, and makes the winding's
// products exactly in 64 bits where every coordinate lies within 2^30 of 0 (so
// that differences fit 32 bits); a face with a corner beyond takes the scalar
// test.
#include "core/simd.h"
#include "engine3d/culling.h"

#if VORN_SSE2
static_assert(sizeof(Vec3) == 12 && sizeof(ScreenPoint) == 12, "three packed coordinates");

static inline __m128i rounded(__m128 v) {
#if VORN_WASM_SIMD
    const v128_t not_a_number = wasm_f32x4_ne(v, v);
    return wasm_v128_or(wasm_i32x4_trunc_sat_f32x4(wasm_f32x4_nearest(v)),
                        wasm_v128_and(not_a_number, wasm_i32x4_splat(INT32_MIN)));
#else
    const __m128i beyond = _mm_castps_si128(_mm_cmpge_ps(v, _mm_set1_ps(2147483648.0f)));
    return _mm_xor_si128(_mm_cvtps_epi32(v), beyond);
#endif
}

static void round_points_sse2(ScreenPoint* dst, const Vec3* src, uint32_t count) {
    uint32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const float* in = reinterpret_cast<const float*>(src + i);
        __m128i* out = reinterpret_cast<__m128i*>(dst + i);
        for (int k = 0; k < 3; k++) _mm_storeu_si128(out + k, rounded(_mm_loadu_ps(in + 4 * k)));
    }
    round_points_plain(dst + i, src + i, count - i);
}
#endif

#if VORN_AVX2
// For each set of eight lanes (bit j for lane j): the lanes in it in order,
// byte by byte, and how many there are.
struct LaneLists {
    uint64_t order[256];
    uint8_t count[256];
};

static constexpr LaneLists make_lane_lists() {
    LaneLists lists{};
    for (unsigned set = 0; set < 256; set++)
        for (unsigned lane = 0; lane < 8; lane++)
            if (set & (1u << lane)) lists.order[set] |= uint64_t(lane) << (8 * lists.count[set]++);
    return lists;
}

static constexpr LaneLists lane_lists = make_lane_lists();

static uint32_t corner_vertex(const Face& face, int k) {
    return k == 0 ? face.vert_a : k == 1 ? face.vert_b : face.vert_c;
}

// The mask of lanes where low < value < high.
VORN_TARGET_AVX2 static __m256i strictly_between(__m256i value, __m256i low, __m256i high) {
    return _mm256_and_si256(_mm256_cmpgt_epi32(value, low), _mm256_cmpgt_epi32(high, value));
}

// The mask of lanes where a * b < c * d, each product made in 64 bits: the
// even lanes' products, then the odd lanes'.
VORN_TARGET_AVX2 static __m256i products_below(__m256i a, __m256i b, __m256i c, __m256i d) {
    const __m256i even = _mm256_cmpgt_epi64(_mm256_mul_epi32(c, d), _mm256_mul_epi32(a, b));
    a = _mm256_srli_epi64(a, 32), b = _mm256_srli_epi64(b, 32);
    c = _mm256_srli_epi64(c, 32), d = _mm256_srli_epi64(d, 32);
    const __m256i odd = _mm256_cmpgt_epi64(_mm256_mul_epi32(c, d), _mm256_mul_epi32(a, b));
    return _mm256_blend_epi32(even, odd, 0xAA);
}

// Column k of four rows (x, y, z, anything), two sets side by side: row r
// of the low set in rows[r]'s low half, of the high set in its high half.
VORN_TARGET_AVX2 static void columns_of(const __m256i rows[4], __m256i* x, __m256i* y, __m256i* z) {
    const __m256i xy01 = _mm256_unpacklo_epi32(rows[0], rows[1]);
    const __m256i xy23 = _mm256_unpacklo_epi32(rows[2], rows[3]);
    const __m256i z01 = _mm256_unpackhi_epi32(rows[0], rows[1]);
    const __m256i z23 = _mm256_unpackhi_epi32(rows[2], rows[3]);
    *x = _mm256_unpacklo_epi64(xy01, xy23);
    *y = _mm256_unpackhi_epi64(xy01, xy23);
    *z = _mm256_unpacklo_epi64(z01, z23);
}

VORN_TARGET_AVX2 static size_t drawn_faces_avx2(const Face* faces, uint32_t first, uint32_t end,
                                                uint32_t base, const ScreenPoint* points,
                                                const GuardBox& box, uint32_t* drawn) {
    const __m256i left = _mm256_set1_epi32(box.left), right = _mm256_set1_epi32(box.right);
    const __m256i top = _mm256_set1_epi32(box.top), bottom = _mm256_set1_epi32(box.bottom);
    const __m256i zero = _mm256_setzero_si256(), near_range = _mm256_set1_epi32(1 << 30);
    // A point read as sixteen bytes takes four past it: the caller's points
    // run on past the last one used.
    const ScreenPoint* object = points + base;
    const auto point = [object](uint32_t vertex) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(object + vertex));
    };
    size_t count = 0;
    uint32_t i = first;
    for (; i + 8 <= end; i += 8) {
        // Faces i .. i + 3 in the low halves, i + 4 .. i + 7 in the high ones.
        const Face* eight = faces + i;
        __m256i x[3], y[3], z[3];
#pragma GCC unroll 3
        for (int k = 0; k < 3; k++) {
            __m256i rows[4];
            for (int r = 0; r < 4; r++)
                rows[r] = _mm256_inserti128_si256(
                    _mm256_castsi128_si256(point(corner_vertex(eight[r], k))),
                    point(corner_vertex(eight[4 + r], k)), 1);
            columns_of(rows, &x[k], &y[k], &z[k]);
        }
        // x + 2^30 is negative (as a 32-bit word) just where x lies outside
        // [-2^30, 2^30).
        __m256i beyond = zero;
        for (int k = 0; k < 3; k++)
            beyond = _mm256_or_si256(beyond, _mm256_or_si256(_mm256_add_epi32(x[k], near_range),
                                                             _mm256_add_epi32(y[k], near_range)));
        __m256i in_front = _mm256_cmpeq_epi32(zero, zero), column = zero, row = zero;
        for (int k = 0; k < 3; k++) {
            in_front = _mm256_and_si256(in_front, _mm256_cmpgt_epi32(z[k], zero));
            column = _mm256_or_si256(column, strictly_between(x[k], left, right));
            row = _mm256_or_si256(row, strictly_between(y[k], top, bottom));
        }
        const __m256i counter_clockwise =
            products_below(_mm256_sub_epi32(x[2], x[0]), _mm256_sub_epi32(y[0], y[1]),
                           _mm256_sub_epi32(x[0], x[1]), _mm256_sub_epi32(y[2], y[0]));
        const __m256i kept = _mm256_and_si256(_mm256_and_si256(in_front, counter_clockwise),
                                              _mm256_and_si256(column, row));
        const unsigned far = unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(beyond)));
        unsigned lanes = unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(kept))) & ~far;
        for (unsigned m = far; m; m &= m - 1) {
            const unsigned k = unsigned(__builtin_ctz(m));
            const Face& f = faces[i + k];
            if (face_drawn(points[base + f.vert_a], points[base + f.vert_b],
                           points[base + f.vert_c], box))
                lanes |= 1u << k;
        }
        // The drawn faces' numbers in order, eight written and as many kept
        // as are drawn: the list never runs ahead of the faces culled.
        const __m256i order =
            _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(int64_t(lane_lists.order[lanes])));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(drawn + count),
                            _mm256_add_epi32(_mm256_set1_epi32(int32_t(i)), order));
        count += lane_lists.count[lanes];
    }
    // The scalar code that follows runs at full speed only with the upper
    // halves of the registers cleared, and the compiler leaves that out here.
    _mm256_zeroupper();
    return count + drawn_faces_plain(faces, i, end, base, points, box, drawn + count);
}
#endif

void choose_culling_kernels() {
    round_points = round_points_plain;
    drawn_faces = drawn_faces_plain;
#if VORN_SSE2
    if (use_simd) round_points = round_points_sse2;
#endif
#if VORN_AVX2
    if (use_simd && use_avx2) drawn_faces = drawn_faces_avx2;
#endif
}
