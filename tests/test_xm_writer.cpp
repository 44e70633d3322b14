#include "xm_writer.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "support.h"

namespace {

XmSample square_sample(int frames, int period, int16_t level) {
    XmSample sample;
    for (int i = 0; i < frames; i++)
        sample.data.push_back((i % period) < period / 2 ? level : int16_t(-level));
    sample.loop_type = XM_LOOP_FORWARD;
    sample.loop_start = 0;
    sample.loop_length = uint32_t(frames);
    return sample;
}

// Three orders over two patterns of different lengths, two named instruments.
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
    for (const char* name : {"square", "second"}) {
        XmInstrument instrument;
        instrument.name = name;
        instrument.samples.push_back(square_sample(64, 32, 8000));
        module.instruments.push_back(instrument);
    }
    return module;
}

// The small module cut down to one pattern of `rows` rows that starts a C-4
// of instrument 1 on its first row.
XmModule one_note_module(int rows) {
    XmModule source = small_module();
    source.orders = {0};
    source.restart = 0;
    source.patterns.assign(1, xm_make_pattern(rows, 4));
    xm_cell(source.patterns[0], 0, 0) = {XM_NOTE_C4, 1, 0, 0, 0};
    return source;
}

using ModulePtr = std::unique_ptr<openmpt_module, void (*)(openmpt_module*)>;

ModulePtr load(const std::vector<uint8_t>& bytes) {
    openmpt_module* module = openmpt_module_create_from_memory2(
        bytes.data(), bytes.size(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    return ModulePtr(module, openmpt_module_destroy);
}

std::string instrument_name(openmpt_module* module, int index) {
    const char* name = openmpt_module_get_instrument_name(module, index);
    std::string text = name ? name : "";
    openmpt_free_string(name);
    return text;
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

// Peak of the left channel over a range of frames.
int peak(const std::vector<int16_t>& stereo, size_t from, size_t to) {
    int level = 0;
    for (size_t i = from; i < to && 2 * i < stereo.size(); i++)
        level = std::max(level, std::abs(int(stereo[2 * i])));
    return level;
}

} // namespace

// libopenmpt reads back the counts, speed, tempo and used orders; the header
// bytes checked by hand are the ones a lenient reader would not notice.
TEST(XmWriter, ModuleLoadsWithItsStructureTimingAndHeader) {
    const std::vector<uint8_t> bytes = xm_serialise(small_module());
    ModulePtr module = load(bytes);
    ASSERT_TRUE(module);
    openmpt_module* mod = module.get();
    EXPECT_EQ(openmpt_module_get_num_orders(mod), 3);
    EXPECT_EQ(openmpt_module_get_num_channels(mod), 4);
    EXPECT_EQ(openmpt_module_get_order_pattern(mod, 1), 1);
    EXPECT_EQ(openmpt_module_get_pattern_num_rows(mod, 0), 16);
    EXPECT_EQ(openmpt_module_get_pattern_num_rows(mod, 1), 32);
    ASSERT_EQ(openmpt_module_get_num_instruments(mod), 2);
    EXPECT_EQ(instrument_name(mod, 0), "square");
    EXPECT_EQ(instrument_name(mod, 1), "second");
    EXPECT_EQ(openmpt_module_get_current_speed(mod), 5);
    EXPECT_EQ(openmpt_module_get_current_tempo(mod), 140);
    // 64 rows of 5 ticks of 2.5 / 140 s; the player rounds a tick to whole samples.
    const double expected = (16 + 32 + 16) * 5 * 2.5 / 140;
    EXPECT_NEAR(openmpt_module_get_duration_seconds(mod), expected, expected * 1e-3);

    ASSERT_GT(bytes.size(), 336u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 17), "Extended Module: ");
    EXPECT_EQ(std::string(bytes.begin() + 17, bytes.begin() + 28), "writer test");
    EXPECT_EQ(bytes[28], 0);
    EXPECT_EQ(bytes[37], 0x1A);
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
    EXPECT_EQ(std::string(cut.begin() + 17, cut.begin() + 37), std::string(20, 'x'));
    EXPECT_EQ(cut[37], 0x1A);
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
    EXPECT_EQ(get_u16(bytes, at + 129 + 4), 4u);
    EXPECT_EQ(get_u16(bytes, at + 129 + 6), 64u);
    EXPECT_EQ(get_u16(bytes, at + 129 + 8), 20u);
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

TEST(XmWriter, SamplePlaysAtThePitchOfItsRelativeNote) {
    // A 32-frame square period at 8363 Hz is 261.3 Hz on C-4; relative note 12
    // doubles it. Two sign changes of the left channel a period, over a second.
    XmModule source = one_note_module(64);
    source.instruments[0].samples[0].relative_note = 12;
    ModulePtr module = load(xm_serialise(source));
    ASSERT_TRUE(module);
    std::vector<int16_t> audio(48000 * 2);
    const size_t read =
        openmpt_module_read_interleaved_stereo(module.get(), 48000, 48000, audio.data());
    int changes = 0;
    for (size_t i = 1; i < read; i++) changes += (audio[2 * i] >= 0) != (audio[2 * i - 2] >= 0);
    EXPECT_NEAR(changes / 2.0, 8363.0 / 32 * 2, 8);
}

TEST(XmWriter, EnvelopeSustainHoldsAKeyedOffNoteUntilItFades) {
    // Key-off on row 8: without an envelope the note stops there; with a
    // sustained one and a slow fadeout it still sounds 4 rows later.
    auto render = [](bool envelope) {
        XmModule source = one_note_module(32);
        xm_cell(source.patterns[0], 8, 0) = {XM_NOTE_OFF, 0, 0, 0, 0};
        if (envelope) {
            source.instruments[0].volume_envelope = {{0, 64}, {10, 64}};
            source.instruments[0].volume_sustain = 1;
            source.instruments[0].fadeout = 200;
        }
        ModulePtr module = load(xm_serialise(source));
        std::vector<int16_t> audio(48000 * 2 * 2);
        if (module)
            openmpt_module_read_interleaved_stereo(module.get(), 48000, 48000 * 2, audio.data());
        return audio;
    };
    // A row lasts 5 * 2.5 / 140 s = 4286 frames at 48 kHz.
    const size_t row = 4286;
    std::vector<int16_t> plain = render(false);
    std::vector<int16_t> held = render(true);
    EXPECT_GT(peak(plain, 2 * row, 7 * row), 1000);
    EXPECT_LT(peak(plain, 9 * row + 200, 12 * row), 50);
    EXPECT_GT(peak(held, 9 * row + 200, 12 * row), 1000);
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
