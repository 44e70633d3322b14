#include "font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>

static const char* const FONT_FILES[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
};

struct FontState {
    FT_Library library = nullptr;
    FT_Face faces[2] = {nullptr, nullptr};
    bool tried = false;
};
static FontState font_state;

static FT_Face font_face(FontFace which) {
    if (!font_state.tried) {
        font_state.tried = true;
        if (FT_Init_FreeType(&font_state.library) == 0)
            for (int i = 0; i < 2; i++)
                if (FT_New_Face(font_state.library, FONT_FILES[i], 0, &font_state.faces[i]) != 0)
                    font_state.faces[i] = nullptr;
    }
    return font_state.faces[which];
}

bool font_available() {
    return font_face(FONT_BOLD) && font_face(FONT_REGULAR);
}

static Gray trim(const Gray& g) {
    int x0 = g.w, y0 = g.h, x1 = -1, y1 = -1;
    for (int y = 0; y < g.h; y++)
        for (int x = 0; x < g.w; x++)
            if (g.at(x, y) > 0.0f) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
    if (x1 < 0) return Gray{};
    Gray out = make_gray(x1 - x0 + 1, y1 - y0 + 1, 0.0f);
    for (int y = 0; y < out.h; y++)
        for (int x = 0; x < out.w; x++) out.at(x, y) = g.at(x + x0, y + y0);
    return out;
}

// Moves the pen by the kerning between the previous glyph and this one.
static void kern(FT_Face face, FT_UInt previous, FT_UInt glyph, float& pen) {
    if (!previous || !glyph) return;
    FT_Vector kerning;
    FT_Get_Kerning(face, previous, glyph, FT_KERNING_DEFAULT, &kerning);
    pen += float(kerning.x) / 64.0f;
}

Gray text_coverage(const char* text, int pixel_height, FontFace which, float stem) {
    FT_Face face = font_face(which);
    if (!face || FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixel_height)) != 0) return Gray{};
    const int ascent = int(face->size->metrics.ascender >> 6);
    const int descent = int(-face->size->metrics.descender >> 6);
    // The outlines are widened by `stem` of the em (in 26.6 units), and every
    // advance with them, so the gaps between letters stay as the face has them.
    const FT_Pos widen = FT_Pos(std::lround(double(stem) * pixel_height * 64.0));
    const float widen_px = float(widen) / 64.0f;
    // First pass: the advance of the whole line.
    float pen = 0.0f;
    FT_UInt previous = 0;
    for (const char* c = text; *c; c++) {
        const FT_UInt glyph = FT_Get_Char_Index(face, FT_ULong(uint8_t(*c)));
        kern(face, previous, glyph, pen);
        if (FT_Load_Glyph(face, glyph, FT_LOAD_DEFAULT) != 0) return Gray{};
        pen += float(face->glyph->advance.x) / 64.0f + widen_px;
        previous = glyph;
    }
    const int margin = pixel_height / 4 + 2 + int(widen_px);
    Gray canvas = make_gray(int(pen) + 2 * margin, ascent + descent + 2 * margin, 0.0f);
    pen = float(margin);
    previous = 0;
    for (const char* c = text; *c; c++) {
        const FT_UInt glyph = FT_Get_Char_Index(face, FT_ULong(uint8_t(*c)));
        kern(face, previous, glyph, pen);
        if (FT_Load_Glyph(face, glyph, widen ? FT_LOAD_NO_BITMAP : FT_LOAD_RENDER) != 0)
            return Gray{};
        const FT_GlyphSlot slot = face->glyph;
        if (widen && (slot->format != FT_GLYPH_FORMAT_OUTLINE ||
                      FT_Outline_EmboldenXY(&slot->outline, widen, 0) != 0 ||
                      FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0))
            return Gray{};
        const FT_Bitmap& bm = slot->bitmap;
        const int gx = int(std::lround(pen)) + slot->bitmap_left;
        const int gy = margin + ascent - slot->bitmap_top;
        for (unsigned row = 0; row < bm.rows; row++)
            for (unsigned col = 0; col < bm.width; col++) {
                const int x = gx + int(col), y = gy + int(row);
                if (x < 0 || y < 0 || x >= canvas.w || y >= canvas.h) continue;
                const float v = float(bm.buffer[size_t(row) * size_t(bm.pitch) + col]) / 255.0f;
                canvas.at(x, y) = std::max(canvas.at(x, y), v);
            }
        pen += float(slot->advance.x) / 64.0f + widen_px;
        previous = glyph;
    }
    return trim(canvas);
}

Gray fit_text(const char* text, int box_w, int box_h) {
    if (box_w < 1 || box_h < 1) return Gray{};
    // Render at several times the box height so the scaling does the filtering.
    const Gray big = text_coverage(text, std::max(64, box_h * 4));
    if (big.w == 0) return Gray{};
    const double scale = std::min(double(box_w) / big.w, double(box_h) / big.h);
    const int w = std::max(1, int(big.w * scale)), h = std::max(1, int(big.h * scale));
    return resize_area(big, w, h);
}

Gray fit_text_filled(const char* text, int box_w, int box_h, float narrow_stem) {
    if (box_w < 1 || box_h < 1) return Gray{};
    const int em = std::max(64, box_h * 4);
    // How much the plain word would be narrowed decides how much its stems
    // are widened first: a word narrowed to half keeps stems of about the
    // weight it had.
    const Gray plain = text_coverage(text, em);
    if (plain.w == 0) return Gray{};
    const double narrowing = std::min(1.0, double(box_w) * plain.h / (double(box_h) * plain.w));
    const float stem = narrow_stem * float(1.0 / narrowing - 1.0);
    const Gray big = stem > 0.0f ? text_coverage(text, em, FONT_BOLD, stem) : plain;
    if (big.w == 0) return Gray{};
    const double scale = double(box_h) / big.h;
    const int w = std::max(1, std::min(box_w, int(big.w * scale)));
    return resize_area(big, w, box_h);
}
