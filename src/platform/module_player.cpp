// The module player: songs played by libopenmpt, behind the sound library's
// FSOUND_ and FMUSIC_ calls, heard through the platform's sound device. One
// song plays at a time. It is rendered when the device pulls samples, by
// sound_lockstep_frame in lockstep mode, and otherwise on the main thread
// whenever its position is asked for, as far as the wall clock says. Every
// render records (output sample, order, row) marks, and the position reported
// is the mark of the output sample being heard now. Seeking is
// module_seek.cpp.
#include "platform/module_data.h"
#include "platform/module_player_state.h"
#include "platform/sound.h"
#include "platform/sound_device.h"
#include "platform/sound_tables.h"

#include "data/builtin.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

using namespace player;

namespace {

constexpr uint32_t END_ORDER_MIN = 42; // the order reported once a song has ended
constexpr int VOLUME_MAX = 256;
constexpr int DEFAULT_FPS = 60;

// What the next FSOUND_Init opens (the settings file's sound_output and
// sound_driver are what the user chose; these are what the library was told),
// and the mixer songs render with.
int pending_buffer_ms = 200;
int pending_output = SOUND_OUTPUT_SOUND_SERVER;
int pending_driver = 0;
int mixer_in_use = 0;
int sound_last_error = SOUND_ERR_NONE;
int sound_builtin_enabled = 1;

// The output clock counts every sample frame handed to the device (silence
// included) or rendered without one; the device's pulls and the main thread
// share it under the device lock.
uint64_t output_clock = 0;
uint64_t pulled_clock_end = 0; // output_clock after the device's last pull
// Where lockstep last ended: what it rendered counts as heard, so a device
// still playing what it pulled before (silence, while lockstep was on) never
// takes the position back behind it.
uint64_t heard_floor = 0;

int lockstep_fps = DEFAULT_FPS;

// Wall clock of a song played without a device.
std::chrono::steady_clock::time_point clock_origin_time;
uint64_t clock_origin_samples = 0;
std::vector<int16_t> clock_scratch;

// Driver names of the current output, for FSOUND_GetDriverName.
std::vector<std::string> driver_names;
int driver_names_output = 0;

void refresh_driver_names() {
    driver_names.clear();
    driver_names_output = pending_output;
    if (pending_output == SOUND_OUTPUT_NONE) {
        driver_names.push_back("No sound");
        return;
    }
    std::vector<std::string> devices;
    if (!sound_device_names(pending_output, &devices)) return;
    driver_names.push_back("Default device");
    driver_names.insert(driver_names.end(), devices.begin(), devices.end());
}

void apply_mixer(MusicSong* song) {
    const MixerChoice& choice = mixer_choices[mixer_in_use];
    openmpt_module_set_render_param(song->module, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH,
                                    choice.filter_length);
    openmpt_module_set_render_param(song->module, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH,
                                    choice.ramping);
}

void push_mark(MusicSong* song, uint64_t sample, uint32_t order, uint32_t row) {
    song->marks[song->mark_next] = {sample, order, row};
    song->mark_next = (song->mark_next + 1) % MARK_RING;
    if (song->mark_count < MARK_RING) song->mark_count++;
}

// What the device plays: the current song, silence where it has none or
// after its end.
void pull_song(int16_t* out, size_t frames) {
    size_t done = 0;
    if (!lockstep_on && song_advancing(sound_current))
        done = render_song(sound_current, out, frames);
    std::memset(out + 2 * done, 0, (frames - done) * 2 * sizeof(int16_t));
    output_clock += frames - done;
    pulled_clock_end = output_clock;
}

void restart_wall_clock() {
    clock_origin_time = std::chrono::steady_clock::now();
    clock_origin_samples = output_clock;
}

// Without a device (and outside lockstep) the current song is rendered here,
// up to the sample the wall clock has reached, and the samples are dropped.
void advance_by_wall_clock() {
    if (sound_device_is_open() || lockstep_on || !song_advancing(sound_current)) return;
    auto elapsed = std::chrono::steady_clock::now() - clock_origin_time;
    int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    uint64_t target = clock_origin_samples + uint64_t(ms) * uint64_t(sound_rate) / 1000;
    if (output_clock < target) render_unheard(sound_current, target - output_clock);
}

// The output sample being heard now: with a device, the end of its last pull
// less what it has not played yet; without one, the last sample rendered.
int64_t heard_sample() {
    if (!sound_device_is_open() || lockstep_on) return int64_t(output_clock);
    const int64_t unheard = sound_device_unheard_frames();
    if (unheard < 0) return heard_floor ? int64_t(heard_floor) : -1;
    return std::max(int64_t(pulled_clock_end) - unheard, int64_t(heard_floor));
}

// The newest mark at or before the sample being heard; the oldest mark while
// nothing has been heard yet, and the start while nothing has been rendered.
PositionMark mark_heard(const MusicSong* song) {
    if (!song->mark_count) return {0, 0, 0};
    int64_t heard = heard_sample();
    size_t index = song->mark_next;
    PositionMark found{};
    for (size_t i = 0; i < song->mark_count; i++) {
        index = (index + MARK_RING - 1) % MARK_RING;
        found = song->marks[index];
        if (int64_t(found.sample) <= heard) break;
    }
    return found;
}

// The position reported for a song; the output lock is held by the caller.
PositionMark song_position(MusicSong* song) {
    if (song->pinned) return {0, song->pinned_order, song->pinned_row};
    if (song != sound_current || !song->playing || song->paused) return song->held;
    advance_by_wall_clock();
    return mark_heard(song);
}

// Stops the current song, keeping the position it had reached; lock held.
void stop_current() {
    if (!sound_current) return;
    MusicSong* song = sound_current;
    song->held = song_position(song);
    song->playing = 0;
    sound_current = nullptr;
}

int open_device() {
    refresh_driver_names();
    const char* name = nullptr;
    if (pending_driver > 0 && size_t(pending_driver) < driver_names.size())
        name = driver_names[size_t(pending_driver)].c_str();
    // A device buffer of about a quarter of the buffer size, a power of two.
    int wanted = sound_rate * pending_buffer_ms / 4000;
    int frames = 256;
    while (frames * 2 <= wanted && frames < 8192) frames *= 2;
    return sound_device_open(pending_output, name, sound_rate, frames, pull_song);
}

} // namespace

int player::sound_initialised = 0;
int player::sound_rate = 44100;
MusicSong* player::sound_current = nullptr;
int player::lockstep_on = 0;
int64_t player::lockstep_carry = 0;

int player::fail(int code) {
    sound_last_error = code;
    return 0;
}

void player::lock_output() {
    sound_device_lock();
}

void player::unlock_output() {
    sound_device_unlock();
}

MusicSong* player::load_song(std::vector<uint8_t> data) {
    openmpt_module* module = create_module(data);
    if (!module) {
        fail(SOUND_ERR_FILE_FORMAT);
        return nullptr;
    }
    MusicSong* song = new MusicSong{};
    song->data = std::move(data);
    song->module = module;
    song->volume = VOLUME_MAX;
    return song;
}

uint32_t player::end_order(const MusicSong* song) {
    return std::max(END_ORDER_MIN, song->last_order + 1);
}

int player::song_advancing(const MusicSong* song) {
    return song && song == sound_current && song->playing && !song->paused && !song->ended;
}

size_t player::read_piece(MusicSong* song, float* mix, size_t piece) {
    const size_t got =
        openmpt_module_read_interleaved_float_stereo(song->module, sound_rate, piece, mix);
    song->ended = got == 0;
    if (got == piece) {
        song->last_order = uint32_t(std::max(openmpt_module_get_current_order(song->module), 0));
        song->last_row = uint32_t(std::max(openmpt_module_get_current_row(song->module), 0));
    }
    song->song_sample += got;
    return got;
}

size_t player::render_song(MusicSong* song, int16_t* out, size_t frames) {
    size_t done = 0;
    while (done < frames && !song->ended) {
        float mix[2 * RENDER_PIECE];
        const size_t got = read_piece(song, mix, std::min(RENDER_PIECE, frames - done));
        if (got == 0) {
            push_mark(song, output_clock, end_order(song), 0);
            break;
        }
        push_mark(song, output_clock, song->last_order, song->last_row);
        mix_to_16bit(mix, out + 2 * done, 2 * got, song->volume, VOLUME_MAX);
        output_clock += got;
        done += got;
    }
    return done;
}

uint64_t player::render_unheard(MusicSong* song, uint64_t frames) {
    clock_scratch.resize(2 * 4096);
    uint64_t done = 0;
    while (done < frames && !song->ended) {
        const size_t piece = size_t(std::min<uint64_t>(frames - done, 4096));
        const size_t got = render_song(song, clock_scratch.data(), piece);
        done += got;
        if (got < piece) break;
    }
    return done;
}

void player::start_playing(MusicSong* song, openmpt_module* module, uint32_t order,
                           uint64_t start_sample) {
    stop_current();
    openmpt_module_destroy(song->module);
    song->module = module;
    apply_mixer(song);
    song->playing = 1;
    song->paused = 0;
    song->ended = 0;
    song->last_order = order;
    song->last_row = 0;
    song->song_sample = start_sample;
    song->mark_count = 0;
    song->mark_next = 0;
    song->held = {0, order, 0};
    song->row_sampled = 0;
    sound_current = song;
    restart_wall_clock();
}

int FSOUND_SetBufferSize(int milliseconds) {
    if (sound_initialised) return fail(SOUND_ERR_BUSY);
    if (milliseconds < 1 || milliseconds > 2000) return fail(SOUND_ERR_INVALID_PARAM);
    pending_buffer_ms = milliseconds;
    return 1;
}

int FSOUND_SetOutput(int output) {
    if (sound_initialised) return fail(SOUND_ERR_BUSY);
    if (output < SOUND_OUTPUT_ALSA || output > SOUND_OUTPUT_NONE)
        return fail(SOUND_ERR_INVALID_PARAM);
    pending_output = output;
    return 1;
}

int FSOUND_SetDriver(int driver) {
    if (sound_initialised) return fail(SOUND_ERR_BUSY);
    if (driver < 0) return fail(SOUND_ERR_INVALID_PARAM);
    pending_driver = driver;
    return 1;
}

int FSOUND_SetMixer(int mixer) {
    if (mixer < 0 || mixer >= MIXER_COUNT) return fail(SOUND_ERR_INVALID_MIXER);
    lock_output();
    mixer_in_use = mixer;
    if (sound_current) apply_mixer(sound_current);
    unlock_output();
    return 1;
}

// The output has no owner window here.
int FSOUND_SetHWND(void*) {
    return 1;
}

int FSOUND_Init(int rate, int channels, unsigned flags) {
    (void)flags;
    if (sound_initialised) return fail(SOUND_ERR_BUSY);
    if (rate < SOUND_RATE_MIN || rate > SOUND_RATE_MAX || channels < 1)
        return fail(SOUND_ERR_INVALID_PARAM);
    sound_rate = rate;
    if (pending_output != SOUND_OUTPUT_NONE && !lockstep_on && !open_device()) {
        sound_device_close();
        return fail(SOUND_ERR_INIT);
    }
    sound_initialised = 1;
    restart_wall_clock();
    return 1;
}

int FSOUND_GetError() {
    return sound_last_error;
}

int FSOUND_GetNumDrivers() {
    refresh_driver_names();
    return int(driver_names.size());
}

const char* FSOUND_GetDriverName(int driver) {
    if (driver_names_output != pending_output || driver_names.empty()) refresh_driver_names();
    if (driver < 0 || size_t(driver) >= driver_names.size()) {
        fail(SOUND_ERR_INVALID_PARAM);
        return nullptr;
    }
    return driver_names[size_t(driver)].c_str();
}

void FSOUND_Close() {
    lock_output();
    stop_current();
    unlock_output();
    sound_device_close();
    sound_initialised = 0;
}

MusicSong* FMUSIC_LoadSongMemory(const void* data, size_t size) {
    if (!data || !size) {
        fail(SOUND_ERR_INVALID_PARAM);
        return nullptr;
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return load_song(std::vector<uint8_t>(bytes, bytes + size));
}

MusicSong* FMUSIC_LoadSong(const char* name) {
    if (!name) {
        fail(SOUND_ERR_INVALID_PARAM);
        return nullptr;
    }
    std::vector<uint8_t> data;
    const int read = read_module_file(name, &data);
    MusicSong* song = read == SOUND_ERR_NONE ? load_song(std::move(data)) : nullptr;
    if (song) return song;
    const int error = read != SOUND_ERR_NONE ? read : SOUND_ERR_FILE_FORMAT;
    Blob builtin = sound_builtin_enabled ? builtin_module() : Blob{nullptr, 0};
    if (!builtin.size) {
        fail(error);
        return nullptr;
    }
    if (error != SOUND_ERR_FILE_NOT_FOUND)
        std::fprintf(stderr, "vorn: %s cannot be loaded (%s); playing the built-in module\n", name,
                     sound_error_text(error));
    return FMUSIC_LoadSongMemory(builtin.data, builtin.size);
}

void sound_set_builtin_module(int enabled) {
    sound_builtin_enabled = enabled;
}

int FMUSIC_PlaySong(MusicSong* song) {
    if (!song) return fail(SOUND_ERR_INVALID_PARAM);
    if (!sound_initialised) return fail(SOUND_ERR_UNINITIALIZED);
    // Every play starts from the beginning with a fresh module.
    openmpt_module* module = create_module(song->data);
    if (!module) return fail(SOUND_ERR_PLAY);
    lock_output();
    start_playing(song, module, 0, 0);
    lockstep_carry = 0;
    unlock_output();
    return 1;
}

int FMUSIC_SetMasterVolume(MusicSong* song, int volume) {
    if (!song || volume < 0 || volume > VOLUME_MAX) return fail(SOUND_ERR_INVALID_PARAM);
    lock_output();
    song->volume = volume;
    unlock_output();
    return 1;
}

int FMUSIC_StopSong(MusicSong* song) {
    if (!song) return fail(SOUND_ERR_INVALID_PARAM);
    lock_output();
    if (song == sound_current) stop_current();
    unlock_output();
    return 1;
}

int FMUSIC_SetPaused(MusicSong* song, int paused) {
    if (!song) return fail(SOUND_ERR_INVALID_PARAM);
    lock_output();
    if (paused && !song->paused) {
        song->held = song_position(song);
        song->paused = 1;
    } else if (!paused && song->paused) {
        song->paused = 0;
        restart_wall_clock();
    }
    unlock_output();
    return 1;
}

uint32_t FMUSIC_GetOrder(MusicSong* song) {
    if (!song) return 0;
    lock_output();
    PositionMark mark = song_position(song);
    song->sampled_row = mark.row;
    song->row_sampled = 1;
    unlock_output();
    return mark.order;
}

uint32_t FMUSIC_GetRow(MusicSong* song) {
    if (!song) return 0;
    lock_output();
    uint32_t row = song->row_sampled ? song->sampled_row : song_position(song).row;
    song->row_sampled = 0;
    unlock_output();
    return row;
}

int FMUSIC_FreeSong(MusicSong* song) {
    if (!song) return fail(SOUND_ERR_INVALID_PARAM);
    lock_output();
    if (song == sound_current) stop_current();
    unlock_output();
    openmpt_module_destroy(song->module);
    release_order_times(&song->order_times);
    delete song;
    return 1;
}

void sound_set_lockstep(int enabled, int fps) {
    lock_output();
    if (lockstep_on && !enabled) heard_floor = output_clock;
    lockstep_on = enabled ? 1 : 0;
    lockstep_fps = fps > 0 ? fps : DEFAULT_FPS;
    lockstep_carry = 0;
    restart_wall_clock();
    unlock_output();
}

int sound_lockstep_enabled() {
    return lockstep_on;
}

size_t sound_lockstep_frame(MusicSong* song, std::vector<int16_t>* out) {
    if (out) out->clear();
    if (!lockstep_on || !out || !song_advancing(song)) return 0;
    lockstep_carry += sound_rate;
    size_t frames = size_t(lockstep_carry / lockstep_fps);
    lockstep_carry %= lockstep_fps;
    out->resize(2 * frames);
    lock_output();
    size_t done = render_song(song, out->data(), frames);
    unlock_output();
    out->resize(2 * done);
    return done;
}

int sound_lockstep_fps() {
    return lockstep_fps;
}
