// song2.cpp -- the second song, in E minor, on its own voices (synth.cpp's second set) and
// its own broken, swung beat: the fleet's accents and the chase's build, the tunnel's break,
// a mosaic that rests and a flash that lands hard, the credits in the relative major, a dark
// Phrygian blob, particles floating on the theme slowed down, the chessboard's turn, the grit
// at full drive, and an end theme that climbs once more and resolves to E minor.
//
// The theme is a syncopated cell (notes 3, 3 and 4 rows apart) falling through a chord; it
// comes back slowed down, in eighths, on other chords and shifted a third up.
#include "composer.h"

namespace {

constexpr int bass_low = 22;    // roots from A-1 upward: E sits on E-2
constexpr int pad_centre = 55;  // around F#-4
constexpr int arp_low = 53;     // from E-4 upward
constexpr int sub_e = 44;       // the sub drop (A-1 on C-4) played on E-1
// The pad's level: low where the picture rests, near full elsewhere (the arc rises and falls
// more with what plays over the pad than with the pad itself).
constexpr int pad_rest = 14, pad_mid = 25, pad_full = 26;
const Scale key = minor_scale(53);       // E-4
const Scale high_key = minor_scale(65);  // E-5

// ---- the chords (each used in at most three orders) ----
const Progression fleet_chords = progression("Em9:16 Cmaj7:16 Am9:16 B7sus4:8 B7:8");
const Progression drift_chords = progression("Cmaj7:16 Am9:16 Fmaj7:32");
const Progression tunnel_chords = progression("Em:16 D:16 Cmaj7:16 B7:16");
const Progression mosaic_chords = progression("Em9:16 Cmaj9:16 Am9:16 B7sus4:16");
const Progression theme_chords = progression("Em:16 C:16 D:16 B7:16");
const Progression answer_chords = progression("Em:16 Cmaj7:16 Am7:16 B7:8 Em:8");
const Progression credits_chords = progression("G:16 D:16 Em7:16 Cmaj7:16");
const Progression credits_turn = progression("Am7:16 D:16 Gmaj7:16 B7:16");
const Progression scroller_chords = progression("Em9:16 Cmaj9:18");
const Progression blob_chords = progression("Em:16 F:16 Dm:16 Em:16");
const Progression blob_turn = progression("Em:8 F:8 G:8 F:8 Em:8 F:8 Dm:8 Em:8");
const Progression blob_peak = progression("Am:16 F:16 Em:16 B7:16");
const Progression particle_chords = progression("Cmaj9:32 Gadd9:32");
const Progression particle_turn = progression("Am9:32 B7:12 Em9:20");
const Progression chess_chords = progression("Am:8 C:8 D:8 Em:8 C:8 D:8 B7sus4:8 B7:8");
const Progression chess_turn = progression("Em:8 G:8 Am:8 C:8 Am:8 F:8 B7sus4:8 B7:8");
const Progression grit_chords = progression("Em:8 C:8 D:8 B7:8");
const Progression grit_turn = progression("Am:16 Em:16 F:16 B7:16");
const Progression end_open = progression("Cmaj7:32 Em9:32");
const Progression end_rise = progression("Am9:16 D:16 Gmaj7:16 Cmaj7:16");
const Progression end_swell = progression("Am7:16 B7sus4:16 Em9:16 Cmaj9:16");
const Progression end_peak = progression("Cmaj7:16 Am9:16 D:16 B7:16");
const Progression end_fall = progression("Am9:16 Em9:16 Cmaj7:16 B7sus4:8 B7:8");

// ---- the tunes (one token per row) ----
// The theme: the call falls through each chord in the 3-3-4 cell and ends on the dominant.
const char* const theme =
    "8 . . 7 . . 5 . . . 3 . 5 . . . "
    "6 . . 5 . . 3 . . . 2 . 3 . . - "
    "7 . . 6 . . 4 . . . 2 . 4 . 7 . "
    "9 . . 8 . . 7# . . . 5 . ~ . . -";
// Its answer climbs in the same cell and comes home to E.
const char* const theme_answer =
    "5 . . 8 . . 10 . . . 9 . 8 . . . "
    "6 . . 8 . . 10 . . . 12 . 10 . . . "
    "11 . . 10 . . 8 . . . 6 . 8 . . . "
    "7# . . 9 . . 8 . . . . . ~ . . -";
// The theme slowed to half speed over the particles' major-seventh chords.
const char* const theme_slow =
    "8 . . . . . 7 . . . . . 5 . . . . . . . 3 . . . 5 . . . . . . . "
    "6 . . . . . 5 . . . . . 3 . . . . . . . 2 . . . 3 . . . . . . -";
// The answer slowed down, for the lead over the particles' turn.
const char* const answer_slow =
    "5 . . . . . 8 . . . . . 10 . . . . . . . 9 . . . 8 . . . . . . . "
    "7# . . . . . 9 . . . . . 8 . . . . . . . . . . . ~ . . . . . . -";
// The theme in eighths, a riff for the grit.
const char* const theme_riff =
    "8 . 7 . 5 . 3 5 6 . 5 . 3 . 2 3 "
    "7 . 6 . 4 . 2 4 9 . 8 . 7# . 5 . "
    "8 . 7 . 5 . 3 5 6 . 5 . 3 . 2 3 "
    "4 . 5 . 6 . 7 . 9 . . . ~ . . -";
// The theme a third up on new chords: the end theme's peak.
const char* const theme_raised =
    "10 . . 9 . . 7 . . . 5 . 7 . . . "
    "8 . . 7 . . 5 . . . 4 . 5 . . . "
    "9 . . 8 . . 6 . . . 4 . 6 . 9 . "
    "11 . . 10 . . 9 . . . 7# . ~ . . -";
// The credits' tune in the relative major, bouncing, and its answer.
const char* const credits_tune =
    "10 . 12 . 10 . . 9 . . 7 . 5 . . . "
    "9 . 11 . 9 . . 7 . . 6 . 5 . . . "
    "8 . 10 . 8 . . 7 . . 5 . 3 . . . "
    "6 . 8 . 7 . . 5 . . ~ . . . . -";
const char* const credits_answer =
    "11 . 12 . 11 . . 10 . . 8 . 6 . . . "
    "9 . 11 . 9 . . 8 . . 7 . 6 . . . "
    "10 . 9 . 7 . . 5 . . 7 . 9 . . . "
    "11 . . . 10 . . . 9 . . . ~ . . -";
// The blob's low Phrygian line (2b is F), in the theme's cell.
const char* const blob_line =
    "1 . . 2b . . 1 . . . 5 . 4 . 2b . "
    "1 . . 2b . . 3 . . . 2b . 1 . . . "
    "4 . . 3 . . 2b . . . 1 . 0 . . . "
    "1 . . . . . . . ~ . . . . . . -";
const char* const blob_bells =
    "8 . . 9b . . 10 . . . 9b . 8 . . . 12 . . 11 . . 10 . . . 9b . 8 . . - "
    "8 . . 9b . . 10 . . . 12 . 13 . . . 12 . . 10 . . 9b . . . . . ~ . . -";
const char* const blob_cry =
    "12 . . 11 . . 10 . . . 9b . 8 . . . "
    "13 . . 12 . . 10 . . . 9b . 10 . . . "
    "12 . . 10 . . 8 . . . 7 . 8 . . . "
    "11 . . 10 . . 9 . . . 7# . ~ . . -";
// Lines that rise while the chessboard's camera backs away and fall when it returns.
const char* const chess_bells =
    "1 . . 3 . . 5 . . . 8 . . . . . 3 . . 5 . . 8 . . . 10 . . . . . "
    "12 . . 10 . . 8 . . . 5 . . . . . 10 . . 8 . . 5 . . . 3 . . . . -";
const char* const chess_tune =
    "3 . 5 . 6 . 7 . . . 8 . . . . . 7 . 8 . 9 . 10 . . . 12 . . . . . "
    "12 . 10 . 9 . 8 . . . 7 . . . . . 6 . 5 . 4 . 3 . . . 2 . . . . -";
// The grit's call (lead) and answer (mallet).
const char* const grit_call =
    "11 . 10 . 8 . . . . . . . . . . - 12 . 10 . 8 . . . . . . . . . . - "
    "13 . 12 . 10 . . . . . . . . . . - 11 . 9 . 7# . . . . . . . . . . -";
const char* const grit_reply =
    ". . . . . . . . 1 . 3 . 5 . . . . . . . . . . . 5 . 3 . 1 . . . "
    ". . . . . . . . 3 . 5 . 6 . . . . . . . . . . . 7# . 5 . 2 . . -";
// The end theme: long notes, then a lead that answers and grows.
const char* const end_tune =
    "3 . . . . . . . 5 . . . 7 . . . 8 . . . . . . . 7 . . . 5 . . . "
    "3 . . . . . . . 2 . . . 1 . . . 2 . . . . . . . ~ . . . . . . -";
const char* const end_answer =
    "8 . . . . . . . 7 . . . 5 . . . 9 . . . . . . . 8 . . . 7 . . . "
    "5 . . . . . . . 7 . . . 10 . . . 9 . . . . . . . ~ . . . . . . -";
const char* const end_swell_tune =
    "3 . . . 4 . 5 . 7 . . . 8 . . . 8 . . . 9 . 8 . 4 . . . . . . . "
    "5 . . . 7 . 9 . 10 . . . 9 . . . 7 . . . 6 . 5 . 2 . . . ~ . . -";
const char* const end_high =
    "12 . . . . . . . . . . . . . . . 13 . . . . . . . 12 . . . . . . . "
    "10 . . . . . . . . . . . 12 . . . 11 . . . . . . . ~ . . . . . . -";

// The fleet's signal on the mallet: falling from B, turning on the leading note.
const char* const fleet_call = "12 . . . 11 . 10 . 9 . . . . . . . 8 . . . 9 . 10 . 7# . . . . . . -";

// ---- the beat ----

// One drum part of a beat: a grid over the bar's sixteen rows (drums' notation).
struct DrumLine {
    int channel;
    const char* grid;
    int instrument;
    int volume;
};

// Writes a beat's lines over [from, to), keeping to the bar's sixteen-row grid even when it starts
// inside a bar, with the hats and ghost notes swung by a tick.
void beat(Bar& bar, std::initializer_list<DrumLine> lines, int from, int to)
{
    const int start = from - from % 16;
    for (const DrumLine& line : lines) drums(bar, line.channel, line.grid, line.instrument, line.volume, start, to);
    swing(bar, ch_hat, 1, start, to);
    swing(bar, ch_perc, 1, start, to);
    for (int row = start; row < from; ++row)
        for (const DrumLine& line : lines) bar.pattern.at(row, line.channel) = XmCell{};
}

// The song's own beat: a broken kick (the one, the "and" of two, the second sixteenth of
// three), a light backbeat, ghost snares and swung sixteenth hats.
void broken_beat(Bar& bar, int kick, int hats, int from = 0, int to = 64)
{
    beat(bar, {{ch_kick, "x.....x...x.....", ins_kick, kick}, {ch_snare, "....x.......x...", ins_snare, 34},
               {ch_perc, "..o......o...o..", ins_snare, 30}, {ch_hat, "xoxoxoxoxoxoxoxo", ins_closed_hat, hats}},
         from, to);
}

// The blob's heavier beat: kicks in pairs, the hats in threes across the four beats.
void blob_beat(Bar& bar, int kick, int hats, int from = 0, int to = 64)
{
    beat(bar, {{ch_kick, "x.....x.x.....x.", ins_kick, kick}, {ch_perc, ".o...o....o..o..", ins_snare, 28},
               {ch_hat, "x.ox.ox.x.ox.ox.", ins_closed_hat, hats}},
         from, to);
}

// The grit's drive: a busy kick, a hard clap backbeat, ghosts and an open hat before each one.
void grit_beat(Bar& bar, int kick, int hats, int from = 0, int to = 64)
{
    beat(bar, {{ch_kick, "x..x..x...x..x..", ins_kick, kick}, {ch_snare, "....X.......X...", ins_clap, 64},
               {ch_perc, "..o..o.o...o..oo", ins_snare, 32}, {ch_hat, "xoxoxoxoxoxoxoxo", ins_closed_hat, hats},
               {ch_hat, "..............x.", ins_open_hat, hats}},
         from, to);
}

// Half time: a kick on one and the "and" of three, the snare on three.
void half_time(Bar& bar, int kick, int hats, int from = 0, int to = 64)
{
    beat(bar, {{ch_kick, "x.........x.....", ins_kick, kick}, {ch_snare, "........x.......", ins_snare, 36},
               {ch_hat, "x.o.x.oox.o.x.o.", ins_closed_hat, hats}},
         from, to);
}

// A moment of space on the row before every cue (the last row of the order before, for a
// cue on row 0): no hat and no ghost note there, so the hit that follows stands out.
void space_before_cues(std::vector<Bar>& bars)
{
    for (std::size_t i = 0; i < bars.size(); ++i)
        for (int row : bars[i].cues) {
            if (row == 0 && i == 0) continue;
            Bar& bar = row > 0 ? bars[i] : bars[i - 1];
            const int before = row > 0 ? row - 1 : bar.rows() - 1;
            for (int ch : {int(ch_hat), int(ch_perc)})
                if (XmCell& c = bar.pattern.at(before, ch); c.note != 0) c = XmCell{};
        }
}

// Clap, snare and open hat on rows 7, 15, ..., 63: the show's flashes and snaps.
void accents_on_sevens(Bar& bar, int from = 0, int to = 64)
{
    drums(bar, ch_snare, ".......X", ins_clap, 64, from, to);
    drums(bar, ch_perc, ".......x", ins_snare, 50, from, to);
    drums(bar, ch_hat, ".......x", ins_open_hat, 54, from, to);
}

// A ride: the crash, softly, on the beats, a wash of air over the drive (a crash already
// written stays).
void ride(Bar& bar, int volume, int from = 0, int to = 64)
{
    for (int row = from; row < to; row += 4)
        if (bar.pattern.at(row, ch_crash).note == 0) put_note(bar, row, ch_crash, 49, ins_crash, volume);
}

// A cue that is not a full hit: crash, clap and a low thump.
void accent(Bar& bar, int row, int crash = 52)
{
    put_note(bar, row, ch_crash, 49, ins_crash, crash);
    put_note(bar, row, ch_perc, 49, ins_clap, 60);
    put_note(bar, row, ch_fx, sub_e, ins_boom, 36);
}

void lead_with_echo(Bar& bar, const Scale& s, const char* tune, int volume, int from = 0)
{
    melody(bar, ch_lead, ins_lead, s, tune, from, volume);
    echo(bar, ch_lead, ch_echo, 3, 0.4, 0xA0);
}

void bell_with_echo(Bar& bar, const Scale& s, const char* tune, int volume, int from = 0)
{
    melody(bar, ch_bell, ins_bell, s, tune, from, volume);
    echo(bar, ch_bell, ch_bell_echo, 3, 0.45, 0x60);
}

// ---- the orders ----

// Order 0: the fleet: the beat from the first row, accents on the sevens.
void fleet(Bar& bar)
{
    put_note(bar, 0, ch_crash, 49, ins_crash, 48);
    put_note(bar, 0, ch_fx, sub_e, ins_boom, 40);
    broken_beat(bar, 54, 54);
    accents_on_sevens(bar);
    bass_line(bar, fleet_chords, "R.....R...R..O.-", bass_low, 50);
    pad_chords(bar, fleet_chords, pad_centre, pad_mid);
    arpeggio(bar, ch_arp, ins_pluck, fleet_chords, "0.2.1.3.2.4.3.1.", arp_low, 40);
    bell_with_echo(bar, high_key, fleet_call, 28, 32);
}

// Order 1: the drift thins out and slows; from row 38 the chase builds to the white-out on 55.
void fleet_chase(Bar& bar)
{
    drums(bar, ch_kick, "x...............", ins_kick, 40, 0, 32);
    drums(bar, ch_hat, "..x...x.", ins_closed_hat, 26, 0, 36);
    bass_line(bar, drift_chords, "R...............", bass_low, 32, 0, 36);
    put_off(bar, 36, ch_bass);
    pad_chords(bar, drift_chords, pad_centre, pad_rest, 0, 38);
    melody(bar, ch_bell, ins_bell, high_key, "5 . . . . . . . 4 . . . . . . . 3 . . . . . . . 2b . . . . . -", 0, 26);
    // the chase
    impact(bar, 38, sub_e);
    pad_chord(bar, 38, chord("B7sus4"), pad_centre, pad_full);
    drums(bar, ch_kick, "x.x.", ins_kick, 56, 40, 48);
    drums(bar, ch_kick, "x", ins_kick, 58, 48, 55);
    roll(bar, ch_snare, ins_snare, 40, 48, 2, 30, 44);
    roll(bar, ch_snare, ins_snare, 48, 54, 1, 44, 62);
    drums(bar, ch_hat, "x", ins_closed_hat, 44, 39, 54);
    riser(bar, 39, 54, 24, 20, 56);
    bass_line(bar, progression("B:16"), "RO", bass_low, 46, 39, 55);
    arpeggio(bar, ch_arp, ins_pluck, progression("B7sus4:16"), "0123456765432101", arp_low, 34, 39, 55);
    // white
    impact(bar, 55, sub_e);
    put_note(bar, 55, ch_hat, 49, ins_open_hat, 56);
    put_note(bar, 55, ch_bass, 29, ins_bass, 48);
    pad_chord(bar, 55, chord("Emadd9"), pad_centre, pad_full);
    put_note(bar, 55, ch_lead, scale_note(key, 8), ins_lead, 40);
    put_off(bar, 55, ch_arp);
    put_off(bar, 61, ch_lead);
    put_off(bar, 62, ch_bass);
}

// Order 2: the tunnel: a harder drive under the flashes; the break on row 47 leaves the
// accents, the pad and the mallet.
void tunnel(Bar& bar)
{
    put_note(bar, 0, ch_crash, 49, ins_crash, 50);
    drums(bar, ch_kick, "x.....x.x.....x.", ins_kick, 56, 0, 47);
    drums(bar, ch_hat, "xoxoxoxoxoxoxoxo", ins_closed_hat, 58, 0, 47);
    swing(bar, ch_hat, 1, 0, 47);
    accents_on_sevens(bar);
    bass_line(bar, tunnel_chords, "R-.R..R-R.RO.-R.", bass_low, 50, 0, 47);
    pad_chords(bar, tunnel_chords, pad_centre, pad_mid);
    arpeggio(bar, ch_arp, ins_pluck, tunnel_chords, "0123", arp_low, 38, 0, 47);
    // the break
    put_note(bar, 47, ch_crash, 49, ins_crash, 60);
    put_note(bar, 47, ch_fx, sub_e, ins_boom, 50);
    put_off(bar, 47, ch_bass);
    put_off(bar, 47, ch_arp);
    bell_with_echo(bar, high_key, "12 . . 10 . . 9 . . . . . 7# . . -", 30, 48);
}

// Order 3: the mosaic rests on the pad and scattered plucks; row 32 turns to the rings:
// hats, bass and a climbing arpeggio build to a breath before the flash.
void logo_mosaic(Bar& bar)
{
    pad_chords(bar, mosaic_chords, pad_centre, pad_rest);
    arpeggio(bar, ch_arp, ins_pluck, mosaic_chords, "4.....7...2.....6.....3...5.....", arp_low, 24, 0, 32);
    // the rings
    accent(bar, 32, 50);
    put_note(bar, 32, ch_hat, 49, ins_open_hat, 50);
    drums(bar, ch_hat, "xoxo", ins_closed_hat, 40, 33, 60);
    swing(bar, ch_hat, 1, 33, 60);
    drums(bar, ch_kick, "x...", ins_kick, 50, 36, 60);
    bass_line(bar, mosaic_chords, "R.RO", bass_low, 38, 32, 60);
    arpeggio(bar, ch_arp, ins_pluck, mosaic_chords, "01234321", arp_low, 30, 33, 60);
    roll(bar, ch_snare, ins_snare, 48, 56, 2, 26, 42);
    roll(bar, ch_snare, ins_snare, 56, 62, 1, 42, 60);
    riser(bar, 40, 62, 24, 12, 52);
    breath(bar, 62);
}

// Order 4: the logo's flash: the biggest hit, then the theme on the lead.
void logo_flash(Bar& bar)
{
    broken_beat(bar, 58, 52, 2);
    ride(bar, 26, 16);
    impact(bar, 0, sub_e);
    put_note(bar, 0, ch_snare, 49, ins_snare, 64);
    put_note(bar, 0, ch_hat, 49, ins_open_hat, 64);
    put_note(bar, 0, ch_bass, 29, ins_bass, 50);
    bass_line(bar, theme_chords, "R.....R.O.R..5R.", bass_low, 48, 4);
    pad_chords(bar, theme_chords, pad_centre, pad_full);
    lead_with_echo(bar, key, theme, 42);
}

// Order 5: the smeared cross-fade and the credits' title: the answer on the mallet.
void credits_title(Bar& bar)
{
    put_note(bar, 0, ch_crash, 49, ins_crash, 44);
    broken_beat(bar, 50, 46);
    bass_line(bar, answer_chords, "R.....R...R.O...", bass_low, 48);
    pad_chords(bar, answer_chords, pad_centre, pad_mid);
    bell_with_echo(bar, high_key, theme_answer, 34);
    arpeggio(bar, ch_arp, ins_pluck, answer_chords, "0...2...1...3...", arp_low, 32);
    fill(bar, 59, 63, "hhml", 36, 54);
}

// Orders 6 and 7: the names slide in on rows 0 and 32; the credits' tune in G major.
void credits_names(Bar& bar, bool second)
{
    for (int row : {0, 32}) accent(bar, row, 56);
    drums(bar, ch_kick, "x.....x.x...x...", ins_kick, 56);
    drums(bar, ch_snare, "....x.......x...", ins_snare, 44);
    drums(bar, ch_hat, "x.oxx.ox", ins_closed_hat, 50);
    drums(bar, ch_perc, ".........o....o.", ins_snare, 30);
    swing(bar, ch_hat, 1);
    const Progression& chords = second ? credits_turn : credits_chords;
    bass_line(bar, chords, second ? "R..R..O.R..R.5.O" : "R..R..O.R.....5.", bass_low, 46);
    pad_chords(bar, chords, pad_centre, second ? pad_full : pad_mid);
    lead_with_echo(bar, key, second ? credits_answer : credits_tune, 40);
    if (second) {
        bell_with_echo(bar, high_key, "5 . . . . . . . . . . . . . . . 4 . . . . . . . . . . . . . . . "
                                      "3 . . . . . . . . . . . . . . . 7# . . . . . . . . . . . . . . -", 24);
        put_note(bar, 63, ch_crash, 49, ins_crash, 30);
    } else {
        arpeggio(bar, ch_arp, ins_pluck, chords, "0.2.1.3.", arp_low, 28);
    }
}

// Order 8: under the scroller the choir and the mallet alone; the blob's groove comes in on
// row 34 and snaps on 39, 47, 55 and 63.
void scroller_blob(Bar& bar)
{
    release_all(bar, 0);  // the credits' bass and lines end where the scroller starts
    pad_chords(bar, scroller_chords, pad_centre, pad_rest - 2, 0, 34);
    bell_with_echo(bar, high_key, "12 . . . . . 10 . . . . . 9 . . . 8 . . . . . . . . . . . . . . -", 22);
    riser(bar, 22, 34, 24, 8, 40);
    blob_beat(bar, 58, 50, 36);
    accents_on_sevens(bar, 32);
    put_note(bar, 34, ch_kick, 49, ins_kick, 64);
    put_note(bar, 34, ch_fx, sub_e, ins_boom, 56);
    put_note(bar, 34, ch_crash, 49, ins_crash, 50);
    pad_chords(bar, blob_chords, pad_centre, pad_full, 34);
    bass_line(bar, blob_chords, "R..R..R.O..R.R5.", bass_low, 50, 34);
    release_all(bar, 63);
}

// Orders 9-11: the blob: snaps on the sevens, the line moving from the lead to the mallet
// and up to a cry over the last order.
void blob(Bar& bar, int variant)
{
    const Progression& chords = variant == 0 ? blob_chords : variant == 1 ? blob_turn : blob_peak;
    blob_beat(bar, 58, variant == 2 ? 58 : 52);
    accents_on_sevens(bar);
    drums(bar, ch_crash, "...............x", ins_crash, 36);
    bass_line(bar, chords, variant == 0 ? "R..R..R.O..R.R5." : "R.RR.OR.R.RR.5R.", bass_low, 50);
    pad_chords(bar, chords, pad_centre, pad_full);
    if (variant == 0) {
        lead_with_echo(bar, key, blob_line, 44);
    } else if (variant == 1) {
        bell_with_echo(bar, key, blob_bells, 34);
        arpeggio(bar, ch_arp, ins_pluck, chords, "0.1.2.3.", arp_low, 30);
    } else {
        lead_with_echo(bar, key, blob_cry, 41);
        arpeggio(bar, ch_arp, ins_pluck, chords, "0.2.4.2.", arp_low, 30);
        release_all(bar, 63);
    }
}

// Orders 12-13: the particles (or the voxels): floating. The theme slowed down on the
// mallet over bare hats; then a half-time pulse under the slowed answer.
void particles(Bar& bar, bool second)
{
    const Progression& chords = second ? particle_turn : particle_chords;
    if (!second) {
        pad_chords(bar, chords, pad_centre, pad_rest - 2);
        put_note(bar, 0, ch_fx, sub_e, ins_boom, 24);
        drums(bar, ch_hat, "..x...x.x..x..x.", ins_closed_hat, 22);
        swing(bar, ch_hat, 2);
        bell_with_echo(bar, high_key, theme_slow, 26);
        arpeggio(bar, ch_arp, ins_pluck, chords, "0...", arp_low + 12, 18);
    } else {
        pad_chords(bar, chords, pad_centre, pad_rest);
        half_time(bar, 42, 26);
        bass_line(bar, chords, "R...............r.......R.....-.", bass_low, 36);
        arpeggio(bar, ch_arp, ins_pluck, chords, "0246", arp_low, 22);
        lead_with_echo(bar, key, answer_slow, 30);
        fill(bar, 60, 64, "h.mb", 30, 50);
    }
}

// Orders 14-15: the chessboard: lines climb while the camera backs away, turn on row 32 and
// fall while it returns.
void chessboard(Bar& bar, bool second)
{
    const Progression& chords = second ? chess_turn : chess_chords;
    put_note(bar, 0, ch_crash, 49, ins_crash, 44);
    broken_beat(bar, 54, 48);
    riser(bar, 20, 31, 24, 12, 42);
    impact(bar, 32, sub_e);
    bass_line(bar, chords, second ? "R.RO..R." : "R...R.O.", bass_low, 50);
    pad_chords(bar, chords, pad_centre, pad_mid);
    arpeggio(bar, ch_arp, ins_pluck, chords, "01234567", arp_low, 30, 0, 32);
    arpeggio(bar, ch_arp, ins_pluck, chords, "76543210", arp_low, 30, 32, 64);
    if (second) lead_with_echo(bar, key, chess_tune, 38);
    else bell_with_echo(bar, key, chess_bells, 32);
}

// Orders 16-18: the grit at full drive: the theme as a riff, a call and reply, then the
// theme itself an octave up.
void grit(Bar& bar, int variant)
{
    put_note(bar, 0, ch_crash, 49, ins_crash, 54);
    grit_beat(bar, 58, 56);
    ride(bar, 30);
    const Progression& chords = variant == 1 ? grit_turn : variant == 2 ? theme_chords : grit_chords;
    bass_line(bar, chords, "R.RO.RR.R.RO.R5.", bass_low, 50);
    pad_chords(bar, chords, pad_centre, pad_full);
    if (variant == 0) {
        lead_with_echo(bar, key, theme_riff, 44);
        arpeggio(bar, ch_arp, ins_pluck, chords, "0123", arp_low, 28);
    } else if (variant == 1) {
        lead_with_echo(bar, key, grit_call, 40);
        bell_with_echo(bar, high_key, grit_reply, 28);
        fill(bar, 60, 64, "hhml", 40, 60);
    } else {
        lead_with_echo(bar, high_key, theme, 40);
        arpeggio(bar, ch_arp, ins_pluck, chords, "0.1.2.3.", arp_low + 12, 28);
        roll(bar, ch_perc, ins_snare, 56, 62, 1, 24, 52);
        release_all(bar, 62);
        breath(bar, 63);
    }
}

// Orders 19-26: the end theme: it starts from the choir and the mallet, grows back to the
// full beat, peaks on the theme raised a third, falls away, and resolves to E minor.
void end_theme(Bar& bar, int part)
{
    switch (part) {
    case 0:
        accent(bar, 0, 50);
        pad_chords(bar, end_open, pad_centre, pad_rest - 2);
        bell_with_echo(bar, key, end_tune, 28);
        break;
    case 1:
        put_note(bar, 0, ch_crash, 49, ins_crash, 30);
        drums(bar, ch_kick, "x.......", ins_kick, 38);
        drums(bar, ch_hat, "..x...x.x..x..x.", ins_closed_hat, 26);
        swing(bar, ch_hat, 2);
        pad_chords(bar, end_rise, pad_centre, pad_rest);
        bass_line(bar, end_rise, "R...............", bass_low, 32);
        arpeggio(bar, ch_arp, ins_pluck, end_rise, "0.1.2.3.", arp_low, 22);
        lead_with_echo(bar, key, end_answer, 28);
        break;
    case 2:
        put_note(bar, 0, ch_crash, 49, ins_crash, 38);
        half_time(bar, 48, 40);
        pad_chords(bar, end_swell, pad_centre, pad_mid - 2);
        bass_line(bar, end_swell, "R.......R...5...", bass_low, 40);
        arpeggio(bar, ch_arp, ins_pluck, end_swell, "0.2.1.3.", arp_low, 26);
        lead_with_echo(bar, key, end_swell_tune, 34);
        fill(bar, 56, 64, "h..hm.lb", 30, 52);
        break;
    case 3:
        put_note(bar, 0, ch_crash, 49, ins_crash, 46);
        broken_beat(bar, 52, 48);
        pad_chords(bar, answer_chords, pad_centre, pad_mid);
        bass_line(bar, answer_chords, "R.....R...R.O...", bass_low, 48);
        lead_with_echo(bar, key, theme_answer, 38);
        arpeggio(bar, ch_arp, ins_pluck, answer_chords, "0.1.2.3.", arp_low, 28);
        break;
    case 4:
        grit_beat(bar, 58, 54, 1);
        ride(bar, 28);
        impact(bar, 0, sub_e);
        pad_chords(bar, end_peak, pad_centre, pad_full);
        bass_line(bar, end_peak, "R.RO.RR.R.RO.R5.", bass_low, 50);
        lead_with_echo(bar, key, theme_raised, 44);
        bell_with_echo(bar, high_key, theme_raised, 24);
        break;
    case 5:
        put_note(bar, 0, ch_crash, 49, ins_crash, 54);
        grit_beat(bar, 58, 54);
        ride(bar, 28);
        pad_chords(bar, theme_chords, pad_centre, pad_full);
        bass_line(bar, theme_chords, "R.RO.RR.R.RO.R5.", bass_low, 50);
        lead_with_echo(bar, high_key, end_answer, 38);
        bell_with_echo(bar, high_key, end_high, 24);
        fill(bar, 60, 64, "hmlb", 40, 60);
        break;
    case 6:
        put_note(bar, 0, ch_crash, 49, ins_crash, 44);
        half_time(bar, 44, 28, 0, 32);
        pad_chords(bar, end_fall, pad_centre, pad_rest);
        bass_line(bar, end_fall, "R.......R.......", bass_low, 36, 0, 48);
        put_off(bar, 48, ch_bass);
        lead_with_echo(bar, key, "8 . . 7 . . 5 . . . . . . . . - . . . . . . . . . . . . . . . . "
                                 "6 . . 5 . . 3 . . . . . . . . -", 30);
        arpeggio(bar, ch_arp, ins_pluck, end_fall, "0...2...1...3...", arp_low, 22);
        break;
    default:
        // the cadence: B7sus4, B7, then E minor with a ninth, left to die away
        pad_chord(bar, 0, chord("B7sus4"), pad_centre, pad_rest);
        pad_chord(bar, 12, chord("B7"), pad_centre, pad_rest);
        put_note(bar, 0, ch_bass, 24, ins_bass, 32);
        melody(bar, ch_bell, ins_bell, key, "8 . . . . . 9 . . . . . 11 . . . . . 9 . . . . . 8", 0, 28);
        put_note(bar, 24, ch_fx, sub_e, ins_boom, 24);
        put_note(bar, 24, ch_bass, 29, ins_bass, 32);
        put_note(bar, 24, ch_arp, scale_note(high_key, 1), ins_pluck, 24);
        pad_chord(bar, 24, chord("Emadd9"), pad_centre, pad_rest);
        put_off(bar, 32, ch_bass);
        release_all(bar, 42);
        put_off(bar, 42, ch_fx);
        break;
    }
}

// The next order's bar, the pad's voices kept near the centre (they carry much of the level).
Bar& next_bar(std::vector<Bar>& bars, const SongStructure& song)
{
    Bar& bar = start_bar(bars, song);
    bar.pad_spread = 0x18;
    return bar;
}

}  // namespace

XmModule compose_song2()
{
    const SongStructure& song = song_structure(2);
    std::vector<Bar> bars;
    fleet(next_bar(bars, song));
    fleet_chase(next_bar(bars, song));
    tunnel(next_bar(bars, song));
    logo_mosaic(next_bar(bars, song));
    logo_flash(next_bar(bars, song));
    credits_title(next_bar(bars, song));
    credits_names(next_bar(bars, song), false);
    credits_names(next_bar(bars, song), true);
    scroller_blob(next_bar(bars, song));
    for (int variant = 0; variant < 3; ++variant) blob(next_bar(bars, song), variant);
    particles(next_bar(bars, song), false);
    particles(next_bar(bars, song), true);
    chessboard(next_bar(bars, song), false);
    chessboard(next_bar(bars, song), true);
    for (int variant = 0; variant < 3; ++variant) grit(next_bar(bars, song), variant);
    for (int part = 0; int(bars.size()) < int(song.orders.size()); ++part) end_theme(next_bar(bars, song), part);
    space_before_cues(bars);
    return assemble(song, std::move(bars), song2_instruments());
}
