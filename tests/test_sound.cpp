#include "platform/module_data.h"
#include "platform/sound.h"
#include "short_module.h"
#include "support.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <thread>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;
using Position = std::pair<uint32_t, uint32_t>;

MusicSong* load(const std::vector<uint8_t>& bytes) {
    MusicSong* song = FMUSIC_LoadSongMemory(bytes.data(), bytes.size());
    EXPECT_NE(song, nullptr);
    return song;
}

// The order is read before its row (a braced list is evaluated left to right).
Position position(MusicSong* song) {
    return {FMUSIC_GetOrder(song), FMUSIC_GetRow(song)};
}

// What one lockstep run produced: every frame's samples and position.
struct PlayedFrames {
    std::vector<int16_t> samples;
    std::vector<size_t> frame_sizes;
    std::vector<Position> positions;
};

PlayedFrames run_frames(MusicSong* song, int frames) {
    PlayedFrames run;
    std::vector<int16_t> out;
    for (int i = 0; i < frames; i++) {
        run.frame_sizes.push_back(sound_lockstep_frame(song, &out));
        run.samples.insert(run.samples.end(), out.begin(), out.end());
        run.positions.push_back(position(song));
    }
    return run;
}

class Sound : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        reset();
    }
    void TearDown() override { reset(); }
    static void reset() {
        FSOUND_Close();
        sound_set_lockstep(0, 60);
        FSOUND_SetMixer(0);
        FSOUND_SetOutput(SOUND_OUTPUT_SOUND_SERVER);
        FSOUND_SetDriver(0);
        sound_set_builtin_module(1);
    }
    // Lockstep playback of a fresh song at the given rate and fps.
    static MusicSong* start_lockstep(const std::vector<uint8_t>& bytes, int rate, int fps) {
        sound_set_lockstep(1, fps);
        EXPECT_EQ(FSOUND_Init(rate, 256, 0), 1);
        MusicSong* song = load(bytes);
        EXPECT_EQ(FMUSIC_PlaySong(song), 1);
        return song;
    }
    static void finish(MusicSong* song) {
        FMUSIC_FreeSong(song);
        FSOUND_Close();
    }
};

// Calls out of order or out of range fail with their code; the text look-up
// at the table's ends and past them (the device error's text is checked where shown).
TEST_F(Sound, CallOrderErrorsAndTheirText) {
    EXPECT_STREQ(sound_error_text(0), "No errors");
    EXPECT_STREQ(sound_error_text(19), "Recording not supported on this device");
    EXPECT_STREQ(sound_error_text(20), "Unknown error");
    EXPECT_STREQ(sound_error_text(-1), "Unknown error");
    // A call's result with the error left after it.
    auto failed = [](int result) { return std::make_pair(result, FSOUND_GetError()); };
    MusicSong* song = load(make_short_module(1, 4, 6, 125));
    EXPECT_EQ(failed(FMUSIC_PlaySong(song)), std::make_pair(0, int(SOUND_ERR_UNINITIALIZED)));

    FSOUND_SetOutput(SOUND_OUTPUT_NONE);
    // The highest and lowest rates the settings keep open; one step out does not.
    for (int rate : {SOUND_RATE_MIN - 1, SOUND_RATE_MAX + 1})
        EXPECT_EQ(failed(FSOUND_Init(rate, 256, 0)),
                  std::make_pair(0, int(SOUND_ERR_INVALID_PARAM)));
    for (int rate : {SOUND_RATE_MIN, 192000}) {
        EXPECT_EQ(FSOUND_Init(rate, 256, 0), 1) << rate;
        FSOUND_Close();
    }
    ASSERT_EQ(FSOUND_Init(44100, 256, 0), 1);
    EXPECT_EQ(failed(FSOUND_Init(44100, 256, 0)), std::make_pair(0, int(SOUND_ERR_BUSY)));
    EXPECT_EQ(failed(FSOUND_SetOutput(SOUND_OUTPUT_ALSA)), std::make_pair(0, int(SOUND_ERR_BUSY)));
    EXPECT_EQ(FSOUND_SetBufferSize(200), 0);
    EXPECT_EQ(failed(FSOUND_SetMixer(9)), std::make_pair(0, int(SOUND_ERR_INVALID_MIXER)));
    EXPECT_EQ(sound_mixer_name(9), nullptr);
    EXPECT_EQ(FSOUND_SetMixer(8), 1); // the mixer may change while open
    EXPECT_NE(sound_mixer_name(8), nullptr);
    EXPECT_EQ(failed(FMUSIC_SetMasterVolume(song, 257)),
              std::make_pair(0, int(SOUND_ERR_INVALID_PARAM)));
    EXPECT_EQ(FMUSIC_PlaySong(song), 1);

    FSOUND_Close();
    FSOUND_Close(); // harmless twice
    EXPECT_EQ(FSOUND_SetOutput(SOUND_OUTPUT_ALSA), 1);
    EXPECT_EQ(FSOUND_SetOutput(0), 0);
    EXPECT_EQ(FMUSIC_FreeSong(song), 1);
}

// Each output lists its drivers, the first one named; the dummy driver stands in
// for the desktop's sound server here.
TEST_F(Sound, DriversOfEachOutput) {
    for (auto [output, first] : {std::pair{SOUND_OUTPUT_NONE, "No sound"},
                                 {SOUND_OUTPUT_SOUND_SERVER, "Default device"}}) {
        FSOUND_SetOutput(output);
        const int count = FSOUND_GetNumDrivers();
        ASSERT_GE(count, 1);
        EXPECT_STREQ(FSOUND_GetDriverName(0), first);
        EXPECT_EQ(FSOUND_GetDriverName(count), nullptr);
    }
    EXPECT_EQ(FSOUND_Init(44100, 256, 0), 1); // enumerating leaves the output to open
}

// A module in the current directory is played. Without one there (no file, a file that is
// no module, a directory or a FIFO in its place, which must not stall the start) the load
// fails with its code, or plays the built-in module when that is enabled, saying so in
// one line unless there simply is no file.
TEST_F(Sound, LoadSongLooksInTheCurrentDirectoryFirst) {
    ScopedDirectory directory;
    const int errors[] = {SOUND_ERR_FILE_NOT_FOUND, SOUND_ERR_NONE, SOUND_ERR_FILE_FORMAT,
                          SOUND_ERR_FILE_BAD, SOUND_ERR_FILE_BAD};
    for (int kind = 0; kind < 5; kind++) { // none, a module, junk, a directory, a FIFO
        SCOPED_TRACE(kind);
        std::filesystem::remove_all("system2.xm");
        if (kind == 1) write_file("system2.xm", make_short_module(1, 4, 6, 125));
        if (kind == 2) write_file("system2.xm", {'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'd'});
        if (kind == 3) std::filesystem::create_directory("system2.xm");
        if (kind == 4) {
            ASSERT_EQ(mkfifo("system2.xm", 0600), 0);
        }
        for (int builtin : {0, 1}) {
            sound_set_builtin_module(builtin);
            testing::internal::CaptureStderr();
            MusicSong* song = FMUSIC_LoadSong("system2.xm");
            const std::string said = testing::internal::GetCapturedStderr();
            EXPECT_EQ(song != nullptr, builtin || kind == 1) << builtin;
            if (song)
                FMUSIC_FreeSong(song);
            else
                EXPECT_EQ(FSOUND_GetError(), errors[kind]);
            const bool explained = builtin && kind >= 2;
            EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), explained ? 1 : 0) << said;
            EXPECT_EQ(said.find("system2.xm cannot be loaded") != std::string::npos, explained);
        }
    }
}

// Over N frames the samples total rate * N / fps, rounded down. The song is
// audible and moves, and playing it again starts it afresh: the same frames,
// samples and positions.
TEST_F(Sound, LockstepFramesCarryTheRemainderAndRepeatExactly) {
    MusicSong* song = start_lockstep(make_short_module(8, 16, 3, 140), 22050, 60); // 6.9 s
    const PlayedFrames a = run_frames(song, 300);
    uint64_t total = 0;
    for (size_t i = 0; i < a.frame_sizes.size(); i++) {
        total += a.frame_sizes[i];
        EXPECT_EQ(total, 22050 * (i + 1) / 60) << i;
    }
    EXPECT_EQ(a.samples.size(), 2 * total);
    EXPECT_NE(a.samples, std::vector<int16_t>(a.samples.size(), 0));
    EXPECT_NE(a.positions.front(), a.positions.back());

    ASSERT_EQ(FMUSIC_PlaySong(song), 1);
    EXPECT_EQ(position(song), Position(0, 0));
    const PlayedFrames b = run_frames(song, 300);
    EXPECT_EQ(a.frame_sizes, b.frame_sizes);
    EXPECT_EQ(a.positions, b.positions);
    EXPECT_EQ(a.samples, b.samples);
    finish(song);
}

// After n frames at 60 fps and 44,100 Hz, 735 n samples are rendered; away from row boundaries
// (one tick of margin) the row is the count of whole rows of speed * 2.5 / bpm s in that time.
TEST_F(Sound, PositionFollowsSpeedAndTempo) {
    for (auto [speed, bpm] : {std::pair{6, 125}, {3, 150}, {4, 90}}) {
        SCOPED_TRACE(bpm);
        const int rows = 32, tick = 44100 * 5 / (2 * bpm); // whole samples at these tempos
        MusicSong* song = start_lockstep(make_short_module(20, rows, speed, bpm), 44100, 60);
        const int64_t row_samples = int64_t(speed) * tick;
        std::vector<int16_t> out;
        int checked = 0;
        for (int64_t n = 1; n <= 1200; n++) {
            ASSERT_EQ(sound_lockstep_frame(song, &out), 735u);
            int64_t rendered = 735 * n;
            int64_t into_row = rendered % row_samples;
            if (into_row < tick || into_row > row_samples - tick) continue;
            int64_t whole_rows = rendered / row_samples;
            ASSERT_EQ(position(song),
                      Position(uint32_t(whole_rows / rows), uint32_t(whole_rows % rows)))
                << "frame " << n;
            checked++;
        }
        EXPECT_GT(checked, 300);
        // The time of a position at the same tempo (within a sixth of a row): order 2, row 5.
        const double row_seconds = double(row_samples) / 44100;
        EXPECT_NEAR(sound_order_seconds(song, 2), 2 * rows * row_seconds, 0.01);
        EXPECT_NEAR(sound_position_seconds(song, 2, 5), (2 * rows + 5) * row_seconds, 0.01);
        // Every order's time, asked in any order and again, the same each
        // time (the library's ticks drift from whole samples by a few ms in
        // a minute); past the last order, the length.
        const double late = sound_order_seconds(song, 19);
        EXPECT_NEAR(late, 19 * rows * row_seconds, 0.03);
        EXPECT_EQ(sound_order_seconds(song, 0), 0.0);
        EXPECT_NEAR(sound_order_seconds(song, 7), 7 * rows * row_seconds, 0.03);
        EXPECT_EQ(sound_order_seconds(song, 19), late);
        EXPECT_NEAR(sound_order_seconds(song, 20) - late, rows * row_seconds, 0.01);
        EXPECT_EQ(sound_order_seconds(song, 500), sound_order_seconds(song, 20));
        finish(song);
        // Timed only as far as asked, each order at the very time a playing
        // module's seek gives; the timing module let go once all are timed.
        const std::vector<uint8_t> bytes = make_short_module(20, rows, speed, bpm);
        OrderTimes times;
        ASSERT_TRUE(time_orders(bytes, 7, &times));
        EXPECT_EQ(times.starts.size(), 8u);
        ASSERT_TRUE(time_orders(bytes, 500, &times));
        ASSERT_EQ(times.starts.size(), 20u);
        EXPECT_EQ(times.module, nullptr);
        openmpt_module* playing = create_module(bytes);
        for (int32_t order = 0; order < 20; order++)
            EXPECT_EQ(times.starts[order],
                      openmpt_module_set_position_order_row(playing, order, 0));
        openmpt_module_destroy(playing);
        const std::vector<uint8_t> no_module(100, 7);
        OrderTimes none;
        EXPECT_FALSE(time_orders(no_module, 0, &none));
        EXPECT_FALSE(time_orders(no_module, 0, &none));
    }
}

// The row belongs to the order read just before it, even when the song has
// moved on in between; a second row read is fresh.
TEST_F(Sound, RowIsReadWithItsOrder) {
    MusicSong* song = start_lockstep(make_short_module(4, 8, 6, 125), 44100, 60);
    std::vector<int16_t> out;
    while (position(song) != Position(0, 7)) ASSERT_GT(sound_lockstep_frame(song, &out), 0u);
    ASSERT_EQ(FMUSIC_GetOrder(song), 0u);
    for (int i = 0; i < 8; i++) sound_lockstep_frame(song, &out); // 0.13 s: into order 1
    EXPECT_EQ(FMUSIC_GetRow(song), 7u);
    EXPECT_EQ(FMUSIC_GetRow(song), 0u);
    EXPECT_EQ(position(song), Position(1, 0));
    FMUSIC_FreeSong(song);
}

TEST_F(Sound, EndOfSongReportsOrderFortyTwoAtLeast) {
    for (auto [orders, end_order] : {std::pair{2, 42u}, {50, 50u}}) {
        SCOPED_TRACE(orders);
        MusicSong* song = start_lockstep(make_short_module(orders, 2, 1, 255), 44100, 60);
        // Each order lasts two ticks of 2.5 / 255 s: the song ends well within the frames given.
        std::vector<int16_t> out;
        int frames = 0;
        while (sound_lockstep_frame(song, &out) > 0) {
            ASSERT_LT(++frames, 200);
            if (orders == 50 && frames == 1) {
                EXPECT_LT(FMUSIC_GetOrder(song), 42u);
            }
        }
        EXPECT_TRUE(out.empty()); // no samples past the end
        // It stays there, played on or stopped.
        EXPECT_EQ(position(song), Position(end_order, 0));
        EXPECT_EQ(sound_lockstep_frame(song, &out), 0u);
        EXPECT_EQ(position(song), Position(end_order, 0));
        FMUSIC_StopSong(song);
        EXPECT_EQ(position(song), Position(end_order, 0));
        finish(song);
    }
}

// The master volume scales the samples; each mixer interpolates its own way.
TEST_F(Sound, MasterVolumeAndMixerShapeTheSamples) {
    const std::vector<uint8_t> bytes = make_short_module(1, 16, 6, 125);
    auto play = [&](int mixer, int volume) {
        FSOUND_SetMixer(mixer);
        MusicSong* song = start_lockstep(bytes, 44100, 60);
        FMUSIC_SetMasterVolume(song, volume);
        std::vector<int16_t> samples = run_frames(song, 20).samples;
        finish(song);
        return samples;
    };
    // Full and none; the show's own 150 is pinned by the music digests of show_digests.txt.
    const std::vector<int16_t> loud = play(0, 256), silent = play(0, 0);
    double loud_sum = 0;
    for (int16_t sample : loud) loud_sum += std::abs(sample);
    EXPECT_GT(loud_sum / loud.size(), 500.0); // clearly audible
    EXPECT_EQ(silent, std::vector<int16_t>(loud.size(), 0));

    const std::vector<int16_t> one = play(1, 256), three = play(3, 256), eight = play(8, 256);
    EXPECT_NE(one, three);
    EXPECT_NE(three, eight);
    EXPECT_NE(one, eight);
}

// A song of rows of 0.06 s at the show's start volume, without sound (the wall clock) and on the
// device (its buffer, a quarter of 200 ms rounded down to a power of two, yet to be heard). The
// row heard lies between the rows that fit in the time since playback surely began (after
// FMUSIC_PlaySong returned), less the slack, and since it could have begun (before the call).
// Paused, the position stands still however long it waits; resumed, it moves on; after a
// lockstep catch-up it goes on from there. (A stopped song stands still too:
// ConfigDialog.SoundTestPlaysTheModuleUnderItsNotice.)
TEST_F(Sound, PositionFollowsTheTimeHeard) {
    for (bool device : {false, true}) {
        SCOPED_TRACE(device ? "device" : "no sound");
        FSOUND_SetOutput(device ? SOUND_OUTPUT_SOUND_SERVER : SOUND_OUTPUT_NONE);
        ASSERT_EQ(FSOUND_SetBufferSize(200), 1);
        ASSERT_EQ(FSOUND_Init(44100, 256, 0), 1) << sound_error_text(FSOUND_GetError());
        const double slack_seconds = device ? 0.2 : 0.07;
        MusicSong* song = load(make_short_module(1, 64, 3, 125));
        FMUSIC_SetMasterVolume(song, 150);
        const Clock::time_point before = Clock::now();
        EXPECT_EQ(FMUSIC_PlaySong(song), 1);
        const Clock::time_point after = Clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(device ? 800 : 600));
        const double shortest = std::chrono::duration<double>(Clock::now() - after).count();
        const Position now = position(song);
        const double longest = std::chrono::duration<double>(Clock::now() - before).count();
        EXPECT_EQ(now.first, 0u);
        EXPECT_GE(now.second, uint32_t(std::max(0.0, (shortest - slack_seconds) / 0.06)));
        EXPECT_LE(now.second, uint32_t((longest + 0.01) / 0.06) + 1);

        FMUSIC_SetPaused(song, 1);
        const Position paused = position(song);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(position(song), paused);
        FMUSIC_SetPaused(song, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(device ? 300 : 200));
        EXPECT_GT(position(song).second, paused.second);

        // A seek's catch-up: played afresh in lockstep to row 40, then live again. What the
        // device had queued before never takes the position back behind row 40.
        sound_set_lockstep(1, 60);
        ASSERT_EQ(FMUSIC_PlaySong(song), 1);
        std::vector<int16_t> out;
        while (position(song).second < 40) ASSERT_GT(sound_lockstep_frame(song, &out), 0u);
        const Position caught_up = position(song);
        sound_set_lockstep(0, 0);
        EXPECT_EQ(position(song), caught_up);
        finish(song);
    }
}

} // namespace
