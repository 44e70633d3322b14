// The timeline's own logic, driven by music positions set here: what changes on
// which row, and what carries over beyond the show's own frames. (The counters
// the show carries from order to order are in the show's digests.)
#include "data/assets.h"
#include "data/render_resources.h"
#include "data/surface.h"
#include "director/timeline.h"
#include "director/timeline_effects.h"
#include "effects/effect_tables.h"
#include "engine3d/math.h"
#include "frame_support.h"
#include "platform/sound.h"
#include "presentation/display.h"
#include "presentation/live/demo_run.h"
#include "short_module.h"

#include <gtest/gtest.h>

#include <set>

namespace {

Buffer solid_rgb(size_t pixels, uint8_t r, uint8_t g, uint8_t b) {
    Buffer out;
    for (size_t i = 0; i < pixels; i++) out.insert(out.end(), {r, g, b});
    return out;
}

class TimelineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        create_working_surface();
        build_angle_tables();
        set_view_geometry(FRAME_WIDTH, FRAME_HEIGHT);
        alloc_render_buffers(FRAME_WIDTH, FRAME_HEIGHT);
        init_effect_tables(ModeRecord{640, 480, 0, 32, 0xFF0000, 0xFF00, 0xFF});
        timeline = TimelineState{};
    }
    void TearDown() override {
        free_all_assets();
        release_effect_tables();
        release_working_surface();
    }
};

} // namespace

TEST_F(TimelineTest, TitleWordsAppearOnTheirRows) {
    pic_006 = solid_rgb(FRAME_PIXELS, 0, 0, 0);
    // Each word with its size and a pixel it covers alone (the words overlap their neighbours).
    const struct {
        Buffer *pic, *mask;
        size_t size;
        int x, y;
    } words[4] = {{&pic_vorn, &mask_vorn, 113 * 57, 10, 10},
                  {&pic_start, &mask_start, 126 * 54, 100, 80},
                  {&pic_the, &mask_the, 95 * 54, 200, 140},
                  {&pic_unive, &mask_unive, 218 * 55, 300, 190}};
    for (int i = 0; i < 4; i++) {
        *words[i].pic = solid_rgb(words[i].size, uint8_t(250 - 50 * i), 0, 0);
        *words[i].mask = Buffer(words[i].size, 0);
    }
    // Order, row and how many words show: each appears on its row and stays.
    const uint32_t cases[][3] = {{4, 4, 0}, {4, 5, 1}, {4, 36, 1}, {4, 37, 2},
                                 {5, 0, 2}, {5, 5, 3}, {5, 32, 3}, {5, 33, 4}};
    for (const auto& c : cases) {
        director_draw(c[0], c[1]);
        for (uint32_t i = 0; i < 4; i++) {
            // Light bands add at most 30 to black; a word is far brighter.
            const uint32_t red = pixel(words[i].x, words[i].y) >> 16;
            EXPECT_EQ(red > 60, i < c[2])
                << "order " << c[0] << " row " << c[1] << " word " << i << " red " << red;
        }
    }
}

// The vkocka camera (made on order 7) jolts on two rows of sixteen in orders
// 10 to 12 only; on order 16 it retreats by 10 a frame, the distance wrapping
// at 65,536, far beyond the show's own frames of that order.
TEST_F(TimelineTest, CameraJoltsInOrdersTenToTwelveAndRetreatWraps) {
    const std::set<uint32_t> jolt_rows = {8, 9, 24, 25, 40, 41, 56, 57};
    for (uint32_t order = 7; order <= 15; order++)
        for (uint32_t row = 0; row < 64; row++) {
            director_draw(order, row);
            const bool jolt = order >= 10 && order <= 12 && jolt_rows.count(row);
            ASSERT_EQ(camera_vkocka.position.y, jolt ? 100.0f : 0.0f)
                << "order " << order << " row " << row;
        }
    director_draw(16, 0);
    EXPECT_EQ(camera_vkocka.position.z, 950.0f);
    timeline.camera_retreat = 65530;
    director_draw(16, 0);
    EXPECT_EQ(camera_vkocka.position.z, 950.0f + 65530.0f);
    director_draw(16, 0);
    EXPECT_EQ(camera_vkocka.position.z, 954.0f);
}

TEST_F(TimelineTest, GreetingCardGivesWayToTheInterludeAtRow32) {
    pic_eye = solid_rgb(FRAME_PIXELS, 0, 0, 40);
    pic_greet1 = solid_rgb(90 * 30, 255, 255, 255);
    pic_tex = solid_rgb(FRAME_PIXELS, 255, 0, 0);
    map_displace = Buffer(FRAME_PIXELS, 7);
    director_draw(17, 0); // the path tables are made on order 17
    director_draw(20, 31);
    EXPECT_EQ(map_displace[0], 7) << "the cycling mask does not run on the card half";
    EXPECT_EQ(pixel(50, 100) & 0xFFFFFF, 0xFFFFFFu) << "the card is drawn at (5, 85)";
    director_draw(20, 32);
    EXPECT_EQ(map_displace[0], 8);
    EXPECT_EQ(pixel(50, 100), (255u & 7u) << 16) << "red ANDed with the map before it counts";
}

// The whole frame with a music position pinned on a real song: the scene, then
// the blit; the end of the show at order 42 draws nothing and asks to close.
TEST_F(TimelineTest, EveryFrameEndsWithTheBlitAndOrder42EndsTheShow) {
    ASSERT_EQ(init_memory_display(640, 400), 1);
    sound_set_lockstep(1, 60);
    const std::vector<uint8_t> module = make_short_module(2, 16, 6, 125);
    music_song = FMUSIC_LoadSongMemory(module.data(), module.size());
    ASSERT_NE(music_song, nullptr);
    pic_logo = solid_rgb(FRAME_PIXELS, 10, 20, 30);
    pic_odjava = solid_rgb(FRAME_PIXELS, 200, 100, 50);
    const auto frame_at = [](uint32_t order, uint32_t row) {
        sound_pin_position(music_song, 1, order, row);
        return director_frame(music_song);
    };
    const std::vector<uint32_t>& back = surface_back->pixels;

    EXPECT_EQ(frame_at(42, 0), 0); // the very first frame
    EXPECT_EQ(frame_at(1, 0), 1);
    ASSERT_EQ(back.size(), 640u * 400u);
    for (uint32_t p : back) ASSERT_EQ(p & 0xFFFFFF, 0x0A141Eu);
    EXPECT_EQ(frame_at(41, 63), 1);
    EXPECT_EQ(back[123] & 0xFFFFFF, 0xC86432u);
    EXPECT_EQ(frame_at(0xFFFFFFFF, 0), 0); // "negative" orders are large
    EXPECT_EQ(back[123] & 0xFFFFFF, 0xC86432u) << "the last picture stays";

    FMUSIC_FreeSong(music_song);
    music_song = nullptr;
    sound_set_lockstep(0, 60);
    release_display();
}
