// vorn: until the show is assembled, lists what the built-in pack holds.
#include "data/builtin.h"
#include "data/pack.h"

#include <cstdio>

int main() {
    const Blob pack = builtin_pack();
    const std::vector<PackDirEntry> dir = pack_directory(pack.data, pack.size);
    std::printf("vorn %s: built-in pack of %zu bytes, %zu entries\n", VORN_VERSION, pack.size,
                dir.size());
    for (const PackDirEntry& e : dir) std::printf("  %-15s %10u\n", e.name, e.stored_size);
    return 0;
}
