// What a module file holds, as the module player will play it: its format,
// its orders and the rows of each, its length. Read by the pack tool's check,
// which judges a module against the show's script without playing it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ModuleFacts {
    std::string format;         // the format's name, e.g. "FastTracker 2"
    std::string extension;      // its usual file name extension, e.g. "xm"
    std::vector<uint32_t> rows; // rows of each order's pattern (0: a marker, no pattern)
    double seconds = 0;         // played once through
};

// False, with *error said, when the player cannot read the bytes as a module.
bool read_module_facts(const uint8_t* data, size_t size, ModuleFacts* facts, std::string* error);
