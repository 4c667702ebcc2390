// composer.h -- a small vocabulary for writing music onto the XM pattern grid:
// notes, drum grids as strings, chords and progressions, bass lines, arpeggios,
// melodies in scale degrees, echoes, rolls and risers. The two songs are code
// over this vocabulary (song1.cpp, song2.cpp).
#pragma once

#include "song_structure.h"
#include "synth.h"
#include "xm.h"

#include <string>
#include <vector>

XmModule compose_song1();
XmModule compose_song2();

// The channel each part plays on (the same in both songs).
enum Channel : int {
    ch_kick,
    ch_snare,   // snare and clap
    ch_hat,     // closed and open hats choke each other
    ch_crash,
    ch_fx,      // sweeps and booms
    ch_bass,
    ch_pad,     // two banks of three voices, ch_pad .. ch_pad + 5: a new chord swells
                // in on one bank while the last one releases on the other
    ch_lead = ch_pad + 6,
    ch_echo,    // the lead's delayed copy
    ch_arp,
    ch_bell,
    ch_perc,    // a second snare or clap layer for rolls and accents
    ch_control, // speed changes
    ch_bell_echo,
    ch_spare,   // free; keeps the channel count even, as strict players want
    channel_count
};

constexpr int note_off = 97;
constexpr int effect_portamento_up = 1;
constexpr int effect_vibrato = 4;
constexpr int effect_panning = 8;
constexpr int effect_extended = 14;  // Exy; x = 0xD: note delay by y ticks
constexpr int effect_speed = 15;

// A chord: the root's pitch class (0 = C) and its tones in semitones above it.
struct Chord {
    int root = 0;
    std::vector<int> intervals;  // ascending, starting with 0
};

// From a name: root letter, '#' or 'b', then a quality: "Am", "F", "C#m7", "Bbmaj7",
// "Gsus4", "Dm9", "E7", "Fadd9" (no slash chords: the bass line picks its own notes).
Chord chord(const std::string& name);

// Chords with their length in rows: "Am:16 F:16 C:16 G:16".
struct TimedChord {
    Chord chord;
    int rows;
};
using Progression = std::vector<TimedChord>;
Progression progression(const std::string& text);
// The chord sounding at `row` (the progression repeats).
const Chord& chord_at(const Progression& p, int row);

// A key for melodies in scale degrees: degree 1 is the root; 8 the octave.
struct Scale {
    int tonic;                 // XM note of degree 1
    std::vector<int> steps;    // seven semitone offsets
};
Scale minor_scale(int tonic);
int scale_note(const Scale& s, int degree);  // degree may be < 1 or > 7

// The pattern of one order, with what every part needs to know about it.
struct Bar {
    XmPattern pattern;
    int order;
    int pad_bank = 0;      // the pad bank the next chord takes
    int speed = 6;         // ticks per row in this order
    std::vector<int> cues; // the rows the show acts on; swing leaves them on the beat
    int pad_spread = 0x30; // the pad's outer voices sit this far left and right of centre
    explicit Bar(int rows, int order_) : pattern(rows, channel_count), order(order_) {}
    int rows() const { return pattern.rows; }
};

// Appends the pattern of the song's next order: its rows from the structure, the
// speed effect where the order changes the speed, the pad bank carried over.
Bar& start_bar(std::vector<Bar>& bars, const SongStructure& song);

// volume -1 leaves the volume column empty (the sample's own volume). The pitched
// parts' volumes are raised together by the mix's gain (clamped at 64).
void put_note(Bar& bar, int row, int channel, int note, int instrument, int volume = -1);
void put_off(Bar& bar, int row, int channel);
// Silences a channel at once (volume 0), without the release a key-off starts.
void put_cut(Bar& bar, int row, int channel);
void put_effect(Bar& bar, int row, int channel, int effect, int param);
void put_volume_byte(Bar& bar, int row, int channel, int byte);

// Drum grid, one character per row, repeated over rows [from, to):
// 'X' accent (volume 64), 'x' hit at `volume`, 'o' ghost (half of it), '.' rest.
void drums(Bar& bar, int channel, const std::string& grid, int instrument, int volume, int from = 0,
           int to = -1, int note = 49);

// The progression as a three-voice pad, each chord voiced closely around
// `centre`, the voices spread across the stereo field.
void pad_chords(Bar& bar, const Progression& p, int centre, int volume, int from = 0, int to = -1);
// One chord on the pad at `row`, on the bank whose turn it is; the other bank is
// released.
void pad_chord(Bar& bar, int row, const Chord& c, int centre, int volume);

// A bass line over the progression: per row 'R' root, 'O' octave up, '5' fifth,
// '3' third, '7' the chord's top tone, '-' key-off, '.' hold. `low` is the lowest
// note the roots may take (they sit in the octave above it).
void bass_line(Bar& bar, const Progression& p, const std::string& rhythm, int low, int volume, int from = 0,
               int to = -1);

// Arpeggio over the progression: per row a digit picks the n-th chord tone counted
// upward from `low` ('0' the lowest), '.' holds, '-' key-off.
void arpeggio(Bar& bar, int channel, int instrument, const Progression& p, const std::string& figure, int low,
              int volume, int from = 0, int to = -1);

// A melody: space-separated tokens, one per row, from row `from`: a scale degree
// ("1", "5", "10", "-2"; suffix '#' or 'b' raises or lowers it), '.' hold,
// '~' hold with vibrato (going on over the '.' after it), '-' key-off. A melody
// longer than the bar is a composing error and stops the forge.
void melody(Bar& bar, int channel, int instrument, const Scale& s, const std::string& tokens, int from,
            int volume);
// Copies a channel's notes `delay` rows later onto another channel at `gain`
// (a tape echo written into the pattern), panned to `pan`. A key-off that would fall beyond the
// bar lands on its last row, so no echoed note outlives its source by more.
void echo(Bar& bar, int from_channel, int to_channel, int delay, double gain, int pan = 0xC8);
// Swing: the notes on the odd rows of [from, to) on `channel` come `ticks` late
// (note delay), except on the bar's cue rows, which stay on the beat.
void swing(Bar& bar, int channel, int ticks, int from = 0, int to = -1);

// A roll on `channel` from row `from` to `to` (exclusive): a hit every `every`
// rows, the volume ramping from `v0` to `v1`.
void roll(Bar& bar, int channel, int instrument, int from, int to, int every, int v0, int v1, int note = 49);
// A drum fill over rows [from, to), replacing the beat there: per row 'h', 'm', 'l'
// the snare tuned high, middle or low (like toms), 'k' kick, 'b' kick and snare,
// '.' rest; the volume ramps from `v0` to `v1`.
void fill(Bar& bar, int from, int to, const std::string& figure, int v0, int v1);
// The noise sweep from `from` to `to`: slid up by about `semitones` in all while
// the volume climbs from `v0` to `v1`, cut at `to`.
void riser(Bar& bar, int from, int to, int semitones, int v0, int v1);
// A big hit on `row`: kick, boom, crash and clap together.
void impact(Bar& bar, int row, int boom_note = 49);
// Key-off on every pitched channel (bass, pads, lead, echoes, arpeggio, bell) that has
// no note of its own on `row`: the harmony ends there and releases.
void release_all(Bar& bar, int row);
// Every channel silent at once on `row` (volume 0, no release tails): a breath
// before a hit.
void breath(Bar& bar, int row);

// The module around the bars: header fields, instruments, one pattern per order.
XmModule assemble(const SongStructure& song, std::vector<Bar> bars, std::vector<XmInstrument> instruments);
