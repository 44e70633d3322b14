// The show's items: every picture, mask, map, texture, model and module the
// show reads, with the size it reads it at and where it is seen. The asset
// catalogue takes its slot sizes from here, the pack tool checks and imports
// content by it, and the content documentation lists it.
#pragma once

#include <cstddef>
#include <cstdint>

enum ItemKind {
    ITEM_PICTURE, // RGB, 3 bytes a pixel
    ITEM_MASK,    // one byte a pixel of the picture it goes with: 0 shows, 255 hides
    ITEM_MAP,     // one byte a pixel of a 320 x 200 frame
    ITEM_TEXTURE, // RGB 256 x 256
    ITEM_MODEL,   // the model format
    ITEM_MODULE,  // the music
};

struct ShowItem {
    const char* name;
    ItemKind kind;
    uint16_t width, height; // pixels; 0 for models and the module
    const char* orders;     // where the show uses it
    const char* purpose;
    // Models: the surfaces their scene maps, the radius (or, standing on its
    // origin, the height) that fills the frame where the scene shows it.
    uint8_t surfaces;
    float size;
    bool stands_on_origin;
    uint32_t least_bytes; // when the show reads less than the whole item, else 0
};

constexpr ShowItem picture(const char* name, uint16_t w, uint16_t h, const char* orders,
                           const char* purpose) {
    return {name, ITEM_PICTURE, w, h, orders, purpose, 0, 0, false, 0};
}
constexpr ShowItem one_byte(const char* name, ItemKind kind, uint16_t w, uint16_t h,
                            const char* orders, const char* purpose) {
    return {name, kind, w, h, orders, purpose, 0, 0, false, 0};
}
constexpr ShowItem texture(const char* name, const char* orders, const char* purpose,
                           uint32_t least_bytes = 0) {
    return {name, ITEM_TEXTURE, 256, 256, orders, purpose, 0, 0, false, least_bytes};
}
constexpr ShowItem model(const char* name, const char* orders, const char* purpose,
                         uint8_t surfaces, float size, bool stands = false) {
    return {name, ITEM_MODEL, 0, 0, orders, purpose, surfaces, size, stands, 0};
}

// In the catalogue's load order: the 37 picture slots, the five model
// textures, the models, the dialog's picture and the module.
inline constexpr ShowItem show_items[] = {
    picture("pic_tex.raw", 320, 200, "20", "picture revealed by the cycling mask"),
    picture("qxlogo.raw", 320, 200, "0-1", "the logo"),
    picture("b_qxpres.raw", 259, 105, "2-3", "\"presents\", echoed over the plasma"),
    one_byte("a_qxpres.raw", ITEM_MASK, 259, 105, "2-3", "mask of b_qxpres.raw"),
    picture("odjava.raw", 320, 200, "39-41", "the end picture"),
    one_byte("displace.raw", ITEM_MAP, 320, 200, "20", "counters of the cycling mask"),
    picture("eye001.raw", 320, 200, "17-26", "background of the greetings cards"),
    picture("pic_006.raw", 320, 200, "4-6", "background of the title words"),
    picture("girl004.raw", 320, 200, "35-38", "background beside the morph"),
    picture("podloga.raw", 320, 200, "21", "floor under the morph"),
    picture("zarotate.raw", 320, 200, "19, 25", "the rotozoomed picture"),
    picture("think.raw", 320, 200, "24", "the picture the greetings fade into"),
    picture("b_greet5.raw", 90, 30, "19", "greetings card"),
    picture("b_greet4.raw", 90, 30, "18", "greetings card"),
    picture("b_greet3.raw", 90, 30, "24", "greetings card"),
    picture("b_greet2.raw", 90, 30, "23", "greetings card"),
    picture("b_greet1.raw", 90, 30, "20", "greetings card"),
    picture("b_welove.raw", 90, 30, "17", "greetings card"),
    picture("b_greet6.raw", 90, 30, "22", "greetings card"),
    picture("b_greet9.raw", 90, 30, "26", "greetings card"),
    picture("b_greet8.raw", 90, 30, "21", "greetings card"),
    picture("b_greet7.raw", 90, 30, "25", "greetings card"),
    picture("b_using.raw", 100, 170, "23", "the word beside the brain"),
    picture("b_vorn.raw", 113, 57, "4-6", "title word 1"),
    picture("b_start.raw", 126, 54, "4-6", "title word 2"),
    picture("b_the.raw", 95, 54, "4-6", "title word 3"),
    picture("b_unive.raw", 218, 55, "4-6", "title word 4"),
    one_byte("a_vorn.raw", ITEM_MASK, 113, 57, "4-6", "mask of b_vorn.raw"),
    one_byte("a_start.raw", ITEM_MASK, 126, 54, "4-6", "mask of b_start.raw"),
    one_byte("a_the.raw", ITEM_MASK, 95, 54, "4-6", "mask of b_the.raw"),
    one_byte("a_unive.raw", ITEM_MASK, 218, 55, "4-6", "mask of b_unive.raw"),
    texture("t_tex1.raw", "18", "the turning plane"),
    texture("t_tun.raw", "26-28", "the tunnel wall; tiles in both directions"),
    texture("t_thinki.raw", "29-34", "tiling texture behind the figure"),
    one_byte("1_displ.raw", ITEM_MAP, 320, 200, "17, 22",
             "first wave map of the displaced texture"),
    one_byte("2_displ.raw", ITEM_MAP, 320, 200, "17, 22",
             "second wave map of the displaced texture"),
    // The displaced texture reads texels up to 62 * 255 + 62.
    texture("t_tex2.raw", "17, 22", "the displaced texture", (62 * 255 + 62 + 1) * 3),
    texture("t_blueO.raw", "29-34", "texture 0: the figure's chrome head"),
    texture("t_wood.raw", "23, 29-34", "texture 1: the brain, the figure's body"),
    texture("t_brain.raw", "7-16", "texture 2: the cube frames"),
    texture("t_env1.raw", "21", "texture 3: environment map of the floor morph"),
    texture("t_brown.raw", "35-38", "texture 4: environment map of the morph"),
    model("brain.m3d", "23", "the brain", 1, 3.75f),
    model("vkocka1.m3d", "7-16", "outer cube frame", 1, 110),
    model("vkocka2.m3d", "7-16", "middle cube frame", 1, 80),
    model("vkocka3.m3d", "7-16", "inner cube frame", 1, 50),
    model("kocka1.m3d", "35-38", "morph start (a cube)", 1, 55),
    model("kocka2.m3d", "35-38", "morph end, same vertices as kocka1.m3d", 1, 55),
    model("o_pod1.m3d", "21", "floor morph start", 1, 60),
    model("o_pod2.m3d", "21", "floor morph end, same vertices as o_pod1.m3d", 1, 60),
    model("istu2.m3d", "29-34", "the figure: surface 0 head, surface 1 body", 2, 1300, true),
    picture("dialog.raw", 292, 120, "dialog", "decoration of the configuration dialog"),
    {"system2.xm", ITEM_MODULE, 0, 0, "0-42", "the music: 43 orders, cues on the timeline's rows",
     0, 0, false, 0},
};
inline constexpr size_t show_item_count = sizeof show_items / sizeof show_items[0];

// Bytes of a picture, mask, map or texture; 0 for models and the module,
// whose size is their own.
constexpr size_t item_bytes(const ShowItem& item) {
    const size_t pixels = size_t(item.width) * item.height;
    return item.kind == ITEM_PICTURE || item.kind == ITEM_TEXTURE ? 3 * pixels
           : item.kind == ITEM_MASK || item.kind == ITEM_MAP      ? pixels
                                                                  : 0;
}

// The item of that name (letter case ignored, as the pack does); none when
// the show reads no such item.
const ShowItem* find_item(const char* name);

// The named item, found at compile time (none for an unknown name).
constexpr const ShowItem* item_named(const char* name) {
    for (const ShowItem& item : show_items) {
        const char *a = item.name, *b = name;
        while (*a && *a == *b) a++, b++;
        if (*a == *b) return &item;
    }
    return nullptr;
}

// The fewest bytes the show can use: its whole size but where less is read.
constexpr size_t item_least_bytes(const ShowItem& item) {
    return item.least_bytes ? item.least_bytes : item_bytes(item);
}
constexpr size_t item_least_bytes(const char* name) {
    const ShowItem* item = item_named(name);
    return item ? item_least_bytes(*item) : 0;
}

const char* item_kind_name(ItemKind kind);
