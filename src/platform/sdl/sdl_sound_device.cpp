// The sound device over SDL audio: the desktop's sound server through SDL's
// default driver, or ALSA directly. The device's callback pulls from the
// module player on SDL's audio thread; the time since that callback tells
// how much of what it pulled is still to be heard.
#include "platform/sound.h"
#include "platform/sound_device.h"

#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>

static int audio_loaded = 0; // output type whose SDL driver is loaded, 0 for none
static SDL_AudioDeviceID audio_device = 0;
static int audio_device_frames = 0; // the device buffer, in sample frames
static int audio_rate = 44100;
static SoundPull audio_pull = nullptr;
static size_t pulled_frames = 0;    // frames of the last callback
static uint64_t pulled_counter = 0; // SDL performance counter at the last callback

// libasound reports every failed look-up of a sound card on stderr, eight
// lines on a machine without one. Its error handler is pointed at one that
// says nothing before SDL first loads the library; SDL then opens this same
// copy, which stays loaded for the process.
extern "C" {
typedef void (*AlsaErrorHandler)(const char* file, int line, const char* function, int error,
                                 const char* format, ...);
static void alsa_say_nothing(const char*, int, const char*, int, const char*, ...) {}
}

static void quieten_alsa() {
    static int done = 0;
    if (done) return;
    done = 1;
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!alsa) return;
    using SetHandler = int (*)(AlsaErrorHandler);
    if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
        set(alsa_say_nothing);
}

static void unload_audio_driver() {
    if (audio_loaded) SDL_AudioQuit();
    audio_loaded = 0;
}

// Loads the SDL audio driver of an output type: ALSA by name, the sound
// server as SDL's default.
static int load_audio_driver(int output) {
    if (audio_loaded == output) return 1;
    unload_audio_driver();
    quieten_alsa();
    if (SDL_AudioInit(output == SOUND_OUTPUT_ALSA ? "alsa" : nullptr) != 0) return 0;
    audio_loaded = output;
    return 1;
}

static void SDLCALL audio_callback(void*, Uint8* stream, int length) {
    const size_t frames = size_t(length) / (2 * sizeof(int16_t));
    pulled_counter = SDL_GetPerformanceCounter();
    pulled_frames = frames;
    audio_pull(reinterpret_cast<int16_t*>(stream), frames);
}

int sound_device_names(int output, std::vector<std::string>* names) {
    names->clear();
    if (output == SOUND_OUTPUT_NONE || !load_audio_driver(output)) return 0;
    const int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; i++) {
        const char* name = SDL_GetAudioDeviceName(i, 0);
        names->push_back(name ? name : "");
    }
    return 1;
}

int sound_device_open(int output, const char* name, int rate, int buffer_frames, SoundPull pull) {
    if (audio_device || !pull || !load_audio_driver(output)) return 0;
    SDL_AudioSpec want{}, have{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = Uint16(buffer_frames);
    want.callback = audio_callback;
    audio_pull = pull;
    pulled_counter = 0;
    audio_device = SDL_OpenAudioDevice(name, 0, &want, &have, 0);
    if (!audio_device) return 0;
    audio_rate = rate;
    audio_device_frames = have.samples;
    SDL_PauseAudioDevice(audio_device, 0);
    return 1;
}

void sound_device_close() {
    if (audio_device) SDL_CloseAudioDevice(audio_device);
    audio_device = 0;
    pulled_counter = 0;
    unload_audio_driver();
}

int sound_device_is_open() {
    return audio_device != 0;
}

void sound_device_lock() {
    if (audio_device) SDL_LockAudioDevice(audio_device);
}

void sound_device_unlock() {
    if (audio_device) SDL_UnlockAudioDevice(audio_device);
}

// What was pulled and the device's own buffer, less the time played since
// the callback.
int64_t sound_device_unheard_frames() {
    if (!audio_device || !pulled_counter) return -1;
    const uint64_t ticks = SDL_GetPerformanceCounter() - pulled_counter;
    const double seconds = double(ticks) / double(SDL_GetPerformanceFrequency());
    const int64_t unheard =
        int64_t(pulled_frames) + audio_device_frames - int64_t(seconds * audio_rate);
    return std::max<int64_t>(unheard, 0);
}
