#include "presentation/demo_run.h"

#include "data/assets.h"
#include "director/timeline.h"
#include "effects/effect_tables.h"
#include "launcher/settings.h"
#include "launcher/stop_signal.h"
#include "presentation/display.h"
#include "presentation/fps_text.h"
#include "presentation/sound.h"

#include <SDL.h>

#include <cstdio>
#include <vector>

SDL_Window* demo_window = nullptr;
int app_active = 0;
MusicSong* music_song = nullptr;
int demo_nosound = 0;
int demo_sound_fallback = 0;
uint32_t demo_start_order = 0;
uint32_t demo_frames_drawn = 0;
int demo_close_requested = 0;

constexpr int PREROLL_FPS = 60;

// The event that carries a close request (Escape, F12, the director).
static Uint32 demo_close_event = 0;
// Samples of a lockstep frame; the live loop only advances the song with them.
static std::vector<int16_t> lockstep_samples;

// Windowed, the window has the mode's size; full screen, it covers the whole
// display from the start (also where no window manager honours the
// full-screen request) and the mode's picture is shown scaled on it.
SDL_Window* create_demo_window(const ModeRecord& mode) {
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
    const int display = selected_device < 0 ? 0 : selected_device;
    SDL_Rect area = {int(SDL_WINDOWPOS_CENTERED_DISPLAY(display)),
                     int(SDL_WINDOWPOS_CENTERED_DISPLAY(display)), int(mode.width),
                     int(mode.height)};
    Uint32 flags = SDL_WINDOW_SHOWN;
    if (!display_windowed) {
        flags |= SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_BORDERLESS;
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(display, &bounds) == 0) area = bounds;
    }
    SDL_Window* window = SDL_CreateWindow("VORN", area.x, area.y, area.w, area.h, flags);
    if (window) SDL_ShowCursor(SDL_DISABLE);
    return window;
}

void set_music_paused(int paused) {
    FMUSIC_SetPaused(music_song, paused);
}

static void destroy_demo_window() {
    release_display();
    if (demo_window) SDL_DestroyWindow(demo_window);
    demo_window = nullptr;
}

// The window goes away (the display with it) and the loop is told to end.
static void close_demo_window() {
    if (!demo_window) return;
    destroy_demo_window();
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
}

void request_demo_close() {
    demo_close_requested = 1;
    if (!SDL_WasInit(SDL_INIT_EVENTS)) return;
    if (!demo_close_event) demo_close_event = SDL_RegisterEvents(1);
    if (demo_close_event == Uint32(-1)) return;
    SDL_Event close = {};
    close.type = demo_close_event;
    SDL_PushEvent(&close);
}

// Losing the focus or being minimised makes the show inactive: the module
// pauses and no frames are drawn until it is active again. A full-screen show
// steps out of the way while inactive.
static void set_app_active(int active) {
    if (active == app_active) return;
    app_active = active;
    set_music_paused(!active);
    if (!demo_window || display_windowed) return;
    if (active)
        SDL_RestoreWindow(demo_window);
    else
        SDL_MinimizeWindow(demo_window);
}

static void handle_demo_event(const SDL_Event& event) {
    if (event.type == SDL_WINDOWEVENT) {
        switch (event.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
        case SDL_WINDOWEVENT_RESTORED:
            set_app_active(1);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
        case SDL_WINDOWEVENT_MINIMIZED:
            set_app_active(0);
            break;
        case SDL_WINDOWEVENT_CLOSE:
            close_demo_window();
            break;
        }
    } else if (event.type == SDL_KEYDOWN) {
        const SDL_Keycode key = event.key.keysym.sym;
        if (key == SDLK_RETURN || key == SDLK_KP_ENTER) show_fps ^= 1;
        if (key == SDLK_ESCAPE || key == SDLK_F12) request_demo_close();
    } else if (demo_close_event && event.type == demo_close_event) {
        close_demo_window();
    }
}

// One frame: counted, drawn by the director, the frame-rate text on top,
// shown. In lockstep the song advances by one frame's share first.
static void draw_demo_frame() {
    if (sound_lockstep_enabled()) sound_lockstep_frame(music_song, &lockstep_samples);
    count_fps_frame(SDL_GetTicks());
    demo_frames_drawn++;
    director_frame();
    if (show_fps) draw_fps();
    flip_primary();
}

// Runs the show in lockstep, unseen, until the music reaches the start order,
// so that every effect stands where a viewer from the start would see it; the
// frames go to a memory back buffer. The song then plays on from there.
static void preroll_to_start_order() {
    if (demo_start_order == 0 || !music_song) return;
    const int was_lockstep = sound_lockstep_enabled();
    if (!was_lockstep) sound_set_lockstep(1, PREROLL_FPS);
    Surface* live_back = surface_back;
    Surface unseen = {std::vector<uint32_t>(FRAME_PIXELS, 0), FRAME_WIDTH, FRAME_HEIGHT, false,
                      nullptr};
    surface_back = &unseen;
    while (!demo_close_requested && FMUSIC_GetOrder(music_song) < demo_start_order) {
        const size_t rendered = sound_lockstep_frame(music_song, &lockstep_samples);
        director_frame();
        demo_frames_drawn++;
        if (rendered == 0) break;
    }
    surface_back = live_back;
    if (!was_lockstep) sound_set_lockstep(0, 0);
}

static int open_show_sound(int output) {
    FSOUND_Close();
    FSOUND_SetOutput(output);
    FSOUND_SetDriver(sound_driver);
    FSOUND_SetMixer(sound_mixer);
    FSOUND_SetHWND(demo_window);
    return FSOUND_Init(output_rate, DEMO_SOUND_CHANNELS, 0);
}

int start_demo() {
    release_display();
    demo_close_requested = 0;
    demo_window = create_demo_window(selected_mode);
    if (!demo_window) return 1;
    if (!init_display(demo_window, selected_device, selected_mode)) {
        destroy_demo_window();
        return 1;
    }
    load_all_assets();
    init_effect_tables(selected_mode);

    if (!open_show_sound(demo_nosound ? SOUND_OUTPUT_NONE : sound_output)) {
        const char* text = sound_error_text(FSOUND_GetError());
        if (!demo_sound_fallback || !open_show_sound(SOUND_OUTPUT_NONE)) {
            show_message("FSOUND", text, 1);
            close_demo_window();
            free_all_assets();
            release_effect_tables();
            return 1;
        }
        std::fprintf(stderr, "vorn: FSOUND: %s The show plays on without sound.\n", text);
    }
    FMUSIC_SetMasterVolume(music_song, DEMO_START_VOLUME);
    if (!FMUSIC_PlaySong(music_song)) show_message("TEST SOUND", "Can't play music!", 0);
    preroll_to_start_order();

    fps_start_ms = SDL_GetTicks();
    fps_frames = 0;
    for (int i = 0; i < 2; i++) {
        fill_surface(surface_back, 0);
        flip_primary();
    }
    // Showing the window activates the show; focus events follow from here.
    app_active = 1;
    return -1;
}

// Takes the next waiting event. Unlike SDL_PollEvent, which stops at the end
// of the events that were there when it started, this also returns events
// that arrived while earlier ones were handled (a close request pushed by a
// key, say), so the queue is really empty when it returns 0.
static int take_waiting_event(SDL_Event* event) {
    SDL_PumpEvents();
    return SDL_PeepEvents(event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0;
}

int frame_loop_pass() {
    if (stop_signal && !demo_close_requested) request_demo_close();
    SDL_Event event;
    while (take_waiting_event(&event)) {
        if (event.type == SDL_QUIT) return 0;
        handle_demo_event(event);
    }
    if (!demo_window) return 0;
    if (!app_active) {
        // A bounded wait, so that a stop signal is seen while inactive too.
        if (SDL_WaitEventTimeout(&event, 100)) {
            if (event.type == SDL_QUIT) return 0;
            handle_demo_event(event);
        }
        return 1;
    }
    draw_demo_frame();
    return 1;
}

void shut_down_demo() {
    free_all_assets();
    release_effect_tables();
    SDL_DisplayMode desktop;
    if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(0, &desktop) == 0)
        correct_dialog_position(desktop.w, desktop.h);
    save_settings();
    if (music_song) FMUSIC_FreeSong(music_song);
    music_song = nullptr;
    FSOUND_Close();
    destroy_demo_window();
    app_active = 0;
    SDL_ShowCursor(SDL_ENABLE);
}

int run_demo() {
    const int failed = start_demo();
    if (failed >= 0) return failed;
    while (frame_loop_pass()) {
    }
    shut_down_demo();
    return 0;
}
