// The kept states' own record, shared by the kept states (kept_states.cpp)
// and their cache file (cache_file.cpp): one state per order, each a list of
// byte pieces, pieces equal to a neighbour's shared.
#pragma once

#include "platform/sound.h"
#include "presentation/seeking/show_state.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Orders beyond this are not kept (a module has at most 256).
constexpr uint32_t KEPT_ORDERS = 256;

struct KeptState {
    bool kept = false;
    SongPlace place = {};
    size_t share_frames = 0; // the song's share of the frame at the place
    ShowState pieces;
};

struct KeptStates {
    uint64_t key = 0;                 // the content's digest, when its states go to a file
    bool changed = false;             // states were kept since the file was read
    int fps = 0;                      // the lockstep rate the states were kept at
    int exact_fps = 0;                // the show's state is a lockstep state at this rate
    uint32_t last_order = UINT32_MAX; // the order of the last lockstep frame
    std::vector<KeptState> by_order;
};

extern KeptStates kept_store;

// The bytes of the largest piece and of all of them in the show's state now
// (every state of this show has those sizes; kept_check.cpp).
size_t kept_piece_bytes_most();
size_t kept_state_bytes();
// Why the pieces of a state read from a file cannot be taken into the show
// as it runs, or an empty string: each is loaded into the show's own state
// (set aside and put back after, whatever happens) and judged there: its
// size, the indices, flags, numbers and tables within what the show can have.
std::string kept_state_problem(const KeptState& state);

// The reader and writer of the cache file (cache_file.cpp) on bytes in
// memory: why the file's states are not taken into the store (an empty string
// when they are), and the file the store would write.
std::string take_kept_file(const Bytes& file, int fps);
Bytes kept_file_of_store();
