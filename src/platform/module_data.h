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

// A module's order times as far as they have been asked. The library times
// an order by a seek from the song's start, so timing every order of a long
// song costs the square of its length (a crafted module of 260 orders took
// seconds): only the orders up to the last one asked for are timed, with a
// timing module kept for the next ask and released once all are.
struct OrderTimes {
    bool opened = false;    // the module read for its timing
    bool is_module = false; // and found to be one
    openmpt_module* module = nullptr;
    uint32_t orders = 0;        // in the order list
    double length = -1;         // the song's, in seconds
    std::vector<double> starts; // seconds to the first row of each order timed so far
                                // (negative, or 0 past the first, for one never reached)
};

// Times the orders up to order (the last one at most) not timed yet; false
// when the data is no module.
bool time_orders(const std::vector<uint8_t>& data, uint32_t order, OrderTimes* times);
void release_order_times(OrderTimes* times);

// The library mixes in float; the master volume (of volume_max) scales that
// mix and only then is it rounded and clipped to 16 bits, so a lowered volume
// keeps the whole range of the mix instead of clipping it first.
void mix_to_16bit(const float* mix, int16_t* out, size_t count, int volume, int volume_max);
