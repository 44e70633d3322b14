// The page's engine module until the web platform layer exists: the exported
// interface the page (page/vorn.js) calls, kept to what can be shown without
// the show driver. Frames are the engine's own plasma, converted to RGBA; the
// sound is a quiet 441 Hz tone, so that the page's sound ring and its heard
// position can be checked. Plain records and program-wide state, as the
// platform layer that replaces it will have.
#include "data/surface.h"
#include "director/timeline_effects.h"

#include <emscripten/emscripten.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The page's key codes (page/vorn.js, KEY_CODES).
enum WebKey {
    KEY_SPACE = 1,
    KEY_LEFT,
    KEY_RIGHT,
    KEY_PAGE_UP,
    KEY_PAGE_DOWN,
    KEY_ENTER,
    KEY_F1,
    KEY_ESCAPE
};

constexpr uint32_t SOUND_CHUNK_MAX = 8192; // frames one vorn_web_sound_render may give
constexpr double TONE_HZ = 441.0;

struct DroppedFile {
    std::string name;
    std::vector<uint8_t> data;
};

std::vector<DroppedFile> dropped_files;
uint8_t frame_rgba[FRAME_PIXELS * 4];
int16_t sound_chunk[2 * SOUND_CHUNK_MAX];
int sound_rate = 0;
uint64_t sound_rendered = 0; // frames handed to the page
double sound_heard = -1;     // frame the page last reported heard
bool paused = false;
bool running = false;
std::string error_text;
std::string scene_list;

// 0x00RRGGBB words to the canvas's R, G, B, A bytes.
void frame_to_rgba(const uint32_t* pixels) {
    for (int i = 0; i < FRAME_PIXELS; i++) {
        const uint32_t p = pixels[i];
        frame_rgba[4 * i + 0] = uint8_t(p >> 16);
        frame_rgba[4 * i + 1] = uint8_t(p >> 8);
        frame_rgba[4 * i + 2] = uint8_t(p);
        frame_rgba[4 * i + 3] = 255;
    }
}

} // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int vorn_web_init() {
    if (!create_working_surface()) {
        error_text = "the working surface could not be made";
        return 1;
    }
    build_plasma_table();
    reset_timeline_effects();
    scene_list = "0\tplasma\t0\n";
    return 0;
}

EMSCRIPTEN_KEEPALIVE void vorn_web_add_file(const char* name, const uint8_t* data, uint32_t size) {
    for (DroppedFile& file : dropped_files)
        if (file.name == name) {
            file.data.assign(data, data + size);
            return;
        }
    dropped_files.push_back({name, std::vector<uint8_t>(data, data + size)});
}

EMSCRIPTEN_KEEPALIVE int vorn_web_start(int rate, int start_order) {
    (void)start_order; // one scene only
    sound_rate = rate;
    sound_rendered = 0;
    sound_heard = -1;
    paused = false;
    running = true;
    reset_timeline_effects();
    return 0;
}

EMSCRIPTEN_KEEPALIVE int vorn_web_frame(double now_ms) {
    (void)now_ms;
    if (!running) return 0;
    if (!paused) draw_plasma(surface_virtual1);
    frame_to_rgba(surface_virtual1->pixels.data());
    return 1;
}

EMSCRIPTEN_KEEPALIVE uint8_t* vorn_web_pixels() {
    return frame_rgba;
}

EMSCRIPTEN_KEEPALIVE void vorn_web_key(int key, int down) {
    if (!down) return;
    if (key == KEY_SPACE) paused = !paused;
    if (key == KEY_ESCAPE) running = false;
}

EMSCRIPTEN_KEEPALIVE uint32_t vorn_web_sound_render(uint32_t frames) {
    if (!running || paused || sound_rate <= 0) return 0;
    if (frames > SOUND_CHUNK_MAX) frames = SOUND_CHUNK_MAX;
    const double step = 2.0 * M_PI * TONE_HZ / sound_rate;
    for (uint32_t i = 0; i < frames; i++) {
        const int16_t s = int16_t(std::lrint(2048.0 * std::sin(step * double(sound_rendered + i))));
        sound_chunk[2 * i] = sound_chunk[2 * i + 1] = s;
    }
    sound_rendered += frames;
    return frames;
}

EMSCRIPTEN_KEEPALIVE int16_t* vorn_web_sound_buffer() {
    return sound_chunk;
}

EMSCRIPTEN_KEEPALIVE void vorn_web_sound_heard(double frame) {
    sound_heard = frame;
}

EMSCRIPTEN_KEEPALIVE const char* vorn_web_scene_list() {
    return scene_list.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* vorn_web_error() {
    return error_text.c_str();
}

} // extern "C"
