// The pictures of the show, each made by code at its full size (the size the
// show's table of items gives).
#pragma once

#include "raster.h"

// The blue that the scenes fill the frame with.
const Rgb DEEP_BLUE = rgb8(0, 0, 143);

// A coloured picture with its mask (0 shows the picture, 1 hides it).
struct MaskedPicture {
    Image rgb;
    Gray mask;
};

// Pictures set with the display type (pic_words.cpp).
Image pic_logo();
MaskedPicture pic_presents();
// A title word in chrome fitted to w x h; right_margin columns stay empty.
MaskedPicture pic_title_word(const char* text, int w, int h, int right_margin);
// A 90 x 30 name plate: bright letters on pure black.
Image pic_card(const char* text, bool headline);
Image pic_using();
Image pic_think();
Image pic_odjava();
Image pic_dialog();

// Painted scenes (pic_scenes.cpp).
Image space_backdrop(int w, int h, uint32_t seed, float nebula);
Image pic_space();
Image pic_eye();
Image pic_girl();
Image pic_floor();
Image pic_emblem();
Image pic_vivid();
Gray map_counting();

// Textures of 256 x 256 and the displacement maps (pic_textures.cpp).
Image tex_circuits();
Image tex_tunnel();
Image tex_think();
Image tex_colours();
Image tex_blue_chrome();
Image tex_wood();
Image tex_brain();
Image tex_environment();
Image tex_brown();
Gray map_displacement(uint32_t seed, float scale);
