// test_music.cpp -- the module player against the songs' structure: order and row
// timing to the tick, the song's end, spin-waits, the structural click track's
// accents in the rendered audio, bad song files, and the silent and device outputs.
#include "platform/console/console.h"
#include "platform/music/music.h"
#include "platform/music/music_control.h"
#include "shell/shell.h"
#include "tools/forge/song_structure.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

struct Position {
    int order, row;
    bool operator==(const Position&) const = default;
};

Position position_now()
{
    const std::uint32_t p = BASS_ChannelGetPosition(music_channel);
    return {int(p & 0xFFFFu), int(p >> 16)};
}

// The show's songs, whatever music they hold: only their structure is tested.
const char* const song_path[] = {nullptr, "qd\\music\\1.xm", "qd\\music\\2.xm"};

void start_file(const char* file, bool locked = true, int order = 0, std::uint32_t rate = 44100)
{
    music_set_frame_locked(locked);
    BASS_Init(-1, rate, 0, nullptr);
    music_channel = BASS_MusicLoad(0, file, 0, 0, 1);
    BASS_Start();
    BASS_MusicPlayEx(music_channel, std::uint32_t(order), -1, 1);
}

// Plays `file` frame-locked into a WAV file (named after the test: ctest runs them
// side by side) for `frames` frames or to its end, and returns the file's bytes.
std::string record_wav(const char* file, std::uint32_t rate, long frames = -1)
{
    const std::string wav = ::testing::TempDir() + "velmora_" +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".wav";
    music_set_wav_output(wav.c_str());
    start_file(file, true, 0, rate);
    for (long frame = 0; frame != frames && BASS_ChannelIsActive(music_channel) != 0; ++frame) music_frame_presented();
    BASS_Free();
    music_close_wav();
    std::ifstream in(wav, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    std::remove(wav.c_str());
    return bytes;
}

// The 16-bit samples of a WAV file (little-endian, as is this machine), its header
// checked against its size and rate.
std::vector<std::int16_t> wav_samples(const std::string& bytes, std::uint32_t rate)
{
    EXPECT_GE(bytes.size(), 44u);
    if (bytes.size() < 44) return {};
    const auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        std::memcpy(&v, bytes.data() + at, 4);
        return v;
    };
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");  // then the RIFF size, the rate and the data size
    EXPECT_EQ(std::vector<std::uint32_t>({u32(4), u32(24), u32(40)}),
              std::vector<std::uint32_t>({std::uint32_t(bytes.size() - 8), rate, std::uint32_t(bytes.size() - 44)}));
    std::vector<std::int16_t> samples((bytes.size() - 44) / 2);
    std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
    return samples;
}

struct MusicTest : ::testing::Test {
    void TearDown() override
    {
        BASS_Free();
        music_set_frame_locked(false);
        music_set_spin_hook(nullptr, nullptr);
        music_set_wav_output(nullptr);
    }
};

// The frame at which each (order, row) is first heard, presenting frames until
// the song is over (end_frame, -1 if it never is); at 44.1 kHz and BPM 150 a
// frame is exactly one tick.
std::vector<std::pair<long, Position>> row_starts(long& end_frame)
{
    std::vector<std::pair<long, Position>> starts{{0, position_now()}};
    for (end_frame = 1; end_frame < 20000; ++end_frame) {
        music_frame_presented();
        if (BASS_ChannelIsActive(music_channel) == 0) return starts;
        const Position p = position_now();
        if (!(p == starts.back().second)) starts.push_back({end_frame - 1, p});
    }
    end_frame = -1;
    return starts;
}

}  // namespace

TEST_F(MusicTest, EveryRowOfBothSongsStartsOnItsTick)
{
    for (int song = 1; song <= 2; ++song) {
        SCOPED_TRACE("song " + std::to_string(song));
        const SongStructure& s = song_structure(song);
        const int orders = int(s.orders.size());
        start_file(song_path[song]);
        long end_frame = 0;
        const auto starts = row_starts(end_frame);
        std::size_t i = 0;
        for (int order = 0; order < orders; ++order)
            for (int row = 0; row < s.orders[order].rows; ++row, ++i) {
                ASSERT_LT(i, starts.size());
                // Frame k renders tick k, so row r is first seen after frame tick(r).
                const long tick = ticks_between(s, 0, order) + ticks_to_row(s, order, row);
                ASSERT_EQ(starts[i].second, (Position{order, row})) << "at tick " << tick;
                ASSERT_EQ(starts[i].first, tick) << "order " << order << " row " << row;
            }
        EXPECT_EQ(i, starts.size());
        EXPECT_EQ(end_frame, ticks_between(s, 0, orders) + 1);  // the read after the last tick comes back empty
        // Over for good at one past the last order: no loop back to the restart order.
        for (int frame = 0; frame < 100; ++frame) music_frame_presented();
        EXPECT_EQ(position_now(), (Position{orders, 0}));
        EXPECT_FALSE(music_status().active);
        EXPECT_EQ(music_status().orders, orders);
        BASS_Free();
    }
}

TEST_F(MusicTest, HalfRateFramesAlternateAndKeepTheSongLength)
{
    start_file(song_path[1], true, 0, 22050);
    const SongStructure& s = song_structure(1);
    long end_frame = 0;
    // Ticks are 367 frames at 22,050 Hz against 367.5 per presented frame: the
    // song runs 0.14 % fast, so each order starts at most a frame or so early.
    for (const auto& [frame, p] : row_starts(end_frame)) {
        if (p.row != 0) continue;
        EXPECT_NEAR(double(frame), double(ticks_between(s, 0, p.order) * 367 * 2 / 735), 1.0) << "order " << p.order;
    }
    EXPECT_NEAR(double(end_frame), ticks_between(s, 0, 15) * 367.0 / 367.5, 2.0);
}

TEST_F(MusicTest, SixtyFourQueriesWithoutAFrameAdvanceOneFrameAndCallTheHook)
{
    start_file(song_path[1], true, 1);
    static int hook_calls = 0;
    hook_calls = 0;
    music_set_spin_hook([](void*) { ++hook_calls; }, nullptr);
    for (int i = 0; i < 63; ++i) BASS_ChannelGetPosition(music_channel);
    EXPECT_EQ(hook_calls, 0);
    EXPECT_EQ(music_status().seconds, 0.0);
    BASS_ChannelIsActive(music_channel);  // activity queries count too
    EXPECT_EQ(hook_calls, 1);
    EXPECT_NEAR(music_status().seconds, 1.0 / 60, 1e-9);
    for (int i = 0; i < 40; ++i) BASS_ChannelGetPosition(music_channel);
    music_frame_presented();  // a presentation starts a new run
    for (int i = 0; i < 63; ++i) BASS_ChannelGetPosition(music_channel);
    EXPECT_EQ(hook_calls, 1);
    // A spin-wait on the position ends: order 1 lasts 384 frames.
    while (music_order() == 1) {
    }
    EXPECT_EQ(music_order(), 2);
    EXPECT_EQ(hook_calls, 384);  // 385 frames rendered in all, one of them presented
}

TEST_F(MusicTest, ClickTrackMarksEveryOrderStartLeftAndEveryCueRowRight)
{
    // The sample frames where one channel rises above 1000 after at least 20 ms of quiet.
    const auto onsets = [](const std::vector<std::int16_t>& stereo, std::size_t channel) {
        std::vector<long> found;
        long quiet = 1 << 20;
        for (std::size_t f = 0; f * 2 + 1 < stereo.size(); ++f) {
            const bool loud = std::abs(int(stereo[f * 2 + channel])) > 1000;
            if (loud && quiet > 882) found.push_back(long(f));
            quiet = loud ? 0 : quiet + 1;
        }
        return found;
    };
    for (int song = 1; song <= 2; ++song) {
        SCOPED_TRACE("song " + std::to_string(song));
        const SongStructure& s = song_structure(song);
        const std::string xm = ::testing::TempDir() + "velmora_clicks.xm";
        write_xm(xm, click_track_module(s));
        const std::vector<std::int16_t> audio = wav_samples(record_wav(xm.c_str(), 44100), 44100);
        std::remove(xm.c_str());
        const long ticks = ticks_between(s, 0, int(s.orders.size()));
        EXPECT_EQ(long(audio.size() / 2), (ticks + 1) * 735);  // the last, empty frame is silence
        std::vector<long> order_starts, cue_rows;
        for (int order = 0; order < int(s.orders.size()); ++order) {
            order_starts.push_back(ticks_between(s, 0, order) * 735);
            for (int row : s.orders[order].cues)
                cue_rows.push_back((ticks_between(s, 0, order) + ticks_to_row(s, order, row)) * 735);
        }
        for (std::size_t channel = 0; channel < 2; ++channel) {
            const std::vector<long> found = onsets(audio, channel), &expected = channel == 0 ? order_starts : cue_rows;
            ASSERT_EQ(found.size(), expected.size());
            for (std::size_t i = 0; i < found.size(); ++i)
                EXPECT_NEAR(double(found[i]), double(expected[i]), 64.0) << "onset " << i;
        }
    }
}

TEST_F(MusicTest, TheSameRunWritesTheSameWavBytes)
{
    const std::string first = record_wav(song_path[2], 22050, 300);
    // 300 frames at 22,050 Hz hold exactly 110,250 sample frames.
    EXPECT_EQ(wav_samples(first, 22050).size(), 110250u * 2u);
    EXPECT_TRUE(first == record_wav(song_path[2], 22050, 300));
}

TEST_F(MusicTest, MissingOrCorruptSongThrowsNamingTheFile)
{
    music_set_frame_locked(true);
    BASS_Init(-1, 44100, 0, nullptr);
    const std::string junk = ::testing::TempDir() + "velmora_junk.xm";
    std::ofstream(junk, std::ios::binary) << "this is not a module at all";
    const std::pair<std::string, std::string> files[] = {{"qd\\music\\missing.xm", "qd/music/missing.xm"},
                                                         {junk, junk}};
    for (const auto& [file, named] : files) {
        try {
            BASS_MusicLoad(0, file.c_str(), 0, 0, 1);
            ADD_FAILURE() << "no error for " << file;
        } catch (const DynamicError& e) {
            EXPECT_NE(std::string(e.what()).find(named), std::string::npos) << e.what();
        }
    }
    std::remove(junk.c_str());
    EXPECT_EQ(BASS_ChannelIsActive(music_channel), 0u) << "no song, nothing active";
}

// SDL's dummy and disk drivers play nowhere and run a few per cent fast, so the
// song is decoded silently against the wall clock and the disk driver's file is
// never written. With the test switch the disk driver stands in for a sound card:
// the audio callback renders, publishes row marks, and the position interpolates
// between callbacks. Rows must only move forward within order 0, and reaching
// row 3 (0.3 s into song 2) must take real time. Only lower bounds on time are
// checked, which a loaded machine cannot break: it can only make rows late.
TEST_F(MusicTest, SilentAndDeviceOutputsReportRowsInRealTime)
{
    const std::string raw = ::testing::TempDir() + "velmora_disk.raw";
    setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
    const std::pair<const char*, bool> runs[] = {{"dummy", false}, {"disk", false}, {"disk", true}};
    for (const auto& [driver, as_device] : runs) {
        SCOPED_TRACE(std::string(driver) + (as_device ? " as a device" : ""));
        std::remove(raw.c_str());
        setenv("SDL_AUDIODRIVER", driver, 1);
        music_take_any_driver_as_device(as_device);
        const auto started = std::chrono::steady_clock::now();
        start_file(song_path[2], false);
        const auto give_up = started + std::chrono::seconds(20);
        Position last = position_now();
        EXPECT_EQ(last.order, 0);
        EXPECT_LE(last.row, 1);
        while (last.row < 3 && last.order == 0 && std::chrono::steady_clock::now() < give_up) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const Position p = position_now();
            EXPECT_TRUE(p.order == 0 && p.row >= last.row) << p.order << ":" << p.row << " after " << last.row;
            last = p;
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_TRUE(last.order == 0 && last.row >= 3) << "the song did not move on: " << last.order << ":" << last.row;
        EXPECT_GE(seconds, 0.2) << "three rows of song 2 came faster than real time";
        EXPECT_NE(BASS_ChannelIsActive(music_channel), 0u);
        BASS_Free();
        // Only the callback path writes the file.
        std::ifstream in(raw, std::ios::binary | std::ios::ate);
        if (as_device)
            EXPECT_GT(in.is_open() ? long(in.tellg()) : 0L, 0L) << "the callback wrote nothing";
        else
            EXPECT_FALSE(in.is_open()) << "the disk driver was played as a clock";
    }
    music_take_any_driver_as_device(false);
    std::remove(raw.c_str());
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
}
