// The sound library layer: the FSOUND_ and FMUSIC_ operations the show calls,
// over libopenmpt and SDL audio.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct MusicSong;

// Error codes of FSOUND_GetError; sound_error_text gives their texts.
enum SoundError {
    SOUND_ERR_NONE = 0,
    SOUND_ERR_BUSY = 1,          // a set-up call after FSOUND_Init
    SOUND_ERR_UNINITIALIZED = 2, // playback without FSOUND_Init
    SOUND_ERR_INIT = 3,          // the output device could not be opened
    SOUND_ERR_ALLOCATED = 4,
    SOUND_ERR_PLAY = 5,
    SOUND_ERR_OUTPUT_FORMAT = 6,
    SOUND_ERR_COOPERATIVE_LEVEL = 7,
    SOUND_ERR_CREATE_BUFFER = 8,
    SOUND_ERR_FILE_NOT_FOUND = 9,
    SOUND_ERR_FILE_FORMAT = 10,
    SOUND_ERR_FILE_BAD = 11,
    SOUND_ERR_MEMORY = 12,
    SOUND_ERR_VERSION = 13,
    SOUND_ERR_INVALID_MIXER = 14,
    SOUND_ERR_INVALID_PARAM = 15,
    SOUND_ERR_NO_EAX = 16,
    SOUND_ERR_NO_EAX2 = 17,
    SOUND_ERR_CHANNEL_ALLOC = 18,
    SOUND_ERR_RECORD = 19,
};

// Output types (the stored sound_output values).
constexpr int SOUND_OUTPUT_ALSA = 1;         // ALSA directly
constexpr int SOUND_OUTPUT_SOUND_SERVER = 2; // SDL's default driver: the desktop's sound server
constexpr int SOUND_OUTPUT_NONE = 3;         // nothing heard; songs follow the wall clock

// Mixing rates FSOUND_Init accepts, in Hz.
constexpr int SOUND_RATE_MIN = 4000;
constexpr int SOUND_RATE_MAX = 192000;

// Mixer values 0..8 choose the interpolation filter and volume ramping;
// sound_mixer_name describes each (none for a value outside 0..8).
const char* sound_mixer_name(int mixer);

// Set-up calls (buffer size, output, driver) fail with SOUND_ERR_BUSY while the
// output is open; FSOUND_SetMixer and FSOUND_SetHWND may be called at any time.
// Driver 0 is the output's default device, 1.. the devices the output lists.
int FSOUND_SetBufferSize(int milliseconds);
int FSOUND_SetOutput(int output);
int FSOUND_SetDriver(int driver);
int FSOUND_SetMixer(int mixer);
int FSOUND_SetHWND(void* window);
int FSOUND_Init(int rate, int channels, unsigned flags);
int FSOUND_GetError();
int FSOUND_GetNumDrivers();
const char* FSOUND_GetDriverName(int driver);
void FSOUND_Close();

// FMUSIC_LoadSong reads the named file, or the built-in module when there is no
// such file; a file that is there but cannot be loaded (not a regular file,
// unreadable, too large, not a module) is said on stderr in one line, and the
// built-in module is played instead. FMUSIC_PlaySong starts from the beginning (master volume 256
// until set). FMUSIC_GetOrder and FMUSIC_GetRow give the position being heard; the row belongs to
// the order of the last FMUSIC_GetOrder call, so a pair read order first never straddles a pattern
// change. Once the song has played to its end the order is max(42, last order + 1).
MusicSong* FMUSIC_LoadSong(const char* name);
int FMUSIC_PlaySong(MusicSong* song);
// Plays the song from the start of a row of an order instead (a song that
// replaces another where it stood); 0 when it cannot be played from there.
int sound_play_at_row(MusicSong* song, uint32_t order, uint32_t row);
int FMUSIC_SetMasterVolume(MusicSong* song, int volume);
int FMUSIC_StopSong(MusicSong* song);
int FMUSIC_SetPaused(MusicSong* song, int paused);
uint32_t FMUSIC_GetOrder(MusicSong* song);
uint32_t FMUSIC_GetRow(MusicSong* song);
int FMUSIC_FreeSong(MusicSong* song);

const char* sound_error_text(int code);

// Loads a module held in memory (tests, the built-in module).
MusicSong* FMUSIC_LoadSongMemory(const void* data, size_t size);

// Whether FMUSIC_LoadSong falls back to the built-in module (on by default).
void sound_set_builtin_module(int enabled);

// Lockstep mode (capture, benchmarks, tests): no audio device is opened; a
// playing song advances only in sound_lockstep_frame, by exactly
// output rate / fps sample frames per call, so the same module, rate and fps
// always give the same positions and samples.
// FSOUND_Init opens no device while lockstep is on; a device opened before
// stays silent while lockstep is on and plays on from the song's position when
// it is turned off. Without a device a playing song follows the wall clock.
void sound_set_lockstep(int enabled, int fps);
int sound_lockstep_enabled();
// The frame rate lockstep advances by.
int sound_lockstep_fps();

// Where a playing song is in lockstep, to the sample frame: the frames
// rendered since the song's start, the lockstep's carried part of a frame,
// and the output rate they count at.
struct SongPlace {
    uint64_t sample;
    int64_t carry;
    int rate;
};
// The place of the current song; 0 outside lockstep or when it is not playing.
int sound_song_place(MusicSong* song, SongPlace* place);
// Plays song afresh from place, in lockstep at the same output rate: from the
// start of the order before the one it lies in, the frames up to it rendered
// unheard (the last tail_frames of them into tail, when given), so that
// positions and lockstep frames from there are those of a song played from
// its start, and so are the samples unless a note rings on for longer than an
// order. Returns 0 when it cannot (the song then stands or ended).
int sound_play_from(MusicSong* song, const SongPlace& place, std::vector<int16_t>* tail,
                    size_t tail_frames);

// The module file a song plays (to tell one song's content from another's).
const std::vector<uint8_t>* sound_song_bytes(MusicSong* song);

// A copy of song to compute aside, never heard nor made current: from its
// start, sound_aside_frame renders one lockstep frame's share at fps unheard
// (0 once it has ended) and gives its place; FMUSIC_GetOrder and
// FMUSIC_GetRow read where it stopped, as in lockstep. Free it with
// FMUSIC_FreeSong.
MusicSong* sound_song_aside(MusicSong* song);
size_t sound_aside_frame(MusicSong* song, int fps, SongPlace* place);

// Renders one drawn frame's share of the song as interleaved 16-bit stereo
// into out (resized to fit); returns the number of sample frames rendered
// (0 once the song has ended).
size_t sound_lockstep_frame(MusicSong* song, std::vector<int16_t>* out);

// Seconds from the start of the song to the start of order at the module's
// own tempo; the song's length for an order past its last one, -1 for no song.
double sound_order_seconds(MusicSong* song, uint32_t order);
// The number of orders in the song's order list; 0 for no song.
uint32_t sound_song_orders(MusicSong* song);
// The same for a row of an order; -1 for no song or a position it does not have.
double sound_position_seconds(MusicSong* song, uint32_t order, uint32_t row);

// Test hook: while pinned, FMUSIC_GetOrder and FMUSIC_GetRow report the given
// position instead of the song's.
void sound_pin_position(MusicSong* song, int pinned, uint32_t order, uint32_t row);
