// A short test module: one looping tone on the first row of a pattern that
// every order plays, so that its length and pace follow from the arguments
// (seconds per row = speed * 2.5 / bpm).
#pragma once

#include "xm_writer.h"

#include <cmath>
#include <cstdint>
#include <vector>

inline std::vector<uint8_t> make_short_module(int orders, int rows, int speed, int bpm) {
    XmModule module;
    module.name = "short";
    module.channels = 2;
    module.speed = speed;
    module.bpm = bpm;
    module.patterns.push_back(xm_make_pattern(rows, module.channels));
    xm_cell(module.patterns[0], 0, 0) = {XM_NOTE_C4, 1, 0, 0, 0};
    module.orders.assign(size_t(orders), 0);
    XmSample tone;
    tone.name = "tone";
    for (int i = 0; i < 64; i++)
        tone.data.push_back(int16_t(8000 * std::sin(i * 2 * 3.14159265358979 / 64)));
    tone.loop_length = 64;
    tone.loop_type = XM_LOOP_FORWARD;
    XmInstrument instrument;
    instrument.name = "tone";
    instrument.samples.push_back(tone);
    module.instruments.push_back(instrument);
    return xm_serialise(module);
}
