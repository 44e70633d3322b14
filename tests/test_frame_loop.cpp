#include "data/builtin.h"
#include "data/files.h"
#include "data/pack.h"
#include "director/timeline.h"
#include "platform/sound.h"
#include "platform/video.h"
#include "presentation/display.h"
#include "presentation/live/demo_run.h"
#include "presentation/live/fps_text.h"
#include "presentation/seeking/catch_up.h"
#include "presentation/seeking/keep_ahead.h"
#include "presentation/seeking/kept_states.h"
#include "presentation/seeking/show_state.h"
#include "presentation/services/settings.h"
#include "presentation/services/stop_signal.h"
#include "short_module.h"
#include "support.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>
#include <tuple>
#include <utility>

namespace {

// Frame-rate arithmetic and text.

TEST(FrameRate, UpdatesOnlyAfterMoreThanOneSecond) {
    fps_value = fps_frames = 0;
    fps_start_ms = 5000;
    for (int i = 0; i < 29; i++) count_fps_frame(5000 + 20 * i);
    EXPECT_EQ(fps_value, 0u); // the first second shows 0
    count_fps_frame(6500);    // the 30th frame, 1,500 ms on: 30 * 1000 / 1500
    EXPECT_EQ(fps_value, 20u);
    // Counted afresh from there: 1,000 ms is not enough, 8 frames in 1,001 ms round down to 7.
    for (int i = 0; i < 6; i++) count_fps_frame(7000);
    count_fps_frame(7500);
    EXPECT_EQ(fps_value, 20u);
    count_fps_frame(7501);
    EXPECT_EQ(fps_value, 7u);
    // The elapsed time survives the millisecond clock wrapping: 512 ms, then 1,280 ms and 2 frames.
    fps_start_ms = 0xFFFFFF00u;
    count_fps_frame(0x00000100u);
    EXPECT_EQ(fps_value, 7u);
    count_fps_frame(0x00000400u);
    EXPECT_EQ(fps_value, 1u);
}

// A memory display's back-buffer pixel.
uint32_t back_pixel(int x, int y) {
    return surface_back->pixels[size_t(y) * surface_back->width + x];
}
// The back buffer as the display shows it (a window's is read back), always
// width x height pixels.
std::vector<uint32_t> back_buffer() {
    std::vector<uint32_t> pixels;
    EXPECT_EQ(read_surface_pixels(surface_back, &pixels), 1);
    return pixels;
}

// The frame rate white on black at the top left, and nothing around it.
TEST(FrameRateText, FpsTextAndProgressBar) {
    ASSERT_EQ(init_memory_display(320, 200), 1);
    fill_surface(surface_back, 0x336699);
    fps_value = 20;
    draw_fps();
    // "FPS 20" at scale 1: a column of space, then six cells of 6 x 9.
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++) {
            const uint32_t p = back_pixel(x, y);
            if (x >= 1 + 6 * 6 || y >= 9)
                ASSERT_EQ(p, 0x336699u) << x << "," << y;
            else
                ASSERT_TRUE(p == 0 || p == 0xFFFFFF) << x << "," << y;
        }
    // F: a full top bar, then only its left column; 2 (fifth cell, from x 25) ends in a bar.
    for (int x = 1; x <= 5; x++) EXPECT_EQ(back_pixel(x, 1), 0xFFFFFFu);
    for (int x = 25; x <= 29; x++) EXPECT_EQ(back_pixel(x, 7), 0xFFFFFFu);
    EXPECT_EQ(back_pixel(1, 2), 0xFFFFFFu);
    EXPECT_EQ(back_pixel(2, 2), 0u);
    release_display();

    // The catch-up bar: centred, its white part as long as the part done;
    // nothing around it changes.
    ASSERT_EQ(init_memory_display(640, 400), 1);
    fill_surface(surface_back, 0x336699);
    draw_progress_bar(35, 1, 4);
    // Half the width at scale 1: x 160..479; the text (9 rows), then the bar.
    const int top = (400 - (9 + 6)) / 2, bar = top + 9 + 2;
    EXPECT_EQ(back_pixel(159, bar), 0x336699u);
    EXPECT_EQ(back_pixel(160, bar), 0x606060u); // the frame of the bar
    EXPECT_EQ(back_pixel(161 + 40, bar), 0xFFFFFFu);
    EXPECT_EQ(back_pixel(161 + 318 / 2, bar), 0u);
    EXPECT_EQ(back_pixel(320, top - 1), 0x336699u);
    int inked = 0;
    for (int x = 160; x < 480; x++)
        for (int y = top; y < top + 9; y++) inked += back_pixel(x, y) == 0xFFFFFF;
    EXPECT_GT(inked, 40); // "TO PART 35"
    release_display();
}

// The frame loop, driven by synthetic events.

void push_key(SDL_Keycode key) {
    SDL_Event e = {SDL_KEYDOWN};
    e.key.keysym.sym = key;
    SDL_PushEvent(&e);
}
void push_window_event(Uint8 what) {
    SDL_Event e = {SDL_WINDOWEVENT};
    e.window.event = what;
    SDL_PushEvent(&e);
}

// The order is read before its row (a braced list is evaluated left to right).
std::pair<uint32_t, uint32_t> position() {
    return {FMUSIC_GetOrder(music_song), FMUSIC_GetRow(music_song)};
}

class FrameLoop : public ::testing::Test {
  protected:
    void SetUp() override {
        load_settings();
        if (!SDL_WasInit(SDL_INIT_VIDEO)) SDL_InitSubSystem(SDL_INIT_VIDEO);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        // Rows of 6 ticks at 125 BPM: 0.12 s, seven or eight frames at 60 a second.
        module = make_short_module(8, 16, 6, 125);
        music_song = FMUSIC_LoadSongMemory(module.data(), module.size());
        ASSERT_NE(music_song, nullptr);
        sound_set_lockstep(1, 60);
        selected_mode = make_mode(640, 400);
        display_windowed = 1;
        display_pacing = PACE_UNLIMITED;
        show_options.nosound = 1;
        show_options.start_order = 0;
        show_fps = show_keys = 0;
        keep_ahead_ms = 2;
    }
    void TearDown() override {
        if (video_is_open()) shut_down_demo();
        if (music_song) FMUSIC_FreeSong(music_song);
        music_song = nullptr;
        FSOUND_Close();
        pack_builtin = Blob{nullptr, 0};
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void start() { ASSERT_EQ(start_demo(), -1); }
    // n passes, each going on with the show.
    static bool passes(int n) {
        for (int i = 0; i < n; i++)
            if (frame_loop_pass() != 1) return false;
        return true;
    }
    // A key, then the pass that handles it.
    static bool press(SDL_Keycode key) {
        push_key(key);
        return frame_loop_pass() == 1;
    }
    // Passes until a seek's catch-up has arrived and its first frame is shown.
    static bool pass_until_caught_up() {
        do
            if (frame_loop_pass() != 1) return false;
        while (catch_up_active());
        return true;
    }

    // A pass while inactive waits for an event; this one comes a little later.
    int pass_with_late_event() {
        std::thread later([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            push_key(SDLK_a);
        });
        const int result = frame_loop_pass();
        later.join();
        return result;
    }

    ScopedConfigHome config;
    std::vector<uint8_t> module;
};

// Active, each pass draws one frame and moves the music on by one frame's time; focus lost
// or minimised, nothing is drawn and the song stands, to go on from there when the window
// is active again.
TEST_F(FrameLoop, DrawsBackToBackAndFocusLostPausesAtTheSamePosition) {
    start();
    const uint32_t frames = demo_frames_drawn;
    // Active or not, the frames drawn, the song's position.
    auto state = [&] {
        return std::make_tuple(app_active, demo_frames_drawn - frames, position());
    };
    ASSERT_TRUE(passes(20));
    EXPECT_EQ(state(), std::make_tuple(1, 20u, std::make_pair(0u, 2u))); // two rows of 0.12 s
    push_window_event(SDL_WINDOWEVENT_FOCUS_LOST);
    for (int i = 0; i < 3; i++) ASSERT_EQ(pass_with_late_event(), 1);
    std::vector<int16_t> samples;
    EXPECT_EQ(sound_lockstep_frame(music_song, &samples), 0u); // the song is paused
    EXPECT_EQ(state(), std::make_tuple(0, 20u, std::make_pair(0u, 2u)));

    push_window_event(SDL_WINDOWEVENT_FOCUS_GAINED);
    ASSERT_TRUE(passes(20));
    EXPECT_EQ(state(), std::make_tuple(1, 40u, std::make_pair(0u, 5u))); // 0.67 s

    push_window_event(SDL_WINDOWEVENT_MINIMIZED);
    ASSERT_EQ(pass_with_late_event(), 1);
    EXPECT_EQ(state(), std::make_tuple(0, 40u, std::make_pair(0u, 5u)));
    push_window_event(SDL_WINDOWEVENT_RESTORED);
    ASSERT_EQ(frame_loop_pass(), 1);
    EXPECT_EQ(state(), std::make_tuple(1, 41u, std::make_pair(0u, 5u)));
}

// Every waiting event is handled before the next frame: Enter toggles the text
// each time, other keys change nothing. Space stops music and motion while the
// window keeps drawing the same picture with the pause sign on it; F1 lays the
// keys over it and nothing else; all three undo themselves.
TEST_F(FrameLoop, EnterSpaceAndF1ToggleWhatTheyShow) {
    start();
    ASSERT_TRUE(press(SDLK_RETURN));
    EXPECT_EQ(show_fps, 1);
    for (SDL_Keycode key : {SDLK_RETURN, SDLK_a, SDLK_RETURN, SDLK_b}) push_key(key);
    const uint32_t drawn = demo_frames_drawn;
    ASSERT_EQ(frame_loop_pass(), 1);
    EXPECT_EQ(std::make_pair(demo_frames_drawn, show_fps), std::make_pair(drawn + 1, 1));
    EXPECT_EQ(back_buffer()[640 + 1], 0xFFFFFFu); // the top of the F
    ASSERT_TRUE(press(SDLK_RETURN));
    EXPECT_EQ(show_fps, 0);

    ASSERT_TRUE(passes(20));
    const std::vector<uint32_t> before = back_buffer();
    const std::vector<uint32_t> working = surface_virtual1->pixels;
    ASSERT_TRUE(press(SDLK_SPACE));
    const auto paused_at = position();
    const std::vector<uint32_t> plain = back_buffer();
    const uint32_t frames = demo_frames_drawn;
    ASSERT_TRUE(passes(30));
    EXPECT_EQ(demo_frames_drawn, frames + 30);
    EXPECT_EQ(position(), paused_at);
    // The pause sign is all that differs from the last frame shown, and the
    // show's own working surface never gets it.
    int sx, sy, sw, sh, signed_pixels = 0;
    pause_sign_box(&sx, &sy, &sw, &sh);
    ASSERT_TRUE(back_buffer() == plain);
    for (size_t i = 0; i < plain.size(); i++) {
        const int px = int(i % 640), py = int(i / 640);
        const bool in_sign = px >= sx && px < sx + sw && py >= sy && py < sy + sh;
        ASSERT_TRUE(plain[i] == before[i] || in_sign) << "outside the sign at " << px << "," << py;
        signed_pixels += plain[i] != before[i];
    }
    EXPECT_GT(signed_pixels, sw * sh / 2);
    EXPECT_TRUE(surface_virtual1->pixels == working);
    std::vector<int16_t> samples;
    EXPECT_EQ(sound_lockstep_frame(music_song, &samples), 0u);

    ASSERT_TRUE(press(SDLK_F1));
    const std::vector<uint32_t> keys = back_buffer();
    int x, y, w, h, changed = 0;
    key_overlay_box(&x, &y, &w, &h);
    for (size_t i = 0; i < keys.size(); i++) {
        const int px = int(i % 640), py = int(i / 640);
        ASSERT_TRUE(keys[i] == plain[i] || (px >= x && px < x + w && py >= y && py < y + h))
            << "outside the box at " << px << "," << py;
        changed += keys[i] != plain[i];
    }
    EXPECT_GT(changed, 1000);
    ASSERT_TRUE(press(SDLK_F1));
    EXPECT_TRUE(back_buffer() == plain);

    push_key(SDLK_SPACE);
    ASSERT_TRUE(passes(30));
    EXPECT_NE(position(), paused_at);
}

// Right goes to the next order's start; Left to this order's start, or within
// its first second to the one before; presses during a seek add up. Orders
// here are 1.92 s.
TEST_F(FrameLoop, ArrowKeysSeekByOrder) {
    start();
    // The passes before (90: 1.5 s into the order), the key, how often in one pass, the order.
    for (auto [before, key, presses, order] : {std::tuple{0, SDLK_RIGHT, 1, 1u},
                                               {0, SDLK_PAGEDOWN, 1, 2u},
                                               {90, SDLK_LEFT, 1, 2u},
                                               {30, SDLK_PAGEUP, 1, 1u},
                                               {0, SDLK_LEFT, 2, 0u},
                                               {0, SDLK_RIGHT, 5, 5u}}) {
        ASSERT_TRUE(passes(before));
        for (int i = 0; i < presses; i++) push_key(key);
        ASSERT_TRUE(pass_until_caught_up());
        EXPECT_EQ(position(), std::make_pair(order, 0u)) << key << " after " << before;
    }
    // Five quick presses, each in a pass of its own, go five orders on too.
    ASSERT_EQ(begin_seek(1), 1);
    for (int i = 0; i < 5; i++) {
        push_key(SDLK_RIGHT);
        ASSERT_EQ(frame_loop_pass(), 1);
    }
    ASSERT_TRUE(pass_until_caught_up());
    EXPECT_EQ(position(), std::make_pair(6u, 0u));
}

// A kept states file taken apart and put together again, its checksum made
// anew: the header, the pieces, each state's order, place, share and pieces.
struct KeptFile {
    struct State {
        uint32_t order;
        SongPlace place;
        uint64_t share;
        std::vector<uint32_t> pieces;
    };
    std::vector<uint8_t> header;
    std::vector<std::vector<uint8_t>> pieces;
    std::vector<State> states;

    explicit KeptFile(const std::vector<uint8_t>& file) : header(file.begin(), file.begin() + 28) {
        size_t at = 28;
        const auto take = [&](void* to, size_t n) { std::memcpy(to, &file[at], n), at += n; };
        uint32_t counts[2];
        std::memcpy(counts, &header[20], 8);
        for (uint32_t i = 0; i < counts[0]; i++) {
            uint64_t size;
            take(&size, 8);
            pieces.emplace_back(file.begin() + long(at), file.begin() + long(at + size));
            at += size;
        }
        for (uint32_t i = 0; i < counts[1]; i++) {
            State state;
            take(&state.order, 4);
            take(&state.place, sizeof state.place);
            take(&state.share, 8);
            state.pieces.resize(show_state_piece_count);
            take(state.pieces.data(), 4 * show_state_piece_count);
            states.push_back(state);
        }
    }
    State& state(uint32_t order) {
        return *std::find_if(states.begin(), states.end(),
                             [&](const State& s) { return s.order == order; });
    }
    // The piece of the catalogue's row of that variable (and what of it).
    std::vector<uint8_t>& piece(uint32_t order, const char* name, const char* what = nullptr) {
        size_t k = 0;
        while (std::strcmp(show_state_pieces[k].name, name) != 0 ||
               (what && std::strcmp(show_state_pieces[k].what, what) != 0))
            k++;
        return pieces[state(order).pieces[k]];
    }
    std::vector<uint8_t> bytes() const {
        std::vector<uint8_t> out = header;
        const auto put = [&](const void* from, size_t n) {
            out.insert(out.end(), static_cast<const uint8_t*>(from),
                       static_cast<const uint8_t*>(from) + n);
        };
        for (const auto& piece : pieces) {
            const uint64_t size = piece.size();
            put(&size, 8);
            put(piece.data(), piece.size());
        }
        for (const State& state : states) {
            put(&state.order, 4);
            put(&state.place, sizeof state.place);
            put(&state.share, 8);
            put(state.pieces.data(), 4 * show_state_piece_count);
        }
        uint64_t sum = 1469598103934665603ull;
        for (uint8_t b : out) sum = (sum ^ b) * 1099511628211ull;
        put(&sum, 8);
        return out;
    }
};

// Writes a value over the bytes of a piece at an offset.
template <class T> void overwrite(std::vector<uint8_t>& piece, size_t at, T value) {
    std::memcpy(&piece[at], &value, sizeof value);
}

// The first face of the first object of a scene's shapes piece: after the
// vertex and normal lists, each a count and 12 bytes an entry.
size_t first_face(const std::vector<uint8_t>& shapes) {
    uint64_t n = 0;
    std::memcpy(&n, &shapes[0], 8);
    size_t at = 8 + 12 * size_t(n);
    std::memcpy(&n, &shapes[at], 8);
    return at + 8 + 12 * size_t(n) + 8;
}

// The show itself: the first two frames after a seek, with the first one's
// share of the song and the song's place after it, are those of an
// uninterrupted lockstep run from the start, whichever way the seek computes:
// from the start (to 35), back to a kept state (7, 22, 30), on from a kept
// state (37) or on from where the show is (38). Going back costs under a
// tenth of the first catch-up.
TEST_F(FrameLoop, SeekingLandsOnTheFramesOfAnUninterruptedRun) {
    FMUSIC_FreeSong(music_song);
    pack_builtin = builtin_pack();
    const Blob module_data = builtin_module();
    music_song = FMUSIC_LoadSongMemory(module_data.data, module_data.size);
    ASSERT_NE(music_song, nullptr);
    selected_mode = make_mode(320, 200);
    const std::vector<uint32_t> orders = {35, 7, 22, 37, 38, 30};
    start();
    std::map<uint32_t, std::vector<std::vector<uint32_t>>> seen; // by order, its first two
    std::map<uint32_t, std::vector<int16_t>> first_share;
    std::map<uint32_t, SongPlace> first_place;
    while (seen[38].size() < 2) {
        ASSERT_EQ(frame_loop_pass(), 1);
        const uint32_t order = position().first;
        if (std::count(orders.begin(), orders.end(), order) && seen[order].size() < 2) {
            if (seen[order].empty()) {
                first_share[order] = demo_lockstep_samples;
                sound_song_place(music_song, &first_place[order]);
            }
            seen[order].push_back(back_buffer());
        }
    }
    // Started afresh, nothing is kept beyond where the show is.
    shut_down_demo();
    music_song = FMUSIC_LoadSongMemory(module_data.data, module_data.size);
    start();
    std::map<uint32_t, double> seconds;
    for (uint32_t order : orders) {
        const auto begun = std::chrono::steady_clock::now();
        ASSERT_EQ(seek_to_order(order), 1);
        seconds[order] =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
        EXPECT_EQ(demo_lockstep_samples, first_share[order]) << "order " << order;
        for (size_t k = 0; k < 2; k++) {
            ASSERT_EQ(frame_loop_pass(), 1);
            if (k == 0) {
                EXPECT_EQ(position(), std::make_pair(order, 0u));
                SongPlace place{};
                ASSERT_TRUE(sound_song_place(music_song, &place));
                EXPECT_EQ(place.sample, first_place[order].sample) << "order " << order;
            }
            EXPECT_TRUE(back_buffer() == seen[order][k]) << "frame " << k << " of order " << order;
        }
    }
    EXPECT_LT(seconds[7], seconds[35] / 10);
    EXPECT_LT(seconds[30], seconds[35] / 10);

    // A show that follows the clock keeps states by a run aside between its
    // frames, paused too (so that a slow machine keeps them all before the
    // show ends); a seek from them lands on the same frame, as fast.
    shut_down_demo();
    music_song = FMUSIC_LoadSongMemory(module_data.data, module_data.size);
    sound_set_lockstep(0, 0);
    keep_ahead_ms = 50;
    start();
    ASSERT_TRUE(press(SDLK_SPACE));
    while (keeping_ahead()) ASSERT_EQ(frame_loop_pass(), 1);
    ASSERT_TRUE(press(SDLK_SPACE));
    size_t states = 0, bytes = 0;
    kept_state_memory(&states, &bytes);
    EXPECT_EQ(states, 42u); // orders 0 to 41
    for (uint32_t order : {37u, 22u}) {
        const auto begun = std::chrono::steady_clock::now();
        ASSERT_EQ(seek_to_order(order), 1);
        const double took =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
        EXPECT_LT(took, seconds[35] / 10) << "order " << order;
        EXPECT_EQ(demo_lockstep_samples, first_share[order]) << "order " << order;
        ASSERT_EQ(frame_loop_pass(), 1);
        EXPECT_TRUE(back_buffer() == seen[order][0]) << "order " << order;
    }

    // Stored in the cache folder at the show's end, they serve the next run
    // of the same content: --start lands at once. A file changed by one byte
    // is not trusted, and the catch-up computes the same frame.
    shut_down_demo();
    const std::filesystem::path folder = std::string(std::getenv("XDG_CACHE_HOME")) + "/vorn";
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files.push_back(entry.path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(std::filesystem::status(files[0]).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const std::vector<uint8_t> whole_file = read_file(files[0].string());
    keep_ahead_ms = 0;
    show_options.start_order = 22;
    double start_seconds[2] = {};
    for (bool spoiled : {false, true}) {
        if (spoiled) {
            std::vector<uint8_t> bytes = read_file(files[0].string());
            bytes[bytes.size() / 2] ^= 1;
            write_file(files[0].string(), bytes);
        }
        music_song = FMUSIC_LoadSongMemory(module_data.data, module_data.size);
        const auto begun = std::chrono::steady_clock::now();
        start();
        kept_state_memory(&states, &bytes);
        EXPECT_EQ(states, spoiled ? 0u : 42u);
        ASSERT_TRUE(pass_until_caught_up());
        start_seconds[spoiled] =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
        EXPECT_TRUE(back_buffer() == seen[22][0]) << (spoiled ? "spoiled" : "whole");
        shut_down_demo();
    }
    EXPECT_LT(start_seconds[0], start_seconds[1] / 4);

    // Read as outside input: a file crafted with its checksum made anew, cut
    // a byte short, too long to be read or a link to a user's file is not
    // used, with one line, and the show draws the frame it draws without it.
    // The file is written anew (through no link: the user's file stays).
    write_text("precious.txt", "the user's own\n");
    const std::string precious = std::filesystem::absolute("precious.txt").string();
    using Craft = std::function<void(KeptFile&)>;
    const std::vector<std::tuple<std::string, Craft, std::string>> crafted = {
        {"face corner",
         [](KeptFile& f) {
             std::vector<uint8_t>& shapes = f.piece(22, "scene_brain", "shapes");
             overwrite(shapes, first_face(shapes), 0xFFFFFFF0u);
         },
         "a model's faces are not the show's"},
        {"share 2^40", [](KeptFile& f) { f.state(22).share = uint64_t(1) << 40; },
         "a song's share is more than a frame's"},
        {"share 2^62", [](KeptFile& f) { f.state(3).share = uint64_t(1) << 62; },
         "a song's share is more than a frame's"},
        {"NaN focal", [](KeptFile& f) { overwrite(f.piece(22, "camera_vkocka"), 0, NAN); },
         "a camera is out of range"},
        {"far placement",
         [](KeptFile& f) {
             overwrite(f.piece(22, "scene_brain", "placements and lights"), 2 + 48, 1e30f);
         },
         "an object's placement is out of reach"},
        {"sample 0", [](KeptFile& f) { f.state(22).place.sample = 0; },
         "a song place is not the start of its order"},
        {"another order's place", [](KeptFile& f) { f.state(22).place = f.state(21).place; },
         "a song place is not the start of its order"},
        {"a piece a byte short", [](KeptFile& f) { f.piece(22, "surface_virtual1").pop_back(); },
         "a piece is not the size of this show's"},
        {"a piece a byte long", [](KeptFile& f) { f.piece(22, "camera_vkocka").push_back(0); },
         "a piece is not the size of this show's"},
        {"a buffer counted a byte long",
         [](KeptFile& f) {
             std::vector<uint8_t>& depth = f.piece(22, "depth_buffer");
             uint64_t bytes = 0;
             std::memcpy(&bytes, depth.data(), 8);
             overwrite(depth, 0, bytes + 1);
             depth.push_back(0);
         },
         "a piece is not the size of this show's"},
        {"a clip area past the frame",
         [](KeptFile& f) {
             overwrite(f.piece(22, "camera_vkocka"), offsetof(Camera, clip_right),
                       uint16_t(FRAME_WIDTH + 1));
         },
         "a camera is out of range"},
        {"a place no lockstep frame ends at", [](KeptFile& f) { f.state(22).place.sample++; },
         "a song place is not one a lockstep frame ends at"},
        {"another content's key", [](KeptFile& f) { f.header[12] ^= 1; }, "it is of other content"},
        {"a piece the file does not hold",
         [](KeptFile& f) { f.state(22).pieces[0] = uint32_t(f.pieces.size()); },
         "a state names a piece the file does not hold"},
        {"bytes after the last state", [](KeptFile& f) { f.states.push_back(f.state(22)); },
         "bytes follow its last state"},
        {"1 GiB", nullptr, "bytes are more than the states of 256 orders"},
        {"a link to a user's file", nullptr, "its checksum does not match"},
    };
    for (const auto& [what, craft, reason] : crafted) {
        SCOPED_TRACE(what);
        std::filesystem::remove(files[0]);
        if (craft) {
            KeptFile file(whole_file);
            craft(file);
            write_file(files[0].string(), file.bytes());
        } else if (what == "1 GiB") {
            write_file(files[0].string(), whole_file);
            std::filesystem::resize_file(files[0], uintmax_t(1) << 30);
        } else {
            std::filesystem::create_symlink(precious, files[0]);
        }
        music_song = FMUSIC_LoadSongMemory(module_data.data, module_data.size);
        testing::internal::CaptureStderr();
        start();
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.rfind("vorn: kept states in " + files[0].string() + " not used: ", 0), 0u)
            << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_NE(said.find(reason), std::string::npos) << said;
        kept_state_memory(&states, &bytes);
        EXPECT_EQ(states, 0u);
        ASSERT_TRUE(pass_until_caught_up());
        EXPECT_TRUE(back_buffer() == seen[22][0]);
        shut_down_demo();
        EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(files[0])));
    }
    EXPECT_EQ(read_text("precious.txt"), "the user's own\n");

    // Temporaries: one being written goes with a second signal; one a killed
    // store left goes at the next store, one a live store holds stays.
    std::string held = folder.string() + "/.kept-0123456789abcdef.bin.tmp-XXXXXX";
    const int held_fd = create_held_temporary(&held, 0, 0600);
    ASSERT_GE(held_fd, 0);
    const std::string left = folder.string() + "/.kept-0123456789abcdef.bin.tmp-AbCdEf";
    write_text(left, "left by a killed store");
    // A folder in the file's place: the store fails and leaves nothing of its own.
    std::filesystem::remove(files[0]);
    std::filesystem::create_directory(files[0]);
    music_song = FMUSIC_LoadSongMemory(module_data.data, module_data.size);
    start();
    seek_to_order(23); // keeps a state: the file is written at the end
    testing::internal::CaptureStderr();
    shut_down_demo();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.rfind("vorn: the kept states are not saved: ", 0), 0u) << said;
    EXPECT_FALSE(std::filesystem::exists(left));
    EXPECT_TRUE(std::filesystem::exists(held));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 2); // held, files[0]
    remove_noted_temporaries();
    EXPECT_FALSE(std::filesystem::exists(held));
    close(held_fd);
    forget_temporary(held);
}

// The run aside leaves the show alone: with the song held at one place, the
// frames shown are those of a show without it.
TEST_F(FrameLoop, KeepingAheadLeavesTheShownFramesAlone) {
    pack_builtin = builtin_pack();
    const Blob module_data = builtin_module();
    selected_mode = make_mode(320, 200);
    sound_set_lockstep(0, 0);
    std::vector<std::vector<uint32_t>> frames[2];
    for (int aside = 0; aside < 2; aside++) {
        keep_ahead_ms = aside ? 20 : 0;
        FMUSIC_FreeSong(music_song);
        music_song = FMUSIC_LoadSongMemory(module_data.data, module_data.size);
        start();
        EXPECT_EQ(keeping_ahead(), aside);
        sound_pin_position(music_song, 1, 8, 0); // the cubes turn every frame
        for (int i = 0; i < 20; i++) {
            ASSERT_EQ(frame_loop_pass(), 1);
            frames[aside].push_back(back_buffer());
        }
        size_t states = 0, bytes = 0;
        kept_state_memory(&states, &bytes);
        EXPECT_EQ(states > 0, aside == 1);
        shut_down_demo();
    }
    EXPECT_TRUE(frames[0] == frames[1]);
}

// Escape, F12, the close button, the director's request and a stop signal: the pass that
// sees one draws nothing more, closes the window and the display; the settings are stored.
TEST_F(FrameLoop, EveryWayOfClosingEndsTheShow) {
    void (*const causes[])() = {[] { push_key(SDLK_ESCAPE); }, [] { push_key(SDLK_F12); },
                                [] { push_window_event(SDL_WINDOWEVENT_CLOSE); },
                                request_demo_close, [] { stop_signal = SIGTERM; }};
    for (size_t i = 0; i < 5; i++) {
        SCOPED_TRACE(i);
        std::filesystem::remove(settings_file_path());
        start();
        ASSERT_EQ(frame_loop_pass(), 1);
        causes[i]();
        const uint32_t frames = demo_frames_drawn;
        EXPECT_EQ(frame_loop_pass(), 0);
        stop_signal = 0;
        EXPECT_EQ(demo_frames_drawn, frames);
        EXPECT_TRUE(!video_is_open() && !surface_back && !surface_virtual1);
        shut_down_demo();
        EXPECT_TRUE(std::filesystem::exists(settings_file_path()));
    }
}

TEST_F(FrameLoop, StartOrderIsReachedUnseen) {
    show_options.start_order = 3;
    const uint32_t frames = demo_frames_drawn;
    start();
    ASSERT_TRUE(pass_until_caught_up());
    // Three orders of 16 rows of 0.12 s: 5.76 s, 346 frames at 60 a second, then the one shown.
    EXPECT_NEAR(demo_frames_drawn - frames, 347.0, 1.0);
    EXPECT_EQ(position(), std::make_pair(3u, 0u));
}

// A failed start is status 1, the window closed: the display (its message:
// DisplayTest.FailedSetUpShowsItsMessageAndLeavesNothing), then the sound with
// its message. (Started without the dialog, a sound failure is one line and the
// show plays on: presentation_runs.sh windowed_show.)
TEST_F(FrameLoop, StartFailuresReturnOne) {
    selected_mode.bits_per_pixel = 16;
    EXPECT_EQ(start_demo(), 1);
    EXPECT_FALSE(video_is_open());
    selected_mode.bits_per_pixel = 32;

    show_options.nosound = 0;
    sound_set_lockstep(0, 0);
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    last_message_caption.clear();
    EXPECT_EQ(start_demo(), 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_EQ(last_message_caption + ": " + last_message_text,
              "FSOUND: Error initializing output device.");
    EXPECT_TRUE(!video_is_open() && !surface_back);
}

} // namespace
