// The display surfaces as drawing code sees them, without the display: the
// records, the working surface and the operations every surface has (the
// presentation implements them for the window). The working surface
// surface_virtual1 is always a 320 x 200, 32-bit memory buffer without gaps
// (pitch 1280), so effects and tests need no window.
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

// A surface: memory pixels, or (for the back buffer) a handle of the display
// layer whose pixels live there.
struct Surface {
    std::vector<uint32_t> pixels;
    uint32_t width;
    uint32_t height;
    bool locked;
    void* platform;
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

int lock_surface(Surface* surface, FrameSurface* out);
int unlock_surface(Surface* surface);
int fill_surface(Surface* surface, uint32_t colour);
int blit_surface(Surface* source, Surface* destination);
int flip_primary();

// Test hook: the next n calls of lock_surface fail.
extern int surface_failing_locks;
