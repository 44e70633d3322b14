#include "xm_writer.h"
#include "data/files.h"

#include <cstdio>

namespace {

constexpr int XM_HEADER_SIZE = 336;
constexpr int XM_INSTRUMENT_HEADER_SIZE = 263;
constexpr int XM_SAMPLE_HEADER_SIZE = 40;
constexpr int XM_MAX_SAMPLES = 16;
constexpr int XM_MAX_ENVELOPE_POINTS = 12;

void put_u8(std::vector<uint8_t>& out, unsigned value) {
    out.push_back(uint8_t(value));
}

void put_u16(std::vector<uint8_t>& out, unsigned value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void put_u32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; i++) out.push_back(uint8_t(value >> (8 * i)));
}

// Text zero-padded (or cut) to exactly `size` bytes.
void put_text(std::vector<uint8_t>& out, const std::string& text, size_t size) {
    for (size_t i = 0; i < size; i++) out.push_back(i < text.size() ? uint8_t(text[i]) : 0);
}

void put_zeros(std::vector<uint8_t>& out, size_t count) {
    out.insert(out.end(), count, 0);
}

bool cell_valid(const XmCell& cell, size_t instrument_count) {
    return cell.note <= XM_NOTE_OFF && cell.instrument <= instrument_count && cell.effect <= 35;
}

bool pattern_valid(const XmPattern& pattern, int channels, size_t instrument_count) {
    if (pattern.rows < 1 || pattern.rows > 256 || pattern.channels != channels) return false;
    if (pattern.cells.size() != size_t(pattern.rows) * size_t(channels)) return false;
    for (const XmCell& cell : pattern.cells)
        if (!cell_valid(cell, instrument_count)) return false;
    return true;
}

bool sample_valid(const XmSample& sample) {
    uint64_t frames = sample.data.size();
    if (frames * 2 > 0xFFFFFFFFu || sample.volume > 64 || sample.loop_type > XM_LOOP_PINGPONG)
        return false;
    if (sample.loop_type == XM_LOOP_NONE) return true;
    return sample.loop_length > 0 && uint64_t(sample.loop_start) + sample.loop_length <= frames;
}

bool instrument_valid(const XmInstrument& instrument) {
    size_t count = instrument.samples.size();
    if (count < 1 || count > XM_MAX_SAMPLES) return false;
    for (uint8_t index : instrument.keymap)
        if (index >= count) return false;
    const auto& envelope = instrument.volume_envelope;
    if (envelope.size() > XM_MAX_ENVELOPE_POINTS) return false;
    for (size_t i = 0; i < envelope.size(); i++) {
        if (envelope[i].value > 64) return false;
        if (i == 0 ? envelope[i].tick != 0 : envelope[i].tick <= envelope[i - 1].tick) return false;
    }
    if (instrument.volume_sustain >= int(envelope.size())) return false;
    if (instrument.fadeout > 0xFFF) return false;
    for (const XmSample& sample : instrument.samples)
        if (!sample_valid(sample)) return false;
    return true;
}

bool module_valid(const XmModule& module) {
    if (module.channels < 2 || module.channels > 32 || module.channels % 2 != 0) return false;
    if (module.speed < 1 || module.speed > 31 || module.bpm < 32 || module.bpm > 255) return false;
    if (module.orders.empty() || module.orders.size() > 256) return false;
    if (module.restart < 0 || size_t(module.restart) >= module.orders.size()) return false;
    if (module.patterns.empty() || module.patterns.size() > 256) return false;
    if (module.instruments.size() > 128) return false;
    for (uint8_t order : module.orders)
        if (order >= module.patterns.size()) return false;
    for (const XmPattern& pattern : module.patterns)
        if (!pattern_valid(pattern, module.channels, module.instruments.size())) return false;
    for (const XmInstrument& instrument : module.instruments)
        if (!instrument_valid(instrument)) return false;
    return true;
}

// A cell with all five bytes present is stored raw; otherwise a lead byte with
// bit 7 set flags the bytes that follow (an empty cell is the lone byte 0x80).
void pack_cell(std::vector<uint8_t>& out, const XmCell& cell) {
    const uint8_t fields[5] = {cell.note, cell.instrument, cell.volume, cell.effect, cell.param};
    uint8_t lead = 0x80;
    for (int i = 0; i < 5; i++)
        if (fields[i]) lead |= uint8_t(1 << i);
    if (lead == 0x9F) {
        out.insert(out.end(), fields, fields + 5);
        return;
    }
    out.push_back(lead);
    for (int i = 0; i < 5; i++)
        if (fields[i]) out.push_back(fields[i]);
}

void put_header(std::vector<uint8_t>& out, const XmModule& module) {
    put_text(out, "Extended Module: ", 17);
    put_text(out, module.name, 20);
    put_u8(out, 0x1A);
    put_text(out, "Vorn content", 20);
    put_u16(out, 0x0104);
    put_u32(out, XM_HEADER_SIZE - 60);
    put_u16(out, unsigned(module.orders.size()));
    put_u16(out, unsigned(module.restart));
    put_u16(out, unsigned(module.channels));
    put_u16(out, unsigned(module.patterns.size()));
    put_u16(out, unsigned(module.instruments.size()));
    put_u16(out, 1); // linear frequency table
    put_u16(out, unsigned(module.speed));
    put_u16(out, unsigned(module.bpm));
    for (size_t i = 0; i < 256; i++) put_u8(out, i < module.orders.size() ? module.orders[i] : 0);
}

void put_pattern(std::vector<uint8_t>& out, const XmPattern& pattern) {
    std::vector<uint8_t> packed;
    for (const XmCell& cell : pattern.cells) pack_cell(packed, cell);
    put_u32(out, 9);
    put_u8(out, 0);
    put_u16(out, unsigned(pattern.rows));
    put_u16(out, unsigned(packed.size()));
    out.insert(out.end(), packed.begin(), packed.end());
}

void put_instrument(std::vector<uint8_t>& out, const XmInstrument& instrument) {
    size_t start = out.size();
    put_u32(out, XM_INSTRUMENT_HEADER_SIZE);
    put_text(out, instrument.name, 22);
    put_u8(out, 0);
    put_u16(out, unsigned(instrument.samples.size()));
    put_u32(out, XM_SAMPLE_HEADER_SIZE);
    out.insert(out.end(), instrument.keymap.begin(), instrument.keymap.end());
    const auto& envelope = instrument.volume_envelope;
    for (size_t i = 0; i < XM_MAX_ENVELOPE_POINTS; i++) {
        put_u16(out, i < envelope.size() ? envelope[i].tick : 0);
        put_u16(out, i < envelope.size() ? envelope[i].value : 0);
    }
    put_zeros(out, 48); // panning envelope, unused
    put_u8(out, unsigned(envelope.size()));
    put_u8(out, 0);
    put_u8(out, instrument.volume_sustain >= 0 ? unsigned(instrument.volume_sustain) : 0);
    put_zeros(out, 2); // volume loop start, end
    put_zeros(out, 3); // panning sustain, loop start, end
    unsigned volume_type = 0;
    if (!envelope.empty()) volume_type |= 1;
    if (!envelope.empty() && instrument.volume_sustain >= 0) volume_type |= 2;
    put_u8(out, volume_type);
    put_u8(out, 0);
    put_u8(out, instrument.vibrato_type);
    put_u8(out, instrument.vibrato_sweep);
    put_u8(out, instrument.vibrato_depth);
    put_u8(out, instrument.vibrato_rate);
    put_u16(out, instrument.fadeout);
    put_zeros(out, XM_INSTRUMENT_HEADER_SIZE - (out.size() - start));

    for (const XmSample& sample : instrument.samples) {
        bool looped = sample.loop_type != XM_LOOP_NONE;
        put_u32(out, uint32_t(sample.data.size() * 2));
        put_u32(out, looped ? sample.loop_start * 2 : 0);
        put_u32(out, looped ? sample.loop_length * 2 : 0);
        put_u8(out, sample.volume);
        put_u8(out, uint8_t(sample.finetune));
        put_u8(out, 0x10u | sample.loop_type);
        put_u8(out, sample.panning);
        put_u8(out, uint8_t(sample.relative_note));
        put_u8(out, 0);
        put_text(out, sample.name, 22);
    }
    // Delta encoding: each stored value is the difference to the previous
    // frame, wrapping in 16 bits.
    for (const XmSample& sample : instrument.samples) {
        uint16_t previous = 0;
        for (int16_t value : sample.data) {
            put_u16(out, uint16_t(uint16_t(value) - previous));
            previous = uint16_t(value);
        }
    }
}

} // namespace

XmPattern xm_make_pattern(int rows, int channels) {
    XmPattern pattern;
    pattern.rows = rows;
    pattern.channels = channels;
    pattern.cells.assign(size_t(rows > 0 ? rows : 0) * size_t(channels > 0 ? channels : 0),
                         XmCell{});
    return pattern;
}

XmCell& xm_cell(XmPattern& pattern, int row, int channel) {
    return pattern.cells[size_t(row) * size_t(pattern.channels) + size_t(channel)];
}

const XmCell& xm_cell(const XmPattern& pattern, int row, int channel) {
    return pattern.cells[size_t(row) * size_t(pattern.channels) + size_t(channel)];
}

std::vector<uint8_t> xm_serialise(const XmModule& module) {
    std::vector<uint8_t> out;
    if (!module_valid(module)) return out;
    put_header(out, module);
    for (const XmPattern& pattern : module.patterns) put_pattern(out, pattern);
    for (const XmInstrument& instrument : module.instruments) put_instrument(out, instrument);
    return out;
}

bool xm_write_file(const XmModule& module, const std::string& path) {
    std::vector<uint8_t> bytes = xm_serialise(module);
    if (bytes.empty()) return false;
    std::string error;
    return write_file_atomically(path, bytes.data(), bytes.size(), &error);
}
