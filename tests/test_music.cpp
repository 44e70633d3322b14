#include "music_compose.h"
#include "xm_writer.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>
#include <xmp.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using ModulePtr = std::unique_ptr<openmpt_module, void (*)(openmpt_module*)>;

ModulePtr load(const std::vector<uint8_t>& bytes) {
    openmpt_module* module = openmpt_module_create_from_memory2(
        bytes.data(), bytes.size(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    return ModulePtr(module, openmpt_module_destroy);
}

} // namespace

// Small enough to carry in the program, the same bytes from every run, and
// libxmp reads it as libopenmpt does. What it plays up to the last order (its
// cues on the scenes' rows, every greetings order's own lines, the
// instruments' tuning) is heard through the show's own player and pinned by
// the music digests of show_digests.txt.
TEST(Music, BothPlayersReadTheShowAlike) {
    const std::vector<uint8_t> bytes = xm_serialise(compose_music());
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

// The last order plays past the last digest line (the show ends within it): it
// lands on the final hit, and after row 8 starts or releases no note: only that
// hit's tail is heard.
TEST(Music, TheLastOrderIsTheFinalHitAndItsTail) {
    const XmModule music = compose_music();
    ASSERT_FALSE(music.orders.empty());
    const XmPattern& last = music.patterns.at(music.orders.back());
    int crash = 0;
    for (size_t i = 0; i < music.instruments.size(); i++)
        if (music.instruments[i].name == "crash") crash = int(i) + 1;
    ASSERT_GT(crash, 0);
    bool hit = false;
    for (int channel = 0; channel < last.channels; channel++)
        hit |= xm_cell(last, 0, channel).instrument == crash;
    EXPECT_TRUE(hit);
    for (int row = 8; row < last.rows; row++)
        for (int channel = 0; channel < last.channels; channel++)
            EXPECT_EQ(xm_cell(last, row, channel).note, XM_NOTE_NONE) << "row " << row;
}

// The drums breathe: within each section of the show no order plays the same
// four drum bars as the order before it, and each section draws on more bars
// than it has orders. A bar is which drums start on each of its sixteen rows,
// whatever their volume (the sections rise in level order by order).
TEST(Music, NoTwoNeighbouringOrdersOfASectionShareEveryDrumBar) {
    const XmModule music = compose_music();
    std::vector<int> drum_of(music.instruments.size() + 1, 0); // instrument -> bit
    const char* const DRUMS[] = {"kick", "snare", "closed hat", "open hat"};
    for (size_t i = 0; i < music.instruments.size(); i++)
        for (int d = 0; d < 4; d++)
            if (music.instruments[i].name == DRUMS[d]) drum_of[i + 1] = 1 << d;
    auto bars_of = [&](int order) {
        const XmPattern& pattern = music.patterns.at(music.orders.at(size_t(order)));
        std::vector<std::string> bars(size_t(pattern.rows / 16), std::string(16, '0'));
        for (int row = 0; row < pattern.rows; row++)
            for (int channel = 0; channel < pattern.channels; channel++) {
                const XmCell& cell = xm_cell(pattern, row, channel);
                if (cell.note >= 1 && cell.note <= 96 && cell.instrument < drum_of.size())
                    bars[size_t(row / 16)][size_t(row % 16)] |= char(drum_of[cell.instrument]);
            }
        return bars;
    };
    const struct {
        int first, last;
    } SECTIONS[] = {{2, 3},   {4, 5},   {7, 9},   {10, 12}, {13, 15},
                    {17, 26}, {27, 28}, {29, 34}, {35, 38}, {39, 41}};
    for (const auto& section : SECTIONS) {
        std::set<std::string> distinct;
        for (int order = section.first; order <= section.last; order++) {
            const std::vector<std::string> bars = bars_of(order);
            distinct.insert(bars.begin(), bars.end());
            if (order > section.first) {
                EXPECT_NE(bars, bars_of(order - 1)) << "orders " << order - 1 << " and " << order;
            }
        }
        EXPECT_GT(distinct.size(), size_t(section.last - section.first + 1))
            << "orders " << section.first << "-" << section.last;
    }
}
