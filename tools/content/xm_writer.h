// Writes XM modules (FastTracker 2 format, version 0x0104) from plain records:
// a module of patterns and instruments whose samples are 16-bit PCM.
//
// A two-row, one-instrument module:
//
//     XmModule module;
//     module.name = "demo";
//     module.channels = 2;
//     module.orders = {0};
//     module.patterns.push_back(xm_make_pattern(2, module.channels));
//     xm_cell(module.patterns[0], 0, 0) = {XM_NOTE_C4, 1, 0, 0, 0};  // C-4, instrument 1
//     xm_cell(module.patterns[0], 1, 0) = {XM_NOTE_OFF, 0, 0, 0, 0};
//     XmInstrument beep;
//     beep.name = "beep";
//     XmSample sample;
//     sample.data = ...;  // frames at 8363 Hz play at their own pitch on C-4
//     beep.samples.push_back(sample);
//     module.instruments.push_back(beep);
//     std::vector<uint8_t> bytes = xm_serialise(module);  // empty if the module is invalid
//     xm_write_file(module, "demo.xm");
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Notes: 1..96 are C-0..B-7; 97 releases the note (key-off).
constexpr uint8_t XM_NOTE_NONE = 0;
constexpr uint8_t XM_NOTE_C4 = 49;
constexpr uint8_t XM_NOTE_OFF = 97;

// Volume column: XM_VOLUME_SET + v sets volume v (0..64).
constexpr uint8_t XM_VOLUME_SET = 0x10;

// Sample loop types.
constexpr uint8_t XM_LOOP_NONE = 0;
constexpr uint8_t XM_LOOP_FORWARD = 1;
constexpr uint8_t XM_LOOP_PINGPONG = 2;

// One cell of a pattern; all zero is an empty cell.
struct XmCell {
    uint8_t note;       // XM_NOTE_*, or 1..96
    uint8_t instrument; // 1-based, 0 = none
    uint8_t volume;     // volume column byte, 0 = none
    uint8_t effect;     // 0..35 (0-9, then A-Z)
    uint8_t param;
};

struct XmPattern {
    int rows = 64;
    int channels = 0;
    std::vector<XmCell> cells; // rows x channels, row-major
};

struct XmEnvelopePoint {
    uint16_t tick;
    uint16_t value; // 0..64
};

struct XmSample {
    std::string name;
    std::vector<int16_t> data;
    uint32_t loop_start = 0;  // in frames
    uint32_t loop_length = 0; // in frames, 0 = no loop
    uint8_t loop_type = XM_LOOP_NONE;
    uint8_t volume = 64;      // 0..64
    int8_t finetune = 0;      // 1/128 semitone
    uint8_t panning = 128;    // 0..255
    int8_t relative_note = 0; // semitones above the 8363 Hz pitch of C-4
};

struct XmInstrument {
    std::string name;
    std::vector<XmSample> samples;                // at least one
    std::array<uint8_t, 96> keymap{};             // sample index for each note
    std::vector<XmEnvelopePoint> volume_envelope; // <= 12 points; empty = off
    int volume_sustain = -1;                      // point index, -1 = none
    uint16_t fadeout = 0;                         // 0..0xFFF per tick after key-off
    uint8_t vibrato_type = 0, vibrato_sweep = 0, vibrato_depth = 0, vibrato_rate = 0;
};

struct XmModule {
    std::string name;
    int channels = 8; // even, 2..32
    int speed = 6;    // ticks per row
    int bpm = 125;
    int restart = 0;             // order the song loops to
    std::vector<uint8_t> orders; // pattern numbers, 1..256 entries
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

// An empty pattern of the given size.
XmPattern xm_make_pattern(int rows, int channels);
// The cell at (row, channel); both must be in range.
XmCell& xm_cell(XmPattern& pattern, int row, int channel);
const XmCell& xm_cell(const XmPattern& pattern, int row, int channel);

// The whole file; empty if the module breaks a limit of the format (channel
// count, order or pattern references, rows, sample loops, envelopes, sizes).
std::vector<uint8_t> xm_serialise(const XmModule& module);
// Serialises and writes; false if the module is invalid or the file cannot be written.
bool xm_write_file(const XmModule& module, const std::string& path);
