// Hand-written model entries for the 3D engine's tests: a header, then chunks
// appended one by one.
#pragma once

#include "support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

struct ModelPoint {
    float x, y, z;
};
using ModelTriangle = std::array<uint16_t, 3>;

// The 34-byte header with the given counts; the free bytes are zero.
inline std::vector<uint8_t> model_header(uint16_t vertex_count, uint16_t face_count) {
    std::vector<uint8_t> out = {'Q', 'X', '3', 'D'};
    out.resize(26, 0);
    put_u32(out, vertex_count);
    put_u32(out, face_count);
    return out;
}

inline void model_chunk(std::vector<uint8_t>& out, const char* tag,
                        const std::vector<uint8_t>& payload) {
    out.insert(out.end(), tag, tag + 4);
    put_u32(out, uint32_t(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
}

// x, y and z of each point as little-endian f32.
inline std::vector<uint8_t> vertex_payload(const std::vector<ModelPoint>& points) {
    std::vector<uint8_t> out;
    for (const ModelPoint& p : points)
        for (float value : {p.x, p.y, p.z}) {
            uint32_t bits;
            std::memcpy(&bits, &value, 4);
            put_u32(out, bits);
        }
    return out;
}

inline std::vector<uint8_t> face_payload(const std::vector<ModelTriangle>& faces) {
    std::vector<uint8_t> out;
    for (const ModelTriangle& f : faces)
        for (uint16_t index : f) put_u16(out, index);
    return out;
}

// Surface records of 36 bytes: (first face, face count) at bytes 12 and 14,
// the rest filled with a pattern the reader must ignore.
inline std::vector<uint8_t> surface_payload(const std::vector<std::pair<uint16_t, uint16_t>>& s) {
    std::vector<uint8_t> out;
    for (const auto& range : s) {
        for (int i = 0; i < 12; i++) out.push_back(uint8_t(0xA0 + i));
        put_u16(out, range.first);
        put_u16(out, range.second);
        for (int i = 0; i < 20; i++) out.push_back(uint8_t(0x50 + i));
    }
    return out;
}

// A whole model: header, optional surface chunk, vertices, faces.
inline std::vector<uint8_t>
model_bytes(const std::vector<ModelPoint>& points, const std::vector<ModelTriangle>& faces,
            const std::vector<std::pair<uint16_t, uint16_t>>& surfaces = {}) {
    std::vector<uint8_t> out = model_header(uint16_t(points.size()), uint16_t(faces.size()));
    if (!surfaces.empty()) model_chunk(out, "SRFS", surface_payload(surfaces));
    model_chunk(out, "VREX", vertex_payload(points));
    model_chunk(out, "FACE", face_payload(faces));
    return out;
}

// Each coordinate of a point (anything with x, y and z) within the tolerance.
template <class Point>
void expect_vec(const Point& v, double x, double y, double z, double tolerance = 1e-6) {
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}
