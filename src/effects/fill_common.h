// What the triangle fillers and the lines share: the 16.16 fixed point, a
// colour's three channels, the saturating add and the corner sort by row.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>

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
