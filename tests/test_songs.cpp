// test_songs.cpp -- the composed songs: their structure, their instruments, and
// how they sound rendered with libopenmpt (level, silence, accents on the cues).
#include "tools/forge/composer.h"
#include "tools/forge/song_structure.h"
#include "tools/forge/synth.h"
#include "tools/forge/xm.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

namespace {

constexpr int rate = 44100;
constexpr int tick_frames = 735;  // one tick at BPM 150

XmModule song(int n) { return n == 1 ? compose_song1() : compose_song2(); }

// A whole song rendered from its first heard order: mono frames and the frame
// on which each (order, row) starts.
struct Rendering {
    std::vector<float> mono;
    std::vector<float> power;   // (left² + right²) / 2 per frame
    std::vector<float> bright;  // mono above about 2 kHz, where attacks show
    std::map<std::pair<int, int>, long> row_start;
    float peak = 0.0f;
};

Rendering render(const XmModule& m, int first_order)
{
    const std::vector<std::uint8_t> bytes = encode_xm(m);
    std::ostringstream log;
    openmpt::module mod(bytes, log, {{"play.at_end", "stop"}});
    mod.set_position_order_row(first_order, 0);
    Rendering r;
    std::vector<float> block(2 * tick_frames);
    long frame = 0;
    for (;;) {
        const std::size_t n = mod.read_interleaved_stereo(rate, tick_frames, block.data());
        if (n == tick_frames) r.row_start.emplace(std::pair{mod.get_current_order(), mod.get_current_row()}, frame);
        for (std::size_t i = 0; i < n; ++i) {
            r.peak = std::max({r.peak, std::fabs(block[2 * i]), std::fabs(block[2 * i + 1])});
            r.mono.push_back(0.5f * (block[2 * i] + block[2 * i + 1]));
            r.power.push_back(0.5f * (block[2 * i] * block[2 * i] + block[2 * i + 1] * block[2 * i + 1]));
        }
        frame += long(n);
        if (n < tick_frames) break;
    }
    // two one-pole high-passes at 2 kHz
    const double a = std::exp(-2.0 * M_PI * 2000.0 / rate);
    r.bright = r.mono;
    for (int pass = 0; pass < 2; ++pass) {
        double y = 0.0, last = 0.0;
        for (float& v : r.bright) {
            y = a * (y + v - last);
            last = v;
            v = float(y);
        }
    }
    return r;
}

const Rendering& rendering(int n)
{
    static const Rendering one = render(song(1), song_structure(1).first_order);
    static const Rendering two = render(song(2), song_structure(2).first_order);
    return n == 1 ? one : two;
}

double mean_square(const std::vector<float>& x, long from, long to)
{
    from = std::max(from, 0L);
    to = std::min(to, long(x.size()));
    double sum = 0.0;
    for (long i = from; i < to; ++i) sum += double(x[std::size_t(i)]) * x[std::size_t(i)];
    return to > from ? sum / double(to - from) : 0.0;
}

double mean(const std::vector<float>& x, long from, long to)
{
    from = std::max(from, 0L);
    to = std::min(to, long(x.size()));
    double sum = 0.0;
    for (long i = from; i < to; ++i) sum += x[std::size_t(i)];
    return to > from ? sum / double(to - from) : 0.0;
}

double db(double mean_sq) { return 10.0 * std::log10(std::max(mean_sq, 1e-20)); }

long frames_ms(double ms) { return long(ms * rate / 1000.0); }

// The pad's chord (its sounding notes) at each row where it changes, per order.
std::vector<std::set<int>> pad_changes(const XmPattern& p)
{
    std::vector<std::set<int>> chords;
    for (int row = 0; row < p.rows; ++row) {
        std::set<int> notes;
        for (int ch = ch_pad; ch < ch_pad + 6; ++ch) {
            const XmCell& c = p.at(row, ch);
            if (c.note >= 1 && c.note <= 96 && c.instrument == ins_pad) notes.insert(c.note);
        }
        if (!notes.empty()) chords.push_back(notes);
    }
    return chords;
}

std::vector<int> channel_notes(const XmPattern& p, int channel)
{
    std::vector<int> notes;
    for (int row = 0; row < p.rows; ++row)
        if (p.at(row, channel).note >= 1 && p.at(row, channel).note <= 96) notes.push_back(p.at(row, channel).note);
    return notes;
}

}  // namespace

TEST(Composer, VocabularyWritesWhatItSays)
{
    const Chord c = chord("Bbmaj7");
    EXPECT_EQ(c.root, 10);
    EXPECT_EQ(c.intervals, (std::vector<int>{0, 4, 7, 11}));
    EXPECT_EQ(chord("C#m").root, 1);
    EXPECT_EQ(chord_at(progression("Am:16 F:8"), 20).root, 5);
    EXPECT_EQ(chord_at(progression("Am:16 F:8"), 24).root, 9);  // it repeats
    const Scale d = minor_scale(51);                              // D-4
    EXPECT_EQ(scale_note(d, 1), 51);
    EXPECT_EQ(scale_note(d, 3), 54);   // F
    EXPECT_EQ(scale_note(d, 8), 63);   // the octave
    EXPECT_EQ(scale_note(d, 0), 49);   // C below
    EXPECT_EQ(scale_note(d, -6), 39);  // an octave below

    std::vector<Bar> bars;
    const SongStructure& s = song_structure(1);
    for (int order = 0; order <= 10; ++order) start_bar(bars, s);
    Bar& bar = bars.back();  // order 10 runs at speed 4
    EXPECT_EQ(bar.speed, 4);
    EXPECT_EQ(bar.pattern.at(0, ch_control).effect, effect_speed);
    EXPECT_EQ(bar.pattern.at(0, ch_control).param, 4);

    drums(bar, ch_kick, "X.o.", ins_kick, 40, 8, 16);
    EXPECT_EQ(bar.pattern.at(8, ch_kick).volume, 0x10 + 64);
    EXPECT_EQ(bar.pattern.at(10, ch_kick).volume, 0x10 + 20);
    EXPECT_EQ(bar.pattern.at(12, ch_kick).note, 49);
    EXPECT_EQ(bar.pattern.at(16, ch_kick).note, 0);

    melody(bar, ch_lead, ins_lead, d, "5 . 3b - ~", 20, 30);
    EXPECT_EQ(bar.pattern.at(20, ch_lead).note, 58);  // A
    EXPECT_EQ(bar.pattern.at(22, ch_lead).note, 53);  // E flat
    EXPECT_EQ(bar.pattern.at(23, ch_lead).note, note_off);
    EXPECT_EQ(bar.pattern.at(24, ch_lead).effect, effect_vibrato);
    echo(bar, ch_lead, ch_echo, 3, 0.5);
    EXPECT_EQ(bar.pattern.at(23, ch_echo).note, 58);
    EXPECT_EQ(bar.pattern.at(26, ch_echo).note, note_off);

    // chords alternate between the pad's banks, releasing the other one
    pad_chord(bar, 32, chord("Dm"), 54, 30);
    pad_chord(bar, 40, chord("F"), 54, 30);
    std::set<int> first, second;
    for (int v = 0; v < 3; ++v) {
        first.insert(bar.pattern.at(32, ch_pad + v).note);
        second.insert(bar.pattern.at(40, ch_pad + 3 + v).note);
        EXPECT_EQ(bar.pattern.at(40, ch_pad + v).note, note_off);
    }
    EXPECT_EQ(first, (std::set<int>{51, 54, 58}));   // D F A around F-4
    EXPECT_EQ(second, (std::set<int>{49, 54, 58}));  // C F A

    // a riser over 8 rows at speed 4 slides 24 semitones: 16 * 24 / (3 * 8) = 16 per tick
    riser(bar, 48, 56, 24, 10, 40);
    EXPECT_EQ(bar.pattern.at(48, ch_fx).instrument, ins_sweep);
    EXPECT_EQ(bar.pattern.at(50, ch_fx).effect, effect_portamento_up);
    EXPECT_EQ(bar.pattern.at(50, ch_fx).param, 16);
    EXPECT_EQ(bar.pattern.at(56, ch_fx).volume, 0x10);  // cut
}

TEST(Songs, KeepTheTimelinesOrdersRowsAndSpeeds)
{
    for (int n = 1; n <= 2; ++n) {
        SCOPED_TRACE("song " + std::to_string(n));
        const SongStructure& s = song_structure(n);
        const XmModule m = song(n);
        EXPECT_EQ(m.default_bpm, 150);
        EXPECT_EQ(m.default_speed, 6);
        ASSERT_EQ(m.orders.size(), s.orders.size());
        for (std::size_t order = 0; order < s.orders.size(); ++order) {
            const XmPattern& p = m.patterns[m.orders[order]];
            EXPECT_EQ(p.rows, s.orders[order].rows) << "order " << order;
            for (int row = 0; row < p.rows; ++row)
                for (int ch = 0; ch < p.channels; ++ch) {
                    const XmCell& c = p.at(row, ch);
                    // no jumps, breaks, pattern loops or delays; speed only on row 0
                    EXPECT_NE(c.effect, 11);
                    EXPECT_NE(c.effect, 13);
                    if (c.effect == 14) {
                        EXPECT_TRUE((c.param >> 4) != 6 && (c.param >> 4) != 14);
                    }
                    if (c.effect == effect_speed) {
                        EXPECT_EQ(row, 0) << "order " << order;
                        EXPECT_EQ(c.param, speed_to_set(s, int(order))) << "order " << order;
                    }
                }
            bool sets_speed = false;
            for (int ch = 0; ch < p.channels; ++ch) sets_speed |= p.at(0, ch).effect == effect_speed;
            EXPECT_EQ(sets_speed, speed_to_set(s, int(order)) != 0) << "order " << order;
        }
    }
}

TEST(Songs, AreTheSameBytesOnEveryBuildAndStaySmall)
{
    for (int n = 1; n <= 2; ++n) {
        const std::vector<std::uint8_t> a = encode_xm(song(n));
        EXPECT_EQ(a, encode_xm(song(n)));
        EXPECT_LT(a.size(), 450u * 1024u) << "song " << n;
    }
}

// Each instrument has sound, is played somewhere, and loops without a jump: the
// step from the loop's last frame back to its first is no larger than the
// largest step inside the loop.
TEST(Songs, InstrumentsArePlayedAndLoopSeamlessly)
{
    for (int n = 1; n <= 2; ++n) {
        SCOPED_TRACE("song " + std::to_string(n));
        const XmModule m = song(n);
        ASSERT_GE(m.instruments.size(), 8u);
        std::set<int> used;
        for (const XmPattern& p : m.patterns)
            for (const XmCell& c : p.cells)
                if (c.instrument) used.insert(c.instrument);
        for (std::size_t i = 0; i < m.instruments.size(); ++i) {
            const XmInstrument& ins = m.instruments[i];
            SCOPED_TRACE(ins.name);
            EXPECT_TRUE(used.count(int(i + 1)));
            ASSERT_EQ(ins.samples.size(), 1u);
            const XmSample& s = ins.samples[0];
            ASSERT_FALSE(s.frames.empty());
            EXPECT_GT(*std::max_element(s.frames.begin(), s.frames.end()), 20000);
            if (s.loop == XmLoop::none) continue;
            ASSERT_GE(s.loop_start, 0);
            ASSERT_LE(s.loop_start + s.loop_length, int(s.frames.size()));
            int largest = 0;
            for (int f = s.loop_start + 1; f < s.loop_start + s.loop_length; ++f)
                largest = std::max(largest, std::abs(s.frames[std::size_t(f)] - s.frames[std::size_t(f - 1)]));
            const int wrap = std::abs(s.frames[std::size_t(s.loop_start)] -
                                      s.frames[std::size_t(s.loop_start + s.loop_length - 1)]);
            EXPECT_LE(wrap, largest);
            // a sustaining voice needs an envelope so key-off can release it
            EXPECT_FALSE(ins.volume_envelope.points.empty());
        }
    }
}

// Every pitched voice sounds A-4 at 440 Hz (within 0.5 %), measured as the
// strongest frequency of the rendered note.
TEST(Songs, PitchedVoicesPlayInTune)
{
    const XmModule full = song(1);
    for (int id : {ins_bass, ins_pad, ins_lead, ins_pluck, ins_bell}) {
        SCOPED_TRACE(full.instruments[std::size_t(id - 1)].name);
        XmModule m;
        m.channels = 2;
        m.orders = {0};
        m.patterns.emplace_back(16, 2);
        m.patterns[0].at(0, 0) = XmCell{58, std::uint8_t(id), 0, 0, 0};
        m.instruments = full.instruments;
        const Rendering r = render(m, 0);
        // a second, long enough to tell the pad's chorus voices apart
        const long from = frames_ms(300), length = frames_ms(1000);
        ASSERT_GT(long(r.mono.size()), from + length);
        // the strongest frequency between 420 and 460 Hz (Hann-windowed)
        std::vector<double> windowed(static_cast<std::size_t>(length));
        for (long i = 0; i < length; ++i)
            windowed[std::size_t(i)] = (0.5 - 0.5 * std::cos(2.0 * M_PI * double(i) / double(length))) *
                                       r.mono[std::size_t(from + i)];
        double best_hz = 0.0, best = 0.0;
        for (double hz = 420.0; hz <= 460.0; hz += 0.25) {
            const double step_re = std::cos(2.0 * M_PI * hz / rate), step_im = std::sin(2.0 * M_PI * hz / rate);
            double re = 0.0, im = 0.0, ph_re = 1.0, ph_im = 0.0;
            for (double v : windowed) {
                re += v * ph_re;
                im += v * ph_im;
                const double next = ph_re * step_re - ph_im * step_im;
                ph_im = ph_re * step_im + ph_im * step_re;
                ph_re = next;
            }
            if (re * re + im * im > best) {
                best = re * re + im * im;
                best_hz = hz;
            }
        }
        EXPECT_NEAR(best_hz, 440.0, 2.2);
    }
}

// Several progressions per song, no order repeating the one before it, and a
// melody (lead or bell line) that comes back in a later, non-adjacent order.
TEST(Songs, ProgressionsVaryOrdersChangeAndAMelodyReturns)
{
    for (int n = 1; n <= 2; ++n) {
        SCOPED_TRACE("song " + std::to_string(n));
        const SongStructure& s = song_structure(n);
        const XmModule m = song(n);
        std::set<std::vector<std::set<int>>> progressions;
        bool returns = false;
        for (std::size_t order = 1; order < m.orders.size(); ++order) {
            const XmPattern& p = m.patterns[m.orders[order]];
            const XmPattern& before = m.patterns[m.orders[order - 1]];
            bool same = p.rows == before.rows;
            for (std::size_t i = 0; same && i < p.cells.size(); ++i)
                same = p.cells[i].note == before.cells[i].note && p.cells[i].instrument == before.cells[i].instrument;
            EXPECT_FALSE(same) << "order " << order << " repeats order " << order - 1;
            if (p.rows == 64) progressions.insert(pad_changes(p));
            for (int ch : {ch_lead, ch_bell}) {
                const std::vector<int> line = channel_notes(p, ch);
                if (line.size() < 8) continue;
                for (std::size_t earlier = 0; earlier + 2 <= order; ++earlier)
                    for (int ch2 : {ch_lead, ch_bell}) {
                        std::vector<int> old = channel_notes(m.patterns[m.orders[earlier]], ch2);
                        if (old.size() != line.size()) continue;
                        const int shift = line[0] - old[0];  // the same tune, maybe another octave
                        bool equal = shift % 12 == 0;
                        for (std::size_t i = 0; equal && i < old.size(); ++i) equal = line[i] - old[i] == shift;
                        returns |= equal;
                    }
            }
        }
        EXPECT_GE(progressions.size(), 4u);
        EXPECT_TRUE(returns);
        // every cue row carries a drum or hit in the pattern
        for (std::size_t order = std::size_t(s.first_order); order < s.orders.size(); ++order)
            for (int row : s.orders[order].cues) {
                bool hit = false;
                for (int ch : {int(ch_kick), int(ch_snare), int(ch_crash), int(ch_fx), int(ch_perc)})
                    hit |= m.patterns[m.orders[order]].at(row, ch).note != 0;
                EXPECT_TRUE(hit) << "order " << order << " row " << row;
            }
    }
}

TEST(SongsRendered, PeakAndLoudnessAreSensible)
{
    for (int n = 1; n <= 2; ++n) {
        SCOPED_TRACE("song " + std::to_string(n));
        const SongStructure& s = song_structure(n);
        const Rendering& r = rendering(n);
        EXPECT_LT(20.0 * std::log10(r.peak), -0.5);
        // the music, without song 1's last order (the hit dying out)
        const int last = n == 1 ? int(s.orders.size()) - 1 : int(s.orders.size());
        const long end = last < int(s.orders.size()) ? r.row_start.at({last, 0}) : long(r.mono.size());
        const double loudness = db(mean(r.power, 0, end));
        if (std::getenv("VELMORA_SONG_REPORT"))
            std::printf("song %d peak %.2f dBFS loudness %.1f dBFS\n", n, 20.0 * std::log10(r.peak), loudness);
        EXPECT_GT(loudness, -18.0);
        EXPECT_LT(loudness, -12.0);
        for (int order = s.first_order; order < last; ++order) {
            const long a = r.row_start.at({order, 0});
            const long b = order + 1 < int(s.orders.size()) ? r.row_start.at({order + 1, 0}) : long(r.mono.size());
            if (std::getenv("VELMORA_SONG_REPORT")) {
                long loudest = a;
                for (long f = a; f < b; ++f)
                    if (r.power[std::size_t(f)] > r.power[std::size_t(loudest)]) loudest = f;
                int row = 0;
                for (const auto& [position, start] : r.row_start)
                    if (position.first == order && start <= loudest) row = std::max(row, position.second);
                std::printf("song %d order %2d loudness %.1f dBFS, loudest frame %.1f dBFS on row %d\n", n, order,
                            db(mean(r.power, a, b)), db(r.power[std::size_t(loudest)]), row);
            }
            EXPECT_GT(db(mean(r.power, a, b)), -26.0) << "order " << order;
        }
    }
}

// No stretch of silence (10 ms windows below -50 dBFS) longer than a second,
// except after song 1's last hit, which must have died out by the song's end.
TEST(SongsRendered, NoLongSilenceAndSong1EndsInSilence)
{
    for (int n = 1; n <= 2; ++n) {
        SCOPED_TRACE("song " + std::to_string(n));
        const SongStructure& s = song_structure(n);
        const Rendering& r = rendering(n);
        const long end = n == 1 ? r.row_start.at({int(s.orders.size()) - 1, 0}) : long(r.mono.size());
        const long window = frames_ms(10);
        long quiet = 0, longest = 0;
        for (long f = 0; f + window <= end; f += window) {
            quiet = db(mean(r.power, f, f + window)) < -50.0 ? quiet + window : 0;
            longest = std::max(longest, quiet);
        }
        EXPECT_LT(longest, rate) << "silence of " << double(longest) / rate << " s";
    }
    const Rendering& r = rendering(1);
    EXPECT_LT(db(mean(r.power, long(r.power.size()) - frames_ms(300), long(r.power.size()))), -60.0);
}

// On each cue row the sound rises: more energy above 2 kHz in the 20 ms after
// the row's start than in the 50 ms before it.
TEST(SongsRendered, EveryCueRowHasAnOnset)
{
    for (int n = 1; n <= 2; ++n) {
        SCOPED_TRACE("song " + std::to_string(n));
        const SongStructure& s = song_structure(n);
        const Rendering& r = rendering(n);
        for (int order = s.first_order; order < int(s.orders.size()); ++order)
            for (int row : s.orders[std::size_t(order)].cues) {
                const long start = r.row_start.at({order, row});
                const double after = mean_square(r.bright, start, start + frames_ms(20));
                const double before = mean_square(r.bright, start - frames_ms(50), start);
                if (std::getenv("VELMORA_SONG_REPORT"))
                    std::printf("song %d order %2d row %2d onset %+.1f dB\n", n, order, row, db(after) - db(before));
                EXPECT_GT(db(after) - db(before), 3.0) << "order " << order << " row " << row;
            }
    }
}
