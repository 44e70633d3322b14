// Mastering of the show's module: it is rendered as the show plays it (the
// library's default mixer, 44100 Hz, orders 0 to 41, master volume 150 of 256)
// and measured with an EBU R128 meter; one gain on every sample then sets its
// loudness.
#pragma once

#include "xm_writer.h"

struct MusicLevels {
    double loudness;  // integrated, LUFS, at the show's master volume
    double true_peak; // dBFS, at the show's master volume
};

// Renders and measures; false if the module does not play.
bool measure_music(const XmModule& module, MusicLevels* levels);

// Scales every sample so that the show reaches target_loudness, or less where
// its true peak would pass peak_ceiling (dBFS, at the master volume) or a
// sample would pass full scale. levels receives the figures after the gain.
bool master_music(XmModule& module, double target_loudness, double peak_ceiling,
                  MusicLevels* levels);
