// predict_pack PACK TABLE: the web build's step between the pack of plain items
// and the page: every picture, mask, map and texture of PACK rewritten in place
// as its differences from the prediction that brotli packs smallest (or left
// as it is where none does better), and the table the page undoes them by
// written to TABLE (platform/web/web_pack.h). Runs under node, whose brotli
// is the page's server's.
#include "data/files.h"
#include "data/pack.h"
#include "platform/web/web_pack.h"

#include <emscripten.h>

#include <cstdio>
#include <string>
#include <vector>

// The bytes brotli makes of SIZE bytes at the best level, as web/finish_page.py
// compresses the page.
EM_JS(size_t, brotli_size, (const uint8_t* bytes, size_t size), {
    const zlib = require('zlib');
    const params = {
        [zlib.constants.BROTLI_PARAM_QUALITY] : 11,
        [zlib.constants.BROTLI_PARAM_LGWIN] : 24
    };
    return zlib.brotliCompressSync(HEAPU8.subarray(bytes, bytes + size), {params}).length;
});

static PixelPrediction smallest_prediction(const ShowItem& item, const uint8_t* bytes) {
    const size_t size = item_bytes(item);
    PixelPrediction best = PREDICT_NONE;
    size_t fewest = brotli_size(bytes, size);
    for (int p = PREDICT_LEFT; p < PREDICT_COUNT; p++) {
        std::vector<uint8_t> differences(bytes, bytes + size);
        predict_item(item, PixelPrediction(p), differences.data());
        const size_t packed = brotli_size(differences.data(), size);
        if (packed < fewest) fewest = packed, best = PixelPrediction(p);
    }
    return best;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: predict_pack PACK TABLE\n");
        return 2;
    }
    std::vector<uint8_t> pack;
    std::string why;
    const auto fail = [&why](const char* path) {
        std::fprintf(stderr, "predict_pack: %s: %s\n", path, why.c_str());
        return 1;
    };
    if (!read_regular_file(argv[1], PACK_BYTES_MAX, &pack, &why)) return fail(argv[1]);
    const std::string table = predict_pack(pack.data(), pack.size(), smallest_prediction);
    if (!write_file_atomically(argv[1], pack.data(), pack.size(), &why)) return fail(argv[1]);
    if (!write_file_atomically(argv[2], table.data(), table.size(), &why)) return fail(argv[2]);
    return 0;
}
