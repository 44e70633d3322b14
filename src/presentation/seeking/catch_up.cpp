// The catch-up of a seek, in slices of wall time: where it starts from, a
// state (where it goes, how far it is) and one step that renders the song's
// share and draws the scene unseen, as the frame step does for shown frames.
#include "presentation/seeking/catch_up.h"

#include "data/surface.h"
#include "director/timeline.h"
#include "platform/sound.h"
#include "presentation/seeking/kept_states.h"
#include "presentation/show_frame.h"
#include "presentation/show_song.h"

#include <chrono>

struct CatchUp {
    int active;
    uint32_t order;      // the order it goes to
    uint32_t done;       // frames computed so far
    uint32_t total;      // frames to the order at the module's tempo
    int lockstep_before; // the show was in lockstep before the seek
    int share_ready;     // a kept state gave the next frame's share of the song
};

static CatchUp catch_up = {};

static uint32_t frames_to(uint32_t order) {
    const double seconds = sound_order_seconds(music_song, order);
    return seconds > 0 ? uint32_t(seconds * CATCH_UP_FPS) : 0;
}

// Where a catch-up to order starts: on from the show's own state when that is
// a lockstep state before the order and later than any kept one, else the
// nearest kept state at or before the order, else the show's start. The song
// is in lockstep at fps already. Returns 2 when a kept state gave the next
// frame's share of the song already, 0 when the show cannot start again.
static int start_catch_up_from(uint32_t order, int fps) {
    SongPlace here{};
    const bool on_from_here = show_state_exact_fps() == fps &&
                              sound_song_place(music_song, &here) &&
                              FMUSIC_GetOrder(music_song) < order;
    uint32_t kept_order = 0;
    uint64_t kept_sample = 0;
    const bool kept = nearest_kept_state(order, fps, &kept_order, &kept_sample);
    if (on_from_here && (!kept || here.sample >= kept_sample)) return 1;
    if (kept && restore_kept_state(kept_order)) return 2;
    if (!reset_show()) return 0;
    FMUSIC_SetMasterVolume(music_song, DEMO_START_VOLUME);
    if (!FMUSIC_PlaySong(music_song)) return 0;
    set_show_state_exact(fps);
    return 1;
}

int begin_seek(uint32_t order) {
    abandon_catch_up();
    if (!music_song || !surface_virtual1) return 0;
    const int lockstep_before = sound_lockstep_enabled();
    const int fps = lockstep_before ? sound_lockstep_fps() : CATCH_UP_FPS;
    if (!lockstep_before) sound_set_lockstep(1, fps);
    const int started = start_catch_up_from(order, fps);
    if (!started) {
        if (!lockstep_before) sound_set_lockstep(0, 0);
        return 0;
    }
    // The frames counted done are those from the song's start to where it is.
    SongPlace from{};
    sound_song_place(music_song, &from);
    const uint64_t done = from.rate ? from.sample * CATCH_UP_FPS / uint64_t(from.rate) : 0;
    catch_up = CatchUp{1, order, uint32_t(done), frames_to(order), lockstep_before, started == 2};
    show_frame_waiting = 0;
    return 1;
}

static void finish_catch_up() {
    catch_up.active = 0;
    if (catch_up.lockstep_before) return;
    // The show follows the sound device from here: its frames are no longer
    // those of a lockstep run.
    sound_set_lockstep(0, 0);
    set_show_state_exact(0);
}

// The frame at the start of the order, with the share of the song already
// rendered for it.
static void arrive() {
    draw_show_frame();
    show_frame_waiting = 1;
    finish_catch_up();
}

// The song's share of the next frame: rendered now, or given by a kept state.
static size_t next_share() {
    if (!catch_up.share_ready) return advance_show_music();
    catch_up.share_ready = 0;
    return demo_lockstep_samples.size() / 2;
}

int continue_catch_up(uint32_t milliseconds) {
    using clock = std::chrono::steady_clock;
    const clock::time_point until = clock::now() + std::chrono::milliseconds(milliseconds);
    while (catch_up.active) {
        if (next_share() == 0 || FMUSIC_GetOrder(music_song) >= catch_up.order) {
            arrive();
            break;
        }
        director_draw(FMUSIC_GetOrder(music_song), FMUSIC_GetRow(music_song));
        demo_frames_drawn++;
        catch_up.done++;
        if (milliseconds && clock::now() >= until) break;
    }
    return catch_up.active;
}

int catch_up_active() {
    return catch_up.active;
}

uint32_t catch_up_order() {
    return catch_up.order;
}

void catch_up_progress(uint32_t* done, uint32_t* total) {
    *done = catch_up.done;
    *total = catch_up.total;
}

void extend_catch_up(uint32_t order) {
    if (!catch_up.active || order <= catch_up.order) return;
    catch_up.order = order;
    catch_up.total = frames_to(order);
}

void abandon_catch_up() {
    if (catch_up.active) finish_catch_up();
}

int seek_to_order(uint32_t order) {
    if (!begin_seek(order)) return 0;
    continue_catch_up(0);
    return 1;
}
