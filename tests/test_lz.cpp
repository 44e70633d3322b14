// The encoder against the decoder: every kind of contents comes back byte for
// byte, and picture-like data shrinks.
#include "data/pack.h"
#include "lz_encode.h"

#include <gtest/gtest.h>

#include <random>

namespace {

Buffer round_trip(const Buffer& data) {
    const Buffer block = lz_pack_block(data.data(), data.size());
    std::optional<Buffer> out = unpack_block(block.data(), block.size());
    EXPECT_TRUE(out) << "block of " << data.size() << " bytes rejected";
    return out ? *out : Buffer{};
}

Buffer gradient_picture(int width, int height) {
    Buffer out;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            out.push_back(uint8_t(y * 255 / height));
            out.push_back(uint8_t(x * 255 / width / 8 * 8));
            out.push_back(uint8_t(128 + y / 8));
        }
    return out;
}

} // namespace

// Every kind of contents comes back byte for byte; runs, gradients and a repeat
// as far back as the window reaches shrink. (Text, runs of one byte and
// contents that begin with the block magic go through qxpack_cli.)
TEST(LzEncode, EveryKindOfContentsRoundTripsAndRepeatsShrink) {
    std::mt19937 rng(7);
    Buffer random(100000);
    for (uint8_t& b : random) b = uint8_t(rng());
    Buffer big(1 << 20 | 12345);
    for (size_t i = 0; i < big.size(); i++) big[i] = uint8_t((i / 977) ^ (i % 13 ? 0 : rng()));
    // A 4,000-byte random run repeated: only a reference 4,000 back finds it.
    Buffer twice(8000);
    for (size_t i = 0; i < 4000; i++) twice[i] = twice[i + 4000] = uint8_t(rng());
    const Buffer zeros(192000, 0), picture = gradient_picture(320, 200);

    for (const Buffer& in : {Buffer{}, Buffer{42}, random, zeros, big, picture, twice})
        EXPECT_EQ(round_trip(in), in) << in.size() << " bytes";
    auto packed = [](const Buffer& data) { return lz_pack_block(data.data(), data.size()).size(); };
    // 17 bytes per two-byte reference plus its flag bit: just over 1/8.
    EXPECT_LT(packed(zeros), zeros.size() / 7);
    EXPECT_LT(packed(picture), picture.size() / 2);
    EXPECT_LT(packed(twice), 4000u + 4000u / 2);
}
