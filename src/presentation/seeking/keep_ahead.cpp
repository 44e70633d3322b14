// The run aside as one record: its song (a copy never heard), its show state
// swapped with the show's for each turn, and the order its last frame was in.
// A turn is the catch-up's step on the run aside's song: a frame's share, the
// state kept when the order is new, the scene drawn unseen.
#include "presentation/seeking/keep_ahead.h"

#include "data/surface.h"
#include "director/show_parts.h"
#include "director/timeline.h"
#include "platform/sound.h"
#include "presentation/seeking/catch_up.h"
#include "presentation/seeking/kept_states.h"
#include "presentation/show_song.h"

#include <chrono>

uint32_t keep_ahead_ms = 2;

struct KeepingAhead {
    MusicSong* song = nullptr;
    AsideState* state = nullptr;
    uint32_t last_order = UINT32_MAX;
};

static KeepingAhead ahead;

void start_keeping_ahead() {
    stop_keeping_ahead();
    if (!keep_ahead_ms || !music_song || !surface_virtual1 || sound_lockstep_enabled()) return;
    ahead.song = sound_song_aside(music_song);
    ahead.state = ahead.song ? set_aside_show_state() : nullptr;
    if (!ahead.state) stop_keeping_ahead();
}

int keeping_ahead() {
    return ahead.state != nullptr;
}

void stop_keeping_ahead() {
    if (ahead.song) FMUSIC_FreeSong(ahead.song);
    release_aside_state(ahead.state);
    ahead = KeepingAhead{};
}

void keep_ahead() {
    if (!ahead.state || !keep_ahead_ms || sound_lockstep_enabled() || !surface_virtual1) return;
    using clock = std::chrono::steady_clock;
    const clock::time_point until = clock::now() + std::chrono::milliseconds(keep_ahead_ms);
    swap_aside_state(ahead.state);
    bool going = true;
    do {
        SongPlace place{};
        const size_t share = sound_aside_frame(ahead.song, CATCH_UP_FPS, &place);
        const uint32_t order = FMUSIC_GetOrder(ahead.song);
        const uint32_t row = FMUSIC_GetRow(ahead.song);
        going = share > 0 && part_for_order(order) != PART_END_OF_SHOW;
        if (!going) break;
        if (order != ahead.last_order) keep_state_at(order, place, share, CATCH_UP_FPS);
        ahead.last_order = order;
        director_draw(order, row);
    } while (clock::now() < until);
    swap_aside_state(ahead.state);
    if (!going) stop_keeping_ahead();
}
