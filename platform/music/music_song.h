// music_song.h -- the module player's song, shared by its two outputs: SDL2
// audio (music.cpp) and a web page's Web Audio (platform/web/music_web.cpp).
// music_song.cpp holds what does not depend on where the sound goes: loading,
// rendering with row marks, the silent and frame-locked stepping, and the
// show's interface (music.h, music_control.h). An output supplies the output_*
// functions below. Not for use outside the two players.
#pragma once

#include "music_control.h"

#include <libopenmpt/libopenmpt.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum class Output { none, device, silent, frame_locked };

constexpr int song_sub_block = 64;        // marked render granularity: rows good to 1.5 ms
constexpr int song_mark_capacity = 256;   // far more rows than one buffer or one query's wait holds

// A row change: the row began within song_sub_block frames after `frame`.
struct RowMark {
    long long frame = 0;
    std::uint16_t order = 0, row = 0;
};

// The newest row changes of the song playing, oldest overwritten first.
struct RowMarks {
    RowMark ring[song_mark_capacity];
    long long count = 0;  // marks ever added
};
void add_mark(RowMarks& marks, const RowMark& mark);

// The program-wide player state; never destroyed (an exit handler may still use it).
struct Song {
    bool frame_locked_requested = false;
    Output output = Output::none;
    std::uint32_t rate = 44100;
    bool noticed_silence = false;

    // The song as loaded.
    std::vector<char> file_bytes;
    std::unique_ptr<openmpt::module> module;
    std::string file_name;
    std::uint32_t handle = 0;
    std::uint16_t orders = 0;
    double song_seconds = 0.0;
    bool playing = false;              // set by BASS_MusicPlayEx
    std::uint16_t start_order = 0;

    // The rendering's progress. With a device output, whoever renders for the
    // device owns it (the audio callback's thread, natively).
    long long frames_done = 0;         // song frames rendered
    bool ended = false;
    std::uint16_t order = 0, row = 0;  // of the last frame rendered; orders and 0 after the end
    std::vector<float> scratch;        // silent and frame-locked rendering

    double play_start = 0.0;           // silent: output_clock() when the song started
    long frame_index = 0;              // frame-locked: presented frames in this song
    int queries_since_present = 0;
    MusicSpinHook spin_hook = nullptr;
    void* spin_user = nullptr;
};
Song& song();

// Says once per program that there is no sound output, and why.
void notice_silence(const char* why);

// Renders `frames` stereo frames into `out`, silence once the song has ended
// (or before it plays), keeping the progress. Returns the frames of song audio.
long long render_song(float* out, long long frames);
// The same in sub-blocks, each change of row a mark in `marks`.
long long render_song_marked(float* out, long long frames, RowMarks& marks);

// The order and row heard at song frame `heard`, by the marks; `active` is
// false once the end (`end_frame`, -1 while unknown) has been heard.
void heard_position(const RowMarks& marks, long long end_frame, long long heard, std::uint16_t& order,
                    std::uint16_t& row, bool& active);

// ---- what each output supplies --------------------------------------------------------

// BASS_Init, when not frame-locked: opens the output at song().rate and
// returns Output::device, or Output::silent after notice_silence.
Output output_open();
// Stops and releases the output (BASS_Init, BASS_Free, exit); song().output
// still says what it was.
void output_close();
// BASS_Start.
void output_start();
// Bracket every change of the song loaded or of its start (the device may be
// rendering it meanwhile); after the change the output starts its own count
// of the heard position afresh.
void output_song_changing();
void output_song_changed();
// The position heard through Output::device.
void output_position(std::uint16_t& order, std::uint16_t& row, bool& active);
// Seconds on a steady clock, for the silent output.
double output_clock();
// At every position or activity query while a song plays, before it is answered.
void output_query();
// Frame-locked: after the spin hook has returned.
void output_spin_hook_returned();
