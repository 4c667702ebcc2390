// songs.cpp -- writes the two songs: for now the structural click track, which
// carries every order's length and speed and marks each row 0 and each cue row.
#include "composer.h"
#include "forge.h"
#include "song_structure.h"
#include "xm.h"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace {

constexpr int sample_rate = 44100;
constexpr int click_instrument = 1;   // every row 0, panned left
constexpr int accent_instrument = 2;  // every cue row, panned right
constexpr int click_channel = 0;
constexpr int accent_channel = 1;
constexpr std::uint8_t note_c4 = 49;
constexpr std::uint8_t effect_speed = 15;  // Fxx below 32 sets the speed

// A fixed pseudo-random sequence, so the noise is the same on every forge run.
std::uint32_t noise_state = 0x2545F491u;
double next_noise()
{
    noise_state = noise_state * 1664525u + 1013904223u;
    return double(noise_state >> 8) / double(1u << 23) - 1.0;
}

// A sample synthesised at 44,100 Hz plays at its own pitch on C-4 with these
// (relative note 28, finetune 104: 44,172 Hz, 3 cents sharp).
XmSample sample_at_44k(const char* name, std::uint8_t panning)
{
    XmSample s;
    s.name = name;
    s.relative_note = 28;
    s.finetune = 104;
    s.panning = panning;
    return s;
}

// 12 ms of bright noise with a fast decay: a tick that marks the order's start.
XmSample click_sample()
{
    XmSample s = sample_at_44k("click", 0);
    const int frames = sample_rate * 12 / 1000;
    for (int i = 0; i < frames; ++i) {
        const double envelope = std::exp(-double(i) / (sample_rate * 0.002));
        s.frames.push_back(std::int16_t(std::lround(24000.0 * envelope * next_noise())));
    }
    return s;
}

// 60 ms of a falling 1.6 kHz to 400 Hz tone over a noise attack: a clear accent,
// unlike the click in pitch, length and side.
XmSample accent_sample()
{
    XmSample s = sample_at_44k("accent", 255);
    const int frames = sample_rate * 60 / 1000;
    double phase = 0.0;
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / sample_rate;
        const double frequency = 400.0 + 1200.0 * std::exp(-t / 0.01);
        phase += 2.0 * std::numbers::pi * frequency / sample_rate;
        const double body = std::sin(phase) * std::exp(-t / 0.018);
        const double attack = next_noise() * std::exp(-t / 0.002);
        s.frames.push_back(std::int16_t(std::lround(30000.0 * (0.8 * body + 0.2 * attack))));
    }
    return s;
}

XmInstrument instrument(const char* name, XmSample sample)
{
    XmInstrument ins;
    ins.name = name;
    ins.samples.push_back(std::move(sample));
    return ins;
}

XmPattern order_pattern(const SongStructure& song, int order, int channels)
{
    const SongOrder& o = song.orders[order];
    XmPattern p(o.rows, channels);
    XmCell& first = p.at(0, click_channel);
    first.note = note_c4;
    first.instrument = click_instrument;
    if (const int speed = speed_to_set(song, order)) {
        first.effect = effect_speed;
        first.param = std::uint8_t(speed);
    }
    for (int row : o.cues) {
        if (row < 0 || row >= o.rows) forge_fail(std::string(song.path) + ": a cue row beyond its order");
        XmCell& accent = p.at(row, accent_channel);
        accent.note = note_c4;
        accent.instrument = accent_instrument;
    }
    return p;
}

}  // namespace

XmModule click_track_module(const SongStructure& song)
{
    noise_state = 0x2545F491u;  // the same bytes for the same song, however often built
    XmModule m;
    m.name = song.name;
    m.channels = 8;
    m.default_speed = song_default_speed;
    m.default_bpm = song.bpm;
    m.instruments.push_back(instrument("click", click_sample()));
    m.instruments.push_back(instrument("accent", accent_sample()));
    for (int order = 0; order < int(song.orders.size()); ++order) {
        m.orders.push_back(std::uint8_t(order));
        m.patterns.push_back(order_pattern(song, order, m.channels));
    }
    return m;
}

void write_songs(const std::string& root)
{
    for (int song = 1; song <= 2; ++song) {
        const SongStructure& s = song_structure(song);
        write_xm(forge_output(root, s.path), song == 1 ? compose_song1() : compose_song2());
    }
}
