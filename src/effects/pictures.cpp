#include "effects/pictures.h"

#include "effects/effect_tables.h"

#include <algorithm>
#include <cstring>

static const size_t FULL_PICTURE_BYTES = size_t(FRAME_PIXELS) * 3;

// Pixels are widened from the picture's bytes a run of at most this many at a time.
static const size_t RUN = 256;

// Picture pixels over frame pixels, n of them (n <= RUN): mode 1 skips black,
// mode 2 skips black and averages each channel with the frame, rounding down.
static void draw_run(uint32_t* p, const uint8_t* q, size_t n, uint8_t mode) {
    uint32_t w[RUN];
    widen_rgb(q, w, n);
    if (mode == 1) {
        for (size_t c = 0; c < n; c++) p[c] = w[c] ? w[c] : p[c];
        return;
    }
    for (size_t c = 0; c < n; c++) {
        const uint32_t o = p[c] & 0xFFFFFF;
        const uint32_t mean = (o & w[c]) + (((o ^ w[c]) & 0xFEFEFE) >> 1);
        p[c] = w[c] ? mean : p[c];
    }
}

// A copy widens the whole row in one call; the others go a run at a time.
static void draw_row(uint32_t* p, const uint8_t* q, size_t n, uint8_t mode) {
    if (mode == 0) {
        widen_rgb(q, p, n);
        return;
    }
    for (size_t c = 0; c < n; c += RUN) draw_run(p + c, q + 3 * c, std::min(RUN, n - c), mode);
}

void draw_picture(const Buffer& picture, Surface* surface, uint8_t mode) {
    if (picture.size() < FULL_PICTURE_BYTES) return;
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    if (display_depth == 32 && mode <= 1)
        draw_row(frame.pixels, picture.data(), FRAME_PIXELS, mode);
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
        for (int64_t r = 0; r < clip.rows; r++, q += 3 * size_t(width), p += stride)
            draw_row(p, q, size_t(clip.columns), mode);
    }
    unlock_surface(surface);
}

static inline uint32_t blend_channel(uint32_t q, uint32_t p, uint32_t a) {
    return std::min<uint32_t>(255, ((q * a) >> 8) + ((p * (255 - a)) >> 8));
}

void blend_run_plain(uint32_t* p, const uint8_t* q, const uint8_t* m, size_t n, uint8_t alpha) {
    for (size_t c = 0; c < n; c++) {
        const uint32_t a = ((255u - m[c]) * alpha) >> 8;
        const uint32_t w = rgb_pixel(q + 3 * c), o = p[c];
        p[c] = blend_channel(w >> 16, (o >> 16) & 0xFF, a) << 16 |
               blend_channel((w >> 8) & 0xFF, (o >> 8) & 0xFF, a) << 8 |
               blend_channel(w & 0xFF, o & 0xFF, a);
    }
}

void (*blend_run)(uint32_t* p, const uint8_t* q, const uint8_t* m, size_t n,
                  uint8_t alpha) = blend_run_plain;

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
        for (int64_t r = 0; r < clip.rows; r++, q += 3 * size_t(width), m += width, p += stride)
            blend_run(p, q, m, size_t(clip.columns), alpha);
    }
    unlock_surface(surface);
}

// p moved towards q by at most step.
static inline uint32_t fade_channel(uint32_t p, uint32_t q, int32_t step) {
    const int32_t d = std::clamp(int32_t(q) - int32_t(p), -step, step);
    return uint32_t(int32_t(p) + d);
}

void fade_run_plain(uint32_t* p, const uint32_t* w, size_t n, uint8_t step_r, uint8_t step_g,
                    uint8_t step_b) {
    for (size_t c = 0; c < n; c++) {
        const uint32_t o = p[c], q = w[c];
        p[c] = fade_channel((o >> 16) & 0xFF, q >> 16, step_r) << 16 |
               fade_channel((o >> 8) & 0xFF, (q >> 8) & 0xFF, step_g) << 8 |
               fade_channel(o & 0xFF, q & 0xFF, step_b);
    }
}

void (*fade_run)(uint32_t* p, const uint32_t* w, size_t n, uint8_t step_r, uint8_t step_g,
                 uint8_t step_b) = fade_run_plain;

void fade_to_picture(const Buffer& picture, Surface* surface, uint8_t step_r, uint8_t step_g,
                     uint8_t step_b) {
    if (picture.size() < FULL_PICTURE_BYTES) return;
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    if (display_depth == 32) {
        uint32_t w[RUN];
        for (size_t c = 0; c < size_t(FRAME_PIXELS); c += RUN) {
            const size_t n = std::min(RUN, size_t(FRAME_PIXELS) - c);
            widen_rgb(picture.data() + 3 * c, w, n);
            fade_run(frame.pixels + c, w, n, step_r, step_g, step_b);
        }
    }
    unlock_surface(surface);
}
