#include "xm_writer.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>

#include "support.h"

namespace {

// Three orders over two patterns of different lengths, two named instruments
// of a looped square wave.
XmModule small_module() {
    XmModule module;
    module.name = "writer test";
    module.channels = 4;
    module.speed = 5;
    module.bpm = 140;
    module.orders = {0, 1, 0};
    module.restart = 1;
    module.patterns.push_back(xm_make_pattern(16, 4));
    module.patterns.push_back(xm_make_pattern(32, 4));
    xm_cell(module.patterns[0], 0, 0) = {XM_NOTE_C4, 1, XM_VOLUME_SET + 40, 0, 0};
    xm_cell(module.patterns[0], 8, 3) = {XM_NOTE_OFF, 0, 0, 0, 0};
    xm_cell(module.patterns[1], 4, 1) = {XM_NOTE_C4 + 7, 2, 0, 0x0A, 0x04};
    XmSample square;
    for (int i = 0; i < 64; i++) square.data.push_back(i % 32 < 16 ? 8000 : -8000);
    square.loop_type = XM_LOOP_FORWARD;
    square.loop_length = 64;
    XmInstrument instrument;
    instrument.samples = {square};
    for (const char* name : {"square", "second"}) {
        instrument.name = name;
        module.instruments.push_back(instrument);
    }
    return module;
}

using ModulePtr = std::unique_ptr<openmpt_module, void (*)(openmpt_module*)>;

ModulePtr load(const std::vector<uint8_t>& bytes) {
    openmpt_module* module = openmpt_module_create_from_memory2(
        bytes.data(), bytes.size(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    return ModulePtr(module, openmpt_module_destroy);
}

// Decodes packed pattern data back into cells, independently of the writer:
// five bytes a cell (note, instrument, volume, effect, parameter).
std::vector<std::array<uint8_t, 5>> unpack_cells(const std::vector<uint8_t>& bytes, size_t at,
                                                 size_t size) {
    std::vector<std::array<uint8_t, 5>> cells;
    for (const size_t end = at + size; at < end;) {
        std::array<uint8_t, 5> fields{};
        const uint8_t lead = bytes[at];
        at += lead >> 7;
        for (int i = 0; i < 5; i++)
            if (!(lead & 0x80) || (lead & (1 << i))) fields[size_t(i)] = bytes[at++];
        cells.push_back(fields);
    }
    return cells;
}

std::vector<std::array<uint8_t, 5>> cells_of(const XmPattern& pattern) {
    std::vector<std::array<uint8_t, 5>> cells;
    for (const XmCell& c : pattern.cells)
        cells.push_back({c.note, c.instrument, c.volume, c.effect, c.param});
    return cells;
}

} // namespace

// libopenmpt loads the module, finds its instruments and plays it for as long
// as its orders, rows, speed and tempo make; the header's fields are pinned
// byte for byte, as a lenient reader would not notice them wrong (an
// instrument's name: InstrumentSampleHeadersAndDeltaData).
TEST(XmWriter, ModuleLoadsWithItsStructureTimingAndHeader) {
    const std::vector<uint8_t> bytes = xm_serialise(small_module());
    ModulePtr module = load(bytes);
    ASSERT_TRUE(module);
    EXPECT_EQ(openmpt_module_get_num_instruments(module.get()), 2);
    // 64 rows of 5 ticks of 2.5 / 140 s; the player rounds a tick to whole samples.
    const double expected = (16 + 32 + 16) * 5 * 2.5 / 140;
    EXPECT_NEAR(openmpt_module_get_duration_seconds(module.get()), expected, expected * 1e-3);

    // The name padded with zeros to 20 bytes, then the 0x1A marker.
    ASSERT_GT(bytes.size(), 336u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 38),
              "Extended Module: writer test" + std::string(9, '\0') + "\x1A");
    // Version 1.04, header size 276, 3 orders, restart 1, 4 channels, 2 patterns,
    // 2 instruments, linear frequencies, speed 5, tempo 140, the order table.
    std::vector<uint8_t> header = {0x04, 0x01, 0x14, 0x01, 0, 0, 3, 0,   1, 0, 4, 0, 2,
                                   0,    2,    0,    1,    0, 5, 0, 140, 0, 0, 1, 0};
    header.resize(336 - 58, 0);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 58, bytes.begin() + 336), header);
    // A long name is cut to its 20 bytes and leaves the 0x1A marker alone.
    XmModule long_name = small_module();
    long_name.name = std::string(40, 'x');
    const std::vector<uint8_t> cut = xm_serialise(long_name);
    EXPECT_EQ(std::string(cut.begin() + 17, cut.begin() + 38), std::string(20, 'x') + "\x1A");
}

TEST(XmWriter, PatternCellsPackAndUnpackExactly) {
    XmModule source = small_module();
    XmPattern& pattern = source.patterns[0];
    xm_cell(pattern, 1, 1) = {12, 2, 0x30, 0x0F, 0x21}; // all five: stored raw
    xm_cell(pattern, 2, 2) = {0, 0, 0, 0x0C, 0};        // effect only
    xm_cell(pattern, 3, 0) = {0, 0, 0, 0, 0x33};        // parameter only
    std::vector<uint8_t> bytes = xm_serialise(source);
    ASSERT_FALSE(bytes.empty());

    EXPECT_EQ(get_u32(bytes, 336), 9u); // pattern header length
    EXPECT_EQ(bytes[340], 0);           // packing type; the rows are read back above
    // 64 cells: the full cell as its five raw bytes, the others a lead byte and
    // their fields (4 for the first note, 2 each for effect, parameter and
    // key-off), one byte for each of the 59 empty ones.
    const size_t packed = get_u16(bytes, 343);
    EXPECT_EQ(packed, size_t(4 + 5 + 2 + 2 + 2 + (64 - 5)));

    EXPECT_EQ(unpack_cells(bytes, 345, packed), cells_of(pattern));
    const size_t second = 345 + packed;
    EXPECT_EQ(unpack_cells(bytes, second + 9, get_u16(bytes, second + 7)),
              cells_of(source.patterns[1]));
}

TEST(XmWriter, InstrumentSampleHeadersAndDeltaData) {
    XmModule source = small_module();
    XmInstrument& instrument = source.instruments[1];
    instrument.volume_envelope = {{0, 0}, {4, 64}, {20, 32}};
    instrument.volume_sustain = 2;
    instrument.fadeout = 0x123;
    XmSample& sample = instrument.samples[0];
    sample.name = "delta";
    sample.data = {0, 100, -100, 32767, -32768, -32768};
    sample.loop_type = XM_LOOP_PINGPONG;
    sample.loop_start = 1;
    sample.loop_length = 4;
    sample.volume = 50;
    sample.finetune = -16;
    sample.relative_note = -3;
    sample.panning = 200;
    std::vector<uint8_t> bytes = xm_serialise(source);
    ASSERT_FALSE(bytes.empty());

    // The instrument is the last thing: 263 + 40 header bytes, then 12 data bytes.
    ASSERT_GT(bytes.size(), 263u + 40 + 12);
    size_t at = bytes.size() - (263 + 40 + 12);
    EXPECT_EQ(get_u32(bytes, at), 263u);
    EXPECT_EQ(std::string(bytes.begin() + long(at) + 4, bytes.begin() + long(at) + 10), "second");
    EXPECT_EQ(get_u16(bytes, at + 27), 1u);  // samples
    EXPECT_EQ(get_u32(bytes, at + 29), 40u); // sample header size
    // The volume envelope's points as (tick, value) pairs.
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + long(at) + 129, bytes.begin() + long(at) + 145),
              (std::vector<uint8_t>{0, 0, 0, 0, 4, 0, 64, 0, 20, 0, 32, 0, 0, 0, 0, 0}));
    EXPECT_EQ(bytes[at + 225], 3);     // points
    EXPECT_EQ(bytes[at + 227], 2);     // sustain point
    EXPECT_EQ(bytes[at + 233], 1 | 2); // on, sustain
    EXPECT_EQ(get_u16(bytes, at + 239), 0x123u);

    // The sample header: length, loop start and loop length in bytes, volume,
    // finetune -16, 16-bit ping-pong, panning, relative note -3, the name. Then
    // the data as differences worked by hand: 0, +100, -200, 32867 (wraps to
    // 0x8063), -65535 (wraps to 1), 0.
    std::vector<uint8_t> sample_bytes = {12, 0,    0,    0,   2,    0, 0,   0,   8,   0,   0,  0,
                                         50, 0xF0, 0x12, 200, 0xFD, 0, 'd', 'e', 'l', 't', 'a'};
    sample_bytes.resize(40, 0);
    sample_bytes.insert(sample_bytes.end(),
                        {0x00, 0x00, 0x64, 0x00, 0x38, 0xFF, 0x63, 0x80, 0x01, 0x00, 0x00, 0x00});
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + long(at) + 263, bytes.end()), sample_bytes);
}

TEST(XmWriter, RejectsModulesTheFormatCannotHold) {
    auto rejected = [](void (*change)(XmModule&)) {
        XmModule module = small_module();
        change(module);
        return xm_serialise(module).empty();
    };
    EXPECT_FALSE(rejected([](XmModule&) {}));
    EXPECT_TRUE(rejected([](XmModule& m) { m.channels = 3; }));
    EXPECT_TRUE(rejected([](XmModule& m) { m.channels = 34; }));
    EXPECT_TRUE(rejected([](XmModule& m) { m.orders.push_back(2); }));
    EXPECT_TRUE(rejected([](XmModule& m) { m.orders.clear(); }));
    EXPECT_TRUE(rejected([](XmModule& m) { m.restart = 3; }));
    EXPECT_TRUE(rejected([](XmModule& m) { m.patterns[1].cells.pop_back(); }));
    EXPECT_TRUE(rejected([](XmModule& m) { m.patterns[0] = xm_make_pattern(257, 4); }));
    EXPECT_TRUE(rejected([](XmModule& m) { xm_cell(m.patterns[0], 0, 0).instrument = 3; }));
    EXPECT_TRUE(rejected([](XmModule& m) { m.instruments[0].samples.clear(); }));
    EXPECT_TRUE(rejected([](XmModule& m) { m.instruments[0].keymap[10] = 1; }));
    EXPECT_TRUE(rejected([](XmModule& m) { m.instruments[0].samples[0].loop_start = 1; }));
    EXPECT_TRUE(rejected([](XmModule& m) { m.instruments[0].samples[0].loop_length = 0; }));
    EXPECT_TRUE(rejected([](XmModule& m) { m.instruments[0].samples[0].volume = 65; }));
    EXPECT_TRUE(rejected([](XmModule& m) {
        m.instruments[0].volume_envelope = {{0, 64}, {0, 32}};
    }));
    EXPECT_TRUE(rejected([](XmModule& m) {
        m.instruments[0].volume_envelope = {{0, 64}};
        m.instruments[0].volume_sustain = 1;
    }));
    EXPECT_TRUE(rejected([](XmModule& m) { m.instruments[0].volume_envelope.resize(13); }));
}

TEST(XmWriter, WritesTheFileOrReportsFailure) {
    ScopedDirectory directory;
    XmModule module = small_module();
    ASSERT_TRUE(xm_write_file(module, "out.xm"));
    EXPECT_EQ(read_file("out.xm"), xm_serialise(module));
    EXPECT_FALSE(xm_write_file(module, "missing/dir/out.xm"));
    module.channels = 1;
    EXPECT_FALSE(xm_write_file(module, "bad.xm"));
    EXPECT_FALSE(std::filesystem::exists("bad.xm"));
}
