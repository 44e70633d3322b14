// The web page's entry: the calls the page makes into the show (vorn.js
// names them), over the same show, drawing and module player as the
// desktop's. The page's loop calls vorn_web_frame once per animation frame;
// dropped files land in the current directory, where the show looks for
// loose items, demo.qxd and system2.xm first. The built-in module is
// embedded beside the code under /builtin; the built-in pack, most of the
// download, is fetched by the page after the code and handed over
// (vorn_web_builtin_pack), so the start screen need not wait for it.
#include "data/builtin.h"
#include "data/files.h"
#include "data/pack.h"
#include "platform/sound.h"
#include "platform/video.h"
#include "platform/web/web_pack.h"
#include "platform/web/web_platform.h"
#include "presentation/display.h"
#include "presentation/live/demo_run.h"
#include "presentation/outputs/show_digests.h"
#include "presentation/seeking/catch_up.h"
#include "presentation/services/settings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

static std::string web_error;
static std::string web_text; // the last text handed to the page
// A show or a lockstep run holds the show's state: the poster, which runs the
// show in lockstep of its own, must wait until it is over.
static bool show_in_use;
static std::vector<int16_t> sound_buffer;

// The built-in content, read once from the embedded files; nothing when one
// cannot be read.
static Blob embedded(const char* path, std::vector<uint8_t>* bytes) {
    constexpr size_t EMBEDDED_MOST = size_t(64) << 20;
    std::string error;
    if (bytes->empty() && !read_regular_file(path, EMBEDDED_MOST, bytes, &error)) bytes->clear();
    return Blob{bytes->data(), bytes->size()};
}

// The pack the page handed over; nothing before it has.
static std::vector<uint8_t> builtin_pack_bytes;

Blob builtin_pack() {
    return Blob{builtin_pack_bytes.data(), builtin_pack_bytes.size()};
}

Blob builtin_module() {
    static std::vector<uint8_t> bytes;
    return embedded("/builtin/system2.xm", &bytes);
}

// The keys the page hands over, by the browser's KeyboardEvent.code. A key's
// code for vorn_web_key is its place here plus one; the page reads this very
// table (vorn_web_key_names) and keeps none of its own.
struct PageKey {
    const char* code;
    ShowKey key;
};
static const PageKey page_keys[] = {
    {"Space", KEY_SPACE},        {"ArrowLeft", KEY_LEFT},
    {"ArrowRight", KEY_RIGHT},   {"PageUp", KEY_PAGE_UP},
    {"PageDown", KEY_PAGE_DOWN}, {"Enter", KEY_ENTER},
    {"NumpadEnter", KEY_ENTER},  {"F1", KEY_F1},
    {"Escape", KEY_ESCAPE},
};
constexpr int PAGE_KEY_COUNT = int(sizeof page_keys / sizeof page_keys[0]);

// The page keeps no settings file: its sound settings are its own, and a
// settings file of one show would be read back by the next. The kept states'
// cache stays in the page's file system for the visit.
static void keep_no_settings() {
    if (const char* home = std::getenv("HOME")) {
        if (!std::getenv("XDG_CACHE_HOME"))
            setenv("XDG_CACHE_HOME", (std::string(home) + "/.cache").c_str(), 1);
    }
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
}

extern "C" {

int vorn_web_init() {
    keep_no_settings();
    if (!builtin_module().size) {
        web_error = "the built-in module is missing";
        return 1;
    }
    return 0;
}

// The built-in pack as fetched, its pictures differences from their
// predictions (the table embedded beside the module), undone here once.
int vorn_web_builtin_pack(const uint8_t* data, uint32_t size) {
    const std::string why = pack_problem(data, size);
    if (!why.empty()) {
        web_error = "the built-in pack cannot be read: " + why;
        return 1;
    }
    std::vector<uint8_t> table;
    embedded("/builtin/demo.predictions", &table);
    builtin_pack_bytes.assign(data, data + size);
    unpredict_pack(builtin_pack_bytes.data(), builtin_pack_bytes.size(),
                   std::string(table.begin(), table.end()));
    pack_builtin = builtin_pack();
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

// One line a part: its first order, key (as --start takes it), name and start
// in seconds; the last line is the end of the show.
const char* vorn_web_scene_list() {
    MusicSong* song = FMUSIC_LoadSong("system2.xm");
    web_text = scene_list_text(song, SCENES_PAGE);
    if (song) FMUSIC_FreeSong(song);
    return web_text.c_str();
}

// The start of every order up to the end of the show, in seconds, one a line.
const char* vorn_web_order_times() {
    web_text.clear();
    MusicSong* song = FMUSIC_LoadSong("system2.xm");
    for (uint32_t order = 0; order <= show_parts[PART_END_OF_SHOW].first_order; order++) {
        char line[32];
        std::snprintf(line, sizeof line, "%.3f\n", song ? sound_order_seconds(song, order) : 0.0);
        web_text += line;
    }
    if (song) FMUSIC_FreeSong(song);
    return web_text.c_str();
}

// The browser's names of the keys vorn_web_key takes, one a line, code 1 first.
const char* vorn_web_key_names() {
    web_text.clear();
    for (const PageKey& key : page_keys) web_text += std::string(key.code) + "\n";
    return web_text.c_str();
}

// The show, live: with sound at the page's audio rate, or without (rate 0).
int vorn_web_start(int sound_rate, int start_order) {
    web_error.clear();
    selected_mode = make_mode(FRAME_WIDTH, FRAME_HEIGHT);
    output_rate = sound_rate > 0 ? sound_rate : 44100;
    show_options.nosound = sound_rate <= 0;
    show_options.sound_fallback = 1;
    show_options.start_order = start_order > 0 ? uint32_t(start_order) : 0;
    music_song = FMUSIC_LoadSong("system2.xm");
    if (start_demo() >= 0) {
        web_error = last_message_caption + ": " + last_message_text;
        return 1;
    }
    show_in_use = true;
    return 0;
}

// One pass of the frame loop; 0 once the show has ended.
int vorn_web_frame(double) {
    if (frame_loop_pass()) return 1;
    shut_down_demo();
    show_in_use = false;
    return 0;
}

const uint8_t* vorn_web_pixels() {
    return web_frame_rgba();
}

void vorn_web_key(int code) {
    if (code > 0 && code <= PAGE_KEY_COUNT) web_push_key(page_keys[code - 1].key);
}

// A seek bar's seek: the start of order, as Right and Left go there (the kept
// states, then the catch-up with its progress).
void vorn_web_seek(int order) {
    if (music_song && order >= 0) begin_seek(uint32_t(order));
}

// The page hidden (0) or shown again (1). Hidden, the show stops at once as
// when its window loses the focus: the music pauses and no frame is drawn
// (the pass handles the event and draws nothing while inactive; a show it
// ends is shut down by the next vorn_web_frame). A catch-up under way plays
// its music in lockstep, so it simply stands while the page asks for no
// passes, and the events wait for its next one.
void vorn_web_shown(int shown) {
    web_push_shown(shown);
    if (!shown && !catch_up_active()) frame_loop_pass();
}

// What the page's controls show: 1 paused, 2 catching up, and the order the
// catch-up goes to from bit 8.
uint32_t vorn_web_status() {
    const uint32_t catching = catch_up_active() ? 1 : 0;
    return uint32_t(demo_paused ? 1 : 0) | catching << 1 | (catching ? catch_up_order() : 0) << 8;
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
    if (start_lockstep_show(options, &digest_run)) {
        show_in_use = true;
        return 0;
    }
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
    show_in_use = false;
    return 0;
}

const char* vorn_web_digest_lines() {
    return web_text.c_str();
}

// The start screen's poster: the lockstep frame after frames frames of the
// show, left in vorn_web_pixels; refused while a show or lockstep run is on.
int vorn_web_poster(int frames) {
    if (show_in_use) {
        web_error = "the show is running";
        return 1;
    }
    music_song = FMUSIC_LoadSong("system2.xm");
    CommandLine options;
    options.width = FRAME_WIDTH;
    options.height = FRAME_HEIGHT;
    LockstepRun run{};
    const int started = start_lockstep_show(options, &run);
    for (int i = 0; started && i < frames && render_lockstep_frame(&run); i++) {
    }
    if (started) video_present(surface_back);
    stop_lockstep_show();
    return started ? 0 : 1;
}

} // extern "C"
