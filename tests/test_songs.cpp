// test_songs.cpp -- the composed songs: their structure, their instruments, and how they sound rendered with
// libopenmpt (level, silence, accents on the cues).
#include "tools/forge/composer.h"
#include "tools/forge/song_structure.h"
#include "tools/forge/synth.h"
#include "tools/forge/xm.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cmath>
#include <complex>
#include <map>
#include <numeric>
#include <set>
#include <sstream>

namespace {

constexpr int rate = 44100;
constexpr int tick_frames = 735;  // one tick at BPM 150

XmModule song(int n) { return n == 1 ? compose_song1() : compose_song2(); }

// A song rendered from `first_order` on, per frame, and the frame on which each (order, row) starts.
struct Rendering {
    std::vector<float> mono;
    std::vector<float> power;   // (left² + right²) / 2
    std::vector<float> bright;  // power of mono above about 2 kHz, where attacks show
    std::map<std::pair<int, int>, long> row_start;
    float peak = 0.0f;
};

Rendering render(const XmModule& m, int first_order)
{
    std::ostringstream log;
    openmpt::module mod(encode_xm(m), log, {{"play.at_end", "stop"}});
    mod.set_position_order_row(first_order, 0);
    Rendering r;
    std::vector<float> block(2 * tick_frames);
    for (std::size_t n = tick_frames; n == tick_frames;) {
        n = mod.read_interleaved_stereo(rate, tick_frames, block.data());
        if (n == tick_frames) r.row_start.emplace(std::pair{mod.get_current_order(), mod.get_current_row()}, long(r.mono.size()));
        for (std::size_t i = 0; i < 2 * n; i += 2) {
            r.peak = std::max({r.peak, std::fabs(block[i]), std::fabs(block[i + 1])});
            r.mono.push_back(0.5f * (block[i] + block[i + 1]));
            r.power.push_back(0.5f * (block[i] * block[i] + block[i + 1] * block[i + 1]));
        }
    }
    const double a = std::exp(-2.0 * M_PI * 2000.0 / rate);  // two one-pole high-passes at 2 kHz
    r.bright = r.mono;
    for (int pass = 0; pass < 2; ++pass)
        for (double y = 0.0, last = 0.0; float& v : r.bright) y = a * (y + v - last), last = v, v = float(y);
    for (float& v : r.bright) v *= v;
    return r;
}

const Rendering& rendering(int n)
{
    static const Rendering songs[] = {render(song(1), song_structure(1).first_order),
                                      render(song(2), song_structure(2).first_order)};
    return songs[n - 1];
}

// Mean of x over frames [from, to), clipped to the rendering.
double mean(const std::vector<float>& x, long from, long to)
{
    from = std::max(from, 0L), to = std::min(to, long(x.size()));
    return to > from ? std::accumulate(x.begin() + from, x.begin() + to, 0.0) / double(to - from) : 0.0;
}

double db(double mean_sq) { return 10.0 * std::log10(std::max(mean_sq, 1e-20)); }
long frames_ms(double ms) { return long(ms * rate / 1000.0); }

// The distinct notes on channels first .. first + count - 1 (of `instrument`, 0: any), sorted, per row that has any.
std::vector<std::vector<int>> notes_by_row(const XmPattern& p, int first, int count, int instrument = 0)
{
    std::vector<std::vector<int>> rows;
    for (int row = 0; row < p.rows; ++row) {
        std::set<int> notes;
        for (int ch = first; ch < first + count; ++ch)
            if (const XmCell& c = p.at(row, ch); c.note && c.note <= 96 && (!instrument || c.instrument == instrument))
                notes.insert(c.note);
        if (!notes.empty()) rows.emplace_back(notes.begin(), notes.end());
    }
    return rows;
}

}  // namespace

TEST(Composer, VocabularyWritesWhatItSays)
{
    EXPECT_EQ(chord("Bbmaj7").root, 10);
    EXPECT_EQ(chord("Bbmaj7").intervals, (std::vector<int>{0, 4, 7, 11}));
    EXPECT_EQ(chord("C#m").root, 1);
    EXPECT_EQ(chord_at(progression("Am:16 F:8"), 20).root, 5);
    EXPECT_EQ(chord_at(progression("Am:16 F:8"), 24).root, 9);  // it repeats
    const Scale d = minor_scale(51);  // D-4; degree 3 is F, 8 the octave, 0 the C below, -6 an octave below
    for (const auto& [degree, note] : {std::pair{3, 54}, std::pair{8, 63}, std::pair{0, 49}, std::pair{-6, 39}})
        EXPECT_EQ(scale_note(d, degree), note) << "degree " << degree;
    std::vector<Bar> bars;
    for (int order = 0; order <= 10; ++order) start_bar(bars, song_structure(1));
    Bar& bar = bars.back();
    ASSERT_EQ(bar.speed, 4);  // order 10: the riser below depends on it
    drums(bar, ch_kick, "X.o.", ins_kick, 40, 8, 16);
    melody(bar, ch_lead, ins_lead, d, "5 . 3b - ~", 20, 30);
    echo(bar, ch_lead, ch_echo, 3, 0.5);
    // a riser over 8 rows at speed 4 slides 24 semitones: 16 * 24 / (3 * 8) = 16 per tick
    riser(bar, 48, 56, 24, 10, 40);
    // The accent at 64 and the ghost at half of 40, the grid repeating up to row 16; the melody's A, E flat,
    // key-off and vibrato, and its echo three rows later; the riser's slide and its cut.
    const struct { int row, channel; std::uint8_t XmCell::*field; int value; } written[] = {
        {8, ch_kick, &XmCell::volume, 0x10 + 64}, {10, ch_kick, &XmCell::volume, 0x10 + 20}, {12, ch_kick, &XmCell::note, 49},
        {16, ch_kick, &XmCell::note, 0},          {20, ch_lead, &XmCell::note, 58},          {22, ch_lead, &XmCell::note, 53},
        {23, ch_lead, &XmCell::note, note_off},   {24, ch_lead, &XmCell::effect, effect_vibrato},
        {23, ch_echo, &XmCell::note, 58},         {26, ch_echo, &XmCell::note, note_off},   {50, ch_fx, &XmCell::effect, effect_portamento_up},
        {50, ch_fx, &XmCell::param, 16},          {56, ch_fx, &XmCell::volume, 0x10}};
    for (const auto& w : written) EXPECT_EQ(bar.pattern.at(w.row, w.channel).*w.field, w.value) << "row " << w.row << ", channel " << w.channel;
    // chords alternate between the pad's banks, releasing the other one
    pad_chord(bar, 32, chord("Dm"), 54, 30);
    pad_chord(bar, 40, chord("F"), 54, 30);
    EXPECT_EQ(notes_by_row(bar.pattern, ch_pad, 3), (std::vector<std::vector<int>>{{51, 54, 58}}));     // D F A around F-4
    EXPECT_EQ(notes_by_row(bar.pattern, ch_pad + 3, 3), (std::vector<std::vector<int>>{{49, 54, 58}}));  // C F A
    for (int v = 0; v < 3; ++v) EXPECT_EQ(bar.pattern.at(40, ch_pad + v).note, note_off);
}

// Orders, rows and speeds as the timeline has them; no jumps, breaks, pattern loops or delays; the speed effect
// only on row 0 and only where the speed changes; the same bytes on every run. And variety: no order playing
// what the one before it did, several progressions, and a melody (lead or bell line) that comes back in a later,
// non-adjacent order, as the same steps from its first note in any octave.
TEST(Songs, KeepTheTimelinesOrdersRowsAndSpeedsAndVary)
{
    auto played = [](const XmPattern& p) {
        std::vector<std::pair<int, int>> notes;
        for (const XmCell& c : p.cells) notes.emplace_back(c.note, c.instrument);
        return notes;
    };
    for (int n = 1; n <= 2; ++n) {
        SCOPED_TRACE("song " + std::to_string(n));
        const SongStructure& s = song_structure(n);
        const XmModule m = song(n);
        EXPECT_TRUE(m.default_bpm == 150 && m.default_speed == 6);
        ASSERT_EQ(m.orders.size(), s.orders.size());
        std::set<std::vector<std::vector<int>>> progressions;
        std::map<std::vector<int>, int> first_heard;  // tune -> order
        bool returns = false;
        for (int order = 0; order < int(s.orders.size()); ++order) {
            const XmPattern& p = m.patterns[m.orders[std::size_t(order)]];
            EXPECT_EQ(p.rows, s.orders[std::size_t(order)].rows) << "order " << order;
            EXPECT_TRUE(order == 0 || played(p) != played(m.patterns[m.orders[order - 1u]])) << "order " << order;
            int speed_effects = 0;
            for (int row = 0; row < p.rows; ++row)
                for (int ch = 0; ch < p.channels; ++ch) {
                    const XmCell& c = p.at(row, ch);
                    const bool loop_or_delay = c.effect == 14 && ((c.param >> 4) == 6 || (c.param >> 4) == 14);
                    EXPECT_FALSE(c.effect == 11 || c.effect == 13 || loop_or_delay) << "at " << order << ":" << row;
                    if (c.effect != effect_speed) continue;
                    EXPECT_TRUE(row == 0 && c.param == speed_to_set(s, order)) << "at " << order << ":" << row;
                    ++speed_effects;
                }
            EXPECT_EQ(speed_effects > 0, speed_to_set(s, order) != 0) << "order " << order;
            if (p.rows == 64) progressions.insert(notes_by_row(p, ch_pad, 6, ins_pad));
            for (int ch : {ch_lead, ch_bell}) {
                const std::vector<std::vector<int>> rows = notes_by_row(p, ch, 1);
                if (rows.size() < 8) continue;
                std::vector<int> tune{rows[0][0] % 12};
                for (const std::vector<int>& row : rows) tune.push_back(row[0] - rows[0][0]);
                const auto [heard, fresh] = first_heard.emplace(tune, order);
                returns |= !fresh && order >= heard->second + 2;
            }
        }
        EXPECT_GE(progressions.size(), 4u);
        EXPECT_TRUE(returns);
        const std::vector<std::uint8_t> bytes = encode_xm(m);
        EXPECT_EQ(bytes, encode_xm(song(n)));
        EXPECT_LT(bytes.size(), 450u * 1024u);
    }
}

// Each instrument has sound, is played somewhere, and loops without a jump: the step from the loop's last frame
// back to its first is no larger than the largest step inside the loop. A looping voice needs an envelope so
// key-off can release it. Every pitched voice sounds A-4 at 440 Hz (within 0.5 %): the strongest frequency
// between 420 and 460 Hz of a second of the rendered note (Hann-windowed; long enough to tell the pad's chorus
// voices apart).
TEST(Songs, InstrumentsArePlayedLoopSeamlesslyAndPlayInTune)
{
    for (int n = 1; n <= 2; ++n) {
        SCOPED_TRACE("song " + std::to_string(n));
        const XmModule m = song(n);
        ASSERT_GE(m.instruments.size(), 8u);
        std::set<int> used;
        for (const XmPattern& p : m.patterns)
            for (const XmCell& c : p.cells) used.insert(c.instrument);
        for (std::size_t i = 0; i < m.instruments.size(); ++i) {
            const XmInstrument& ins = m.instruments[i];
            SCOPED_TRACE(ins.name);
            EXPECT_TRUE(used.count(int(i + 1)));
            ASSERT_EQ(ins.samples.size(), 1u);
            const XmSample& s = ins.samples[0];
            ASSERT_FALSE(s.frames.empty());
            EXPECT_GT(*std::max_element(s.frames.begin(), s.frames.end()), 20000);
            if (s.loop == XmLoop::none) continue;
            ASSERT_TRUE(s.loop_start >= 0 && s.loop_start + s.loop_length <= int(s.frames.size()));
            auto frame = [&](int f) { return int(s.frames[std::size_t(f)]); };
            const int first = s.loop_start, last = s.loop_start + s.loop_length - 1;
            int largest = 0;
            for (int f = first + 1; f <= last; ++f) largest = std::max(largest, std::abs(frame(f) - frame(f - 1)));
            EXPECT_LE(std::abs(frame(first) - frame(last)), largest);
            EXPECT_FALSE(ins.volume_envelope.points.empty());
        }
    }
    const XmModule full = song(1);
    for (int id : {ins_bass, ins_pad, ins_lead, ins_pluck, ins_bell}) {
        SCOPED_TRACE(full.instruments[std::size_t(id - 1)].name);
        XmModule m;
        m.channels = 2, m.orders = {0}, m.instruments = full.instruments;
        m.patterns.emplace_back(16, 2).at(0, 0) = XmCell{58, std::uint8_t(id), 0, 0, 0};
        const Rendering r = render(m, 0);
        const long from = frames_ms(300), length = frames_ms(1000);
        ASSERT_GT(long(r.mono.size()), from + length);
        double best_hz = 0.0, best = 0.0;
        for (double hz = 420.0; hz <= 460.0; hz += 0.25) {
            const std::complex<double> step = std::polar(1.0, 2.0 * M_PI * hz / rate);
            std::complex<double> sum = 0.0, phase = 1.0;
            for (long i = 0; i < length; ++i, phase *= step)
                sum += (0.5 - 0.5 * std::cos(2.0 * M_PI * double(i) / double(length))) * r.mono[std::size_t(from + i)] * phase;
            if (std::norm(sum) > best) best = std::norm(sum), best_hz = hz;
        }
        EXPECT_NEAR(best_hz, 440.0, 2.2);
    }
}

// Peak below -0.5 dBFS; the music (without song 1's last order, the hit dying out) between -18 and -12 dBFS, no
// order quieter than -26 dBFS, no silence (10 ms windows below -50 dBFS) longer than a second; song 1's last hit
// has died out by the song's end. On each cue row the sound rises: more energy above 2 kHz in the 20 ms after the
// row's start than in the 50 ms before it.
TEST(SongsRendered, LevelsAreSensibleAndEveryCueRowHasAnOnset)
{
    for (int n = 1; n <= 2; ++n) {
        SCOPED_TRACE("song " + std::to_string(n));
        const SongStructure& s = song_structure(n);
        const Rendering& r = rendering(n);
        EXPECT_LT(20.0 * std::log10(r.peak), -0.5);
        const int last = n == 1 ? int(s.orders.size()) - 1 : int(s.orders.size());
        auto start = [&](int order) { return order < int(s.orders.size()) ? r.row_start.at({order, 0}) : long(r.mono.size()); };
        const double loudness = db(mean(r.power, 0, start(last)));
        EXPECT_TRUE(loudness > -18.0 && loudness < -12.0) << loudness << " dBFS";
        for (int order = s.first_order; order < last; ++order)
            EXPECT_GT(db(mean(r.power, start(order), start(order + 1))), -26.0) << "order " << order;
        const long window = frames_ms(10);
        long quiet = 0, longest = 0;
        for (long f = 0; f + window <= start(last); f += window)
            longest = std::max(longest, quiet = db(mean(r.power, f, f + window)) < -50.0 ? quiet + window : 0);
        EXPECT_LT(longest, rate) << "silence of " << double(longest) / rate << " s";
        for (int order = s.first_order; order < int(s.orders.size()); ++order)
            for (int row : s.orders[std::size_t(order)].cues) {
                const long cue = r.row_start.at({order, row}), after = frames_ms(20), before = frames_ms(50);
                const double rise = db(mean(r.bright, cue, cue + after)) - db(mean(r.bright, cue - before, cue));
                EXPECT_GT(rise, 3.0) << "cue at order " << order << " row " << row;
            }
    }
    const Rendering& r = rendering(1);
    EXPECT_LT(db(mean(r.power, long(r.power.size()) - frames_ms(300), long(r.power.size()))), -60.0);
}
