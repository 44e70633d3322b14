// The running show's song and the state its frames share (show_song.h).
#include "presentation/show_song.h"

MusicSong* music_song = nullptr;
uint32_t demo_frames_drawn = 0;
int demo_close_requested = 0;
std::vector<int16_t> demo_lockstep_samples;
int show_frame_waiting = 0;

void request_demo_close() {
    demo_close_requested = 1;
}
