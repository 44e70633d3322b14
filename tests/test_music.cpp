#include "music_compose.h"
#include "xm_writer.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>
#include <xmp.h>

#include <memory>
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
