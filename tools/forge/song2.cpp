// song2.cpp -- the second song, in A minor: driving through the fleet and the
// tunnel, a big hit for the logo, the credits' tune, the dark blob grooves,
// dreamy particles, the chessboard's turn, the grit, and a long end theme.
#include "composer.h"

namespace {

constexpr int bass_low = 22;    // roots from A-1 upward
constexpr int pad_centre = 54;  // around F-4
constexpr int arp_low = 52;     // from E-4 upward
const Scale key = minor_scale(58);
const Scale high_key = minor_scale(70);

const Progression drive = progression("Am:16 F:16 C:16 G:16");
const Progression drive_turn = progression("Am:16 G:16 F:16 E:16");
const Progression logo_chords = progression("Fmaj7:32 Em7:32");
const Progression credits_chords = progression("F:16 G:16 Em7:16 Am:16");
const Progression blob_chords = progression("Dm:16 Am:16 E:16 Am:16");
const Progression particle_chords = progression("Fmaj9:32 Cadd9:32");
const Progression particle_turn = progression("Am9:32 Gsus2:16 G:16");
const Progression chess_chords = progression("Am:8 C:8 D:8 F:8 Am:8 G:8 E7sus4:8 E7:8");
const Progression grit_chords = progression("Am:8 Am7:8 F:8 Fmaj7:8 C:16 G:8 Gsus4:8");
const Progression end_chords = progression("Fmaj7:16 G:16 Em7:16 Am:16");
const Progression end_turn = progression("Dm7:16 G:16 Cmaj7:16 E7:16");

// The song's theme over Am F C G, one token per row.
const char* const theme_tune =
    "5 . 8 . . . 7 . 8 . . . 10 . 8 . "
    "6 . 8 . . . 7 . 6 . . . 5 . 3 . "
    "5 . 8 . . . 7 . 8 . . . 12 . 10 . "
    "11 . . . 10 . 9 . . . 7 . ~ . . -";
// The credits' tune over F G Em7 Am.
const char* const credits_tune =
    "8 . . . 6 . 8 . 10 . . . 9 . 8 . "
    "7 . . . 9 . 11 . . . 9 . 7 . 5 . "
    "5 . . . 7 . 9 . . . 7 . 5 . 4 . "
    "3 . . . 5 . . . 8 . . . ~ . . -";
// The blob's dark line over Dm Am E Am.
const char* const blob_tune =
    "4 . . . 3 . 4 . 6 . . . 5 . 4 . "
    "3 . . . 1 . 3 . 5 . . . ~ . . . "
    "7# . . . 5 . 7# . 9 . . . 8 . 7# . "
    "8 . . . . . . . ~ . . . . . . -";
// The particles' floating line.
const char* const particle_tune =
    "8 . . . . . 10 . 9 . . . . . 5 . 6 . . . . . 5 . 3 . . . . . . . "
    "5 . . . . . 6 . 8 . . . . . 9 . 10 . . . 9 . 8 . 9 . . . . . . -";
// The end theme: long notes over the closing chords.
const char* const end_tune =
    "8 . . . . . . . 7 . . . 5 . . . "
    "6 . . . . . . . 7 . . . 9 . . . "
    "7 . . . . . . . 5 . . . 3 . . . "
    "5 . . . . . . . ~ . . . . . . -";

// Claps (with a snare and an open hat) on rows 7, 15, ..., 63: the show's flashes.
void accents_on_sevens(Bar& bar, int from = 0, int to = 64)
{
    drums(bar, ch_snare, ".......X", ins_clap, 64, from, to);
    drums(bar, ch_perc, ".......x", ins_snare, 40, from, to);
    drums(bar, ch_hat, ".......x", ins_open_hat, 40, from, to);
}

void four_floor(Bar& bar, int volume, int from = 0, int to = 64)
{
    drums(bar, ch_kick, "x...x...x...x...", ins_kick, volume, from, to);
}

void driving_hats(Bar& bar, int volume, int from = 0, int to = 64)
{
    drums(bar, ch_hat, "xoxoxoxoxoxoxoxo", ins_closed_hat, volume, from, to);
    drums(bar, ch_hat, "..x...x...x...x.", ins_open_hat, volume - 6, from, to);
}

void lead_with_echo(Bar& bar, const Scale& s, const char* tune, int volume, int from = 0)
{
    melody(bar, ch_lead, ins_lead, s, tune, from, volume);
    echo(bar, ch_lead, ch_echo, 3, 0.4);
}

void bell_with_echo(Bar& bar, const Scale& s, const char* tune, int from, int volume)
{
    melody(bar, ch_bell, ins_bell, s, tune, from, volume);
    echo(bar, ch_bell, ch_bell_echo, 3, 0.45);
}

// Order 0: the fleet: the groove from the first row, accents on the sevens.
void fleet(Bar& bar)
{
    put_note(bar, 0, ch_crash, 49, ins_crash, 50);
    four_floor(bar, 60);
    drums(bar, ch_hat, "..x...x.", ins_closed_hat, 34);
    accents_on_sevens(bar);
    bass_line(bar, drive, "R.R.O.R.R.R.5.R.", bass_low, 52);
    pad_chords(bar, drive, pad_centre, 30);
    arpeggio(bar, ch_arp, ins_pluck, drive, "0.1.2.0.1.2.3.2.", arp_low, 26);
}

// Order 1: the drift thins out, the build starts on row 38, the white-out on 55.
void fleet_chase(Bar& bar)
{
    drums(bar, ch_kick, "x.......x.......", ins_kick, 56, 0, 38);
    drums(bar, ch_hat, "..x.", ins_closed_hat, 28, 0, 38);
    bass_line(bar, drive_turn, "R.......r.......", bass_low, 50, 0, 38);
    pad_chords(bar, drive_turn, pad_centre, 34, 0, 55);
    melody(bar, ch_bell, ins_bell, key, "8 . . . . . . . 7 . . . . . . . 6 . . . . . . . 5 . . . . . . -", 0, 40);
    // the build
    impact(bar, 38);
    put_note(bar, 38, ch_fx, 49, ins_boom, 44);
    four_floor(bar, 58, 40, 55);
    roll(bar, ch_snare, ins_snare, 40, 48, 4, 26, 36);
    roll(bar, ch_snare, ins_snare, 48, 52, 2, 38, 46);
    roll(bar, ch_snare, ins_snare, 52, 54, 1, 48, 56);
    riser(bar, 39, 54, 24, 14, 48);
    bass_line(bar, drive_turn, "R.R.R.R.", bass_low, 52, 38, 55);
    // white
    impact(bar, 55);
    put_note(bar, 55, ch_bass, 22, ins_bass, 56);
    pad_chord(bar, 55, chord("Am"), pad_centre, 40);
    put_off(bar, 62, ch_bass);
}

// Order 2: the tunnel: a harder groove with accents on the sevens, a break on 47.
void tunnel(Bar& bar)
{
    put_note(bar, 0, ch_crash, 49, ins_crash, 44);
    four_floor(bar, 60, 0, 47);
    driving_hats(bar, 32, 0, 47);
    accents_on_sevens(bar);
    bass_line(bar, drive, "R.RRO.R.R.RR5.R.", bass_low, 54, 0, 47);
    pad_chords(bar, drive, pad_centre, 28);
    arpeggio(bar, ch_arp, ins_pluck, drive, "0123", arp_low, 24, 0, 47);
    // the break: the crash and the low hit, the accents go on alone
    put_note(bar, 47, ch_crash, 49, ins_crash, 60);
    put_note(bar, 47, ch_fx, 49, ins_boom, 56);
    put_off(bar, 47, ch_bass);
    put_off(bar, 47, ch_arp);
    bell_with_echo(bar, key, "12 . . . . . . . 10 . . . . . . -", 48, 40);
}

// Order 3: the mosaic's plucked texture, turning on row 32 to the rings' full sound.
void logo_mosaic(Bar& bar)
{
    put_note(bar, 0, ch_kick, 49, ins_kick, 50);
    drums(bar, ch_kick, "x...............", ins_kick, 46, 0, 32);
    pad_chords(bar, logo_chords, pad_centre, 30);
    arpeggio(bar, ch_arp, ins_pluck, logo_chords, "0.1.2.1.3.2.1.2.", arp_low, 32, 0, 32);
    bell_with_echo(bar, key, "10 . . . . . . . 9 . . . . . . . 8 . . . . . . . 7 . . . . . . -", 0, 34);
    // the rings
    impact(bar, 32);
    four_floor(bar, 58, 36, 56);
    driving_hats(bar, 30, 32, 56);
    bass_line(bar, logo_chords, "R.RO.RR.", bass_low, 52, 32, 56);
    arpeggio(bar, ch_arp, ins_pluck, logo_chords, "01234321", arp_low, 26, 32, 64);
    roll(bar, ch_snare, ins_snare, 56, 64, 1, 28, 56);
    riser(bar, 48, 64, 24, 12, 46);
}

// Order 4: the logo's flash: the biggest hit, then the theme.
void logo_flash(Bar& bar)
{
    impact(bar, 0);
    put_note(bar, 0, ch_snare, 49, ins_snare, 64);
    put_note(bar, 0, ch_bass, 22, ins_bass, 60);
    four_floor(bar, 60, 4);
    drums(bar, ch_snare, "....x.......x...", ins_snare, 50, 4);
    driving_hats(bar, 32, 4);
    bass_line(bar, drive, "R.R.O.R.R.R.5.R.", bass_low, 52, 4);
    pad_chords(bar, drive, pad_centre, 30);
    lead_with_echo(bar, key, theme_tune, 44);
}

// Order 5: the smeared cross-fade and the credits' title: the credits' tune on the bell.
void credits_title(Bar& bar)
{
    put_note(bar, 0, ch_crash, 49, ins_crash, 40);
    four_floor(bar, 56);
    drums(bar, ch_snare, "....x.......x...", ins_clap, 44);
    drums(bar, ch_hat, "x.x.x.x.x.x.x.x.", ins_closed_hat, 30);
    bass_line(bar, credits_chords, "R...R.O.R...5.R.", bass_low, 50);
    pad_chords(bar, credits_chords, pad_centre, 30);
    bell_with_echo(bar, key, credits_tune, 0, 46);
    fill(bar, 56, 64, "b.h.hmml", 34, 56);
}

// Orders 6 and 7: the names slide in on rows 0 and 32.
void credits_names(Bar& bar, bool second)
{
    for (int row : {0, 32}) {
        put_note(bar, row, ch_crash, 49, ins_crash, 52);
        put_note(bar, row, ch_perc, 49, ins_clap, 60);
        put_note(bar, row, ch_fx, 49, ins_boom, 40);
    }
    four_floor(bar, 60);
    drums(bar, ch_snare, "....x.......x...", ins_snare, 50);
    driving_hats(bar, 30);
    if (!second) {
        bass_line(bar, credits_chords, "R.R.O.R.R.R.5.R.", bass_low, 52);
        pad_chords(bar, credits_chords, pad_centre, 28);
        lead_with_echo(bar, key, credits_tune, 42);
        arpeggio(bar, ch_arp, ins_pluck, credits_chords, "0.2.1.3.", arp_low, 24);
    } else {
        bass_line(bar, drive, "R.RO.RR.R.RO.R5.", bass_low, 52);
        pad_chords(bar, drive, pad_centre, 28);
        lead_with_echo(bar, key, theme_tune, 42);
        bell_with_echo(bar, high_key, "1 . . . . . . . . . . . . . . . 3 . . . . . . . . . . . . . . . "
                                      "5 . . . . . . . . . . . . . . . 7 . . . . . . . . . . . . . . -", 0, 30);
        fill(bar, 60, 64, "hmlb", 40, 56);
    }
}

// Order 8: under the scroller only pad and bell; the groove returns for the blob.
void scroller_blob(Bar& bar)
{
    put_note(bar, 0, ch_fx, 49, ins_boom, 40);
    pad_chords(bar, blob_chords, pad_centre, 36);
    bell_with_echo(bar, key, blob_tune, 1, 40);  // a row late: off the snaps' lead-in
    riser(bar, 24, 34, 24, 10, 36);
    put_note(bar, 34, ch_kick, 49, ins_kick, 64);
    put_note(bar, 34, ch_fx, 49, ins_boom, 56);
    four_floor(bar, 58, 36);
    drums(bar, ch_hat, "x.o.", ins_closed_hat, 30, 36);
    accents_on_sevens(bar, 32);
    bass_line(bar, blob_chords, "R..R..R.R..R.5.O", bass_low, 54, 34);
}

// Orders 9-11: the blob: snaps on the sevens, zoom pulses on rows 15, 31, 47, 63.
void blob(Bar& bar, int variant)
{
    const Progression& chords = blob_chords;
    four_floor(bar, 60);
    accents_on_sevens(bar);
    drums(bar, ch_crash, "...............x", ins_crash, 34);
    drums(bar, ch_hat, variant == 1 ? "xoxoxo.." : "x.o.x.o.", ins_closed_hat, 32);
    bass_line(bar, chords, variant == 0 ? "R..R..R.R..R.5.O" : "R.RR.OR.R.RR.5R.", bass_low, 54);
    pad_chords(bar, chords, pad_centre, 28);
    if (variant == 0) {
        lead_with_echo(bar, key, blob_tune, 42);
    } else if (variant == 1) {
        bell_with_echo(bar, key, blob_tune, 1, 44);
        arpeggio(bar, ch_arp, ins_pluck, chords, "0.1.2.3.", arp_low, 24);
    } else {
        lead_with_echo(bar, high_key, blob_tune, 36, 1);  // a row late: off the snaps' lead-in
        arpeggio(bar, ch_arp, ins_pluck, chords, "0.2.4.2.", arp_low, 24);
    }
}

// Orders 12-13: particles or voxels: half-time and floating.
void particles(Bar& bar, bool second)
{
    const Progression& chords = second ? particle_turn : particle_chords;
    put_note(bar, 0, ch_crash, 49, ins_crash, 36);
    drums(bar, ch_kick, "x.........x.....", ins_kick, 54);
    drums(bar, ch_snare, "........x.......", ins_snare, 42);
    drums(bar, ch_hat, "x.o.", ins_closed_hat, 26);
    bass_line(bar, chords, "R.........R...5.", bass_low, 50);
    pad_chords(bar, chords, pad_centre, 34);
    arpeggio(bar, ch_arp, ins_pluck, chords, second ? "0246" : "0123", arp_low, 26);
    if (second) {
        lead_with_echo(bar, key, particle_tune, 38);
        fill(bar, 56, 64, "h.m.l.bb", 30, 54);
    } else {
        bell_with_echo(bar, key, particle_tune, 0, 46);
    }
}

// Orders 14-15: the chessboard: climbing to the turn on row 32, falling after it.
void chessboard(Bar& bar, bool second)
{
    put_note(bar, 0, ch_crash, 49, ins_crash, 44);
    four_floor(bar, 60);
    drums(bar, ch_snare, "....x.......x...", second ? ins_clap : ins_snare, 50);
    driving_hats(bar, 30);
    riser(bar, 16, 32, 24, 12, 40);
    impact(bar, 32);
    bass_line(bar, chess_chords, second ? "R.RO" : "R.R.", bass_low, 54);
    pad_chords(bar, chess_chords, pad_centre, 28);
    arpeggio(bar, ch_arp, ins_pluck, chess_chords, "01234567", arp_low, 26, 0, 32);
    arpeggio(bar, ch_arp, ins_pluck, chess_chords, "76543210", arp_low, 26, 32, 64);
    if (second) lead_with_echo(bar, key, "12 . 11 . 10 . 8 . . . . . 7 . 8 . 10 . . . . . . . ~ . . . . . . - "
                                          "8 . 10 . 11 . 12 . . . . . 11 . 10 . 11 . . . . . . . 7# . . . . . . -", 40);
}

// Orders 16-18: the grit: the hardest groove, the theme back on the lead.
void grit(Bar& bar, int variant)
{
    put_note(bar, 0, ch_crash, 49, ins_crash, 48);
    drums(bar, ch_kick, variant == 1 ? "x..x..x.x...x..." : "x...x...x...x.x.", ins_kick, 60);
    drums(bar, ch_snare, "....X.......X...", ins_clap, 60);
    drums(bar, ch_perc, "....x.......x..o", ins_snare, 40);
    driving_hats(bar, 32);
    const Progression& chords = variant == 1 ? credits_chords : grit_chords;
    bass_line(bar, chords, "RRO.RR5.RRO.R-5.", bass_low, 56);
    pad_chords(bar, chords, pad_centre, 26);
    if (variant == 1) {
        lead_with_echo(bar, key, credits_tune, 42);
        arpeggio(bar, ch_arp, ins_pluck, chords, "0123", arp_low, 24);
    } else {
        lead_with_echo(bar, key, theme_tune, 44);
        if (variant == 2) bell_with_echo(bar, high_key, theme_tune, 0, 26);
    }
    if (variant == 1) fill(bar, 60, 64, "hhml", 40, 58);
    if (variant == 2) roll(bar, ch_perc, ins_snare, 56, 64, 1, 24, 52);
}

// Orders 19-26: the end theme, then the last chord rings out.
void end_theme(Bar& bar, int part)
{
    const bool turn = part % 2 == 1;
    const Progression& chords = part == 2 || part == 4 ? drive : turn ? end_turn : end_chords;
    if (part == 0) impact(bar, 0);
    else put_note(bar, 0, ch_crash, 49, ins_crash, 40);
    pad_chords(bar, chords, pad_centre, 34);
    if (part < 6) {
        drums(bar, ch_kick, part == 0 ? "x.........x....." : "x.......x.......", ins_kick, 54);
        if (part > 0) drums(bar, ch_snare, "........x.......", ins_snare, 44);
        drums(bar, ch_hat, part >= 2 && part <= 4 ? "x.o.x.o." : "..x.", ins_closed_hat, 26);
        bass_line(bar, chords, "R.......R...5...", bass_low, 50);
    }
    switch (part) {
    case 0: bell_with_echo(bar, key, end_tune, 0, 48); break;
    case 1: lead_with_echo(bar, key, end_tune, 40); break;
    case 2: lead_with_echo(bar, key, theme_tune, 40); break;
    case 3:
        lead_with_echo(bar, key, end_tune, 38);
        arpeggio(bar, ch_arp, ins_pluck, chords, "0.1.2.3.", arp_low, 24);
        fill(bar, 56, 64, "h..hm.lb", 30, 50);
        break;
    case 4:
        lead_with_echo(bar, key, theme_tune, 40);
        bell_with_echo(bar, high_key, theme_tune, 0, 24);
        break;
    case 5:
        lead_with_echo(bar, key, end_tune, 38);
        bell_with_echo(bar, high_key, end_tune, 0, 26);
        break;
    case 6:
        bell_with_echo(bar, key, end_tune, 0, 44);
        arpeggio(bar, ch_arp, ins_pluck, chords, "0...2...1...3...", arp_low, 26);
        break;
    default:
        // the last chord, left to ring and fade before the song ends
        put_note(bar, 0, ch_fx, 49, ins_boom, 48);
        put_note(bar, 0, ch_bass, 22, ins_bass, 50);
        put_note(bar, 0, ch_bell, scale_note(key, 1), ins_bell, 44);
        put_note(bar, 24, ch_bell, scale_note(key, 5), ins_bell, 32);
        put_note(bar, 36, ch_bell, scale_note(key, 8), ins_bell, 26);
        pad_chord(bar, 0, chord("Am9"), pad_centre, 36);
        put_off(bar, 32, ch_bass);
        for (int v = 0; v < 6; ++v) put_off(bar, 44, ch_pad + v);
        break;
    }
}

}  // namespace

XmModule compose_song2()
{
    const SongStructure& song = song_structure(2);
    std::vector<Bar> bars;
    fleet(start_bar(bars, song));
    fleet_chase(start_bar(bars, song));
    tunnel(start_bar(bars, song));
    logo_mosaic(start_bar(bars, song));
    logo_flash(start_bar(bars, song));
    credits_title(start_bar(bars, song));
    credits_names(start_bar(bars, song), false);
    credits_names(start_bar(bars, song), true);
    scroller_blob(start_bar(bars, song));
    for (int variant = 0; variant < 3; ++variant) blob(start_bar(bars, song), variant);
    particles(start_bar(bars, song), false);
    particles(start_bar(bars, song), true);
    chessboard(start_bar(bars, song), false);
    chessboard(start_bar(bars, song), true);
    for (int variant = 0; variant < 3; ++variant) grit(start_bar(bars, song), variant);
    for (int part = 0; int(bars.size()) < int(song.orders.size()); ++part) end_theme(start_bar(bars, song), part);
    return assemble(song, std::move(bars), SynthFlavour{1.2, 1.8, 2});
}
