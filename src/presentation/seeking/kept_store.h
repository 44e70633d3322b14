// The kept states' own record, shared by the kept states (kept_states.cpp)
// and their cache file (cache_file.cpp): one state per order, each a list of
// byte pieces, pieces equal to a neighbour's shared.
#pragma once

#include "platform/sound.h"
#include "presentation/seeking/state_bytes.h"

#include <cstdint>
#include <memory>
#include <vector>

// Orders beyond this are not kept (a module has at most 256).
constexpr uint32_t KEPT_ORDERS = 256;

struct KeptState {
    bool kept = false;
    SongPlace place = {};
    size_t share_frames = 0; // the song's share of the frame at the place
    std::vector<std::shared_ptr<const Bytes>> pieces;
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

// How many pieces a state has.
size_t kept_state_pieces();
// The show's state now as the content key takes it: every piece but the
// render buffers (they hold nothing yet at the start, the id buffer not even
// zeroes), one after another.
void save_state_for_key(Bytes* out);
