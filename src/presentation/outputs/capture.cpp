// Lockstep capture: the show's frames into PNG files, or with its sound into
// a video through ffmpeg, fed through two pipes without ever blocking on one.
// A video is made under a temporary name and renamed when whole; a stop
// signal ends it early under a name that says it is partial.
#include "presentation/outputs/capture.h"

#include "data/files.h"
#include "platform/process.h"
#include "presentation/outputs/lockstep.h"
#include "presentation/outputs/png_writer.h"
#include "presentation/services/settings.h"
#include "presentation/services/stop_signal.h"
#include "presentation/show.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include <unistd.h>

using steady = std::chrono::steady_clock;

// How far a progress line has come: on the way, or its last line; a run
// that went to its end gives its real total there, whatever was expected.
enum ProgressStage { PROGRESS_RUNNING, PROGRESS_STOPPED, PROGRESS_WHOLE };

// The size of a file, or -1 when there is none to report.
static long long file_bytes(const std::string& path) {
    if (path.empty()) return -1;
    std::error_code error;
    const std::uintmax_t bytes = std::filesystem::file_size(path, error);
    return error ? -1 : (long long)bytes;
}

// One line on a terminal, rewritten in place at most four times a second:
// frames done, how far, the speed against real time, the time left and the
// size written so far (of the file `written`, when one is given).
static void report_progress(LockstepRun* run, ProgressStage stage,
                            const std::string& written = {}) {
    if (!run->show_progress) return;
    const bool last = stage != PROGRESS_RUNNING;
    const steady::time_point now = steady::now();
    if (!last && now - run->last_progress < std::chrono::milliseconds(250)) return;
    run->last_progress = now;
    const double wall = std::chrono::duration<double>(now - run->started).count();
    const double speed = wall > 0 ? run->frame / double(run->fps) / wall : 0;
    char line[200];
    int length = 0;
    if (run->expected || stage == PROGRESS_WHOLE) {
        const uint32_t total =
            stage == PROGRESS_WHOLE ? run->frame : std::max(run->expected, run->frame);
        const double left = speed > 0 ? (total - run->frame) / double(run->fps) / speed : 0;
        length = std::snprintf(line, sizeof line,
                               "frame %u of %u  %3.0f%%  %.1fx real time  %.0f s left", run->frame,
                               total, total ? 100.0 * run->frame / total : 100.0, speed, left);
    } else {
        length = std::snprintf(line, sizeof line, "frame %u  %.1fx real time", run->frame, speed);
    }
    const long long bytes = file_bytes(written);
    if (bytes >= 0 && length > 0 && size_t(length) < sizeof line)
        std::snprintf(line + length, sizeof line - size_t(length), "  %.1f MB",
                      double(bytes) / 1e6);
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
    while (!stop_signal && render_lockstep_frame(run)) {
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
        report_progress(run, PROGRESS_RUNNING);
    }
    report_progress(run, stop_signal ? PROGRESS_STOPPED : PROGRESS_WHOLE);
    std::fprintf(stderr, "vorn: %u frames written to %s%s\n", written, options.frames_dir.c_str(),
                 stop_signal ? "; stopped before the end" : "");
    return stop_signal ? stop_signal_status() : 0;
}

//
// --record
//

// How long the encoder may leave its input unread before the recording stops.
static const int ENCODER_PATIENCE_MS = 10000;

// Appends data to what is still to be sent, dropping what has gone.
static void queue_bytes(ChildQueue& p, const void* data, size_t size) {
    p.bytes.erase(p.bytes.begin(), p.bytes.begin() + std::ptrdiff_t(p.sent));
    p.sent = 0;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    p.bytes.insert(p.bytes.end(), bytes, bytes + size);
}

// The picture as the encoder stores it: the largest whole multiple of the
// frame that fits the recording's size, each pixel a square block (blocks of
// 4 x 4 line up with the encoder's own blocks, so flat areas cost nearly
// nothing), marked with the pixel shape that shows it at the size asked for.
// Below one whole multiple the frame is scaled down to the size by area.
struct StoredPicture {
    uint32_t width, height;
    uint32_t aspect_x, aspect_y; // the sample aspect ratio, reduced
    bool blocks;                 // nearest-neighbour blocks, not an area scale
};

static StoredPicture stored_picture(uint32_t width, uint32_t height) {
    const uint32_t scale = std::min(width / FRAME_WIDTH, height / FRAME_HEIGHT);
    if (scale == 0) return {width, height, 1, 1, false};
    StoredPicture stored{scale * FRAME_WIDTH, scale * FRAME_HEIGHT, 0, 0, true};
    // Shown width over stored width, against the same for the height.
    const uint64_t x = uint64_t(width) * stored.height, y = uint64_t(height) * stored.width;
    uint64_t a = x, b = y;
    while (b) {
        const uint64_t rest = a % b;
        a = b;
        b = rest;
    }
    stored.aspect_x = uint32_t(x / a);
    stored.aspect_y = uint32_t(y / a);
    return stored;
}

// The encoder's command: 320 x 200 pictures on its standard input, the sound
// as 16-bit stereo on descriptor 3, its own scaler making the stored picture
// with nearest-neighbour sampling, so that every pixel stays a sharp block.
// x264's superfast preset at quality 20 keeps the blocks' edges as its
// fastest preset at 18 did on a picture of the shown size, at a third of the
// size (the whole show: 206 MB, 5.1 Mbit/s, against 627 MB), and a player's
// last scale to its window is the one smooth step of the show's own "sharp"
// filter.
static std::vector<std::string> encoder_command(const std::string& ffmpeg,
                                                const CommandLine& options, bool with_sound,
                                                const std::string& output) {
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
    const StoredPicture stored = stored_picture(options.width, options.height);
    args.insert(args.end(),
                {"-vf",
                 "scale=" + std::to_string(stored.width) + ":" + std::to_string(stored.height) +
                     ":flags=" + (stored.blocks ? "neighbor" : "area") + ",setsar=" +
                     std::to_string(stored.aspect_x) + "/" + std::to_string(stored.aspect_y),
                 "-map", "0:v:0", "-c:v", "libx264", "-preset", "superfast", "-crf", "20",
                 "-pix_fmt", "yuv420p"});
    if (with_sound) args.insert(args.end(), {"-map", "1:a:0", "-c:a", "aac", "-b:a", "192k"});
    args.push_back(output);
    return args;
}

// The names of a recording: its own, the temporary one it is made under
// (beside it, hidden, with its extension so that ffmpeg picks the format,
// never starting with '-', held open while it is made) and the one an
// interrupted recording is kept under.
struct RecordingNames {
    std::string final_name, temporary, directory, stem, extension;
    int held = -1;
};

// Temporaries of recordings to this name that a killed run left behind go
// first.
static bool make_recording_names(const std::string& path, RecordingNames* names) {
    namespace fs = std::filesystem;
    const fs::path target = path;
    const fs::path directory = target.has_parent_path() ? target.parent_path() : fs::path(".");
    names->extension = target.extension().string();
    names->final_name = path;
    names->directory = directory.string();
    names->stem = target.stem().string();
    const std::string head = "." + target.filename().string() + ".tmp-";
    const std::string& extension = names->extension;
    remove_abandoned_temporaries(names->directory, [&](const std::string& name) {
        return name.size() == head.size() + 6 + extension.size() && name.rfind(head, 0) == 0 &&
               name.compare(name.size() - extension.size(), extension.size(), extension) == 0;
    });
    names->temporary = (directory / (head + "XXXXXX" + extension)).string();
    // The recording gets the permissions any file written there would.
    names->held = create_held_temporary(&names->temporary, extension.size(), file_mode_for(path));
    return names->held >= 0;
}

// The temporary removed, or renamed to `to`: no longer ours either way.
static bool end_temporary(RecordingNames* names, const std::string& to = "") {
    const bool renamed = !to.empty() && std::rename(names->temporary.c_str(), to.c_str()) == 0;
    const int failure = errno;
    if (!renamed) std::remove(names->temporary.c_str());
    forget_temporary(names->temporary);
    close(names->held);
    errno = failure;
    return renamed;
}

// An interrupted recording under NAME.partial.EXT, or NAME.partial-2.EXT and
// on when an older one is there (never over it); empty when none is free.
static std::string keep_partial(RecordingNames* names) {
    for (int n = 1; n < 100; n++) {
        const std::string suffix = n == 1 ? ".partial" : ".partial-" + std::to_string(n);
        const std::string partial =
            (std::filesystem::path(names->directory) / (names->stem + suffix + names->extension))
                .string();
        if (rename_without_replacing(names->temporary, partial)) {
            end_temporary(names);
            return partial;
        }
        if (errno != EEXIST) break;
    }
    end_temporary(names);
    return "";
}

// Draws every frame into the encoder, pictures and sound through their own
// pipes, while the encoder works on the frames before.
static int capture_video(const CommandLine& options, LockstepRun* run) {
    const std::string ffmpeg = find_program("ffmpeg");
    const bool with_sound = music_song != nullptr;
    const int frame_bytes = int(FRAME_PIXELS * 4);
    const int pipe_bytes[CHILD_INPUTS] = {4 * frame_bytes, 1 << 16};
    ChildProcess encoder;
    if (!child_open_inputs(&encoder, with_sound ? 2 : 1, pipe_bytes)) {
        std::fprintf(stderr, "vorn: cannot make a pipe to ffmpeg\n");
        return 1;
    }
    RecordingNames names;
    if (!make_recording_names(options.record_path, &names)) {
        child_close_inputs(&encoder);
        std::fprintf(stderr, "vorn: cannot create a file beside %s\n", options.record_path.c_str());
        return 1;
    }
    const bool started =
        child_start(encoder_command(ffmpeg, options, with_sound, names.temporary), &encoder);
    ChildQueue pictures{encoder.write_ends[0], {}, 0};
    ChildQueue sound{encoder.write_ends[1], {}, 0};
    SendResult sent = started ? SEND_OK : SEND_CLOSED;
    while (sent == SEND_OK && !stop_signal && render_lockstep_frame(run)) {
        if (with_sound)
            queue_bytes(sound, demo_lockstep_samples.data(), demo_lockstep_samples.size() * 2);
        queue_bytes(pictures, surface_back->pixels.data(), size_t(frame_bytes));
        sent = child_send(&pictures, with_sound ? &sound : nullptr, ENCODER_PATIENCE_MS);
        report_progress(run, PROGRESS_RUNNING, names.temporary);
    }
    if (sent == SEND_OK && with_sound) sent = child_send(&sound, nullptr, ENCODER_PATIENCE_MS);
    child_close_inputs(&encoder);
    if (sent == SEND_STALLED) {
        std::fprintf(stderr, "vorn: ffmpeg read nothing for %d s; the recording to %s stopped\n",
                     ENCODER_PATIENCE_MS / 1000, options.record_path.c_str());
        child_kill(encoder);
    }
    const bool encoded = started && child_wait(encoder);
    // The last line, once the encoder has written all of the file.
    report_progress(run,
                    sent == SEND_OK && encoded && !stop_signal ? PROGRESS_WHOLE : PROGRESS_STOPPED,
                    names.temporary);
    if (sent != SEND_OK || !encoded) {
        end_temporary(&names);
        if (sent != SEND_STALLED)
            std::fprintf(stderr, "vorn: ffmpeg could not write %s\n", options.record_path.c_str());
        return 1;
    }
    if (stop_signal) {
        const std::string partial = keep_partial(&names);
        std::fprintf(stderr, "vorn: stopped after %u frames (%.2f s); %s%s\n", run->frame,
                     run->frame / double(run->fps), partial.empty() ? "" : "the part made is in ",
                     partial.empty() ? "nothing is kept" : partial.c_str());
        return stop_signal_status();
    }
    if (!end_temporary(&names, names.final_name)) {
        std::fprintf(stderr, "vorn: cannot write %s: %s\n", options.record_path.c_str(),
                     std::strerror(errno));
        return 1;
    }
    std::fprintf(stderr, "vorn: %u frames (%.2f s) recorded to %s (%.1f MB)\n", run->frame,
                 run->frame / double(run->fps), options.record_path.c_str(),
                 double(std::max(0LL, file_bytes(options.record_path))) / 1e6);
    return 0;
}

int run_capture(const CommandLine& options) {
    if (!options.record_path.empty() && find_program("ffmpeg").empty()) {
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
