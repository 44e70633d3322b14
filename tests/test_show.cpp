// The whole show in lockstep from the built-in content: everything loaded on
// the way is released at its end, a run started at order 17 begins as the
// whole run was there, and without any item the pictures' scenes stay empty.
// (That every scene draws and the show ends by itself is measured by
// missing_items.sh, its frames and sound by the digests.)
#include "data/assets.h"
#include "data/builtin.h"
#include "data/render_resources.h"
#include "director/timeline.h"
#include "engine3d/scenes.h"
#include "frame_support.h"
#include "platform/sound.h"
#include "presentation/outputs/lockstep.h"
#include "presentation/show.h"
#include "support.h"

namespace {

CommandLine lockstep_options(uint32_t start_order = 0) {
    CommandLine options;
    options.width = 320, options.height = 200, options.fps = 60, options.start_order = start_order;
    return options;
}

void load_builtin_song() {
    const Blob module = builtin_module();
    music_song = FMUSIC_LoadSongMemory(module.data, module.size);
    ASSERT_NE(music_song, nullptr);
}

} // namespace

TEST(WholeShow, PlaysToItsEndAndReleasesEverything) {
    pack_builtin = builtin_pack();
    load_builtin_song();
    LockstepRun run{};
    ASSERT_EQ(start_lockstep_show(lockstep_options(), &run), 1);
    // The first two frames of order 17 with their sound.
    std::vector<std::vector<uint32_t>> frames17;
    std::vector<std::vector<int16_t>> samples17;
    for (uint32_t frames = 0; render_lockstep_frame(&run) && frames < 40000; frames++)
        if (FMUSIC_GetOrder(music_song) == 17 && frames17.size() < 2) {
            frames17.push_back(surface_back->pixels);
            samples17.push_back(demo_lockstep_samples);
        }
    EXPECT_TRUE(demo_close_requested) << "the show asks to close by itself";

    stop_lockstep_show();
    for (size_t i = 0; i < asset_slot_count; i++)
        EXPECT_TRUE(asset_slots[i].slot->empty()) << asset_slots[i].entry;
    EXPECT_TRUE(!texture_table && !depth_buffer && !sphere_table);
    EXPECT_TRUE(scene_vkocka.object_count == 0 && scene_istu.objects.empty());
    free_all_assets(); // a second release finds nothing to release

    // Started at order 17, the recording begins with the frames and the sound
    // the whole run had there.
    load_builtin_song();
    run = LockstepRun{};
    ASSERT_EQ(start_lockstep_show(lockstep_options(17), &run), 1);
    ASSERT_EQ(frames17.size(), 2u);
    for (int i = 0; i < 2; i++) {
        ASSERT_EQ(render_lockstep_frame(&run), 1);
        EXPECT_EQ(FMUSIC_GetOrder(music_song), 17u);
        EXPECT_TRUE(surface_back->pixels == frames17[i]) << "frame " << i;
        EXPECT_EQ(demo_lockstep_samples, samples17[i]) << "frame " << i;
    }
    stop_lockstep_show();
    pack_builtin = {nullptr, 0};
}

// The logo and the end picture are pictures only: with none, the logo's
// frames stay black and the end picture's frames keep what came before.
TEST(WholeShow, WithoutAnyPictureOrModelThePictureScenesStayEmpty) {
    ScopedDirectory empty_directory; // no loose files and no demo.qxd
    pack_builtin = {nullptr, 0};
    load_builtin_song();
    LockstepRun run{};
    ASSERT_EQ(start_lockstep_show(lockstep_options(), &run), 1);
    for (size_t i = 0; i < asset_slot_count; i++)
        EXPECT_TRUE(asset_slots[i].slot->empty()) << asset_slots[i].entry;
    EXPECT_EQ(scene_brain.object_count + scene_istu.object_count, 0);
    std::vector<uint32_t> before_end;
    uint32_t frames = 0, logo_frames = 0, end_frames = 0;
    while (render_lockstep_frame(&run) && ++frames <= 40000) {
        const ShowPart part = part_for_order(FMUSIC_GetOrder(music_song));
        if (part == PART_LOGO) {
            logo_frames++;
            ASSERT_EQ(pixels_not(0), 0) << "frame " << frames;
        } else if (part == PART_END_PICTURE) {
            if (before_end.empty()) before_end = surface_virtual1->pixels;
            ASSERT_EQ(surface_virtual1->pixels, before_end) << "frame " << frames;
            end_frames++;
        }
    }
    EXPECT_GT(logo_frames, 0u);
    EXPECT_GT(end_frames, 0u);
    stop_lockstep_show();
}
