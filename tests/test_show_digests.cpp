// The whole show in lockstep at 60 frames a second from the built-in content,
// digested: for every 30th frame the song's position, a hash of the 320 x 200
// frame and a hash of the music of the 30 frames up to it. The digests are
// compared line by line with tests/show_digests.txt; after a deliberate change
// of the content or of what is drawn, `make digests` writes that file anew
// (this program with VORN_WRITE_DIGESTS naming the file). The same digests
// hold for a run whose state is swapped with a run aside's between every two
// frames, and every order's kept state goes on as the uninterrupted run did.
#include "data/builtin.h"
#include "data/surface.h"
#include "director/show_parts.h"
#include "director/timeline.h"
#include "platform/sound.h"
#include "presentation/outputs/show_digests.h"
#include "presentation/seeking/kept_states.h"
#include "presentation/seeking/show_state.h"
#include "presentation/show.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// One frame as the show left it: its order, its picture and its music.
struct FrameSeen {
    uint32_t order;
    uint64_t picture, music;
};

FrameSeen frame_seen() {
    const std::vector<uint32_t>& pixels = surface_virtual1->pixels;
    return {FMUSIC_GetOrder(music_song), fnv1a(FNV_BASIS, pixels.data(), pixels.size() * 4),
            fnv1a(FNV_BASIS, demo_lockstep_samples.data(), demo_lockstep_samples.size() * 2)};
}

bool operator==(const FrameSeen& a, const FrameSeen& b) {
    return a.order == b.order && a.picture == b.picture && a.music == b.music;
}

// A run aside in the gaps between the show's frames, as keep_ahead computes
// one: its own song and state, swapped in, one frame drawn in six gaps of
// seven (so it falls behind and draws other frames than the show), swapped
// out.
struct RunAside {
    MusicSong* song = nullptr;
    AsideState* state = nullptr;
    uint32_t gaps = 0;
};

void step_aside(RunAside* aside) {
    swap_aside_state(aside->state);
    SongPlace place{};
    if (++aside->gaps % 7 && sound_aside_frame(aside->song, 60, &place)) {
        const uint32_t order = FMUSIC_GetOrder(aside->song);
        if (part_for_order(order) != PART_END_OF_SHOW)
            director_draw(order, FMUSIC_GetRow(aside->song));
    }
    swap_aside_state(aside->state);
}

// The digest lines of the whole show, with a run aside between its frames
// when asked, and every frame as seen. The show is left stopped but not
// ended, its kept states there.
std::vector<std::string> show_digests(bool with_aside, std::vector<FrameSeen>* frames) {
    pack_builtin = builtin_pack();
    const Blob module = builtin_module();
    music_song = FMUSIC_LoadSongMemory(module.data, module.size);
    EXPECT_NE(music_song, nullptr);
    CommandLine options;
    options.width = 320;
    options.height = 200;
    options.fps = 60;
    LockstepRun run{};
    EXPECT_EQ(start_lockstep_show(options, &run), 1);
    RunAside aside;
    if (with_aside) {
        aside.song = sound_song_aside(music_song);
        aside.state = set_aside_show_state();
        EXPECT_TRUE(aside.song && aside.state);
    }
    std::vector<std::string> lines;
    ShowDigests digests{FNV_BASIS};
    std::string line;
    while (digest_next_frame(&run, &digests, &line) && run.frame <= 40000) {
        if (!line.empty()) lines.push_back(line);
        if (frames) frames->push_back(frame_seen());
        if (aside.state) step_aside(&aside);
    }
    if (aside.song) FMUSIC_FreeSong(aside.song);
    release_aside_state(aside.state);
    return lines;
}

void end_show() {
    stop_lockstep_show();
    pack_builtin = {nullptr, 0};
}

std::vector<std::string> recorded_digests() {
    std::ifstream file(VORN_SOURCE_DIR "/tests/show_digests.txt");
    EXPECT_TRUE(file.good()) << "tests/show_digests.txt is missing: run make digests";
    std::vector<std::string> recorded;
    for (std::string line; std::getline(file, line);)
        if (!line.empty() && line[0] != '#') recorded.push_back(line);
    return recorded;
}

void expect_recorded(const std::vector<std::string>& lines) {
    const std::vector<std::string> recorded = recorded_digests();
    size_t reported = 0;
    for (size_t i = 0; i < lines.size() && i < recorded.size() && reported < 5; i++)
        if (lines[i] != recorded[i]) {
            ADD_FAILURE() << "frame " << (i + 1) * DIGEST_EVERY << ":\n  now      " << lines[i]
                          << "\n  recorded " << recorded[i];
            reported++;
        }
    EXPECT_EQ(lines.size(), recorded.size()) << "the show's length changed";
}

} // namespace

TEST(ShowDigests, EveryThirtiethFrameMatchesTheRecordedDigests) {
    const std::vector<std::string> lines = show_digests(false, nullptr);
    end_show();
    ASSERT_GT(lines.size(), 600u);
    if (const char* out = std::getenv("VORN_WRITE_DIGESTS")) {
        std::ofstream file(out);
        file << "# frame order row frame-hash music-hash (FNV-1a/64), every " << DIGEST_EVERY
             << "th frame at 60 fps\n";
        for (const std::string& line : lines) file << line << "\n";
        ASSERT_TRUE(file.good()) << "cannot write " << out;
        std::printf("wrote %zu digests to %s\n", lines.size(), out);
        return;
    }
    expect_recorded(lines);
}

// The run aside's swaps between every two frames leave the show's frames as
// recorded; then each order's kept state, restored, draws the frames the run
// drew from that order's start on.
TEST(ShowDigests, SwapsAsideAndKeptStatesGoOnAsTheUninterruptedRun) {
    if (std::getenv("VORN_WRITE_DIGESTS")) GTEST_SKIP() << "writing the digests";
    std::vector<FrameSeen> frames;
    expect_recorded(show_digests(true, &frames));
    uint32_t restored = 0;
    for (size_t first = 0; first < frames.size(); first++) {
        const uint32_t order = frames[first].order;
        if (first > 0 && frames[first - 1].order == order) continue;
        uint32_t kept = 0;
        uint64_t sample = 0;
        if (!nearest_kept_state(order, 60, &kept, &sample) || kept != order) continue;
        ASSERT_EQ(restore_kept_state(order), 1) << "order " << order;
        restored++;
        draw_show_frame(); // its share of the song came with the state
        for (size_t k = first; k < first + 3 && k < frames.size(); k++) {
            if (k > first) next_show_frame();
            EXPECT_TRUE(frame_seen() == frames[k]) << "order " << order << ", frame " << k;
        }
    }
    end_show();
    EXPECT_GE(restored, 40u);
}
