// libFuzzer target: PNG files from untrusted bytes made into items. The first
// byte picks the item's shape, the fit and --alpha; the rest is the file. An
// import that succeeds gives exactly the item's size.
#include "import.h"

#include <cstddef>
#include <cstdint>

static const ItemShape SHAPES[4] = {
    {KIND_RGB, 4, 4, 0, 0, false, false},
    {KIND_BYTES, 3, 2, 0, 0, false, true},
    {KIND_RGB, 90, 30, 0, 0, false, false},
    {KIND_BYTES, 320, 200, 0, 0, false, false},
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const ItemShape& shape = SHAPES[data[0] & 3];
    const FitMode fit = FitMode((data[0] >> 2) & 3);
    const bool alpha = (data[0] >> 4) & 1;
    Buffer out;
    std::string error;
    if (import_png(data + 1, size - 1, shape, fit, alpha, &out, &error)) {
        const size_t channels = shape.kind == KIND_RGB ? 3 : 1;
        if (out.size() != size_t(shape.width) * shape.height * channels) __builtin_trap();
    } else if (error.empty()) {
        __builtin_trap();
    }
    return 0;
}
