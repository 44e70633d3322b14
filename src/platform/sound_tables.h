// The sound layer's fixed tables: the software mixers by their stored value
// and the texts of the error codes.
#pragma once

struct MixerChoice {
    int filter_length; // libopenmpt interpolation: 0 default, 1 none, 2 linear, 4 cubic, 8 sinc
    int ramping;       // libopenmpt volume ramping: -1 default, 0 off
    const char* name;
};

// Indexed by the mixer value, MIXER_COUNT of them.
extern const MixerChoice mixer_choices[];
extern const int MIXER_COUNT;
