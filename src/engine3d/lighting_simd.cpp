// Vertex lighting over whole objects, light by light, two entries a step on
// SSE2 and four on AVX2, with every lane in light_vertex's operations and
// order; choose_lighting_kernels picks a twin once for the processor, or the
// plain loop of lighting.cpp.
#include "core/simd.h"
#include "engine3d/four_points_simd.h"
#include "engine3d/lighting.h"

#include <algorithm>
#include <type_traits>

#if VORN_SSE2
// positive_contribution of two values, in the low two 32-bit lanes: the
// truncation where a value is at least 1 (at most 1e6), else 0 (NaN too).
// WebAssembly SIMD translates SSE2's truncation lane by lane; its own
// saturating one is the same within 1e6.
static __m128i positive_contributions(__m128d value) {
    const __m128d at_least_one = _mm_cmpge_pd(value, _mm_set1_pd(1.0));
    const __m128i mask = _mm_shuffle_epi32(_mm_castpd_si128(at_least_one), _MM_SHUFFLE(3, 3, 2, 0));
    const __m128d counted = _mm_min_pd(value, _mm_set1_pd(1.0e6));
#if VORN_WASM_SIMD
    return _mm_and_si128(mask, wasm_i32x4_trunc_sat_f64x2_zero(counted));
#else
    return _mm_and_si128(mask, _mm_cvttpd_epi32(counted));
#endif
}

static_assert(std::is_unsigned_v<decltype(LightSource::intensity)>, "falloff at least 0");

// Adds one light's contribution to the sums of entries first .. end - 1, two
// a step, each lane in light_vertex's operations and order (float
// differences to the light, the spot falloff stored as a float). A spot
// light's falloff is never below 0 (nor is its intensity), so entries whose
// normals do not face it (no dot above 0; NaN neither) add 0 without the
// distance's square root and division.
template <uint16_t TYPE>
static void add_light_sse2(const LightSource& light, const Vec3* normals, const Vec3* positions,
                           uint32_t first, uint32_t end, int32_t* sums) {
    const Vec3 l = light.view_position, d = light.view_direction;
    const __m128d dir_x = _mm_set1_pd(d.x), dir_y = _mm_set1_pd(d.y), dir_z = _mm_set1_pd(d.z);
    const __m128d intensity = _mm_set1_pd(double(light.intensity));
    const __m128d whole = _mm_set1_pd(double(int32_t(light.intensity)));
    const __m128d zero = _mm_setzero_pd(), one = _mm_set1_pd(1.0), full = _mm_set1_pd(255.0);
    for (uint32_t e = first; e < end; e += 2) {
        const Vec3 &na = normals[e], &nb = normals[e + 1];
        const Vec3 &pa = positions[e], &pb = positions[e + 1];
        const __m128d dot = _mm_add_pd(_mm_add_pd(_mm_mul_pd(dir_x, _mm_setr_pd(na.x, nb.x)),
                                                  _mm_mul_pd(dir_y, _mm_setr_pd(na.y, nb.y))),
                                       _mm_mul_pd(dir_z, _mm_setr_pd(na.z, nb.z)));
        if constexpr (TYPE == LIGHT_SPOT)
            if (_mm_movemask_pd(_mm_cmpgt_pd(dot, zero)) == 0) continue; // both add 0
        __m128d value = _mm_mul_pd(dot, whole);
        if constexpr (TYPE != LIGHT_DIRECTIONAL) {
            const __m128d dx = _mm_setr_pd(pa.x - l.x, pb.x - l.x);
            const __m128d dy = _mm_setr_pd(pa.y - l.y, pb.y - l.y);
            const __m128d dz = _mm_setr_pd(pa.z - l.z, pb.z - l.z);
            __m128d distance = _mm_sqrt_pd(
                _mm_add_pd(_mm_add_pd(_mm_mul_pd(dx, dx), _mm_mul_pd(dy, dy)), _mm_mul_pd(dz, dz)));
            const __m128d at_zero = _mm_cmpeq_pd(distance, zero);
            distance = _mm_or_pd(_mm_and_pd(at_zero, one), _mm_andnot_pd(at_zero, distance));
            const __m128d falloff = _mm_mul_pd(_mm_div_pd(intensity, distance), full);
            if constexpr (TYPE == LIGHT_POINT)
                value = falloff;
            else
                value = _mm_mul_pd(dot, _mm_cvtps_pd(_mm_cvtpd_ps(falloff)));
        }
        __m128i* sum = reinterpret_cast<__m128i*>(sums + e);
        _mm_storel_epi64(sum, _mm_add_epi32(_mm_loadl_epi64(sum), positive_contributions(value)));
    }
}

#if VORN_AVX2
// add_light_sse2 four entries a step, from first up to the last whole four
// before end; gives the entry it stopped at.
template <uint16_t TYPE>
VORN_TARGET_AVX2 static uint32_t add_light_avx2(const LightSource& light, const Vec3* normals,
                                                const Vec3* positions, uint32_t first, uint32_t end,
                                                int32_t* sums) {
    const Vec3 l = light.view_position, d = light.view_direction;
    const __m256d dir_x = _mm256_set1_pd(d.x), dir_y = _mm256_set1_pd(d.y);
    const __m256d dir_z = _mm256_set1_pd(d.z);
    const __m256d intensity = _mm256_set1_pd(double(light.intensity));
    const __m256d whole = _mm256_set1_pd(double(int32_t(light.intensity)));
    const __m256d zero = _mm256_setzero_pd(), one = _mm256_set1_pd(1.0);
    const __m256d full = _mm256_set1_pd(255.0), most = _mm256_set1_pd(1.0e6);
    uint32_t e = first;
    for (; e + 4 <= end; e += 4) {
        __m128 nx, ny, nz;
        load_four_points(normals + e, &nx, &ny, &nz);
        const __m256d dot = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(dir_x, _mm256_cvtps_pd(nx)),
                                                        _mm256_mul_pd(dir_y, _mm256_cvtps_pd(ny))),
                                          _mm256_mul_pd(dir_z, _mm256_cvtps_pd(nz)));
        if constexpr (TYPE == LIGHT_SPOT)
            if (_mm256_movemask_pd(_mm256_cmp_pd(dot, zero, _CMP_GT_OQ)) == 0) continue;
        __m256d value = _mm256_mul_pd(dot, whole);
        if constexpr (TYPE != LIGHT_DIRECTIONAL) {
            __m128 px, py, pz;
            load_four_points(positions + e, &px, &py, &pz);
            const __m256d dx = _mm256_cvtps_pd(_mm_sub_ps(px, _mm_set1_ps(l.x)));
            const __m256d dy = _mm256_cvtps_pd(_mm_sub_ps(py, _mm_set1_ps(l.y)));
            const __m256d dz = _mm256_cvtps_pd(_mm_sub_ps(pz, _mm_set1_ps(l.z)));
            __m256d distance = _mm256_sqrt_pd(
                _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(dx, dx), _mm256_mul_pd(dy, dy)),
                              _mm256_mul_pd(dz, dz)));
            distance = _mm256_blendv_pd(distance, one, _mm256_cmp_pd(distance, zero, _CMP_EQ_OQ));
            const __m256d falloff = _mm256_mul_pd(_mm256_div_pd(intensity, distance), full);
            if constexpr (TYPE == LIGHT_POINT)
                value = falloff;
            else
                value = _mm256_mul_pd(dot, _mm256_cvtps_pd(_mm256_cvtpd_ps(falloff)));
        }
        // positive_contribution: where the value is at least 1 (NaN is not),
        // its truncation at most 1e6; elsewhere the truncation of 0.
        const __m256d counted =
            _mm256_and_pd(_mm256_cmp_pd(value, one, _CMP_GE_OQ), _mm256_min_pd(value, most));
        __m128i* sum = reinterpret_cast<__m128i*>(sums + e);
        _mm_storeu_si128(sum, _mm_add_epi32(_mm_loadu_si128(sum), _mm256_cvttpd_epi32(counted)));
    }
    return e;
}
#endif

// One light's sums over entries first .. end - 1 (an even count), four a
// step first on the WIDE (AVX2) form.
template <uint16_t TYPE, bool WIDE>
static void add_light(const LightSource& light, const Vec3* normals, const Vec3* positions,
                      uint32_t first, uint32_t end, int32_t* sums) {
#if VORN_AVX2
    if constexpr (WIDE) first = add_light_avx2<TYPE>(light, normals, positions, first, end, sums);
#endif
    add_light_sse2<TYPE>(light, normals, positions, first, end, sums);
}

// An odd last entry is left at 0, for the face loop to light when a corner
// needs it.
template <bool WIDE>
static void light_entries_on(const Scene* scene, uint32_t first, uint32_t count, int32_t* shades) {
    const Vec3* normals = scene->world_normals.data();
    const Vec3* positions = scene->view_positions.data();
    const uint32_t end = first + (count & ~1u);
    for (int i = 0; i < std::min<int>(scene->light_count, SCENE_LIGHT_SLOTS); i++) {
        const LightSource& light = scene->lights[i];
        if (light.type == LIGHT_POINT)
            add_light<LIGHT_POINT, WIDE>(light, normals, positions, first, end, shades);
        else if (light.type == LIGHT_DIRECTIONAL)
            add_light<LIGHT_DIRECTIONAL, WIDE>(light, normals, positions, first, end, shades);
        else if (light.type == LIGHT_SPOT)
            add_light<LIGHT_SPOT, WIDE>(light, normals, positions, first, end, shades);
    }
    for (uint32_t e = first; e < end; e++) shades[e] = shade_level(shades[e] + scene->ambient);
}
#endif

void choose_lighting_kernels() {
    light_entries = light_entries_plain;
#if VORN_SSE2
    if (use_simd) light_entries = light_entries_on<false>;
#endif
#if VORN_AVX2
    if (use_simd && use_avx2) light_entries = light_entries_on<true>;
#endif
}
