// The show's module written pattern by pattern from its plan: the drums,
// bass, pad, arpeggio and melody of each half order, then its hits and its
// riser, cadence or final hit.
#include "music_compose.h"

#include "music_harmony.h"
#include "music_plan.h"
#include "music_synth.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <vector>

namespace {

// ---- Data ----------------------------------------------------------------

constexpr int ROWS = 64; // four bars of sixteen rows: a row is a sixteenth note
constexpr int BAR = 16;
constexpr int ORDER_COUNT = 43;
constexpr int SPEED = 6;
constexpr int BPM = 125;

enum Channel {
    CH_KICK,
    CH_SNARE,
    CH_HAT,
    CH_OPEN_HAT,
    CH_BASS,
    CH_PAD, // two sets of three voices that take turns, so chords cross-fade
    CH_LEAD = CH_PAD + 6,
    CH_ECHO,  // the lead's echo on the right, or its double an octave up
    CH_ECHO2, // the second echo, on the left
    CH_ARP,
    CH_HIT, // hits: two crashes of their own noise, left and right
    CH_HIT2,
    CH_FX,
    CHANNELS
};

// Where each channel sits, 0 (left) to 255 (right); the pad's voices spread
// from left to right, the echoes answer from either side.
const uint8_t CHANNEL_PAN[CHANNELS] = {128, 152, 204, 52,  128, 28,  228, 128, 28,
                                       228, 128, 100, 232, 24,  128, 40,  216, 128};

enum Instrument {
    INS_KICK = 1,
    INS_SNARE,
    INS_CLOSED_HAT,
    INS_OPEN_HAT,
    INS_BASS,
    INS_PAD,
    INS_LEAD,
    INS_BELL,
    INS_CRASH,
    INS_RISER,
    INS_PAD_WIDE, // the pad with wider detuning, for the middle voice
    INS_CRASH_WIDE
};

constexpr uint8_t EFFECT_PORTA_UP = 0x01;
constexpr uint8_t EFFECT_PANNING = 0x08;
constexpr uint8_t EFFECT_EXTENDED = 0x0E;
constexpr uint8_t NOTE_CUT_NOW = 0xC0;

// Drum patterns, one character a row of a bar: x loud, o medium, - soft.
struct DrumStyle {
    const char* kick;
    const char* snare;
    const char* hat;
    const char* open_hat;
    const char* fill; // the snare of the last bar of each order
};

const DrumStyle DRUM_STYLES[] = {
    /* NONE */ {"", "", "", "", ""},
    /* FILTERED */ {"x.......x.......", "", "..o...o...o...o.", "", ""},
    /* BUILD */
    {"x...x...x...x...", "....o.......o...", "x.-.x.-.x.-.x.-.", "", "....o.......o.oo"},
    /* FULL */
    {"x...x...x...x...", "....x.......x...", "x-o-x-o-x-o-x-o-", "..........o.....",
     "....x.......x.ox"},
    /* LIGHT */ {"x.....o...x.....", "............-...", "o.-.o.-.o.-.o.-.", "", ""},
    /* HARD */
    {"x...x...x...x.o.", "....x.......x...", "x-o-x-o-x-o-x-o-", "..o...o...o...o.",
     "....x.......xoxx"},
    /* DRIVING */
    {"x...x...x...x...", "....x.......x...", "xoxoxoxoxoxoxoxo", "..o...o...o...o.",
     "....x.......x.xx"},
    /* SECOND */
    {"x.....x...x.....", "....x.......x..-", "x.o.x.o.x.o.x.oo", "..............o.",
     "....x.......x.ox"},
    /* CLIMAX */
    {"x...x...x...x.o.", "....x.......x...", "xoxoxoxoxoxoxoxo", "..o...o...o...o.",
     "....x...x.xxxxxx"},
};

// What varies a style from order to order within its section: soft snares
// between the backbeats (a set a bar, in turn), an open hat lifting into the
// third bar of every other order, a bigger fill where a two-order phrase
// ends, and the kick and hats dropped for the last bar before a change.
const char* const GHOST_SNARES[3] = {"................", ".......-..-.....", "...-.......-..-."};
const char* const PHRASE_FILLS[3] = {"....x...x.x.xxxx", "..x.x...o.x.xoxo", "....x..o....oxxx"};
constexpr int LIFT_STEP = 14;

// Bass patterns: R root, r soft root, O octave, F fifth, - release.
const char* const BASS_STYLES[] = {
    /* NONE */ "",
    /* LONG */ "R...............",
    /* FILTERED */ "R.......R.....-.",
    /* BUILD */ "R.r.R.r.R.r.R.r.",
    /* MAIN */ "R..RO.R.R..RO.RF",
    /* LIGHT */ "R.....R...O...-.",
    /* HARD */ "R.rOR.rOR.rOR.FO",
    /* DRIVE */ "RrOrRrOrRrOrRrOr",
    /* SECOND */ "R..R..R.O..R..F.",
};

// Melody rhythms, one bar each: x starts a note.
const char* const RHYTHMS[] = {"x...x...x.x.x...", "x.x.x...x...x.x.", "x...x.x...x.x...",
                               "x..x..x...x.x...", "x.x...x.x.x.x..."};
const char* const BUSY_RHYTHMS[] = {"x.x.x.x.x.x.x.x.", "x.xxx.x.x.xxx.x.", "xx.x.xx.x.x.x.x."};
const char* const SPARSE_RHYTHMS[] = {"x.......x...x...", "x...........x...", "x.....x...x....."};

// How each lead style makes its phrase: the seed of its random choices, the
// rhythms its bars choose from, and the scale degree it stays around.
struct PhraseStyle {
    uint32_t seed;
    const char* const* rhythms;
    int rhythm_count;
    int centre;
};
constexpr int PLAIN = int(std::size(RHYTHMS)), BUSY = int(std::size(BUSY_RHYTHMS)),
              SPARSE = int(std::size(SPARSE_RHYTHMS));
const PhraseStyle LEAD_PHRASES[] = {
    /* NONE */ {0, nullptr, 0, 0},
    /* THEME */ {0x7E3A11u, RHYTHMS, PLAIN, 2},
    /* VARIATION */ {0x7E3A11u, BUSY_RHYTHMS, BUSY, 2},
    /* NEW */ {0x51D0C3u, RHYTHMS, PLAIN, 4},
    /* ECHO */ {0x0EC401u, SPARSE_RHYTHMS, SPARSE, 3},
    /* RIFF */ {0x2F1FF5u, BUSY_RHYTHMS, BUSY, 3}, // seed + order: a riff for each order
    /* SECOND */ {0x5EC0DDu, RHYTHMS, PLAIN, 4},
    /* CLIMAX */ {0x5EC0DDu, BUSY_RHYTHMS, BUSY, 6},
    /* CALL */ {0xCA11EDu, SPARSE_RHYTHMS, SPARSE, 4}, // seed + order, like RIFF
    /* COUNTER */ {0x5EC0DDu, BUSY_RHYTHMS, BUSY, 6},  // the climax's own lead
};
// The counter-melody: long notes a sixth below the climax's lead.
const PhraseStyle COUNTER_PHRASE{0xC0DA11u, SPARSE_RHYTHMS, SPARSE, 1};

// Volumes (0..64) of each part at full strength.
// The low parts are kept below the bright ones: they cost the most peak for
// the loudness they bring.
constexpr int VOL_KICK = 52, VOL_SNARE = 64, VOL_HAT = 52, VOL_OPEN_HAT = 45, VOL_BASS = 56,
              VOL_PAD = 50, VOL_LEAD = 56, VOL_ARP = 40, VOL_HIT = 64;

// ---- Pattern writing -------------------------------------------------------

struct Composer {
    XmPattern pattern;
    const OrderPlan* plan;
    int order;
    int variant;       // the order's place in its section, from 0
    bool section_ends; // the last order before the layers change
    // Pad state that runs across orders: which voice set sounds, its notes
    // and the key of the voicing they hold (-1: silent).
    int pad_set = 0;
    int pad_notes[3] = {52, 57, 60};
    int pad_voicing = -1;
    int level = 100;     // percent of every volume written
    int low_level = 100; // further percent of the kick's and the bass's
};

// Writes a cell at the composer's level; a new note without an effect is
// placed at its channel's panning, or at pan when one is given.
void put(Composer& c, int row, int channel, int note, int instrument, int volume,
         uint8_t effect = 0, uint8_t param = 0, int pan = -1) {
    XmCell& cell = xm_cell(c.pattern, row, channel);
    cell.note = uint8_t(note);
    cell.instrument = uint8_t(instrument);
    const int low = channel == CH_KICK || channel == CH_BASS ? c.low_level : 100;
    if (volume > 0) volume = std::max(1, volume * c.level / 100 * low / 100);
    cell.volume = volume >= 0 ? uint8_t(XM_VOLUME_SET + (volume > 64 ? 64 : volume)) : 0;
    if (effect == 0 && instrument != 0) {
        effect = EFFECT_PANNING;
        param = uint8_t(pan >= 0 ? pan : CHANNEL_PAN[channel]);
    }
    cell.effect = effect;
    cell.param = param;
}

void release(Composer& c, int row, int channel) {
    if (row < ROWS) put(c, row, channel, XM_NOTE_OFF, 0, -1);
}

int step_volume(char mark, int full) {
    if (mark == 'x') return full;
    if (mark == 'o') return full * 7 / 10;
    if (mark == '-') return full * 45 / 100;
    return 0;
}

// One bar of the four drums as it is played, a style's lines varied.
struct DrumBar {
    char kick[BAR + 1], snare[BAR + 1], hat[BAR + 1], open_hat[BAR + 1];
};

void copy_line(char (&to)[BAR + 1], const char* from) {
    for (int step = 0; step < BAR; step++) to[step] = from[0] ? from[step] : '.';
    to[BAR] = 0;
}

DrumBar drum_bar(const DrumStyle& style, int bar, int variant, bool section_ends) {
    const bool phrase_ends = variant % 2 == 1;
    const bool last_bar = bar == 3 && style.fill[0];
    DrumBar d;
    copy_line(d.kick, style.kick);
    copy_line(d.snare, !last_bar     ? style.snare
                       : phrase_ends ? PHRASE_FILLS[variant / 2 % 3]
                                     : style.fill);
    copy_line(d.hat, style.hat);
    copy_line(d.open_hat, style.open_hat);
    if (!style.kick[0]) return d; // no beat to vary
    if (style.snare[0])
        for (int step = 0; step < BAR; step++)
            if (d.snare[step] == '.') d.snare[step] = GHOST_SNARES[(variant + bar) % 3][step];
    if (phrase_ends && bar == 1) {
        d.hat[LIFT_STEP] = '.';
        d.open_hat[LIFT_STEP] = 'o';
    }
    if (section_ends && bar == 3) {
        copy_line(d.kick, "");
        copy_line(d.hat, "");
        copy_line(d.open_hat, "");
    }
    return d;
}

void drum_step(Composer& c, int row, int channel, int instrument, int note, char mark, int full) {
    if (const int volume = step_volume(mark, full)) put(c, row, channel, note, instrument, volume);
}

void write_drums(Composer& c, int from, int to, Drums style) {
    int hat_note = XM_NOTE_C4;
    int kick_volume = VOL_KICK;
    if (style == DRUMS_FILTERED) { // darker, softer: the hats play slower
        hat_note = XM_NOTE_C4 - 12 + 6 * (c.order - 2);
        kick_volume = VOL_KICK * 3 / 4;
    }
    for (int bar = from / BAR; bar * BAR < to; bar++) {
        const DrumBar d = drum_bar(DRUM_STYLES[style], bar, c.variant, c.section_ends);
        for (int row = std::max(from, bar * BAR); row < std::min(to, (bar + 1) * BAR); row++) {
            const int step = row % BAR;
            drum_step(c, row, CH_KICK, INS_KICK, XM_NOTE_C4, d.kick[step], kick_volume);
            drum_step(c, row, CH_SNARE, INS_SNARE, XM_NOTE_C4, d.snare[step], VOL_SNARE);
            drum_step(c, row, CH_HAT, INS_CLOSED_HAT, hat_note, d.hat[step], VOL_HAT);
            drum_step(c, row, CH_OPEN_HAT, INS_OPEN_HAT, XM_NOTE_C4, d.open_hat[step],
                      VOL_OPEN_HAT);
        }
    }
    if (style == DRUMS_CLIMAX) // a crash on every bar, louder order by order
        for (int row = (from + BAR - 1) / BAR * BAR; row < to; row += BAR)
            put(c, row, row % 32 ? CH_HIT2 : CH_HIT, XM_NOTE_C4,
                row % 32 ? INS_CRASH_WIDE : INS_CRASH, VOL_HIT / 4 + VOL_HIT * (c.order - 35) / 10);
}

void write_bass(Composer& c, int from, int to, Bass style) {
    if (style == BASS_NONE) {
        release(c, from, CH_BASS);
        return;
    }
    const char* line = BASS_STYLES[style];
    for (int row = from; row < to; row++) {
        Chord chord = c.plan->chords[row / BAR];
        int root = bass_root(c.plan->key, chord);
        switch (line[row % BAR]) {
        case 'R':
            put(c, row, CH_BASS, root, INS_BASS, VOL_BASS);
            break;
        case 'r':
            put(c, row, CH_BASS, root, INS_BASS, VOL_BASS * 3 / 4);
            break;
        case 'O':
            put(c, row, CH_BASS, root + 12, INS_BASS, VOL_BASS * 7 / 8);
            break;
        case 'F':
            put(c, row, CH_BASS, root + 7, INS_BASS, VOL_BASS * 7 / 8);
            break;
        case '-':
            release(c, row, CH_BASS);
            break;
        }
    }
}

void pad_off(Composer& c, int row) {
    for (int v = 0; v < 6; v++) release(c, row, CH_PAD + v);
    c.pad_voicing = -1;
}

void write_pad(Composer& c, int from, int to, bool on) {
    if (!on) {
        if (c.pad_voicing >= 0) pad_off(c, from);
        return;
    }
    for (int row = from; row < to; row++) {
        if (row % BAR != 0 && row != from) continue;
        Chord chord = c.plan->chords[row / BAR];
        int notes[3];
        voice_chord(c.plan->key, chord, c.pad_notes, notes);
        const int voicing = notes[0] * 10000 + notes[1] * 100 + notes[2];
        if (voicing == c.pad_voicing) continue; // still sounding
        int old_set = c.pad_set;
        c.pad_set ^= 1;
        for (int i = 0; i < 3; i++) {
            release(c, row, CH_PAD + 3 * old_set + i);
            put(c, row, CH_PAD + 3 * c.pad_set + i, notes[i], i == 1 ? INS_PAD_WIDE : INS_PAD,
                VOL_PAD);
            c.pad_notes[i] = notes[i];
        }
        c.pad_voicing = voicing;
    }
}

void write_arp(Composer& c, int from, int to, Arp style) {
    if (style == ARP_NONE) return;
    static const int ORDER[6] = {0, 1, 2, 3, 2, 1};
    int step = style == ARP_QUARTERS ? 4 : style == ARP_EIGHTHS ? 2 : 1;
    int count = 0;
    for (int row = from; row < to; row += step, count++) {
        Chord chord = c.plan->chords[row / BAR];
        int index = ORDER[count % 6];
        int degree = chord.degree + 2 * (index % 3);
        int note = note_over(c.plan->key, chord, degree) + 12 * (index / 3);
        while (note < 61) note += 12; // from C-5 up
        while (note > 72 + 12 * (index / 3)) note -= 12;
        int volume = row % 4 == 0 ? VOL_ARP : VOL_ARP * 3 / 4;
        put(c, row, CH_ARP, note, INS_BELL, volume, 0, 0, count % 2 ? 208 : 48); // ping-pong
    }
}

// ---- Melody ----------------------------------------------------------------

void write_melody(Composer& c, const std::vector<NoteEvent>& events, int from, int to, int channel,
                  int instrument, int volume, int delay, int transpose = 0) {
    for (const NoteEvent& e : events) {
        int row = e.row + delay;
        if (row < from || row >= to) continue;
        Chord chord = c.plan->chords[e.row / BAR];
        put(c, row, channel, note_over(c.plan->key, chord, e.degree) + transpose, instrument,
            volume);
        int end = row + e.length;
        bool followed = false;
        for (const NoteEvent& n : events) followed |= n.row + delay == end;
        if (!followed && end < to) release(c, end, channel);
    }
}

std::vector<NoteEvent> phrase_events(const Composer& c, const PhraseStyle& phrase, uint32_t seed) {
    return make_phrase(c.plan->chords, seed, phrase.rhythms, phrase.rhythm_count, phrase.centre);
}

void write_lead(Composer& c, int from, int to, Lead style) {
    release(c, from, CH_ECHO);
    release(c, from, CH_ECHO2);
    if (style == LEAD_NONE) {
        release(c, from, CH_LEAD);
        return;
    }
    const PhraseStyle& phrase = LEAD_PHRASES[style];
    // Each greetings order plays a line of its own.
    const bool per_order = style == LEAD_RIFF || style == LEAD_CALL;
    const std::vector<NoteEvent> events =
        phrase_events(c, phrase, phrase.seed + (per_order ? uint32_t(c.order) : 0u));
    const int instrument = style == LEAD_CALL ? INS_BELL : INS_LEAD;
    write_melody(c, events, from, to, CH_LEAD, instrument, VOL_LEAD, 0);
    if (style == LEAD_ECHO || style == LEAD_CALL) { // dotted-eighth echoes, right then left
        write_melody(c, events, from, to, CH_ECHO, instrument, VOL_LEAD / 2, 3);
        write_melody(c, events, from, to, CH_ECHO2, instrument, VOL_LEAD / 3, 6);
        return;
    }
    const bool doubled =
        style == LEAD_CLIMAX || style == LEAD_SECOND || style == LEAD_RIFF || style == LEAD_COUNTER;
    if (!doubled) return;
    // Doubled an octave up on the right; on the left the counter-melody, or
    // else a late echo.
    write_melody(c, events, from, to, CH_ECHO, INS_LEAD, VOL_LEAD * 5 / 8, 0, 12);
    if (style == LEAD_COUNTER)
        write_melody(c, phrase_events(c, COUNTER_PHRASE, COUNTER_PHRASE.seed), from, to, CH_ECHO2,
                     INS_LEAD, VOL_LEAD * 3 / 4, 0);
    else
        write_melody(c, events, from, to, CH_ECHO2, INS_LEAD, VOL_LEAD * 3 / 8, 3, 12);
}

// ---- Sections and specials ---------------------------------------------------

// A hit stands out of its section: it is always written at full level. The
// title words' hits add a snare, an open hat and the chord's root in the bass.
void write_hit(Composer& c, int row, int volume, bool title = false) {
    const int level = c.level, low_level = c.low_level;
    c.level = c.low_level = 100;
    put(c, row, CH_HIT, XM_NOTE_C4, INS_CRASH, volume);
    put(c, row, CH_HIT2, XM_NOTE_C4, INS_CRASH_WIDE, volume);
    put(c, row, CH_KICK, XM_NOTE_C4, INS_KICK, VOL_KICK);
    if (title) {
        put(c, row, CH_SNARE, XM_NOTE_C4, INS_SNARE, VOL_SNARE);
        put(c, row, CH_OPEN_HAT, XM_NOTE_C4, INS_OPEN_HAT, 64);
        put(c, row, CH_BASS, bass_root(c.plan->key, c.plan->chords[row / BAR]), INS_BASS, 64);
    }
    c.level = level;
    c.low_level = low_level;
}

void write_layers(Composer& c, int from, int to, const Layers& layers) {
    write_drums(c, from, to, layers.drums);
    write_bass(c, from, to, layers.bass);
    write_pad(c, from, to, layers.pad);
    write_arp(c, from, to, layers.arp);
    write_lead(c, from, to, layers.lead);
}

// Noise swept up from C-2 by a slow portamento and a snare roll under its
// second half (eighths, then sixteenths), both growing louder ever faster
// over the quiet break; then every channel cut for the short gap before the
// theme comes in.
void write_riser(Composer& c) {
    const int gap = ROWS - 2, roll = ROWS / 2, level = c.level;
    c.level = 100;
    for (int row = 0; row < gap; row++) {
        int note = row == 0 ? XM_NOTE_C4 - 24 : 0;
        int volume = row % 2 == 0 ? 2 + 62 * row * row / (gap * gap) : -1;
        put(c, row, CH_FX, note, row == 0 ? INS_RISER : 0, volume, EFFECT_PORTA_UP, 0x02);
        const int rolled = row - roll;
        if (rolled >= 0 && (row >= 3 * BAR || row % 2 == 0))
            put(c, row, CH_SNARE, XM_NOTE_C4, INS_SNARE,
                8 + 56 * rolled * rolled / ((gap - roll) * (gap - roll)));
    }
    for (int channel = 0; channel < CHANNELS; channel++) {
        put(c, gap, channel, 0, 0, -1, EFFECT_EXTENDED, NOTE_CUT_NOW);
        for (int row = gap + 1; row < ROWS; row++) xm_cell(c.pattern, row, channel) = XmCell();
    }
    c.pad_voicing = -1;
    c.level = level;
}

// The last bar lands on the tonic: one hit, the chord held, then released.
void write_cadence(Composer& c) {
    const int land = 3 * BAR, fade = ROWS - 8;
    write_hit(c, land, VOL_HIT);
    write_layers(c, land, ROWS, BREAK_CALM);
    put(c, land, CH_LEAD, degree_note(c.plan->key, 0), INS_LEAD, VOL_LEAD);
    put(c, land, CH_ARP, degree_note(c.plan->key, 7), INS_BELL, VOL_ARP);
    release(c, fade, CH_LEAD);
    release(c, fade, CH_BASS);
    pad_off(c, fade);
}

void write_final(Composer& c) {
    write_hit(c, 0, VOL_HIT);
    write_layers(c, 0, 1, BREAK_CALM);
    release(c, 4, CH_BASS);
    pad_off(c, 4);
}

void compose_order(Composer& c) {
    const OrderPlan& plan = *c.plan;
    int end = plan.special == SPECIAL_CADENCE ? 3 * BAR : ROWS;
    if (plan.special == SPECIAL_FINAL) {
        write_final(c);
        return;
    }
    const int level = c.level;
    c.level = level * plan.half[0].weight / 100;
    write_layers(c, 0, ROWS / 2, plan.half[0]);
    c.level = level * plan.half[1].weight / 100;
    write_layers(c, ROWS / 2, end, plan.half[1]);
    c.level = level;
    for (int row : plan.hits) write_hit(c, row, VOL_HIT, c.order == 4 || c.order == 5);
    if (plan.special == SPECIAL_RISER) write_riser(c);
    if (plan.special == SPECIAL_CADENCE) write_cadence(c);
}

} // namespace

XmModule compose_music() {
    XmModule module;
    module.name = "system2";
    module.channels = CHANNELS;
    module.speed = SPEED;
    module.bpm = BPM;
    module.instruments = {synth_kick(),     synth_snare(), synth_closed_hat(),
                          synth_open_hat(), synth_bass(),  synth_pad(1),
                          synth_lead(),     synth_bell(),  synth_crash(0xC7A5u),
                          synth_riser(),    synth_pad(2),  synth_crash(0x3D11u)};
    module.instruments[INS_PAD_WIDE - 1].name = "pad wide";
    module.instruments[INS_CRASH_WIDE - 1].name = "crash right";
    Composer composer;
    for (int order = 0; order < ORDER_COUNT; order++) {
        OrderPlan plan = plan_order(order);
        composer.pattern = xm_make_pattern(ROWS, CHANNELS);
        composer.plan = &plan;
        composer.order = order;
        int first = order;
        while (first > 0 && same_layers(plan_order(first - 1), plan)) first--;
        composer.variant = order - first;
        composer.section_ends =
            order + 1 < ORDER_COUNT && !same_layers(plan_order(order + 1), plan);
        composer.level = order_level(order);
        composer.low_level = order_low_level(order);
        compose_order(composer);
        module.patterns.push_back(composer.pattern);
        module.orders.push_back(uint8_t(order));
    }
    return module;
}
