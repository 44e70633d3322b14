// Seeking: the show starts from a lockstep state at or before the order (its
// own when it runs in lockstep, else the nearest one kept at an order's start,
// else its start values with the song at its beginning), then every frame up
// to the order is computed in lockstep at 60 frames a second without being
// shown, so the frame after a seek is the one a viewer from the start sees
// there. The catch-up runs in slices, so a live show can draw its progress and
// answer keys between them.
#pragma once

#include <cstdint>

// A catch-up runs at this rate, the rate of the lockstep viewer it matches.
constexpr int CATCH_UP_FPS = 60;

// Starts a seek to the start of order; 0 when there is nothing to play.
int begin_seek(uint32_t order);

// Computes catch-up frames for up to milliseconds of wall time (0: to the
// end). On arrival the frame at the order's start is drawn and left waiting
// (show_frame_waiting) with its share of the song, and the song plays on
// live again unless the show was in lockstep already. Returns 1 while the
// catch-up goes on.
int continue_catch_up(uint32_t milliseconds);

// Whether a catch-up is under way; the order it goes to; how far it is.
int catch_up_active();
uint32_t catch_up_order();
void catch_up_progress(uint32_t* done, uint32_t* total);
// Moves the order a running catch-up goes to further on.
void extend_catch_up(uint32_t order);
// Leaves a catch-up unfinished (the show is ending).
void abandon_catch_up();

// The whole seek at once: begin_seek, then the catch-up to its end. Returns
// 0 when there is nothing to play.
int seek_to_order(uint32_t order);
