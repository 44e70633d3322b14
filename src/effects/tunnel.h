// Full-frame texture lookups: the tunnel, the rotated and scrolled texture
// plane, and the texture seen through two displacement maps. Textures are
// 256 x 256 RGB texels (texel index row * 256 + column); one shorter than what
// a call reads counts as missing and nothing is drawn.
#pragma once

#include "data/pack.h"
#include "data/surface.h"

#include <cstdint>

// One tunnel frame from tunnel_depth and tunnel_angle: depth_shift scrolls
// along the tunnel, angle_shift turns it.
void draw_tunnel(uint8_t depth_shift, uint8_t angle_shift, Surface* surface, const Buffer& texture);

// The texture plane turned by angle (256 steps per turn) and scrolled by the
// two shifts; draws only while sphere_table exists.
void draw_rotated_texture(Surface* surface, uint8_t u_shift, uint8_t v_shift, uint8_t angle,
                          const Buffer& texture);

// The texture (read with a row step of 255 texels, at least 47,619 bytes) seen
// through two 320 x 200 displacement maps moved by phase in opposite directions.
void draw_displaced_texture(uint8_t phase, Surface* surface, const Buffer& map1, const Buffer& map2,
                            const Buffer& texture);
