// Look-ups over the table of the show's items (by name, and a word for each
// kind), shared by the show and the pack tool.
#include "data/items.h"

#include "data/pack.h"

const ShowItem* find_item(const char* name) {
    for (const ShowItem& item : show_items)
        if (pack_names_equal(item.name, name)) return &item;
    return nullptr;
}

const char* item_kind_name(ItemKind kind) {
    switch (kind) {
    case ITEM_PICTURE:
        return "RGB picture";
    case ITEM_MASK:
        return "mask";
    case ITEM_MAP:
        return "map";
    case ITEM_TEXTURE:
        return "texture";
    case ITEM_MODEL:
        return "model";
    case ITEM_MODULE:
        return "module";
    }
    return "?";
}
