// Texture lookups: a texture is 256 x 256 texels of three bytes R G B, texel
// i at byte 3 * i, and each effect reduces its coordinates to a 16-bit index.
// The turned plane walks 16.16 coordinates u and v in wrapping 32-bit
// arithmetic; its index is the shift plus u's top half plus bits 16..23 of v
// as the high byte, modulo 2^16, so the plane repeats every 256 texels both
// ways and no coordinate can leave the texture.
#include "effects/tunnel.h"

#include "data/render_resources.h"
#include "effects/effect_tables.h"
#include "engine3d/math.h"

#include <algorithm>
#include <cstring>

static const size_t TEXTURE_BYTES = size_t(TEXTURE_SIZE) * TEXTURE_SIZE * 3;
// Highest texel of the displaced texture: wave_table[b] * 255 + wave_table[a], both <= 62.
static const size_t DISPLACED_TEXTURE_BYTES = (62 * 255 + 62 + 1) * 3;
static const uint8_t WAVE_MAX = 62;
static const uint32_t REACH = WAVE_MAX + 1;

static inline uint32_t texel(const uint8_t* texture, uint32_t index) {
    return rgb_pixel(texture + 3 * size_t(index));
}

void draw_tunnel_pixels_from(const TunnelPixels& run, uint32_t first) {
    for (uint32_t i = first; i < run.count; i++) {
        const uint32_t index =
            (run.angle_shift + ((uint32_t(run.depth[i]) + run.depth_shift) << 8) +
             (uint32_t(run.angle[i]) << 1)) &
            0xFFFF;
        run.pixels[i] = texel(run.texture, index);
    }
}

void draw_tunnel_pixels_plain(const TunnelPixels& run) {
    draw_tunnel_pixels_from(run, 0);
}

void (*draw_tunnel_pixels)(const TunnelPixels& run) = draw_tunnel_pixels_plain;

void draw_turned_columns(uint32_t* p, uint32_t x, const TurnedPlane& plane, uint32_t row_u,
                         uint32_t row_v) {
    uint32_t u = row_u + x * plane.c, v = row_v - x * plane.s;
    for (; x < plane.width; x++) {
        const uint32_t index =
            (plane.shift + (uint32_t(int32_t(v) >> 8) & 0xFF00) + uint32_t(int32_t(u) >> 16)) &
            0xFFFF;
        p[x] = texel(plane.texture, index);
        u += plane.c;
        v -= plane.s;
    }
}

void draw_turned_plane_plain(const TurnedPlane& plane) {
    uint32_t row_u = plane.row_u, row_v = plane.row_v;
    uint32_t* p = plane.pixels;
    for (uint32_t y = 0; y < plane.height; y++, p += plane.stride) {
        draw_turned_columns(p, 0, plane, row_u, row_v);
        row_u += plane.s;
        row_v += plane.c;
    }
}

void (*draw_turned_plane)(const TurnedPlane& plane) = draw_turned_plane_plain;

void draw_tunnel(uint8_t depth_shift, uint8_t angle_shift, Surface* surface,
                 const Buffer& texture) {
    if (texture.size() < TEXTURE_BYTES) return;
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    const bool tables_fit = tunnel_width == FRAME_WIDTH && tunnel_height == FRAME_HEIGHT &&
                            tunnel_depth.size() >= size_t(FRAME_PIXELS) &&
                            tunnel_angle.size() >= size_t(FRAME_PIXELS);
    if (display_depth == 32 && tables_fit)
        draw_tunnel_pixels({frame.pixels, tunnel_depth.data(), tunnel_angle.data(),
                            uint32_t(FRAME_PIXELS), texture.data(), depth_shift, angle_shift});
    unlock_surface(surface);
}

void draw_rotated_texture(Surface* surface, uint8_t u_shift, uint8_t v_shift, uint8_t angle,
                          const Buffer& texture) {
    if (!sphere_table || texture.size() < TEXTURE_BYTES) return;
    FrameSurface frame;
    if (!lock_surface(surface, &frame)) return;
    if (display_depth == 32) {
        const uint8_t turn = uint8_t(-angle);
        const int32_t s = int32_t(sin_table[turn] * 65536.0);
        const int32_t c = int32_t(cos_table[turn] * 65536.0);
        // 16.16 texture coordinates in wrapping 32-bit arithmetic.
        uint32_t row_u = 0x800000u - (uint32_t(c) + uint32_t(s)) * (frame.height >> 1);
        uint32_t row_v = 0x800000u - (uint32_t(c) - uint32_t(s)) * (frame.width >> 1);
        const uint32_t shift = (uint32_t(v_shift) << 8) + u_shift;
        const uint8_t* t = texture.data();
        const size_t stride = size_t(frame.pitch) / 4;
        uint32_t* p = frame.pixels;
        if (s == 0 && c == 65536) {
            // Unturned: each row reads consecutive texels (the index wrapping
            // at 2^16), as the column advances u by one texel and keeps v.
            for (uint32_t y = 0; y < frame.height; y++, p += stride, row_v += uint32_t(c)) {
                uint32_t index =
                    (shift + (uint32_t(int32_t(row_v) >> 8) & 0xFF00) + (row_u >> 16)) & 0xFFFF;
                for (uint32_t x = 0; x < frame.width;) {
                    const uint32_t n = std::min(frame.width - x, 65536 - index);
                    widen_rgb(t + 3 * size_t(index), p + x, n);
                    x += n;
                    index = (index + n) & 0xFFFF;
                }
            }
            unlock_surface(surface);
            return;
        }
        draw_turned_plane({p, stride, frame.width, frame.height, t, shift, row_u, row_v,
                           uint32_t(c), uint32_t(s)});
    }
    unlock_surface(surface);
}

void draw_displaced_texture(uint8_t phase, Surface* surface, const Buffer& map1, const Buffer& map2,
                            const Buffer& texture) {
    if (map1.size() < size_t(FRAME_PIXELS) || map2.size() < size_t(FRAME_PIXELS) ||
        texture.size() < DISPLACED_TEXTURE_BYTES)
        return;
    FrameSurface frame;
    if (!lock_full_frame(surface, &frame)) return;
    const uint8_t* d1 = map1.data();
    const uint8_t* d2 = map2.data();
    const uint8_t* t = texture.data();
    uint32_t* p = frame.pixels;
    if (*std::max_element(wave_table, wave_table + 256) <= WAVE_MAX) {
        // The 63 x 63 texels the waves reach, as words, and each map value's
        // wave moved by the phase (the row's already times 63): three reads
        // a pixel besides the maps.
        uint32_t reach[REACH * REACH];
        for (uint32_t row = 0; row < REACH; row++)
            for (uint32_t column = 0; column < REACH; column++)
                reach[row * REACH + column] = texel(t, row * 255 + column);
        uint16_t row_of[256], column_of[256];
        for (int d = 0; d < 256; d++) {
            row_of[d] = uint16_t(wave_table[uint8_t(d + phase)] * REACH);
            column_of[d] = wave_table[uint8_t(d - phase)];
        }
        for (int i = 0; i < FRAME_PIXELS; i++) p[i] = reach[row_of[d2[i]] + column_of[d1[i]]];
        unlock_surface(surface);
        return;
    }
    for (int i = 0; i < FRAME_PIXELS; i++) {
        const uint8_t a = uint8_t(d1[i] - phase);
        const uint8_t b = uint8_t(d2[i] + phase);
        p[i] = texel(t, uint32_t(wave_table[b]) * 255 + wave_table[a]);
    }
    unlock_surface(surface);
}
