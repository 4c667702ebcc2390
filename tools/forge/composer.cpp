// composer.cpp -- the pattern-writing vocabulary the songs are composed in.
#include "composer.h"

#include "forge.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

bool in_bar(const Bar& bar, int row, int channel)
{
    return row >= 0 && row < bar.rows() && channel >= 0 && channel < channel_count;
}

constexpr double pitched_mix_gain = 1.4;

int end_row(const Bar& bar, int to) { return to < 0 || to > bar.rows() ? bar.rows() : to; }

std::uint8_t volume_byte(int volume) { return std::uint8_t(0x10 + std::clamp(volume, 0, 64)); }

int pitch_class(int note) { return ((note - 1) % 12 + 12) % 12; }

// The lowest note at or above `low` whose pitch class is `pc`.
int note_at_or_above(int low, int pc)
{
    int n = low;
    while (pitch_class(n) != pc) ++n;
    return n;
}

// The chord tones the three pad voices take: all of a triad; of richer chords the
// colour tones (third, seventh, ninth or fifth), leaving the root to the bass.
std::vector<int> pad_tones(const Chord& c)
{
    const std::vector<int>& iv = c.intervals;
    if (iv.size() <= 3) return iv;
    return {iv[1], iv[3], iv.size() > 4 ? iv[4] : iv[2]};
}

// Chord tones from `low` upward, every octave, for arpeggios.
std::vector<int> tones_upward(const Chord& c, int low, int count)
{
    std::vector<int> out;
    for (int n = low; int(out.size()) < count && n <= 96; ++n) {
        const int offset = ((pitch_class(n) - c.root) % 12 + 12) % 12;
        for (int iv : c.intervals)
            if (iv % 12 == offset) {
                out.push_back(n);
                break;
            }
    }
    return out;
}

}  // namespace

Chord chord(const std::string& name)
{
    static const int letter_pc[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
    if (name.empty() || name[0] < 'A' || name[0] > 'G') forge_fail("bad chord name '" + name + "'");
    Chord c;
    c.root = letter_pc[name[0] - 'A'];
    std::size_t i = 1;
    if (i < name.size() && name[i] == '#') { c.root += 1; ++i; }
    else if (i < name.size() && name[i] == 'b') { c.root += 11; ++i; }
    c.root %= 12;
    const std::string q = name.substr(i);
    struct Quality { const char* name; std::vector<int> iv; };
    static const Quality qualities[] = {
        {"", {0, 4, 7}},           {"m", {0, 3, 7}},          {"7", {0, 4, 7, 10}},
        {"m7", {0, 3, 7, 10}},     {"maj7", {0, 4, 7, 11}},   {"sus2", {0, 2, 7}},
        {"sus4", {0, 5, 7}},       {"7sus4", {0, 5, 7, 10}},  {"m9", {0, 3, 7, 10, 14}},
        {"9", {0, 4, 7, 10, 14}},  {"add9", {0, 4, 7, 14}},   {"madd9", {0, 3, 7, 14}},
        {"maj9", {0, 4, 7, 11, 14}}, {"dim", {0, 3, 6}},      {"6", {0, 4, 7, 9}},
        {"m6", {0, 3, 7, 9}},
    };
    for (const Quality& quality : qualities)
        if (q == quality.name) {
            c.intervals = quality.iv;
            return c;
        }
    forge_fail("unknown chord quality in '" + name + "'");
}

Progression progression(const std::string& text)
{
    Progression p;
    std::istringstream in(text);
    std::string item;
    while (in >> item) {
        const std::size_t colon = item.find(':');
        if (colon == std::string::npos) forge_fail("progression item without length: " + item);
        p.push_back({chord(item.substr(0, colon)), std::atoi(item.c_str() + colon + 1)});
        if (p.back().rows <= 0) forge_fail("progression item without length: " + item);
    }
    if (p.empty()) forge_fail("empty progression");
    return p;
}

const Chord& chord_at(const Progression& p, int row)
{
    int total = 0;
    for (const TimedChord& t : p) total += t.rows;
    int r = row % total;
    for (const TimedChord& t : p) {
        if (r < t.rows) return t.chord;
        r -= t.rows;
    }
    return p.back().chord;
}

Scale minor_scale(int tonic) { return {tonic, {0, 2, 3, 5, 7, 8, 10}}; }

int scale_note(const Scale& s, int degree)
{
    const int index = degree - 1;
    const int octave = index >= 0 ? index / 7 : -((-index + 6) / 7);
    const int step = index - octave * 7;
    return s.tonic + 12 * octave + s.steps[std::size_t(step)];
}

void put_note(Bar& bar, int row, int channel, int note, int instrument, int volume)
{
    if (!in_bar(bar, row, channel)) return;
    XmCell& c = bar.pattern.at(row, channel);
    c.note = std::uint8_t(std::clamp(note, 1, 96));
    c.instrument = std::uint8_t(instrument);
    // The songs write the pitched parts at their levels relative to each other;
    // the mix raises them together (the drums' dynamics stay as written).
    if (volume >= 0 && instrument >= ins_bass) volume = int(std::lround(volume * pitched_mix_gain));
    c.volume = volume < 0 ? 0 : volume_byte(volume);
}

void put_off(Bar& bar, int row, int channel)
{
    if (!in_bar(bar, row, channel)) return;
    XmCell& c = bar.pattern.at(row, channel);
    c = XmCell{};
    c.note = note_off;
}

void put_cut(Bar& bar, int row, int channel)
{
    if (!in_bar(bar, row, channel)) return;
    bar.pattern.at(row, channel) = XmCell{};
    bar.pattern.at(row, channel).volume = volume_byte(0);
}

void put_effect(Bar& bar, int row, int channel, int effect, int param)
{
    if (!in_bar(bar, row, channel)) return;
    XmCell& c = bar.pattern.at(row, channel);
    c.effect = std::uint8_t(effect);
    c.param = std::uint8_t(param);
}

void put_volume_byte(Bar& bar, int row, int channel, int byte)
{
    if (!in_bar(bar, row, channel)) return;
    bar.pattern.at(row, channel).volume = std::uint8_t(byte);
}

void drums(Bar& bar, int channel, const std::string& grid, int instrument, int volume, int from, int to, int note)
{
    if (grid.empty()) return;
    for (int row = std::max(from, 0); row < end_row(bar, to); ++row) {
        switch (grid[std::size_t(row - from) % grid.size()]) {
        case 'X': put_note(bar, row, channel, note, instrument, 64); break;
        case 'x': put_note(bar, row, channel, note, instrument, volume); break;
        case 'o': put_note(bar, row, channel, note, instrument, volume / 2); break;
        default: break;
        }
    }
}

void pad_chord(Bar& bar, int row, const Chord& c, int centre, int volume)
{
    const int pans[3] = {0x80 - bar.pad_spread, 0x80, 0x80 + bar.pad_spread};
    std::vector<int> notes;
    for (int iv : pad_tones(c)) {
        const int pc = (c.root + iv) % 12;
        int n = note_at_or_above(centre - 6, pc);
        while (std::find(notes.begin(), notes.end(), n) != notes.end()) n += 12;
        notes.push_back(n);
    }
    std::sort(notes.begin(), notes.end());
    const int bank = ch_pad + 3 * bar.pad_bank;
    const int other = ch_pad + 3 * (1 - bar.pad_bank);
    for (int v = 0; v < 3; ++v) {
        if (v < int(notes.size())) {
            put_note(bar, row, bank + v, notes[std::size_t(v)], ins_pad, volume);
            put_effect(bar, row, bank + v, effect_panning, pans[v]);
        } else {
            put_off(bar, row, bank + v);
        }
        if (in_bar(bar, row, other + v) && bar.pattern.at(row, other + v).note == 0) put_off(bar, row, other + v);
    }
    bar.pad_bank = 1 - bar.pad_bank;
}

void pad_chords(Bar& bar, const Progression& p, int centre, int volume, int from, int to)
{
    const Chord* last = nullptr;
    for (int row = std::max(from, 0); row < end_row(bar, to); ++row) {
        const Chord& c = chord_at(p, row);
        if (&c != last) pad_chord(bar, row, c, centre, volume);
        last = &c;
    }
}

void bass_line(Bar& bar, const Progression& p, const std::string& rhythm, int low, int volume, int from, int to)
{
    if (rhythm.empty()) return;
    for (int row = std::max(from, 0); row < end_row(bar, to); ++row) {
        const Chord& c = chord_at(p, row);
        const int root = note_at_or_above(low, c.root);
        const char step = rhythm[std::size_t(row - from) % rhythm.size()];
        int note = 0;
        switch (step) {
        case 'R': note = root; break;
        case 'r': note = root; break;
        case 'O': note = root + 12; break;
        case '5': note = root + 7; break;
        case '3': note = root + c.intervals[1]; break;
        case '7': note = root + c.intervals.back(); break;
        case '-': put_off(bar, row, ch_bass); break;
        default: break;
        }
        if (note) put_note(bar, row, ch_bass, note, ins_bass, step == 'r' ? volume * 2 / 3 : volume);
    }
}

void arpeggio(Bar& bar, int channel, int instrument, const Progression& p, const std::string& figure, int low,
              int volume, int from, int to)
{
    if (figure.empty()) return;
    for (int row = std::max(from, 0); row < end_row(bar, to); ++row) {
        const char step = figure[std::size_t(row - from) % figure.size()];
        if (step == '-') put_off(bar, row, channel);
        if (step < '0' || step > '9') continue;
        const std::vector<int> tones = tones_upward(chord_at(p, row), low, 10);
        if (tones.empty()) continue;
        put_note(bar, row, channel, tones[std::min<std::size_t>(std::size_t(step - '0'), tones.size() - 1)],
                 instrument, volume);
    }
}

void melody(Bar& bar, int channel, int instrument, const Scale& s, const std::string& tokens, int from, int volume)
{
    std::istringstream in(tokens);
    std::string t;
    bool vibrato = false;  // once started, it goes on over the held rows
    for (int row = from; in >> t; ++row) {
        if (row >= bar.rows()) forge_fail("a melody runs past the end of order " + std::to_string(bar.order));
        if (t == ".") {
            if (vibrato) put_effect(bar, row, channel, effect_vibrato, 0);  // 400: the same again
            continue;
        }
        vibrato = t == "~";
        if (t == "-") { put_off(bar, row, channel); continue; }
        if (t == "~") { put_effect(bar, row, channel, effect_vibrato, 0x24); continue; }
        int alter = 0;
        if (t.back() == '#') { alter = 1; t.pop_back(); }
        else if (t.back() == 'b') { alter = -1; t.pop_back(); }
        char* end = nullptr;
        const long degree = std::strtol(t.c_str(), &end, 10);
        if (end == t.c_str() || *end != '\0') forge_fail("bad melody token '" + t + "'");
        put_note(bar, row, channel, scale_note(s, int(degree)) + alter, instrument, volume);
    }
}

void echo(Bar& bar, int from_channel, int to_channel, int delay, double gain, int pan)
{
    const int last = bar.rows() - 1;
    for (int row = last - delay; row >= 0; --row) {
        const XmCell src = bar.pattern.at(row, from_channel);
        if (src.note == 0) continue;
        if (src.note == note_off) { put_off(bar, row + delay, to_channel); continue; }
        const int v = src.volume >= 0x10 && src.volume <= 0x50 ? src.volume - 0x10 : 48;
        put_note(bar, row + delay, to_channel, src.note, src.instrument, int(std::lround(v * gain)));
        put_effect(bar, row + delay, to_channel, effect_panning, pan);
    }
    // a release the echo would repeat beyond the bar: the echo ends on the last row instead
    for (int row = last - delay + 1; row <= last; ++row)
        if (bar.pattern.at(row, from_channel).note == note_off) put_off(bar, last, to_channel);
}

void swing(Bar& bar, int channel, int ticks, int from, int to)
{
    for (int row = std::max(from, 0) | 1; row < end_row(bar, to); row += 2) {
        XmCell& c = bar.pattern.at(row, channel);
        if (c.note == 0 || c.effect != 0 || std::find(bar.cues.begin(), bar.cues.end(), row) != bar.cues.end()) continue;
        c.effect = effect_extended;
        c.param = std::uint8_t(0xD0 | std::clamp(ticks, 1, bar.speed - 1));
    }
}

void roll(Bar& bar, int channel, int instrument, int from, int to, int every, int v0, int v1, int note)
{
    const int span = std::max(1, to - from - 1);
    for (int row = from; row < to; row += std::max(1, every)) {
        const int v = v0 + (v1 - v0) * (row - from) / span;
        put_note(bar, row, channel, note, instrument, v);
    }
}

void fill(Bar& bar, int from, int to, const std::string& figure, int v0, int v1)
{
    if (figure.empty()) return;
    const int last = end_row(bar, to);
    const int span = std::max(1, last - from - 1);
    for (int row = std::max(from, 0); row < last; ++row) {
        for (int ch : {int(ch_kick), int(ch_snare), int(ch_hat)}) bar.pattern.at(row, ch) = XmCell{};
        const int v = v0 + (v1 - v0) * (row - from) / span;
        switch (figure[std::size_t(row - from) % figure.size()]) {
        case 'h': put_note(bar, row, ch_snare, 53, ins_snare, v); break;
        case 'm': put_note(bar, row, ch_snare, 47, ins_snare, v); break;
        case 'l': put_note(bar, row, ch_snare, 42, ins_snare, v); break;
        case 'k': put_note(bar, row, ch_kick, 49, ins_kick, v); break;
        case 'b':
            put_note(bar, row, ch_kick, 49, ins_kick, v);
            put_note(bar, row, ch_snare, 49, ins_snare, v);
            break;
        default: break;
        }
    }
}

void riser(Bar& bar, int from, int to, int semitones, int v0, int v1)
{
    // portamento moves 1/16 semitone per unit on every tick but a row's first
    const int sliding_ticks = std::max(1, (bar.speed - 1) * (end_row(bar, to) - from));
    const int rate = std::clamp(int(std::lround(16.0 * semitones / sliding_ticks)), 1, 255);
    put_note(bar, from, ch_fx, 37, ins_sweep, v0);
    const int span = std::max(1, to - from - 1);
    for (int row = from; row < end_row(bar, to); ++row) {
        put_effect(bar, row, ch_fx, effect_portamento_up, rate);
        if (row > from) put_volume_byte(bar, row, ch_fx, volume_byte(v0 + (v1 - v0) * (row - from) / span));
    }
    if (to < bar.rows() && bar.pattern.at(to, ch_fx).note == 0) put_volume_byte(bar, to, ch_fx, volume_byte(0));
}

void impact(Bar& bar, int row, int boom_note)
{
    put_note(bar, row, ch_kick, 49, ins_kick, 64);
    put_note(bar, row, ch_fx, boom_note, ins_boom, 64);
    put_note(bar, row, ch_crash, 49, ins_crash, 64);
    put_note(bar, row, ch_perc, 49, ins_clap, 60);
}

void release_all(Bar& bar, int row)
{
    for (int ch : {int(ch_bass), ch_pad + 0, ch_pad + 1, ch_pad + 2, ch_pad + 3, ch_pad + 4, ch_pad + 5, int(ch_lead),
                   int(ch_echo), int(ch_arp), int(ch_bell), int(ch_bell_echo)})
        if (in_bar(bar, row, ch) && bar.pattern.at(row, ch).note == 0) put_off(bar, row, ch);
}

void breath(Bar& bar, int row)
{
    for (int ch = 0; ch < channel_count; ++ch)
        if (ch != ch_control) put_cut(bar, row, ch);
}

Bar& start_bar(std::vector<Bar>& bars, const SongStructure& song)
{
    const int order = int(bars.size());
    if (order >= int(song.orders.size())) forge_fail(std::string("song '") + song.name + "' has too many orders");
    if (bars.empty()) bars.reserve(song.orders.size());  // references to earlier bars stay valid
    const int bank = bars.empty() ? 0 : bars.back().pad_bank;
    bars.emplace_back(song.orders[std::size_t(order)].rows, order);
    Bar& bar = bars.back();
    bar.pad_bank = bank;
    bar.speed = song.orders[std::size_t(order)].speed;
    bar.cues = song.orders[std::size_t(order)].cues;
    if (const int speed = speed_to_set(song, order)) put_effect(bar, 0, ch_control, effect_speed, speed);
    return bar;
}

XmModule assemble(const SongStructure& song, std::vector<Bar> bars, std::vector<XmInstrument> instruments)
{
    if (bars.size() != song.orders.size()) forge_fail(std::string("song '") + song.name + "' has the wrong order count");
    XmModule m;
    m.name = song.name;
    m.channels = channel_count;
    m.default_speed = song_default_speed;
    m.default_bpm = song.bpm;
    m.instruments = std::move(instruments);
    for (std::size_t i = 0; i < bars.size(); ++i) {
        if (bars[i].rows() != song.orders[i].rows || bars[i].order != int(i))
            forge_fail(std::string("song '") + song.name + "': an order's pattern has the wrong rows");
        m.orders.push_back(std::uint8_t(i));
        m.patterns.push_back(std::move(bars[i].pattern));
    }
    return m;
}
