// libFuzzer target: a file dropped on the web page (vorn_web_add_file, the
// page's own entry, built natively), then read as the show reads it: an item
// of the show loaded into its slot, the pack's items looked up, the module
// read for the scene list. The name and the bytes both come from the input.
//
// Input: the name up to the first zero byte (at most 64 bytes), then the
// file's bytes.
#include "data/assets.h"
#include "data/items.h"
#include "data/pack.h"
#include "scratch.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <unistd.h>

extern "C" int vorn_web_add_file(const char* name, const uint8_t* data, uint32_t size);
extern "C" const char* vorn_web_scene_list();

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<uint8_t> pack = content_bytes("demo.qxd");
    static const bool ready = [] {
        if (chdir(scratch_directory().c_str()) != 0) return false;
        pack_builtin = Blob{pack.data(), pack.size()};
        load_all_assets();
        return true;
    }();
    if (!ready) __builtin_trap();
    const uint8_t* zero =
        static_cast<const uint8_t*>(std::memchr(data, 0, std::min<size_t>(size, 65)));
    if (!zero) return 0;
    const std::string name(reinterpret_cast<const char*>(data), size_t(zero - data));
    const uint8_t* bytes = zero + 1;
    const uint32_t length = uint32_t(data + size - bytes);
    if (vorn_web_add_file(name.c_str(), bytes, length) != 0) return 0;
    // Only a plain name of the current directory is kept.
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        __builtin_trap();
    std::string why;
    const ShowItem* item = find_item(name.c_str());
    if (item && item->kind == ITEM_MODULE) {
        vorn_web_scene_list();
    } else if (item) {
        reload_asset(item->name, &why);
    } else if (pack_names_equal(name.c_str(), PACK_FILE_NAME)) {
        // The dropped pack's items alone: unpacking the built-in ones behind
        // it for every input would take most of the time and read no input.
        pack_builtin = Blob{nullptr, 0};
        for (const ShowItem& each : show_items)
            if (each.kind != ITEM_MODULE) pack_read_item(each.name);
        pack_builtin = Blob{pack.data(), pack.size()};
    }
    // The folder as it was, and the item back to the built-in one.
    unlink(name.c_str());
    if (item && item->kind != ITEM_MODULE) reload_asset(item->name, &why);
    return 0;
}
