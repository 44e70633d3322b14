// The web platform: the show's window is the page's canvas, its keys come
// from the page, its sound device is the page's AudioWorklet. The page's own
// loop drives everything, so nothing here waits or paces: presenting keeps
// the frame for the page to copy, the device renders when the page pulls,
// and the heard position is what the page's audio clock reports.
#include "platform/web/web_platform.h"

#include "platform/file_watch.h"
#include "platform/process.h"
#include "platform/sound.h"
#include "platform/sound_device.h"
#include "platform/video.h"

#include <deque>
#include <vector>

int display_pacing = PACE_UNLIMITED;
const char* const video_full_screen_keys = "F";
// F12 is the browser's (its developer tools); Escape in full screen leaves it.
const char* const video_end_keys = "ESC";
int display_windowed = 1;

static std::vector<uint8_t> frame_rgba(size_t(FRAME_PIXELS) * 4, 0);
static int window_open = 0;
static std::deque<ShowEvent> waiting_events;

//
// The window
//

void platform_start() {}
void platform_end() {}

bool have_display() {
    return true;
}

bool open_show_display() {
    return true;
}

// Messages go to the page's console and its list of notes (stderr).
int video_message_box(const char*, const char*, int) {
    return 0;
}

// The page shows the show's own 320 x 200 frame; it scales it to the canvas.
int video_open(int, const ModeRecord& mode) {
    if (mode.width != FRAME_WIDTH || mode.height != FRAME_HEIGHT || mode.bits_per_pixel != 32) {
        show_message("DDRAW", "Couldn't set the mode.\n", 1);
        return -1;
    }
    window_open = 1;
    waiting_events.clear();
    return 1;
}

void video_close() {
    window_open = 0;
}

int video_is_open() {
    return window_open;
}

// 0x00RRGGBB words to the canvas's R, G, B, A bytes.
int video_present(const Surface* back) {
    if (!back || back->pixels.size() != size_t(FRAME_PIXELS)) return 0;
    uint8_t* out = frame_rgba.data();
    for (const uint32_t p : back->pixels) {
        out[0] = uint8_t(p >> 16);
        out[1] = uint8_t(p >> 8);
        out[2] = uint8_t(p);
        out[3] = 255;
        out += 4;
    }
    return 1;
}

const uint8_t* web_frame_rgba() {
    return frame_rgba.data();
}

// Full screen belongs to the page (its F key); the browser's Escape leaves it.
int video_set_full_screen(int) {
    return 0;
}

void video_set_active(int) {}

std::vector<ModeRecord> list_display_modes(int) {
    return {make_mode(FRAME_WIDTH, FRAME_HEIGHT)};
}

int video_desktop_size(int*, int*) {
    return 0;
}

std::vector<std::string> list_display_devices() {
    return {"Web page"};
}

//
// Input
//

void web_push_key(ShowKey key) {
    if (window_open) waiting_events.push_back(ShowEvent{EVENT_KEY, key, false});
}

void web_push_shown(int shown) {
    if (window_open)
        waiting_events.push_back(
            ShowEvent{shown ? EVENT_ACTIVE : EVENT_INACTIVE, KEY_OTHER, false});
}

int input_poll(ShowEvent* event) {
    if (waiting_events.empty()) return 0;
    *event = waiting_events.front();
    waiting_events.pop_front();
    return 1;
}

int input_wait(ShowEvent* event, int) {
    return input_poll(event);
}

//
// The sound device
//

static SoundPull device_pull = nullptr;
static uint64_t device_pulled = 0; // sample frames handed to the page
static double device_heard = -1;   // the one the page hears now

int sound_device_names(int output, std::vector<std::string>* names) {
    names->clear();
    if (output == SOUND_OUTPUT_NONE) return 0;
    names->push_back("Web Audio");
    return 1;
}

int sound_device_open(int output, const char*, int, int, SoundPull pull) {
    if (output == SOUND_OUTPUT_NONE || !pull || device_pull) return 0;
    device_pull = pull;
    device_pulled = 0;
    device_heard = -1;
    return 1;
}

void sound_device_close() {
    device_pull = nullptr;
}

int sound_device_is_open() {
    return device_pull != nullptr;
}

// The page's loop runs on the one thread the show has.
void sound_device_lock() {}
void sound_device_unlock() {}

size_t web_sound_pull(int16_t* out, size_t frames) {
    if (!device_pull) return 0;
    device_pull(out, frames);
    device_pulled += frames;
    return frames;
}

void web_sound_heard(double frame) {
    device_heard = frame;
}

int64_t sound_device_unheard_frames() {
    if (!device_pull || device_heard < 0) return -1;
    const int64_t unheard = int64_t(device_pulled) - int64_t(device_heard);
    return unheard > 0 ? unheard : 0;
}

// The page has no directory of its own to watch.
int file_watch_start() {
    return 0;
}

int file_watch_poll(uint32_t, std::vector<std::string>* settled) {
    settled->clear();
    return 0;
}

const std::string& file_watch_folder() {
    static const std::string none;
    return none;
}

void file_watch_stop() {}

// The page's program is no file it can read: its kept states stay in memory.
bool read_own_program(size_t, std::vector<uint8_t>*) {
    return false;
}
