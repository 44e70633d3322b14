#include "presentation/capture.h"

#include "data/assets.h"
#include "director/timeline.h"
#include "effects/effect_tables.h"
#include "launcher/settings.h"
#include "presentation/demo_run.h"
#include "presentation/display.h"
#include "presentation/png_writer.h"
#include "presentation/sound.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using steady = std::chrono::steady_clock;

// Where a program is found on PATH; empty when it is not.
static std::string find_on_path(const char* program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
        const std::string candidate = dir + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

int render_lockstep_frame(LockstepRun* run) {
    if (run->frame_limit && run->frame >= run->frame_limit) return 0;
    const size_t rendered = sound_lockstep_frame(music_song, &run->samples);
    const ShowScene scene = scene_for_order(FMUSIC_GetOrder(music_song));
    const steady::time_point start = steady::now();
    if (!director_frame(music_song)) request_demo_close();
    const double seconds = std::chrono::duration<double>(steady::now() - start).count();
    run->director_seconds += seconds;
    run->scene_seconds[scene] += seconds;
    run->scene_frames[scene]++;
    if (demo_close_requested) return 0;
    if (music_song && rendered == 0) return 0;
    run->frame++;
    return 1;
}

int start_lockstep_show(const CommandLine& options, LockstepRun* run) {
    demo_close_requested = 0;
    if (!music_song && options.seconds <= 0) {
        std::fprintf(stderr, "vorn: no music to follow; give --seconds\n");
        return 0;
    }
    if (!init_memory_display(options.width, options.height)) return 0;
    load_all_assets();
    init_effect_tables(make_mode(options.width, options.height));
    sound_set_lockstep(1, int(options.fps));
    FSOUND_Close();
    FSOUND_SetMixer(sound_mixer);
    if (!FSOUND_Init(output_rate, DEMO_SOUND_CHANNELS, 0)) {
        show_message("FSOUND", sound_error_text(FSOUND_GetError()), 1);
        return 0;
    }
    if (music_song) {
        FMUSIC_SetMasterVolume(music_song, DEMO_START_VOLUME);
        FMUSIC_PlaySong(music_song);
    }
    run->fps = options.fps;
    run->frame_limit = 0;
    // Frames before the start order are drawn but not kept.
    while (music_song && FMUSIC_GetOrder(music_song) < options.start_order)
        if (!render_lockstep_frame(run)) break;
    run->frame_limit =
        options.seconds > 0 ? uint32_t(std::llround(options.seconds * options.fps)) : 0;
    run->frame = 0;
    run->director_seconds = 0;
    for (int i = 0; i < SCENE_COUNT; i++) {
        run->scene_seconds[i] = 0;
        run->scene_frames[i] = 0;
    }
    run->started = run->last_progress = steady::now();
    run->show_progress = isatty(2);
    return 1;
}

void stop_lockstep_show() {
    free_all_assets();
    release_effect_tables();
    if (music_song) FMUSIC_FreeSong(music_song);
    music_song = nullptr;
    FSOUND_Close();
    sound_set_lockstep(0, 0);
    release_display();
}

static void report_progress(LockstepRun* run, bool last) {
    if (!run->show_progress) return;
    const steady::time_point now = steady::now();
    if (!last && now - run->last_progress < std::chrono::milliseconds(250)) return;
    run->last_progress = now;
    const double wall = std::chrono::duration<double>(now - run->started).count();
    const double speed = wall > 0 ? run->frame / double(run->fps) / wall : 0;
    const uint32_t order = FMUSIC_GetOrder(music_song);
    const uint32_t row = FMUSIC_GetRow(music_song);
    std::fprintf(stderr, "\rorder %u row %u  frames %u  %.1fx real time   %s", order, row,
                 run->frame, speed, last ? "\n" : "");
}

//
// --frames
//

static int capture_frames(const CommandLine& options, LockstepRun* run) {
    std::error_code ec;
    std::filesystem::create_directories(options.frames_dir, ec);
    if (ec) {
        std::fprintf(stderr, "vorn: cannot create %s\n", options.frames_dir.c_str());
        return 1;
    }
    uint32_t written = 0;
    char name[32];
    while (render_lockstep_frame(run)) {
        const uint32_t index = run->frame - 1;
        if (index % options.every == 0) {
            std::snprintf(name, sizeof name, "/frame%06u.png", index);
            if (!write_png(options.frames_dir + name, surface_back->pixels.data(),
                           int(surface_back->width), int(surface_back->height))) {
                std::fprintf(stderr, "vorn: cannot write %s%s\n", options.frames_dir.c_str(), name);
                return 1;
            }
            written++;
        }
        report_progress(run, false);
    }
    report_progress(run, true);
    std::fprintf(stderr, "vorn: %u frames written to %s\n", written, options.frames_dir.c_str());
    return 0;
}

//
// --record
//

// Starts program with args; its standard input reads from *input_fd when that
// is given (the write end is returned there), else from /dev/null.
static pid_t spawn_program(const std::vector<std::string>& args, int* input_fd) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int fds[2] = {-1, -1};
    if (input_fd) {
        if (pipe(fds) != 0) return -1;
        posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (input_fd) {
        close(fds[0]);
        if (pid < 0)
            close(fds[1]);
        else
            *input_fd = fds[1];
    }
    return pid;
}

static bool wait_program(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

static bool write_all(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

// Renders every frame into ffmpeg's input and the sound into audio_path.
static bool record_pictures(const std::string& ffmpeg, const CommandLine& options, LockstepRun* run,
                            const std::string& video_path, const std::string& audio_path) {
    FILE* audio = std::fopen(audio_path.c_str(), "wb");
    if (!audio) return false;
    const std::string size = std::to_string(options.width) + "x" + std::to_string(options.height);
    int input = -1;
    const pid_t encoder = spawn_program({ffmpeg,
                                         "-hide_banner",
                                         "-loglevel",
                                         "error",
                                         "-y",
                                         "-f",
                                         "rawvideo",
                                         "-pixel_format",
                                         "bgr0",
                                         "-video_size",
                                         size,
                                         "-framerate",
                                         std::to_string(options.fps),
                                         "-i",
                                         "pipe:0",
                                         "-an",
                                         "-c:v",
                                         "libx264",
                                         "-preset",
                                         "veryfast",
                                         "-crf",
                                         "18",
                                         "-pix_fmt",
                                         "yuv420p",
                                         video_path},
                                        &input);
    if (encoder < 0) {
        std::fclose(audio);
        return false;
    }
    bool ok = true;
    const size_t frame_bytes = surface_back->pixels.size() * 4;
    while (ok && render_lockstep_frame(run)) {
        ok = write_all(input, surface_back->pixels.data(), frame_bytes) &&
             std::fwrite(run->samples.data(), 2, run->samples.size(), audio) == run->samples.size();
        report_progress(run, false);
    }
    report_progress(run, true);
    close(input);
    ok = wait_program(encoder) && ok;
    return std::fclose(audio) == 0 && ok;
}

static bool mux_sound(const std::string& ffmpeg, const std::string& video_path,
                      const std::string& audio_path, const std::string& output) {
    std::vector<std::string> args = {ffmpeg,     "-hide_banner", "-loglevel", "error",
                                     "-nostdin", "-y",           "-i",        video_path};
    std::error_code ec;
    if (std::filesystem::file_size(audio_path, ec) > 0 && !ec) {
        args.insert(args.end(),
                    {"-f", "s16le", "-ar", std::to_string(output_rate), "-ac", "2", "-i",
                     audio_path, "-map", "0:v:0", "-map", "1:a:0", "-c:a", "aac", "-b:a", "192k"});
    }
    args.insert(args.end(), {"-c:v", "copy", output});
    const pid_t muxer = spawn_program(args, nullptr);
    return muxer >= 0 && wait_program(muxer);
}

static int capture_video(const CommandLine& options, LockstepRun* run) {
    const std::string ffmpeg = find_on_path("ffmpeg");
    const std::string video_path = options.record_path + ".video.mkv";
    const std::string audio_path = options.record_path + ".audio.raw";
    signal(SIGPIPE, SIG_IGN);
    bool ok = record_pictures(ffmpeg, options, run, video_path, audio_path);
    if (ok) ok = mux_sound(ffmpeg, video_path, audio_path, options.record_path);
    std::error_code ec;
    std::filesystem::remove(video_path, ec);
    std::filesystem::remove(audio_path, ec);
    if (!ok) {
        std::fprintf(stderr, "vorn: ffmpeg could not write %s\n", options.record_path.c_str());
        return 1;
    }
    std::fprintf(stderr, "vorn: %u frames (%.2f s) recorded to %s\n", run->frame,
                 run->frame / double(run->fps), options.record_path.c_str());
    return 0;
}

int run_capture(const CommandLine& options) {
    if (!options.record_path.empty() && find_on_path("ffmpeg").empty()) {
        std::fprintf(stderr, "vorn: --record needs ffmpeg, which is not on PATH\n");
        return 1;
    }
    LockstepRun run{};
    if (!start_lockstep_show(options, &run)) {
        stop_lockstep_show();
        return 1;
    }
    const int status =
        options.record_path.empty() ? capture_frames(options, &run) : capture_video(options, &run);
    stop_lockstep_show();
    return status;
}

//
// --benchmark
//

// Seconds it takes to write one full 320 x 200 frame of pixels.
static double full_frame_write_seconds() {
    std::vector<uint32_t> frame(FRAME_PIXELS);
    volatile uint32_t sink = 0;
    const int writes = 2000;
    const steady::time_point start = steady::now();
    for (int n = 0; n < writes; n++) {
        uint32_t* p = frame.data();
        const uint32_t colour = uint32_t(n) * 0x010101;
        for (int i = 0; i < FRAME_PIXELS; i++) p[i] = colour + uint32_t(i);
        sink = sink + p[n % FRAME_PIXELS];
    }
    return std::chrono::duration<double>(steady::now() - start).count() / writes;
}

int run_benchmark(const CommandLine& options) {
    LockstepRun run{};
    if (!start_lockstep_show(options, &run)) {
        stop_lockstep_show();
        return 1;
    }
    run.show_progress = false;
    while (render_lockstep_frame(&run)) {
    }
    stop_lockstep_show();
    const double loop_seconds = run.director_seconds;
    const double write_seconds = full_frame_write_seconds();
    const double per_frame = run.frame ? loop_seconds / run.frame : 0;
    std::printf("frame loop: %u frames of %ux%u in %.3f s: %.0f frames per second\n", run.frame,
                options.width, options.height, loop_seconds, per_frame > 0 ? 1 / per_frame : 0);
    std::printf("one full 320x200 frame write: %.2f us; one frame of the loop: %.2f us = %.2f "
                "full-frame writes\n",
                write_seconds * 1e6, per_frame * 1e6,
                write_seconds > 0 ? per_frame / write_seconds : 0);
    std::printf("\n%-7s  %-34s %7s %10s %10s %9s\n", "orders", "scene", "frames", "us/frame",
                "frames/s", "x write");
    for (int i = 0; i < SCENE_COUNT; i++) {
        const SceneRange& s = show_scenes[i];
        if (!run.scene_frames[i]) continue;
        const double us = run.scene_seconds[i] / run.scene_frames[i] * 1e6;
        char orders[16];
        if (s.first_order == s.last_order)
            std::snprintf(orders, sizeof orders, "%u", s.first_order);
        else if (s.last_order == UINT32_MAX)
            std::snprintf(orders, sizeof orders, "%u+", s.first_order);
        else
            std::snprintf(orders, sizeof orders, "%u-%u", s.first_order, s.last_order);
        std::printf("%-7s  %-34s %7u %10.1f %10.0f %9.1f\n", orders, s.name, run.scene_frames[i],
                    us, us > 0 ? 1e6 / us : 0, write_seconds > 0 ? us / (write_seconds * 1e6) : 0);
    }
    return 0;
}
