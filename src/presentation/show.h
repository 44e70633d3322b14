// The show's start, frame and end, one sequence each, shared by every way of
// running it: the live show in a window, lockstep capture and the benchmark,
// and the dialog's sound test. A frame is the song's share (in lockstep), the
// director's scene and, after a seek, the frame it left waiting.
#pragma once

#include "data/surface.h"

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

// The sound library opened for output with the stored driver, mixer and
// rate (closed first). Returns what FSOUND_Init returns.
int open_show_sound(int output);

// Everything a show needs once its display is made: the assets and tables
// for mode, the sound output (on failure, with fall_back, no sound instead
// and one line on stderr; without, the "FSOUND" message and 0 after freeing
// what it loaded), the song from the start at the start volume.
int start_show(const ModeRecord& mode, int output, int fall_back);

// Frees the assets, the tables, the song and the sound library.
void stop_show();

// In lockstep, renders the song's next frame share into
// demo_lockstep_samples, and keeps the show's state when the song has just
// reached a new order (kept_states.h); returns the sample frames rendered (0
// outside lockstep and once the song has ended).
size_t advance_show_music();

// The director's frame of the song's position into surface_back; at the
// end of the show the close is requested.
void draw_show_frame();

// Takes the frame a seek left waiting: 1 when there was one.
int take_waiting_frame();

// The next frame into surface_back: the waiting one, or the song's share and
// the director's frame.
void next_show_frame();

// --loop: the orders played over and over.
struct ShowLoop {
    int on;
    uint32_t first, last;
};
extern ShowLoop show_loop;
// Whether the song has gone past the loop's last order, or reached the end of
// the show (a loop running past the song's end): the show goes back to the
// loop's first before it draws another frame.
int show_loop_turns();
