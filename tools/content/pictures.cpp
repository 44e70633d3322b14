// Writes every picture item of the default content as a raw file named by its
// entry name.
#include "content.h"
#include "font.h"
#include "pic.h"

#include <cstdio>

const ItemInfo PICTURE_ITEMS[] = {
    {"qxlogo.raw", 320, 200, ITEM_RGB},    {"b_qxpres.raw", 259, 105, ITEM_RGB},
    {"a_qxpres.raw", 259, 105, ITEM_MASK}, {"pic_006.raw", 320, 200, ITEM_RGB},
    {"b_vorn.raw", 113, 57, ITEM_RGB},     {"a_vorn.raw", 113, 57, ITEM_MASK},
    {"b_start.raw", 126, 54, ITEM_RGB},    {"a_start.raw", 126, 54, ITEM_MASK},
    {"b_the.raw", 95, 54, ITEM_RGB},       {"a_the.raw", 95, 54, ITEM_MASK},
    {"b_unive.raw", 218, 55, ITEM_RGB},    {"a_unive.raw", 218, 55, ITEM_MASK},
    {"eye001.raw", 320, 200, ITEM_RGB},    {"b_welove.raw", 90, 30, ITEM_RGB},
    {"b_greet1.raw", 90, 30, ITEM_RGB},    {"b_greet2.raw", 90, 30, ITEM_RGB},
    {"b_greet3.raw", 90, 30, ITEM_RGB},    {"b_greet4.raw", 90, 30, ITEM_RGB},
    {"b_greet5.raw", 90, 30, ITEM_RGB},    {"b_greet6.raw", 90, 30, ITEM_RGB},
    {"b_greet7.raw", 90, 30, ITEM_RGB},    {"b_greet8.raw", 90, 30, ITEM_RGB},
    {"b_greet9.raw", 90, 30, ITEM_RGB},    {"t_tex2.raw", 256, 256, ITEM_RGB},
    {"1_displ.raw", 320, 200, ITEM_MAP},   {"2_displ.raw", 320, 200, ITEM_MAP},
    {"t_tex1.raw", 256, 256, ITEM_RGB},    {"zarotate.raw", 320, 200, ITEM_RGB},
    {"pic_tex.raw", 320, 200, ITEM_RGB},   {"displace.raw", 320, 200, ITEM_MAP},
    {"podloga.raw", 320, 200, ITEM_RGB},   {"b_using.raw", 100, 170, ITEM_RGB},
    {"think.raw", 320, 200, ITEM_RGB},     {"t_tun.raw", 256, 256, ITEM_RGB},
    {"t_thinki.raw", 256, 256, ITEM_RGB},  {"girl004.raw", 320, 200, ITEM_RGB},
    {"odjava.raw", 320, 200, ITEM_RGB},    {"t_blueO.raw", 256, 256, ITEM_RGB},
    {"t_wood.raw", 256, 256, ITEM_RGB},    {"t_brain.raw", 256, 256, ITEM_RGB},
    {"t_env1.raw", 256, 256, ITEM_RGB},    {"t_brown.raw", 256, 256, ITEM_RGB},
    {"dialog.raw", 292, 120, ITEM_RGB},
};
const int PICTURE_ITEM_COUNT = int(sizeof(PICTURE_ITEMS) / sizeof(PICTURE_ITEMS[0]));

// Invented group names of the greeting plates, b_greet1 to b_greet9.
static const char* const GREETING_NAMES[9] = {
    "VELTRIX", "OSKAVA", "NIMBRA", "QUORTEX", "SALVIK", "TERNOLA", "DRIFTLUX", "ARKELO", "MUNDRA",
};

static const ItemInfo* find_item(const char* name) {
    for (int i = 0; i < PICTURE_ITEM_COUNT; i++)
        if (std::string(PICTURE_ITEMS[i].name) == name) return &PICTURE_ITEMS[i];
    return nullptr;
}

// Writes one item, refusing any picture whose size or format is not the table's.
static bool save_item(const std::string& dir, const char* name, bool rgb, int w, int h,
                      const std::vector<uint8_t>& bytes) {
    const ItemInfo* info = find_item(name);
    if (!info || (info->kind == ITEM_RGB) != rgb || w != info->w || h != info->h) {
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
