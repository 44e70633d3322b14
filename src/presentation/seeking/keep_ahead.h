// Keeping ahead: a live show's frames follow the sound device, so they are not
// those of a lockstep run and its own state is never kept. Between its
// frames, a lockstep run of the same show is computed aside in short turns,
// so that every order's start it passes is kept before the viewer seeks
// there, and a seek costs at most one order of catch-up wherever it goes.
#pragma once

#include <cstdint>

// The milliseconds of one turn (0: no run aside).
extern uint32_t keep_ahead_ms;

// At the start of a live show (not in lockstep): the run aside starts where
// the show starts, with a copy of its song that is never heard.
void start_keeping_ahead();
// One turn: the run aside's state and song take the show's place for
// keep_ahead_ms of lockstep frames, kept at each order's start, and give it
// back. It ends at the end of the show.
void keep_ahead();
// Whether the run aside goes on; its end (the show ends).
int keeping_ahead();
void stop_keeping_ahead();
