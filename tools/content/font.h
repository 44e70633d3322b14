// Text of the content generator: glyph coverage from the DejaVu faces through
// FreeType, rendered large and scaled down with area filtering.
#pragma once

#include "raster.h"

enum FontFace { FONT_BOLD, FONT_REGULAR };

// Coverage (0..1) of one line of text rendered at pixel_height, trimmed to its
// ink; stem widens every vertical stroke by that share of the em. Empty on
// failure.
Gray text_coverage(const char* text, int pixel_height, FontFace face = FONT_BOLD,
                   float stem = 0.0f);

// The text in the bold face, rendered at a large size and scaled down to the
// largest size that fits box_w x box_h without changing its proportions.
Gray fit_text(const char* text, int box_w, int box_h);

// The text in the bold face filling box_h from its top to its bottom ink and
// narrowed to fit box_w where it is wider; a word narrowed to a share n of
// its width has its stems widened first by narrow_stem x (1 / n - 1) of the
// em, so that it keeps its weight.
Gray fit_text_filled(const char* text, int box_w, int box_h, float narrow_stem);

// True when the font files can be opened.
bool font_available();
