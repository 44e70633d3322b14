#include "music_harmony.h"

#include "music_synth.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int BAR = 16;
constexpr int ROWS = 4 * BAR;
const char* const CADENCE_RHYTHM = "x...x...x.......";
int floor_div(int a, int n) {
    return (a - floor_mod(a, n)) / n;
}

bool is_chord_tone(Chord chord, int degree) {
    int step = floor_mod(degree - chord.degree, 7);
    return step == 0 || step == 2 || step == 4;
}

// The chord tone nearest to a degree; ties go in the direction `lean`.
int nearest_chord_tone(Chord chord, int degree, int lean) {
    for (int distance = 0; distance < 4; distance++) {
        if (is_chord_tone(chord, degree + distance * lean)) return degree + distance * lean;
        if (is_chord_tone(chord, degree - distance * lean)) return degree - distance * lean;
    }
    return degree;
}

int random_below(uint32_t& state, int n) {
    return int(random_next(state) % uint32_t(n));
}

} // namespace

int floor_mod(int a, int n) {
    return ((a % n) + n) % n;
}

int degree_note(Key key, int degree) {
    static const int MINOR[7] = {0, 2, 3, 5, 7, 8, 10};
    static const int MAJOR[7] = {0, 2, 4, 5, 7, 9, 11};
    const int* scale = key.minor ? MINOR : MAJOR;
    return key.tonic + 12 * floor_div(degree, 7) + scale[floor_mod(degree, 7)];
}

int note_over(Key key, Chord chord, int degree) {
    bool third = floor_mod(degree - chord.degree, 7) == 2;
    return degree_note(key, degree) + (chord.raised && third ? 1 : 0);
}

int bass_root(Key key, Chord chord) {
    int note = degree_note(key, chord.degree);
    const int lowest = 17; // E-1
    return lowest + floor_mod(note - lowest, 12);
}

void voice_chord(Key key, Chord chord, const int previous[3], int out[3]) {
    int best = 1 << 30;
    for (int inversion = 0; inversion < 3; inversion++) {
        int notes[3];
        for (int i = 0; i < 3; i++) {
            int degree = chord.degree + 2 * ((inversion + i) % 3);
            notes[i] = note_over(key, chord, degree);
        }
        // Stack upwards, then move the whole voicing into range.
        for (int i = 1; i < 3; i++)
            while (notes[i] <= notes[i - 1]) notes[i] += 12;
        while (notes[0] < 49) notes[0] += 12, notes[1] += 12, notes[2] += 12;
        while (notes[0] > 59) notes[0] -= 12, notes[1] -= 12, notes[2] -= 12;
        int cost = 0;
        for (int i = 0; i < 3; i++) cost += std::abs(notes[i] - previous[i]);
        if (cost < best) {
            best = cost;
            for (int i = 0; i < 3; i++) out[i] = notes[i];
        }
    }
}

std::vector<NoteEvent> make_phrase(const Chord chords[4], uint32_t seed, const char* const* rhythms,
                                   int rhythm_count, int centre) {
    uint32_t state = seed;
    const char* motif = rhythms[random_below(state, rhythm_count)];
    const char* answer = rhythms[random_below(state, rhythm_count)];
    const char* bar_rhythm[4] = {motif, answer, motif, CADENCE_RHYTHM};

    std::vector<NoteEvent> events;
    std::vector<int> motif_offsets;
    int degree = nearest_chord_tone(chords[0], centre, 1);
    for (int bar = 0; bar < 4; bar++) {
        Chord chord = chords[bar];
        int onset = 0;
        for (int step = 0; step < BAR; step++) {
            if (bar_rhythm[bar][step] != 'x') continue;
            bool strong = step % 4 == 0;
            if (bar == 2 && onset < int(motif_offsets.size())) {
                // The motif again, shifted onto this bar's chord.
                int target = chord.degree + motif_offsets[size_t(onset)];
                while (target - degree > 4) target -= 7;
                while (degree - target > 4) target += 7;
                degree = strong ? nearest_chord_tone(chord, target, 1) : target;
            } else if (strong) {
                static const int LEAPS[8] = {-3, -2, -1, 1, 1, 2, 2, 3};
                int lean = degree > centre ? -1 : 1;
                degree = nearest_chord_tone(chord, degree + LEAPS[random_below(state, 8)], lean);
            } else {
                int direction = random_below(state, 2) ? 1 : -1;
                if (degree > centre + 3) direction = -1;
                if (degree < centre - 3) direction = 1;
                degree += direction;
            }
            if (bar == 3 && step >= 8) { // the close: root or third
                int root = nearest_chord_tone(chord, degree, -1);
                while (!(floor_mod(root - chord.degree, 7) == 0 ||
                         floor_mod(root - chord.degree, 7) == 2))
                    root--;
                degree = root;
            }
            while (degree > centre + 5) degree -= 7;
            while (degree < centre - 5) degree += 7;
            if (bar == 0) motif_offsets.push_back(degree - chord.degree);
            events.push_back({bar * BAR + step, degree, 0});
            onset++;
        }
    }
    // Notes hold until the next one, for at most six rows (the last one eight).
    for (size_t i = 0; i < events.size(); i++) {
        int next = i + 1 < events.size() ? events[i + 1].row : ROWS;
        int limit = i + 1 < events.size() ? 6 : 8;
        events[i].length = std::min(next - events[i].row, limit);
    }
    return events;
}
