// The launch with the dialog: its loop until Run or Exit, then the show; the
// dialog's logic and view live in their own units.
#include "launcher/entry.h"

#include "launcher/dialog_gtk.h"
#include "platform/sound.h"
#include "platform/video.h"
#include "presentation/live/demo_run.h"
#include "presentation/services/settings.h"
#include "presentation/services/stop_signal.h"

#include <cstdio>

DialogView config_dialog = make_dialog_view();

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
// The launch
//

// The dialog's boxes; while the test mode is shown its box belongs to that
// window, so that it stays in front of it.
static void launcher_message_box(DialogView*, const char* caption, const char* text, int flags) {
    if (video_is_open() && video_message_box(caption, text, flags & MB_ICONHAND)) return;
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
    open_show_display();
    open_launcher();
    while (!config_dialog.quit_posted) {
        // A stop signal ends the dialog as "Exit" does.
        if (stop_signal)
            dialog_gtk_press(&config_dialog, IDCANCEL);
        else
            dialog_gtk_wait_event();
    }
    dialog_gtk_finish();
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
