// The running show's song and what its frames share: the module playing,
// the song's share of the last lockstep frame, the frame a seek left waiting,
// the frames drawn and the request to close. Below the show's frame, its
// seeking and its kept states, which all read them.
#pragma once

#include <cstdint>
#include <vector>

struct MusicSong;

// The song starts at this master volume (of 256); the sound library mixes
// this many channels.
constexpr int DEMO_START_VOLUME = 150;
constexpr int DEMO_SOUND_CHANNELS = 256;

extern MusicSong* music_song; // the module "system2.xm"

// Frames drawn since the program started (all of them, not only per second).
extern uint32_t demo_frames_drawn;
// Set by request_demo_close: the director reached the end, or the viewer
// asked to end the show.
extern int demo_close_requested;
void request_demo_close();

// The song's share of the last lockstep frame.
extern std::vector<int16_t> demo_lockstep_samples;
// The next frame is already drawn (a seek drew the frame at its order's start).
extern int show_frame_waiting;
