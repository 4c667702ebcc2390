// song_structure.cpp -- the orders of both songs, as the show's timeline needs them.
#include "song_structure.h"

namespace {

// Rows r0, r0 + 8, ... up to 63: the show's flashes and snaps fall on rows 7 + 8k.
std::vector<int> every_eighth_from(int r0)
{
    std::vector<int> rows;
    for (int r = r0; r < 64; r += 8) rows.push_back(r);
    return rows;
}

SongStructure make_song_1()
{
    SongStructure s{"qd\\music\\1.xm", "velmora 1", 1, song_bpm, {}};
    s.orders.push_back({16, 6, {}});                  // count-in, never heard in the show
    for (int order = 1; order <= 9; ++order)
        s.orders.push_back({64, 6, {0}});             // intro loop: a scene cut on each row 0
    s.orders.push_back({64, 4, {0, 57}});             // first flyby, cut to the room at row 57
    s.orders.push_back({12, 6, {0}});                 // second flyby: shorter than its 80 frames
    s.orders.push_back({64, 6, {}});                  // room, smeared
    s.orders.push_back({64, 1, {0, 6}});              // lump: a row per frame, burst on row 6
    s.orders.push_back({38, 6, {0}});                 // the fade: a decaying hit, then the end
    return s;
}

SongStructure make_song_2()
{
    SongStructure s{"qd\\music\\2.xm", "velmora 2", 0, song_bpm, {}};
    std::vector<SongOrder>& o = s.orders;
    o.assign(27, SongOrder{});                        // 0..26, 64 rows at speed 6
    o[0].cues = every_eighth_from(7);                 // fleet: blur accents
    o[1].cues = {38, 55};                             // feedback and build; white-out crash
    o[2].cues = every_eighth_from(7);                 // tunnel flashes; break on 47 (one of them)
    o[3].cues = {32};                                 // mosaic to flare rings
    o[4].cues = {0};                                  // the logo's flash
    o[6].cues = {0, 32};                              // credit names slide in
    o[7].cues = {0, 32};
    o[8].cues = {39, 47, 55, 63};                     // blob's snaps after the scroller
    for (int order = 9; order <= 11; ++order) o[order].cues = every_eighth_from(7);
    o[14].cues = {32};                                // the chessboard camera turns
    o[15].cues = {32};
    o[19].cues = {0};                                 // the end theme begins
    return s;
}

}  // namespace

const SongStructure& song_structure(int song)
{
    static const SongStructure song_1 = make_song_1();
    static const SongStructure song_2 = make_song_2();
    return song == 1 ? song_1 : song_2;
}

int speed_to_set(const SongStructure& song, int order)
{
    const int before = order == 0 ? song_default_speed : song.orders[order - 1].speed;
    return song.orders[order].speed == before ? 0 : song.orders[order].speed;
}

long ticks_between(const SongStructure& song, int from, int to)
{
    long ticks = 0;
    for (int order = from; order < to; ++order)
        ticks += long(song.orders[order].rows) * song.orders[order].speed;
    return ticks;
}

long ticks_to_row(const SongStructure& song, int order, int row)
{
    return long(row) * song.orders[order].speed;
}

double order_seconds(const SongStructure& song, int order)
{
    return double(ticks_between(song, order, order + 1)) * 2.5 / song.bpm;
}
