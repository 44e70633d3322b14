// The live show over the platform's window and events: the show clock, pause,
// seeking with its progress, the keys and the frame loop. Platform-free, so
// that every platform runs the same show: a desktop's loop calls
// frame_loop_pass back to back, a web page once per animation frame.
#include "presentation/live/demo_run.h"

#include "data/assets.h"
#include "director/timeline.h"
#include "platform/input.h"
#include "platform/sound.h"
#include "platform/video.h"
#include "presentation/display.h"
#include "presentation/live/fps_text.h"
#include "presentation/live/watch.h"
#include "presentation/seeking/catch_up.h"
#include "presentation/seeking/keep_ahead.h"
#include "presentation/services/settings.h"
#include "presentation/services/stop_signal.h"

#include <algorithm>
#include <chrono>

int app_active = 0;
int demo_nosound = 0;
int demo_sound_fallback = 0;
uint32_t demo_start_order = 0;
int demo_paused = 0;

// A catch-up shows its progress this often; between two showings it answers
// the keys.
constexpr uint32_t CATCH_UP_PROGRESS_MS = 40;
// Left within this much show time of an order's start goes to the order before.
constexpr uint32_t ORDER_GRACE_MS = 1000;

// Show time: milliseconds of the show seen, paused time left out (in lockstep
// a frame's share); the order being shown and the show time it began at.
static uint32_t show_clock_ms = 0;
static uint32_t show_clock_tick = 0;
static uint32_t shown_order = 0;
static uint32_t shown_order_start_ms = 0;
static int window_open = 0; // the show's window is up

// Milliseconds of a steady clock (the frame-rate counter's time base).
static uint32_t ticks_ms() {
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The music stands still while the show is paused or inactive (a catch-up
// plays it on in lockstep, and sets it so when it arrives).
static void follow_pause_state() {
    if (!catch_up_active()) FMUSIC_SetPaused(music_song, demo_paused || !app_active);
}

static void toggle_demo_pause() {
    demo_paused ^= 1;
    follow_pause_state();
}

// Losing the focus or being minimised makes the show inactive: the module
// pauses and no frames are drawn until it is active again.
static void set_app_active(int active) {
    if (active == app_active) return;
    app_active = active;
    follow_pause_state();
    video_set_active(active);
}

// The window goes away, the display with it: the loop ends.
static void close_demo_window() {
    abandon_catch_up();
    release_display();
    window_open = 0;
}

// The order Left goes to: the start of the one shown, or within the first
// second of it the one before.
static uint32_t order_before() {
    const uint32_t order = FMUSIC_GetOrder(music_song);
    if (order != shown_order) return order;
    const bool early = show_clock_ms - shown_order_start_ms < ORDER_GRACE_MS;
    return early && order > 0 ? order - 1 : order;
}

// Right goes on from where a running catch-up goes, so presses add up.
static void seek_next_order() {
    if (catch_up_active())
        extend_catch_up(catch_up_order() + 1);
    else
        begin_seek(FMUSIC_GetOrder(music_song) + 1);
}

static void handle_demo_key(ShowKey key, bool alt) {
    const bool ending = key == KEY_ESCAPE || key == KEY_F12;
    if (ending) {
        request_demo_close();
    } else if (key == KEY_RIGHT || key == KEY_PAGE_DOWN) {
        if (music_song) seek_next_order();
    } else if (catch_up_active()) {
        // While catching up only the ways out and Right are answered.
    } else if (key == KEY_ENTER && !alt) {
        show_fps ^= 1;
    } else if (key == KEY_F11 || key == KEY_F || (key == KEY_ENTER && alt)) {
        video_set_full_screen(display_windowed);
    } else if (key == KEY_F1) {
        show_keys ^= 1;
    } else if (key == KEY_SPACE) {
        toggle_demo_pause();
    } else if (key == KEY_LEFT || key == KEY_PAGE_UP) {
        if (music_song) begin_seek(order_before());
    }
}

// Handles one event; 0 when the platform is ending the program.
static int handle_demo_event(const ShowEvent& event) {
    switch (event.kind) {
    case EVENT_QUIT:
        return 0;
    case EVENT_KEY:
        handle_demo_key(event.key, event.alt);
        break;
    case EVENT_ACTIVE:
        set_app_active(1);
        break;
    case EVENT_INACTIVE:
        set_app_active(0);
        break;
    case EVENT_CLOSE:
        close_demo_window();
        break;
    }
    return 1;
}

// The show clock moves on by the time since the last frame, or by one
// lockstep frame, unless paused; the order shown and when it began follow.
static void advance_show_clock() {
    const uint32_t now = ticks_ms();
    if (!demo_paused)
        show_clock_ms += sound_lockstep_enabled() ? 1000 / CATCH_UP_FPS : now - show_clock_tick;
    show_clock_tick = now;
    const uint32_t order = FMUSIC_GetOrder(music_song);
    if (order != shown_order) {
        shown_order = order;
        shown_order_start_ms = show_clock_ms;
    }
}

// One frame: counted, drawn (while paused the last picture again), the texts
// and, while paused, the pause sign on top, shown.
static void draw_demo_frame() {
    count_fps_frame(ticks_ms());
    demo_frames_drawn++;
    if (show_loop_turns() && !show_frame_waiting && begin_seek(show_loop.first)) return;
    if (demo_paused && !show_frame_waiting)
        blit_surface(surface_virtual1, surface_back);
    else
        next_show_frame();
    advance_show_clock();
    if (show_fps) draw_fps();
    if (show_keys) draw_key_overlay();
    if (demo_watch) draw_reload_notice(ticks_ms());
    if (demo_paused) draw_pause_sign();
    flip_primary();
}

// A slice of the catch-up, then its progress; on arrival the order's start
// counts as newly shown, and a paused or inactive show stays so.
static void draw_catch_up() {
    if (continue_catch_up(CATCH_UP_PROGRESS_MS)) {
        uint32_t done = 0, total = 0;
        catch_up_progress(&done, &total);
        fill_surface(surface_back, 0);
        draw_progress_bar(catch_up_order(), done, total);
        flip_primary();
        return;
    }
    shown_order = FMUSIC_GetOrder(music_song);
    shown_order_start_ms = show_clock_ms;
    follow_pause_state();
    draw_demo_frame();
}

int start_demo() {
    release_display();
    const int opened = init_display(selected_device, selected_mode);
    if (opened != 1) return 1;
    window_open = 1;
    if (!start_show(selected_mode, demo_nosound ? SOUND_OUTPUT_NONE : sound_output,
                    demo_sound_fallback)) {
        close_demo_window();
        return 1;
    }
    if (!music_song) show_message("TEST SOUND", "Can't play music!", 0);
    demo_paused = 0;
    show_keys = 0;
    // Showing the window activates the show; focus events follow from here.
    app_active = 1;
    show_clock_tick = ticks_ms();
    show_clock_ms = 0;
    for (int i = 0; i < 2; i++) {
        fill_surface(surface_back, 0);
        flip_primary();
    }
    start_keeping_ahead();
    if (demo_start_order > 0) begin_seek(demo_start_order);
    if (demo_watch && !start_watching())
        std::fprintf(stderr, "vorn: --watch: this system cannot watch the current directory\n");
    fps_start_ms = ticks_ms();
    fps_frames = 0;
    return -1;
}

int frame_loop_pass() {
    if (stop_signal) request_demo_close();
    ShowEvent event;
    while (window_open && input_poll(&event))
        if (!handle_demo_event(event)) close_demo_window();
    if (demo_close_requested) close_demo_window();
    if (!window_open) return 0;
    if (demo_watch) reload_saved_files(ticks_ms());
    if (catch_up_active()) {
        draw_catch_up();
    } else if (!app_active) {
        // A bounded wait, so that a stop signal is seen while inactive too.
        if (input_wait(&event, 100) && !handle_demo_event(event)) close_demo_window();
    } else {
        draw_demo_frame();
        keep_ahead();
    }
    return 1;
}

void shut_down_demo() {
    abandon_catch_up();
    stop_watching();
    int desktop_width = 0, desktop_height = 0;
    if (video_desktop_size(&desktop_width, &desktop_height))
        correct_dialog_position(desktop_width, desktop_height);
    save_settings();
    stop_show();
    close_demo_window();
    app_active = 0;
    demo_paused = 0;
}

int run_demo() {
    const int failed = start_demo();
    if (failed >= 0) return failed;
    while (frame_loop_pass()) {
    }
    shut_down_demo();
    return 0;
}

//
// "Test GFX"
//

// Eight bars of the test picture, left to right.
static const uint32_t test_bar_colours[8] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00,
                                             0xFF00FF, 0xFF0000, 0x0000FF, 0x000000};

static void draw_test_picture() {
    FrameSurface frame;
    if (!lock_surface(surface_virtual1, &frame)) return;
    for (uint32_t y = 0; y < frame.height; y++) {
        uint32_t* row = frame.pixels + size_t(y) * size_t(frame.pitch / 4);
        for (uint32_t x = 0; x < frame.width; x++) row[x] = test_bar_colours[x * 8 / frame.width];
    }
    unlock_surface(surface_virtual1);
}

int open_test_display(int device, const ModeRecord& mode) {
    const int opened = init_display(device, mode);
    if (opened != 1) return opened;
    draw_test_picture();
    blit_surface(surface_virtual1, surface_back);
    flip_primary();
    return 1;
}

void close_test_display() {
    release_display();
}

void print_scene_list(MusicSong* song, std::FILE* out) {
    std::fprintf(out, "%-7s  %-13s  %8s  %8s  %s\n", "orders", "name", "start s", "length s",
                 "scene");
    for (const PartRange& scene : show_parts) {
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
