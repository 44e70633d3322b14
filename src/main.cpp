// vorn: the show. Reads the command line; with no options the configuration
// dialog comes first and starts the show. --play reads the saved settings,
// loads the music and runs the show live; --record, --frames and --benchmark
// render it in lockstep without a window. The exit status is 0 after the
// show or "Exit", 1 when a failure ended the run, 2 for a wrong command line,
// 128 + the signal when SIGINT or SIGTERM ended it.
#include "data/builtin.h"
#include "data/pack.h"
#include "data/scaler.h"
#include "launcher/entry.h"
#include "platform/sound.h"
#include "platform/video.h"
#include "presentation/live/demo_run.h"
#include "presentation/live/watch.h"
#include "presentation/outputs/benchmark.h"
#include "presentation/outputs/capture.h"
#include "presentation/services/command_line.h"
#include "presentation/services/settings.h"
#include "presentation/services/stop_signal.h"

#include <cstdio>
#include <string>

// A start order the music never reaches is a wrong command line: said with
// the reason, never a run of no frames.
static bool start_within_song(uint32_t start_order) {
    const uint32_t orders = sound_song_orders(music_song);
    if (!music_song || start_order < orders) return true;
    std::fprintf(stderr, "vorn: --start %u: the music has %u orders (0 to %u) and ends before it\n",
                 start_order, orders, orders ? orders - 1 : 0);
    return false;
}

int main(int argc, char** argv) {
    CommandLine options;
    std::string error;
    if (!parse_command_line(argc, argv, &options, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(command_line_usage(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("vorn %s\n", VORN_VERSION);
        return 0;
    }

    platform_start();
    if (options.no_builtin_data)
        sound_set_builtin_module(0);
    else
        pack_builtin = builtin_pack();
    display_filter = options.filter;
    display_pacing = options.pace;
    display_windowed = options.windowed ? 1 : 0;
    demo_nosound = options.nosound ? 1 : 0;
    demo_start_order = options.start_order;
    demo_watch = options.watch ? 1 : 0;
    show_loop = {options.loop ? 1 : 0, options.loop_first, options.loop_last};

    if (options.list_scenes) {
        MusicSong* song = FMUSIC_LoadSong("system2.xm");
        if (!song) {
            std::fprintf(stderr, "vorn: no music to time the scenes by\n");
            return 1;
        }
        print_scene_list(song, stdout);
        FMUSIC_FreeSong(song);
        return 0;
    }

    if (!options.play && !is_lockstep_run(options)) {
        catch_stop_signals();
        const int status = run_launcher();
        platform_end();
        return stop_signal ? stop_signal_status() : status;
    }

    if (!is_lockstep_run(options) && !open_show_display()) {
        std::fprintf(stderr, "%s\n", no_display_text());
        return 1;
    }
    load_settings();
    music_song = FMUSIC_LoadSong("system2.xm");
    if (!music_song) show_message("TEST SOUND", "Can't load music!", 0);

    int status = 0;
    if (!start_within_song(options.start_order)) {
        status = 2;
    } else if (options.benchmark) {
        status = run_benchmark(options);
    } else if (is_lockstep_run(options)) {
        catch_stop_signals();
        status = run_capture(options);
        if (stop_signal) status = stop_signal_status();
    } else {
        // Unattended: a sound output that cannot be opened gives a silent show.
        demo_sound_fallback = 1;
        catch_stop_signals();
        status = run_demo();
        if (stop_signal) status = stop_signal_status();
    }
    platform_end();
    return status;
}
