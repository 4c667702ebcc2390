// test_entry.cpp -- the whole show, menu to shutdown, in both builds: each run in
// a child process (the show's state is program-wide and lives once per process),
// against the headless console and the frame-locked player. The child records every
// traced step with the frame count and the music position, and a journal of the
// host, console and sound calls that shape the start and the end (the link wraps
// them: tests/cmake/entry.cmake), in memory it shares with the parent, which checks
// it. Scene order and phase lengths are test_show_runs'; keys along the way too.
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

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <tuple>
#include <vector>

namespace {

std::uint64_t frame_hash(const std::uint32_t* pixels, int count = frame_pixels)
{
    std::uint64_t h = 1469598103934665603ull;
    for (int i = 0; i < count; ++i) h = (h ^ pixels[i]) * 1099511628211ull;
    return h;
}

struct Script {
    Variant variant = Variant::final_build;
    long fail_at_frame = -1;  // the main console's update throws DynamicError at this frame
};

// One call of the journal: what and when (the steps traced before it, the frames
// presented), with the sine table's entry 90 and the music as they were then.
struct Call {
    char what[32] = {};
    int steps = 0;
    long frame = 0;
    float sin90 = 0;
    int music_loaded = 0, order = 0;
};

struct Step {  // one traced step: the frame count, the music and the tables at that point
    char name[32] = {};
    long frame = 0, spins = 0;  // frames presented; frames the player advanced in spin-waits
    int order = 0, row = 0, orders = 0;
    unsigned rate = 0;
    float sin90 = 0;
    std::uint64_t ring = 0;
};

// What the child reports; it lives in memory shared by both processes.
struct Report {
    int steps = 0, scrolls = 0, calls = 0;
    Step step[128];
    Call call[64];
    std::uint64_t scroll_frames[256] = {};  // the scroller's frames, as presented
    long frames = 0, spins = 0, key_frame = -1;
    int exit_code = -1, console_open = 1, music_loaded = 1;
    long fade_frames = 0, fade_wrong_pixels = 0;  // against the previous frame times 250 / 256
    int menu_updates = 0, menu_width = 0, menu_height = 0, menu_fullscreen = 1;
    bool menu_blank_then_picture = false;
    bool pictures_before_intro = false, pictures_after_intro = false;
};

struct Child {
    Script script;
    Report* report = nullptr;
    const Step& phase() const  // the step traced last
    {
        static const Step none{};
        return report->steps > 0 ? report->step[report->steps - 1] : none;
    }
} child;

void push_key_once()
{
    if (child.report->key_frame >= 0) return;
    headless_push_key(key_space);
    child.report->key_frame = child.report->frames;
}

void journal(const char* what)
{
    if (child.report == nullptr) return;  // the parent, which never runs the show
    Report& r = *child.report;
    if (r.calls == int(std::size(r.call))) _exit(96);
    const MusicStatus s = music_status();
    Call& c = r.call[r.calls++];
    c = {{}, r.steps, r.frames, sincos_table[90].sin, s.loaded ? 1 : 0, s.order};
    std::snprintf(c.what, sizeof c.what, "%s", what);
}

bool equals_picture(const std::uint32_t* pixels, const char* path)
{
    static std::uint32_t picture[frame_pixels];
    return load_pcx(path, picture) == 0 && std::equal(picture, picture + frame_pixels, pixels);
}

// The three shared pictures hold their files (stbk1, stbk2a, dtext).
bool shared_pictures_loaded()
{
    return equals_picture(backdrop1, "qd\\gfx\\bak\\stbk1.pcx") && equals_picture(backdrop2, "qd\\gfx\\bak\\stbk2a.pcx") &&
           equals_picture(overlay_picture, "qd\\gfx\\misc\\dtext.pcx");
}

void log_trace(const char* name)
{
    const MusicStatus s = music_status();
    const std::string text = name != nullptr ? name : "shutdown";
    Report& r = *child.report;
    // A scene that returns at once is called again for the same order: record it once.
    if (text == child.phase().name && s.order == child.phase().order) return;
    if (r.steps == int(std::size(r.step))) _exit(97);
    Step& step = r.step[r.steps++];
    step = {{}, r.frames, r.spins, s.order, s.row, s.orders, s.rate, sincos_table[90].sin,
            frame_hash(ring_sprite, ring_size * ring_size)};
    text.copy(step.name, sizeof step.name - 1);
    if (text == "end_screens") push_key_once();  // they would run 192,000 frames
    // The shared pictures are loaded before the intro loop, and again after it (the
    // intro title replaces the overlay): spoilt during the last intro call, they are whole again.
    if (text == "intro_loop") r.pictures_before_intro = shared_pictures_loaded();
    if (text == "intro_title_scene" && s.order == 9)
        for (std::uint32_t* picture : {backdrop1, backdrop2, overlay_picture}) std::fill_n(picture, frame_pixels, 0x123456u);
    if (text == "first_flyby_scene") r.pictures_after_intro = shared_pictures_loaded();
}

void on_menu_frame(const std::uint32_t* pixels, int width, int height)
{
    Report& r = *child.report;
    const HeadlessConsoleState menu = headless_state();  // the last console opened: the menu's
    if (r.menu_updates++ == 0) {
        r.menu_width = menu.width;
        r.menu_height = menu.height;
        r.menu_fullscreen = menu.fullscreen ? 1 : 0;
        r.menu_blank_then_picture = width == frame_width && height == frame_height &&
                                    std::all_of(pixels, pixels + frame_pixels, [](std::uint32_t p) { return p == 0; });
    } else if (r.menu_updates == 2) {
        r.menu_blank_then_picture = r.menu_blank_then_picture && equals_picture(pixels, "qd\\gfx\\misc\\meny1.pcx");
    }
}

// Each fade frame is the frame before it with every channel times 250 / 256.
void check_fade_frame(const std::uint32_t* surface)
{
    static std::vector<std::uint32_t> previous(frame_pixels);
    Report& r = *child.report;
    const std::uint32_t* frame = surface + margin_pixels;
    if (std::strcmp(child.phase().name, "fade") == 0) {
        ++r.fade_frames;
        for (int i = 0; i < frame_pixels; ++i) {
            std::uint32_t expected = 0;
            for (int shift = 0; shift <= 16; shift += 8) expected |= (((previous[i] >> shift) & 255u) * 250u >> 8) << shift;
            r.fade_wrong_pixels += frame[i] != expected;
        }
    }
    std::copy(frame, frame + frame_pixels, previous.begin());
}

void on_frame(const std::uint32_t* pixels, int width, int height, const char* title, long, void*)
{
    if (std::strcmp(title, "Choose Mode") == 0) return on_menu_frame(pixels, width, height);
    Report& r = *child.report;
    if (r.frames == child.script.fail_at_frame) throw DynamicError("the console was lost");
    ++r.frames;
    music_frame_presented();
    if (std::strcmp(child.phase().name, "scroller") == 0 && r.scrolls++ < int(std::size(r.scroll_frames)))
        r.scroll_frames[r.scrolls - 1] = frame_hash(pixels + margin_pixels);
    check_fade_frame(pixels);
}

[[noreturn]] void run_child(const Script& script, Report* report)
{
    alarm(600);  // a hang ends as a failure, never blocks the suite
    child = {script, report};
    music_set_frame_locked(true);
    music_set_spin_hook([](void*) { ++child.report->spins; }, nullptr);
    headless_set_frame_handler(on_frame, nullptr);
    set_scene_trace_hook(log_trace);
    headless_clear_keys();
    headless_push_key('B');
    report->exit_code = show_main(script.variant);
    report->console_open = headless_state().open ? 1 : 0;
    report->music_loaded = music_status().loaded ? 1 : 0;
    std::fflush(nullptr);
    _exit(0);
}

struct ShowRun : Report {
    int status = -1;  // the child's wait status
    std::string stderr_text;

    int index_of(const std::string& name) const
    {
        int i = 0;
        while (i < steps && step[i].name != name) ++i;
        return i;
    }
};

ShowRun run_show(const Script& script, const char* working_dir = nullptr)
{
    const std::string err_file = ::testing::TempDir() + "velmora_entry_" + std::to_string(getpid()) + ".err";
    void* shared = mmap(nullptr, sizeof(Report), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    Report* report = new (shared) Report{};
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen(err_file.c_str(), "w", stderr);
        if (working_dir != nullptr && chdir(working_dir) != 0) _exit(98);
        run_child(script, report);
    }
    ShowRun run;
    waitpid(pid, &run.status, 0);
    static_cast<Report&>(run) = *report;
    munmap(shared, sizeof(Report));
    std::ifstream err(err_file);
    run.stderr_text.assign(std::istreambuf_iterator<char>(err), {});
    std::remove(err_file.c_str());
    return run;
}

std::vector<std::uint32_t> picture(const char* path)
{
    std::vector<std::uint32_t> pixels(frame_pixels);
    EXPECT_EQ(load_pcx(path, pixels.data()), 0) << path;
    return pixels;
}

void expect_clean_exit(const ShowRun& run)
{
    ASSERT_TRUE(WIFEXITED(run.status)) << "the show did not end (signal " << WTERMSIG(run.status) << ")";
    EXPECT_EQ(std::make_tuple(WEXITSTATUS(run.status), run.exit_code, run.console_open, run.music_loaded),
              std::make_tuple(0, 0, 0, 0));
    ASSERT_GT(run.steps, 0);
    EXPECT_STREQ(run.step[run.steps - 1].name, "shutdown");
}

// The journal of the calls that open and close the show, as one line.
std::string journal_text(const Report& run)
{
    std::string text;
    for (int i = 0; i < run.calls; ++i) text += std::string(i == 0 ? "" : ", ") + run.call[i].what;
    return text;
}

const Call* journal_entry(const Report& run, const std::string& what)
{
    for (int i = 0; i < run.calls; ++i)
        if (what == run.call[i].what) return &run.call[i];
    return nullptr;
}

}  // namespace

TEST(Entry, BothBuildsRunTheWholeShow)
{
    const std::vector<std::uint32_t> tuff = picture("qd\\gfx\\bak\\tuff.pcx"), link = picture("qd\\gfx\\bak\\link.pcx"),
                                     dsg3 = picture("qd\\gfx\\bak\\dsg3.pcx");
    std::uint32_t ring[ring_size * ring_size];
    cut_sprite(picture("qd\\gfx\\sprites\\ring32b.pcx").data(), ring, ring_size, ring_size);
    for (Variant variant : {Variant::final_build, Variant::vox_build}) {
        const bool vox = variant == Variant::vox_build;
        SCOPED_TRACE(vox ? "vox build" : "final build");
        const ShowRun run = run_show(Script{variant});
        expect_clean_exit(run);
        const unsigned rate = vox ? 22050u : 44100u;

        // The menu: a 320x200 window, blank once, then its picture.
        EXPECT_EQ(std::make_tuple(run.menu_width, run.menu_height, run.menu_fullscreen, run.menu_updates),
                  std::make_tuple(320, 200, 0, 3));
        EXPECT_TRUE(run.menu_blank_then_picture);

        // Sound on device -1 at 44,100 Hz (-2 at 22,050 in the earlier build), song 1 from order 1, then the
        // priority raise: after the sine table, before it in the earlier build. Song 2 from order 0. At the end
        // the console closes, the sound is freed and the frame surface unlocked, in that order.
        const std::string init = vox ? "BASS_Init -2 22050" : "BASS_Init -1 44100";
        EXPECT_EQ(journal_text(run), "console_close menu, " + init + ", BASS_MusicPlayEx 1, raise_priority, BASS_Free, " +
                                         init + ", BASS_MusicPlayEx 0, console_close main, BASS_Free, "
                                                "surface_unlock frame");
        const Call* raise = journal_entry(run, "raise_priority");
        ASSERT_NE(raise, nullptr);
        EXPECT_EQ(std::make_tuple(raise->sin90, raise->music_loaded, raise->order, raise->frame),
                  std::make_tuple(vox ? 0.0f : 1.0f, 1, 1, 0L));
        EXPECT_LE(raise->steps, run.index_of("intro_loop"));

        // Song 1 starts at order 1, before the sine table in the earlier build.
        const int song_1 = run.index_of("start_song_1"), intro = run.index_of("intro_loop");
        ASSERT_LT(song_1, intro);
        ASSERT_LT(intro, run.steps);
        EXPECT_EQ(run.step[song_1].sin90, vox ? 0.0f : 1.0f);
        const Step& in_intro = run.step[intro];
        EXPECT_EQ(std::make_tuple(in_intro.order, in_intro.row, in_intro.orders, in_intro.rate, in_intro.sin90),
                  std::make_tuple(1, 0, 15, rate, 1.0f));
        EXPECT_TRUE(run.pictures_before_intro && run.pictures_after_intro)
            << "the shared pictures are loaded before the intro loop and again after it";

        // The fade: 200 frames, each the one before with every channel times 250 / 256.
        EXPECT_EQ(std::make_tuple(run.fade_frames, run.fade_wrong_pixels), std::make_tuple(200L, 0L));

        // Song 2 from order 0, with the ring sprite cut from its picture.
        const int after_change = run.index_of("song_change") + 1;
        ASSERT_LT(after_change, run.steps);
        const Step& first_of_2 = run.step[after_change];
        EXPECT_EQ(std::make_tuple(first_of_2.order, first_of_2.row, first_of_2.orders, first_of_2.rate),
                  std::make_tuple(0, 0, 27, rate));
        EXPECT_EQ(first_of_2.ring, frame_hash(ring, ring_size * ring_size));

        // The scroller: from the bottom picture alone, two rows at a time, to the top one alone.
        ASSERT_EQ(run.scrolls, 201);
        EXPECT_EQ(run.scroll_frames[0], frame_hash(dsg3.data()));
        EXPECT_EQ(run.scroll_frames[200], frame_hash(tuff.data()));
        std::vector<std::uint32_t> second(link.end() - 2 * frame_width, link.end());
        second.insert(second.end(), dsg3.begin(), dsg3.end() - 2 * frame_width);
        EXPECT_EQ(run.scroll_frames[1], frame_hash(second.data()));
    }
}

// A library error during the show is reported once; then the sound is freed, the
// frame surface unlocked and the console closed, and the program ends with code 1.
TEST(Entry, AConsoleErrorDuringTheShowIsReportedAndEndsItCleanly)
{
    const ShowRun run = run_show(Script{Variant::final_build, 10});
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(std::make_tuple(run.exit_code, run.console_open, run.music_loaded, run.frames),
              std::make_tuple(1, 0, 0, 10L));
    EXPECT_EQ(journal_text(run), "console_close menu, BASS_Init -1 44100, BASS_MusicPlayEx 1, raise_priority, "
                                 "error_report, BASS_Free, surface_unlock frame, console_close main");
    EXPECT_NE(run.stderr_text.find("velmora: the console was lost"), std::string::npos) << run.stderr_text;
}

TEST(Entry, AnUnreadableSongEndsTheShowWithExitCodeOne)
{
    const std::string dir = ::testing::TempDir() + "velmora_no_song_" + std::to_string(getpid());
    ASSERT_TRUE(std::filesystem::create_directories(dir + "/qd/music"));
    std::ofstream(dir + "/qd/music/1.xm", std::ios::binary) << "Extended Module: cut short";
    const ShowRun run = run_show(Script{}, dir.c_str());
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(std::make_tuple(run.exit_code, run.console_open, run.music_loaded, run.frames),
              std::make_tuple(1, 0, 0, 0L));
    EXPECT_NE(run.stderr_text.find("qd/music/1.xm"), std::string::npos) << run.stderr_text;
}

// ---- the journal: the link routes these calls through here (tests/cmake/entry.cmake) -----------

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
    journal(("BASS_Init " + std::to_string(device) + " " + std::to_string(rate)).c_str());
    return __real__Z9BASS_InitijjPv(device, rate, flags, window);
}

bool __wrap__Z16BASS_MusicPlayExjjii(std::uint32_t handle, std::uint32_t order, int flags, int reset)
{
    journal(("BASS_MusicPlayEx " + std::to_string(order)).c_str());
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

// Every presentation unlocks the frame surface: only the unlocks after the shutdown (or an error) count.
void __wrap__Z14surface_unlockP7Surface(Surface* surface)
{
    if (child.report != nullptr && std::strcmp(child.phase().name, "shutdown") == 0)
        journal(surface == frame_surface ? "surface_unlock frame" : "surface_unlock other");
    __real__Z14surface_unlockP7Surface(surface);
}

void __wrap__Z12error_reportRK12DynamicError(const DynamicError& error)
{
    journal("error_report");
    __real__Z12error_reportRK12DynamicError(error);
}
}
