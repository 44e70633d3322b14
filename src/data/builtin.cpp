// The built-in pack and module: the bytes the assembler file embeds, handed
// out as blobs so that no reader knows where they came from.
#include "data/builtin.h"

extern "C" {
extern const uint8_t vorn_builtin_pack_begin[], vorn_builtin_pack_end[];
extern const uint8_t vorn_builtin_module_begin[], vorn_builtin_module_end[];
}

Blob builtin_pack() {
    return {vorn_builtin_pack_begin, size_t(vorn_builtin_pack_end - vorn_builtin_pack_begin)};
}

Blob builtin_module() {
    return {vorn_builtin_module_begin, size_t(vorn_builtin_module_end - vorn_builtin_module_begin)};
}
