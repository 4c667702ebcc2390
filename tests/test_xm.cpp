// test_xm.cpp -- the XM writer's bytes as libopenmpt reads them, the written songs in a second player (xmp,
// where installed), and the songs' timeline lengths.
#include "tools/forge/song_structure.h"
#include "tools/forge/xm.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Little-endian fields of the given widths at `base` + offset, as unsigned numbers.
std::vector<unsigned> fields(const std::vector<std::uint8_t>& b, std::size_t base,
                             std::initializer_list<std::pair<std::size_t, int>> offsets_and_widths)
{
    std::vector<unsigned> values;
    for (const auto& [offset, width] : offsets_and_widths) {
        unsigned& v = values.emplace_back(0);
        for (int i = width - 1; i >= 0; --i) v = v << 8 | b.at(base + offset + std::size_t(i));
    }
    return values;
}

// Two channels, one instrument with a 4-frame sample, patterns of 2 and 12 rows.
XmModule small_module()
{
    XmModule m;
    m.name = "small", m.channels = 2, m.orders = {1, 0, 1};
    m.patterns.assign({XmPattern(2, 2), XmPattern(12, 2)});  // the second empty: no data
    m.patterns[0].at(0, 0) = XmCell{49, 1, 0x40, 15, 4};     // every field: written raw
    m.patterns[0].at(0, 1) = XmCell{97, 0, 0, 0, 0};         // key-off alone
    m.patterns[0].at(1, 1) = XmCell{0, 0, 0, 12, 0};         // effect without parameter
    m.instruments.resize(2);  // the second without samples: the short header
    XmInstrument& ins = m.instruments[0];
    ins.name = "tone", ins.fadeout = 1024;
    ins.volume_envelope.points = {{0, 64}, {10, 32}, {20, 0}};
    ins.volume_envelope.sustain = 1;
    XmSample& s = ins.samples.emplace_back();
    s.frames = {100, -100, 32767, -32768};
    s.loop = XmLoop::forward;
    s.loop_start = 1, s.loop_length = 2, s.finetune = -8, s.relative_note = -12;
    return m;
}

}  // namespace

TEST(XmWriter, WritesEveryFieldAndLibopenmptReadsIt)
{
    const std::vector<std::uint8_t> b = encode_xm(small_module());
    // Header 336, pattern 0: 9 + 5 raw + 2 (0x81 97) + 1 (0x80) + 2 (0x88 12), pattern 1: 9, instrument 1: 263 +
    // 40 + 8 data, instrument 2: 29. Counts, rows, speed and tempo are read back by libopenmpt at the end; here
    // the fields a lenient player would not notice.
    const std::size_t pattern0 = 336, pattern1 = pattern0 + 9 + 10, ins1 = pattern1 + 9, sample = ins1 + 263;
    ASSERT_EQ(b.size(), sample + 40 + 8 + 29);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 17), "Extended Module: ");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[17])), "small");
    // 0x1A, version, header size, linear frequencies, the order table
    EXPECT_EQ(fields(b, 0, {{37, 1}, {58, 2}, {60, 4}, {74, 2}, {80, 1}, {81, 1}, {82, 1}, {83, 1}}),
              (std::vector<unsigned>{0x1A, 0x0104, 276, 1, 1, 0, 1, 0}));
    // pattern header size and packed sizes; pattern 0's packed cells
    EXPECT_EQ(fields(b, 0, {{pattern0, 4}, {pattern0 + 7, 2}, {pattern1 + 7, 2}}), (std::vector<unsigned>{9, 10, 0}));
    const std::vector<std::uint8_t> cells(b.begin() + pattern0 + 9, b.begin() + pattern1);
    EXPECT_EQ(cells, (std::vector<std::uint8_t>{49, 1, 0x40, 15, 4, 0x81, 97, 0x80, 0x88, 12}));
    // instrument header size, samples, sample header size, second envelope point (tick 10, value 32), 3 points,
    // sustain point 1, envelope on + sustain, fadeout
    EXPECT_EQ(fields(b, ins1, {{0, 4}, {27, 2}, {29, 4}, {133, 2}, {135, 2}, {225, 1}, {227, 1}, {233, 1}, {239, 2}}),
              (std::vector<unsigned>{263, 1, 40, 10, 32, 3, 1, 3, 1024}));
    // sample length, loop start and length in bytes; finetune -8, 16-bit forward loop, relative note -12, delta
    // encoding; then the deltas modulo 65536 and the second instrument's short header
    EXPECT_EQ(fields(b, sample, {{0, 4}, {4, 4}, {8, 4}, {13, 1}, {14, 1}, {16, 1}, {17, 1}}),
              (std::vector<unsigned>{8, 2, 4, 256 - 8, 0x11, 256 - 12, 0}));
    EXPECT_EQ(fields(b, sample + 40, {{0, 2}, {2, 2}, {4, 2}, {6, 2}, {8, 4}}),
              (std::vector<unsigned>{100, 65536 - 200, 32767 + 100, 1, 29}));
    std::ostringstream log;
    openmpt::module mod(b, log);
    EXPECT_EQ(mod.get_metadata("type"), "xm");
    EXPECT_EQ(mod.get_metadata("warnings"), "");
    // orders, patterns, the first order's pattern, both patterns' rows, instruments, samples
    EXPECT_EQ((std::vector<int>{mod.get_num_orders(), mod.get_num_patterns(), mod.get_order_pattern(0), mod.get_pattern_num_rows(0),
                                mod.get_pattern_num_rows(1), mod.get_num_instruments(), mod.get_num_samples()}),
              (std::vector<int>{3, 2, 1, 2, 12, 2, 1}));
    // Pattern 1 at speed 6, then pattern 0 sets speed 4 on its first row, which holds for the last order too:
    // 12 x 6 + 2 x 4 + 12 x 4 ticks of 1/60 s.
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

// The written songs in a second, independent player: xmp (libxmp) plays every order for the timeline's length, to
// exactly 735 frames a tick at 44.1 kHz. (libopenmpt's timing of every row is the music tests'.)
TEST(Songs, XmpPlaysThemForTheTimelinesLength)
{
    if (std::system("command -v xmp >/dev/null 2>&1") != 0) GTEST_SKIP() << "xmp is not installed";
    const std::string raw = ::testing::TempDir() + "velmora_xmp.raw";
    for (int song = 1; song <= 2; ++song) {
        const SongStructure& s = song_structure(song);
        const std::string file = "qd/music/" + std::to_string(song) + ".xm";
        const std::string play = "xmp -q --norc -d file -f 44100 -o '" + raw + "' '" + file + "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(play.c_str()), 0) << file;
        const long bytes = long(std::ifstream(raw, std::ios::binary | std::ios::ate).tellg());
        EXPECT_EQ(bytes, ticks_between(s, 0, int(s.orders.size())) * 735L * 4L) << file;
    }
    std::remove(raw.c_str());
}

// The timeline's lengths: song 2's end theme (order 19 on) at least 45 s, the flyby orders of song 1 (song 1's
// 74 s are the music tests').
TEST(Songs, StructureKeepsTheTimelinesLengths)
{
    const SongStructure &one = song_structure(1), &two = song_structure(2);
    EXPECT_GE(ticks_between(two, 19, int(two.orders.size())) / 60.0, 45.0);
    EXPECT_NEAR(order_seconds(one, 10), 4.27, 0.01);
    EXPECT_NEAR(order_seconds(one, 13), 1.07, 0.01);
    EXPECT_LT(ticks_between(one, 11, 12), 80);  // shorter than the second flyby
}
