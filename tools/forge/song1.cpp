// song1.cpp -- the first song, in D minor: a spacious opening over the star fields
// and rooms, a faster flight past the planets, a roll into the burst and a last
// hit that dies away before the song ends.
#include "composer.h"

namespace {

// Where the parts sit.
constexpr int bass_low = 24;    // roots from B-1 upward
constexpr int pad_centre = 54;  // around F-4
constexpr int arp_low = 50;     // from D-4 upward
const Scale key = minor_scale(63);        // D-5, the bell's
const Scale lead_key = minor_scale(51);   // D-4, the lead's

// The chords.
const Progression opening = progression("Dm9:32 Bbmaj7:32");
const Progression opening_answer = progression("Gm7:32 A7sus4:16 A7:16");
const Progression theme_chords = progression("Dm9:16 Bbmaj7:16 Gm7:16 A7sus4:8 A7:8");
const Progression bridge_chords = progression("F:16 C:16 Bb:16 A7:16");
const Progression flight_chords = progression("Dm:16 C:16 Bb:16 C:8 A:8");
const Progression tension_chords = progression("Gm:16 Eb:16 Bbmaj7:16 A7:16");

// The theme: a rising call over Dm9 and Bbmaj7, an answer falling to the
// dominant over Gm7 and A7 (one token per row).
const char* const theme_call = "5 . . . 8 . . . 9 . 10 . . . ~ . 9 . . . 8 . 7 . 5 . . . ~ . . -";
const char* const theme_answer = "4 . . . 5 . . . 6 . 5 . 4 . 3 . 2 . . . 3 . 4 . 5 . . . ~ . . -";
// The bridge's line over F, C, Bb and A7, leading back to D.
const char* const bridge_line =
    "10 . . . 12 . 10 . 9 . . . 8 . . . 7 . . . 8 . 9 . 10 . . . ~ . . - "
    "8 . . . 9 . 8 . 7 . . . 6 . . . 5 . . . 7# . . . 8 . . . ~ . . -";
// The bell's opening figure and its answer.
const char* const bell_call = "8 . . . . . 5 . . . . . 10 . . . . . . . 9 . . . . . . . . . . .";
const char* const bell_answer = "11 . . . . . 10 . . . . . 9 . . . 8 . . . . . 7# . . . . . . . . -";

void theme(Bar& bar, int channel, int instrument, const Scale& s, int volume)
{
    melody(bar, channel, instrument, s, theme_call, 0, volume);
    melody(bar, channel, instrument, s, theme_answer, 32, volume);
}

// The full beat: four on the floor, backbeat, eighth hats with an open one at the end.
void full_groove(Bar& bar, int from, int to)
{
    drums(bar, ch_kick, "x...x...x...x...", ins_kick, 60, from, to);
    drums(bar, ch_snare, "....x.......x...", ins_snare, 50, from, to);
    drums(bar, ch_hat, "x.o.x.o.x.o.x.o.", ins_closed_hat, 36, from, to);
    drums(bar, ch_hat, "..............x.", ins_open_hat, 30, from, to);
}

void count_in(Bar& bar)
{
    drums(bar, ch_hat, "X...x...x...x...", ins_closed_hat, 40);
    drums(bar, ch_perc, "............x...", ins_clap, 30);
}

// Order 1: the show opens: a low hit, the pad swelling, the bell alone.
void opening_title(Bar& bar)
{
    put_note(bar, 0, ch_fx, 47, ins_boom, 40);
    pad_chords(bar, opening, pad_centre, 40);
    melody(bar, ch_bell, ins_bell, key, bell_call, 0, 44);
    melody(bar, ch_bell, ins_bell, key, bell_answer, 32, 40);
    echo(bar, ch_bell, ch_bell_echo, 3, 0.45);
}

// Order 2: the first room: a soft pulse and a slow pluck under the answer chords.
void first_room(Bar& bar)
{
    put_note(bar, 0, ch_crash, 49, ins_crash, 28);
    drums(bar, ch_kick, "x...............", ins_kick, 44);
    pad_chords(bar, opening_answer, pad_centre, 40);
    arpeggio(bar, ch_arp, ins_pluck, opening_answer, "0...2...1...3...", arp_low, 34);
    melody(bar, ch_bell, ins_bell, key, bell_answer, 16, 38);
    echo(bar, ch_bell, ch_bell_echo, 3, 0.45);
}

// Order 3: the second title: the bass arrives, the pluck moves in eighths.
void second_title(Bar& bar)
{
    put_note(bar, 0, ch_fx, 47, ins_boom, 36);
    put_note(bar, 0, ch_crash, 49, ins_crash, 30);
    drums(bar, ch_kick, "x.......x.......", ins_kick, 48);
    bass_line(bar, opening, "R...............r.......R.....-.", bass_low, 48);
    pad_chords(bar, opening, pad_centre, 36);
    arpeggio(bar, ch_arp, ins_pluck, opening, "0.1.2.3.4.3.2.1.", arp_low, 32);
    melody(bar, ch_bell, ins_bell, key, bell_call, 32, 34);
    echo(bar, ch_bell, ch_bell_echo, 3, 0.45);
}

// Order 4: the room again, with hats and a half-time snare.
void second_room(Bar& bar)
{
    put_note(bar, 0, ch_crash, 49, ins_crash, 36);
    drums(bar, ch_kick, "x.......x.......", ins_kick, 52);
    drums(bar, ch_snare, "........x.......", ins_snare, 36);
    drums(bar, ch_hat, "x.x.x.x.x.x.x.x.", ins_closed_hat, 26);
    bass_line(bar, opening_answer, "R.......R...5...", bass_low, 48);
    pad_chords(bar, opening_answer, pad_centre, 36);
    arpeggio(bar, ch_arp, ins_pluck, opening_answer, "0.2.1.3.2.4.3.5.", arp_low, 30);
}

// Order 5: the stars alone: the theme's first statement, on the bell.
void stars(Bar& bar)
{
    put_note(bar, 0, ch_fx, 47, ins_boom, 34);
    put_note(bar, 0, ch_kick, 49, ins_kick, 52);
    drums(bar, ch_hat, "..x...x...x...x.", ins_closed_hat, 24);
    bass_line(bar, theme_chords, "R.......r.......", bass_low, 50);
    pad_chords(bar, theme_chords, pad_centre, 34);
    theme(bar, ch_bell, ins_bell, key, 48);
    echo(bar, ch_bell, ch_bell_echo, 3, 0.5);
}

// Order 6: the bridge on the lead, with the groove for the first time.
void bridge_room(Bar& bar)
{
    put_note(bar, 0, ch_crash, 49, ins_crash, 44);
    full_groove(bar, 0, 64);
    bass_line(bar, bridge_chords, "R...R.O.R...5.R.", bass_low, 50);
    pad_chords(bar, bridge_chords, pad_centre, 32);
    melody(bar, ch_lead, ins_lead, lead_key, bridge_line, 0, 40);
    echo(bar, ch_lead, ch_echo, 3, 0.4);
    fill(bar, 60, 64, "hhml", 36, 52);
}

// Order 7: the text picture: the theme returns on the lead, the pluck under it.
void text_picture(Bar& bar)
{
    put_note(bar, 0, ch_crash, 49, ins_crash, 48);
    full_groove(bar, 0, 64);
    bass_line(bar, theme_chords, "R.R.O.R.R.R.5.R.", bass_low, 50);
    pad_chords(bar, theme_chords, pad_centre, 30);
    theme(bar, ch_lead, ins_lead, lead_key, 42);
    echo(bar, ch_lead, ch_echo, 3, 0.4);
    arpeggio(bar, ch_arp, ins_pluck, theme_chords, "0.1.2.1.3.2.1.2.", arp_low, 26);
    fill(bar, 56, 64, "h.h.m.mlb.mlhml", 30, 54);
}

// Order 8: the bridge again, the bell answering the pluck's faster figure.
void bridge_room_2(Bar& bar)
{
    put_note(bar, 0, ch_crash, 49, ins_crash, 44);
    full_groove(bar, 0, 60);
    drums(bar, ch_perc, "xoxo", ins_snare, 36, 60, 64);
    bass_line(bar, bridge_chords, "R.RO.RR.R.RO.R5.", bass_low, 50);
    pad_chords(bar, bridge_chords, pad_centre, 32);
    arpeggio(bar, ch_arp, ins_pluck, bridge_chords, "01234321", arp_low, 26);
    melody(bar, ch_bell, ins_bell, key, bridge_line, 0, 40);
    echo(bar, ch_bell, ch_bell_echo, 3, 0.45);
}

// Order 9: the theme at full height, a roll and a riser into the flight.
void last_title(Bar& bar)
{
    put_note(bar, 0, ch_crash, 49, ins_crash, 52);
    full_groove(bar, 0, 48);
    drums(bar, ch_kick, "x...", ins_kick, 60, 48, 64);
    roll(bar, ch_perc, ins_snare, 48, 62, 2, 20, 52);
    roll(bar, ch_snare, ins_snare, 57, 63, 1, 30, 56);
    riser(bar, 48, 63, 24, 16, 44);  // row 63 is a breath before the flight
    bass_line(bar, theme_chords, "R.R.O.R.R.R.5.R.", bass_low, 52);
    pad_chords(bar, theme_chords, pad_centre, 32);
    theme(bar, ch_lead, ins_lead, lead_key, 44);
    theme(bar, ch_bell, ins_bell, key, 30);
    echo(bar, ch_lead, ch_echo, 3, 0.4);
}

// Order 10, speed 4: the first flyby in a faster pulse, cut at row 57 to the room.
void first_flyby(Bar& bar)
{
    put_note(bar, 0, ch_crash, 49, ins_crash, 56);
    drums(bar, ch_kick, "x...x...x...x..x", ins_kick, 60, 0, 56);
    drums(bar, ch_snare, "....x.......x...", ins_snare, 50, 0, 56);
    drums(bar, ch_hat, "xoxoxoxoxoxoxoxo", ins_closed_hat, 32, 0, 56);
    roll(bar, ch_perc, ins_snare, 52, 57, 1, 24, 48);
    bass_line(bar, flight_chords, "R.RO", bass_low, 52, 0, 57);
    pad_chords(bar, flight_chords, pad_centre, 30, 0, 57);
    arpeggio(bar, ch_arp, ins_pluck, flight_chords, "0123", arp_low, 28, 0, 57);
    melody(bar, ch_lead, ins_lead, lead_key, theme_call, 16, 40);
    // the room: a hit, then only the pad and a bell
    impact(bar, 57, 47);
    put_off(bar, 57, ch_arp);
    put_note(bar, 57, ch_bass, 27, ins_bass, 52);
    pad_chord(bar, 57, chord("Dm9"), pad_centre, 34);
    put_note(bar, 57, ch_bell, scale_note(key, 8), ins_bell, 40);
    put_off(bar, 57, ch_lead);
}

// Order 11 (12 rows): the second flyby, a run up the chord.
void second_flyby(Bar& bar)
{
    const Progression run = progression("Bb:6 C:6");
    put_note(bar, 0, ch_crash, 49, ins_crash, 52);
    drums(bar, ch_kick, "x..x..x..x..", ins_kick, 58);
    roll(bar, ch_snare, ins_snare, 6, 12, 1, 26, 50);
    bass_line(bar, run, "R..O..", bass_low, 52);
    pad_chords(bar, run, pad_centre, 32);
    arpeggio(bar, ch_arp, ins_pluck, run, "012345", arp_low, 30);
}

// Order 12: the smeared room: the tension chords, a riser and a roll, then a breath.
void smeared_room(Bar& bar)
{
    put_note(bar, 0, ch_crash, 49, ins_crash, 40);
    drums(bar, ch_kick, "x.......x.......", ins_kick, 54, 0, 32);
    drums(bar, ch_snare, "........x.......", ins_snare, 40, 0, 32);
    drums(bar, ch_kick, "x...", ins_kick, 58, 32, 60);
    drums(bar, ch_hat, "x.x.", ins_closed_hat, 28, 0, 60);
    roll(bar, ch_snare, ins_snare, 40, 52, 2, 24, 40);
    roll(bar, ch_snare, ins_snare, 52, 60, 1, 40, 56);
    riser(bar, 32, 60, 24, 10, 46);
    bass_line(bar, tension_chords, "R.......R...R.O.", bass_low, 50, 0, 60);
    put_off(bar, 60, ch_bass);
    pad_chords(bar, tension_chords, pad_centre, 32);
    melody(bar, ch_lead, ins_lead, lead_key, "12 . . . . . 11 . 10 . . . ~ . . . 9b . . . . . . . 8 . . . ~ . . -", 0, 38);
    melody(bar, ch_lead, ins_lead, lead_key, "6 . . . 7 . . . 8 . . . 10 . . . 11 . . . 12 . . . 14# . . -", 32, 40);
    echo(bar, ch_lead, ch_echo, 3, 0.4);
}

// Order 13, speed 1 (a row per frame): a roll on rows 0-5, the burst on row 6,
// crackling fire to row 29, then the ringing.
void lump(Bar& bar)
{
    roll(bar, ch_snare, ins_snare, 0, 6, 1, 24, 40);
    impact(bar, 6, 47);
    put_note(bar, 6, ch_bass, 27, ins_bass, 60);
    put_note(bar, 6, ch_bell, scale_note(key, 1), ins_bell, 48);
    put_note(bar, 6, ch_lead, scale_note(lead_key, 8), ins_lead, 36);
    pad_chord(bar, 6, chord("Dm"), pad_centre, 40);
    drums(bar, ch_hat, "x..o.x...o..x.", ins_closed_hat, 30, 10, 30);
    put_note(bar, 30, ch_hat, 49, ins_open_hat, 24);
    put_off(bar, 40, ch_lead);
}

// Order 14: the fade: one last low hit that dies out before the song ends.
void fade_out(Bar& bar)
{
    put_note(bar, 0, ch_kick, 49, ins_kick, 60);
    put_note(bar, 0, ch_fx, 47, ins_boom, 64);
    put_note(bar, 0, ch_crash, 49, ins_crash, 48);
    put_note(bar, 0, ch_bell, scale_note(lead_key, 1), ins_bell, 44);
    put_note(bar, 0, ch_bass, 27, ins_bass, 50);
    pad_chord(bar, 0, chord("Dm9"), pad_centre, 32);
    put_off(bar, 6, ch_bass);
    for (int v = 0; v < 6; ++v) put_off(bar, 6, ch_pad + v);
}

}  // namespace

XmModule compose_song1()
{
    const SongStructure& song = song_structure(1);
    std::vector<Bar> bars;
    void (*const parts[])(Bar&) = {count_in,      opening_title, first_room,    second_title,
                                   second_room,   stars,         bridge_room,   text_picture,
                                   bridge_room_2, last_title,    first_flyby,   second_flyby,
                                   smeared_room,  lump,          fade_out};
    for (auto part : parts) part(start_bar(bars, song));
    return assemble(song, std::move(bars), song1_instruments());
}
