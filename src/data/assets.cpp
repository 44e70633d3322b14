// The asset catalogue as a table of slots and entry names, loaded and freed
// in one fixed order; a slot that fails to load stays empty. A reload goes
// through the same loaders, one item at a time.
#include "data/assets.h"

#include "data/items.h"
#include "data/render_resources.h"
#include "data/surface.h"
#include "effects/effect_tables.h"
#include "engine3d/math.h"
#include "engine3d/model.h"
#include "engine3d/scenes.h"

#include <cstdio>
#include <cstring>

Buffer pic_tex, pic_logo, pic_presents, mask_presents, pic_odjava, map_displace, pic_eye, pic_006,
    pic_girl, pic_podloga, pic_zarotate, pic_think, pic_greet5, pic_greet4, pic_greet3, pic_greet2,
    pic_greet1, pic_welove, pic_greet6, pic_greet9, pic_greet8, pic_greet7, pic_using, pic_vorn,
    pic_start, pic_the, pic_unive, mask_vorn, mask_start, mask_the, mask_unive, tex_tex1, tex_tun,
    tex_thinki, map_displ1, map_displ2, tex_tex2;

// A slot that reads its item at the least size the show can use.
constexpr AssetSlot slot(const char* entry, Buffer* buffer) {
    return {entry, buffer, item_least_bytes(entry)};
}

const AssetSlot asset_slots[] = {
    slot("pic_tex.raw", &pic_tex),       slot("qxlogo.raw", &pic_logo),
    slot("b_qxpres.raw", &pic_presents), slot("a_qxpres.raw", &mask_presents),
    slot("odjava.raw", &pic_odjava),     slot("displace.raw", &map_displace),
    slot("eye001.raw", &pic_eye),        slot("pic_006.raw", &pic_006),
    slot("girl004.raw", &pic_girl),      slot("podloga.raw", &pic_podloga),
    slot("zarotate.raw", &pic_zarotate), slot("think.raw", &pic_think),
    slot("b_greet5.raw", &pic_greet5),   slot("b_greet4.raw", &pic_greet4),
    slot("b_greet3.raw", &pic_greet3),   slot("b_greet2.raw", &pic_greet2),
    slot("b_greet1.raw", &pic_greet1),   slot("b_welove.raw", &pic_welove),
    slot("b_greet6.raw", &pic_greet6),   slot("b_greet9.raw", &pic_greet9),
    slot("b_greet8.raw", &pic_greet8),   slot("b_greet7.raw", &pic_greet7),
    slot("b_using.raw", &pic_using),     slot("b_vorn.raw", &pic_vorn),
    slot("b_start.raw", &pic_start),     slot("b_the.raw", &pic_the),
    slot("b_unive.raw", &pic_unive),     slot("a_vorn.raw", &mask_vorn),
    slot("a_start.raw", &mask_start),    slot("a_the.raw", &mask_the),
    slot("a_unive.raw", &mask_unive),    slot("t_tex1.raw", &tex_tex1),
    slot("t_tun.raw", &tex_tun),         slot("t_thinki.raw", &tex_thinki),
    slot("1_displ.raw", &map_displ1),    slot("2_displ.raw", &map_displ2),
    slot("t_tex2.raw", &tex_tex2),
};
const size_t asset_slot_count = sizeof asset_slots / sizeof asset_slots[0];

// Slots in release order, by index into asset_slots: the load order with
// pic_tex and map_displace after pic_odjava.
static const uint8_t release_order[] = {1,  2,  3,  4,  0,  5,  6,  7,  8,  9,  10, 11, 12,
                                        13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25,
                                        26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36};

static const char* const texture_entries[] = {"t_blueO.raw", "t_wood.raw", "t_brain.raw",
                                              "t_env1.raw", "t_brown.raw"};

// An item of the wrong size counts as missing, with one line saying so. A slot
// takes from the least size the show can use up to the item's whole size.
static void load_slot(const AssetSlot& a) {
    const size_t most = item_bytes(*item_named(a.entry));
    PackItem item = pack_read_item(a.entry, most);
    if (item.source == ITEM_NOT_FOUND) return;
    if (item.size < a.bytes || item.size > most) {
        std::fprintf(stderr, "vorn: %s has %llu bytes, expected %zu%s, from %s%s; not used\n",
                     a.entry, (unsigned long long)item.size, a.bytes,
                     most > a.bytes ? " or more" : "", item.source == ITEM_LOOSE_FILE ? "./" : "",
                     item.source == ITEM_LOOSE_FILE ? a.entry : item_source_text(item.source));
        return;
    }
    if (item.data && item.data->size() == item.size)
        *a.slot = std::move(*item.data);
    else
        std::fprintf(stderr, "vorn: %s from %s cannot be read; not used\n", a.entry,
                     item_source_text(item.source));
}

// A model found but of no use (longer than any item is read, unreadable, or
// refused by the model reader) is said in one line, as a picture of the wrong
// size is; its scene goes without it.
static void warn_unusable_models() {
    for (const ShowItem& item : show_items) {
        if (item.kind != ITEM_MODEL) continue;
        const PackItem found = pack_read_item(item.name);
        if (found.source == ITEM_NOT_FOUND) continue;
        const bool loose = found.source == ITEM_LOOSE_FILE;
        const char* from = loose ? item.name : item_source_text(found.source);
        if (!found.data) {
            const bool too_long = found.size > PACK_ITEM_LIMIT;
            std::fprintf(stderr, "vorn: %s from %s%s %s (%llu bytes); not used\n", item.name,
                         loose ? "./" : "", from,
                         too_long ? "is longer than any item is read" : "cannot be read",
                         (unsigned long long)found.size);
            continue;
        }
        Mesh mesh;
        model_set_entry(found.data->data(), found.data->size());
        const int usable = model_parse(&mesh, 1.0f);
        model_set_entry(nullptr, 0);
        mesh_free(&mesh);
        if (!usable)
            std::fprintf(stderr, "vorn: %s from %s%s is no model the show can read; not used\n",
                         item.name, loose ? "./" : "", from);
    }
}

// The texture table, then the five scene set-ups that map their surfaces on it.
static void load_textures_and_scenes() {
    if (texture_table_alloc(5))
        for (uint16_t i = 0; i < 5; i++) texture_load(texture_entries[i], i, 0);
    setup_scene_brain();
    setup_scene_vkocka();
    setup_scene_kocka();
    setup_scene_opod();
    setup_scene_istu();
    warn_unusable_models();
}

// The scenes, the models each is built from and the objects it keeps, in
// release order.
struct SceneModels {
    Scene* scene;
    void (*setup)();
    const char* models[3];
    uint16_t* objects[3];
    size_t object_count;
};

static const SceneModels scene_models[] = {
    {&scene_brain, setup_scene_brain, {"brain.m3d"}, {&obj_brain}, 1},
    {&scene_vkocka,
     setup_scene_vkocka,
     {"vkocka1.m3d", "vkocka2.m3d", "vkocka3.m3d"},
     {&obj_vkocka1, &obj_vkocka2, &obj_vkocka3},
     3},
    {&scene_kocka,
     setup_scene_kocka,
     {"kocka1.m3d", "kocka2.m3d"},
     {&obj_kocka_target, &obj_kocka_from, &obj_kocka_to},
     3},
    {&scene_opod,
     setup_scene_opod,
     {"o_pod1.m3d", "o_pod2.m3d"},
     {&obj_opod_target, &obj_opod_from, &obj_opod_to},
     3},
    {&scene_istu, setup_scene_istu, {"istu2.m3d"}, {&obj_istu}, 1},
};

int load_all_assets() {
    build_angle_tables();
    FrameSurface frame;
    if (!lock_surface(surface_virtual1, &frame)) return 0;
    alloc_render_buffers(int(frame.width), int(frame.height));
    set_view_geometry(int(frame.width), int(frame.height));
    build_sphere_table(int(frame.width), int(frame.height), 100.0f, 250.0f);
    unlock_surface(surface_virtual1);

    load_textures_and_scenes();
    for (size_t i = 0; i < asset_slot_count; i++) load_slot(asset_slots[i]);
    build_wave_table();
    build_tunnel_tables(320, 200);
    return 1;
}

static void release_scene(const SceneModels& s) {
    for (size_t i = 0; i < s.object_count; i++) object_release(s.scene, *s.objects[i]);
    scene_release_objects(s.scene);
}

void free_all_assets() {
    for (uint8_t i : release_order) Buffer().swap(*asset_slots[i].slot);

    for (const SceneModels& s : scene_models) release_scene(s);

    texture_table_free();
    free_sphere_table();
    free_tunnel_tables();
    free_render_buffers();
}

// What keeps the show from using the item found under the name now: a
// picture of a size outside what the show reads, or a model the reader
// refuses; empty when it can be used.
static std::string unusable(const ShowItem& item) {
    const size_t most = item_bytes(item) ? item_bytes(item) : PACK_ITEM_LIMIT;
    const PackItem found = pack_read_item(item.name, most);
    if (found.source == ITEM_NOT_FOUND) return "";
    // Too long to be read is said as such: the bytes may be fine.
    if (!found.data && found.size > most && item.kind == ITEM_MODEL)
        return "has " + std::to_string(found.size) + " bytes, more than the " +
               std::to_string(most) + " a model may have";
    if (!found.data && found.size <= most) return "cannot be read";
    if (item.kind != ITEM_MODEL) {
        if (found.size >= item_least_bytes(item) && found.size <= item_bytes(item)) return "";
        return "has " + std::to_string(found.size) + " bytes, expected " +
               std::to_string(item_bytes(item));
    }
    Mesh mesh;
    model_set_entry(found.data->data(), found.data->size());
    const int usable = model_parse(&mesh, 1.0f);
    model_set_entry(nullptr, 0);
    mesh_free(&mesh);
    return usable ? "" : "is no model the show can read";
}

bool reload_asset(const char* name, std::string* why) {
    why->clear();
    const ShowItem* item = find_item(name);
    if (!item || item->kind == ITEM_MODULE) return false;
    *why = unusable(*item);
    if (!why->empty()) return false;
    for (size_t i = 0; i < asset_slot_count; i++)
        if (std::strcmp(asset_slots[i].entry, item->name) == 0) load_slot(asset_slots[i]);
    for (uint16_t i = 0; i < 5; i++)
        if (std::strcmp(texture_entries[i], item->name) == 0) texture_load(item->name, i, 0);
    for (const SceneModels& s : scene_models)
        for (const char* model : s.models)
            if (model && std::strcmp(model, item->name) == 0) {
                release_scene(s);
                s.setup();
            }
    return true;
}
