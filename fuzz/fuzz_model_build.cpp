// libFuzzer target: our side of the model import from untrusted bytes, in
// process: the reading process's message decoded, then welded, wound outwards,
// simplified (with a small face budget, when the first byte asks), scaled and
// encoded (fuzz_import_model covers the asset library's side in its
// child). The first byte picks the options. A model that builds is accepted by
// the show's model reader with the counts reported, and no face is degenerate.
#include "imported_model.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const ItemShape shape{KIND_MODEL, 0, 0, 55.0f, 2, (data[0] & 1) != 0, false};
    ModelOptions options;
    options.centre = (data[0] & 2) != 0;
    options.radius = (data[0] & 4) ? 0.0f : -1.0f;
    options.faces = (data[0] & 8) ? 8 : 0;
    Buffer out;
    ModelSummary summary;
    std::string error;
    const bool imported =
        import_model_message(data + 1, size - 1, shape, options, &out, &summary, &error);
    check_imported_model(imported, error, out, summary);
    return 0;
}
