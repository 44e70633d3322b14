// Writes every picture item of the default content as a raw file named by its
// entry name.
#include "content.h"
#include "data/items.h"
#include "font.h"
#include "pic.h"

#include <cstdio>

// Invented group names of the greeting plates, b_greet1 to b_greet9.
static const char* const GREETING_NAMES[9] = {
    "VELTRIX", "OSKAVA", "NIMBRA", "QUORTEX", "SALVIK", "TERNOLA", "DRIFTLUX", "ARKELO", "MUNDRA",
};

// Writes one item, refusing any picture whose size or format is not the table's.
static bool save_item(const std::string& dir, const char* name, bool rgb, int w, int h,
                      const std::vector<uint8_t>& bytes) {
    const ShowItem* item = find_item(name);
    const bool item_rgb = item && (item->kind == ITEM_PICTURE || item->kind == ITEM_TEXTURE);
    if (!item || item_rgb != rgb || w != item->width || h != item->height) {
        std::fprintf(stderr, "pictures: %s has the wrong size\n", name);
        return false;
    }
    return write_bytes(dir + "/" + name, bytes);
}

static bool save_rgb(const std::string& dir, const char* name, const Image& img) {
    return save_item(dir, name, true, img.w, img.h, rgb_bytes(img));
}

static bool save_gray(const std::string& dir, const char* name, const Gray& g) {
    return save_item(dir, name, false, g.w, g.h, gray_bytes(g));
}

static bool save_masked(const std::string& dir, const char* picture, const char* mask,
                        const MaskedPicture& m) {
    return save_rgb(dir, picture, m.rgb) && save_gray(dir, mask, m.mask);
}

bool write_pictures(const std::string& items_dir) {
    if (!font_available()) {
        std::fprintf(stderr, "pictures: cannot open the DejaVu fonts (fonts-dejavu-core)\n");
        return false;
    }
    const std::string& d = items_dir;
    bool ok = save_rgb(d, "qxlogo.raw", pic_logo());
    ok = ok && save_masked(d, "b_qxpres.raw", "a_qxpres.raw", pic_presents());
    ok = ok && save_rgb(d, "pic_006.raw", pic_space());
    ok = ok && save_masked(d, "b_vorn.raw", "a_vorn.raw", pic_title_word("VORN", 113, 57, 0));
    ok = ok && save_masked(d, "b_start.raw", "a_start.raw", pic_title_word("START", 126, 54, 0));
    ok = ok && save_masked(d, "b_the.raw", "a_the.raw", pic_title_word("THE", 95, 54, 0));
    ok = ok && save_masked(d, "b_unive.raw", "a_unive.raw", pic_title_word("UNIVERSE", 218, 55, 8));
    ok = ok && save_rgb(d, "eye001.raw", pic_eye());
    ok = ok && save_rgb(d, "b_welove.raw", pic_card("WE LOVE", true));
    for (int i = 0; ok && i < 9; i++) {
        const std::string name = "b_greet" + std::to_string(i + 1) + ".raw";
        ok = save_rgb(d, name.c_str(), pic_card(GREETING_NAMES[i], false));
    }
    ok = ok && save_rgb(d, "t_tex2.raw", tex_colours());
    ok = ok && save_gray(d, "1_displ.raw", map_displacement(11, 105.0f));
    ok = ok && save_gray(d, "2_displ.raw", map_displacement(29, 85.0f));
    ok = ok && save_rgb(d, "t_tex1.raw", tex_circuits());
    ok = ok && save_rgb(d, "zarotate.raw", pic_emblem());
    ok = ok && save_rgb(d, "pic_tex.raw", pic_vivid());
    ok = ok && save_gray(d, "displace.raw", map_counting());
    ok = ok && save_rgb(d, "podloga.raw", pic_floor());
    ok = ok && save_rgb(d, "b_using.raw", pic_using());
    ok = ok && save_rgb(d, "think.raw", pic_think());
    ok = ok && save_rgb(d, "t_tun.raw", tex_tunnel());
    ok = ok && save_rgb(d, "t_thinki.raw", tex_think());
    ok = ok && save_rgb(d, "girl004.raw", pic_girl());
    ok = ok && save_rgb(d, "odjava.raw", pic_odjava());
    ok = ok && save_rgb(d, "t_blueO.raw", tex_blue_chrome());
    ok = ok && save_rgb(d, "t_wood.raw", tex_wood());
    ok = ok && save_rgb(d, "t_brain.raw", tex_brain());
    ok = ok && save_rgb(d, "t_env1.raw", tex_environment());
    ok = ok && save_rgb(d, "t_brown.raw", tex_brown());
    ok = ok && save_rgb(d, "dialog.raw", pic_dialog());
    return ok;
}
