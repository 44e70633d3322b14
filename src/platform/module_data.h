// The module's bytes outside the player: read from a file, made into a
// library module that plays once without dither, timed order by order, and
// its float mix made 16-bit.
// A unit of its own so that the player keeps to playing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct openmpt_module;

// Reads a module file whole: only a regular file (opened without waiting, so
// that a FIFO cannot stall the start) of a size a module can have. Returns
// SOUND_ERR_NONE, SOUND_ERR_FILE_NOT_FOUND when there is no such file, or
// SOUND_ERR_FILE_BAD.
int read_module_file(const char* name, std::vector<uint8_t>* data);

// A fresh library module of data that plays once, stops at the end and never
// dithers, so the same module always renders the same samples; none when the
// data is no module.
openmpt_module* create_module(const std::vector<uint8_t>& data);

// Seconds from the start to a row of an order at the module's own tempo (-1
// for a position it does not have).
double module_position_seconds(const std::vector<uint8_t>& data, uint32_t order, uint32_t row);
// Seconds from the start to each order's first row as the library times it
// (negative, or 0 past the first order, for an order never reached), then the
// module's length: one module timed once. Empty for no module.
std::vector<double> module_order_times(const std::vector<uint8_t>& data);

// The library mixes in float; the master volume (of volume_max) scales that
// mix and only then is it rounded and clipped to 16 bits, so a lowered volume
// keeps the whole range of the mix instead of clipping it first.
void mix_to_16bit(const float* mix, int16_t* out, size_t count, int volume, int volume_max);
