// The plan of the show's module: which layers (drums, bass, pad, arpeggio,
// lead) play in each half of each order, over which chords, with which hits,
// and at what level, so that the music's arc reads like the script it follows.
#pragma once

#include "music_harmony.h"

#include <vector>

enum Drums {
    DRUMS_NONE,
    DRUMS_FILTERED,
    DRUMS_BUILD,
    DRUMS_FULL,
    DRUMS_LIGHT,
    DRUMS_HARD,
    DRUMS_DRIVING,
    DRUMS_SECOND,
    DRUMS_CLIMAX
};
enum Bass {
    BASS_NONE,
    BASS_LONG,
    BASS_FILTERED,
    BASS_BUILD,
    BASS_MAIN,
    BASS_LIGHT,
    BASS_HARD,
    BASS_DRIVE,
    BASS_SECOND
};
enum Arp { ARP_NONE, ARP_QUARTERS, ARP_EIGHTHS, ARP_SIXTEENTHS };
enum Lead {
    LEAD_NONE,
    LEAD_THEME,
    LEAD_VARIATION,
    LEAD_NEW,
    LEAD_ECHO,
    LEAD_RIFF,
    LEAD_SECOND,
    LEAD_CLIMAX,
    LEAD_CALL,
    LEAD_COUNTER // the climax's lead over a slow counter-melody
};
enum Special { SPECIAL_NONE, SPECIAL_RISER, SPECIAL_CADENCE, SPECIAL_FINAL };

struct Layers {
    Drums drums;
    Bass bass;
    bool pad;
    Arp arp;
    Lead lead;
    int weight = 100; // percent of the order's level
};

struct OrderPlan {
    Key key;
    Chord chords[4]; // one a bar
    Layers half[2];  // rows 0-31 and 32-63
    std::vector<int> hits;
    Special special;
};

// Whether two halves, or both halves of two orders, play the same layers: a
// section of the show is a run of orders that do.
bool same_layers(const Layers& a, const Layers& b);
bool same_layers(const OrderPlan& a, const OrderPlan& b);

// The pad over a long bass note alone: the break's calm, and the close.
extern const Layers BREAK_CALM;

// What order (0-42) plays.
OrderPlan plan_order(int order);

// Percent of the parts' volumes at which an order is written, and further
// percent of its kick's and bass's.
int order_level(int order);
int order_low_level(int order);
