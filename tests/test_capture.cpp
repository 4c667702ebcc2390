// test_capture.cpp -- the capture tool: its pieces (command line, video planes,
// scene log, statistics, font, contact sheet), and frame-locked runs of the real
// show that must repeat byte for byte and end soon after a key.
#include "capture_child.h"

#include "tools/capture/bench_stats.h"
#include "tools/capture/bitmap_font.h"
#include "tools/capture/capture_options.h"
#include "tools/capture/contact_sheet.h"
#include "tools/capture/progress_bar.h"
#include "tools/capture/scene_log.h"
#include "tools/capture/y4m_writer.h"
#include "tools/common/sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <tuple>
#include <vector>

namespace {

bool parse(std::vector<const char*> args, CaptureOptions& options, std::string& error)
{
    args.insert(args.begin(), "velmora_capture");
    options = CaptureOptions{};
    error.clear();
    return parse_capture_options(static_cast<int>(args.size()), args.data(), options, error);
}

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::uint32_t rgb(int r, int g, int b)
{
    return static_cast<std::uint32_t>(r << 16 | g << 8 | b);
}

}  // namespace

TEST(CaptureOptions, ReadsEveryOptionSelectsFramesAndRejectsBadCommandLinesWithAMessage)
{
    CaptureOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--vox", "--menu-key", "C", "--key-at", "90", "--key-at", "12", "--key-after",
                       "end_screens:60", "--frames-out", "d", "--every", "5", "--range", "100-120", "--video",
                       "v.y4m", "--video-444", "--audio", "a.wav", "--sheet", "s.png", "--log", "l.txt",
                       "--bench-json", "b.json", "--max-frames", "300", "--quiet", "--hash-log", "h.txt"},
                      o, error))
        << error;
    EXPECT_TRUE(o.vox && o.video_444 && writes_files(o));
    EXPECT_TRUE(o.bench) << "--bench-json implies --bench";
    EXPECT_EQ(std::make_tuple(o.menu_key, o.max_frames, o.hash_log), std::make_tuple('C', 300L, std::string("h.txt")));
    EXPECT_EQ(o.key_frames, (std::vector<long>{90, 12}));
    ASSERT_EQ(o.key_after.size(), 1u);
    EXPECT_EQ(o.key_after[0].scene + ":" + std::to_string(o.key_after[0].frames), "end_screens:60");
    std::vector<long> picked;
    for (long f = 0; f < 200; ++f)
        if (frame_selected(o, f)) picked.push_back(f);
    EXPECT_EQ(picked, (std::vector<long>{100, 105, 110, 115, 120}));

    ASSERT_TRUE(parse({"--log", "l.txt"}, o, error));
    EXPECT_EQ(o.menu_key, 'B') << "the default answer";
    EXPECT_FALSE(writes_files(o)) << "a log alone gets no progress bar";
    EXPECT_FALSE(frame_selected(o, 0)) << "no frames without --frames-out";

    const std::vector<std::vector<const char*>> bad = {
        {"--bogus"},          {"--key-at"},         {"--key-at", "-3"},     {"--key-at", "12x"},
        {"--menu-key", "D"},  {"--menu-key", "BB"}, {"--every", "0"},       {"--frames-out", "d", "--range", "9-3"},
        {"--range", "1-2"},   {"--max-frames", "0"}, {"--key-after", "x"},  {"--key-after", ":5"},
        {"--video", ""},      {"--every", "99999999999999999999999", "--frames-out", "d"},
        {"--mesh", "m.asc"},  {"--hash-log"}};
    for (const auto& args : bad) {
        EXPECT_FALSE(parse(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

// Limited-range BT.601 in floating point is the reference for the integer version;
// chroma is one value per 2x2 block (the block's mean colour) or per pixel.
TEST(Y4mVideo, ConvertsWithinOneStepOfBt601AndAveragesChromaOverTwoByTwoBlocks)
{
    std::mt19937 random(7);
    for (int i = 0; i < 20000; ++i) {
        const int r = int(random() & 255), g = int(random() & 255), b = int(random() & 255);
        EXPECT_NEAR(luma_of(rgb(r, g, b)), 16.0 + (65.738 * r + 129.057 * g + 25.064 * b) / 256.0, 1.0);
        EXPECT_NEAR(blue_chroma_of(r, g, b), 128.0 + (-37.945 * r - 74.494 * g + 112.439 * b) / 256.0, 1.0);
        EXPECT_NEAR(red_chroma_of(r, g, b), 128.0 + (112.439 * r - 94.154 * g - 18.285 * b) / 256.0, 1.0);
    }
    EXPECT_EQ((std::vector<int>{luma_of(0), luma_of(0xFFFFFF), blue_chroma_of(255, 255, 255), red_chroma_of(0, 0, 0)}),
              (std::vector<int>{16, 235, 128, 128}));

    // A 4x2 image: the left 2x2 block four colours whose mean is (510 / 4, rounded) 128 each, the right one grey.
    const std::uint32_t image[8] = {rgb(255, 0, 0), rgb(0, 255, 0), rgb(90, 90, 90), rgb(90, 90, 90),
                                    rgb(0, 0, 255), rgb(255, 255, 255), rgb(90, 90, 90), rgb(90, 90, 90)};
    std::vector<std::uint8_t> planes;
    y4m_frame_planes(image, 4, 2, false, planes);
    ASSERT_EQ(planes.size(), 8u + 2u + 2u);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(planes[std::size_t(i)], luma_of(image[i]));
    EXPECT_EQ(std::vector<std::uint8_t>(planes.begin() + 8, planes.end()),
              (std::vector<std::uint8_t>{blue_chroma_of(128, 128, 128), blue_chroma_of(90, 90, 90),
                                         red_chroma_of(128, 128, 128), red_chroma_of(90, 90, 90)}));
    y4m_frame_planes(image, 4, 2, true, planes);
    ASSERT_EQ(planes.size(), 24u);
    EXPECT_EQ(planes[8], blue_chroma_of(255, 0, 0));
    EXPECT_EQ(planes[16 + 5], red_chroma_of(255, 255, 255));
    EXPECT_EQ(y4m_header(320, 240, false), "YUV4MPEG2 W320 H240 F60:1 Ip A1:1 C420jpeg XCOLORRANGE=LIMITED\n");
    EXPECT_TRUE(has(y4m_header(320, 240, true), " C444 "));
}

TEST(SceneLogRecord, EachTraceEndsTheSpanBeforeItAndTheTextFormRoundTrips)
{
    SceneLog log;
    scene_log_trace(log, "intro_title_scene", {0, 1, 0});
    scene_log_trace(log, "room scene", {384, 2, 0});
    scene_log_trace(log, "fade", {700, 10, 5});
    scene_log_trace(log, nullptr, {900, 15, 0});
    scene_log_finish(log, {950, 0, 0});  // already closed: no change
    ASSERT_EQ(log.spans.size(), 3u);
    EXPECT_TRUE(log.shutdown_reached);
    EXPECT_EQ(log.spans[1].name, "room_scene") << "names stay one word";
    EXPECT_EQ(std::make_tuple(log.spans[0].end.frame, log.spans[1].end.order, log.spans[2].end.frame),
              std::make_tuple(384L, 10, 900L));

    SceneLog back;
    std::string error;
    ASSERT_TRUE(parse_scene_log(scene_log_text(log), back, error)) << error;
    ASSERT_EQ(back.spans.size(), 3u);
    EXPECT_TRUE(back.shutdown_reached);
    EXPECT_EQ(std::make_tuple(back.spans[2].start.frame, back.spans[1].end.row), std::make_tuple(700L, 5));
    EXPECT_EQ(scene_log_text(back), scene_log_text(log));

    SceneLog open;  // no shutdown: the last span ends where the run stopped
    scene_log_trace(open, "end_screens", {10, 19, 0});
    scene_log_finish(open, {20, 19, 3});
    EXPECT_FALSE(open.shutdown_reached);
    EXPECT_EQ(open.spans[0].end.frame, 20);
    EXPECT_FALSE(parse_scene_log(scene_log_text(open), back, error) && back.shutdown_reached);
    EXPECT_FALSE(parse_scene_log("fade 1 2 3 4 5 6 7\n", back, error) ||
                 parse_scene_log("fade 1 2 3 4 5\n", back, error));
    EXPECT_TRUE(has(error, "line 1"));
}

TEST(BenchStatistics, MedianPercentileAndRatios)
{
    EXPECT_EQ(median_of({}), 0.0);
    EXPECT_EQ(median_of({5.0, 1.0, 3.0}), 3.0);
    EXPECT_EQ(median_of({4.0, 1.0, 3.0, 2.0}), 2.5);
    std::vector<double> hundred;
    for (int i = 100; i >= 1; --i) hundred.push_back(i);
    EXPECT_EQ(percentile_of(hundred, 99.0), 99.0);
    EXPECT_EQ(percentile_of({1.0, 2.0}, 99.0), 2.0);
    EXPECT_EQ(percentile_of({}, 99.0), 0.0);

    std::vector<SceneTimes> scenes;
    scene_times(scenes, "fleet_scene").frame_ms = {2.0, 4.0, 3.0};
    scene_times(scenes, "logo_scene").setup_ms = 5.0;
    scene_times(scenes, "fleet_scene").calls = 2;  // found again, not added
    ASSERT_EQ(scenes.size(), 2u) << "one entry per name";
    const BenchReport report = make_bench_report(scenes, {0.5, 0.4, 0.6});
    const BenchRow& fleet = report.rows[0];
    EXPECT_EQ(std::make_tuple(fleet.frames, fleet.median_ms, fleet.worst_ms, report.rows[1].frames),
              std::make_tuple(3, 3.0, 4.0, 0));
    EXPECT_DOUBLE_EQ(ratio_to_baseline(fleet.median_ms, report), 6.0);
    EXPECT_DOUBLE_EQ(ratio_to_baseline(1.0, make_bench_report({}, {})), 0.0) << "no baseline, no ratio";
    const std::string json = bench_json(report);
    EXPECT_TRUE(has(json, "\"name\": \"fleet_scene\"") && has(json, "\"median_ratio\": 6.000000")) << json;
}

TEST(BitmapFont, GlyphsAreDistinctFoldCaseAndClipAtTheImageEdge)
{
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-+=:.,/()#%'!?*";
    std::set<std::vector<std::uint8_t>> seen;
    for (char c : alphabet) {
        const std::uint8_t* rows = glyph_rows(c);
        const bool narrow = std::all_of(rows, rows + glyph_height, [](std::uint8_t row) { return row < 0x20; });
        EXPECT_TRUE(glyph_known(c) && narrow) << c << " is missing or wider than 5 columns";
        seen.insert(std::vector<std::uint8_t>(rows, rows + glyph_height));
    }
    EXPECT_EQ(seen.size(), alphabet.size()) << "two characters share a glyph";
    EXPECT_EQ(glyph_rows('q'), glyph_rows('Q'));
    EXPECT_FALSE(glyph_known('~'));
    EXPECT_EQ(glyph_rows('~')[0], 0x1F) << "unknown characters draw as a box";
    EXPECT_EQ(std::make_pair(text_width("", 1), text_width("AB", 2)), std::make_pair(0, 22));

    // A 20x10 image inside a guard band: text hanging over every edge.
    constexpr int w = 20, h = 10, guard = 64;
    std::vector<std::uint32_t> buffer(w * h + 2 * guard, 0u);
    std::uint32_t* image = buffer.data() + guard;
    draw_text(image, w, h, -3, -4, "WWWW", 0xFFFFFF, 2);
    draw_text(image, w, h, 15, 6, "MM", 0xFFFFFF, 1);
    const auto zero = [](std::uint32_t p) { return p == 0; };
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.begin() + guard, zero) &&
                std::all_of(buffer.end() - guard, buffer.end(), zero));
    // W at scale 2 from (-3, -4): image row 0 is glyph row 2 ("#...#").
    EXPECT_EQ(std::vector<std::uint32_t>(image + 4, image + 8), (std::vector<std::uint32_t>{0, 0xFFFFFF, 0xFFFFFF, 0}));
    EXPECT_EQ(image[6 * w + 15], 0xFFFFFFu) << "M's top-left pixel";
}

TEST(ContactSheet, OneThumbnailPerGroupTakenFromItsMiddleAndPlacedRowByRow)
{
    // Groups of 1, 10, 1000 and then 1 frames, seven in all (one more than a row
    // holds); each frame's colour is its index. A last frame of the long group
    // already in the next order, within the same call, is dropped.
    std::vector<std::uint32_t> frame(320 * 200);
    ContactSheet sheet;
    const long lengths[] = {1, 10, 1000, 1, 1, 1, 1};
    for (int g = 0; g < 7; ++g)
        for (long i = 0; i < lengths[g]; ++i) {
            std::fill(frame.begin(), frame.end(), std::uint32_t(i + 0x100 * g));
            const char* title = g == 6 ? "a very long scene name that does not fit" : "scene";
            sheet_offer(sheet, "call" + std::to_string(g), "order", title, "S1 O" + std::to_string(i), frame.data());
            if (g == 2 && i == lengths[g] - 1) sheet_offer(sheet, "call2", "next order", "scene", "late", frame.data());
        }
    sheet_finish(sheet);
    ASSERT_EQ(sheet.thumbs.size(), 7u);
    EXPECT_EQ(std::make_pair(sheet.thumbs[0].pixels[0], sheet.thumbs[1].pixels[0]), std::make_pair(0u, 0x105u));
    const long middle = long(sheet.thumbs[2].pixels[0]) - 0x200;
    EXPECT_NEAR(middle, 500, 32) << "the sampled middle of a long group";
    EXPECT_EQ(sheet.thumbs[2].detail, "S1 O" + std::to_string(middle)) << "label of the frame shown";

    // The seventh thumbnail opens the second row, under the header.
    EXPECT_EQ(sheet_layout(sheet_columns).height, sheet_header_height + sheet_cell_height);
    SheetLayout layout;
    const std::vector<std::uint32_t> image = render_sheet(sheet, "HEADER", layout);
    ASSERT_EQ(image.size(), std::size_t(layout.width * layout.height));
    EXPECT_EQ(layout.height, sheet_header_height + 2 * sheet_cell_height);
    const int x = sheet_margin, y = sheet_header_height + sheet_cell_height;
    const auto at = [&](int dx, int dy) { return image[std::size_t((y + dy) * layout.width + x + dx)]; };
    EXPECT_EQ(std::make_pair(at(0, 0), at(thumb_width - 1, thumb_height - 1)), std::make_pair(0x600u, 0x600u));
    EXPECT_NE(at(thumb_width, 0), 0x600u) << "gap after the thumb";

    // The box mean rounds: (1 + 2 + 2 + 2) / 4 = 1.75 -> 2.
    std::fill(frame.begin(), frame.end(), 2u);
    frame[0] = 1u;
    std::vector<std::uint32_t> thumb;
    halve_frame(frame.data(), thumb);
    ASSERT_EQ(thumb.size(), std::size_t(thumb_width * thumb_height));
    EXPECT_EQ(thumb[0], 2u);
}

TEST(ProgressBar, ShowsCountsPositionAndEstimate)
{
    EXPECT_EQ(clock_text(187.0), "3:07");
    EXPECT_EQ(clock_text(std::nan("")), "--:--");
    const std::string line = progress_line(250, 1000, 2, 5, 12, 10.0, 20);
    EXPECT_TRUE(has(line, "[#####...............]") && has(line, "250/1000") && has(line, "ETA 0:30")) << line;
    EXPECT_TRUE(has(progress_line(1200, 1000, 2, 5, 12, 10.0, 20), "[####################]")) << "clamped when over";
    EXPECT_TRUE(has(progress_line(7, 0, 1, 1, 0, 0.0, 20), "7 frames")) << "no total, no bar";
}

TEST(FrameHash, Sha256MatchesTheStandardVectorsAcrossBlockBoundaries)
{
    const auto hex = [](const std::string& text, int repeats = 1) {
        Sha256 sha;
        sha256_start(sha);
        for (int i = 0; i < repeats; ++i) sha256_add(sha, text.data(), text.size());
        return sha256_finish_hex(sha);
    };
    EXPECT_EQ(hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1")
        << "56 bytes: the length spills into a second block";
    const std::string million_a = "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";
    EXPECT_EQ(hex("a", 1000000), million_a) << "byte by byte: every block through the buffer";
    EXPECT_EQ(hex(std::string(1000, 'a'), 1000), million_a)
        << "1000-byte pieces: whole blocks straight from the input (the processor's SHA instructions where it has "
           "them) between buffered ends";
    // The surface hash reads the pixels as the words they are stored as.
    const std::vector<std::uint32_t> pixels = {0x00112233u, 0x00445566u};
    EXPECT_EQ(surface_hash_hex(pixels.data(), pixels.size()), hex(std::string("\x33\x22\x11\0\x66\x55\x44\0", 8)));
}

// ---- the tool on the real show ----------------------------------------------------------------

TEST(CaptureRuns, TwoRunsWithTheSameOptionsWriteTheSameBytes)
{
    const auto dir = capture_scratch_dir("determinism");
    for (const char* run : {"0", "1"}) {
        const auto out = dir / run;
        std::filesystem::create_directories(out);
        const auto to = [&](const char* name) { return " '" + (out / name).string() + "'"; };
        const std::string args = "--max-frames 300 --every 50 --frames-out" + to("frames") + " --video" + to("v.y4m") +
                                 " --audio" + to("a.wav") + " --sheet" + to("sheet.png") + " --log" + to("log.txt") +
                                 " --hash-log" + to("hashes.txt");
        ASSERT_EQ(run_capture(args, out / "stdout.txt"), 0) << read_file(out / "stdout.txt");
    }
    for (const char* name : {"frames/frame_000000.png", "frames/frame_000250.png", "v.y4m", "a.wav", "sheet.png",
                             "log.txt", "hashes.txt"}) {
        const std::string first = read_file(dir / "0" / name);
        EXPECT_FALSE(first.empty()) << name;
        EXPECT_TRUE(first == read_file(dir / "1" / name)) << name << " differs between two runs";
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "0" / "frames" / "frame_000300.png")) << "--max-frames stops writing";
    // Hashes come one line each in the order asked; frame 250's equals the same frame's PNG decoded by ImageMagick.
    ASSERT_EQ(run_capture("--hash-frame 250 --hash-frame 0", dir / "hashes.txt"), 0);
    const std::string hashes = read_file(dir / "hashes.txt");
    ASSERT_EQ(hashes.size(), 2u * 65u) << hashes;
    EXPECT_NE(hashes.substr(0, 64), hashes.substr(65, 64));
    // The hash log has a line per recorded frame with the same hash: frame song order row scene hash.
    const std::string hash_log = read_file(dir / "0" / "hashes.txt");
    EXPECT_EQ(std::count(hash_log.begin(), hash_log.end(), '\n'), 1 + 300);
    EXPECT_TRUE(has(hash_log, "\n0 1 1 0 intro_title_scene " + hashes.substr(65, 64) + "\n")) << hash_log.substr(0, 200);
    EXPECT_TRUE(has(hash_log, "\n250 1 1 ")) << "frame 250 in order 1";
    EXPECT_TRUE(has(hash_log, hashes.substr(0, 64)));
    const std::string convert = "convert '" + (dir / "0" / "frames/frame_000250.png").string() +
                                "' -alpha set -channel A -evaluate set 0 +channel BGRA:- 2>/dev/null | sha256sum";
    if (std::FILE* pipe = ::popen(convert.c_str(), "r")) {
        char line[128] = {};
        const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
        if (::pclose(pipe) == 0 && read) {
            EXPECT_EQ(std::string(line, 64), hashes.substr(0, 64));
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "0" / "frames" / "frame_000049.png")) << "--every 50";
    // Exactly 300 frames of video and of 16-bit stereo audio at 44.1 kHz (1/60 s each).
    const std::size_t frame_bytes = 6u + 320u * 240u * 3u / 2u;  // "FRAME\n" and the 4:2:0 planes
    EXPECT_EQ(read_file(dir / "0" / "v.y4m").size(), y4m_header(320, 240, false).size() + 300u * frame_bytes);
    EXPECT_EQ(read_file(dir / "0" / "a.wav").size(), 44u + 300u * (44100u / 60u) * 4u);
    std::filesystem::remove_all(dir);
}

TEST(CaptureRuns, ABadCommandLineOrUnwritableOutputFailsLoudly)
{
    const auto dir = capture_scratch_dir("bad");
    const auto out = dir / "out.txt";
    EXPECT_EQ(run_capture("--no-such-option", out), 2);
    EXPECT_TRUE(has(read_file(out), "unknown option"));
    EXPECT_EQ(run_capture("--max-frames 5 --video '" + (dir / "missing" / "v.y4m").string() + "'", out), 1);
    EXPECT_TRUE(has(read_file(out), "cannot write"));
    EXPECT_EQ(run_capture("--max-frames 5 --hash-frame 9", out), 1);
    EXPECT_TRUE(has(read_file(out), "before frame 9"));
    EXPECT_EQ(run_capture("--help", out), 0);
    EXPECT_TRUE(has(read_file(out), "--frames-out"));
    std::filesystem::remove_all(dir);
}
