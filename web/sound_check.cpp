// sound_check MODULE [RAW_FILE]: renders a whole module the way the sound layer
// renders the show in lockstep (44100 Hz stereo, 60 frames a second split into
// reads of at most 256 frames, play once, no dither, the default mixer, float
// mix scaled by master volume 150 of 256, rounded and clipped to 16 bits) and
// prints the frame count and an FNV-1a/64 hash of the samples. Built natively
// and for the web, the two lines must match: libopenmpt in WebAssembly then
// plays the show's music byte for byte.
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int RATE = 44100, FPS = 60, VOLUME = 150, VOLUME_MAX = 256;
constexpr size_t PIECE = 256;

std::vector<uint8_t> read_file(const char* name) {
    std::vector<uint8_t> data;
    if (FILE* file = std::fopen(name, "rb")) {
        uint8_t chunk[65536];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
            data.insert(data.end(), chunk, chunk + got);
        std::fclose(file);
    }
    return data;
}

openmpt_module* open_module(const std::vector<uint8_t>& data) {
    const openmpt_module_initial_ctl ctls[] = {
        {"play.at_end", "stop"}, {"dither", "0"}, {nullptr, nullptr}};
    int error = 0;
    openmpt_module* module = openmpt_module_create_from_memory2(
        data.data(), data.size(), openmpt_log_func_silent, nullptr, openmpt_error_func_ignore,
        nullptr, &error, nullptr, ctls);
    if (!module) return nullptr;
    openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH, 0);
    openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH, -1);
    return module;
}

// One show frame's samples in pieces of at most PIECE; returns the frames
// rendered, fewer than asked once the module has ended.
size_t render_frame(openmpt_module* module, size_t frames, std::vector<int16_t>* out) {
    const float scale = 32768.0f * float(VOLUME) / float(VOLUME_MAX);
    size_t done = 0;
    while (done < frames) {
        float mix[2 * PIECE];
        const size_t piece = std::min(PIECE, frames - done);
        const size_t got = openmpt_module_read_interleaved_float_stereo(module, RATE, piece, mix);
        if (got == 0) break;
        for (size_t i = 0; i < 2 * got; i++)
            out->push_back(int16_t(std::lrint(std::clamp(mix[i] * scale, -32768.0f, 32767.0f))));
        done += got;
    }
    return done;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: sound_check MODULE [RAW_FILE]\n");
        return 2;
    }
    const std::vector<uint8_t> data = read_file(argv[1]);
    openmpt_module* module = data.empty() ? nullptr : open_module(data);
    if (!module) {
        std::fprintf(stderr, "sound_check: %s is no module\n", argv[1]);
        return 1;
    }
    std::vector<int16_t> samples;
    int64_t carry = 0;
    for (;;) {
        carry += RATE;
        const size_t frames = size_t(carry / FPS);
        carry %= FPS;
        if (render_frame(module, frames, &samples) == 0) break;
    }
    openmpt_module_destroy(module);

    uint64_t hash = 0xCBF29CE484222325ull;
    for (int16_t s : samples)
        for (int b = 0; b < 2; b++)
            hash = (hash ^ ((uint16_t(s) >> (8 * b)) & 0xFF)) * 0x100000001B3ull;
    std::printf("%zu frames %016" PRIX64 "\n", samples.size() / 2, hash);
    if (argc == 3) {
        FILE* raw = std::fopen(argv[2], "wb");
        if (!raw || std::fwrite(samples.data(), 2, samples.size(), raw) != samples.size() ||
            std::fclose(raw) != 0) {
            std::fprintf(stderr, "sound_check: cannot write %s\n", argv[2]);
            return 1;
        }
    }
    return 0;
}
