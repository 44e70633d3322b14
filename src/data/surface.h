// The display surfaces as drawing code sees them: the records, the working
// surface and the operations every surface has. Every surface is memory (the
// window's back buffer too, which the platform only presents), so the
// operations are defined here once and effects and tests need no window. The
// working surface surface_virtual1 is always a 320 x 200, 32-bit buffer
// without gaps (pitch 1280).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int FRAME_WIDTH = 320;
constexpr int FRAME_HEIGHT = 200;
constexpr int FRAME_PIXELS = FRAME_WIDTH * FRAME_HEIGHT;

// A locked surface: pixels 0x00RRGGBB, rows top to bottom.
struct FrameSurface {
    uint32_t* pixels;
    int32_t pitch; // bytes
    uint32_t width;
    uint32_t height;
};

// One display mode.
struct ModeRecord {
    uint32_t width;
    uint32_t height;
    uint32_t refresh_rate;
    uint32_t bits_per_pixel;
    uint32_t red_mask;
    uint32_t green_mask;
    uint32_t blue_mask;
};

// A 32-bit RGB mode record (masks 0xFF0000, 0xFF00, 0xFF; default refresh).
inline ModeRecord make_mode(uint32_t width, uint32_t height) {
    return ModeRecord{width, height, 0, 32, 0xFF0000, 0x00FF00, 0x0000FF};
}

// A surface: its pixels, rows top to bottom without gaps.
struct Surface {
    std::vector<uint32_t> pixels;
    uint32_t width;
    uint32_t height;
    bool locked;
};

extern Surface* surface_primary;
extern Surface* surface_back;
extern Surface* surface_virtual1;

// Makes surface_virtual1 without a display (tests, lockstep capture); the
// display's init makes it the same way.
int create_working_surface();
void release_working_surface();

// Sets count pixel words to colour, with the widest stores the processor has:
// a frame's fill is bound by how many stores it takes. A kernel:
// choose_surface_kernels (surface_simd.cpp) points it at fill_pixels_plain or
// a wider twin.
extern void (*fill_pixels)(uint32_t* pixels, size_t count, uint32_t colour);
void fill_pixels_plain(uint32_t* pixels, size_t count, uint32_t colour);
void choose_surface_kernels();

// A width x height surface of black pixels; release with delete.
Surface* new_surface(uint32_t width, uint32_t height);

int lock_surface(Surface* surface, FrameSurface* out);
int unlock_surface(Surface* surface);
int fill_surface(Surface* surface, uint32_t colour);
// Scales source onto destination with display_filter (a copy at equal sizes).
int blit_surface(Surface* source, Surface* destination);

// Copies a width x height block of pixels 1:1 onto surface at (x, y), clipped
// to the surface. Returns 0 when the surface cannot be written.
int put_pixels(Surface* surface, int x, int y, const uint32_t* pixels, int width, int height);

// The surface's pixels, width x height without gaps.
int read_surface_pixels(Surface* surface, std::vector<uint32_t>* out);

// Test hook: the next n calls of lock_surface fail.
extern int surface_failing_locks;
