// The show's state catalogue: one table of every piece of the show's mutable
// state, what a frame changes and a later frame reads, with its variable, its
// owner and its size. The kept states, their cache file and the run aside
// take the show's state through this table only, so that a new piece of state
// is one row here (tests/test_show_state.cpp fails on a program-wide variable
// of the drawing or the show that is in no row and not known to be fixed).
// The variables stay program-wide, each with its owner.
#pragma once

#include "presentation/seeking/state_bytes.h"

#include <cstddef>
#include <memory>
#include <vector>

struct ShowStatePiece {
    const char* name;  // the program-wide variable, as the linker names it
    const char* what;  // what of it the piece holds
    const char* owner; // the unit that defines it
    size_t (*size)();  // the bytes it holds now
    void (*save)(Bytes* out);
    bool (*load)(Reader* in); // false when the bytes do not fit its sizes now
    // The run aside's own copy of the piece, made from the show's, and the
    // swap of the show's piece with it; none for tables whose contents are
    // the same whoever builds them.
    std::shared_ptr<void> (*hold)();
    void (*swap)(void* held);
    bool keyed; // taken into the content's key (the render buffers hold nothing yet)
};

extern const ShowStatePiece show_state_pieces[];
extern const size_t show_state_piece_count;

// A captured state: each piece's bytes, in the table's order.
using ShowState = std::vector<std::shared_ptr<const Bytes>>;

// The show's state now; a piece equal to like's (when given) is shared with it.
void capture_show_state(ShowState* state, const ShowState* like);
// The show's state put back; 0 when a piece does not fit (the show is then
// to be reset). Needs the working surface.
int restore_show_state(const ShowState& state);
// The keyed pieces now, one after another.
void save_keyed_show_state(Bytes* out);

// A second show state beside the show's own, of the same sizes, for a
// lockstep run computed between the frames of a live one: made as a copy of
// the show's state now (none when it cannot be), swapped with the show's
// state (whole buffers change places) before and after each turn of the
// other run, released at the end.
struct AsideState;
AsideState* set_aside_show_state();
void swap_aside_state(AsideState* aside);
void release_aside_state(AsideState* aside);
