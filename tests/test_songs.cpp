// test_songs.cpp -- the composed songs: their structure, their instruments, the notes they hold, and how they
// sound rendered with libopenmpt (level, loudness and its range, the arc, the endings, accents on the cues).
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

struct Biquad {
    double b0, b1, b2, a1, a2, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double run(double x)
    {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        return y;
    }
};

// The loudness meters' K-weighting at 44.1 kHz: a high shelf of +4 dB above about 1.7 kHz, then a high-pass at
// 38 Hz (the standard's filters, designed for the rate).
struct KWeighting {
    Biquad shelf, highpass;
    KWeighting()
    {
        double k = std::tan(M_PI * 1681.974450955533 / rate), q = 0.7071752369554196;
        const double vh = std::pow(10.0, 3.999843853973347 / 20.0), vb = std::pow(vh, 0.4996667741545416);
        double a0 = 1.0 + k / q + k * k;
        shelf = {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
                 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
        k = std::tan(M_PI * 38.13547087602444 / rate), q = 0.5003270373238773, a0 = 1.0 + k / q + k * k;
        highpass = {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    }
    double run(double x) { return highpass.run(shelf.run(x)); }
};

constexpr long hop_frames = 4410;  // the loudness blocks step by 100 ms

// A song rendered from `first_order` on, per frame, and the frame on which each (order, row) starts.
struct Rendering {
    std::vector<float> mono;
    std::vector<float> power;   // (left² + right²) / 2
    std::vector<float> bright;  // power of mono above about 2 kHz, where attacks show
    std::vector<double> k_power;  // K-weighted left² + right², mean per 100 ms
    std::map<std::pair<int, int>, long> row_start;
    float peak = 0.0f;
};

Rendering render(const XmModule& m, int first_order)
{
    std::ostringstream log;
    openmpt::module mod(encode_xm(m), log, {{"play.at_end", "stop"}});
    mod.set_position_order_row(first_order, 0);
    Rendering r;
    KWeighting kl, kr;
    double k_sum = 0.0;
    std::vector<float> block(2 * tick_frames);
    for (std::size_t n = tick_frames; n == tick_frames;) {
        n = mod.read_interleaved_stereo(rate, tick_frames, block.data());
        if (n == tick_frames) r.row_start.emplace(std::pair{mod.get_current_order(), mod.get_current_row()}, long(r.mono.size()));
        for (std::size_t i = 0; i < 2 * n; i += 2) {
            r.peak = std::max({r.peak, std::fabs(block[i]), std::fabs(block[i + 1])});
            r.mono.push_back(0.5f * (block[i] + block[i + 1]));
            r.power.push_back(0.5f * (block[i] * block[i] + block[i + 1] * block[i + 1]));
            const double l = kl.run(block[i]), rr = kr.run(block[i + 1]);
            k_sum += l * l + rr * rr;
            if (long(r.mono.size()) % hop_frames == 0) r.k_power.push_back(k_sum / hop_frames), k_sum = 0.0;
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
template <typename T>
double mean(const std::vector<T>& x, long from, long to)
{
    from = std::max(from, 0L), to = std::min(to, long(x.size()));
    return to > from ? std::accumulate(x.begin() + from, x.begin() + to, 0.0) / double(to - from) : 0.0;
}

double db(double mean_sq) { return 10.0 * std::log10(std::max(mean_sq, 1e-20)); }
long frames_ms(double ms) { return long(ms * rate / 1000.0); }
double lufs(double k_power) { return -0.691 + db(k_power); }

// The loudness of each block of `hops` 100 ms steps, every 100 ms, that passes the gates: above -70 LUFS, and
// above the mean (in power) of those less `relative_gate` LU. Integrated loudness: 400 ms blocks, 10 LU; loudness
// range: 3 s blocks, 20 LU.
std::vector<double> gated_blocks(const std::vector<double>& k_power, std::size_t hops, double relative_gate)
{
    std::vector<double> blocks, kept;
    for (std::size_t i = 0; i + hops <= k_power.size(); ++i)
        if (const double p = std::accumulate(k_power.begin() + long(i), k_power.begin() + long(i + hops), 0.0) / double(hops); lufs(p) > -70.0)
            blocks.push_back(p);
    const double gate = lufs(std::accumulate(blocks.begin(), blocks.end(), 0.0) / double(blocks.size())) - relative_gate;
    for (double p : blocks)
        if (lufs(p) > gate) kept.push_back(p);
    return kept;
}

double integrated_loudness(const Rendering& r)
{
    const std::vector<double> kept = gated_blocks(r.k_power, 4, 10.0);
    return lufs(std::accumulate(kept.begin(), kept.end(), 0.0) / double(kept.size()));
}

double loudness_range(const Rendering& r)
{
    std::vector<double> kept = gated_blocks(r.k_power, 30, 20.0);
    std::sort(kept.begin(), kept.end());
    return lufs(kept[std::size_t(0.95 * double(kept.size() - 1))]) - lufs(kept[std::size_t(0.10 * double(kept.size() - 1))]);
}

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

// A note of a voice that holds its level until something ends it: a looped sample whose volume envelope is off,
// holds at a sustain point or ends above zero. It ends on the next note, a key-off (note or Kxx) or volume 0 on its
// channel; `rows` counts the rows it sounds, `to_the_end` marks one still sounding after the last row.
struct HeldNote {
    int order, row, channel, rows = 0;
    bool to_the_end = false;
};

bool sustains(const XmInstrument& ins)
{
    if (ins.samples.empty() || ins.samples[0].loop == XmLoop::none || ins.samples[0].loop_length == 0) return false;
    const XmEnvelope& e = ins.volume_envelope;
    return e.points.empty() || e.sustain >= 0 || e.points.back().value > 0;
}

std::vector<HeldNote> held_notes(const XmModule& m)
{
    std::vector<HeldNote> held;
    for (int ch = 0; ch < m.channels; ++ch) {
        HeldNote* note = nullptr;
        int instrument = 0;
        for (int order = 0; order < int(m.orders.size()); ++order) {
            const XmPattern& p = m.patterns[m.orders[std::size_t(order)]];
            for (int row = 0; row < p.rows; ++row) {
                const XmCell& c = p.at(row, ch);
                if (c.instrument) instrument = c.instrument;
                const bool new_note = c.note >= 1 && c.note <= 96;
                if (new_note || c.note == note_off || c.volume == 0x10 || c.effect == 20 || (c.effect == 12 && c.param == 0))
                    note = nullptr;
                if (new_note && instrument >= 1 && instrument <= int(m.instruments.size()) &&
                    sustains(m.instruments[std::size_t(instrument - 1)]))
                    note = &held.emplace_back(HeldNote{order, row, ch});
                if (note) ++note->rows;
            }
        }
        if (note) note->to_the_end = true;
    }
    return held;
}

// Per 64-row order of song 2: the pad's chords (pitch classes) in the order they start.
std::map<std::vector<std::set<int>>, std::set<int>> orders_per_progression(const XmModule& m)
{
    std::map<std::vector<std::set<int>>, std::set<int>> orders;
    for (int order = 0; order < int(m.orders.size()); ++order) {
        const XmPattern& p = m.patterns[m.orders[std::size_t(order)]];
        if (p.rows != 64) continue;
        std::vector<std::set<int>> chords;
        for (const std::vector<int>& notes : notes_by_row(p, ch_pad, 6, ins_pad)) {
            std::set<int> classes;
            for (int n : notes) classes.insert((n - 1) % 12);
            if (chords.empty() || chords.back() != classes) chords.push_back(classes);
        }
        if (!chords.empty()) orders[chords].insert(order);
    }
    return orders;
}

// Per order, the opening of its lead and bell lines: the first four notes as (rows after the first, semitones from
// it), the same phrase in any key.
std::map<std::vector<std::pair<int, int>>, std::set<int>> orders_per_opening(const XmModule& m)
{
    std::map<std::vector<std::pair<int, int>>, std::set<int>> orders;
    for (int order = 0; order < int(m.orders.size()); ++order) {
        const XmPattern& p = m.patterns[m.orders[std::size_t(order)]];
        for (int ch : {ch_lead, ch_bell}) {
            std::vector<std::pair<int, int>> opening;
            for (int row = 0; row < p.rows && opening.size() < 4; ++row)
                if (const int n = p.at(row, ch).note; n >= 1 && n <= 96) opening.emplace_back(row, n);
            if (opening.size() < 4) continue;
            const auto [first_row, first_note] = opening[0];
            for (auto& [row, note] : opening) row -= first_row, note -= first_note;
            orders[opening].insert(order);
        }
    }
    return orders;
}

// One note of instrument `id` of `m`, rendered for `rows` rows from its start.
Rendering render_note(const XmModule& full, int id, int note, int rows = 16)
{
    XmModule m;
    m.channels = 2, m.orders = {0}, m.instruments = full.instruments;
    m.patterns.emplace_back(rows, 2).at(0, 0) = XmCell{std::uint8_t(note), std::uint8_t(id), 0, 0, 0};
    return render(m, 0);
}

// The largest correlation of a and b (each normalised), over `length` frames at lags up to `max_lag` either way.
double best_correlation(const std::vector<float>& a, const std::vector<float>& b, long length, long max_lag)
{
    double best = 0.0;
    for (long lag = -max_lag; lag <= max_lag; ++lag) {
        const long from_a = std::max(0L, -lag), from_b = std::max(0L, lag);
        double ab = 0.0, aa = 0.0, bb = 0.0;
        for (long i = 0; i < length; ++i) {
            const double x = a[std::size_t(from_a + i)], y = b[std::size_t(from_b + i)];
            ab += x * y, aa += x * x, bb += y * y;
        }
        if (aa > 0.0 && bb > 0.0) best = std::max(best, ab / std::sqrt(aa * bb));
    }
    return best;
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

    // Song 2's order 0 has cues on rows 7, 15, ...: swing delays the other odd rows by a tick. An echo whose
    // source is released in the bar's last rows is released on the last row, not beyond it. A breath silences
    // every channel but the speed's at once.
    std::vector<Bar> second;
    Bar& fleet = start_bar(second, song_structure(2));
    drums(fleet, ch_hat, "x", ins_closed_hat, 40);
    swing(fleet, ch_hat, 1);
    for (int row : {0, 2, 7, 15, 63}) EXPECT_EQ(fleet.pattern.at(row, ch_hat).effect, 0) << "row " << row;
    for (int row : {1, 5, 9, 61}) EXPECT_EQ(fleet.pattern.at(row, ch_hat).param, 0xD1) << "row " << row;
    melody(fleet, ch_lead, ins_lead, d, "1 . . -", 60, 40);
    echo(fleet, ch_lead, ch_echo, 3, 0.5);
    EXPECT_EQ(fleet.pattern.at(63, ch_echo).note, note_off);
    breath(fleet, 62);
    for (int ch = 0; ch < channel_count; ++ch) EXPECT_EQ(fleet.pattern.at(62, ch).volume, ch == ch_control ? 0 : 0x10);
}

// Orders, rows and speeds as the timeline has them; no jumps, breaks, pattern loops or delays; the speed effect
// only on row 0 and only where the speed changes; the same bytes on every run. And variety: no order playing
// what the one before it did, several progressions, and a melody (lead or bell line) that comes back in a later,
// non-adjacent order, as the same steps from its first note in any octave. Song 2 moves on: no progression of the
// pad's in more than three of its orders, no phrase opening the lead or bell line of more than two.
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
            for (int ch : {ch_lead, ch_bell}) {
                const std::vector<std::vector<int>> rows = notes_by_row(p, ch, 1);
                if (rows.size() < 8) continue;
                std::vector<int> tune{rows[0][0] % 12};
                for (const std::vector<int>& row : rows) tune.push_back(row[0] - rows[0][0]);
                const auto [heard, fresh] = first_heard.emplace(tune, order);
                returns |= !fresh && order >= heard->second + 2;
            }
        }
        const auto progressions = orders_per_progression(m);
        EXPECT_GE(progressions.size(), 4u);
        EXPECT_TRUE(returns);
        if (n == 2) {
            EXPECT_GE(progressions.size(), 15u);
            for (const auto& [chords, orders] : progressions) EXPECT_LE(orders.size(), 3u) << "a progression from order " << *orders.begin();
            const auto openings = orders_per_opening(m);
            EXPECT_GE(openings.size(), 15u);
            for (const auto& [phrase, orders] : openings) EXPECT_LE(orders.size(), 2u) << "a phrase opening order " << *orders.begin();
        }
        const std::vector<std::uint8_t> bytes = encode_xm(m);
        EXPECT_EQ(bytes, encode_xm(song(n)));
        EXPECT_LT(bytes.size(), 450u * 1024u);
    }
}

// No note is left hanging: every note of a sustaining voice ends (note, key-off or volume 0 on its channel) within
// 64 rows, and none still sounds at a song's last row. (Each song holds a few hundred such notes.)
TEST(Songs, EverySustainedNoteEndsWithin64RowsAndNoneOutlastsTheSong)
{
    for (int n = 1; n <= 2; ++n) {
        SCOPED_TRACE("song " + std::to_string(n));
        const std::vector<HeldNote> held = held_notes(song(n));
        EXPECT_GT(held.size(), 200u);
        for (const HeldNote& note : held) {
            const std::string where = std::to_string(note.order) + ":" + std::to_string(note.row) + " channel " + std::to_string(note.channel);
            EXPECT_LE(note.rows, 64) << "held " << note.rows << " rows from " << where;
            EXPECT_FALSE(note.to_the_end) << "still sounding at the end, from " << where;
        }
    }
}

// Each instrument has sound, is played somewhere, and loops without a jump: the step from the loop's last frame
// back to its first is no larger than the largest step inside the loop. A looping voice needs an envelope so
// key-off can release it. Every pitched voice sounds A-4 at 440 Hz (within 0.5 %): the strongest frequency
// between 420 and 460 Hz of a second of the rendered note (Hann-windowed; long enough to tell the pad's chorus
// voices apart). Song 2 has a palette of its own: none of its pitched voices, and at most three of its drums,
// sound like song 1's (their rendered A-4s correlating above 0.9 at the best lag within 2 ms, over 250 ms).
TEST(Songs, InstrumentsArePlayedLoopSeamlesslyPlayInTuneAndDifferBetweenSongs)
{
    const XmModule songs[] = {song(1), song(2)};
    for (const XmModule& m : songs) {
        SCOPED_TRACE(m.name);
        ASSERT_EQ(m.instruments.size(), std::size_t(instrument_count));
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
            ASSERT_TRUE(s.loop_start >= 0 && s.loop_length > 0 && s.loop_start + s.loop_length <= int(s.frames.size()));
            auto frame = [&](int f) { return int(s.frames[std::size_t(f)]); };
            const int first = s.loop_start, last = s.loop_start + s.loop_length - 1;
            int largest = 0;
            for (int f = first + 1; f <= last; ++f) largest = std::max(largest, std::abs(frame(f) - frame(f - 1)));
            EXPECT_LE(std::abs(frame(first) - frame(last)), largest);
            EXPECT_FALSE(ins.volume_envelope.points.empty());
        }
        for (int id : {ins_bass, ins_pad, ins_lead, ins_pluck, ins_bell}) {
            SCOPED_TRACE(m.instruments[std::size_t(id - 1)].name);
            const Rendering r = render_note(m, id, 58);
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
    int shared = 0;
    for (int id = 1; id <= instrument_count; ++id) {
        const double c = best_correlation(render_note(songs[0], id, 58, 4).mono, render_note(songs[1], id, 58, 4).mono,
                                          frames_ms(250), frames_ms(2));
        EXPECT_TRUE(id < ins_bass || c < 0.9) << songs[1].instruments[std::size_t(id - 1)].name << " correlates " << c;
        shared += c > 0.9;
    }
    EXPECT_LE(shared, 3);
}

// The mix: sample peak at or below -1 dBFS; RMS between -20 and -12 dBFS; integrated loudness -14 LUFS within
// 1 LU. The music plays on: no order (without song 1's last, the hit dying out) quieter than -26 dBFS, no silence
// (10 ms windows below -50 dBFS) longer than a second before the last order. The endings die away: song 1's last
// 300 ms below -60 dBFS, song 2's last second at or below -45 dBFS. The arcs: song 1's groove (orders 6-11) at
// least 1.5 dB above its opening (orders 1-4); song 2's orders 0-25 span at least 8 dB and its loudness range is
// at least 5 LU. Accents: on each cue row the sound rises (energy above 2 kHz in the 20 ms after the row's start
// against the 50 ms before) by more than 3 dB, on average 6 dB more than on the other rows, and on song 2's order
// 4 row 0 (the logo's flash) by at least 12 dB.
TEST(SongsRendered, LevelsArcsEndingsAndOnsetsOnTheCues)
{
    for (int n = 1; n <= 2; ++n) {
        SCOPED_TRACE("song " + std::to_string(n));
        const SongStructure& s = song_structure(n);
        const Rendering& r = rendering(n);
        EXPECT_LE(20.0 * std::log10(r.peak), -1.0);
        const double rms = db(mean(r.power, 0, long(r.power.size())));
        EXPECT_TRUE(rms > -20.0 && rms < -12.0) << rms << " dBFS";
        EXPECT_NEAR(integrated_loudness(r), -14.0, 1.0);
        const int last = int(s.orders.size()) - 1;
        auto start = [&](int order) { return order <= last ? r.row_start.at({order, 0}) : long(r.mono.size()); };
        std::vector<double> levels(s.orders.size(), 0.0);
        for (int order = s.first_order; order <= last; ++order) levels[std::size_t(order)] = db(mean(r.power, start(order), start(order + 1)));
        for (int order = s.first_order; order < last; ++order) EXPECT_GT(levels[std::size_t(order)], -26.0) << "order " << order;
        const long window = frames_ms(10);
        long quiet = 0, longest = 0;
        for (long f = 0; f + window <= start(last); f += window)
            longest = std::max(longest, quiet = db(mean(r.power, f, f + window)) < -50.0 ? quiet + window : 0);
        EXPECT_LT(longest, rate) << "silence of " << double(longest) / rate << " s";
        const long end = long(r.power.size());
        EXPECT_LT(db(mean(r.power, end - frames_ms(n == 1 ? 300 : 1000), end)), n == 1 ? -60.0 : -45.0);
        if (n == 1) {
            EXPECT_GT(mean(levels, 6, 12) - mean(levels, 1, 5), 1.5);
        } else {
            const auto [quietest, loudest] = std::minmax_element(levels.begin(), levels.begin() + 26);
            EXPECT_GE(*loudest - *quietest, 8.0);
            EXPECT_GE(loudness_range(r), 5.0);
        }
        double cue_sum = 0.0, other_sum = 0.0;
        int cues = 0, others = 0;
        for (const auto& [position, frame] : r.row_start) {
            const auto& [order, row] = position;
            if (frame < frames_ms(50)) continue;
            const double rise = db(mean(r.bright, frame, frame + frames_ms(20))) - db(mean(r.bright, frame - frames_ms(50), frame));
            const std::vector<int>& cue_rows = s.orders[std::size_t(order)].cues;
            if (std::find(cue_rows.begin(), cue_rows.end(), row) == cue_rows.end()) {
                other_sum += rise, ++others;
                continue;
            }
            EXPECT_GT(rise, 3.0) << "cue at order " << order << " row " << row;
            if (n == 2 && order == 4 && row == 0) {
                EXPECT_GE(rise, 12.0);
            }
            cue_sum += std::min(rise, 40.0), ++cues;  // a hit out of silence counts as 40 dB
        }
        EXPECT_GE(cue_sum / cues - other_sum / others, 6.0);
    }
}
