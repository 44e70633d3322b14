// The show's whole state at the start of each order, kept as a lockstep run
// first passes it, so that a seek goes back (or on) to the nearest kept
// state and computes at most the rest of one order. A state is the timeline
// and its effects, the cameras, the morph, what frames change in the assets
// and scenes, the depth and id buffers, the working surface and the song's
// place to the sample; pieces equal to the previous state's are shared.
#pragma once

#include <cstddef>
#include <cstdint>

struct SongPlace;

// Drops every kept state (a show starts or ends: its content may change).
void forget_kept_states();

// The show's state is that of a lockstep run from the start at fps frames a
// second (0: it is not, as in a show that follows the sound device). Only
// such a state is kept.
void set_show_state_exact(int fps);
int show_state_exact_fps();

// After a frame's share of the song and before its drawing: the state is kept
// when the song has just reached an order no state was kept for.
void keep_state_at_order_start();

// Keeps the show's state as the start of order, the song at place with the
// share of its last frame, for seeks at fps, unless one is kept already.
void keep_state_at(uint32_t order, const SongPlace& place, size_t share_frames, int fps);

// The kept state of the greatest order at or before order, for a run at fps:
// 1 with its order and its song sample, 0 when there is none.
int nearest_kept_state(uint32_t order, int fps, uint32_t* kept_order, uint64_t* song_sample);

// The show and the song put back as they were at the kept order's start (the
// frame there not yet drawn, its share of the song in demo_lockstep_samples).
// Returns 0 when it cannot; the show is then to be reset.
int restore_kept_state(uint32_t kept_order);

// Kept states in a file of the user's cache folder ($XDG_CACHE_HOME/vorn, or
// ~/.cache/vorn), for the live shows of later runs. take_up_kept_states, at
// the start of a live show (its state the start state), reads the file of
// this very content (a digest of the program, the module, the assets and the
// start state names it) only when it is whole and unchanged; store_kept_states
// writes it back at the show's end when states were added, and removes the
// files of other content.
void take_up_kept_states(int fps);
void store_kept_states();

// How many states are kept and the bytes they hold, shared pieces once.
void kept_state_memory(size_t* states, size_t* bytes);

// A second show state beside the show's own, of the same sizes, for a
// lockstep run computed between the frames of a live one: made as a copy of
// the show's state now (none when it cannot be), swapped with the show's
// state (whole buffers change places) before and after each turn of the
// other run, released at the end.
struct AsideState;
AsideState* set_aside_show_state();
void swap_aside_state(AsideState* aside);
void release_aside_state(AsideState* aside);
