#include "effects/pictures.h"

#include "effects/effect_tables.h"

#include <algorithm>

static const size_t FULL_PICTURE_BYTES = size_t(FRAME_PIXELS) * 3;

static inline bool is_black(const uint8_t* q) {
    return (q[0] | q[1] | q[2]) == 0;
}

void draw_picture(const Buffer& picture, Surface* surface, uint8_t mode) {
    if (picture.size() < FULL_PICTURE_BYTES) return;
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    if (display_depth == 32) {
        uint32_t* p = frame.pixels;
        const uint8_t* q = picture.data();
        if (mode == 0) {
            for (int i = 0; i < FRAME_PIXELS; i++, q += 3) p[i] = rgb_pixel(q);
        } else if (mode == 1) {
            for (int i = 0; i < FRAME_PIXELS; i++, q += 3)
                if (!is_black(q)) p[i] = rgb_pixel(q);
        }
    }
    unlock_surface(surface);
}

// The visible part of a w x h picture placed at (x, y) on a W x H frame.
struct ClipRect {
    int64_t columns, rows;    // visible size; nothing to draw when either is < 1
    size_t source;            // first picture pixel read
    int64_t frame_x, frame_y; // first frame pixel written
};

static ClipRect clip_picture(int32_t x, int32_t y, uint32_t w, uint32_t h, uint32_t W, uint32_t H) {
    const int64_t sx = x < 0 ? -int64_t(x) : 0;
    const int64_t sy = y < 0 ? -int64_t(y) : 0;
    const int64_t fx = std::max<int64_t>(x, 0);
    const int64_t fy = std::max<int64_t>(y, 0);
    ClipRect clip;
    clip.columns = std::min<int64_t>(int64_t(w) - sx, int64_t(W) - fx);
    clip.rows = std::min<int64_t>(int64_t(h) - sy, int64_t(H) - fy);
    clip.source = clip.columns > 0 && clip.rows > 0 ? size_t(sy) * w + size_t(sx) : 0;
    clip.frame_x = fx;
    clip.frame_y = fy;
    return clip;
}

// True when a w x h picture at (x, y) lies wholly above or left of the frame.
static bool wholly_before_frame(int32_t x, int32_t y, uint32_t w, uint32_t h) {
    return int64_t(y) <= -int64_t(h) || int64_t(x) <= -int64_t(w);
}

void draw_picture_at(const Buffer& picture, Surface* surface, uint8_t mode, int32_t x, int32_t y,
                     uint32_t width, uint32_t height) {
    if (picture.empty()) return;
    if (picture.size() / 3 < uint64_t(width) * height) return;
    if (wholly_before_frame(x, y, width, height)) return;
    FrameSurface frame;
    if (!lock_surface(surface, &frame)) return;
    const ClipRect clip = clip_picture(x, y, width, height, frame.width, frame.height);
    if (display_depth == 32 && mode <= 2 && clip.columns > 0 && clip.rows > 0) {
        const size_t stride = size_t(frame.pitch) / 4;
        const uint8_t* q = picture.data() + 3 * clip.source;
        uint32_t* p = frame.pixels + size_t(clip.frame_y) * stride + size_t(clip.frame_x);
        for (int64_t r = 0; r < clip.rows; r++, q += 3 * size_t(width), p += stride) {
            const uint8_t* qc = q;
            if (mode == 0) {
                for (int64_t c = 0; c < clip.columns; c++, qc += 3) p[c] = rgb_pixel(qc);
            } else if (mode == 1) {
                for (int64_t c = 0; c < clip.columns; c++, qc += 3)
                    if (!is_black(qc)) p[c] = rgb_pixel(qc);
            } else {
                for (int64_t c = 0; c < clip.columns; c++, qc += 3) {
                    if (is_black(qc)) continue;
                    const uint32_t o = p[c];
                    const uint32_t red = (((o >> 16) & 0xFF) + qc[0]) >> 1;
                    const uint32_t green = (((o >> 8) & 0xFF) + qc[1]) >> 1;
                    const uint32_t blue = ((o & 0xFF) + qc[2]) >> 1;
                    p[c] = red << 16 | green << 8 | blue;
                }
            }
        }
    }
    unlock_surface(surface);
}

static inline uint32_t blend_channel(uint32_t q, uint32_t p, uint32_t a) {
    return std::min<uint32_t>(255, ((q * a) >> 8) + ((p * (255 - a)) >> 8));
}

void blend_picture_masked(const Buffer& picture, Surface* surface, const Buffer& mask, int32_t x,
                          int32_t y, uint32_t width, uint32_t height, uint8_t alpha) {
    if (picture.empty()) return;
    const uint64_t pixels = uint64_t(width) * height;
    if (picture.size() / 3 < pixels || mask.size() < pixels) return;
    if (wholly_before_frame(x, y, width, height)) return;
    FrameSurface frame;
    if (!lock_surface(surface, &frame)) return;
    const ClipRect clip = clip_picture(x, y, width, height, frame.width, frame.height);
    if (clip.columns > 0 && clip.rows > 0) {
        const size_t stride = size_t(frame.pitch) / 4;
        const uint8_t* q = picture.data() + 3 * clip.source;
        const uint8_t* m = mask.data() + clip.source;
        uint32_t* p = frame.pixels + size_t(clip.frame_y) * stride + size_t(clip.frame_x);
        for (int64_t r = 0; r < clip.rows; r++, q += 3 * size_t(width), m += width, p += stride) {
            for (int64_t c = 0; c < clip.columns; c++) {
                const uint32_t a = ((255u - m[c]) * alpha) >> 8;
                const uint8_t* qc = q + 3 * c;
                const uint32_t o = p[c];
                p[c] = blend_channel(qc[0], (o >> 16) & 0xFF, a) << 16 |
                       blend_channel(qc[1], (o >> 8) & 0xFF, a) << 8 |
                       blend_channel(qc[2], o & 0xFF, a);
            }
        }
    }
    unlock_surface(surface);
}

// p moved towards q by at most step.
static inline uint32_t fade_channel(uint32_t p, uint32_t q, int32_t step) {
    const int32_t d = std::clamp(int32_t(q) - int32_t(p), -step, step);
    return uint32_t(int32_t(p) + d);
}

void fade_to_picture(const Buffer& picture, Surface* surface, uint8_t step_r, uint8_t step_g,
                     uint8_t step_b) {
    if (picture.size() < FULL_PICTURE_BYTES) return;
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    if (display_depth == 32) {
        uint32_t* p = frame.pixels;
        const uint8_t* q = picture.data();
        for (int i = 0; i < FRAME_PIXELS; i++, q += 3) {
            const uint32_t o = p[i];
            p[i] = fade_channel((o >> 16) & 0xFF, q[0], step_r) << 16 |
                   fade_channel((o >> 8) & 0xFF, q[1], step_g) << 8 |
                   fade_channel(o & 0xFF, q[2], step_b);
        }
    }
    unlock_surface(surface);
}
