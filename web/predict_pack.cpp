// predict_pack PACK TABLE: the web build's step between the pack of plain items
// and the page: every picture, mask, map and texture of PACK rewritten in place
// as its differences from the prediction that brotli packs smallest (or left
// as it is where none does better), and the table the page undoes them by
// written to TABLE (platform/web/web_pack.h). Runs under node, whose brotli
// is the page's server's.
#include "platform/web/web_pack.h"

#include <emscripten.h>

#include <cstdio>
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

static bool read_file(const char* name, std::vector<uint8_t>* bytes) {
    std::FILE* file = std::fopen(name, "rb");
    if (!file) return false;
    uint8_t chunk[65536];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        bytes->insert(bytes->end(), chunk, chunk + got);
    return std::fclose(file) == 0;
}

static bool write_file(const char* name, const void* bytes, size_t size) {
    std::FILE* file = std::fopen(name, "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: predict_pack PACK TABLE\n");
        return 2;
    }
    std::vector<uint8_t> pack;
    if (!read_file(argv[1], &pack)) {
        std::fprintf(stderr, "predict_pack: %s cannot be read\n", argv[1]);
        return 1;
    }
    const std::string table = predict_pack(pack.data(), pack.size(), smallest_prediction);
    if (!write_file(argv[1], pack.data(), pack.size()) ||
        !write_file(argv[2], table.data(), table.size())) {
        std::fprintf(stderr, "predict_pack: %s or %s cannot be written\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
