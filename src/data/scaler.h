// The software scaler: a picture enlarged or reduced onto another, as blits
// from the working surface to a larger back buffer need it. Integer steps
// only, so a scaled frame is the same on every machine.
#pragma once

#include <cstdint>

// How a picture is scaled to a larger one.
enum ScaleFilter {
    FILTER_SHARP,   // nearest to the largest whole multiple, then linear to the final size
    FILTER_NEAREST, // nearest neighbour
    FILTER_LINEAR   // bilinear
};

// The filter blits and the screen scale with (a ScaleFilter).
extern int display_filter;

// The largest whole multiple of sw x sh that fits dw x dh (at least 1).
int whole_multiple(int sw, int sh, int dw, int dh);

// Scales a sw x sh picture onto a dw x dh one with the given filter.
void scale_pixels(const uint32_t* source, int sw, int sh, uint32_t* destination, int dw, int dh,
                  int filter);
