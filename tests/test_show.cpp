// The whole show in lockstep from the built-in content: it plays from the logo
// to its own end, every scene draws, and everything loaded is released.
#include "data/assets.h"
#include "data/builtin.h"
#include "data/render_resources.h"
#include "data/surface.h"
#include "director/timeline.h"
#include "engine3d/scenes.h"
#include "presentation/capture.h"
#include "presentation/demo_run.h"
#include "presentation/sound.h"
#include "support.h"

#include <gtest/gtest.h>

#include <set>

namespace {

CommandLine lockstep_options() {
    CommandLine options;
    options.width = 320;
    options.height = 200;
    options.fps = 60;
    return options;
}

MusicSong* load_builtin_song() {
    const Blob module = builtin_module();
    return FMUSIC_LoadSongMemory(module.data, module.size);
}

// Runs the show to its end; records which scenes changed the frame.
struct ShowRun {
    uint32_t frames = 0;
    uint32_t last_order = 0;
    std::set<int> scenes_seen;
    std::set<int> scenes_that_drew;
    // The first two frames of order 17 with their sound.
    std::vector<std::vector<uint32_t>> order17_frames;
    std::vector<std::vector<int16_t>> order17_samples;
};

ShowRun run_show() {
    ShowRun result;
    LockstepRun run{};
    EXPECT_EQ(start_lockstep_show(lockstep_options(), &run), 1);
    std::vector<uint32_t> previous = surface_virtual1->pixels;
    // After a frame the song still stands where the director read it.
    while (render_lockstep_frame(&run)) {
        const uint32_t order = FMUSIC_GetOrder(music_song);
        const int scene = scene_for_order(order);
        result.scenes_seen.insert(scene);
        if (surface_virtual1->pixels != previous) result.scenes_that_drew.insert(scene);
        previous = surface_virtual1->pixels;
        if (order == 17 && result.order17_frames.size() < 2) {
            result.order17_frames.push_back(surface_back->pixels);
            result.order17_samples.push_back(run.samples);
        }
        if (++result.frames > 40000) break; // a runaway show fails below
    }
    result.last_order = FMUSIC_GetOrder(music_song);
    return result;
}

} // namespace

TEST(WholeShow, PlaysToItsEndAndReleasesEverything) {
    pack_builtin = builtin_pack();
    music_song = load_builtin_song();
    ASSERT_NE(music_song, nullptr);
    const ShowRun show = run_show();

    EXPECT_TRUE(demo_close_requested) << "the show asks to close by itself";
    EXPECT_GE(show.last_order, show_scenes[SCENE_END_OF_SHOW].first_order);
    EXPECT_LT(show.frames, 40000u);
    // About 330 s of music at 60 frames a second.
    EXPECT_NEAR(show.frames, 330 * 60, 600);
    for (int scene = 0; scene < SCENE_END_OF_SHOW; scene++) {
        EXPECT_TRUE(show.scenes_seen.count(scene)) << show_scenes[scene].name << " never ran";
        EXPECT_TRUE(show.scenes_that_drew.count(scene))
            << show_scenes[scene].name << " drew nothing";
    }

    stop_lockstep_show();
    for (size_t i = 0; i < asset_slot_count; i++)
        EXPECT_TRUE(asset_slots[i].slot->empty()) << asset_slots[i].entry;
    EXPECT_EQ(texture_table, nullptr);
    EXPECT_EQ(depth_buffer, nullptr);
    EXPECT_EQ(sphere_table, nullptr);
    EXPECT_EQ(scene_vkocka.object_count, 0);
    EXPECT_TRUE(scene_istu.objects.empty());
    free_all_assets(); // a second release finds nothing to release
    EXPECT_EQ(texture_table, nullptr);

    // Started at order 17, the recording begins with the frames and the sound
    // the whole run had there.
    music_song = load_builtin_song();
    CommandLine from_17 = lockstep_options();
    from_17.start_order = 17;
    LockstepRun run{};
    ASSERT_EQ(start_lockstep_show(from_17, &run), 1);
    ASSERT_EQ(show.order17_frames.size(), 2u);
    for (int i = 0; i < 2; i++) {
        ASSERT_EQ(render_lockstep_frame(&run), 1);
        EXPECT_EQ(FMUSIC_GetOrder(music_song), 17u);
        EXPECT_TRUE(surface_back->pixels == show.order17_frames[i]) << "frame " << i;
        EXPECT_EQ(run.samples, show.order17_samples[i]) << "frame " << i;
    }
    stop_lockstep_show();
    pack_builtin = {nullptr, 0};
}

TEST(WholeShow, WithoutAnyPictureOrModelStillPlaysToItsEnd) {
    ScopedDirectory empty_directory; // no loose files and no demo.qxd
    pack_builtin = {nullptr, 0};
    music_song = load_builtin_song();
    ASSERT_NE(music_song, nullptr);
    LockstepRun run{};
    ASSERT_EQ(start_lockstep_show(lockstep_options(), &run), 1);
    for (size_t i = 0; i < asset_slot_count; i++)
        EXPECT_TRUE(asset_slots[i].slot->empty()) << asset_slots[i].entry;
    EXPECT_EQ(scene_brain.object_count, 0);
    EXPECT_EQ(scene_istu.object_count, 0);

    // The logo and the end picture are pictures only: with none, the logo's
    // frames stay black and the end picture's frames keep what came before.
    std::vector<uint32_t> before_end;
    uint32_t frames = 0, logo_frames = 0, end_frames = 0;
    while (render_lockstep_frame(&run) && ++frames <= 40000) {
        const ShowScene scene = scene_for_order(FMUSIC_GetOrder(music_song));
        if (scene == SCENE_LOGO) {
            logo_frames++;
            for (uint32_t p : surface_virtual1->pixels) ASSERT_EQ(p, 0u);
        } else if (scene == SCENE_END_PICTURE) {
            if (before_end.empty()) before_end = surface_virtual1->pixels;
            ASSERT_EQ(surface_virtual1->pixels, before_end);
            end_frames++;
        }
    }
    EXPECT_GT(logo_frames, 0u);
    EXPECT_GT(end_frames, 0u);
    EXPECT_TRUE(demo_close_requested);
    EXPECT_GE(FMUSIC_GetOrder(music_song), show_scenes[SCENE_END_OF_SHOW].first_order);
    stop_lockstep_show();
}
