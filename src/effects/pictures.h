// Picture drawing: whole-frame copies, positioned and clipped copies, blends
// through a mask, and the per-call fade of the frame towards a picture.
// Pictures are RGB bytes (red, green, blue), masks one byte per pixel (0 shows
// the picture fully, 255 not at all). A picture or mask shorter than what a
// call reads counts as missing: nothing is drawn.
#pragma once

#include "data/pack.h"
#include "data/surface.h"

#include <cstddef>
#include <cstdint>

// Copies a full-frame picture: mode 0 every pixel, mode 1 every pixel that is
// not black; other modes draw nothing.
void draw_picture(const Buffer& picture, Surface* surface, uint8_t mode);

// Draws a width x height picture with its top-left corner at (x, y), clipped:
// mode 0 copy, mode 1 skip black, mode 2 skip black and average with the frame.
void draw_picture_at(const Buffer& picture, Surface* surface, uint8_t mode, int32_t x, int32_t y,
                     uint32_t width, uint32_t height);

// Draws a width x height picture at (x, y), clipped, mixed with the frame by
// ((255 - mask) * alpha) >> 8.
void blend_picture_masked(const Buffer& picture, Surface* surface, const Buffer& mask, int32_t x,
                          int32_t y, uint32_t width, uint32_t height, uint8_t alpha);

// Moves every frame channel towards the full-frame picture's by at most its step.
void fade_to_picture(const Buffer& picture, Surface* surface, uint8_t step_r, uint8_t step_g,
                     uint8_t step_b);

// The row kernels of the blend and the fade: program-wide pointers that
// choose_picture_kernels (pictures_simd.cpp) sets to the plain loops below or
// to their SSE2 / AVX2 twins.

// n picture pixels (RGB bytes at q) over frame pixels p through the mask m.
extern void (*blend_run)(uint32_t* p, const uint8_t* q, const uint8_t* m, size_t n, uint8_t alpha);
void blend_run_plain(uint32_t* p, const uint8_t* q, const uint8_t* m, size_t n, uint8_t alpha);

// n frame pixels moved towards the picture's words w by at most each step.
extern void (*fade_run)(uint32_t* p, const uint32_t* w, size_t n, uint8_t step_r, uint8_t step_g,
                        uint8_t step_b);
void fade_run_plain(uint32_t* p, const uint32_t* w, size_t n, uint8_t step_r, uint8_t step_g,
                    uint8_t step_b);

void choose_picture_kernels();
