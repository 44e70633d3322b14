// Placing the module player's song where the show needs it: at a row, at a
// lockstep place a seek returns to (with the sound just before it), and a
// copy of the song rendered aside, unheard, for the states kept ahead; and
// the module's timing of its orders and rows.
#include "platform/module_data.h"
#include "platform/module_player_state.h"
#include "platform/sound.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>

using namespace player;

// The sample frame at which each order up to the one that starts after
// sample (or the last) begins when the song plays from its start at rate: a
// whole number of frames while every tick is (the classic tempo mode of the
// formats we play rounds a tick to whole frames). An order never reached gets
// UINT64_MAX.
static std::vector<uint64_t> order_start_frames(MusicSong* song, int rate, uint64_t sample) {
    std::vector<uint64_t> starts;
    for (uint32_t order = 0;; order++) {
        if (!time_orders(song->data, order, &song->order_times) ||
            order >= song->order_times.starts.size())
            return starts;
        const double at = song->order_times.starts[order];
        starts.push_back(at >= 0 && (order == 0 || at > 0) ? uint64_t(std::llround(at * rate))
                                                           : UINT64_MAX);
        if (starts.back() != UINT64_MAX && starts.back() > sample) return starts;
    }
}

int sound_play_at_row(MusicSong* song, uint32_t order, uint32_t row) {
    if (!FMUSIC_PlaySong(song)) return 0;
    lock_output();
    const double at =
        openmpt_module_set_position_order_row(song->module, int32_t(order), int32_t(row));
    if (at >= 0) {
        song->last_order = order;
        song->last_row = row;
    }
    unlock_output();
    return at >= 0;
}

int sound_song_place(MusicSong* song, SongPlace* place) {
    if (!song || !lockstep_on || !song_advancing(song)) return 0;
    lock_output();
    *place = SongPlace{song->song_sample, lockstep_carry, sound_rate};
    unlock_output();
    return 1;
}

int sound_play_from(MusicSong* song, const SongPlace& place, std::vector<int16_t>* tail,
                    size_t tail_frames) {
    if (tail) tail->clear();
    if (!song || !lockstep_on || !sound_initialised || place.rate != sound_rate) return 0;
    const std::vector<uint64_t> starts = order_start_frames(song, sound_rate, place.sample);
    // From the start of the order before the one the place lies in, so that
    // notes struck there ring on into the place as they did.
    uint32_t order = 0;
    for (uint32_t k = 0; k < starts.size(); k++)
        if (starts[k] <= place.sample && starts[k] >= starts[order]) order = k;
    if (order > 0 && starts[order - 1] < starts[order]) order--;
    if (starts.empty() || starts[order] > place.sample) return fail(SOUND_ERR_PLAY);
    openmpt_module* module = create_module(song->data);
    if (!module) return fail(SOUND_ERR_PLAY);
    if (openmpt_module_set_position_order_row(module, int32_t(order), 0) < 0) {
        openmpt_module_destroy(module);
        return fail(SOUND_ERR_PLAY);
    }
    lock_output();
    start_playing(song, module, order, starts[order]);
    lockstep_carry = place.carry;
    // The frames up to the place rendered unheard, the last tail_frames kept.
    uint64_t unheard = place.sample - starts[order];
    const size_t kept = tail ? size_t(std::min<uint64_t>(unheard, tail_frames)) : 0;
    unheard -= kept;
    unheard -= render_unheard(song, unheard);
    size_t rendered = 0;
    if (tail) {
        tail->resize(2 * kept);
        rendered = render_song(song, tail->data(), kept);
        tail->resize(2 * rendered);
    }
    unlock_output();
    return unheard == 0 && rendered == kept ? 1 : fail(SOUND_ERR_PLAY);
}

const std::vector<uint8_t>* sound_song_bytes(MusicSong* song) {
    return song ? &song->data : nullptr;
}

MusicSong* sound_song_aside(MusicSong* song) {
    if (!song) return nullptr;
    MusicSong* aside = load_song(song->data);
    if (aside) aside->held = {0, 0, 0};
    return aside;
}

size_t sound_aside_frame(MusicSong* song, int fps, SongPlace* place) {
    if (!song || song == sound_current || song->ended || fps <= 0) return 0;
    // As sound_lockstep_frame renders it, piece by piece.
    song->aside_carry += sound_rate;
    const size_t frames = size_t(song->aside_carry / fps);
    song->aside_carry %= fps;
    size_t done = 0;
    while (done < frames && !song->ended) {
        float mix[2 * RENDER_PIECE];
        done += read_piece(song, mix, std::min(RENDER_PIECE, frames - done));
    }
    song->held = {0, song->ended ? end_order(song) : song->last_order,
                  song->ended ? 0 : song->last_row};
    *place = SongPlace{song->song_sample, song->aside_carry, sound_rate};
    return done;
}

void sound_pin_position(MusicSong* song, int pinned, uint32_t order, uint32_t row) {
    if (!song) return;
    song->pinned = pinned;
    song->pinned_order = order;
    song->pinned_row = row;
}

double sound_position_seconds(MusicSong* song, uint32_t order, uint32_t row) {
    return song ? module_position_seconds(song->data, order, row) : -1;
}

uint32_t sound_song_orders(MusicSong* song) {
    if (!song) return 0;
    lock_output();
    const int32_t orders = openmpt_module_get_num_orders(song->module);
    unlock_output();
    return uint32_t(std::max(orders, 0));
}

double sound_order_seconds(MusicSong* song, uint32_t order) {
    if (!song || !time_orders(song->data, order, &song->order_times)) return -1;
    const OrderTimes& times = song->order_times;
    return order < times.starts.size() && times.starts[order] >= 0 ? times.starts[order]
                                                                   : times.length;
}
