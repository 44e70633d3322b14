#include "music_synth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace {

// Sample rates on the XM clock: C-4 plays a sample at 8363 Hz, so a sample made
// at twice that is tuned with relative note 12, at four times with 24.
constexpr double RATE = 16726.0;
constexpr double RATE_HIGH = 33452.0;
constexpr int8_t RATE_NOTE = 12;
constexpr int8_t RATE_HIGH_NOTE = 24;
// A period of 64 frames at RATE is C-4; each octave down doubles it.
constexpr int PERIOD_C4 = 64;
constexpr double PI = 3.14159265358979323846;

struct Noise {
    uint32_t state;
};

// White noise in [-1, 1).
double noise_next(Noise& noise) {
    return double(int32_t(random_next(noise.state))) / 2147483648.0;
}

// One-pole filter coefficient for a cutoff at `rate`.
double one_pole(double cutoff, double rate) {
    return 1.0 - std::exp(-2.0 * PI * cutoff / rate);
}

// Scales to a 0.95 peak and rounds to 16 bits.
std::vector<int16_t> to_pcm(const std::vector<double>& wave) {
    double peak = 1e-9;
    for (double v : wave) peak = std::max(peak, std::fabs(v));
    std::vector<int16_t> out(wave.size());
    for (size_t i = 0; i < wave.size(); i++)
        out[i] = int16_t(std::lround(wave[i] / peak * 0.95 * 32767.0));
    return out;
}

// Soft-clips a wave (tanh, `drive` times its peak): the rare peaks where
// detuned voices meet come down, so the sound is denser for its peak.
void saturate(std::vector<double>& wave, double drive) {
    double peak = 1e-9;
    for (double v : wave) peak = std::max(peak, std::fabs(v));
    for (double& v : wave) v = std::tanh(drive * v / peak);
}

// Adds a band-limited periodic tone of `cycles` periods over `frames` frames,
// partial n weighted by weight(n); partials at or above 0.45 of the sample
// rate are left out. The result loops seamlessly over `frames`.
template <typename Weight>
void add_partials(std::vector<double>& wave, double cycles, double phase, Weight weight) {
    double frames = double(wave.size());
    for (int n = 1; n * cycles / frames < 0.45; n++) {
        double amplitude = weight(n);
        double step = 2.0 * PI * n * cycles / frames;
        for (size_t i = 0; i < wave.size(); i++)
            wave[i] += amplitude * std::sin(step * double(i) + phase * n);
    }
}

double saw_partial(int n) {
    return 1.0 / n;
}
double square_partial(int n) {
    return n % 2 ? 1.0 / n : 0.0;
}
double pulse_partial(int n, double duty) {
    return std::sin(PI * n * duty) / n;
}
// A gentle low-pass applied to partials: first-order roll-off above `corner`
// (in partial numbers).
double rolloff(int n, double corner) {
    return 1.0 / std::sqrt(1.0 + (n / corner) * (n / corner));
}

XmSample make_sample(const char* name, const std::vector<double>& wave, int8_t relative_note) {
    XmSample sample;
    sample.name = name;
    sample.data = to_pcm(wave);
    sample.relative_note = relative_note;
    return sample;
}

// Loops the last `frames` frames of the sample forwards.
void loop_last(XmSample& sample, size_t frames) {
    sample.loop_type = XM_LOOP_FORWARD;
    sample.loop_length = uint32_t(frames);
    sample.loop_start = uint32_t(sample.data.size() - frames);
}

XmInstrument make_instrument(const char* name, XmSample sample) {
    XmInstrument instrument;
    instrument.name = name;
    instrument.samples.push_back(std::move(sample));
    return instrument;
}

// The instrument with a volume envelope that holds at its last point until
// the key-off, then fades out by `fadeout` a tick.
XmInstrument sustained(XmInstrument instrument, std::vector<XmEnvelopePoint> envelope,
                       uint16_t fadeout) {
    instrument.volume_sustain = int(envelope.size()) - 1;
    instrument.volume_envelope = std::move(envelope);
    instrument.fadeout = fadeout;
    return instrument;
}

// An exponential decay with a short linear attack, both in seconds.
double shape(double t, double attack, double decay) {
    double rise = attack > 0 ? std::min(1.0, t / attack) : 1.0;
    return rise * std::exp(-t / decay);
}

// White noise through a one-pole high-pass at `cutoff`.
std::vector<double> high_noise(size_t frames, double cutoff, double rate, uint32_t seed) {
    Noise noise{seed};
    double a = one_pole(cutoff, rate), low = 0;
    std::vector<double> out(frames);
    for (size_t i = 0; i < frames; i++) {
        double x = noise_next(noise);
        low += a * (x - low);
        out[i] = x - low;
    }
    return out;
}

} // namespace

uint32_t random_next(uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

XmInstrument synth_kick() {
    std::vector<double> wave(size_t(0.4 * RATE));
    Noise noise{0x6B1C4u};
    double phase = 0;
    for (size_t i = 0; i < wave.size(); i++) {
        double t = double(i) / RATE;
        double frequency = 45.0 + 115.0 * std::exp(-t / 0.035);
        phase += 2.0 * PI * frequency / RATE;
        double body = std::sin(phase) * shape(t, 0.001, 0.2);
        double click = noise_next(noise) * 0.3 * std::exp(-t / 0.003);
        wave[i] = std::tanh(1.6 * (body + click));
    }
    return make_instrument("kick", make_sample("kick", wave, RATE_NOTE));
}

XmInstrument synth_snare() {
    std::vector<double> wave = high_noise(size_t(0.28 * RATE_HIGH), 900.0, RATE_HIGH, 0x5A4Eu);
    double smooth = one_pole(7000.0, RATE_HIGH), low = 0;
    for (size_t i = 0; i < wave.size(); i++) {
        double t = double(i) / RATE_HIGH;
        low += smooth * (wave[i] - low);
        double tone = 0.55 * std::sin(2 * PI * 185.0 * t) * std::exp(-t / 0.045) +
                      0.3 * std::sin(2 * PI * 330.0 * t) * std::exp(-t / 0.03);
        wave[i] = tone + 0.8 * low * shape(t, 0.0005, 0.075);
    }
    return make_instrument("snare", make_sample("snare", wave, RATE_HIGH_NOTE));
}

XmInstrument synth_closed_hat() {
    std::vector<double> wave = high_noise(size_t(0.07 * RATE_HIGH), 7000.0, RATE_HIGH, 0x4A7Cu);
    for (size_t i = 0; i < wave.size(); i++) wave[i] *= shape(double(i) / RATE_HIGH, 0.0005, 0.016);
    return make_instrument("closed hat", make_sample("closed hat", wave, RATE_HIGH_NOTE));
}

XmInstrument synth_open_hat() {
    std::vector<double> wave = high_noise(size_t(0.4 * RATE_HIGH), 6000.0, RATE_HIGH, 0x09E4u);
    for (size_t i = 0; i < wave.size(); i++) wave[i] *= shape(double(i) / RATE_HIGH, 0.002, 0.11);
    return make_instrument("open hat", make_sample("open hat", wave, RATE_HIGH_NOTE));
}

XmInstrument synth_bass() {
    // One band-limited period of saw plus square at C-2 (256 frames at RATE).
    const int period = PERIOD_C4 * 4;
    std::vector<double> cycle(period);
    add_partials(cycle, 1.0, 0.0,
                 [](int n) { return 0.6 * saw_partial(n) + 0.4 * square_partial(n); });
    // Two one-pole low-passes whose cutoff falls from 3.6 kHz to about 260 Hz,
    // frozen after 0.5 s so that the last periods are steady and loop cleanly.
    const int periods = 48, loop_periods = 4;
    std::vector<double> wave(size_t(period) * periods);
    double a = 0, b = 0;
    for (size_t i = 0; i < wave.size(); i++) {
        double t = std::min(double(i) / RATE, 0.5);
        double k = one_pole(250.0 + 3400.0 * std::exp(-t / 0.09), RATE);
        a += k * (cycle[i % period] - a);
        b += k * (a - b);
        wave[i] = b * (0.8 + 0.2 * std::exp(-t / 0.15));
    }
    saturate(wave, 2.2);
    XmSample sample = make_sample("bass", wave, int8_t(RATE_NOTE + 24));
    loop_last(sample, size_t(period) * loop_periods);
    return sustained(make_instrument("bass", sample), {{0, 64}, {8, 56}, {30, 48}}, 0xC00);
}

XmInstrument synth_pad(int spread) {
    // Three saws of 128 - spread, 128 and 128 + spread periods in one loop:
    // C-4 and two voices detuned by about 13 cents a step of spread.
    const int cycles = 128;
    std::vector<double> wave(size_t(PERIOD_C4) * cycles);
    const double phases[3] = {0.0, 2.1, 4.4};
    for (int voice = 0; voice < 3; voice++)
        add_partials(wave, cycles + (voice - 1) * spread, phases[voice],
                     [](int n) { return saw_partial(n) * rolloff(n, 8.0); });
    saturate(wave, 3.0);
    XmSample sample = make_sample("pad", wave, RATE_NOTE);
    loop_last(sample, wave.size());
    return sustained(make_instrument("pad", sample), {{0, 0}, {45, 64}, {90, 52}}, 0x300);
}

XmInstrument synth_lead() {
    // Pulses of 25% duty, 128 and 129 periods in one loop.
    const int cycles = 128;
    std::vector<double> wave(size_t(PERIOD_C4) * cycles);
    add_partials(wave, cycles, 0.0, [](int n) { return pulse_partial(n, 0.25) * rolloff(n, 8.0); });
    add_partials(wave, cycles + 1, 1.3,
                 [](int n) { return 0.5 * pulse_partial(n, 0.25) * rolloff(n, 8.0); });
    saturate(wave, 2.5);
    XmSample sample = make_sample("lead", wave, RATE_NOTE);
    loop_last(sample, wave.size());
    XmInstrument instrument =
        sustained(make_instrument("lead", sample), {{0, 40}, {3, 64}, {20, 50}}, 0x600);
    instrument.vibrato_type = 0; // sine
    instrument.vibrato_sweep = 40;
    instrument.vibrato_depth = 5;
    instrument.vibrato_rate = 24;
    return instrument;
}

XmInstrument synth_bell() {
    // C-5 (32 frames a period at RATE): a harmonic FM pluck with a quickly
    // fading inharmonic partial for the strike.
    const double frequency = RATE / (PERIOD_C4 / 2);
    std::vector<double> wave(size_t(0.9 * RATE));
    for (size_t i = 0; i < wave.size(); i++) {
        double t = double(i) / RATE;
        double w = 2 * PI * frequency * t;
        double index = 2.2 * std::exp(-t / 0.12) + 0.3;
        double strike = 1.5 * std::exp(-t / 0.04);
        double modulation = index * std::sin(2 * w) + strike * std::sin(3.5 * w);
        wave[i] = std::sin(w + modulation) * shape(t, 0.002, 0.3);
    }
    return make_instrument("bell", make_sample("bell", wave, 0));
}

XmInstrument synth_crash(uint32_t seed) {
    std::vector<double> wave = high_noise(size_t(1.4 * RATE), 2500.0, RATE, seed);
    double phase = 0;
    for (size_t i = 0; i < wave.size(); i++) {
        double t = double(i) / RATE;
        phase += 2 * PI * (60.0 + 80.0 * std::exp(-t / 0.04)) / RATE;
        double boom = 0.35 * std::sin(phase) * shape(t, 0.002, 0.2);
        wave[i] = 0.9 * wave[i] * shape(t, 0.003, 0.45) + boom;
    }
    return make_instrument("crash", make_sample("crash", wave, RATE_NOTE));
}

XmInstrument synth_riser() {
    std::vector<double> wave(size_t(0.25 * RATE));
    Noise noise{0x815Eu};
    double k = one_pole(3000.0, RATE), low = 0;
    for (double& v : wave) {
        low += k * (noise_next(noise) - low);
        v = low;
    }
    saturate(wave, 8.0); // dense for its peak, so that it can rise over the break
    XmSample sample = make_sample("riser", wave, RATE_NOTE);
    loop_last(sample, wave.size());
    return make_instrument("riser", sample);
}
