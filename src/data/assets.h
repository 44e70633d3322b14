// The asset catalogue: every picture, mask, map and texture of the show in a
// named program-wide slot, the render resources, the scenes and the tables,
// loaded once before the show and released after it.
#pragma once

#include "data/pack.h"

#include <cstddef>
#include <string>

// Picture slots; an empty slot is a missing picture.
extern Buffer pic_tex, pic_logo, pic_presents, mask_presents, pic_odjava, map_displace, pic_eye,
    pic_006, pic_girl, pic_podloga, pic_zarotate, pic_think, pic_greet5, pic_greet4, pic_greet3,
    pic_greet2, pic_greet1, pic_welove, pic_greet6, pic_greet9, pic_greet8, pic_greet7, pic_using,
    pic_vorn, pic_start, pic_the, pic_unive, mask_vorn, mask_start, mask_the, mask_unive, tex_tex1,
    tex_tun, tex_thinki, map_displ1, map_displ2, tex_tex2;

// One slot: its pack entry and the bytes the show reads from it.
struct AssetSlot {
    const char* entry;
    Buffer* slot;
    size_t bytes;
};

// The 37 slots in load order.
extern const AssetSlot asset_slots[];
extern const size_t asset_slot_count;

// Returns 1 when it ran to the end, 0 when the working surface could not be
// locked (then nothing is loaded).
int load_all_assets();
void free_all_assets();

// Loads one item of the show again into its slot, texture or scene with the
// start-up's own loaders, so that a maker sees a saved file at once. A version
// the show cannot use (wrong size, a model the reader refuses) leaves the last
// one in place: false, with the reason in *why. Names the show does not read,
// and the module, are not assets: false with *why empty.
bool reload_asset(const char* name, std::string* why);
