// Rounding and culling, point by point and face by face; culling_simd.cpp
// holds the vector twins of the two loops.
#include "engine3d/culling.h"

#include <cfloat>
#include <cmath>
#include <cstddef>

// Nearest integer, ties to even, saturated to the 32-bit range (NaN gives the
// minimum, which every test rejects). Below 2^23 in magnitude, adding and
// taking away 2^23 rounds in float arithmetic exactly as nearbyint does (the
// sum lies where floats are whole numbers); from 2^23 on floats are whole.
static inline int32_t round_to_int(float value) {
    constexpr float TWO_23 = 8388608.0f;
    const float magnitude = std::fabs(value);
#if FLT_EVAL_METHOD == 0
    if (magnitude < TWO_23) {
        const float rounded = (magnitude + TWO_23) - TWO_23;
        return int32_t(value < 0.0f ? -rounded : rounded);
    }
#else
    value = std::nearbyint(value);
#endif
    if (!(value >= -2147483648.0f)) return INT32_MIN;
    if (value >= 2147483648.0f) return INT32_MAX;
    return int32_t(value);
}

ScreenPoint round_point(const Vec3& s) {
    return {round_to_int(s.x), round_to_int(s.y), round_to_int(s.z)};
}

void round_points_plain(ScreenPoint* dst, const Vec3* src, uint32_t count) {
    for (uint32_t i = 0; i < count; i++) dst[i] = round_point(src[i]);
}

void (*round_points)(ScreenPoint* dst, const Vec3* src, uint32_t count) = round_points_plain;

// Clockwise on screen (rows growing downwards) or zero area is a back face.
// The differences take up to 33 bits; products beyond 64 bits, which only
// corners far outside the frame make, are made again in 128. WebAssembly has
// no multiply that tells of overflow and makes each checked one a 128-bit
// product, so there differences within [-2^31, 2^31) (those of any face near
// the frame), whose products are exact in 64 bits, multiply unchecked.
static inline bool counter_clockwise(const ScreenPoint& p0, const ScreenPoint& p1,
                                     const ScreenPoint& p2) {
    const int64_t a = int64_t(p2.x) - p0.x, b = int64_t(p0.y) - p1.y;
    const int64_t c = int64_t(p0.x) - p1.x, d = int64_t(p2.y) - p0.y;
#if defined(__wasm__)
    const auto near = [](int64_t v) { return uint64_t(v + 0x80000000ll) < 0x100000000ull; };
    if (near(a) && near(b) && near(c) && near(d)) return a * b < c * d;
#else
    int64_t ab, cd;
    if (!__builtin_mul_overflow(a, b, &ab) && !__builtin_mul_overflow(c, d, &cd)) return ab < cd;
#endif
    return __int128(a) * b < __int128(c) * d;
}

bool face_drawn(const ScreenPoint& p0, const ScreenPoint& p1, const ScreenPoint& p2,
                const GuardBox& box) {
    if (p0.z < 1 || p1.z < 1 || p2.z < 1) return false;

    if (!counter_clockwise(p0, p1, p2)) return false;

    const auto column_inside = [&box](int32_t x) { return x > box.left && x < box.right; };
    const auto row_inside = [&box](int32_t y) { return y > box.top && y < box.bottom; };
    const bool column = column_inside(p0.x) || column_inside(p1.x) || column_inside(p2.x);
    const bool row = row_inside(p0.y) || row_inside(p1.y) || row_inside(p2.y);
    return column && row;
}

size_t drawn_faces_plain(const Face* faces, uint32_t first, uint32_t end, uint32_t base,
                         const ScreenPoint* points, const GuardBox& box, uint32_t* drawn) {
    size_t count = 0;
    for (uint32_t i = first; i < end; i++) {
        const Face& face = faces[i];
        drawn[count] = i;
        count += face_drawn(points[base + face.vert_a], points[base + face.vert_b],
                            points[base + face.vert_c], box);
    }
    return count;
}

size_t (*drawn_faces)(const Face* faces, uint32_t first, uint32_t end, uint32_t base,
                      const ScreenPoint* points, const GuardBox& box,
                      uint32_t* drawn) = drawn_faces_plain;
