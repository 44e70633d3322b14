// Display type of the pictures: words set in the bold face with a bevelled
// metal finish and a soft glow, built at four times the size and filtered down.
#pragma once

#include "raster.h"

enum Finish {
    FINISH_CHROME, // sky above a dark horizon above warm ground
    FINISH_GOLD,   // polished gold
    FINISH_LIGHT,  // pale, nearly white letters
};

struct TypeStyle {
    Finish finish;
    float bevel;         // bevel width in output pixels
    Rgb glow;            // colour of the halo
    float glow_radius;   // halo blur radius in output pixels
    float glow_strength; // halo opacity near the letters
};

// Letters as premultiplied colour and coverage (the halo included in both).
struct Lettering {
    Image premul;
    Gray alpha;
};

constexpr int TYPE_SUPERSAMPLE = 4;

// Styles a coverage image given at TYPE_SUPERSAMPLE times the output size and
// filters the result down to output size.
Lettering style_coverage(const Gray& coverage, const TypeStyle& style);

// One line of text fitted into a box of w x h output pixels, leaving margin_x
// and margin_y free on each side, centred.
Lettering set_words(const char* text, int w, int h, int margin_x, int margin_y,
                    const TypeStyle& style);

// Lays lettering over a picture at (ox, oy): p = premul + p * (1 - alpha).
void place_lettering(Image& dst, const Lettering& l, int ox, int oy);

// Fades the lettering out over the last `width` pixels of each side so that
// no halo ends in a hard line at the box edge.
void fade_edges(Lettering& l, int width);

// Straight colour of the lettering (premul / alpha; the halo colour where the
// lettering is empty) and its mask bytes: 0 where it covers, 255 where not.
Image lettering_colour(const Lettering& l, Rgb empty);
Gray lettering_mask(const Lettering& l);
