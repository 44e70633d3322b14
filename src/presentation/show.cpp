// One start-up, one end: the sequences every way of running the show goes
// through, so that a window, a recording and a benchmark draw the same frames
// (the frame itself is show_frame.cpp).
#include "presentation/show.h"

#include "data/assets.h"
#include "director/kernels.h"
#include "director/timeline.h"
#include "effects/effect_tables.h"
#include "platform/sound.h"
#include "platform/video.h"
#include "presentation/seeking/catch_up.h"
#include "presentation/seeking/keep_ahead.h"
#include "presentation/seeking/kept_states.h"
#include "presentation/services/settings.h"
#include "presentation/services/stop_signal.h"

#include <cstdio>

ShowLoop show_loop = {0, 0, 0};

int open_show_sound(int output) {
    FSOUND_Close();
    FSOUND_SetOutput(output);
    FSOUND_SetDriver(sound_driver);
    FSOUND_SetMixer(sound_mixer);
    return FSOUND_Init(output_rate, DEMO_SOUND_CHANNELS, 0);
}

static void free_show_data() {
    free_all_assets();
    release_effect_tables();
}

int start_show(const ModeRecord& mode, int output, int fall_back) {
    demo_close_requested = 0;
    show_frame_waiting = 0;
    forget_kept_states();
    set_show_state_exact(sound_lockstep_enabled() ? sound_lockstep_fps() : 0);
    choose_kernels();
    load_all_assets();
    // A stop signal during the loading ends the start-up here.
    if (stop_signal) {
        free_show_data();
        return 0;
    }
    // Freshly loaded assets and start values: a show started again in the same
    // program begins where the first one did.
    reset_show_values();
    fill_surface(surface_virtual1, 0);
    init_effect_tables(mode);
    if (!open_show_sound(output)) {
        const char* text = sound_error_text(FSOUND_GetError());
        if (!fall_back || !open_show_sound(SOUND_OUTPUT_NONE)) {
            show_message("FSOUND", text, 1);
            free_show_data();
            return 0;
        }
        std::fprintf(stderr, "vorn: FSOUND: %s The show plays on without sound.\n", text);
    }
    FMUSIC_SetMasterVolume(music_song, DEMO_START_VOLUME);
    if (music_song && !FMUSIC_PlaySong(music_song))
        show_message("TEST SOUND", "Can't play music!", 0);
    // A live show's seeks may start from the states an earlier run kept.
    if (music_song && !sound_lockstep_enabled()) take_up_kept_states(CATCH_UP_FPS);
    return 1;
}

void stop_show() {
    stop_keeping_ahead();
    store_kept_states();
    forget_kept_states();
    set_show_state_exact(0);
    free_show_data();
    if (music_song) FMUSIC_FreeSong(music_song);
    music_song = nullptr;
    FSOUND_Close();
}

int show_loop_turns() {
    if (!show_loop.on || !music_song) return 0;
    // A loop past the song's end turns where the show would end.
    const uint32_t order = FMUSIC_GetOrder(music_song);
    return order > show_loop.last || order >= show_parts[PART_END_OF_SHOW].first_order;
}
