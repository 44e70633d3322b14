// Text of the content generator: glyph coverage from the DejaVu faces through
// FreeType, rendered large and scaled down with area filtering.
#pragma once

#include "raster.h"

enum FontFace { FONT_BOLD, FONT_REGULAR };

// Coverage (0..1) of one line of text rendered at pixel_height, trimmed to its
// ink. Empty on failure.
Gray text_coverage(const char* text, int pixel_height, FontFace face = FONT_BOLD);

// The text in the bold face, rendered at a large size and scaled down to the
// largest size that fits box_w x box_h without changing its proportions.
Gray fit_text(const char* text, int box_w, int box_h);

// True when the font files can be opened.
bool font_available();
