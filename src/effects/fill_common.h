// What the triangle fillers, their walk and the lines share: the state they
// draw into, a ready corner, the 16.16 fixed point, a colour's three
// channels, the saturating add and the corner sort by row.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

struct FillContext {
    uint32_t* frame_pixels;
    uint16_t row_length;
    uint8_t bytes_per_pixel;
    int32_t clip_left, clip_top;
    int32_t clip_right, clip_bottom; // inclusive maxima (clip box - 1)
    uint32_t* depth_buffer;
    uint8_t* id_buffer;
    uint8_t frame_stamp;
    uint8_t object_id;
};

extern FillContext fill_context;

// A corner made ready for the fillers' walk: column, u, v and shade side by
// side, the row, and 1/z as fill_corner_depth gives it.
struct FillCorner {
    std::array<int32_t, 4> values; // x, u, v, shade
    int32_t y;
    float w;
    int32_t x() const { return values[0]; }
};

namespace fill {

constexpr int64_t FIXED_ONE = 65536; // 1.0 in 16.16

struct Colour {
    uint32_t red, green, blue;
};

inline uint32_t add_saturated(uint32_t channel, uint32_t amount) {
    return std::min<uint32_t>(255, channel + amount);
}

// Three compare-and-swaps by row; equal rows keep their order.
template <class P> void sort_by_row(P& top, P& middle, P& bottom) {
    if (middle->y > bottom->y) std::swap(middle, bottom);
    if (top->y > bottom->y) std::swap(top, bottom);
    if (top->y > middle->y) std::swap(top, middle);
}

} // namespace fill
