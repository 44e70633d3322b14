// The scaler: per-axis look-up taps kept while the sizes and the filter stay
// the same, then one pass over the destination rows.
#include "data/scaler.h"

#include <algorithm>
#include <cstring>
#include <vector>

int display_filter = FILTER_SHARP;

// The software scaler's look-ups for each axis: for every destination
// coordinate the two source coordinates it blends and the 8-bit weight (0..255)
// of the second. Kept while the sizes and the filter stay the same.
struct ScaleTaps {
    std::vector<int32_t> first, second, weight;
    std::vector<int32_t> blended; // the coordinates whose weight is not 0
};
static ScaleTaps scale_columns, scale_rows;
static int scale_key[5] = {-1, -1, -1, -1, -1};
static std::vector<uint32_t> scale_blended_row;

// Nearest neighbour: each destination coordinate takes the source coordinate
// under its centre.
static void nearest_taps(int source_size, int destination_size, ScaleTaps& taps) {
    taps.first.resize(size_t(destination_size));
    taps.second.resize(size_t(destination_size));
    taps.weight.assign(size_t(destination_size), 0);
    taps.blended.clear();
    for (int d = 0; d < destination_size; d++)
        taps.first[d] = taps.second[d] =
            int32_t((int64_t(2 * d + 1) * source_size) / (2 * destination_size));
}

// Linear: the two source coordinates around each destination centre, in 16.16
// steps, over the source repeated `repeat` times (the sharp filter's whole
// multiple, whose coordinate i lies in source coordinate i / repeat). A pair
// that lands on one source coordinate gets weight 0: blending a pixel with
// itself gives the pixel back.
static void linear_taps(int source_size, int destination_size, int repeat, ScaleTaps& taps) {
    const int size = source_size * repeat;
    taps.first.resize(size_t(destination_size));
    taps.second.resize(size_t(destination_size));
    taps.weight.resize(size_t(destination_size));
    for (int d = 0; d < destination_size; d++) {
        int64_t u = (int64_t(2 * d + 1) * size * 65536) / (2 * destination_size) - 32768;
        if (u < 0) u = 0;
        int32_t i = int32_t(u >> 16);
        int32_t f = int32_t((u >> 8) & 255);
        if (i >= size - 1) {
            i = size - 1;
            f = 0;
        }
        taps.first[d] = i / repeat;
        taps.second[d] = std::min(i + 1, size - 1) / repeat;
        taps.weight[d] = taps.first[d] == taps.second[d] ? 0 : f;
    }
}

// Blends two pixels, f/256 of b: red and blue in one step, green in another.
static inline uint32_t blend_pixels(uint32_t a, uint32_t b, uint32_t f) {
    const uint32_t g = 256 - f;
    const uint32_t rb = (((a & 0xFF00FF) * g + (b & 0xFF00FF) * f) >> 8) & 0xFF00FF;
    const uint32_t gr = (((a & 0x00FF00) * g + (b & 0x00FF00) * f) >> 8) & 0x00FF00;
    return rb | gr;
}

// The largest whole multiple of the source that fits the destination (at least 1).
int whole_multiple(int sw, int sh, int dw, int dh) {
    return std::max(1, std::min(dw / sw, dh / sh));
}

// Sharp is nearest up to the largest whole multiple, then linear to the final
// size; both steps fold into one set of linear taps over the source.
static void prepare_taps(int sw, int sh, int dw, int dh, int filter) {
    const int key[5] = {sw, sh, dw, dh, filter};
    if (std::equal(key, key + 5, scale_key)) return;
    std::copy(key, key + 5, scale_key);
    const int k = whole_multiple(sw, sh, dw, dh);
    if (filter == FILTER_NEAREST || (filter == FILTER_SHARP && sw * k == dw && sh * k == dh)) {
        nearest_taps(sw, dw, scale_columns);
        nearest_taps(sh, dh, scale_rows);
        return;
    }
    const int repeat = filter == FILTER_SHARP ? k : 1;
    linear_taps(sw, dw, repeat, scale_columns);
    linear_taps(sh, dh, repeat, scale_rows);
    scale_columns.blended.clear();
    for (int x = 0; x < dw; x++)
        if (scale_columns.weight[x] != 0) scale_columns.blended.push_back(x);
}

// One destination row from one source row (already blended down the column):
// the nearest source pixel everywhere, then the blends where a weight is not 0
// (all of them when that is most of the row).
static void scale_row(const uint32_t* in, uint32_t* out, int dw) {
    const int32_t* first = scale_columns.first.data();
    const int32_t* second = scale_columns.second.data();
    const int32_t* weight = scale_columns.weight.data();
    const size_t blends = scale_columns.blended.size();
    if (blends * 2 > size_t(dw)) {
        for (int x = 0; x < dw; x++)
            out[x] = blend_pixels(in[first[x]], in[second[x]], uint32_t(weight[x]));
        return;
    }
    for (int x = 0; x < dw; x++) out[x] = in[first[x]];
    for (size_t i = 0; i < blends; i++) {
        const int32_t x = scale_columns.blended[i];
        out[x] = blend_pixels(in[first[x]], in[second[x]], uint32_t(weight[x]));
    }
}

// Each destination row blends its two source rows, then samples that blended
// row across; a row with the same taps as the one above is a copy of it.
void scale_pixels(const uint32_t* source, int sw, int sh, uint32_t* destination, int dw, int dh,
                  int filter) {
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
    if (sw == dw && sh == dh) {
        std::memcpy(destination, source, size_t(sw) * sh * 4);
        return;
    }
    prepare_taps(sw, sh, dw, dh, filter);
    scale_blended_row.resize(size_t(sw));
    uint32_t* blended = scale_blended_row.data();
    for (int y = 0; y < dh; y++) {
        const int32_t r0 = scale_rows.first[y], r1 = scale_rows.second[y];
        const uint32_t fy = uint32_t(scale_rows.weight[y]);
        uint32_t* out = destination + size_t(y) * dw;
        if (y > 0 && r0 == scale_rows.first[y - 1] && r1 == scale_rows.second[y - 1] &&
            int32_t(fy) == scale_rows.weight[y - 1]) {
            std::memcpy(out, out - dw, size_t(dw) * 4);
            continue;
        }
        const uint32_t* top = source + size_t(r0) * sw;
        const uint32_t* in = top;
        if (fy != 0) {
            const uint32_t* bottom = source + size_t(r1) * sw;
            for (int x = 0; x < sw; x++) blended[x] = blend_pixels(top[x], bottom[x], fy);
            in = blended;
        }
        scale_row(in, out, dw);
    }
}
