// Digests of the show in lockstep: for every 30th frame the song's position,
// a hash of the 320 x 200 frame and a hash of the music of the frames up to
// it, one text line each, as tests/show_digests.txt records them. The native
// tests and the web page make them with this same code.
#pragma once

#include "presentation/outputs/lockstep.h"

#include <cstdint>
#include <string>

constexpr uint32_t DIGEST_EVERY = 30;

struct ShowDigests {
    uint64_t music; // the music's hash since the last line
};

// FNV-1a, 64 bits.
constexpr uint64_t FNV_BASIS = 0xCBF29CE484222325ull;
uint64_t fnv1a(uint64_t hash, const void* data, size_t size);

// Renders the next lockstep frame and folds its music into digests; on every
// DIGEST_EVERY-th frame writes its line into line (otherwise leaves it
// empty). Returns 0, with no frame, once the show is over.
int digest_next_frame(LockstepRun* run, ShowDigests* digests, std::string* line);
