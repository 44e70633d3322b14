// Harmony and melody of the show's module: scale degrees in a key, triads,
// voicings and phrases made by rules from a seed. Rows are sixteenth notes;
// a phrase spans four bars of sixteen rows.
#pragma once

#include <cstdint>
#include <vector>

// tonic: the note of degree 0 in octave 4.
struct Key {
    int tonic;
    bool minor;
};
// A triad on a scale degree; `raised` sharpens its third (the major V of a
// minor key).
struct Chord {
    int degree;
    bool raised;
};

// a mod n in 0..n-1, for negative a too.
int floor_mod(int a, int n);
// The note (XM numbering) of a scale degree; degree 7 is the tonic an octave up.
int degree_note(Key key, int degree);
// The note of a degree heard over a chord: a raised chord sharpens its third.
int note_over(Key key, Chord chord, int degree);
// The bass root of a chord, between E-1 and D#-2.
int bass_root(Key key, Chord chord);
// Three chord notes from C-4 upwards (the lowest between C-4 and A#-4) that
// move least from the sounding voicing.
void voice_chord(Key key, Chord chord, const int previous[3], int out[3]);

struct NoteEvent {
    int row;
    int degree;
    int length;
};

// A four-bar phrase over one chord a bar, made by rules: bars 1 and 3 share
// a rhythm and a contour (bar 3 moves the motif onto its own chord), bar 2
// answers with another rhythm, bar 4 closes on the chord's root or third.
// Notes on the beat are chord tones; notes between beats move by step.
// rhythms are one-bar lines in which x starts a note.
std::vector<NoteEvent> make_phrase(const Chord chords[4], uint32_t seed, const char* const* rhythms,
                                   int rhythm_count, int centre);
