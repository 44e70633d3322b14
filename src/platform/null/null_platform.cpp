// The null platform: no window, no input, no sound device. What lockstep
// runs (capture, the benchmark) and the drawing's tests need, so that the
// show's code links and runs with no platform library at all.
#include "platform/input.h"
#include "platform/sound_device.h"
#include "platform/video.h"

int display_pacing = PACE_60;
const char* const video_full_screen_keys = "F11 ALT+ENTER";
const char* const video_end_keys = "ESC F12";
int display_windowed = 0;

void platform_start() {}
void platform_end() {}

bool have_display() {
    return false;
}

bool open_show_display() {
    return false;
}

int video_message_box(const char*, const char*, int) {
    return 0;
}

int video_open(int, const ModeRecord&) {
    return 0;
}

void video_close() {}

int video_is_open() {
    return 0;
}

int video_present(const Surface*) {
    return 0;
}

int video_set_full_screen(int) {
    return 0;
}

void video_set_active(int) {}

std::vector<ModeRecord> list_display_modes(int) {
    return {make_mode(320, 200), make_mode(320, 240), make_mode(640, 400), make_mode(640, 480)};
}

int video_desktop_size(int*, int*) {
    return 0;
}

std::vector<std::string> list_display_devices() {
    return {"Primary display"};
}

int input_poll(ShowEvent*) {
    return 0;
}

int input_wait(ShowEvent*, int) {
    return 0;
}

int sound_device_names(int, std::vector<std::string>* names) {
    names->clear();
    return 0;
}

int sound_device_open(int, const char*, int, int, SoundPull) {
    return 0;
}

void sound_device_close() {}

int sound_device_is_open() {
    return 0;
}

void sound_device_lock() {}
void sound_device_unlock() {}

int64_t sound_device_unheard_frames() {
    return -1;
}
