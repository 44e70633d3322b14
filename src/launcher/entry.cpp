#include "launcher/entry.h"

#include "launcher/dialog_gtk.h"
#include "launcher/settings.h"
#include "launcher/stop_signal.h"
#include "presentation/demo_run.h"
#include "presentation/display.h"
#include "presentation/platform.h"
#include "presentation/sound.h"

#include <SDL.h>

#include <cstdio>

DialogView config_dialog = make_dialog_view();
int run_requested = 0;

// Eight bars of the test picture, left to right.
static const uint32_t test_bar_colours[8] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00,
                                             0xFF00FF, 0xFF0000, 0x0000FF, 0x000000};

const char* no_display_text() {
    return "vorn: the configuration dialog and the show need a display, and DISPLAY or "
           "WAYLAND_DISPLAY names none that opens; to render the show without one, use "
           "--record FILE or --frames DIR";
}

void place_config_dialog(int desktop_width, int desktop_height, int reports_positions) {
    if (reports_positions && desktop_width > 0 && desktop_height > 0)
        correct_dialog_position(desktop_width, desktop_height);
}

//
// "Test GFX"
//

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
    const int kept_device = selected_device;
    selected_device = device;
    demo_window = create_demo_window(mode);
    selected_device = kept_device;
    if (!demo_window) return 0;
    if (!init_display(demo_window, device, mode)) {
        close_test_display();
        return -1;
    }
    draw_test_picture();
    blit_surface(surface_virtual1, surface_back);
    flip_primary();
    SDL_PumpEvents();
    return 1;
}

void close_test_display() {
    release_display();
    if (demo_window) SDL_DestroyWindow(demo_window);
    demo_window = nullptr;
    SDL_ShowCursor(SDL_ENABLE);
    SDL_PumpEvents();
}

//
// The launch
//

// The dialog's boxes; while the test mode is shown its box belongs to that
// window, so that it stays in front of it.
static void launcher_message_box(DialogView*, const char* caption, const char* text, int flags) {
    if (demo_window) {
        const Uint32 kind =
            (flags & MB_ICONHAND) ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
        if (SDL_ShowSimpleMessageBox(kind, caption, text, demo_window) == 0) return;
    }
    dialog_gtk_message_box(caption, text, flags);
}

static void open_launcher() {
    load_settings();
    config_dialog = make_dialog_view();
    config_dialog.message_box = launcher_message_box;
    dialog_gtk_desktop(&config_dialog.desktop_width, &config_dialog.desktop_height,
                       &config_dialog.position_known);
    place_config_dialog(config_dialog.desktop_width, config_dialog.desktop_height,
                        config_dialog.position_known);
    dialog_gtk_create(&config_dialog);
    dialog_gtk_show(&config_dialog, dialog_xpos, dialog_ypos);
    music_song = FMUSIC_LoadSong("system2.xm");
    if (!music_song)
        dialog_message(&config_dialog, "TEST SOUND", "Can't load music!",
                       MB_ICONINFORMATION | MB_SYSTEMMODAL);
}

int run_launcher() {
    if (!have_display() || !dialog_gtk_start()) {
        std::fprintf(stderr, "%s\n", no_display_text());
        return 1;
    }
    SDL_InitSubSystem(SDL_INIT_VIDEO);
    open_launcher();
    while (!config_dialog.quit_posted) {
        // A stop signal ends the dialog as "Exit" does.
        if (stop_signal)
            dialog_gtk_press(&config_dialog, IDCANCEL);
        else
            dialog_gtk_wait_event();
    }
    if (run_requested) {
        take_dialog_position(&config_dialog);
        return run_demo();
    }
    if (music_song) {
        // The dialog ended before the module was loaded.
        FMUSIC_FreeSong(music_song);
        music_song = nullptr;
    }
    return config_dialog.quit_code;
}
