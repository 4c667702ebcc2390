// test_xm.cpp -- the XM writer's bytes, and the written songs as two independent
// players (libopenmpt and, where installed, xmp) read them.
#include "tools/forge/song_structure.h"
#include "tools/forge/xm.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

unsigned u16(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return unsigned(b[at]) | unsigned(b[at + 1]) << 8;
}

std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return std::uint32_t(u16(b, at)) | std::uint32_t(u16(b, at + 2)) << 16;
}

// Two channels, one instrument with a 4-frame sample, patterns of 2 and 12 rows.
XmModule small_module()
{
    XmModule m;
    m.name = "small";
    m.channels = 2;
    m.orders = {1, 0, 1};
    XmPattern p0(2, 2);
    p0.at(0, 0) = XmCell{49, 1, 0x40, 15, 4};  // every field: written raw
    p0.at(0, 1) = XmCell{97, 0, 0, 0, 0};      // key-off alone
    p0.at(1, 1) = XmCell{0, 0, 0, 12, 0};      // effect without parameter
    m.patterns.push_back(p0);
    m.patterns.push_back(XmPattern(12, 2));    // empty: no data
    XmInstrument ins;
    ins.name = "tone";
    XmSample s;
    s.frames = {100, -100, 32767, -32768};
    s.loop = XmLoop::forward;
    s.loop_start = 1;
    s.loop_length = 2;
    s.relative_note = -12;
    s.finetune = -8;
    ins.samples.push_back(s);
    ins.volume_envelope.points = {{0, 64}, {10, 32}, {20, 0}};
    ins.volume_envelope.sustain = 1;
    ins.fadeout = 1024;
    m.instruments.push_back(ins);
    m.instruments.push_back(XmInstrument{});  // no samples: the short header
    return m;
}

}  // namespace

TEST(XmWriter, WritesHeaderPatternsAndInstrumentsByteForByte)
{
    const std::vector<std::uint8_t> b = encode_xm(small_module());
    // Header 336, pattern 0: 9 + 5 raw + 2 (0x81 97) + 1 (0x80) + 2 (0x88 12),
    // pattern 1: 9, instrument 1: 263 + 40 + 8 data, instrument 2: 29.
    const std::size_t pattern0 = 336, pattern1 = pattern0 + 9 + 10, ins1 = pattern1 + 9;
    ASSERT_EQ(b.size(), ins1 + 263 + 40 + 8 + 29);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 17), "Extended Module: ");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[17])), "small");
    EXPECT_EQ(b[37], 0x1A);
    EXPECT_EQ(u16(b, 58), 0x0104u);
    EXPECT_EQ(u32(b, 60), 276u);
    EXPECT_EQ(u16(b, 64), 3u);   // orders
    EXPECT_EQ(u16(b, 68), 2u);   // channels
    EXPECT_EQ(u16(b, 70), 2u);   // patterns
    EXPECT_EQ(u16(b, 72), 2u);   // instruments
    EXPECT_EQ(u16(b, 74), 1u);   // linear frequencies
    EXPECT_EQ(u16(b, 76), 6u);
    EXPECT_EQ(u16(b, 78), 150u);
    EXPECT_EQ((std::vector<std::uint8_t>(b.begin() + 80, b.begin() + 84)), (std::vector<std::uint8_t>{1, 0, 1, 0}));

    EXPECT_EQ(u32(b, pattern0), 9u);
    EXPECT_EQ(u16(b, pattern0 + 5), 2u);
    EXPECT_EQ(u16(b, pattern0 + 7), 10u);
    const std::vector<std::uint8_t> cells(b.begin() + pattern0 + 9, b.begin() + pattern1);
    EXPECT_EQ(cells, (std::vector<std::uint8_t>{49, 1, 0x40, 15, 4, 0x81, 97, 0x80, 0x88, 12}));
    EXPECT_EQ(u16(b, pattern1 + 5), 12u);
    EXPECT_EQ(u16(b, pattern1 + 7), 0u);

    EXPECT_EQ(u32(b, ins1), 263u);
    EXPECT_EQ(u16(b, ins1 + 27), 1u);
    EXPECT_EQ(u32(b, ins1 + 29), 40u);
    EXPECT_EQ(u16(b, ins1 + 129 + 4), 10u);   // second envelope point: tick 10, value 32
    EXPECT_EQ(u16(b, ins1 + 129 + 6), 32u);
    EXPECT_EQ(b[ins1 + 225], 3);              // volume points
    EXPECT_EQ(b[ins1 + 227], 1);              // sustain point
    EXPECT_EQ(b[ins1 + 233], 3);              // on, sustain
    EXPECT_EQ(u16(b, ins1 + 239), 1024u);
    const std::size_t sh = ins1 + 263;
    EXPECT_EQ(u32(b, sh), 8u);                // lengths in bytes
    EXPECT_EQ(u32(b, sh + 4), 2u);
    EXPECT_EQ(u32(b, sh + 8), 4u);
    EXPECT_EQ(b[sh + 14], 0x11);              // 16-bit, forward loop
    EXPECT_EQ(std::int8_t(b[sh + 13]), -8);
    EXPECT_EQ(std::int8_t(b[sh + 16]), -12);
    EXPECT_EQ(b[sh + 17], 0);
    // Deltas modulo 65536: 100, -200, 32867, 1.
    const std::size_t data = sh + 40;
    EXPECT_EQ(u16(b, data), 100u);
    EXPECT_EQ(u16(b, data + 2), std::uint16_t(-200));
    EXPECT_EQ(u16(b, data + 4), std::uint16_t(32767 + 100));
    EXPECT_EQ(u16(b, data + 6), 1u);
    EXPECT_EQ(u32(b, data + 8), 29u);
}

TEST(XmWriter, LibopenmptReadsWhatWasWritten)
{
    const std::vector<std::uint8_t> b = encode_xm(small_module());
    std::ostringstream log;
    openmpt::module mod(b, log);
    EXPECT_EQ(mod.get_metadata("type"), "xm");
    EXPECT_EQ(mod.get_metadata("warnings"), "");
    EXPECT_EQ(mod.get_num_orders(), 3);
    EXPECT_EQ(mod.get_num_patterns(), 2);
    EXPECT_EQ(mod.get_order_pattern(0), 1);
    EXPECT_EQ(mod.get_pattern_num_rows(0), 2);
    EXPECT_EQ(mod.get_pattern_num_rows(1), 12);
    EXPECT_EQ(mod.get_num_instruments(), 2);
    EXPECT_EQ(mod.get_num_samples(), 1);
    // Pattern 1 at speed 6, then pattern 0 sets speed 4 on its first row, which
    // holds for the last order too: 12 x 6 + 2 x 4 + 12 x 4 ticks of 1/60 s.
    EXPECT_NEAR(mod.get_duration_seconds(), (12 * 6 + 2 * 4 + 12 * 4) / 60.0, 1e-3);
}

TEST(XmWriter, RefusesAModuleItCannotWrite)
{
    XmModule m = small_module();
    m.orders.push_back(7);  // no pattern 7
    EXPECT_EXIT(encode_xm(m), ::testing::ExitedWithCode(1), "missing pattern");
    m = small_module();
    m.patterns[0].cells.pop_back();
    EXPECT_EXIT(encode_xm(m), ::testing::ExitedWithCode(1), "cell count");
}

namespace {

std::vector<std::uint8_t> song_bytes(int song)
{
    const std::string file = std::string("qd/music/") + (song == 1 ? "1.xm" : "2.xm");
    std::ifstream in(file, std::ios::binary);
    EXPECT_TRUE(in.good()) << file;
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

double song_ticks_seconds(const SongStructure& s, int from)
{
    return ticks_between(s, from, int(s.orders.size())) / 60.0;
}

}  // namespace

TEST(Songs, WrittenFilesCarryTheStructure)
{
    for (int song = 1; song <= 2; ++song) {
        SCOPED_TRACE("song " + std::to_string(song));
        const SongStructure& s = song_structure(song);
        const std::vector<std::uint8_t> bytes = song_bytes(song);
        std::ostringstream log;
        openmpt::module mod(bytes, log);
        ASSERT_EQ(mod.get_num_orders(), int(s.orders.size()));
        for (int order = 0; order < int(s.orders.size()); ++order) {
            EXPECT_EQ(mod.get_pattern_num_rows(mod.get_order_pattern(order)), s.orders[order].rows);
            mod.set_position_order_row(order, 0);
            std::vector<float> tick(2 * 735);
            mod.read_interleaved_stereo(44100, 735, tick.data());  // row 0's speed effect applies
            EXPECT_EQ(mod.get_current_speed(), s.orders[order].speed) << "order " << order;
            EXPECT_EQ(mod.get_current_tempo(), song_bpm);
        }
        EXPECT_NEAR(mod.get_duration_seconds(), song_ticks_seconds(s, 0), 1e-6);
    }
    // The timeline's lengths: song 1 heard from order 1 for about 74 s, song 2's
    // end theme (order 19 on) at least 45 s.
    EXPECT_NEAR(song_ticks_seconds(song_structure(1), 1), 74.3, 0.05);
    EXPECT_GE(song_ticks_seconds(song_structure(2), 19), 45.0);
    EXPECT_NEAR(order_seconds(song_structure(1), 10), 4.27, 0.01);
    EXPECT_NEAR(order_seconds(song_structure(1), 13), 1.07, 0.01);
    EXPECT_LT(ticks_between(song_structure(1), 11, 12), 80);  // shorter than the second flyby
}

namespace {

std::string command_output(const std::string& command)
{
    std::string out;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
        pclose(pipe);
    }
    return out;
}

}  // namespace

// A second, independent player: xmp (libxmp) must agree on orders and length.
TEST(Songs, XmpPlaysThemWithTheSameOrdersAndLength)
{
    if (std::system("command -v xmp >/dev/null 2>&1") != 0) GTEST_SKIP() << "xmp is not installed";
    for (int song = 1; song <= 2; ++song) {
        SCOPED_TRACE("song " + std::to_string(song));
        const SongStructure& s = song_structure(song);
        const std::string file = std::string("qd/music/") + (song == 1 ? "1.xm" : "2.xm");
        const std::string info = command_output("xmp --load-only --norc -d null '" + file + "' 2>&1");
        EXPECT_NE(info.find("Module length: " + std::to_string(s.orders.size()) + " patterns"), std::string::npos)
            << info;
        // Rendered to a raw 16-bit stereo file at 44.1 kHz: exactly 735 frames a tick.
        const std::string raw = ::testing::TempDir() + "velmora_xmp.raw";
        ASSERT_EQ(std::system(("xmp -q --norc -d file -f 44100 -o '" + raw + "' '" + file + "' >/dev/null 2>&1").c_str()), 0);
        std::ifstream in(raw, std::ios::binary | std::ios::ate);
        EXPECT_EQ(long(in.tellg()), ticks_between(s, 0, int(s.orders.size())) * 735L * 4L);
        std::remove(raw.c_str());
    }
}
