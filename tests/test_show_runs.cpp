// test_show_runs.cpp -- frame-locked capture runs of the whole show in both builds:
// every frame held against the golden files (tests/golden, `make golden` writes
// them), the scene log against the song structure (which scene or entry step runs
// in which orders, how long the frame-counted phases last), and runs with a key
// pressed along the way, which must reach the shutdown soon.
#include "capture_child.h"
#include "golden_frames.h"

#include "platform/console/console.h"
#include "platform/console/headless.h"
#include "platform/music/music_control.h"
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <vector>

namespace {

constexpr int any = -1;
constexpr int final_build = 1, vox_build = 2;
// The whole-show runs end with a key this far into the end screens: one cycle of
// their strip (the rings repeat every 180 frames).
constexpr long end_screen_frames = 1200;

// Where a span may start or end: an order (any: not checked) and a row range.
struct PositionRule {
    int order = any;
    int row_min = 0, row_max = 0xFFFF;
};
PositionRule at(int order, int row) { return {order, row, row}; }
PositionRule in_order(int order) { return {order, 0, 0xFFFF}; }
PositionRule rows_of(int order, int first, int last) { return {order, first, last}; }
const PositionRule unchecked{};

// One expectation about one call of a name (0 = the first).
struct SpanRule {
    const char* name;
    int call;
    PositionRule start, end;
    long frames = any;  // exact length in frames, within `slack`
    long slack = 0;
    const char* why = "";
};

// The order in which the entry runs its steps and scenes in `build`.
std::vector<std::string> show_sequence(int build)
{
    std::vector<std::string> names = {"open_display", "start_song_1", "intro_loop"};
    for (int order = 1; order <= 9; ++order) names.push_back(order % 2 != 0 ? "intro_title_scene" : "room_scene");
    for (const char* name : {"first_flyby_scene", "room_scene", "second_flyby_scene", "room_scene", "lump_scene",
                             "fade", "wait_song_end", "song_change", "fleet_scene", "texture_tunnel_scene",
                             "logo_scene", "credits_scene", "scroller", "wait_order_7", "blob_scene",
                             build == vox_build ? "voxel_scene" : "particle_scene", "chessboard_scene",
                             "grit_scene", "end_screens"})
        names.push_back(name);
    return names;
}

// An order of 64 rows at speed 6 lasts 384 frames. The player reports a new
// order one frame after its first tick has sounded, so an order-bounded span
// may be a frame longer or shorter than its orders: hence a slack of 1.
const std::vector<SpanRule>& span_rules()
{
    static const std::vector<SpanRule> rules = [] {
        // song 1: the intro loop, the title on odd orders 1-9 and room 72 on the even ones between
        std::vector<SpanRule> r;
        for (int call = 0; call < 5; ++call)
            r.push_back({"intro_title_scene", call, at(2 * call + 1, 0), at(2 * call + 2, 0), 384, 1, "one order"});
        for (int call = 0; call < 4; ++call)
            r.push_back({"room_scene", call, at(2 * call + 2, 0), at(2 * call + 3, 0), 384, 1, "room 72 an order"});
        r.insert(r.end(), {
            // song 1, order 10 on: flybys, rooms 10 and 12, the lump, the fade
            {"first_flyby_scene", 0, at(10, 0), at(10, 57), 57 * 4, 1, "57 rows at speed 4"},
            {"room_scene", 4, at(10, 57), at(11, 0), 7 * 4, 1, "room 10 for rows 57-63"},
            {"second_flyby_scene", 0, at(11, 0), in_order(12), 80, 0, "80 frames outlast order 11"},
            {"room_scene", 5, in_order(12), at(13, 0), any, 0, "room 12 while order 12 lasts"},
            {"lump_scene", 0, at(13, 0), in_order(13), 60, 0, "60 frames inside order 13"},
            {"fade", 0, rows_of(13, 60, 63), in_order(14), 200, 0, "the fade's 200 frames in order 14"},
            {"wait_song_end", 0, unchecked, at(15, 0), any, 0, "song 1 ends after its 15 orders"},
            {"song_change", 0, at(15, 0), at(0, 0), 0, 0, "song 2 starts at order 0"},
            // song 2
            {"fleet_scene", 0, at(0, 0), at(2, 0), 2 * 384, 1, "the fleet on orders 0 and 1"},
            {"texture_tunnel_scene", 0, at(2, 0), at(3, 0), 385, 1, "order 2, after its white first frame"},
            {"logo_scene", 0, at(3, 0), rows_of(5, 11, 63), any, 0, "the last cross-fade ends after row 10 of order 5"},
            {"credits_scene", 0, rows_of(5, 11, 63), at(8, 0), any, 0, "credits to the end of order 7"},
            {"scroller", 0, at(8, 0), rows_of(8, 33, 34), 201, 0, "the scroller's 201 frames open order 8"},
            {"wait_order_7", 0, unchecked, unchecked, 0, 0, "order 7 is over before the wait"},
            {"blob_scene", 0, rows_of(8, 33, 34), at(12, 0), any, 0, "the blob on orders 8 to 11"},
            {"particle_scene", 0, at(12, 0), at(14, 0), 2 * 384, 1, "particles on orders 12 and 13"},
            {"voxel_scene", 0, at(12, 0), at(14, 0), 2 * 384, 2,
             "voxels on orders 12 and 13 (at 22,050 Hz a tick is 367 samples: the song runs 0.14 % fast)"},
            {"chessboard_scene", 0, at(14, 0), at(16, 0), 2 * 384, 1, "the floor on orders 14 and 15"},
            {"grit_scene", 0, at(16, 0), at(19, 0), 3 * 384, 1, "the grit on orders 16 to 18"},
            {"end_screens", 0, at(19, 0), unchecked, end_screen_frames, 0, "the end screens until the key"},
        });
        return r;
    }();
    return rules;
}

bool position_fits(const PositionRule& rule, const ShowPosition& p)
{
    return (rule.order == any || p.order == rule.order) && p.row >= rule.row_min && p.row <= rule.row_max;
}

std::string describe(const SceneSpan& s)
{
    const auto at = [](const ShowPosition& p) {
        return "frame " + std::to_string(p.frame) + " (order " + std::to_string(p.order) + " row " +
               std::to_string(p.row) + ")";
    };
    return s.name + " from " + at(s.start) + " to " + at(s.end) + ", " + std::to_string(s.end.frame - s.start.frame) +
           " frames";
}

bool log_has(const SceneLog& log, const std::string& name)
{
    return std::any_of(log.spans.begin(), log.spans.end(), [&](const SceneSpan& s) { return s.name == name; });
}

// Every rule whose name is in the log, against the call it names; one message per mismatch.
std::vector<std::string> rule_failures(const SceneLog& log)
{
    std::map<std::string, std::vector<const SceneSpan*>> calls;
    for (const SceneSpan& s : log.spans) calls[s.name].push_back(&s);
    std::vector<std::string> failures;
    for (const SpanRule& rule : span_rules()) {
        const auto found = calls.find(rule.name);
        if (found == calls.end()) continue;
        if (rule.call >= static_cast<int>(found->second.size())) {
            failures.push_back(rule.name + (" call " + std::to_string(rule.call)) + " missing (" + rule.why + ")");
            continue;
        }
        const SceneSpan& s = *found->second[static_cast<std::size_t>(rule.call)];
        const long frames = s.end.frame - s.start.frame;
        if (!position_fits(rule.start, s.start) || !position_fits(rule.end, s.end) ||
            (rule.frames != any && (frames < rule.frames - rule.slack || frames > rule.frames + rule.slack)))
            failures.push_back(describe(s) + ": expected " + rule.why);
    }
    return failures;
}

// The log's names must be the show's sequence with the steps not logged left out;
// the message when they are not, "" when they are.
std::string sequence_failure(const SceneLog& log, int build)
{
    std::string expected, got;
    for (const std::string& name : show_sequence(build))
        if (log_has(log, name)) expected += " " + name;
    for (const SceneSpan& s : log.spans) got += " " + s.name;
    return expected == got ? "" : "the log runs:" + got + "\nexpected:" + expected;
}

// ---- keys pressed along the way ------------------------------------------------------------

// Once a key is waiting, only the logo's fixed phases (its flash, plain frame and cross-fades, 32 + 1 + 128 + 128,
// and its hold while order 4 plays, up to 384) and the credits, which have no key test, for up to three orders
// (3 x 384), still present frames.
constexpr long most_frames_after_key = 289 + 384 + 3 * 384 + 100;

// The show runs once in a child process. At the start of every scene and entry step,
// and two frames into every scene call and order, it forks; the fork presses a key
// and runs on to the shutdown, writing the frames it shows (as the capture's hash
// log) to a file of its own. The frames are counted as the capture counts them.
struct KeyedRuns {
    std::filesystem::path dir;
    bool in_fork = false;
    bool show_ending = false;
    long frames = 0;  // presented, plus the repeats of spin-waits
    int song = 1;
    std::string scene = "(start)";
    std::vector<std::uint32_t> surface = std::vector<std::uint32_t>(320 * 240, 0u);
    long group_start = 0;  // the first frame of the current scene, song and order
    long end_screens_start = -1;
    golden::FrameRecord group;
    std::set<std::string> forked;
    std::string index;  // one line per fork: its file and its name
    long key_frame = -1;
    golden::FrameLog tail;  // in a fork: the frames from its key on
    bool shutdown = false;
} keyed;

void fork_with_key(const std::string& name)
{
    if (keyed.in_fork || keyed.show_ending || !keyed.forked.insert(name).second) return;
    const std::string file = "fork_" + std::to_string(keyed.forked.size()) + ".txt";
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        keyed.in_fork = true;
        keyed.key_frame = keyed.frames;
        keyed.index = file;
        headless_push_key(key_space);
        return;  // on with the show, from inside the hook
    }
    int status = 0;
    waitpid(pid, &status, 0);
    keyed.index += file + " " + std::to_string(keyed.frames) + " " + std::to_string(status) + " " + name + "\n";
}

void count_keyed_frame(const MusicStatus& s, bool presented)
{
    if (keyed.in_fork) {
        keyed.tail.push_back({keyed.frames, keyed.song, s.order, s.row, keyed.scene,
                              surface_hash_hex(keyed.surface.data(), keyed.surface.size())});
    }
    const golden::FrameRecord now{keyed.frames, keyed.song, s.order, s.row, keyed.scene, ""};
    if (keyed.frames == 0 || !golden::same_place(now, keyed.group)) {
        keyed.group = now;
        keyed.group_start = keyed.frames;
    }
    if (presented) music_frame_presented();
    ++keyed.frames;
    if (keyed.frames == keyed.group_start + 2) fork_with_key("key at frame " + std::to_string(keyed.frames) + " in " + keyed.scene);
    // The show itself ends as the capture's run does, with a key one strip cycle into the end screens.
    if (keyed.scene == "end_screens" && keyed.frames == keyed.end_screens_start + end_screen_frames &&
        !keyed.in_fork) {
        keyed.show_ending = true;
        headless_push_key(key_space);
    }
}

void keyed_frame(const std::uint32_t* pixels, int width, int height, const char* title, long, void*)
{
    if (std::strcmp(title, "Velmora") != 0) return;
    std::copy(pixels, pixels + width * height, keyed.surface.begin());
    count_keyed_frame(music_status(), true);
}

void keyed_trace(const char* name)
{
    if (name == nullptr) {
        keyed.shutdown = true;
        return;
    }
    keyed.scene = name;
    if (keyed.scene == "song_change") keyed.song = 2;
    if (keyed.scene == "end_screens") keyed.end_screens_start = keyed.frames;
    if (keyed.scene != "open_display")  // the mode menu would read the key
        fork_with_key("key at frame " + std::to_string(keyed.frames) + " as " + keyed.scene + " starts");
}

[[noreturn]] void run_keyed_show(int build)
{
    alarm(900);  // a hang ends as a failure, never blocks the suite
    music_set_frame_locked(true);
    music_set_spin_hook([](void*) { count_keyed_frame(music_status(), false); }, nullptr);
    headless_set_frame_handler(keyed_frame, nullptr);
    set_scene_trace_hook(keyed_trace);
    headless_clear_keys();
    headless_push_key('B');
    const int result = show_main(build == vox_build ? Variant::vox_build : Variant::final_build);
    std::string text = keyed.key_frame >= 0 ? "# key " + std::to_string(keyed.key_frame) + " shutdown " +
                                           std::to_string(keyed.shutdown && result == 0) + "\n"
                                     : keyed.index;
    for (const golden::FrameRecord& r : keyed.tail) text += golden::hash_log_line(r);
    std::ofstream(keyed.dir / (keyed.key_frame >= 0 ? keyed.index : std::string("index.txt"))) << text;
    std::fflush(nullptr);
    _exit(0);
}

// One keyed run as its fork wrote it.
struct KeyedResult {
    std::string name;
    long key_frame = -1;
    bool shutdown = false;
    golden::FrameLog tail;
};

std::vector<KeyedResult> keyed_results(int build, const std::filesystem::path& dir, std::string& error)
{
    keyed.dir = dir;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) run_keyed_show(build);
    int status = 0;
    waitpid(pid, &status, 0);
    std::vector<KeyedResult> results;
    std::istringstream index(read_file(dir / "index.txt"));
    std::string file, line;
    long frame = 0;
    int fork_status = 0;
    while (index >> file >> frame >> fork_status && std::getline(index, line)) {
        KeyedResult r;
        r.name = line.substr(1);
        const std::string text = read_file(dir / file);
        if (fork_status != 0 || std::sscanf(text.c_str(), "# key %ld shutdown %d", &r.key_frame, &fork_status) != 2 ||
            !golden::read_hash_log(text, r.tail, error)) {
            error += "; the fork for \"" + r.name + "\" ended with status " + std::to_string(fork_status);
            continue;
        }
        r.shutdown = fork_status == 1;
        results.push_back(r);
    }
    if (!WIFEXITED(status) || results.empty()) error += "; the keyed show ended with status " + std::to_string(status);
    return results;
}

// ---- the runs against their golden files ------------------------------------------------------

std::filesystem::path golden_path(int build)
{
    return std::filesystem::path(VELMORA_SOURCE_DIR) / "tests" / "golden" /
           (build == final_build ? "velmora.txt" : "velmora_vox.txt");
}

bool writing_golden_files()
{
    const char* write = std::getenv("VELMORA_WRITE_GOLDEN");
    return write != nullptr && *write != '\0';
}

// Holds one run's frames to the golden file (or keeps them for writing it).
struct GoldenCheck {
    int build = final_build;
    bool writing = writing_golden_files();
    golden::GoldenFile file;
    std::vector<std::pair<std::string, golden::GoldenRun>> written;

    void check(const std::string& name, const std::string& how, const golden::FrameLog& frames, long from_frame)
    {
        if (writing) {
            written.emplace_back(name, golden::GoldenRun{how, golden::group_frames(frames, from_frame)});
            return;
        }
        const auto expected = file.find(name);
        if (expected == file.end() || expected->second.arguments != how) {
            ADD_FAILURE() << golden_path(build).filename() << " has no run \"" << name << ": " << how
                          << "\"; after an intended change, `make golden` rewrites it";
            return;
        }
        const std::string difference = golden::first_difference(expected->second.groups, frames, from_frame);
        EXPECT_EQ(difference, "") << "run \"" << name << "\" differs from " << golden_path(build).filename()
                                  << ". After an intended change of what a frame shows, `make golden` rewrites "
                                     "the golden files.";
    }
};

void check_show_runs(int build)
{
    const std::string program = build == final_build ? "velmora" : "velmora_vox";
    const auto dir = capture_scratch_dir("runs_" + program);
    GoldenCheck golden_check;
    golden_check.build = build;
    std::string error;
    if (!golden_check.writing) {
        ASSERT_TRUE(golden::parse_golden(read_file(golden_path(build)), golden_check.file, error))
            << golden_path(build) << ": " << error;
    }

    // The whole show through the capture tool: the scene log and every frame's hash.
    const std::string how = std::string(build == vox_build ? "--vox " : "") + "--key-after end_screens:" +
                            std::to_string(end_screen_frames);
    const int status = run_capture(how + " --log '" + (dir / "log").string() + "' --hash-log '" +
                                       (dir / "hashes").string() + "'",
                                   dir / "out");
    const SceneLog log = read_scene_log(dir / "log", error);
    golden::FrameLog frames;
    ASSERT_TRUE(status == 0 && error.empty() && golden::read_hash_log(read_file(dir / "hashes"), frames, error))
        << "exit " << status << ": " << error << "\n" << read_file(dir / "out");
    EXPECT_TRUE(log.shutdown_reached);
    EXPECT_EQ(sequence_failure(log, build), "");
    for (const std::string& step : show_sequence(build)) EXPECT_TRUE(log_has(log, step)) << step;
    for (const std::string& failure : rule_failures(log)) ADD_FAILURE() << failure;
    golden_check.check("show", "velmora_capture " + how, frames, 0);

    // Keys along the way: each leads to the shutdown soon, past no fade or scroller frame.
    const std::vector<KeyedResult> keyed_runs = keyed_results(build, dir, error);
    EXPECT_EQ(error, "");
    EXPECT_GT(keyed_runs.size(), 50u);
    for (const KeyedResult& run : keyed_runs) {
        EXPECT_TRUE(run.shutdown && long(run.tail.size()) <= most_frames_after_key) << run.name;
        for (const golden::FrameRecord& r : run.tail)
            EXPECT_TRUE(r.scene != "fade" && r.scene != "scroller" && r.scene != "intro_title_scene" &&
                        r.scene.rfind("wait", 0) != 0)
                << run.name << ": frame " << r.frame << " in " << r.scene;
        golden_check.check(run.name, "in-process", run.tail, run.key_frame);
    }

    if (golden_check.writing) {
        std::ofstream(golden_path(build), std::ios::binary) << golden::golden_text(program, golden_check.written);
        std::printf("wrote %s\n", golden_path(build).c_str());
    }
    std::filesystem::remove_all(dir);
}

}  // namespace

TEST(ShowRuns, VelmoraFollowsTheSongsAndShowsItsGoldenFramesAlsoAfterAKey)
{
    check_show_runs(final_build);
}

TEST(ShowRuns, VelmoraVoxFollowsTheSongsAndShowsItsGoldenFramesAlsoAfterAKey)
{
    check_show_runs(vox_build);
}

// The golden file's own machinery on made-up frames: grouping, the text form,
// and where a difference is said to lie.
TEST(GoldenFiles, TheFirstDifferenceIsNamedWithItsFramesSceneAndOrder)
{
    std::vector<golden::FrameRecord> frames;
    const auto add = [&](int count, int song, int order, const char* scene) {
        for (int row = 0; row < count; ++row)
            frames.push_back({long(frames.size()), song, order, row, scene,
                              std::string(60, 'f') + std::to_string(1000 + frames.size())});
    };
    add(40, 1, 1, "intro");
    add(20, 1, 2, "room");
    add(5, 2, 0, "fleet");
    const std::vector<golden::FrameGroup> groups = golden::group_frames(frames, 0);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(std::make_tuple(groups[1].first, groups[1].count, groups[1].blocks.size(), groups[2].blocks.size()),
              std::make_tuple(40L, 20L, std::size_t{2}, std::size_t{1}));
    EXPECT_EQ(golden::group_frames(frames, 45).size(), 2u) << "a keyed run keeps the groups from its key";

    golden::GoldenFile file;
    std::string error;
    ASSERT_TRUE(golden::parse_golden(golden::golden_text("velmora", {{"show", {"--key-after x:1", groups}}}), file, error))
        << error;
    EXPECT_EQ(file["show"].arguments, "--key-after x:1");
    EXPECT_EQ(golden::first_difference(file["show"].groups, frames), "");

    std::vector<golden::FrameRecord> changed = frames;
    changed[37].hash[0] = '0';
    EXPECT_EQ(golden::first_difference(groups, changed),
              "the first difference lies in frames 32-39: intro, song 1 order 1, rows 32-39 (golden: frames 0-39, "
              "intro, song 1 order 1)");
    changed = frames;
    changed[40].order = 1;  // the same pictures, the first order one frame longer
    changed[40].scene = "intro";
    EXPECT_EQ(golden::first_difference(groups, changed),
              "the pictures agree, but frame 40: intro, song 1 order 1, rows 0-0 (golden: frames 0-39, intro, song 1 "
              "order 1)");
    const std::vector<golden::FrameRecord> shorter(frames.begin(), frames.end() - 5);
    EXPECT_EQ(golden::first_difference(groups, shorter).rfind("the run's frames 0-59 do not hold the golden group", 0),
              0u);
    changed = frames;
    changed.push_back(changed.back());
    EXPECT_EQ(golden::first_difference(groups, changed).rfind("the pictures agree, but frame 65: fleet", 0), 0u);
    // A keyed run's frames begin at its key; with no golden frames after the key, any frame is a difference.
    const golden::FrameLog tail(frames.begin() + 45, frames.end());
    EXPECT_EQ(golden::first_difference(golden::group_frames(tail, 45), tail, 45), "");
    EXPECT_EQ(golden::first_difference({}, tail, 45).rfind("the run goes on past the golden frames: frames 45-64", 0), 0u);
    EXPECT_EQ(golden::first_difference({}, {}, 45), "");
    EXPECT_FALSE(golden::parse_golden("run a: b\n0 16 1 1 intro 0123456789abcdef\n", file, error)) << "a block missing";
}
