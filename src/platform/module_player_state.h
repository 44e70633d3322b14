// What the module player's two files share: the song record, the open
// output, the current song, lockstep's carry and the steps that render and
// restart a song. module_player.cpp plays; module_seek.cpp places a song
// where a seek or the states kept ahead need it.
#pragma once

#include "platform/module_data.h"
#include "platform/sound.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct openmpt_module;

namespace player {

constexpr size_t RENDER_PIECE = 256; // frames rendered between two position marks
constexpr size_t MARK_RING = 1024;   // position marks kept per song

struct PositionMark {
    uint64_t sample; // output sample at which the position was reached
    uint32_t order;
    uint32_t row;
};

} // namespace player

struct MusicSong {
    std::vector<uint8_t> data; // the module file, kept to start afresh on every play
    openmpt_module* module;
    int volume;
    int playing;
    int paused;
    int ended;
    uint32_t last_order; // position of the last rendered piece
    uint32_t last_row;
    uint64_t song_sample;   // sample frames rendered since the song's start
    int64_t aside_carry;    // lockstep carry of a song computed aside
    OrderTimes order_times; // timed as far as asked
    player::PositionMark marks[player::MARK_RING];
    size_t mark_count;
    size_t mark_next;
    player::PositionMark held; // reported while not playing or paused
    uint32_t sampled_row;      // row of the position read by the last FMUSIC_GetOrder
    int row_sampled;
    int pinned;
    uint32_t pinned_order;
    uint32_t pinned_row;
};

namespace player {

// The open output.
extern int sound_initialised;
extern int sound_rate;

// The song the output plays (the device's pulls and the main thread share it
// under the device lock), and lockstep's share of a frame carried over.
extern MusicSong* sound_current;
extern int lockstep_on;
extern int64_t lockstep_carry;

// Records code as the last error; returns 0.
int fail(int code);

void lock_output();
void unlock_output();

// A song of data with a fresh library module, at full volume; none (the
// error recorded) when the data is no module.
MusicSong* load_song(std::vector<uint8_t> data);

// The order reported once the song has ended.
uint32_t end_order(const MusicSong* song);

// Whether song is the current one and moving on (playing, not paused, not
// ended).
int song_advancing(const MusicSong* song);

// Reads up to piece frames of the song's float mix (none once it ends, which
// marks it ended), its position after a whole piece becoming its last one: a
// short read has reached the end, and the position then already names the
// restart order.
size_t read_piece(MusicSong* song, float* mix, size_t piece);

// Renders up to frames sample frames of a playing song as 16-bit stereo,
// advancing the output clock and marking the position piece by piece; returns
// the frames rendered (fewer once the song ends).
size_t render_song(MusicSong* song, int16_t* out, size_t frames);

// Renders up to frames of a playing song unheard, as render_song does, and
// drops the samples; returns the frames rendered.
uint64_t render_unheard(MusicSong* song, uint64_t frames);

// Makes song the current one, playing module from the start of order, which
// lies start_sample frames into the song; lock held.
void start_playing(MusicSong* song, openmpt_module* module, uint32_t order, uint64_t start_sample);

} // namespace player
