#include "presentation/capture.h"

#include "data/assets.h"
#include "director/kernels.h"
#include "director/timeline.h"
#include "effects/effect_tables.h"
#include "launcher/settings.h"
#include "presentation/demo_run.h"
#include "presentation/display.h"
#include "presentation/png_writer.h"
#include "presentation/sound.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
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
    size_t rendered = 0;
    if (run->frame_waiting) {
        run->samples = demo_lockstep_samples;
        rendered = run->samples.size() / 2;
    } else {
        rendered = sound_lockstep_frame(music_song, &run->samples);
    }
    const ShowScene scene = scene_for_order(FMUSIC_GetOrder(music_song));
    const steady::time_point start = steady::now();
    if (!run->frame_waiting && !director_frame(music_song)) request_demo_close();
    run->frame_waiting = false;
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
    choose_kernels();
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
    // Frames before the start order are computed unseen, as a seek does.
    run->frame_waiting = false;
    if (music_song && options.start_order > 0) {
        if (!seek_to_order(options.start_order)) return 0;
        run->frame_waiting = true;
    }
    run->frame_limit =
        options.seconds > 0 ? uint32_t(std::llround(options.seconds * options.fps)) : 0;
    // The show ends where its last scene starts or where the music does.
    const double end_seconds =
        sound_order_seconds(music_song, show_scenes[SCENE_END_OF_SHOW].first_order);
    const double start_seconds =
        options.start_order > 0 ? sound_order_seconds(music_song, options.start_order) : 0;
    const double left = std::max(0.0, (end_seconds - start_seconds) * options.fps);
    run->expected = music_song ? uint32_t(std::llround(left)) : 0;
    if (run->frame_limit && (!run->expected || run->frame_limit < run->expected))
        run->expected = run->frame_limit;
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

// One line on a terminal, rewritten in place at most four times a second:
// frames done, how far, the speed against real time and the time left.
static void report_progress(LockstepRun* run, bool last) {
    if (!run->show_progress) return;
    const steady::time_point now = steady::now();
    if (!last && now - run->last_progress < std::chrono::milliseconds(250)) return;
    run->last_progress = now;
    const double wall = std::chrono::duration<double>(now - run->started).count();
    const double speed = wall > 0 ? run->frame / double(run->fps) / wall : 0;
    char line[160];
    if (run->expected) {
        const uint32_t total = std::max(run->expected, run->frame);
        const double left = speed > 0 ? (total - run->frame) / double(run->fps) / speed : 0;
        std::snprintf(line, sizeof line, "frame %u of %u  %3.0f%%  %.1fx real time  %.0f s left",
                      run->frame, total, 100.0 * run->frame / total, speed, left);
    } else {
        std::snprintf(line, sizeof line, "frame %u  %.1fx real time", run->frame, speed);
    }
    // \033[K clears what a longer line before left behind.
    std::fprintf(stderr, "\r%s\033[K%s", line, last ? "\n" : "");
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

// How long the encoder may leave its input unread before the recording stops.
static const int ENCODER_PATIENCE_MS = 10000;

// A pipe to a child: the child reads `read_end` as its descriptor `child_fd`,
// we write `write_end`.
struct ChildInput {
    int read_end = -1;
    int write_end = -1;
    int child_fd = 0;
};

// Starts program with args, its standard input from /dev/null unless one of
// inputs is descriptor 0; returns its id or -1.
static pid_t spawn_program(const std::vector<std::string>& args, std::vector<ChildInput>& inputs) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    bool stdin_given = false;
    for (const ChildInput& in : inputs) stdin_given = stdin_given || in.child_fd == 0;
    if (!stdin_given) posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    for (const ChildInput& in : inputs)
        posix_spawn_file_actions_adddup2(&actions, in.read_end, in.child_fd);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    for (ChildInput& in : inputs) {
        close(in.read_end);
        in.read_end = -1;
    }
    return pid;
}

static bool wait_program(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Bytes still to go down one pipe.
struct Pending {
    int fd;
    std::vector<uint8_t> bytes;
    size_t sent;
};

enum SendResult { SEND_OK, SEND_CLOSED, SEND_STALLED };

// Writes everything of `must` and what the pipe takes of `extra` on the
// way, never waiting on one pipe while the encoder waits on the other.
// SEND_STALLED once neither pipe took a byte for ENCODER_PATIENCE_MS.
static SendResult send_pending(Pending& must, Pending* extra) {
    while (must.sent < must.bytes.size()) {
        pollfd fds[2] = {{must.fd, POLLOUT, 0}, {-1, POLLOUT, 0}};
        const bool with_extra = extra && extra->sent < extra->bytes.size();
        if (with_extra) fds[1].fd = extra->fd;
        const int ready = poll(fds, with_extra ? 2 : 1, ENCODER_PATIENCE_MS);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return SEND_CLOSED;
        if (ready == 0) return SEND_STALLED;
        for (int i = 0; i < 2; i++) {
            if (!fds[i].revents) continue;
            Pending& p = i == 0 ? must : *extra;
            const ssize_t n = write(p.fd, p.bytes.data() + p.sent, p.bytes.size() - p.sent);
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (n <= 0) return SEND_CLOSED;
            p.sent += size_t(n);
        }
    }
    return SEND_OK;
}

// Appends data to what is still to be sent, dropping what has gone.
static void queue_bytes(Pending& p, const void* data, size_t size) {
    p.bytes.erase(p.bytes.begin(), p.bytes.begin() + std::ptrdiff_t(p.sent));
    p.sent = 0;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    p.bytes.insert(p.bytes.end(), bytes, bytes + size);
}

static bool open_child_input(ChildInput* in, int child_fd, int pipe_bytes) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    fcntl(fds[1], F_SETFL, O_NONBLOCK);
    fcntl(fds[1], F_SETPIPE_SZ, pipe_bytes); // a larger buffer where allowed
    // The read end above the descriptors the child is given, so that no dup2
    // into 0 or 3 lands on it (with our standard input closed it could be 0).
    const int high = fcntl(fds[0], F_DUPFD_CLOEXEC, 10);
    close(fds[0]);
    if (high < 0) {
        close(fds[1]);
        return false;
    }
    in->read_end = high;
    in->write_end = fds[1];
    in->child_fd = child_fd;
    return true;
}

// The encoder's command: 320 x 200 pictures on its standard input, the sound
// as 16-bit stereo on descriptor 3, its own scaler making the picture the
// recording's size with nearest-neighbour sampling, so that every pixel stays
// a sharp block.
static std::vector<std::string> encoder_command(const std::string& ffmpeg,
                                                const CommandLine& options, bool with_sound) {
    std::vector<std::string> args = {ffmpeg,
                                     "-hide_banner",
                                     "-loglevel",
                                     "error",
                                     "-y",
                                     "-f",
                                     "rawvideo",
                                     "-pixel_format",
                                     "bgr0",
                                     "-video_size",
                                     std::to_string(FRAME_WIDTH) + "x" +
                                         std::to_string(FRAME_HEIGHT),
                                     "-framerate",
                                     std::to_string(options.fps),
                                     "-i",
                                     "pipe:0"};
    if (with_sound)
        args.insert(args.end(), {"-probesize", "32", "-analyzeduration", "0", "-f", "s16le", "-ar",
                                 std::to_string(output_rate), "-ac", "2", "-i", "pipe:3"});
    const bool larger = options.width >= FRAME_WIDTH && options.height >= FRAME_HEIGHT;
    args.insert(args.end(),
                {"-vf",
                 "scale=" + std::to_string(options.width) + ":" + std::to_string(options.height) +
                     ":flags=" + (larger ? "neighbor" : "area"),
                 "-map", "0:v:0", "-c:v", "libx264", "-preset", "ultrafast", "-crf", "18",
                 "-pix_fmt", "yuv420p"});
    if (with_sound) args.insert(args.end(), {"-map", "1:a:0", "-c:a", "aac", "-b:a", "192k"});
    args.push_back(options.record_path);
    return args;
}

// Draws every frame into the encoder, pictures and sound through their own
// pipes, while the encoder works on the frames before.
static int capture_video(const CommandLine& options, LockstepRun* run) {
    const std::string ffmpeg = find_on_path("ffmpeg");
    const bool with_sound = music_song != nullptr;
    std::vector<ChildInput> inputs(with_sound ? 2 : 1);
    const int frame_bytes = int(FRAME_PIXELS * 4);
    if (!open_child_input(&inputs[0], 0, 4 * frame_bytes) ||
        (with_sound && !open_child_input(&inputs[1], 3, 1 << 16))) {
        std::fprintf(stderr, "vorn: cannot make a pipe to ffmpeg\n");
        return 1;
    }
    signal(SIGPIPE, SIG_IGN);
    const pid_t encoder = spawn_program(encoder_command(ffmpeg, options, with_sound), inputs);
    Pending pictures{inputs[0].write_end, {}, 0};
    Pending sound{with_sound ? inputs[1].write_end : -1, {}, 0};
    SendResult sent = encoder < 0 ? SEND_CLOSED : SEND_OK;
    while (sent == SEND_OK && render_lockstep_frame(run)) {
        if (with_sound) queue_bytes(sound, run->samples.data(), run->samples.size() * 2);
        queue_bytes(pictures, surface_back->pixels.data(), size_t(frame_bytes));
        sent = send_pending(pictures, with_sound ? &sound : nullptr);
        report_progress(run, false);
    }
    if (sent == SEND_OK && with_sound) sent = send_pending(sound, nullptr);
    report_progress(run, true);
    for (ChildInput& in : inputs) close(in.write_end);
    if (sent == SEND_STALLED) {
        std::fprintf(stderr, "vorn: ffmpeg read nothing for %d s; the recording to %s stopped\n",
                     ENCODER_PATIENCE_MS / 1000, options.record_path.c_str());
        kill(encoder, SIGKILL);
    }
    const bool encoded = encoder >= 0 && wait_program(encoder);
    if (sent == SEND_STALLED) return 1;
    if (sent != SEND_OK || !encoded) {
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
    // A recording takes the show's own 320 x 200 frames; ffmpeg scales them.
    CommandLine show = options;
    if (!options.record_path.empty()) {
        show.width = FRAME_WIDTH;
        show.height = FRAME_HEIGHT;
    }
    LockstepRun run{};
    if (!start_lockstep_show(show, &run)) {
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
