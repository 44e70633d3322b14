// The lockstep run: the show's one start-up on a memory display with the
// sound library in lockstep, then the show's frame step, timed per part of the show.
#include "presentation/outputs/lockstep.h"

#include "platform/sound.h"
#include "presentation/display.h"
#include "presentation/seeking/catch_up.h"
#include "presentation/services/settings.h"
#include "presentation/show.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unistd.h>

using steady = std::chrono::steady_clock;

int render_lockstep_frame(LockstepRun* run) {
    if (run->frame_limit && run->frame >= run->frame_limit) return 0;
    // Only the drawing is timed, in the part of the position it draws.
    bool waiting = take_waiting_frame();
    if (!waiting) advance_show_music();
    // A loop's next turn starts with the frame its first turn started with.
    if (!waiting && show_loop_turns() && seek_to_order(show_loop.first))
        waiting = take_waiting_frame();
    const ShowPart part = part_for_order(FMUSIC_GetOrder(music_song));
    const steady::time_point start = steady::now();
    if (!waiting) draw_show_frame();
    const double seconds = std::chrono::duration<double>(steady::now() - start).count();
    run->director_seconds += seconds;
    run->part_seconds[part] += seconds;
    run->part_frames[part]++;
    if (demo_close_requested) return 0;
    // The music's end ends the run.
    if (music_song && demo_lockstep_samples.empty()) return 0;
    run->frame++;
    return 1;
}

int start_lockstep_show(const CommandLine& options, LockstepRun* run) {
    *run = LockstepRun{};
    demo_close_requested = 0;
    if (!music_song && options.seconds <= 0) {
        std::fprintf(stderr, "vorn: no music to follow; give --seconds\n");
        return 0;
    }
    if (!init_memory_display(options.width, options.height)) return 0;
    sound_set_lockstep(1, int(options.fps));
    if (!start_show(make_mode(options.width, options.height), sound_output, 0)) return 0;
    run->fps = options.fps;
    // Frames before the start order are computed unseen, as a seek does.
    if (music_song && options.start_order > 0 && !seek_to_order(options.start_order)) return 0;
    // Any --seconds gives at least one frame: a limit of 0 would mean none.
    run->frame_limit =
        options.seconds > 0
            ? uint32_t(std::max<long long>(1, std::llround(options.seconds * options.fps)))
            : 0;
    // The show ends where its last part starts or where the music does.
    const double end_seconds =
        sound_order_seconds(music_song, show_parts[PART_END_OF_SHOW].first_order);
    const double start_seconds =
        options.start_order > 0 ? sound_order_seconds(music_song, options.start_order) : 0;
    const double left = std::max(0.0, (end_seconds - start_seconds) * options.fps);
    run->expected = music_song ? uint32_t(std::llround(left)) : 0;
    if (run->frame_limit && (!run->expected || run->frame_limit < run->expected))
        run->expected = run->frame_limit;
    run->started = run->last_progress = steady::now();
    run->show_progress = isatty(2);
    return 1;
}

void stop_lockstep_show() {
    stop_show();
    sound_set_lockstep(0, 0);
    release_display();
}
