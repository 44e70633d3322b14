// Blends one object's vertices between two shapes of the same vertex layout,
// one hundredth further per call, forth and back.
#pragma once

#include "engine3d/scene.h"

#include <cstdint>

// Blend position in hundredths and its direction (1 while falling); shared by
// every call of the run.
extern float morph_step;
extern uint32_t morph_falling;

// target.vertices = from + (to - from) * t with t = morph_step / 100 taken
// before the step moves. With recompute_normals 1 the face normals are
// recomputed and added to the previous vertex normals, which are then
// renormalised. value is not used. Nothing happens when an index is outside
// the scene or a source has fewer vertices than the target.
void morph_object(Scene* scene, uint16_t target, uint16_t from, uint16_t to, float value,
                  uint8_t recompute_normals);
