#include "presentation/demo_run.h"

#include "data/assets.h"
#include "director/kernels.h"
#include "director/timeline.h"
#include "effects/effect_tables.h"
#include "launcher/settings.h"
#include "launcher/stop_signal.h"
#include "presentation/display.h"
#include "presentation/fps_text.h"
#include "presentation/sound.h"

#include <SDL.h>

#include <algorithm>
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
int demo_paused = 0;

// A catch-up runs at this rate, the rate of the lockstep viewer it matches,
// and shows its progress this often.
constexpr int CATCH_UP_FPS = 60;
constexpr uint32_t CATCH_UP_PROGRESS_MS = 40;
// Left within this much show time of an order's start goes to the order before.
constexpr uint32_t ORDER_GRACE_MS = 1000;

// The catch-up drew the frame the next pass shows.
static int catch_up_frame_waiting = 0;
// Show time: milliseconds of the show seen, paused time left out (in lockstep
// a frame's share); the order being shown and the show time it began at.
static uint32_t show_clock_ms = 0;
static uint32_t show_clock_tick = 0;
static uint32_t shown_order = 0;
static uint32_t shown_order_start_ms = 0;

// The event that carries a close request (Escape, F12, the director).
static Uint32 demo_close_event = 0;
std::vector<int16_t> demo_lockstep_samples;

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

// The music stands still while the show is paused or inactive.
static void follow_pause_state() {
    set_music_paused(demo_paused || !app_active);
}

void toggle_demo_pause() {
    demo_paused ^= 1;
    follow_pause_state();
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
    follow_pause_state();
    if (!demo_window || display_windowed) return;
    if (active)
        SDL_RestoreWindow(demo_window);
    else
        SDL_MinimizeWindow(demo_window);
}

// The order Left goes to: the start of the one shown, or within the first
// second of it the one before.
static uint32_t order_before() {
    const uint32_t order = FMUSIC_GetOrder(music_song);
    if (order != shown_order) return order;
    const bool early = show_clock_ms - shown_order_start_ms < ORDER_GRACE_MS;
    return early && order > 0 ? order - 1 : order;
}

static void handle_demo_key(SDL_Keycode key, Uint16 mod) {
    const bool alt = (mod & KMOD_ALT) != 0;
    if ((key == SDLK_RETURN || key == SDLK_KP_ENTER) && alt) {
        if (demo_window) set_display_full_screen(demo_window, display_windowed);
    } else if (key == SDLK_RETURN || key == SDLK_KP_ENTER) {
        show_fps ^= 1;
    } else if (key == SDLK_F11) {
        if (demo_window) set_display_full_screen(demo_window, display_windowed);
    } else if (key == SDLK_F1) {
        show_keys ^= 1;
    } else if (key == SDLK_SPACE) {
        toggle_demo_pause();
    } else if (key == SDLK_RIGHT || key == SDLK_PAGEDOWN) {
        if (music_song) seek_to_order(FMUSIC_GetOrder(music_song) + 1);
    } else if (key == SDLK_LEFT || key == SDLK_PAGEUP) {
        if (music_song) seek_to_order(order_before());
    } else if (key == SDLK_ESCAPE || key == SDLK_F12) {
        request_demo_close();
    }
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
    } else if (event.type == SDL_KEYDOWN && !event.key.repeat) {
        // A held key acts once: a held Right would otherwise seek on and on.
        handle_demo_key(event.key.keysym.sym, event.key.keysym.mod);
    } else if (demo_close_event && event.type == demo_close_event) {
        close_demo_window();
    }
}

// The show clock moves on by the time since the last frame, or by one
// lockstep frame, unless paused; the order shown and when it began follow.
static void advance_show_clock() {
    const uint32_t now = SDL_GetTicks();
    if (!demo_paused)
        show_clock_ms += sound_lockstep_enabled() ? 1000 / CATCH_UP_FPS : now - show_clock_tick;
    show_clock_tick = now;
    const uint32_t order = FMUSIC_GetOrder(music_song);
    if (order != shown_order) {
        shown_order = order;
        shown_order_start_ms = show_clock_ms;
    }
}

// The director's frame of the show; at its end the show is closed.
static void show_frame() {
    if (!director_frame(music_song)) request_demo_close();
}

// One frame: counted, drawn by the director (while paused the last picture
// again; after a catch-up the frame it drew), the texts on top, shown. In
// lockstep the song advances by one frame's share first.
static void draw_demo_frame() {
    count_fps_frame(SDL_GetTicks());
    demo_frames_drawn++;
    if (catch_up_frame_waiting) {
        catch_up_frame_waiting = 0;
    } else if (demo_paused) {
        blit_surface(surface_virtual1, surface_back);
    } else {
        if (sound_lockstep_enabled()) sound_lockstep_frame(music_song, &demo_lockstep_samples);
        show_frame();
    }
    advance_show_clock();
    if (show_fps) draw_fps();
    if (show_keys) draw_key_overlay();
    flip_primary();
}

// During a catch-up only the ways out are answered: Escape, F12, closing the
// window, a close request, a stop signal; other events are dropped.
static int catch_up_events() {
    if (stop_signal && !demo_close_requested) request_demo_close();
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) {
            SDL_PushEvent(&event);
            return 0;
        }
        const bool way_out =
            (event.type == SDL_KEYDOWN &&
             (event.key.keysym.sym == SDLK_ESCAPE || event.key.keysym.sym == SDLK_F12)) ||
            (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE) ||
            (demo_close_event && event.type == demo_close_event);
        if (way_out) handle_demo_event(event);
    }
    return demo_window != nullptr && !demo_close_requested;
}

static void show_catch_up_progress(uint32_t order, uint32_t done, uint32_t total) {
    if (!demo_window) return;
    fill_surface(surface_back, 0);
    draw_progress_bar(order, done, total);
    flip_primary();
}

int seek_to_order(uint32_t order) {
    if (!music_song || !surface_virtual1) return 0;
    if (!reset_show()) return 0;
    FMUSIC_SetMasterVolume(music_song, DEMO_START_VOLUME);
    if (!FMUSIC_PlaySong(music_song)) return 0;
    const int was_lockstep = sound_lockstep_enabled();
    if (!was_lockstep) sound_set_lockstep(1, CATCH_UP_FPS);
    const double seconds = sound_order_seconds(music_song, order);
    const uint32_t total = seconds > 0 ? uint32_t(seconds * CATCH_UP_FPS) : 0;
    const int saved_pacing = display_pacing;
    display_pacing = PACE_UNLIMITED;
    uint32_t done = 0, shown_at = SDL_GetTicks();
    int running = 1;
    for (;;) {
        const size_t rendered = sound_lockstep_frame(music_song, &demo_lockstep_samples);
        if (rendered == 0 || FMUSIC_GetOrder(music_song) >= order) break;
        director_draw(FMUSIC_GetOrder(music_song), FMUSIC_GetRow(music_song));
        demo_frames_drawn++;
        done++;
        if (demo_window && SDL_GetTicks() - shown_at >= CATCH_UP_PROGRESS_MS) {
            shown_at = SDL_GetTicks();
            show_catch_up_progress(order, done, total);
            running = catch_up_events();
            if (!running) break;
        }
    }
    display_pacing = saved_pacing;
    // The frame at the start of the order, shown by the next pass.
    if (running) {
        show_frame();
        catch_up_frame_waiting = 1;
    }
    if (!was_lockstep) sound_set_lockstep(0, 0);
    shown_order = FMUSIC_GetOrder(music_song);
    shown_order_start_ms = show_clock_ms;
    // A paused or inactive show stays so (a run without a window has neither).
    if (demo_window) follow_pause_state();
    return running;
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
    choose_kernels();
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
    demo_paused = 0;
    show_keys = 0;
    catch_up_frame_waiting = 0;
    // Showing the window activates the show; focus events follow from here.
    app_active = 1;
    show_clock_tick = SDL_GetTicks();
    show_clock_ms = 0;
    for (int i = 0; i < 2; i++) {
        fill_surface(surface_back, 0);
        flip_primary();
    }
    FMUSIC_SetMasterVolume(music_song, DEMO_START_VOLUME);
    if (!FMUSIC_PlaySong(music_song)) show_message("TEST SOUND", "Can't play music!", 0);
    if (demo_start_order > 0) seek_to_order(demo_start_order);
    fps_start_ms = SDL_GetTicks();
    fps_frames = 0;
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
    demo_paused = 0;
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

void print_scene_list(MusicSong* song, std::FILE* out) {
    std::fprintf(out, "%-7s  %-13s  %8s  %8s  %s\n", "orders", "name", "start s", "length s",
                 "scene");
    for (const SceneRange& scene : show_scenes) {
        const double start = sound_order_seconds(song, scene.first_order);
        const double end = scene.last_order == UINT32_MAX
                               ? start
                               : sound_order_seconds(song, scene.last_order + 1);
        char orders[24];
        if (scene.last_order == UINT32_MAX)
            std::snprintf(orders, sizeof orders, "%u-", scene.first_order);
        else if (scene.last_order == scene.first_order)
            std::snprintf(orders, sizeof orders, "%u", scene.first_order);
        else
            std::snprintf(orders, sizeof orders, "%u-%u", scene.first_order, scene.last_order);
        std::fprintf(out, "%-7s  %-13s  %8.2f  %8.2f  %s\n", orders, scene.key, start,
                     std::max(0.0, end - start), scene.name);
    }
}
