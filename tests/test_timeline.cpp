// test_timeline.cpp -- a frame-locked run of the whole show in both builds, its
// scene log held against the song structure: which scene or entry step runs in
// which orders, and how many frames the frame-counted phases last.
#include "capture_child.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

namespace {

constexpr int any = -1;
constexpr int final_build = 1, vox_build = 2;

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
            {"end_screens", 0, at(19, 0), unchecked, 192000, 0, "the end screens' bound without a key"},
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

}  // namespace

// Both builds run side by side, so that their two runs share the machine's cores.
TEST(Timeline, BothBuildsFollowTheSongs)
{
    const auto dir = capture_scratch_dir("timeline");
    const auto file = [&](const char* kind, int b) { return dir / (kind + std::to_string(b)); };
    std::FILE* children[2];
    for (int b = 0; b < 2; ++b)
        children[b] = start_capture(std::string(b == 0 ? "" : "--vox ") + "--log '" + file("log", b).string() + "'",
                                    file("out", b));
    for (int b = 0; b < 2; ++b) {
        SCOPED_TRACE(b == 0 ? "velmora" : "velmora_vox");
        const int status = finish_capture(children[b]);
        std::string error;
        const SceneLog log = read_scene_log(file("log", b), error);
        if (status != 0 || !error.empty() || log.spans.empty()) {
            ADD_FAILURE() << "no scene log (exit " << status << "): " << error << "\n" << read_file(file("out", b));
            continue;
        }
        const int build = b == 0 ? final_build : vox_build;
        EXPECT_TRUE(log.shutdown_reached) << "the run without a key ends by itself";
        for (const std::string& step : show_sequence(build)) EXPECT_TRUE(log_has(log, step)) << step;
        EXPECT_EQ(sequence_failure(log, build), "");
        for (const std::string& failure : rule_failures(log)) ADD_FAILURE() << failure;
    }
    std::filesystem::remove_all(dir);
}

// The checker itself: a log built by hand with one fault of each kind, the rest as
// it should be (scenes missing from it are not checked).
TEST(Timeline, TheCheckerCatchesWrongOrdersLengthsAndSequence)
{
    SceneLog log;
    scene_log_trace(log, "fade", {0, 13, 60});            // one frame short
    scene_log_trace(log, "wait_song_end", {199, 14, 20});
    scene_log_trace(log, "song_change", {300, 15, 0});
    scene_log_trace(log, "open_display", {300, 0, 0});    // out of sequence
    scene_log_trace(log, "scroller", {400, 8, 0});        // one frame long
    scene_log_trace(log, "blob_scene", {602, 8, 33});
    scene_log_trace(log, nullptr, {700, 11, 5});          // the blob ends an order early
    const std::vector<std::string> rules = rule_failures(log);
    ASSERT_EQ(rules.size(), 3u);
    EXPECT_EQ(rules[0].rfind("fade from frame 0 (order 13 row 60) to frame 199", 0), 0u) << rules[0];
    EXPECT_EQ(rules[1].rfind("scroller from frame 400", 0), 0u) << rules[1];
    EXPECT_EQ(rules[2].rfind("blob_scene from frame 602 (order 8 row 33) to frame 700 (order 11", 0), 0u) << rules[2];
    EXPECT_NE(sequence_failure(log, final_build), "");
    log.spans.insert(log.spans.begin(), log.spans[3]);
    log.spans.erase(log.spans.begin() + 4);
    EXPECT_EQ(sequence_failure(log, final_build), "") << "open_display first is right";
}
