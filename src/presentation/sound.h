// The sound library layer: the FSOUND_ and FMUSIC_ operations the show calls,
// over libopenmpt and SDL audio.
#pragma once

#include <cstdint>

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
