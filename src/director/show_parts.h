// The show's parts: which part of the show (a scene, to its viewers) runs at
// which orders of the music, with a name for people and a one-word key for
// the command line. Not to be confused with the 3D scenes (Scene) that some
// parts draw.
#pragma once

#include <cstdint>

// The parts of the show, in show order, and the orders each runs at.
enum ShowPart {
    PART_LOGO,
    PART_PRESENTS,
    PART_TITLE,
    PART_TITLE_FADE,
    PART_CUBES,
    PART_CUBES_RETREAT,
    PART_GREETINGS,
    PART_TUNNEL,
    PART_FIGURE,
    PART_MORPH,
    PART_END_PICTURE,
    PART_END_OF_SHOW,
    PART_COUNT
};

struct PartRange {
    uint32_t first_order;
    uint32_t last_order;
    const char* name;
    const char* key; // one word for the command line
};

extern const PartRange show_parts[PART_COUNT];

// Rows the script waits for within an order: a module whose pattern there is
// shorter never shows what the row brings.
enum ShowCue {
    CUE_FIRST_WORD,
    CUE_SECOND_WORD,
    CUE_THIRD_WORD,
    CUE_FOURTH_WORD,
    CUE_LAST_JOLT,
    CUE_INTERLUDE,
    CUE_COUNT
};

struct CueRow {
    uint32_t first_order;
    uint32_t last_order;
    uint32_t row;
    const char* what; // what appears there, for people
};

extern const CueRow show_cues[CUE_COUNT];

inline uint32_t cue_row(ShowCue cue) {
    return show_cues[cue].row;
}

// The first part whose range holds order.
ShowPart part_for_order(uint32_t order);
// The scene whose key is the given word; PART_COUNT for none.
ShowPart part_for_key(const char* key);
