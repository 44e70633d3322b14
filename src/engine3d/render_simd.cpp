// The vertex work's SSE2 twins, beside the plain loops in render.cpp: the
// projection two points a step, a batch's face (u, v) six at once, and the
// entry corners four a step; choose_render_kernels picks them once where the
// build has SSE2.
#include "core/simd.h"
#include "engine3d/four_points_simd.h"
#include "engine3d/render.h"

#include <cstddef>

#if VORN_SSE2
// Two points a step: one division for both, then each point's x and y side by
// side, every lane in the plain loop's order.
template <bool SCALED>
static int32_t project_pairs_sse2(Vec3* dst, const Vec3* src, const Camera* camera, int32_t count) {
    const __m128d focal = _mm_set1_pd(camera->focal), minus_one = _mm_set1_pd(-1.0);
    const __m128d centre = _mm_setr_pd(camera->centre_x, camera->centre_y);
    const __m128d scale = _mm_setr_pd(camera->scale_x, camera->scale_y);
    int32_t i = 0;
    for (; i + 2 <= count; i += 2) {
        const Vec3 a = src[i], b = src[i + 1];
        const __m128d z = _mm_setr_pd(a.z, b.z);
        const __m128d at_zero = _mm_cmpeq_pd(z, _mm_setzero_pd());
        const __m128d k =
            _mm_div_pd(focal, _mm_or_pd(_mm_and_pd(at_zero, minus_one), _mm_andnot_pd(at_zero, z)));
        __m128d xy_a = _mm_add_pd(_mm_mul_pd(_mm_unpacklo_pd(k, k), _mm_setr_pd(a.x, a.y)), centre);
        __m128d xy_b = _mm_add_pd(_mm_mul_pd(_mm_unpackhi_pd(k, k), _mm_setr_pd(b.x, b.y)), centre);
        if (SCALED) {
            xy_a = _mm_mul_pd(xy_a, scale);
            xy_b = _mm_mul_pd(xy_b, scale);
        }
        _mm_storel_epi64(reinterpret_cast<__m128i*>(&dst[i].x),
                         _mm_castps_si128(_mm_cvtpd_ps(xy_a)));
        dst[i].z = a.z;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(&dst[i + 1].x),
                         _mm_castps_si128(_mm_cvtpd_ps(xy_b)));
        dst[i + 1].z = b.z;
    }
    return i;
}

static void project_into_sse2(Vec3* dst, const Vec3* src, const Camera* camera, int32_t count) {
    const int32_t i = project_pairs_sse2<false>(dst, src, camera, count);
    project_into_plain(dst + i, src + i, camera, count - i);
}

static void project_scaled_into_sse2(Vec3* dst, const Vec3* src, const Camera* camera,
                                     int32_t count) {
    const int32_t i = project_pairs_sse2<true>(dst, src, camera, count);
    project_scaled_into_plain(dst + i, src + i, camera, count - i);
}

// The truncation of four floats; WebAssembly SIMD translates SSE2's lane by
// lane, and its own saturating one is the same over the range used here.
static inline __m128i truncated_words(__m128 value) {
#if VORN_WASM_SIMD
    return wasm_i32x4_trunc_sat_f32x4(value);
#else
    return _mm_cvttps_epi32(value);
#endif
}

// texel_coordinate of a face's six (u, v) at once: each value in (0, 65535]
// truncated, 0 at or below 0 (NaN too), 65535 above.
static __m128i texel_coordinates(__m128 value) {
    const __m128i truncated = _mm_and_si128(_mm_castps_si128(_mm_cmpgt_ps(value, _mm_setzero_ps())),
                                            truncated_words(value));
    const __m128i above = _mm_castps_si128(_mm_cmpgt_ps(value, _mm_set1_ps(65535.0f)));
    return _mm_or_si128(_mm_and_si128(above, _mm_set1_epi32(65535)),
                        _mm_andnot_si128(above, truncated));
}

// A face's six (u, v) from two loads, written as three pairs.
static void face_uvs_sse2(int32_t* uv, size_t stride, const Face* faces, const uint32_t* listed,
                          size_t drawn) {
    for (size_t j = 0; j < drawn; j++) {
        const Face& face = faces[listed[j]];
        const __m128i first = texel_coordinates(_mm_loadu_ps(&face.uv[0][0]));
        const __m128i last = texel_coordinates(
            _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&face.uv[2][0]))));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(corner_uv(uv, stride, 3 * j)), first);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(corner_uv(uv, stride, 3 * j + 1)),
                         _mm_unpackhi_epi64(first, first));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(corner_uv(uv, stride, 3 * j + 2)), last);
    }
}

// The entry corners of first .. end - 1 four a step, from entries that
// light_entries has lit: x, y and z of four points at once, 1/z
// by the float division fill_corner_depth's table holds (0 for z below 1),
// each corner written as its four values and its (y, w). Returns the entry
// it stopped at.
static uint32_t entry_corners_sse2(FillCorner* corners, const ScreenPoint* points,
                                   const int32_t* shades, uint32_t first, uint32_t end) {
    static_assert(offsetof(FillCorner, w) == offsetof(FillCorner, y) + 4, "y, w side by side");
    const __m128i zero = _mm_setzero_si128();
    uint32_t entry = first;
    for (; entry + 4 <= end; entry += 4) {
        __m128 xs, ys, zs;
        load_four_points(points + entry, &xs, &ys, &zs);
        const __m128i x = _mm_castps_si128(xs), y = _mm_castps_si128(ys);
        const __m128i z = _mm_castps_si128(zs);
        const __m128 w = _mm_and_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(z, zero)),
                                    _mm_div_ps(_mm_set1_ps(1.0f), _mm_cvtepi32_ps(z)));
        const __m128i shade = _mm_loadu_si128(reinterpret_cast<const __m128i*>(shades + entry));
        const __m128i x_low = _mm_unpacklo_epi32(x, zero), x_high = _mm_unpackhi_epi32(x, zero);
        const __m128i s_low = _mm_unpacklo_epi32(zero, shade);
        const __m128i s_high = _mm_unpackhi_epi32(zero, shade);
        const __m128i yw_low = _mm_unpacklo_epi32(y, _mm_castps_si128(w));
        const __m128i yw_high = _mm_unpackhi_epi32(y, _mm_castps_si128(w));
        const __m128i values[4] = {
            _mm_unpacklo_epi64(x_low, s_low), _mm_unpackhi_epi64(x_low, s_low),
            _mm_unpacklo_epi64(x_high, s_high), _mm_unpackhi_epi64(x_high, s_high)};
        const __m128i yw[4] = {yw_low, _mm_unpackhi_epi64(yw_low, yw_low), yw_high,
                               _mm_unpackhi_epi64(yw_high, yw_high)};
        FillCorner* out = corners + entry;
        for (int k = 0; k < 4; k++) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out[k].values.data()), values[k]);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(&out[k].y), yw[k]);
        }
    }
    return entry;
}

// light_entries has lit every entry but an odd last one, which the plain loop
// lights with the rest.
static void make_entry_corners_sse2(FillCorner* out, const ScreenPoint* points, int32_t* shades,
                                    const Scene* scene, uint32_t first, uint32_t count) {
    const uint32_t entry = entry_corners_sse2(out, points, shades, first, first + (count & ~1u));
    make_entry_corners_plain(out, points, shades, scene, entry, first + count - entry);
}
#endif

void choose_render_kernels() {
    project_into = project_into_plain;
    project_scaled_into = project_scaled_into_plain;
    face_uvs = face_uvs_plain;
    make_entry_corners = make_entry_corners_plain;
#if VORN_SSE2
    if (use_simd) {
        project_into = project_into_sse2;
        project_scaled_into = project_scaled_into_sse2;
        face_uvs = face_uvs_sse2;
        make_entry_corners = make_entry_corners_sse2;
    }
#endif
}
