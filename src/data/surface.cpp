// The surfaces' operations over memory pixels, and the widest fill the
// processor has.
#include "data/surface.h"

#include "data/scaler.h"

#include <algorithm>
#include <cstring>

Surface* surface_primary = nullptr;
Surface* surface_back = nullptr;
Surface* surface_virtual1 = nullptr;
int surface_failing_locks = 0;

Surface* new_surface(uint32_t width, uint32_t height) {
    return new Surface{std::vector<uint32_t>(size_t(width) * height, 0), width, height, false};
}

int create_working_surface() {
    release_working_surface();
    surface_virtual1 = new_surface(FRAME_WIDTH, FRAME_HEIGHT);
    return 1;
}

void release_working_surface() {
    delete surface_virtual1;
    surface_virtual1 = nullptr;
}

int lock_surface(Surface* surface, FrameSurface* out) {
    *out = FrameSurface{};
    if (!surface || surface->locked || surface->pixels.empty()) return 0;
    if (surface_failing_locks > 0) {
        surface_failing_locks--;
        return 0;
    }
    surface->locked = true;
    *out = FrameSurface{surface->pixels.data(), int32_t(surface->width * 4), surface->width,
                        surface->height};
    return 1;
}

int unlock_surface(Surface* surface) {
    if (!surface || !surface->locked) return 0;
    surface->locked = false;
    return 1;
}

int fill_surface(Surface* surface, uint32_t colour) {
    FrameSurface frame;
    if (!lock_surface(surface, &frame)) return 0;
    fill_pixels(frame.pixels, surface->pixels.size(), colour & 0xFFFFFF);
    unlock_surface(surface);
    return 1;
}

int blit_surface(Surface* source, Surface* destination) {
    if (!source || !destination || source == destination) return 0;
    FrameSurface from, to;
    if (!lock_surface(source, &from)) return 0;
    const int ok = lock_surface(destination, &to);
    if (ok) {
        scale_pixels(from.pixels, int(from.width), int(from.height), to.pixels, int(to.width),
                     int(to.height), display_filter);
        unlock_surface(destination);
    }
    unlock_surface(source);
    return ok;
}

int put_pixels(Surface* surface, int x, int y, const uint32_t* pixels, int width, int height) {
    if (!surface || !pixels || width <= 0 || height <= 0) return 0;
    FrameSurface frame;
    if (!lock_surface(surface, &frame)) return 0;
    const int x0 = std::max(0, x), y0 = std::max(0, y);
    const int x1 = std::min(int(frame.width), x + width);
    const int y1 = std::min(int(frame.height), y + height);
    for (int row = y0; row < y1 && x1 > x0; row++) {
        const uint32_t* in = pixels + size_t(row - y) * width + (x0 - x);
        std::memcpy(frame.pixels + size_t(row) * frame.width + x0, in, size_t(x1 - x0) * 4);
    }
    unlock_surface(surface);
    return 1;
}

int read_surface_pixels(Surface* surface, std::vector<uint32_t>* out) {
    if (!surface || !out) return 0;
    FrameSurface frame;
    if (!lock_surface(surface, &frame)) return 0;
    out->assign(frame.pixels, frame.pixels + surface->pixels.size());
    unlock_surface(surface);
    return 1;
}

void fill_pixels_plain(uint32_t* pixels, size_t count, uint32_t colour) {
    std::fill(pixels, pixels + count, colour);
}

void (*fill_pixels)(uint32_t* pixels, size_t count, uint32_t colour) = fill_pixels_plain;
