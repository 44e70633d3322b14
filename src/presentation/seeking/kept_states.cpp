// Kept states, one per order, each the show's state as the catalogue
// (show_state.h) captures it: a list of byte pieces, each compared with the
// neighbouring kept state's and shared when equal, so a state costs only what
// its order changed (the working surface, and what the part drawn there moves).
#include "presentation/seeking/kept_states.h"

#include "data/surface.h"
#include "platform/sound.h"
#include "presentation/seeking/kept_store.h"
#include "presentation/seeking/show_state.h"
#include "presentation/show_song.h"

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

KeptStates kept_store;

namespace {

// The kept state nearest below order, else nearest above; none when empty.
const KeptState* neighbour_of(uint32_t order) {
    for (uint32_t k = std::min<uint32_t>(order, uint32_t(kept_store.by_order.size())); k-- > 0;)
        if (kept_store.by_order[k].kept) return &kept_store.by_order[k];
    for (uint32_t k = order + 1; k < kept_store.by_order.size(); k++)
        if (kept_store.by_order[k].kept) return &kept_store.by_order[k];
    return nullptr;
}

void keep_state(uint32_t order, const SongPlace& place, size_t share_frames) {
    if (kept_store.by_order.size() <= order) kept_store.by_order.resize(order + 1);
    const KeptState* neighbour = neighbour_of(order);
    KeptState state;
    state.kept = true;
    state.place = place;
    state.share_frames = share_frames;
    capture_show_state(&state.pieces, neighbour ? &neighbour->pieces : nullptr);
    kept_store.by_order[order] = std::move(state);
    kept_store.changed = true;
}

} // namespace

void forget_kept_states() {
    kept_store.by_order.clear();
    kept_store.fps = 0;
    kept_store.key = 0;
    kept_store.changed = false;
}

void set_show_state_exact(int fps) {
    kept_store.exact_fps = fps;
    kept_store.last_order = UINT32_MAX;
}

int show_state_exact_fps() {
    return kept_store.exact_fps;
}

void keep_state_at_order_start() {
    if (!kept_store.exact_fps || !music_song || !sound_lockstep_enabled() ||
        sound_lockstep_fps() != kept_store.exact_fps)
        return;
    const uint32_t order = FMUSIC_GetOrder(music_song);
    if (order == kept_store.last_order) return;
    kept_store.last_order = order;
    SongPlace place;
    if (sound_song_place(music_song, &place))
        keep_state_at(order, place, demo_lockstep_samples.size() / 2, kept_store.exact_fps);
}

void keep_state_at(uint32_t order, const SongPlace& place, size_t share_frames, int fps) {
    if (order >= KEPT_ORDERS || !surface_virtual1) return;
    if (kept_store.fps != fps) {
        kept_store.by_order.clear();
        kept_store.fps = fps;
    }
    if (order < kept_store.by_order.size() && kept_store.by_order[order].kept) return;
    keep_state(order, place, share_frames);
}

int nearest_kept_state(uint32_t order, int fps, uint32_t* kept_order, uint64_t* song_sample) {
    if (fps != kept_store.fps) return 0;
    for (uint32_t k = std::min<uint32_t>(order + 1, uint32_t(kept_store.by_order.size())); k-- > 0;)
        if (kept_store.by_order[k].kept) {
            *kept_order = k;
            *song_sample = kept_store.by_order[k].place.sample;
            return 1;
        }
    return 0;
}

int restore_kept_state(uint32_t kept_order) {
    if (kept_order >= kept_store.by_order.size() || !kept_store.by_order[kept_order].kept ||
        !music_song || !surface_virtual1)
        return 0;
    const KeptState& state = kept_store.by_order[kept_order];
    if (!restore_show_state(state.pieces)) return 0;
    FMUSIC_SetMasterVolume(music_song, DEMO_START_VOLUME);
    if (!sound_play_from(music_song, state.place, &demo_lockstep_samples, state.share_frames))
        return 0;
    kept_store.exact_fps = kept_store.fps;
    kept_store.last_order = kept_order;
    return 1;
}

void kept_state_memory(size_t* states, size_t* bytes) {
    std::set<const Bytes*> counted;
    *states = 0;
    *bytes = 0;
    for (const KeptState& state : kept_store.by_order) {
        if (!state.kept) continue;
        ++*states;
        for (const auto& piece : state.pieces)
            if (counted.insert(piece.get()).second) *bytes += piece->size();
    }
}
