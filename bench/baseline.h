// The common yardstick of every benchmark: writing one full 320 x 200 frame.
#pragma once

#include <cstdint>

// Writes 64,000 pixels of a varying colour into frame.
void write_full_frame(uint32_t* frame, uint32_t colour);
