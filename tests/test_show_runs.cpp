// test_show_runs.cpp -- the whole show, menu to shutdown, frame-locked, in both builds:
// every frame through the capture tool held against the golden files (tests/golden;
// `make golden` writes them) and its scene log against the song structure; the same
// show in process, its entry steps recorded through the trace hook and a journal of
// the host, console and sound calls that open and close it (the link routes them
// through here: tests/cmake/show_runs.cmake); and a key pressed at every scene start
// and inside every scene and order, each fork of the run reaching the shutdown soon
// and showing its golden frames.
#include "capture_child.h"
#include "golden_frames.h"

#include "assets/assets.h"
#include "platform/console/console.h"
#include "platform/console/headless.h"
#include "platform/music/music.h"
#include "platform/music/music_control.h"
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <set>
#include <tuple>
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

// ---- the show in process: the entry's steps, and keys along the way ----------------------------

// Once a key is waiting, only the logo's fixed phases (its flash, plain frame and cross-fades, 32 + 1 + 128 + 128,
// and its hold while order 4 plays, up to 384) and the credits, which have no key test, for up to three orders
// (3 x 384), still present frames.
constexpr long most_frames_after_key = 289 + 384 + 3 * 384 + 100;

std::uint64_t pixels_hash(const std::uint32_t* pixels, int count = frame_pixels)
{
    std::uint64_t h = 1469598103934665603ull;
    for (int i = 0; i < count; ++i) h = (h ^ pixels[i]) * 1099511628211ull;
    return h;
}

bool equals_picture(const std::uint32_t* pixels, const char* path)
{
    static std::uint32_t picture[frame_pixels];
    return load_pcx(path, picture) == 0 && std::equal(picture, picture + frame_pixels, pixels);
}

// One traced step with the frame count, the music and the tables at that point.
struct Step {
    char name[24] = {};
    long frame = 0;
    int order = 0, row = 0, orders = 0;
    unsigned rate = 0;
    float sin90 = 0;
    std::uint64_t ring = 0;
};
// One call of the journal of host, console and sound calls that open and close the show.
struct Call {
    char what[24] = {};
    int steps = 0;
    long frame = 0;
    float sin90 = 0;
    int music_loaded = 0, order = 0;
};
// What the show's process reports, in memory it shares with the test.
struct ShowRecord {
    int steps = 0, calls = 0, scrolls = 0, menu_updates = 0, menu_width = 0, menu_height = 0, menu_fullscreen = 1;
    Step step[64];
    Call call[32];
    std::uint64_t scroll_frames[256] = {};  // the scroller's frames
    long fade_frames = 0, fade_wrong_pixels = 0;  // against the frame before times 250 / 256
    bool menu_blank_then_picture = false, pictures_before_intro = false, pictures_after_intro = false;
    int exit_code = -1, console_open = 1, music_loaded = 1;
    const Step* find(const std::string& name) const
    {
        for (int i = 0; i < steps; ++i)
            if (name == step[i].name) return &step[i];
        return nullptr;
    }
    std::string journal() const
    {
        std::string text;
        for (int i = 0; i < calls; ++i) text += std::string(i == 0 ? "" : ", ") + call[i].what;
        return text;
    }
};

// The process that runs the show: it records the entry's steps and, at the start of
// every scene and entry step and two frames into every scene call and order, forks;
// the fork presses a key and runs on to the shutdown, writing the frames it shows
// (as the capture's hash log) to a file of its own. Frames are counted as the
// capture counts them; the show ends as the capture's does, a strip cycle into the end screens.
struct ShowProcess {
    ShowRecord* record = nullptr;  // shared with the test; a fork writes to a copy of its own
    bool forking = false, in_fork = false, ending = false;
    long fail_at_frame = -1;  // the main console's update throws DynamicError here
    std::filesystem::path dir;
    long frames = 0, group_start = 0, end_screens_start = -1, key_frame = -1;
    int song = 1;
    std::string scene = "(start)";
    golden::FrameRecord group;
    std::vector<std::uint32_t> surface = std::vector<std::uint32_t>(320 * 240, 0u);
    std::set<std::string> forked;
    std::string index;      // one line per fork: its file, frame, exit status and name
    golden::FrameLog tail;  // in a fork: the frames from its key on
} show;

void journal(const std::string& what)
{
    ShowRecord* r = show.record;
    if (r == nullptr || r->calls == int(std::size(r->call))) return;
    const MusicStatus s = music_status();
    Call& c = r->call[r->calls++];
    c = {{}, r->steps, show.frames, sincos_table[90].sin, s.loaded ? 1 : 0, s.order};
    std::snprintf(c.what, sizeof c.what, "%s", what.c_str());
}

void fork_with_key(const std::string& name)
{
    if (!show.forking || show.in_fork || show.ending || !show.forked.insert(name).second) return;
    const std::string file = "fork_" + std::to_string(show.forked.size()) + ".txt";
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        static ShowRecord own;  // the shared record is the show's, not the fork's
        own = *show.record;
        show.record = &own;
        show.in_fork = true;
        show.key_frame = show.frames;
        show.index = file;
        headless_push_key(key_space);
        return;  // on with the show, from inside the hook
    }
    int status = 0;
    waitpid(pid, &status, 0);
    show.index += file + " " + std::to_string(show.frames) + " " + std::to_string(status) + " " + name + "\n";
}

void count_frame(const MusicStatus& s, bool presented)
{
    if (show.in_fork)
        show.tail.push_back({show.frames, show.song, s.order, s.row, show.scene,
                             surface_hash_hex(show.surface.data(), show.surface.size())});
    const golden::FrameRecord now{show.frames, show.song, s.order, s.row, show.scene, ""};
    if (show.frames == 0 || !golden::same_place(now, show.group)) show.group = now, show.group_start = show.frames;
    if (presented) music_frame_presented();
    ++show.frames;
    if (show.frames == show.group_start + 2)
        fork_with_key("key at frame " + std::to_string(show.frames) + " in " + show.scene);
    if (show.scene == "end_screens" && show.frames == show.end_screens_start + end_screen_frames && !show.in_fork) {
        show.ending = true;
        headless_push_key(key_space);
    }
}

void on_trace(const char* name)
{
    ShowRecord& r = *show.record;
    const MusicStatus s = music_status();
    const std::string text = name != nullptr ? name : "shutdown";
    // A scene that returns at once is called again for the same order: record it once.
    const bool again = r.steps > 0 && text == r.step[r.steps - 1].name && s.order == r.step[r.steps - 1].order;
    if (!again && r.steps < int(std::size(r.step))) {
        Step& step = r.step[r.steps++];
        step = {{}, show.frames, s.order, s.row, s.orders, s.rate, sincos_table[90].sin,
                pixels_hash(ring_sprite, ring_size * ring_size)};
        std::snprintf(step.name, sizeof step.name, "%s", text.c_str());
    }
    if (name == nullptr) return;
    show.scene = text;
    if (text == "song_change") show.song = 2;
    if (text == "end_screens") show.end_screens_start = show.frames;
    // The shared pictures are loaded before the intro loop, and again after it (the
    // intro title replaces the overlay): spoilt during the last intro call, they are whole again.
    const auto shared_pictures = [] {
        return equals_picture(backdrop1, "qd\\gfx\\bak\\stbk1.pcx") &&
               equals_picture(backdrop2, "qd\\gfx\\bak\\stbk2a.pcx") &&
               equals_picture(overlay_picture, "qd\\gfx\\misc\\dtext.pcx");
    };
    if (text == "intro_loop") r.pictures_before_intro = shared_pictures();
    if (text == "intro_title_scene" && s.order == 9)
        for (std::uint32_t* picture : {backdrop1, backdrop2, overlay_picture})
            std::fill_n(picture, frame_pixels, 0x123456u);
    if (text == "first_flyby_scene") r.pictures_after_intro = shared_pictures();
    if (text != "open_display")  // the mode menu would read the key
        fork_with_key("key at frame " + std::to_string(show.frames) + " as " + text + " starts");
}

// The menu's window (the last console opened) and what it shows: blank, then its picture.
void on_menu_frame(const std::uint32_t* pixels, int width, int height)
{
    ShowRecord& r = *show.record;
    const HeadlessConsoleState menu = headless_state();
    if (r.menu_updates++ == 0) {
        r.menu_width = menu.width, r.menu_height = menu.height, r.menu_fullscreen = menu.fullscreen ? 1 : 0;
        r.menu_blank_then_picture = width == frame_width && height == frame_height &&
                                    std::all_of(pixels, pixels + frame_pixels, [](std::uint32_t p) { return p == 0; });
    } else if (r.menu_updates == 2) {
        r.menu_blank_then_picture = r.menu_blank_then_picture && equals_picture(pixels, "qd\\gfx\\misc\\meny1.pcx");
    }
}

void on_frame(const std::uint32_t* pixels, int width, int height, const char* title, long, void*)
{
    if (std::strcmp(title, "Choose Mode") == 0) return on_menu_frame(pixels, width, height);
    ShowRecord& r = *show.record;
    if (show.frames == show.fail_at_frame) throw DynamicError("the console was lost");
    const std::uint32_t *frame = pixels + margin_pixels, *before = show.surface.data() + margin_pixels;
    if (show.scene == "fade") {  // every channel of the frame before times 250 / 256
        ++r.fade_frames;
        for (int i = 0; i < frame_pixels; ++i) {
            std::uint32_t expected = 0;
            for (int shift = 0; shift <= 16; shift += 8) expected |= ((before[i] >> shift & 255u) * 250u >> 8) << shift;
            r.fade_wrong_pixels += frame[i] != expected;
        }
    }
    if (show.scene == "scroller" && r.scrolls < int(std::size(r.scroll_frames)))
        r.scroll_frames[r.scrolls++] = pixels_hash(frame);
    std::copy(pixels, pixels + width * height, show.surface.begin());
    count_frame(music_status(), true);
}

// Runs the show in this (child) process and ends it: the show's record in `record`,
// each fork's frames in a file of `dir`, the list of forks in dir/index.txt.
[[noreturn]] void run_show(int build, ShowRecord* record)
{
    alarm(900);  // a hang ends as a failure, never blocks the suite
    show.record = record;
    music_set_frame_locked(true);
    music_set_spin_hook([](void*) { count_frame(music_status(), false); }, nullptr);
    headless_set_frame_handler(on_frame, nullptr);
    set_scene_trace_hook(on_trace);
    headless_clear_keys();
    headless_push_key('B');
    const int result = show_main(build == vox_build ? Variant::vox_build : Variant::final_build);
    show.record->exit_code = result;
    show.record->console_open = headless_state().open ? 1 : 0;
    show.record->music_loaded = music_status().loaded ? 1 : 0;
    if (show.forking) {
        const ShowRecord& r = *show.record;
        const bool done = r.steps > 0 && std::strcmp(r.step[r.steps - 1].name, "shutdown") == 0;
        std::string text = show.in_fork ? "# key " + std::to_string(show.key_frame) + " shutdown " +
                                              std::to_string(done && result == 0) + "\n"
                                        : show.index;
        for (const golden::FrameRecord& f : show.tail) text += golden::hash_log_line(f);
        std::ofstream(show.dir / (show.in_fork ? show.index : std::string("index.txt"))) << text;
    }
    std::fflush(nullptr);
    _exit(0);
}

struct InProcessRun : ShowRecord {
    int status = -1;  // the show process's wait status
    std::string stderr_text;
};

// Runs the show in a child process (its state lives once per process); `working_dir`: where its data is.
InProcessRun run_in_process(int build, const std::filesystem::path& dir, bool forking, long fail_at_frame = -1,
                            const char* working_dir = nullptr)
{
    void* shared = mmap(nullptr, sizeof(ShowRecord), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ShowRecord* record = new (shared) ShowRecord{};
    show.dir = dir, show.forking = forking, show.fail_at_frame = fail_at_frame;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen((dir / "stderr.txt").c_str(), "w", stderr);
        if (working_dir != nullptr && chdir(working_dir) != 0) _exit(98);
        run_show(build, record);
    }
    InProcessRun run;
    waitpid(pid, &run.status, 0);
    static_cast<ShowRecord&>(run) = *record;
    munmap(shared, sizeof(ShowRecord));
    run.stderr_text = read_file(dir / "stderr.txt");
    return run;
}

// One keyed run as its fork wrote it.
struct KeyedRun {
    std::string name;
    long key_frame = -1;
    bool shutdown = false;
    golden::FrameLog tail;
};

std::vector<KeyedRun> keyed_runs(const std::filesystem::path& dir, std::string& error)
{
    std::vector<KeyedRun> runs;
    std::istringstream index(read_file(dir / "index.txt"));
    std::string file, name;
    long frame = 0;
    int status = 0;
    while (index >> file >> frame >> status && std::getline(index, name)) {
        KeyedRun run;
        run.name = name.substr(1);
        const std::string text = read_file(dir / file);
        if (status != 0 || std::sscanf(text.c_str(), "# key %ld shutdown %d", &run.key_frame, &status) != 2 ||
            !golden::read_hash_log(text, run.tail, error)) {
            error += "; the fork for \"" + run.name + "\" failed";
            continue;
        }
        run.shutdown = status == 1;
        runs.push_back(run);
    }
    return runs;
}

std::vector<std::uint32_t> picture(const char* path)
{
    std::vector<std::uint32_t> pixels(frame_pixels);
    EXPECT_EQ(load_pcx(path, pixels.data()), 0) << path;
    return pixels;
}

// The entry's steps as the show's process saw them: menu, sound, priority, the shared pictures, fade,
// song change, scroller and shutdown.
void check_entry(const InProcessRun& run, int build)
{
    const bool vox = build == vox_build;
    ASSERT_TRUE(WIFEXITED(run.status)) << "the show did not end (signal " << WTERMSIG(run.status) << ")";
    EXPECT_EQ(std::make_tuple(run.exit_code, run.console_open, run.music_loaded), std::make_tuple(0, 0, 0));
    ASSERT_GT(run.steps, 0);
    EXPECT_STREQ(run.step[run.steps - 1].name, "shutdown");

    // The menu: a 320x200 window, blank once, then its picture.
    EXPECT_EQ(std::make_tuple(run.menu_width, run.menu_height, run.menu_fullscreen, run.menu_updates),
              std::make_tuple(320, 200, 0, 3));
    EXPECT_TRUE(run.menu_blank_then_picture);

    // Sound on device -1 at 44,100 Hz (-2 at 22,050 in the earlier build), song 1 from order 1, then the
    // priority raise: after the sine table, before it in the earlier build. Song 2 from order 0. At the end
    // the console closes, the sound is freed and the frame surface unlocked, in that order.
    const std::string init = vox ? "BASS_Init -2 22050" : "BASS_Init -1 44100";
    EXPECT_EQ(run.journal(), "console_close menu, " + init + ", BASS_MusicPlayEx 1, raise_priority, BASS_Free, " +
                                 init + ", BASS_MusicPlayEx 0, console_close main, BASS_Free, surface_unlock frame");
    const Call* raise = std::find_if(run.call, run.call + run.calls,
                                     [](const Call& c) { return std::strcmp(c.what, "raise_priority") == 0; });
    const Step *intro = run.find("intro_loop"), *song_2 = run.find("fleet_scene");
    ASSERT_TRUE(raise != run.call + run.calls && intro != nullptr && song_2 != nullptr);
    EXPECT_EQ(std::make_tuple(raise->sin90, raise->music_loaded, raise->order, raise->frame),
              std::make_tuple(vox ? 0.0f : 1.0f, 1, 1, 0L));
    EXPECT_LE(raise->steps, int(intro - run.step));
    const unsigned rate = vox ? 22050u : 44100u;
    EXPECT_EQ(std::make_tuple(intro->order, intro->row, intro->orders, intro->rate, intro->sin90),
              std::make_tuple(1, 0, 15, rate, 1.0f));
    EXPECT_TRUE(run.pictures_before_intro && run.pictures_after_intro)
        << "the shared pictures are loaded before the intro loop and again after it";

    // The fade: 200 frames, each the one before with every channel times 250 / 256. Song 2 from order 0,
    // with the ring sprite cut from its picture.
    EXPECT_EQ(std::make_tuple(run.fade_frames, run.fade_wrong_pixels), std::make_tuple(200L, 0L));
    std::uint32_t ring[ring_size * ring_size];
    cut_sprite(picture("qd\\gfx\\sprites\\ring32b.pcx").data(), ring, ring_size, ring_size);
    EXPECT_EQ(std::make_tuple(song_2->order, song_2->row, song_2->orders, song_2->rate, song_2->ring),
              std::make_tuple(0, 0, 27, rate, pixels_hash(ring, ring_size * ring_size)));

    // The scroller: from the bottom picture alone, two rows at a time, to the top one alone.
    const std::vector<std::uint32_t> link = picture("qd\\gfx\\bak\\link.pcx"), dsg3 = picture("qd\\gfx\\bak\\dsg3.pcx");
    std::vector<std::uint32_t> second(link.end() - 2 * frame_width, link.end());
    second.insert(second.end(), dsg3.begin(), dsg3.end() - 2 * frame_width);
    ASSERT_EQ(run.scrolls, 201);
    EXPECT_EQ(std::make_tuple(run.scroll_frames[0], run.scroll_frames[1], run.scroll_frames[200]),
              std::make_tuple(pixels_hash(dsg3.data()), pixels_hash(second.data()),
                              pixels_hash(picture("qd\\gfx\\bak\\tuff.pcx").data())));
}

// ---- the runs against their golden files ------------------------------------------------------

std::filesystem::path golden_path(int build)
{
    return std::filesystem::path(VELMORA_SOURCE_DIR) / "tests" / "golden" /
           (build == final_build ? "velmora.txt" : "velmora_vox.txt");
}

// Holds one run's frames to the golden file, or keeps them for writing it (VELMORA_WRITE_GOLDEN set).
struct GoldenCheck {
    int build = final_build;
    bool writing = std::getenv("VELMORA_WRITE_GOLDEN") != nullptr && *std::getenv("VELMORA_WRITE_GOLDEN") != '\0';
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
        EXPECT_EQ(golden::first_difference(expected->second.groups, frames, from_frame), "")
            << "run \"" << name << "\" differs from " << golden_path(build).filename()
            << ". After an intended change of what a frame shows, `make golden` rewrites the golden files.";
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

    // The whole show through the capture tool, while the same show runs in process with its keyed forks.
    const std::string how = std::string(build == vox_build ? "--vox " : "") + "--key-after end_screens:" +
                            std::to_string(end_screen_frames);
    std::FILE* capture = start_capture(how + " --log '" + (dir / "log").string() + "' --hash-log '" +
                                           (dir / "hashes").string() + "'",
                                       dir / "out");
    const InProcessRun in_process = run_in_process(build, dir, true);
    const int status = finish_capture(capture);
    check_entry(in_process, build);

    const SceneLog log = read_scene_log(dir / "log", error);
    golden::FrameLog frames;
    ASSERT_TRUE(status == 0 && error.empty() && golden::read_hash_log(read_file(dir / "hashes"), frames, error))
        << "exit " << status << ": " << error << "\n" << read_file(dir / "out");
    EXPECT_TRUE(log.shutdown_reached);
    EXPECT_EQ(sequence_failure(log, build), "");
    for (const std::string& step : show_sequence(build)) EXPECT_TRUE(log_has(log, step)) << step;
    for (const std::string& failure : rule_failures(log)) ADD_FAILURE() << failure;
    golden_check.check("show", "velmora_capture " + how, frames, 0);

    // Keys along the way: each leads to the shutdown soon, past no fade, scroller, intro or wait frame.
    const std::vector<KeyedRun> keyed = keyed_runs(dir, error);
    EXPECT_EQ(error, "");
    EXPECT_GT(keyed.size(), 50u);
    for (const KeyedRun& run : keyed) {
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

TEST(ShowRuns, VelmoraFollowsTheSongsItsEntryStepsAndItsGoldenFramesAlsoAfterAKey)
{
    check_show_runs(final_build);
}

TEST(ShowRuns, VelmoraVoxFollowsTheSongsItsEntryStepsAndItsGoldenFramesAlsoAfterAKey)
{
    check_show_runs(vox_build);
}

// A library error during the show is reported once; then the sound is freed, the
// frame surface unlocked and the console closed, and the program ends with code 1.
TEST(Entry, AConsoleErrorDuringTheShowIsReportedAndEndsItCleanly)
{
    const auto dir = capture_scratch_dir("console_error");
    const InProcessRun run = run_in_process(final_build, dir, false, 10);
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(std::make_tuple(run.exit_code, run.console_open, run.music_loaded), std::make_tuple(1, 0, 0));
    EXPECT_EQ(run.journal(), "console_close menu, BASS_Init -1 44100, BASS_MusicPlayEx 1, raise_priority, "
                             "error_report, BASS_Free, surface_unlock frame, console_close main");
    EXPECT_NE(run.stderr_text.find("velmora: the console was lost"), std::string::npos) << run.stderr_text;
    std::filesystem::remove_all(dir);
}

TEST(Entry, AnUnreadableSongEndsTheShowWithExitCodeOne)
{
    const auto dir = capture_scratch_dir("no_song");
    std::filesystem::create_directories(dir / "qd" / "music");
    std::ofstream(dir / "qd" / "music" / "1.xm", std::ios::binary) << "Extended Module: cut short";
    const InProcessRun run = run_in_process(final_build, dir, false, -1, dir.c_str());
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(std::make_tuple(run.exit_code, run.console_open, run.music_loaded), std::make_tuple(1, 0, 0));
    EXPECT_NE(run.stderr_text.find("qd/music/1.xm"), std::string::npos) << run.stderr_text;
    std::filesystem::remove_all(dir);
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
    const std::string text = golden::golden_text("velmora", {{"show", {"--key-after x:1", groups}}});
    ASSERT_TRUE(golden::parse_golden(text, file, error)) << error;
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
    EXPECT_EQ(golden::first_difference({}, tail, 45).rfind("the run goes on past the golden frames: frames 45-64", 0),
              0u);
    EXPECT_EQ(golden::first_difference({}, {}, 45), "");
    EXPECT_FALSE(golden::parse_golden("run a: b\n0 16 1 1 intro 0123456789abcdef\n", file, error)) << "a block missing";
}

// ---- the journal: the link routes these calls through here ---------------------------------------

extern "C" {
void __real__Z26host_raise_thread_priorityv();
bool __real__Z9BASS_InitijjPv(int, std::uint32_t, std::uint32_t, void*);
bool __real__Z16BASS_MusicPlayExjjii(std::uint32_t, std::uint32_t, int, int);
bool __real__Z9BASS_Freev();
void __real__Z13console_closeP7Console(Console*);
void __real__Z14surface_unlockP7Surface(Surface*);
void __real__Z12error_reportRK12DynamicError(const DynamicError&);

void __wrap__Z26host_raise_thread_priorityv()
{
    journal("raise_priority");
    __real__Z26host_raise_thread_priorityv();
}
bool __wrap__Z9BASS_InitijjPv(int device, std::uint32_t rate, std::uint32_t flags, void* window)
{
    journal("BASS_Init " + std::to_string(device) + " " + std::to_string(rate));
    return __real__Z9BASS_InitijjPv(device, rate, flags, window);
}
bool __wrap__Z16BASS_MusicPlayExjjii(std::uint32_t handle, std::uint32_t order, int flags, int reset)
{
    journal("BASS_MusicPlayEx " + std::to_string(order));
    return __real__Z16BASS_MusicPlayExjjii(handle, order, flags, reset);
}
bool __wrap__Z9BASS_Freev()
{
    journal("BASS_Free");
    return __real__Z9BASS_Freev();
}
void __wrap__Z13console_closeP7Console(Console* closing)
{
    journal(closing == console ? "console_close main" : "console_close menu");
    __real__Z13console_closeP7Console(closing);
}
// Every presentation unlocks the frame surface: only the unlocks from the shutdown (or an error) on count.
void __wrap__Z14surface_unlockP7Surface(Surface* surface)
{
    const ShowRecord* r = show.record;
    if (r != nullptr && r->steps > 0 && std::strcmp(r->step[r->steps - 1].name, "shutdown") == 0)
        journal(surface == frame_surface ? "surface_unlock frame" : "surface_unlock other");
    __real__Z14surface_unlockP7Surface(surface);
}
void __wrap__Z12error_reportRK12DynamicError(const DynamicError& error)
{
    journal("error_report");
    __real__Z12error_reportRK12DynamicError(error);
}
}
