// One frame of the show, the same for a window, a recording, a benchmark and
// a seek's catch-up.
#include "presentation/show_frame.h"

#include "director/timeline.h"
#include "platform/sound.h"
#include "presentation/seeking/kept_states.h"
#include "presentation/show_song.h"

size_t advance_show_music() {
    if (!sound_lockstep_enabled()) return 0;
    const size_t frames = sound_lockstep_frame(music_song, &demo_lockstep_samples);
    keep_state_at_order_start();
    return frames;
}

void draw_show_frame() {
    if (!director_frame(music_song)) request_demo_close();
}

int take_waiting_frame() {
    const int waiting = show_frame_waiting;
    show_frame_waiting = 0;
    return waiting;
}

void next_show_frame() {
    if (take_waiting_frame()) return;
    advance_show_music();
    draw_show_frame();
}
