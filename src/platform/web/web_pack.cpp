// The web page's built-in pack: its pictures stored as differences from a
// prediction of each byte, the build's side and the page's (see web_pack.h).
//
// A picture is rows of width x step bytes (step 3 for RGB, 1 for masks and
// maps); a byte is foretold from the same channel's byte to its left, above
// and above-left. The build turns each byte into its difference from the
// prediction walking from the last byte back, so that every neighbour it reads
// is still the picture's own; the page adds the prediction back walking
// forward, so that every neighbour it reads is already restored. Both wrap
// modulo 256: each is the other's exact inverse.
#include "platform/web/web_pack.h"

#include "data/pack.h"

#include <cstdlib>
#include <sstream>
#include <type_traits>

static const char* const prediction_names[PREDICT_COUNT] = {"none", "left", "gradient", "paeth"};

struct PixelRows {
    size_t size, row, step;
};

static PixelRows rows_of(const ShowItem& item) {
    const size_t step = item.kind == ITEM_PICTURE || item.kind == ITEM_TEXTURE ? 3 : 1;
    return {item_bytes(item), size_t(item.width) * step, step};
}

template <PixelPrediction P>
static uint8_t foretell(const uint8_t* bytes, size_t i, const PixelRows& rows) {
    const bool left = i % rows.row >= rows.step, up = i >= rows.row;
    const int a = left ? bytes[i - rows.step] : 0;
    const int b = up ? bytes[i - rows.row] : 0;
    const int c = left && up ? bytes[i - rows.row - rows.step] : 0;
    const int guess = a + b - c;
    if (P == PREDICT_LEFT) return uint8_t(a);
    if (P == PREDICT_GRADIENT) return uint8_t(guess < 0 ? 0 : guess > 255 ? 255 : guess);
    if (P == PREDICT_PAETH) {
        const int to_a = std::abs(guess - a), to_b = std::abs(guess - b),
                  to_c = std::abs(guess - c);
        return uint8_t(to_a <= to_b && to_a <= to_c ? a : to_b <= to_c ? b : c);
    }
    return 0;
}

// Calls F with PREDICTION as a compile-time constant, so that each walk
// below is a loop of its own with no choice inside.
template <typename F> static void with_prediction(PixelPrediction prediction, F&& f) {
    switch (prediction) {
    case PREDICT_LEFT:
        f(std::integral_constant<PixelPrediction, PREDICT_LEFT>{});
        break;
    case PREDICT_GRADIENT:
        f(std::integral_constant<PixelPrediction, PREDICT_GRADIENT>{});
        break;
    case PREDICT_PAETH:
        f(std::integral_constant<PixelPrediction, PREDICT_PAETH>{});
        break;
    default:
        break;
    }
}

void predict_item(const ShowItem& item, PixelPrediction prediction, uint8_t* bytes) {
    const PixelRows rows = rows_of(item);
    with_prediction(prediction, [&](auto p) {
        for (size_t i = rows.size; i-- > 0;) bytes[i] -= foretell<p.value>(bytes, i, rows);
    });
}

void unpredict_item(const ShowItem& item, PixelPrediction prediction, uint8_t* bytes) {
    const PixelRows rows = rows_of(item);
    with_prediction(prediction, [&](auto p) {
        for (size_t i = 0; i < rows.size; i++) bytes[i] += foretell<p.value>(bytes, i, rows);
    });
}

// The item an entry holds, stored plain at its full size; none otherwise.
static const ShowItem* plain_pixels(const uint8_t* pack, size_t pack_size,
                                    const PackDirEntry& entry) {
    const ShowItem* item = find_item(entry.name);
    if (!item || !item_bytes(*item) || !pack_entry_in_bounds(entry, pack_size) ||
        entry.stored_size != item_bytes(*item) ||
        is_packed_block(pack + entry.offset, entry.stored_size))
        return nullptr;
    return item;
}

std::string predict_pack(uint8_t* pack, size_t pack_size, ChoosePrediction choose) {
    std::string table;
    for (const PackDirEntry& entry : pack_directory(pack, pack_size)) {
        // Only the record the look-up finds by its name, which the table names.
        const ShowItem* item = plain_pixels(pack, pack_size, entry);
        if (!item || pack_find(pack, pack_size, entry.name)->offset != entry.offset) continue;
        const PixelPrediction prediction = choose(*item, pack + entry.offset);
        if (prediction == PREDICT_NONE) continue;
        predict_item(*item, prediction, pack + entry.offset);
        table += std::string(entry.name) + " " + prediction_names[prediction] + "\n";
    }
    return table;
}

void unpredict_pack(uint8_t* pack, size_t pack_size, const std::string& table) {
    std::istringstream lines(table);
    std::string name, how;
    while (lines >> name >> how) {
        int prediction = PREDICT_LEFT;
        while (prediction < PREDICT_COUNT && how != prediction_names[prediction]) prediction++;
        const std::optional<PackDirEntry> entry = pack_find(pack, pack_size, name.c_str());
        const ShowItem* item = entry ? plain_pixels(pack, pack_size, *entry) : nullptr;
        if (item && prediction < PREDICT_COUNT)
            unpredict_item(*item, PixelPrediction(prediction), pack + entry->offset);
    }
}
