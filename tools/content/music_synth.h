// The show's instruments, synthesised. Every sample is tuned so that a note
// plays at its true pitch (C-4 = middle C, 261.3 Hz on the XM clock); the drums
// and effects sound as designed on C-4. All are deterministic.
#pragma once

#include "xm_writer.h"

#include <cstdint>

// xorshift32: the next value of a deterministic sequence (state must not be 0).
uint32_t random_next(uint32_t& state);

XmInstrument synth_kick();               // pitched sine sweep
XmInstrument synth_snare();              // noise and tone
XmInstrument synth_closed_hat();         // short high-passed noise
XmInstrument synth_open_hat();           // long high-passed noise
XmInstrument synth_bass();               // saw and square through a decaying low-pass
XmInstrument synth_pad(int spread);      // three detuned saws, slow attack, looped
XmInstrument synth_lead();               // two detuned pulses, auto-vibrato, looped
XmInstrument synth_bell();               // FM pluck for arpeggios
XmInstrument synth_crash(uint32_t seed); // noise cymbal with a low boom, for hits
XmInstrument synth_riser();              // looped noise, swept up by the patterns
