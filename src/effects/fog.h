// Frame overlays: the depth fog laid over a rendered 3D frame, and the dot
// cells (a centred blue square in a 10 x 10 cell, its size chosen by a level).
#pragma once

#include "data/surface.h"

#include <cstdint>

// Washes every pixel whose depth_buffer entry lies beyond near towards the fog
// colour; draws nothing while depth_buffer does not cover the frame.
void apply_depth_fog(Surface* surface, float near, float far, uint8_t fog_r, uint8_t fog_g,
                     uint8_t fog_b);

// Draws the level's square (side 10, 8, 6 or 4 for levels 0-63, 64-127,
// 128-191, 192-255) in pure blue into the cell whose top-left pixel is (x, y).
// Only the part of the cell inside the frame is drawn.
void draw_dot_cell(uint16_t x, uint16_t y, uint8_t level, Surface* surface);
