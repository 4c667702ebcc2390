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

// ---- drums -----------------------------------------------------------------------------

XmInstrument kick(Noise& noise)
{
    const double rate = 32000;
    Signal x(std::size_t(frames_for(0.42, rate)));
    Biquad click = make_filter(FilterKind::bandpass, 3500, 0.9, rate);
    double phase = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = double(i) / rate;
        const double hz = 47.0 + 120.0 * std::exp(-t / 0.03) + 260.0 * std::exp(-t / 0.004);
        phase += 2.0 * pi * hz / rate;
        const double body = std::sin(phase) * std::exp(-t / 0.2) * std::min(1.0, t / 0.0015 + 0.2);
        const double tick = click.run(noise.next()) * std::exp(-t / 0.003);
        x[i] = std::tanh(1.6 * body + 0.8 * tick);
    }
    fade_in(x, 8);
    for (std::size_t i = x.size() - 600; i < x.size(); ++i) x[i] *= double(x.size() - i) / 600.0;
    // below full scale: the kick lands with the bass and the booms, low and in phase
    return instrument("kick", unpitched(x, rate, 64, 128, 0.78));
}

XmInstrument snare(Noise& noise)
{
    const double rate = 32000;
    Signal x(std::size_t(frames_for(0.3, rate)));
    Biquad hp = make_filter(FilterKind::highpass, 1100, 0.7, rate);
    Biquad lp = make_filter(FilterKind::lowpass, 9000, 0.7, rate);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = double(i) / rate;
        const double tone = 0.55 * std::sin(2 * pi * 188 * t) * std::exp(-t / 0.05) +
                            0.3 * std::sin(2 * pi * 332 * t) * std::exp(-t / 0.03);
        const double hiss = lp.run(hp.run(noise.next())) * std::exp(-t / 0.085);
        x[i] = std::tanh(1.3 * (tone + 0.9 * hiss));
    }
    fade_in(x, 16);
    return instrument("snare", unpitched(x, rate, 56, 120));
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
double metal(double t)
{
    static const double hz[6] = {317.0, 471.0, 543.0, 761.0, 849.0, 1113.0};
    double s = 0.0;
    for (double f : hz) s += std::sin(2 * pi * f * 1.9 * t) >= 0.0 ? 1.0 : -1.0;
    return s / 6.0;
}

Signal hat_signal(Noise& noise, double seconds, double decay, double rate)
{
    Signal x(std::size_t(frames_for(seconds, rate)));
    Biquad hp = make_filter(FilterKind::highpass, 7200, 0.8, rate);
    Biquad hp2 = make_filter(FilterKind::highpass, 7200, 0.8, rate);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = double(i) / rate;
        const double env = std::exp(-t / decay);
        x[i] = hp2.run(hp.run(0.6 * metal(t) + 0.5 * noise.next())) * env;
    }
    fade_in(x, 4);
    const std::size_t tail = std::min<std::size_t>(x.size() / 4, 400);
    for (std::size_t i = x.size() - tail; i < x.size(); ++i) x[i] *= double(x.size() - i) / double(tail);
    return x;
}

XmInstrument closed_hat(Noise& noise)
{
    const double rate = 44100;
    return instrument("closed hat", unpitched(hat_signal(noise, 0.07, 0.016, rate), rate, 40, 150));
}

XmInstrument open_hat(Noise& noise)
{
    const double rate = 44100;
    return instrument("open hat", unpitched(hat_signal(noise, 0.3, 0.1, rate), rate, 36, 150));
}

// A bright attack, then a looped wash that the volume envelope lets ring and die.
XmInstrument crash(Noise& noise)
{
    const double rate = 32000;
    const int attack = frames_for(0.3, rate);
    const int loop = frames_for(0.45, rate);
    Signal x(std::size_t(attack + loop));
    Biquad hp = make_filter(FilterKind::highpass, 3800, 0.7, rate);
    Biquad body = make_filter(FilterKind::bandpass, 5200, 0.6, rate);
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

// Low-passed noise on a loop: slid up in pitch it becomes a riser.
XmInstrument sweep(Noise& noise)
{
    const double rate = 22050;
    const int loop = frames_for(0.5, rate);
    const int lead_in = frames_for(0.05, rate);
    Signal x(std::size_t(lead_in + loop));
    Biquad bp = make_filter(FilterKind::bandpass, 900, 0.5, rate);
    for (double& v : x) v = bp.run(noise.next());
    crossfade_loop(x, lead_in, loop, lead_in);
    fade_in(x, 64);
    XmSample s = unpitched(x, rate, 40);
    set_loop(s, lead_in, loop);
    return instrument("sweep", std::move(s), envelope({{0, 64}, {4, 64}}, 1), 800);
}

// A falling sine over a noisy hit that settles on a looped 41 Hz tone; the
// envelope lets it die in about three seconds.
XmInstrument boom(Noise& noise)
{
    const double rate = 22050;
    const double low_hz = 41.0;
    const int attack = frames_for(0.3, rate);
    const int loop = loop_frames(rate, low_hz, 4);
    const double settled = loop_tone(rate, loop, 4);
    Signal x(std::size_t(attack + loop));
    Biquad lp = make_filter(FilterKind::lowpass, 1800, 0.7, rate);
    double phase = 0.0;
    for (int i = 0; i < attack + loop; ++i) {
        const double t = double(i) / rate;
        if (i < attack) {
            const double hz = settled + 110.0 * std::exp(-t / 0.05);
            phase += 2 * pi * hz / rate;
            const double grit = lp.run(noise.next()) * std::exp(-t / 0.06);
            x[std::size_t(i)] = std::tanh(1.8 * std::sin(phase) + 1.2 * grit);
        } else {
            // phase continues at the loop's own tone: whole cycles per loop
            const double p = phase + 2 * pi * settled * double(i - attack + 1) / rate;
            x[std::size_t(i)] = std::tanh(1.8 * std::sin(p));
        }
    }
    fade_in(x, 16);
    XmSample s = unpitched(x, rate, 64, 128, 0.75);
    set_loop(s, attack, loop);
    return instrument("boom", std::move(s),
                      envelope({{0, 64}, {20, 46}, {60, 26}, {110, 12}, {160, 4}, {190, 0}}), 400);
}

// ---- pitched voices ------------------------------------------------------------------

// A pitched sample: `x` holds a tone of `tone_hz` at `rate`; it sounds right on `note`.
XmSample pitched(const Signal& x, double rate, double tone_hz, int note, std::uint8_t volume, int loop_start,
                 int loop_length, std::uint8_t panning = 128, double peak = 0.97)
{
    XmSample s;
    s.frames = to_pcm(x, peak);
    s.volume = volume;
    s.panning = panning;
    tune_sample(s, rate, tone_hz, note);
    set_loop(s, loop_start, loop_length);
    return s;
}

// Saw plus sub-octave square, bright at the attack, closing to a round tone.
XmInstrument bass(const SynthFlavour& f)
{
    const double rate = 22050;
    const int base = 25;  // C-2
    const double cycles = 2;
    const int loop = loop_frames(rate, note_hz(base), cycles);
    const double tone = loop_tone(rate, loop, cycles);
    const int attack = frames_for(0.28, rate);
    std::vector<Partial> parts;
    add_wave(parts, cycles, loop, rate, 1.0, false, 3.0 * f.brightness, 24.0 * f.brightness, 3200, 0.0);
    add_wave(parts, cycles / 2, loop, rate, 0.6, true, 2.0, 6.0, 1200, 0.0);
    Signal x = additive(attack, loop, parts, 2.0);
    double m = 0.0;
    for (double v : x) m = std::max(m, std::fabs(v));
    for (double& v : x) v = std::tanh(1.2 * f.bass_drive * v / m);
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
    const int loop = loop_frames(rate, note_hz(base), cycles);
    const double tone = loop_tone(rate, loop, cycles);
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
    const int loop = loop_frames(rate, note_hz(base), cycles);
    const double tone = loop_tone(rate, loop, cycles);
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
    const int loop = loop_frames(rate, note_hz(base), cycles);
    const double tone = loop_tone(rate, loop, cycles);
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
    const int loop = loop_frames(rate, note_hz(base), cycles);
    const double tone = loop_tone(rate, loop, cycles);
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

std::vector<XmInstrument> synth_instruments(const SynthFlavour& flavour)
{
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
