// The web page's entry: the calls the page makes into the show (vorn.js
// names them), over the same show, drawing and module player as the
// desktop's. The page's loop calls vorn_web_frame once per animation frame;
// dropped files land in the current directory, where the show looks for
// loose items, demo.qxd and system2.xm first; the built-in content is
// embedded beside the code under /builtin.
#include "data/builtin.h"
#include "data/pack.h"
#include "director/show_parts.h"
#include "platform/sound.h"
#include "platform/video.h"
#include "platform/web/web_platform.h"
#include "presentation/display.h"
#include "presentation/live/demo_run.h"
#include "presentation/outputs/show_digests.h"
#include "presentation/services/settings.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

static std::string web_error;
static std::string web_text; // the last text handed to the page
static std::vector<int16_t> sound_buffer;

// The built-in content, read once from the embedded files.
static Blob embedded(const char* path, std::vector<uint8_t>* bytes) {
    if (bytes->empty()) {
        if (std::FILE* file = std::fopen(path, "rb")) {
            uint8_t block[65536];
            for (size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;)
                bytes->insert(bytes->end(), block, block + got);
            std::fclose(file);
        }
    }
    return Blob{bytes->data(), bytes->size()};
}

Blob builtin_pack() {
    static std::vector<uint8_t> bytes;
    return embedded("/builtin/demo.qxd", &bytes);
}

Blob builtin_module() {
    static std::vector<uint8_t> bytes;
    return embedded("/builtin/system2.xm", &bytes);
}

// The page's key codes (vorn.js KEY_CODES).
static ShowKey page_key(int code) {
    static const ShowKey keys[] = {KEY_OTHER,     KEY_SPACE, KEY_LEFT, KEY_RIGHT, KEY_PAGE_UP,
                                   KEY_PAGE_DOWN, KEY_ENTER, KEY_F1,   KEY_ESCAPE};
    return code > 0 && code < int(sizeof keys / sizeof keys[0]) ? keys[code] : KEY_OTHER;
}

extern "C" {

int vorn_web_init() {
    pack_builtin = builtin_pack();
    if (!pack_builtin.size || !builtin_module().size) {
        web_error = "the built-in content is missing";
        return 1;
    }
    return 0;
}

// A dropped file, as a loose file of the current directory: only under a
// plain file name (no folder, not "." or "..", no control bytes).
int vorn_web_add_file(const char* name, const uint8_t* data, uint32_t size) {
    const std::string plain = name;
    const bool control = std::any_of(plain.begin(), plain.end(),
                                     [](char c) { return uint8_t(c) < 0x20 || c == 0x7F; });
    if (plain.empty() || plain.size() > 255 || control || plain.find('/') != std::string::npos ||
        plain == "." || plain == "..") {
        web_error = "a dropped file's name is no file name";
        return 1;
    }
    std::FILE* file = std::fopen(name, "wb");
    const bool written = file && std::fwrite(data, 1, size, file) == size;
    if (file && std::fclose(file) != 0) return 1;
    if (!written) {
        web_error = std::string(name) + " could not be kept";
        return 1;
    }
    return 0;
}

// The page's "without the built-in content" option (--no-builtin-data).
void vorn_web_use_builtin(int enabled) {
    pack_builtin = enabled ? builtin_pack() : Blob{nullptr, 0};
    sound_set_builtin_module(enabled);
}

// One line a part: its first order, name and start in seconds.
const char* vorn_web_scene_list() {
    web_text.clear();
    MusicSong* song = FMUSIC_LoadSong("system2.xm");
    for (const PartRange& part : show_parts) {
        if (part.last_order == UINT32_MAX) continue;
        char line[96];
        std::snprintf(line, sizeof line, "%u\t%s\t%.2f\n", part.first_order, part.name,
                      song ? sound_order_seconds(song, part.first_order) : 0.0);
        web_text += line;
    }
    if (song) FMUSIC_FreeSong(song);
    return web_text.c_str();
}

// The show, live: with sound at the page's audio rate, or without (rate 0).
int vorn_web_start(int sound_rate, int start_order) {
    web_error.clear();
    selected_mode = make_mode(FRAME_WIDTH, FRAME_HEIGHT);
    demo_nosound = sound_rate <= 0;
    output_rate = sound_rate > 0 ? sound_rate : 44100;
    demo_sound_fallback = 1;
    demo_start_order = start_order > 0 ? uint32_t(start_order) : 0;
    music_song = FMUSIC_LoadSong("system2.xm");
    if (start_demo() >= 0) {
        web_error = last_message_caption + ": " + last_message_text;
        return 1;
    }
    return 0;
}

// One pass of the frame loop; 0 once the show has ended.
int vorn_web_frame(double) {
    if (frame_loop_pass()) return 1;
    shut_down_demo();
    return 0;
}

const uint8_t* vorn_web_pixels() {
    return web_frame_rgba();
}

void vorn_web_key(int code) {
    web_push_key(page_key(code));
}

uint32_t vorn_web_sound_render(uint32_t frames) {
    sound_buffer.resize(2 * size_t(frames));
    return uint32_t(web_sound_pull(sound_buffer.data(), frames));
}

const int16_t* vorn_web_sound_buffer() {
    return sound_buffer.data();
}

void vorn_web_sound_heard(double frame) {
    web_sound_heard(frame);
}

// The position heard now, order << 16 | row, and its time in the song at the
// module's own tempo (for the page's tests).
uint32_t vorn_web_position() {
    const uint32_t order = FMUSIC_GetOrder(music_song);
    return order << 16 | FMUSIC_GetRow(music_song);
}

double vorn_web_song_seconds() {
    const uint32_t order = FMUSIC_GetOrder(music_song);
    return sound_position_seconds(music_song, order, FMUSIC_GetRow(music_song));
}

const char* vorn_web_error() {
    return web_error.c_str();
}

//
// The show in lockstep, digested as tests/show_digests.txt records it
//

static LockstepRun digest_run;
static ShowDigests digests;

int vorn_web_digest_begin() {
    music_song = FMUSIC_LoadSong("system2.xm");
    CommandLine options;
    options.width = FRAME_WIDTH;
    options.height = FRAME_HEIGHT;
    digests = ShowDigests{FNV_BASIS};
    if (start_lockstep_show(options, &digest_run)) return 0;
    stop_lockstep_show();
    web_error = "the show could not start in lockstep";
    return 1;
}

// Up to frames lockstep frames, the last one presented; returns how many
// were drawn (0: the show is over, and stopped). Their digest lines are then
// vorn_web_digest_lines.
int vorn_web_digest_frames(int frames) {
    web_text.clear();
    std::string line;
    int done = 0;
    while (done < frames && digest_next_frame(&digest_run, &digests, &line)) {
        done++;
        if (!line.empty()) web_text += line + "\n";
    }
    if (done > 0) {
        video_present(surface_back);
        return done;
    }
    // The end: what each part cost to draw here, on the page's console.
    print_lockstep_timings(digest_run, FRAME_WIDTH, FRAME_HEIGHT, stdout);
    std::fflush(stdout);
    stop_lockstep_show();
    return 0;
}

const char* vorn_web_digest_lines() {
    return web_text.c_str();
}

} // extern "C"
