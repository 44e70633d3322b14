#include "music_compose.h"
#include "music_synth.h"
#include "xm_writer.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>
#include <xmp.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using ModulePtr = std::unique_ptr<openmpt_module, void (*)(openmpt_module*)>;

ModulePtr load(const std::vector<uint8_t>& bytes) {
    openmpt_module* module = openmpt_module_create_from_memory2(
        bytes.data(), bytes.size(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    return ModulePtr(module, openmpt_module_destroy);
}

// The module is built once for all tests.
const std::vector<uint8_t>& show_module() {
    static const std::vector<uint8_t> bytes = xm_serialise(compose_music());
    return bytes;
}

// 1-based instrument number of the instrument with this name, 0 if none.
int instrument_named(openmpt_module* module, const char* wanted) {
    for (int i = 0; i < openmpt_module_get_num_instruments(module); i++) {
        const char* name = openmpt_module_get_instrument_name(module, i);
        bool same = name && std::strcmp(name, wanted) == 0;
        openmpt_free_string(name);
        if (same) return i + 1;
    }
    return 0;
}

// Whether any channel of (order, row) starts the given instrument; row -1: any row.
bool plays_at(openmpt_module* module, int order, int row, int instrument) {
    const int pattern = openmpt_module_get_order_pattern(module, order);
    for (int r = row < 0 ? 0 : row; r <= (row < 0 ? 63 : row); r++)
        for (int channel = 0; channel < openmpt_module_get_num_channels(module); channel++)
            if (openmpt_module_get_pattern_row_channel_command(
                    module, pattern, r, channel, OPENMPT_MODULE_COMMAND_INSTRUMENT) == instrument)
                return true;
    return false;
}

// Frequency of a sustained note: the shortest lag at which the second half of a
// one-second render nearly repeats itself, refined between neighbouring lags.
double sounding_frequency(const XmInstrument& instrument, int note) {
    XmModule module;
    module.channels = 2;
    module.orders = {0};
    module.patterns.push_back(xm_make_pattern(64, 2));
    xm_cell(module.patterns[0], 0, 0) = {uint8_t(note), 1, 0, 0, 0};
    module.instruments.push_back(instrument);
    ModulePtr mod = load(xm_serialise(module));
    if (!mod) return 0;
    const int rate = 48000;
    std::vector<float> audio(size_t(rate) * 2);
    openmpt_module_read_interleaved_float_stereo(mod.get(), rate, size_t(rate), audio.data());
    const int start = rate / 2, window = rate / 4, shortest = rate / 2000, longest = rate / 25;
    std::vector<double> r(size_t(longest) + 2, 0.0); // the left channel's autocorrelation
    for (int lag = shortest; lag <= longest + 1; lag++)
        for (int i = start; i < start + window; i++)
            r[size_t(lag)] += double(audio[2 * size_t(i)]) * audio[2 * size_t(i + lag)];
    const double best = *std::max_element(r.begin() + shortest, r.begin() + longest + 1);
    for (int lag = shortest + 1; lag <= longest; lag++) {
        double a = r[size_t(lag) - 1], b = r[size_t(lag)], c = r[size_t(lag) + 1];
        if (b >= 0.9 * best && b >= a && b >= c) {
            double shift = (a - c) / (2 * (a - 2 * b + c));
            return rate / (lag + shift);
        }
    }
    return 0;
}

} // namespace

// Small enough to carry in the program, the same bytes from every run, and
// libxmp reads it as libopenmpt does (its orders, rows and sound in the show's
// own player: show_digests.txt).
TEST(Music, BothPlayersReadTheShowAlike) {
    const std::vector<uint8_t>& bytes = show_module();
    EXPECT_LT(bytes.size(), 600u * 1024);
    EXPECT_EQ(xm_serialise(compose_music()), bytes);
    ModulePtr module = load(bytes);
    ASSERT_TRUE(module);
    openmpt_module* mod = module.get();
    const double seconds = openmpt_module_get_duration_seconds(mod);
    xmp_context context = xmp_create_context();
    ASSERT_EQ(xmp_load_module_from_memory(context, bytes.data(), long(bytes.size())), 0);
    xmp_module_info info;
    xmp_get_module_info(context, &info);
    EXPECT_EQ(info.mod->len, openmpt_module_get_num_orders(mod));
    EXPECT_EQ(info.mod->chn, openmpt_module_get_num_channels(mod));
    // libxmp adds one blank pattern of its own.
    EXPECT_EQ(info.mod->pat, openmpt_module_get_num_patterns(mod) + 1);
    ASSERT_EQ(xmp_start_player(context, 44100, 0), 0);
    xmp_frame_info frame;
    xmp_get_frame_info(context, &frame);
    EXPECT_NEAR(frame.total_time / 1000.0, seconds, seconds * 0.01);
    xmp_end_player(context);
    xmp_release_module(context);
    xmp_free_context(context);
}

TEST(Music, EveryGreetingsOrderPlaysItsOwnLines) {
    // Orders 17-26: the name card (rows 0-31) and the interlude (rows 32-63)
    // of each order differ from those of every other.
    const XmModule module = compose_music();
    auto half = [&](int order, int which) {
        const XmPattern& p = module.patterns[module.orders[size_t(order)]];
        const size_t cells = size_t(32 * p.channels);
        std::vector<uint8_t> bytes(cells * sizeof(XmCell));
        std::memcpy(bytes.data(), p.cells.data() + size_t(which) * cells, bytes.size());
        return bytes;
    };
    for (int a = 17; a <= 26; a++)
        for (int b = a + 1; b <= 26; b++)
            for (int which = 0; which < 2; which++)
                EXPECT_NE(half(a, which), half(b, which)) << a << " " << b << " half " << which;
}

TEST(Music, CuesFallOnTheScenesRows) {
    ModulePtr module = load(show_module());
    ASSERT_TRUE(module);
    openmpt_module* mod = module.get();
    const int crash = instrument_named(mod, "crash"), kick = instrument_named(mod, "kick"),
              snare = instrument_named(mod, "snare");
    for (int instrument : {crash, kick, snare}) ASSERT_GT(instrument, 0);
    // The title words, the camera jolts and the final hit.
    std::vector<std::pair<int, int>> hits = {{4, 5}, {4, 37}, {5, 5}, {5, 33}, {42, 0}};
    for (int order = 10; order <= 12; order++)
        for (int row : {8, 24, 40, 56}) hits.push_back({order, row});
    for (const auto& [order, row] : hits)
        EXPECT_TRUE(plays_at(mod, order, row, crash)) << order << " " << row;
    EXPECT_FALSE(plays_at(mod, 4, 21, crash));
    // The intro without drums.
    for (int order : {0, 1})
        for (int drum : {kick, snare}) EXPECT_FALSE(plays_at(mod, order, -1, drum)) << order;
    EXPECT_TRUE(plays_at(mod, 2, -1, kick));
    EXPECT_TRUE(plays_at(mod, 7, -1, snare));
    // Nothing but the last hit's tail after row 8 of the last order.
    const int last = openmpt_module_get_order_pattern(mod, 42);
    for (int row = 8; row < 64; row++)
        for (int channel = 0; channel < openmpt_module_get_num_channels(mod); channel++) {
            const int note = openmpt_module_get_pattern_row_channel_command(
                mod, last, row, channel, OPENMPT_MODULE_COMMAND_NOTE);
            EXPECT_TRUE(note == 0 || note == XM_NOTE_OFF) << "row " << row;
        }
}

TEST(Music, TonalInstrumentsPlayAtTruePitch) {
    // A-4 (note 58) is 440 Hz on the XM clock's C-4 of 8363 / 32 Hz: 440 *
    // 8363 / 32 / 261.626 = 439.6 Hz; A-1 is three octaves below.
    double a4 = 8363.0 / 32 * std::pow(2.0, 9 / 12.0);
    EXPECT_NEAR(sounding_frequency(synth_lead(), 58), a4, a4 * 0.01);
    EXPECT_NEAR(sounding_frequency(synth_bass(), 22), a4 / 8, a4 / 8 * 0.02);
}
