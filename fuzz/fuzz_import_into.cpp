// libFuzzer target: qxpack import --into an untrusted pack. A picture goes
// into the pack, which is read, added to and written back; when that
// succeeds the result is a whole pack whose first entry of the name is the
// picture.
#include "data/pack.h"
#include "scratch.h"

#include <cstddef>
#include <cstdint>

// A grey PNG of the 113 x 57 mask's own size: nothing to fit, so the run's
// time goes to the pack rather than to the picture.
static const uint8_t GREY_MASK_PNG[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x00, 0x00, 0x71, 0x00, 0x00, 0x00, 0x39, 0x08, 0x00, 0x00, 0x00, 0x00, 0x24, 0x1E, 0x9B,
    0x0D, 0x00, 0x00, 0x00, 0x31, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0xED, 0xCD, 0x01, 0x09, 0x00,
    0x00, 0x0C, 0x03, 0xA0, 0x45, 0x5F, 0xF4, 0xB5, 0x38, 0x1C, 0xB4, 0x80, 0xE9, 0xB5, 0x18, 0x8D,
    0x46, 0xA3, 0xD1, 0x68, 0x34, 0x1A, 0x8D, 0x46, 0xA3, 0xD1, 0x68, 0x34, 0x1A, 0x8D, 0x46, 0xA3,
    0xD1, 0x68, 0x34, 0x3E, 0x1F, 0x07, 0x21, 0x50, 0x95, 0x35, 0x03, 0x04, 0xF0, 0xA6, 0x00, 0x00,
    0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string png = scratch_file("grey.png", GREY_MASK_PNG, sizeof GREY_MASK_PNG);
    const std::string pack = scratch_file("into.qxd", data, size);
    const int status = run_qxpack_quietly({"import", png, "a_vorn.raw", "--into", pack});
    if (status != 0 && status != 1) __builtin_trap();
    if (status == 0) {
        FILE* f = std::fopen(pack.c_str(), "rb");
        if (!f) __builtin_trap();
        std::vector<uint8_t> result;
        uint8_t chunk[65536];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;)
            result.insert(result.end(), chunk, chunk + n);
        std::fclose(f);
        if (!pack_problem(result.data(), result.size()).empty()) __builtin_trap();
        const std::optional<PackDirEntry> e = pack_find(result.data(), result.size(), "a_vorn.raw");
        if (!e) __builtin_trap();
        const uint8_t* stored = result.data() + e->offset;
        const size_t unpacked = is_packed_block(stored, e->stored_size)
                                    ? unpack_block(stored, e->stored_size).value_or(Buffer()).size()
                                    : e->stored_size;
        if (unpacked != 113u * 57u) __builtin_trap();
    }
    return 0;
}
