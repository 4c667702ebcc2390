// synth.cpp -- the songs' instruments: oscillators, noise, filters and envelopes
// rendered into 16-bit samples. Sustaining voices loop over a whole number of
// cycles of every partial (or a cross-faded noise loop), so no loop clicks.
#include "synth.h"

#include "forge.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;

// xorshift32: the same noise on every forge run, whatever the library.
struct Noise {
    std::uint32_t state;
    double next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return double(state) / 2147483648.0 - 1.0;
    }
};

// An RBJ biquad with fixed coefficients.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double run(double x)
    {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1; x1 = x; y2 = y1; y1 = y;
        return y;
    }
};

enum class FilterKind { lowpass, highpass, bandpass };

Biquad make_filter(FilterKind kind, double hz, double q, double rate)
{
    const double w = 2.0 * pi * hz / rate;
    const double alpha = std::sin(w) / (2.0 * q);
    const double c = std::cos(w);
    const double a0 = 1.0 + alpha;
    Biquad f;
    switch (kind) {
    case FilterKind::lowpass:
        f.b0 = (1 - c) / 2; f.b1 = 1 - c; f.b2 = (1 - c) / 2;
        break;
    case FilterKind::highpass:
        f.b0 = (1 + c) / 2; f.b1 = -(1 + c); f.b2 = (1 + c) / 2;
        break;
    case FilterKind::bandpass:
        f.b0 = alpha; f.b1 = 0; f.b2 = -alpha;
        break;
    }
    f.a1 = -2 * c;
    f.a2 = 1 - alpha;
    f.b0 /= a0; f.b1 /= a0; f.b2 /= a0; f.a1 /= a0; f.a2 /= a0;
    return f;
}

using Signal = std::vector<double>;

int frames_for(double seconds, double rate) { return int(std::lround(seconds * rate)); }

// Scales to `peak` of full scale and rounds to 16 bits; a silent signal stays silent.
std::vector<std::int16_t> to_pcm(const Signal& x, double peak = 0.97)
{
    double m = 0.0;
    for (double v : x) m = std::max(m, std::fabs(v));
    const double gain = m > 0.0 ? peak * 32767.0 / m : 0.0;
    std::vector<std::int16_t> out(x.size());
    for (std::size_t i = 0; i < x.size(); ++i)
        out[i] = std::int16_t(std::clamp(std::lround(x[i] * gain), -32767L, 32767L));
    return out;
}

// Fades the first frames in, so a sample that starts off zero does not click.
void fade_in(Signal& x, int frames)
{
    for (int i = 0; i < frames && i < int(x.size()); ++i) x[i] *= double(i) / frames;
}

// Fades the last `frames` out to zero, so a sample played once ends without a click.
void fade_out(Signal& x, std::size_t frames)
{
    frames = std::min(frames, x.size());
    for (std::size_t i = x.size() - frames; i < x.size(); ++i) x[i] *= double(x.size() - i) / double(frames);
}

// Blends the loop's last `frames` into the frames just before its start, so the
// jump from the loop end back to its start continues the signal smoothly.
void crossfade_loop(Signal& x, int loop_start, int loop_length, int frames)
{
    const int end = loop_start + loop_length;
    for (int i = 0; i < frames; ++i) {
        const double w = double(i + 1) / frames;
        x[end - frames + i] = x[end - frames + i] * (1.0 - w) + x[loop_start - frames + i] * w;
    }
}

// Scales `x` to a peak of 1 and rounds its peaks off: y = tanh(drive x). A little drive
// thickens a voice and lowers its crest.
void saturate(Signal& x, double drive)
{
    double m = 0.0;
    for (double v : x) m = std::max(m, std::fabs(v));
    if (m > 0.0)
        for (double& v : x) v = std::tanh(drive * v / m);
}

XmEnvelope envelope(std::initializer_list<XmEnvelopePoint> points, int sustain = -1)
{
    XmEnvelope e;
    e.points = points;
    e.sustain = sustain;
    return e;
}

XmInstrument instrument(const char* name, XmSample sample, XmEnvelope volume = {}, std::uint16_t fadeout = 0)
{
    XmInstrument ins;
    ins.name = name;
    sample.name = name;
    ins.samples.push_back(std::move(sample));
    ins.volume_envelope = std::move(volume);
    ins.fadeout = fadeout;
    return ins;
}

// A drum or noise: plays at its recording rate on C-4.
XmSample unpitched(const Signal& x, double rate, std::uint8_t volume, std::uint8_t panning = 128,
                   double peak = 0.97)
{
    XmSample s;
    s.frames = to_pcm(x, peak);
    s.volume = volume;
    s.panning = panning;
    tune_sample(s, rate, note_hz(49), 49);
    return s;
}

void set_loop(XmSample& s, int start, int length)
{
    s.loop = XmLoop::forward;
    s.loop_start = start;
    s.loop_length = length;
}

// ---- additive voices ---------------------------------------------------------------
// A partial makes `cycles` whole cycles per `loop` frames, so everything from the
// loop start on repeats exactly. Its amplitude moves from `start_amp` to `amp`
// over the attack (brightness that settles, like a closing filter).
struct Partial {
    double cycles;
    double amp;
    double start_amp;
    double phase;
};

Signal additive(int attack, int loop, const std::vector<Partial>& partials, double attack_curve)
{
    Signal x(std::size_t(attack + loop), 0.0);
    Signal weight(std::size_t(attack), 0.0);
    for (int i = 0; i < attack; ++i) weight[std::size_t(i)] = std::pow(1.0 - double(i) / attack, attack_curve);
    for (const Partial& p : partials) {
        const double step = 2.0 * pi * p.cycles / loop;
        for (int i = 0; i < attack + loop; ++i) {
            const double w = i < attack ? weight[std::size_t(i)] : 0.0;
            const double a = p.amp + (p.start_amp - p.amp) * w;
            x[std::size_t(i)] += a * std::sin(step * double(i % loop) + p.phase);
        }
    }
    return x;
}

// Partials of a band-limited saw (odd_only: square) with `cycles` per loop; those
// at or above `max_hz` (at the recording rate) are left out. `rolloff` dulls the
// steady spectrum, `start_rolloff` the attack's (larger = brighter).
void add_wave(std::vector<Partial>& out, double cycles, int loop, double rate, double level, bool odd_only,
              double rolloff, double start_rolloff, double max_hz, double phase_seed)
{
    const double f0 = rate * cycles / loop;
    for (int h = 1; h * f0 < max_hz; ++h) {
        if (odd_only && h % 2 == 0) continue;
        const double base = level / h;
        const double steady = base / (1.0 + (h / rolloff) * (h / rolloff));
        const double start = base / (1.0 + (h / start_rolloff) * (h / start_rolloff));
        out.push_back({cycles * h, steady, start, phase_seed * h});
    }
}

// The loop length (frames) in which `cycles` cycles of `hz` fit at `rate`, and the
// tone that length really gives.
int loop_frames(double rate, double hz, double cycles) { return int(std::lround(rate * cycles / hz)); }
double loop_tone(double rate, int loop, double cycles) { return rate * cycles / loop; }

// The loop for `cycles` cycles of note `base` at `rate`: its frames and the tone it gives.
struct CycleLoop {
    int frames;
    double tone;
};
CycleLoop cycle_loop(double rate, int base, double cycles)
{
    const int frames = loop_frames(rate, note_hz(base), cycles);
    return {frames, loop_tone(rate, frames, cycles)};
}

// ---- drums -----------------------------------------------------------------------------

// A kick: a sine falling from a click to its body, a filtered noise tick on top, driven.
// The defaults are song 1's: round and long.
struct KickTone {
    double seconds = 0.42;
    double body_hz = 47, drop_hz = 120, drop_time = 0.03, click_hz = 260, click_time = 0.004;
    double body_decay = 0.2, onset = 0.0015, onset_floor = 0.2;
    FilterKind tick_filter = FilterKind::bandpass;
    double tick_hz = 3500, tick_q = 0.9, tick_decay = 0.003;
    double body_drive = 1.6, tick_drive = 0.8;
    int fade_in = 8, fade_out = 600;
    double peak = 0.78;  // below full scale: the kick lands with the bass and the booms, low and in phase
};

XmInstrument kick(Noise& noise, const KickTone& k = {})
{
    const double rate = 32000;
    Signal x(std::size_t(frames_for(k.seconds, rate)));
    Biquad click = make_filter(k.tick_filter, k.tick_hz, k.tick_q, rate);
    double phase = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = double(i) / rate;
        const double hz = k.body_hz + k.drop_hz * std::exp(-t / k.drop_time) + k.click_hz * std::exp(-t / k.click_time);
        phase += 2.0 * pi * hz / rate;
        const double body = std::sin(phase) * std::exp(-t / k.body_decay) * std::min(1.0, t / k.onset + k.onset_floor);
        const double tick = click.run(noise.next()) * std::exp(-t / k.tick_decay);
        x[i] = std::tanh(k.body_drive * body + k.tick_drive * tick);
    }
    fade_in(x, k.fade_in);
    fade_out(x, std::size_t(k.fade_out));
    return instrument("kick", unpitched(x, rate, 64, 128, k.peak));
}

// A snare: two short tones under noise, high-passed then low-passed, with a band of it on top.
// The defaults are song 1's.
struct SnareTone {
    double seconds = 0.3;
    double low_hz = 188, low_amp = 0.55, low_decay = 0.05, high_hz = 332, high_amp = 0.3, high_decay = 0.03;
    double highpass = 1100, lowpass = 9000, wide = 0.9;  // the noise through both filters, and how much
    double band_hz = 5000, band = 0.0;                   // a band-passed share of the same noise
    double hiss_decay = 0.085, drive = 1.3;
    int fade_in = 16;
    std::uint8_t panning = 120;
};

XmInstrument snare(Noise& noise, const SnareTone& s = {})
{
    const double rate = 32000;
    Signal x(std::size_t(frames_for(s.seconds, rate)));
    Biquad hp = make_filter(FilterKind::highpass, s.highpass, 0.7, rate);
    Biquad lp = make_filter(FilterKind::lowpass, s.lowpass, 0.7, rate);
    Biquad bp = make_filter(FilterKind::bandpass, s.band_hz, 0.6, rate);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = double(i) / rate;
        const double tone = s.low_amp * std::sin(2 * pi * s.low_hz * t) * std::exp(-t / s.low_decay) +
                            s.high_amp * std::sin(2 * pi * s.high_hz * t) * std::exp(-t / s.high_decay);
        const double n = noise.next();
        const double hiss = (s.wide * lp.run(hp.run(n)) + s.band * bp.run(n)) * std::exp(-t / s.hiss_decay);
        x[i] = std::tanh(s.drive * (tone + hiss));
    }
    fade_in(x, s.fade_in);
    return instrument("snare", unpitched(x, rate, 56, s.panning));
}

XmInstrument clap(Noise& noise)
{
    const double rate = 32000;
    Signal x(std::size_t(frames_for(0.32, rate)));
    Biquad bp = make_filter(FilterKind::bandpass, 1400, 1.4, rate);
    Biquad bp2 = make_filter(FilterKind::bandpass, 2600, 1.2, rate);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = double(i) / rate;
        double env = 0.0;
        for (int burst = 0; burst < 4; ++burst) {
            const double t0 = burst * 0.0095;
            if (t >= t0) env = std::max(env, std::exp(-(t - t0) / 0.004));
        }
        if (t >= 0.0285) env = std::max(env, 0.75 * std::exp(-(t - 0.0285) / 0.09));
        const double n = noise.next();
        x[i] = env * (bp.run(n) + 0.6 * bp2.run(n));
    }
    fade_in(x, 8);
    return instrument("clap", unpitched(x, rate, 56, 140, 0.85));
}

// Six square oscillators at unrelated ratios under a high-pass: a metallic hat.
// `pitch` scales them all (1 = song 1's set).
double metal(double t, double pitch = 1.0)
{
    static const double hz[6] = {317.0, 471.0, 543.0, 761.0, 849.0, 1113.0};
    double s = 0.0;
    for (double f : hz) s += std::sin(2 * pi * f * 1.9 * pitch * t) >= 0.0 ? 1.0 : -1.0;
    return s / 6.0;
}

// A hat's colour: where its high-pass sits, the metal's pitch, how much noise is in it,
// and how long the closed hat rings.
struct HatTone {
    double cutoff = 7200;
    double pitch = 1.0;
    double noise = 0.5;
    double closed_decay = 0.016;
    double drive = 0.0;  // saturation after the envelope (0: none): a denser, louder hat
};

Signal hat_signal(Noise& noise, double seconds, double decay, double rate, const HatTone& tone = {})
{
    Signal x(std::size_t(frames_for(seconds, rate)));
    Biquad hp = make_filter(FilterKind::highpass, tone.cutoff, 0.8, rate);
    Biquad hp2 = make_filter(FilterKind::highpass, tone.cutoff, 0.8, rate);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = double(i) / rate;
        const double env = std::exp(-t / decay);
        x[i] = hp2.run(hp.run(0.6 * metal(t, tone.pitch) + tone.noise * noise.next())) * env;
    }
    if (tone.drive > 0.0) saturate(x, tone.drive);
    fade_in(x, 4);
    fade_out(x, std::min<std::size_t>(x.size() / 4, 400));
    return x;
}

XmInstrument closed_hat(Noise& noise, const HatTone& tone = {})
{
    const double rate = 44100;
    const double seconds = std::max(0.07, 4.5 * tone.closed_decay);
    return instrument("closed hat", unpitched(hat_signal(noise, seconds, tone.closed_decay, rate, tone), rate, 40, 150));
}

XmInstrument open_hat(Noise& noise, const HatTone& tone = {})
{
    const double rate = 44100;
    return instrument("open hat", unpitched(hat_signal(noise, 0.3, 0.1, rate, tone), rate, 36, 150));
}

// A bright attack, then a looped wash that the volume envelope lets ring and die;
// `cutoff` and `body_hz` set how bright the wash is.
XmInstrument crash(Noise& noise, double cutoff = 3800, double body_hz = 5200)
{
    const double rate = 32000;
    const int attack = frames_for(0.3, rate);
    const int loop = frames_for(0.45, rate);
    Signal x(std::size_t(attack + loop));
    Biquad hp = make_filter(FilterKind::highpass, cutoff, 0.7, rate);
    Biquad body = make_filter(FilterKind::bandpass, body_hz, 0.6, rate);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = double(i) / rate;
        const double level = 0.55 + 0.45 * std::exp(-t / 0.06);
        const double n = noise.next();
        x[i] = level * (hp.run(0.7 * n + 0.5 * metal(t * 0.83)) + 0.4 * body.run(n));
    }
    crossfade_loop(x, attack, loop, frames_for(0.05, rate));
    fade_in(x, 6);
    XmSample s = unpitched(x, rate, 44, 110);
    set_loop(s, attack, loop);
    return instrument("crash", std::move(s),
                      envelope({{0, 64}, {12, 46}, {40, 28}, {90, 14}, {150, 5}, {200, 0}}), 300);
}

// Band-passed noise on a loop: slid up in pitch it becomes a riser.
XmInstrument sweep(Noise& noise, double band_hz = 900)
{
    const double rate = 22050;
    const int loop = frames_for(0.5, rate);
    const int lead_in = frames_for(0.05, rate);
    Signal x(std::size_t(lead_in + loop));
    Biquad bp = make_filter(FilterKind::bandpass, band_hz, 0.5, rate);
    for (double& v : x) v = bp.run(noise.next());
    crossfade_loop(x, lead_in, loop, lead_in);
    fade_in(x, 64);
    XmSample s = unpitched(x, rate, 40);
    set_loop(s, lead_in, loop);
    return instrument("sweep", std::move(s), envelope({{0, 64}, {4, 64}}, 1), 800);
}

// A low hit: a sine falling onto a looped tone over a burst of low-passed noise, driven; the
// envelope lets it die. The defaults are song 1's boom: it settles on 41 Hz and dies in about
// three seconds.
struct BoomTone {
    const char* name = "boom";
    double low_hz = 41.0, attack = 0.3;
    double drop_hz = 110, drop_time = 0.05;
    double noise_lowpass = 1800, noise_decay = 0.06;
    double body_drive = 1.8, noise_drive = 1.2;
    XmEnvelope volume = envelope({{0, 64}, {20, 46}, {60, 26}, {110, 12}, {160, 4}, {190, 0}});
};

XmInstrument boom(Noise& noise, const BoomTone& b = {})
{
    const double rate = 22050;
    const int attack = frames_for(b.attack, rate);
    const int loop = loop_frames(rate, b.low_hz, 4);
    const double settled = loop_tone(rate, loop, 4);
    Signal x(std::size_t(attack + loop));
    Biquad lp = make_filter(FilterKind::lowpass, b.noise_lowpass, 0.7, rate);
    double phase = 0.0;
    for (int i = 0; i < attack + loop; ++i) {
        const double t = double(i) / rate;
        if (i < attack) {
            const double hz = settled + b.drop_hz * std::exp(-t / b.drop_time);
            phase += 2 * pi * hz / rate;
            const double grit = lp.run(noise.next()) * std::exp(-t / b.noise_decay);
            x[std::size_t(i)] = std::tanh(b.body_drive * std::sin(phase) + b.noise_drive * grit);
        } else {
            // phase continues at the loop's own tone: whole cycles per loop
            const double p = phase + 2 * pi * settled * double(i - attack + 1) / rate;
            x[std::size_t(i)] = std::tanh(b.body_drive * std::sin(p));
        }
    }
    fade_in(x, 16);
    XmSample s = unpitched(x, rate, 64, 128, 0.75);
    set_loop(s, attack, loop);
    return instrument(b.name, std::move(s), b.volume, 400);
}

// ---- song 1's pitched voices ---------------------------------------------------------

// Song 1's colour: the upper partials a little dull, a gentle bass, its own noise.
struct SynthFlavour {
    double brightness = 1.0;  // scales the upper partials of the pitched voices
    double bass_drive = 1.0;  // saturation of the bass, 1 = gentle
    std::uint32_t seed = 1;   // the noise generator's start
};

// A pitched sample: `x` holds a tone of `tone_hz` at `rate`; it sounds right on `note`.
// A loop length of 0 plays it once.
XmSample pitched(const Signal& x, double rate, double tone_hz, int note, std::uint8_t volume, int loop_start,
                 int loop_length, std::uint8_t panning = 128, double peak = 0.97)
{
    XmSample s;
    s.frames = to_pcm(x, peak);
    s.volume = volume;
    s.panning = panning;
    tune_sample(s, rate, tone_hz, note);
    if (loop_length > 0) set_loop(s, loop_start, loop_length);
    return s;
}

// Saw plus sub-octave square, bright at the attack, closing to a round tone.
XmInstrument bass(const SynthFlavour& f)
{
    const double rate = 22050;
    const int base = 25;  // C-2
    const double cycles = 2;
    const auto [loop, tone] = cycle_loop(rate, base, cycles);
    const int attack = frames_for(0.28, rate);
    std::vector<Partial> parts;
    add_wave(parts, cycles, loop, rate, 1.0, false, 3.0 * f.brightness, 24.0 * f.brightness, 3200, 0.0);
    add_wave(parts, cycles / 2, loop, rate, 0.6, true, 2.0, 6.0, 1200, 0.0);
    Signal x = additive(attack, loop, parts, 2.0);
    saturate(x, 1.2 * f.bass_drive);
    fade_in(x, 24);
    return instrument("bass", pitched(x, rate, tone, base, 56, attack, loop, 128, 0.85),
                      envelope({{0, 64}, {6, 54}, {30, 44}}, 2), 1600);
}

// Three saws detuned by one cycle in 128, over a soft sub-octave: a chorused
// string pad that swells in and releases slowly.
XmInstrument pad(const SynthFlavour& f)
{
    const double rate = 32000;
    const int base = 49;  // C-4
    const double cycles = 128;
    const auto [loop, tone] = cycle_loop(rate, base, cycles);
    std::vector<Partial> parts;
    add_wave(parts, cycles - 1, loop, rate, 0.65, false, 7.0 * f.brightness, 7.0 * f.brightness, 7000, 0.3);
    add_wave(parts, cycles, loop, rate, 1.0, false, 7.0 * f.brightness, 7.0 * f.brightness, 7000, 1.7);
    add_wave(parts, cycles + 1, loop, rate, 0.65, false, 7.0 * f.brightness, 7.0 * f.brightness, 7000, 2.9);
    add_wave(parts, cycles / 2, loop, rate, 0.5, false, 2.0, 2.0, 2000, 0.9);
    Signal x = additive(0, loop, parts, 1.0);
    return instrument("pad", pitched(x, rate, tone, base, 40, 0, loop),
                      envelope({{0, 0}, {24, 56}, {48, 64}, {140, 52}}, 3), 420);
}

// Two saws a few cents apart with a square under them: a lead for melodies.
XmInstrument lead(const SynthFlavour& f)
{
    const double rate = 32000;
    const int base = 61;  // C-5
    const double cycles = 200;
    const auto [loop, tone] = cycle_loop(rate, base, cycles);
    const int attack = frames_for(0.08, rate);
    std::vector<Partial> parts;
    add_wave(parts, cycles, loop, rate, 0.8, false, 6.0 * f.brightness, 14.0, 9000, 0.0);
    add_wave(parts, cycles + 1, loop, rate, 0.55, false, 6.0 * f.brightness, 14.0, 9000, 1.1);
    add_wave(parts, cycles, loop, rate, 0.35, true, 3.0, 6.0, 6000, 0.0);
    Signal x = additive(attack, loop, parts, 1.5);
    fade_in(x, 24);
    return instrument("lead", pitched(x, rate, tone, base, 44, attack, loop),
                      envelope({{0, 64}, {8, 52}, {40, 46}}, 2), 900);
}

// A square that closes fast to a near-sine: plucked, for arpeggios.
XmInstrument pluck(const SynthFlavour& f)
{
    const double rate = 32000;
    const int base = 61;  // C-5
    const double cycles = 4;
    const auto [loop, tone] = cycle_loop(rate, base, cycles);
    const int attack = frames_for(0.16, rate);
    std::vector<Partial> parts;
    add_wave(parts, cycles, loop, rate, 1.0, true, 1.6, 18.0 * f.brightness, 10000, 0.0);
    add_wave(parts, cycles * 2, loop, rate, 0.25, false, 1.0, 6.0, 6000, 0.4);
    Signal x = additive(attack, loop, parts, 3.0);
    fade_in(x, 12);
    return instrument("pluck", pitched(x, rate, tone, base, 40, attack, loop, 96),
                      envelope({{0, 64}, {5, 40}, {14, 20}, {30, 8}, {50, 0}}), 1200);
}

// Frequency modulation at an unrelated ratio, the index falling after the strike.
XmInstrument bell(const SynthFlavour& f)
{
    const double rate = 22050;
    const int base = 61;  // C-5
    const double cycles = 40;
    const auto [loop, tone] = cycle_loop(rate, base, cycles);
    const int attack = frames_for(0.5, rate);
    const double carrier = 2 * pi * cycles / loop;
    const double modulator = 2 * pi * cycles * 3.5 / loop;  // 140 whole cycles per loop
    Signal x(std::size_t(attack + loop));
    for (int i = 0; i < attack + loop; ++i) {
        const double w = i < attack ? std::pow(1.0 - double(i) / attack, 2.0) : 0.0;
        const double index = 0.6 + 2.6 * w * f.brightness;
        const int k = i % loop;
        x[std::size_t(i)] = std::sin(carrier * k + index * std::sin(modulator * k)) +
                            0.25 * w * std::sin(2 * carrier * k);
    }
    fade_in(x, 8);
    return instrument("bell", pitched(x, rate, tone, base, 40, attack, loop, 170),
                      envelope({{0, 64}, {8, 44}, {30, 26}, {70, 12}, {120, 4}, {170, 0}}), 500);
}

// ---- song 2's own voices -----------------------------------------------------------------

// Two-operator FM at ratio 1 over a sine an octave down: a growl at the attack that settles to a
// round, rubbery tone.
XmInstrument fm_bass()
{
    const double rate = 22050;
    const int base = 25;  // C-2
    const auto [loop, tone] = cycle_loop(rate, base, 2);  // the sub-octave makes one cycle per loop
    const int attack = frames_for(0.3, rate);
    const double w = 2.0 * pi * 2.0 / loop;
    Signal x(std::size_t(attack + loop));
    for (int i = 0; i < attack + loop; ++i) {
        const double fall = i < attack ? std::pow(1.0 - double(i) / attack, 3.0) : 0.0;
        const double index = 1.3 + 3.2 * fall;
        x[std::size_t(i)] = std::sin(w * i + index * std::sin(w * i)) + 0.55 * std::sin(0.5 * w * i);
    }
    saturate(x, 1.4);
    fade_in(x, 16);
    return instrument("fm bass", pitched(x, rate, tone, base, 56, attack, loop, 128, 0.74),
                      envelope({{0, 64}, {5, 56}, {24, 46}}, 2), 2000);
}

// How loud a sung "ah" is at `hz`: its formants as bumps on a log-frequency axis.
double vowel_gain(double hz)
{
    auto bump = [hz](double centre, double octaves) {
        const double d = std::log2(hz / centre) / octaves;
        return std::exp(-0.5 * d * d);
    };
    return 0.12 + 0.6 * bump(700, 0.25) + 0.45 * bump(1150, 0.2) + 0.5 * bump(2600, 0.15) + 0.35 * bump(3300, 0.12);
}

// Gives the partials [first, end) of one harmonic series (in order) Schroeder's phases for
// their power spectrum: the waveform then spreads its energy evenly over the cycle instead of
// piling it into peaks, so the voice is louder for the same peak. `sign` -1 gives the mirrored
// set, which never lines up with the first.
void spread_phases(std::vector<Partial>& parts, std::size_t first, double sign)
{
    double total = 0.0;
    for (std::size_t i = first; i < parts.size(); ++i) total += parts[i].amp * parts[i].amp;
    for (std::size_t n = first; n < parts.size(); ++n) {
        double phase = 0.0;
        for (std::size_t l = first; l < n; ++l) phase -= 2.0 * pi * double(n - l) * parts[l].amp * parts[l].amp / total;
        parts[n].phase = sign * phase;
        if (parts[n].amp < 0.0) parts[n].amp = -parts[n].amp, parts[n].start_amp = -parts[n].start_amp;
    }
}

// Three voices a cycle apart in 128, their harmonics shaped by the formants of a sung vowel,
// and a faint octave: a choir pad, softer on top than song 1's strings.
XmInstrument choir_pad()
{
    const double rate = 32000;
    const int base = 49;  // C-4
    const double cycles = 128;
    const auto [loop, tone] = cycle_loop(rate, base, cycles);
    std::vector<Partial> parts;
    const struct { double cycles, level, sign; } voices[] = {{cycles - 1, 0.7, 1}, {cycles, 1.0, -1}, {cycles + 1, 0.7, 1}};
    for (const auto& v : voices) {
        const std::size_t first = parts.size();
        const double f0 = rate * v.cycles / loop;
        for (int h = 1; h * f0 < 6000; ++h) {
            const double a = v.level * vowel_gain(h * f0) / std::pow(double(h), 0.7);
            parts.push_back({v.cycles * h, a, a, 0.0});
        }
        spread_phases(parts, first, v.sign);
        for (std::size_t i = first; i < parts.size(); ++i) parts[i].phase += 0.9 * double(i - first + 1) * v.cycles;
    }
    for (int h = 1; h <= 3; ++h) parts.push_back({(2 * cycles + 1) * h, 0.12 / h, 0.12 / h, 1.3 * h});
    Signal x = additive(0, loop, parts, 1.0);
    saturate(x, 1.6);
    return instrument("choir pad", pitched(x, rate, tone, base, 40, 0, loop),
                      envelope({{0, 0}, {30, 50}, {60, 64}, {160, 56}}, 3), 640);
}

// The partials of a band-limited pulse `width` of a cycle wide (as add_wave).
void add_pulse(std::vector<Partial>& out, double cycles, int loop, double rate, double level, double width,
               double rolloff, double start_rolloff, double max_hz)
{
    const double f0 = rate * cycles / loop;
    for (int h = 1; h * f0 < max_hz; ++h) {
        const double base = level * 2.0 * std::sin(pi * h * width) / (pi * h);
        const double steady = base / (1.0 + (h / rolloff) * (h / rolloff));
        const double start = base / (1.0 + (h / start_rolloff) * (h / start_rolloff));
        out.push_back({cycles * h, steady, start, 0.0});
    }
}

// Two pulses of different widths a cycle apart: their beat sweeps the tone like pulse-width
// modulation. Brighter at the attack, a little driven.
XmInstrument pulse_lead()
{
    const double rate = 32000;
    const int base = 61;  // C-5
    const double cycles = 200;
    const auto [loop, tone] = cycle_loop(rate, base, cycles);
    const int attack = frames_for(0.06, rate);
    std::vector<Partial> parts;
    add_pulse(parts, cycles, loop, rate, 1.0, 0.30, 13.0, 24.0, 10000);
    spread_phases(parts, 0, 1);
    const std::size_t second = parts.size();
    add_pulse(parts, cycles + 1, loop, rate, 0.8, 0.18, 13.0, 24.0, 10000);
    spread_phases(parts, second, -1);
    Signal x = additive(attack, loop, parts, 1.5);
    saturate(x, 1.4);
    fade_in(x, 24);
    return instrument("pulse lead", pitched(x, rate, tone, base, 44, attack, loop),
                      envelope({{0, 64}, {6, 56}, {30, 50}}, 2), 1100);
}

// A plucked string: a burst of noise circulating in a delay line whose two-frame blend (three
// parts of the frame a period back, one of the frame before it) dulls it a little on every
// pass and delays it a quarter frame. It dies by itself; the envelope only shortens it on a
// key-off.
XmInstrument string_pluck(Noise& noise)
{
    const double rate = 22050;
    const int base = 61;  // C-5
    const int period = int(rate / note_hz(base));
    const double blend = 0.25;
    const double tone = rate / (period + blend);
    const double loss = std::pow(0.001, 1.0 / (tone * 1.0));  // -60 dB after a second
    Signal x(std::size_t(frames_for(1.1, rate)));
    double soft = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        double excite = 0.0;
        if (i < std::size_t(period)) excite = soft += 0.7 * (noise.next() - soft);
        const double a = i >= std::size_t(period) ? x[i - std::size_t(period)] : 0.0;
        const double b = i > std::size_t(period) ? x[i - std::size_t(period) - 1] : 0.0;
        x[i] = excite + loss * ((1.0 - blend) * a + blend * b);
    }
    fade_in(x, 8);
    fade_out(x, 800);
    return instrument("string", pitched(x, rate, tone, base, 48, 0, 0, 96),
                      envelope({{0, 64}, {2, 64}}, 1), 1500);
}

// A struck bar: partials at a tuned bar's ratios, the upper ones dying first, over a short
// mallet knock. Played once.
XmInstrument mallet(Noise& noise)
{
    const double rate = 22050;
    const int base = 61;  // C-5
    const double f = note_hz(base);
    const struct { double ratio, amp, decay; } modes[] = {
        {1.0, 1.0, 0.75}, {2.0, 0.08, 0.4}, {3.99, 0.35, 0.16}, {10.6, 0.12, 0.045}};
    Signal x(std::size_t(frames_for(1.3, rate)));
    Biquad knock = make_filter(FilterKind::bandpass, 2500, 1.0, rate);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = double(i) / rate;
        double v = 0.3 * knock.run(noise.next()) * std::exp(-t / 0.004);
        for (const auto& m : modes) v += m.amp * std::sin(2 * pi * f * m.ratio * t) * std::exp(-t / m.decay);
        x[i] = v;
    }
    fade_in(x, 16);
    fade_out(x, 800);
    return instrument("mallet", pitched(x, rate, f, base, 44, 0, 0, 170),
                      envelope({{0, 64}, {2, 64}}, 1), 1200);
}

}  // namespace

double note_hz(int note) { return 261.6255653005986 * std::pow(2.0, (note - 49) / 12.0); }

void tune_sample(XmSample& sample, double rate, double tone_hz, int note)
{
    // rate on note n = 8363 * 2^((n - 49 + relnote + finetune/128) / 12)
    const double needed = rate * note_hz(note) / tone_hz;
    const double t = 12.0 * std::log2(needed / 8363.0) - double(note - 49);
    int relnote = int(std::floor(t));
    int finetune = 8 * int(std::lround(16.0 * (t - relnote)));
    if (finetune >= 128) {
        ++relnote;
        finetune -= 128;
    }
    if (relnote < -96 || relnote > 95) forge_fail("a sample's pitch is out of the XM range");
    sample.relative_note = std::int8_t(relnote);
    sample.finetune = std::int8_t(finetune);
}

double playback_rate(const XmSample& sample, int note)
{
    const int fine = int(std::floor(sample.finetune / 8.0));
    return 8363.0 * std::pow(2.0, (note - 49 + sample.relative_note + fine / 16.0) / 12.0);
}

std::vector<XmInstrument> song1_instruments()
{
    const SynthFlavour flavour{0.8, 1.0, 1};
    Noise noise{flavour.seed * 2654435761u + 0x9E3779B9u};
    std::vector<XmInstrument> set;
    set.push_back(kick(noise));
    set.push_back(snare(noise));
    set.push_back(clap(noise));
    set.push_back(closed_hat(noise));
    set.push_back(open_hat(noise));
    set.push_back(crash(noise));
    set.push_back(sweep(noise));
    set.push_back(boom(noise));
    set.push_back(bass(flavour));
    set.push_back(pad(flavour));
    set.push_back(lead(flavour));
    set.push_back(pluck(flavour));
    set.push_back(bell(flavour));
    return set;
}

std::vector<XmInstrument> song2_instruments()
{
    Noise noise{2 * 2654435761u + 0x9E3779B9u};
    const HatTone bright{5200, 1.6, 0.7, 0.026, 3.0};  // higher metal, more air, longer and denser
    std::vector<XmInstrument> set;
    // a short electro kick: a fast fall from about 570 Hz to a 52 Hz body, and a bright tick
    KickTone tight;
    tight.seconds = 0.32, tight.body_hz = 52, tight.drop_hz = 140, tight.drop_time = 0.018, tight.click_hz = 380;
    tight.click_time = 0.0025, tight.body_decay = 0.13, tight.onset = 0.001, tight.onset_floor = 0.3;
    tight.tick_filter = FilterKind::highpass, tight.tick_hz = 4500, tight.tick_q = 0.7, tight.tick_decay = 0.0015;
    tight.body_drive = 2.0, tight.tick_drive = 0.6, tight.fade_in = 6, tight.fade_out = 500, tight.peak = 0.72;
    set.push_back(kick(noise, tight));
    // a snappy snare: higher, shorter tones under brighter noise
    SnareTone snap;
    snap.seconds = 0.26, snap.low_hz = 205, snap.low_amp = 0.5, snap.low_decay = 0.035, snap.high_hz = 360;
    snap.high_amp = 0.25, snap.high_decay = 0.02, snap.highpass = 1800, snap.lowpass = 12000, snap.wide = 0.7;
    snap.band_hz = 5200, snap.band = 0.6, snap.hiss_decay = 0.07, snap.drive = 1.5, snap.fade_in = 12, snap.panning = 116;
    set.push_back(snare(noise, snap));
    set.push_back(clap(noise));
    set.push_back(closed_hat(noise, bright));
    set.push_back(open_hat(noise, bright));
    set.push_back(crash(noise, 3000, 6800));
    set.push_back(sweep(noise, 1800));
    // a sub drop for impacts: a thump falling from 235 Hz to a clean 55 Hz sine (A-1 on C-4, so
    // it is played a few semitones down), dying more slowly
    BoomTone sub;
    sub.name = "sub drop", sub.low_hz = 55.0, sub.attack = 0.25, sub.drop_hz = 180, sub.drop_time = 0.07;
    sub.noise_lowpass = 600, sub.noise_decay = 0.02, sub.body_drive = 1.2, sub.noise_drive = 0.96;
    sub.volume = envelope({{0, 64}, {25, 50}, {70, 30}, {130, 14}, {190, 5}, {240, 0}});
    set.push_back(boom(noise, sub));
    set.push_back(fm_bass());
    set.push_back(choir_pad());
    set.push_back(pulse_lead());
    set.push_back(string_pluck(noise));
    set.push_back(mallet(noise));
    return set;
}
