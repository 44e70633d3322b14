// The show's run: the demo window, the start-up, the frame loop over SDL
// events and the shut-down.
#pragma once

#include "data/surface.h"

#include <cstdint>
#include <cstdio>
#include <vector>

struct SDL_Window;
struct MusicSong;

// The song starts at this master volume (of 256); the sound library mixes
// this many channels.
constexpr int DEMO_START_VOLUME = 150;
constexpr int DEMO_SOUND_CHANNELS = 256;

extern SDL_Window* demo_window; // the demo window; none before and after the show
extern int app_active;          // 1 while the show has the focus; frames are drawn only then
extern MusicSong* music_song;   // the module "system2.xm"

// Options of this run: sound output 3 whatever the stored setting (--nosound,
// or the dialog after an output failed to open); the order the show starts at
// (the frames before it computed without being shown).
extern int demo_nosound;
// Set for a show started without the dialog: when the sound output cannot be
// opened, one line on stderr and the show plays on without sound (the cuts
// kept) instead of ending.
extern int demo_sound_fallback;
extern uint32_t demo_start_order;

// The song's share of the last lockstep frame (the live loop only advances
// the song with it; after a seek it belongs to the frame drawn there).
extern std::vector<int16_t> demo_lockstep_samples;

// Frames drawn since the program started (all of them, not only per second).
extern uint32_t demo_frames_drawn;
// Set by request_demo_close; a run without a window stops on it.
extern int demo_close_requested;
// 1 while Space has paused the show: the music stands, the last picture is
// drawn again every frame.
extern int demo_paused;

// The whole show: start-up, frame loop, shut-down. Returns 0 after the show
// ran, 1 when the window, the display or the sound output failed.
int run_demo();

// The director's close request at the end of the music: the show ends as on
// Escape.
void request_demo_close();

// The parts of run_demo, for tests. start_demo returns what run_demo would
// when it fails, or -1 when the show is running; frame_loop_pass handles every
// waiting event and then draws one frame (or, while inactive, waits for an
// event) and returns 0 once the show has ended; shut_down_demo frees
// everything and stores the settings.
int start_demo();
int frame_loop_pass();
void shut_down_demo();

SDL_Window* create_demo_window(const ModeRecord& mode);
void set_music_paused(int paused);
void toggle_demo_pause();

// Goes to the start of order exactly: the show back to its start values
// (reset_show), the song from the beginning, then every frame before the
// order computed in lockstep at 60 frames a second without being shown, with
// a progress bar on the window and Escape answered. The frame at the start of
// the order is drawn and shown by the next frame_loop_pass; it is the frame a
// lockstep viewer from the start sees there. Returns 0 when it was ended
// early (or there is nothing to play).
int seek_to_order(uint32_t order);

// The scene table with the start and length of every scene in seconds at the
// module's tempo.
void print_scene_list(MusicSong* song, std::FILE* out);
