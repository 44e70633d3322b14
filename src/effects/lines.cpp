// Shaded lines and the wireframe filler: points stepped in 16.16 along the
// longer axis, each added to the frame with saturation.

#include "effects/fillers.h"

#include "effects/fill_common.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace {

using namespace fill;

int64_t floor_div(int64_t a, int64_t b) { // b > 0
    const int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

// Narrows the steps [k0, k1) of a coordinate start + k * step (16.16) to those
// whose whole part can lie in lo..hi, keeping a step of slack on each side; the
// per-point test decides exactly.
void clip_steps(int64_t start, int64_t step, int64_t lo, int64_t hi, int64_t& k0, int64_t& k1) {
    const int64_t low = lo * FIXED_ONE, high = (hi + 1) * FIXED_ONE; // low <= p < high
    int64_t first, last;
    if (step == 0) {
        if (start < low || start >= high) k1 = k0;
        return;
    }
    if (step > 0) {
        first = floor_div(low - start, step);
        last = floor_div(high - start, step) + 2;
    } else {
        first = floor_div(start - high, -step);
        last = floor_div(start - low, -step) + 2;
    }
    k0 = std::max(k0, first);
    k1 = std::min(k1, last);
}

} // namespace

void draw_shaded_line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t red, int32_t green,
                      int32_t blue, int32_t shade0, int32_t shade1) {
    const FillContext& fc = fill_context;
    if (!fc.frame_pixels || (x0 == x1 && y0 == y1)) return;
    if (x0 > x1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        std::swap(shade0, shade1);
    }
    if (x0 > fc.clip_right || x1 < fc.clip_left) return;
    if (y0 < fc.clip_top && y1 < fc.clip_top) return;
    if (y0 > fc.clip_bottom && y1 > fc.clip_bottom) return;

    const int64_t dx = int64_t(x1) - x0, dy = int64_t(y1) - y0;
    const int64_t n = std::max(dx < 0 ? -dx : dx, dy < 0 ? -dy : dy);
    const int64_t sx = dx * FIXED_ONE / n, sy = dy * FIXED_ONE / n;
    const uint32_t ss = uint32_t((int64_t(shade1) - shade0) * FIXED_ONE / n);

    // Points on the clip lines are skipped: the drawn box is strictly inside.
    const int64_t left = int64_t(fc.clip_left) + 1, right = int64_t(fc.clip_right) - 1;
    const int64_t top = int64_t(fc.clip_top) + 1, bottom = int64_t(fc.clip_bottom) - 1;
    int64_t k = 0, k_end = n;
    clip_steps(x0 * FIXED_ONE, sx, left, right, k, k_end);
    clip_steps(y0 * FIXED_ONE, sy, top, bottom, k, k_end);

    const Colour c{uint32_t(red), uint32_t(green), uint32_t(blue)};
    int64_t x = x0 * FIXED_ONE + k * sx, y = y0 * FIXED_ONE + k * sy;
    uint32_t s = uint32_t(shade0) * uint32_t(FIXED_ONE) + uint32_t(k) * ss;
    for (; k < k_end; k++) {
        const int64_t px = x >> 16, py = y >> 16;
        if (px >= left && px <= right && py >= top && py <= bottom) {
            uint32_t& pixel = fc.frame_pixels[size_t(py) * fc.row_length + size_t(px)];
            pixel = add_saturated(pixel >> 16 & 255, (s * c.red) >> 24) << 16 |
                    add_saturated(pixel >> 8 & 255, (s * c.green) >> 24) << 8 |
                    add_saturated(pixel & 255, (s * c.blue) >> 24);
        }
        x += sx;
        y += sy;
        s += ss;
    }
}

// Three lines between the row-sorted corners, in the first corner's colour.
void fill_wireframe(const FillVertex& a, const FillVertex& b, const FillVertex& c) {
    const FillVertex *top = &a, *middle = &b, *bottom = &c;
    sort_by_row(top, middle, bottom);
    if (top->y == bottom->y) return;
    draw_shaded_line(top->x, top->y, middle->x, middle->y, a.red, a.green, a.blue, top->shade,
                     middle->shade);
    draw_shaded_line(top->x, top->y, bottom->x, bottom->y, a.red, a.green, a.blue, top->shade,
                     bottom->shade);
    draw_shaded_line(bottom->x, bottom->y, middle->x, middle->y, a.red, a.green, a.blue,
                     bottom->shade, middle->shade);
}
