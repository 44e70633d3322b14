// libFuzzer target: qxpack's reading commands on an untrusted pack: list,
// extract of the first entry, and check, which judges a pack with the same
// reader as list (a pack list finds corrupt as a whole never passes).
#include "data/pack.h"
#include "scratch.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = scratch_file("pack.qxd", data, size);
    const int listed = run_qxpack_quietly({"list", path});
    if (listed != 0 && listed != 1) __builtin_trap();
    const std::vector<PackDirEntry> dir = pack_directory(data, size);
    if (!dir.empty()) {
        const int extracted = run_qxpack_quietly({"extract", path, dir[0].name});
        if (extracted != 0 && extracted != 1) __builtin_trap();
    }
    const int checked = run_qxpack_quietly({"check", path});
    if (checked != 0 && checked != 1) __builtin_trap();
    if (!pack_problem(data, size).empty() && checked != 1) __builtin_trap();
    return 0;
}
