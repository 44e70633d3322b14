#include "data/surface.h"

#include <algorithm>

Surface* surface_primary = nullptr;
Surface* surface_back = nullptr;
Surface* surface_virtual1 = nullptr;
int surface_failing_locks = 0;

int create_working_surface() {
    release_working_surface();
    surface_virtual1 = new Surface{std::vector<uint32_t>(FRAME_PIXELS, 0), FRAME_WIDTH,
                                   FRAME_HEIGHT, false, nullptr};
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

void fill_pixels_plain(uint32_t* pixels, size_t count, uint32_t colour) {
    std::fill(pixels, pixels + count, colour);
}

void (*fill_pixels)(uint32_t* pixels, size_t count, uint32_t colour) = fill_pixels_plain;
