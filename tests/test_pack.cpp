// The pack look-up and the block decoder, on packs and blocks written byte by
// byte here (never by the encoder), and the web page's predicted pictures.
#include "data/files.h"
#include "data/pack.h"
#include "platform/web/web_pack.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include <sys/stat.h>

namespace {

std::vector<uint8_t> make_block(uint32_t unpacked_size, const std::vector<uint8_t>& stream,
                                uint16_t method = 2) {
    std::vector<uint8_t> out = {'Q', 'X', 'P', 'D'};
    put_u32(out, unpacked_size);
    put_u16(out, 0);
    put_u16(out, method);
    out.resize(20, 0);
    out.insert(out.end(), stream.begin(), stream.end());
    return out;
}

std::optional<Buffer> unpack(const std::vector<uint8_t>& block) {
    return unpack_block(block.data(), block.size());
}

// What the look-up gives for a name: the read (none: not found) and the size.
void expect_entry(const char* name, const std::optional<Buffer>& data, uint32_t size) {
    EXPECT_EQ(pack_read_entry(name), data) << name;
    EXPECT_EQ(pack_entry_size(name), size) << name;
}

// An item longer than the caller takes: its size and source, no data.
void expect_too_long(const PackItem& item, uint64_t size, ItemSource source) {
    EXPECT_FALSE(item.data);
    EXPECT_EQ(item.size, size);
    EXPECT_EQ(item.source, source);
}

} // namespace

// Streams worked by hand: flag bits from the top (clear: a literal, set: a
// reference A, B with A = (distance >> 8) << 4 | (length - 2) and B = the
// distance's low byte); a reference whose A is 0 ends the stream.
TEST(UnpackBlock, DecodesStreamsAndRejectsMalformedBlocks) {
    struct Case {
        uint32_t size;
        std::vector<uint8_t> stream;
        const char* result; // nullptr: rejected
    };
    const Case cases[] = {
        {0, {0x80, 0x00}, ""}, // a reference flag, the end
        {8, {0x00, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x80, 0x00}, "abcdefgh"}, // literals
        {18, {0x60, 'z', 0x0F, 0x01, 0x00}, "zzzzzzzzzzzzzzzzzz"}, // distance 1, length 17
        {8, {0x18, 'a', 'b', 'c', 0x03, 0x03, 0x00}, "abcabcab"},  // distance 3, length 5
        {1, {0x00, 'a', 'b'}, nullptr},                            // writes past the unpacked size
        {4, {0x40, 'a', 0x0F, 0x01, 0x00}, nullptr}, // a reference longer than the room
        {5, {0x10, 'a', 'b', 'c', 0x00}, nullptr},   // ends before the size is reached
        {8, {0x00, 'a', 'b', 'c'}, nullptr},         // runs off the end: no end marker
        {3, {0x10, 'a', 'b', 'c', 0x03}, nullptr},   // a reference cut in half
        {0x7FFFFFFF, {0x80, 0x00}, nullptr},         // a size no such stream reaches
    };
    for (const Case& c : cases) {
        const std::optional<Buffer> out = unpack(make_block(c.size, c.stream));
        ASSERT_EQ(out.has_value(), c.result != nullptr) << c.size;
        if (out) {
            EXPECT_EQ(std::string(out->begin(), out->end()), c.result);
        }
    }
    EXPECT_FALSE(unpack(make_block(3, {0x00, 'a', 'b', 'c'}, 1))) << "method 1";
    std::vector<uint8_t> wrong_magic = make_block(0, {0x80, 0x00});
    wrong_magic[3] = 'X';
    EXPECT_FALSE(unpack(wrong_magic));
    EXPECT_FALSE(unpack(std::vector<uint8_t>{'Q', 'X', 'P', 'D', 0, 0})) << "header cut short";
}

// Loose file, then demo.qxd, then the built-in pack.
TEST(PackLookup, LooseFileWinsOverPackFileOverBuiltInPack) {
    ScopedDirectory dir;
    const std::vector<uint8_t> builtin = make_pack({{"pic.raw", {7}}, {"b", {8, 8}}});
    pack_builtin = {builtin.data(), builtin.size()};
    write_file(PACK_FILE_NAME, make_pack({{"pic.raw", {9, 9, 9, 9}}}));
    write_file("pic.raw", {'a', 'b', 'c'});
    expect_entry("pic.raw", Buffer{'a', 'b', 'c'}, 3);
    // A packed loose file is decoded and sized by its header.
    write_file("pic.raw", make_block(18, {0x60, 'z', 0x0F, 0x01, 0x00}));
    expect_entry("pic.raw", Buffer(18, 'z'), 18);
    // An empty loose file gives way to the pack in the read, not in the size.
    write_file("pic.raw", {});
    expect_entry("pic.raw", Buffer(4, 9), 0);
    EXPECT_EQ(std::remove("pic.raw"), 0);
    expect_entry("pic.raw", Buffer(4, 9), 4);
    expect_entry("b", Buffer(2, 8), 2);
    pack_builtin = {nullptr, 0};
    expect_entry("b", std::nullopt, 0);
}

// Names match without case on either side, the first record wins; a packed
// entry is decoded and sized unpacked.
TEST(PackLookup, NamesMatchWithoutCaseAndFirstRecordWins) {
    ScopedDirectory dir;
    write_file(PACK_FILE_NAME,
               make_pack({{"t_Tun.raw", {1}},
                          {"T_TUN.RAW", {2, 2}},
                          {"zero", {}},
                          {"m.m3d", make_block(8, {0x18, 'a', 'b', 'c', 0x03, 0x03, 0x00})}}));
    expect_entry("m.m3d", Buffer{'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b'}, 8);
    expect_entry("zero", Buffer{}, 0);
    expect_entry("T_TUN.RAW", Buffer{1}, 1);
    expect_entry("t_tun.ra", std::nullopt, 0);
    expect_entry("t_tun.raw2", std::nullopt, 0);
    // Only A-Z fold: '[' (after Z) and '{' (after z) differ.
    EXPECT_FALSE(pack_names_equal("[", "{"));
}

// Entry data running past the end of the file, a file shorter than the
// header, counts of 0, -1 and 1000.
TEST(PackLookup, EmptyAndBrokenPacksHaveNoEntries) {
    ScopedDirectory dir;
    const std::vector<uint8_t> pack = make_pack({{"a", {1, 2, 3}}});
    std::vector<Buffer> broken = {Buffer(pack.begin(), pack.end() - 1), {1, 2, 3}};
    for (uint32_t count : {0u, 0xFFFFFFFFu, 1000u}) {
        broken.push_back(pack);
        for (int i = 0; i < 4; i++) broken.back()[size_t(8 + i)] = uint8_t(count >> 8 * i);
    }
    for (size_t k = 0; k < broken.size(); k++) {
        SCOPED_TRACE(k);
        write_file(PACK_FILE_NAME, broken[k]);
        expect_entry("a", std::nullopt, 0);
    }
}

// The most records a pack may have (all empty but the last, in a sparse
// file) are read once for every look-up that follows, not once per look-up;
// one record more is a corrupt pack, and a stop signal gives up the read.
TEST(PackLookup, LargeDirectoriesAreReadOnceAndBounded) {
    ScopedDirectory dir;
    const auto write_sparse_pack = [](uint32_t count) {
        const size_t end = PACK_HEADER_SIZE + size_t(count) * PACK_DIR_ENTRY_SIZE + 1;
        std::vector<uint8_t> head(8, 0), last = {'l', 'a', 's', 't'};
        put_u32(head, count);
        last.resize(PACK_NAME_SIZE, 0);
        put_u32(last, 1);
        put_u32(last, uint32_t(end - 1));
        FILE* f = std::fopen(PACK_FILE_NAME, "wb");
        ASSERT_TRUE(f);
        std::fwrite(head.data(), 1, head.size(), f);
        std::fseek(f, long(end - 1 - PACK_DIR_ENTRY_SIZE), SEEK_SET);
        std::fwrite(last.data(), 1, last.size(), f);
        std::fputc(42, f);
        std::fclose(f);
    };
    write_sparse_pack(uint32_t(PACK_ENTRIES_MAX));
    const uint32_t reads = pack_directory_reads;
    for (int i = 0; i < 50; i++) expect_entry(("n" + std::to_string(i)).c_str(), std::nullopt, 0);
    expect_entry("last", Buffer{42}, 1);
    EXPECT_EQ(pack_directory_reads - reads, 1u) << "the directory is read once for every look-up";

    write_sparse_pack(uint32_t(PACK_ENTRIES_MAX + 1));
    expect_entry("last", std::nullopt, 0);

    write_sparse_pack(2);
    volatile std::sig_atomic_t stop = 1;
    load_stop = &stop;
    expect_entry("last", std::nullopt, 0);
    load_stop = nullptr;
    expect_entry("last", Buffer{42}, 1);
}

TEST(PackLookup, OnlyRegularFilesAreReadAndNeverPastWhatTheCallerTakes) {
    ScopedDirectory dir;
    write_file(PACK_FILE_NAME, make_pack({{"pic.raw", {9, 9, 9, 9}}, {"big", Buffer(9, 1)}}));
    // A directory or a FIFO named like the item is passed over, without blocking.
    ASSERT_EQ(mkdir("pic.raw", 0755), 0);
    expect_entry("pic.raw", Buffer(4, 9), 4);
    ASSERT_EQ(rmdir("pic.raw"), 0);
    ASSERT_EQ(mkfifo("pic.raw", 0644), 0);
    expect_entry("pic.raw", Buffer(4, 9), 4);

    // Longer than asked for, from either place; a packed block is judged by
    // its header, never decoded into 2 GB.
    write_file("loose", Buffer(10, 2));
    expect_too_long(pack_read_item("loose", 9), 10, ITEM_LOOSE_FILE);
    EXPECT_EQ(pack_read_item("loose", 10).data, Buffer(10, 2));
    Buffer whole;
    std::string error;
    EXPECT_TRUE(read_regular_file("loose", 10, &whole, &error)) << error;
    EXPECT_EQ(whole, Buffer(10, 2));
    EXPECT_FALSE(read_regular_file("loose", 9, &whole, &error));
    EXPECT_EQ(error, "longer than 9 bytes");
    expect_too_long(pack_read_item("big", 8), 9, ITEM_PACK_FILE);
    write_file("huge", make_block(0x7FFFFFF0, {0x80, 0x00}));
    expect_too_long(pack_read_item("huge"), 0x7FFFFFF0, ITEM_LOOSE_FILE);

    // A directory as the pack is no pack.
    ASSERT_EQ(std::remove(PACK_FILE_NAME), 0);
    ASSERT_EQ(mkdir(PACK_FILE_NAME, 0755), 0);
    EXPECT_FALSE(pack_read_entry("big"));
    EXPECT_EQ(pack_read_item("big").source, ITEM_NOT_FOUND);
}

// The web page's pack: pictures stored as differences from a prediction of
// each byte come back byte for byte, and nothing but such pictures is touched.
namespace {

// A ramp in each channel with a little noise (or none): what photographs look
// like to a predictor.
Buffer ramp_picture(const ShowItem& item, bool noisy = true) {
    Buffer bytes(item_bytes(item));
    const size_t channels = bytes.size() / (size_t(item.width) * item.height);
    uint32_t noise = 12345;
    for (size_t i = 0; i < bytes.size(); i++) {
        const size_t pixel = i / channels, x = pixel % item.width, y = pixel / item.width;
        noise = noise * 1103515245 + 12345;
        bytes[i] = uint8_t(x + 2 * y + 40 * (i % channels) + (noisy ? noise >> 29 : 0));
    }
    return bytes;
}

} // namespace

TEST(WebPack, EveryPredictionIsUndoneExactly) {
    for (const char* name : {"qxlogo.raw", "a_the.raw", "t_tun.raw"}) {
        const ShowItem& item = *find_item(name);
        const Buffer picture = ramp_picture(item);
        for (int p = PREDICT_LEFT; p < PREDICT_COUNT; p++) {
            Buffer bytes = picture;
            predict_item(item, PixelPrediction(p), bytes.data());
            EXPECT_NE(bytes, picture) << name << " " << p;
            unpredict_item(item, PixelPrediction(p), bytes.data());
            EXPECT_EQ(bytes, picture) << name << " " << p;
        }
        // Rising by one a pixel, the ramp leaves the left prediction a 1 at
        // every byte but those of each row's first pixel, which keep their own.
        Buffer smooth = ramp_picture(item, false);
        const Buffer plain = smooth;
        predict_item(item, PREDICT_LEFT, smooth.data());
        const size_t step = smooth.size() / (size_t(item.width) * item.height);
        const size_t row = item.width * step;
        size_t wrong = 0;
        for (size_t i = 0; i < smooth.size(); i++)
            wrong += smooth[i] != (i % row < step ? plain[i] : 1);
        EXPECT_EQ(wrong, 0u) << name;
    }
}

TEST(WebPack, OnlyPlainPicturesOfTheirFullSizeArePredicted) {
    const ShowItem& logo = *find_item("qxlogo.raw");
    Buffer packed_texture = make_block(196608, {0x00});
    packed_texture.resize(196608, 7);
    const Buffer original = make_pack({{"QXLOGO.RAW", ramp_picture(logo)},
                                       {"qxlogo.raw", ramp_picture(logo)},
                                       {"a_the.raw", {1, 2, 3, 4, 5}},
                                       {"t_tun.raw", packed_texture},
                                       {"unknown.raw", Buffer(100, 3)},
                                       {"brain.m3d", Buffer(64, 9)}});
    Buffer pack = original;
    const auto none = [](const ShowItem&, const uint8_t*) { return PREDICT_NONE; };
    EXPECT_EQ(predict_pack(pack.data(), pack.size(), none), "");
    EXPECT_EQ(pack, original);
    const auto paeth = [](const ShowItem&, const uint8_t*) { return PREDICT_PAETH; };
    const std::string table = predict_pack(pack.data(), pack.size(), paeth);
    EXPECT_EQ(table, "QXLOGO.RAW paeth\n");
    // Only the logo's bytes differ: not its second record's, which no look-up finds.
    const size_t logo_at = 12 + 6 * 24;
    EXPECT_NE(Buffer(pack.begin() + logo_at, pack.begin() + logo_at + 192000),
              Buffer(original.begin() + logo_at, original.begin() + logo_at + 192000));
    EXPECT_TRUE(std::equal(pack.begin() + logo_at + 192000, pack.end(),
                           original.begin() + logo_at + 192000));

    Buffer unknown = pack;
    unpredict_pack(unknown.data(), unknown.size(), "qxlogo.raw sideways\nnothing.raw left\n");
    EXPECT_EQ(unknown, pack);
    unpredict_pack(pack.data(), pack.size(), table);
    EXPECT_EQ(pack, original);
}
