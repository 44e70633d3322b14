#include "music_master.h"

#include "content.h"
#include "music_compose.h"

#include <libopenmpt/libopenmpt.h>

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

constexpr int RATE = 44100;
constexpr int BLOCK = 1024;
// The show's master volume (150 of 256) scales the library's mix before it is
// clipped to 16 bits.
constexpr double MASTER_VOLUME = 150.0 / 256.0;
constexpr int END_ORDER = 42; // the show stops on the first frame that reads it

double decibels(double amplitude) {
    return 20.0 * std::log10(std::max(amplitude, 1e-9));
}

struct Render {
    openmpt_module* module = nullptr;
    ebur128_state* meter = nullptr;
    ~Render() {
        if (module) openmpt_module_destroy(module);
        if (meter) ebur128_destroy(&meter);
    }
};

} // namespace

bool measure_music(const XmModule& module, MusicLevels* levels) {
    const std::vector<uint8_t> bytes = xm_serialise(module);
    if (bytes.empty()) return false;
    const openmpt_module_initial_ctl ctls[] = {
        {"play.at_end", "stop"}, {"dither", "0"}, {nullptr, nullptr}};
    Render render;
    render.module =
        openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent,
                                           nullptr, nullptr, nullptr, nullptr, nullptr, ctls);
    render.meter = ebur128_init(2, RATE, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    if (!render.module || !render.meter) return false;
    std::vector<float> audio(2 * size_t(BLOCK));
    size_t frames;
    while (openmpt_module_get_current_order(render.module) < END_ORDER &&
           (frames = openmpt_module_read_interleaved_float_stereo(render.module, RATE, BLOCK,
                                                                  audio.data())) > 0) {
        for (size_t i = 0; i < 2 * frames; i++) audio[i] = float(audio[i] * MASTER_VOLUME);
        ebur128_add_frames_float(render.meter, audio.data(), frames);
    }
    double true_peak[2] = {0, 0};
    if (ebur128_loudness_global(render.meter, &levels->loudness) != EBUR128_SUCCESS ||
        ebur128_true_peak(render.meter, 0, &true_peak[0]) != EBUR128_SUCCESS ||
        ebur128_true_peak(render.meter, 1, &true_peak[1]) != EBUR128_SUCCESS)
        return false;
    levels->true_peak = decibels(std::max(true_peak[0], true_peak[1]));
    return std::isfinite(levels->loudness);
}

bool master_music(XmModule& module, double target_loudness, double peak_ceiling,
                  MusicLevels* levels) {
    MusicLevels before;
    if (!measure_music(module, &before)) return false;
    // The gain that reaches the target, held back by the peak ceiling and by
    // the samples' own range.
    double gain = std::min(target_loudness - before.loudness, peak_ceiling - before.true_peak);
    int sample_peak = 1;
    for (const XmInstrument& instrument : module.instruments)
        for (const XmSample& sample : instrument.samples)
            for (int16_t v : sample.data) sample_peak = std::max(sample_peak, std::abs(int(v)));
    gain = std::min(gain, decibels(32767.0 / sample_peak));
    // Down to a step of 0.1 dB: a meter that differs in the last digits
    // still gives the same module.
    gain = std::floor(gain * 10.0) / 10.0;
    const double factor = std::pow(10.0, gain / 20.0);
    for (XmInstrument& instrument : module.instruments)
        for (XmSample& sample : instrument.samples)
            for (int16_t& v : sample.data) v = int16_t(std::lround(v * factor));
    levels->loudness = before.loudness + gain;
    levels->true_peak = before.true_peak + gain;
    return true;
}

bool write_music(const std::string& module_path) {
    XmModule module = compose_music();
    MusicLevels levels;
    // True peaks at -1.3 dBFS: the show's other mixers (no interpolation
    // above all) peak up to 0.15 dB higher than the default one measured here.
    if (!master_music(module, -16.0, -1.3, &levels)) {
        std::fprintf(stderr, "vorn-content: the module does not play\n");
        return false;
    }
    std::printf("vorn-content: music at %.1f LUFS, true peak %.1f dBFS\n", levels.loudness,
                levels.true_peak);
    return xm_write_file(module, module_path);
}
