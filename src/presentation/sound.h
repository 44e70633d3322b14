// The sound library layer: the FSOUND_ and FMUSIC_ operations the show calls,
// over libopenmpt and SDL audio.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct MusicSong;

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

MusicSong* FMUSIC_LoadSong(const char* name);
int FMUSIC_PlaySong(MusicSong* song);
int FMUSIC_SetMasterVolume(MusicSong* song, int volume);
int FMUSIC_StopSong(MusicSong* song);
int FMUSIC_SetPaused(MusicSong* song, int paused);
uint32_t FMUSIC_GetOrder(MusicSong* song);
uint32_t FMUSIC_GetRow(MusicSong* song);
int FMUSIC_FreeSong(MusicSong* song);

const char* sound_error_text(int code);

// Loads a module held in memory (tests, the built-in module).
MusicSong* FMUSIC_LoadSongMemory(const void* data, size_t size);

// Lockstep mode (capture, benchmarks, tests): no audio device is opened; a
// playing song advances only in sound_lockstep_frame, by exactly
// output rate / fps sample frames per call, so the same module, rate and fps
// always give the same positions and samples.
void sound_set_lockstep(int enabled, int fps);
int sound_lockstep_enabled();
// Renders one drawn frame's share of the song as interleaved 16-bit stereo
// into out (resized to fit); returns the number of sample frames rendered
// (0 once the song has ended).
size_t sound_lockstep_frame(MusicSong* song, std::vector<int16_t>* out);

// Test hook: while pinned, FMUSIC_GetOrder and FMUSIC_GetRow report the given
// position instead of the song's.
void sound_pin_position(MusicSong* song, int pinned, uint32_t order, uint32_t row);
