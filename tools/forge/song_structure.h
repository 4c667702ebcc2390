// song_structure.h -- the two songs' order lists as data: rows and speed of each
// order, the tempo, and the rows on which the show cuts or flashes (the cues the
// music must carry). The songs are composed into this structure; the tests hold
// the written files and the player against it.
#pragma once

#include "xm.h"

#include <vector>

struct SongOrder {
    int rows = 64;
    int speed = 6;           // ticks per row
    std::vector<int> cues;   // rows the show acts on (cut, flash, impact), ascending
};

struct SongStructure {
    const char* path;        // as the show loads it: "qd\music\1.xm"
    const char* name;        // module name
    int first_order;         // where the show starts playing it
    int bpm;                 // every pattern: 150, a tick is 1/60 s
    std::vector<SongOrder> orders;
};

constexpr int song_bpm = 150;
constexpr int song_default_speed = 6;

// song 1 or 2.
const SongStructure& song_structure(int song);

// The speed an order must set with the speed effect on its row 0, or 0 when it
// runs at the speed the order before it left (song_default_speed before order 0).
int speed_to_set(const SongStructure& song, int order);

// Ticks from the start of order `from` to the start of order `to` (to >= from).
long ticks_between(const SongStructure& song, int from, int to);
// Ticks from the start of `order` to the start of its row `row`.
long ticks_to_row(const SongStructure& song, int order, int row);
// The order's length in seconds at the song's tempo (a tick lasts 2.5 / bpm s).
double order_seconds(const SongStructure& song, int order);

// The structural song (songs.cpp): the orders as above, a short click on every
// row 0 (instrument 1, channel 0, left) and an accent on every cue row
// (instrument 2, channel 1, right), and nothing else.
XmModule click_track_module(const SongStructure& song);
