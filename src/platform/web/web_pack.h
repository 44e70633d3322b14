// The web page's built-in pack, made smaller to download: each picture, mask,
// map and texture in it is stored as the differences between its bytes and a
// prediction of each from its neighbours, which brotli packs a quarter smaller
// than the pixels themselves. The web build writes the pack so, with a table
// of the prediction each item took (web/predict_pack.cpp); the page undoes
// them once, in place, when it first reads the pack. The pack's format is
// unchanged: its items are stored plain, only their bytes differ until then.
#pragma once

#include "data/items.h"

#include <cstddef>
#include <cstdint>
#include <string>

// How a byte is foretold from the byte of the same channel to its left (a),
// above it (b) and above-left (c); bytes outside the picture count as 0.
enum PixelPrediction : uint8_t {
    PREDICT_NONE,     // 0: the bytes as they are
    PREDICT_LEFT,     // a
    PREDICT_GRADIENT, // a + b - c, held to 0..255
    PREDICT_PAETH,    // whichever of a, b, c is nearest a + b - c
    PREDICT_COUNT,
};

// Bytes of ITEM (item_bytes of them) to their differences from PREDICTION,
// and back; in place.
void predict_item(const ShowItem& item, PixelPrediction prediction, uint8_t* bytes);
void unpredict_item(const ShowItem& item, PixelPrediction prediction, uint8_t* bytes);

// Predicts every picture, mask, map and texture stored plain at its full
// size in the pack held in PACK, in place, by what CHOOSE gives for its bytes;
// returns the table that undoes it: a line "NAME PREDICTION" for each item it
// changed.
using ChoosePrediction = PixelPrediction (*)(const ShowItem& item, const uint8_t* bytes);
std::string predict_pack(uint8_t* pack, size_t pack_size, ChoosePrediction choose);

// Undoes TABLE's lines on the pack in PACK, in place. A line naming no such
// item, an entry of another size or packed, or an unknown prediction is
// passed over: the item then stays as stored.
void unpredict_pack(uint8_t* pack, size_t pack_size, const std::string& table);
