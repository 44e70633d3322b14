// libFuzzer target: packs and packed blocks from untrusted bytes.
#include "data/pack.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The bytes as a packed block.
    if (std::optional<Buffer> out = unpack_block(data, size)) {
        if (out->size() !=
            (size >= 8 ? (data[4] | data[5] << 8 | data[6] << 16 | uint32_t(data[7]) << 24) : 0))
            __builtin_trap();
    }
    // The bytes as a whole pack: every entry the look-up can find lies inside.
    for (const PackDirEntry& e : pack_directory(data, size)) {
        const std::optional<PackDirEntry> found = pack_find(data, size, e.name);
        if (found && !pack_entry_in_bounds(*found, size)) __builtin_trap();
        if (found && is_packed_block(data + found->offset, found->stored_size))
            (void)unpack_block(data + found->offset, found->stored_size);
    }
    return 0;
}
