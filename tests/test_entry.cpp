// test_entry.cpp -- the whole show, menu to shutdown, in both builds: each run in
// a child process (the show's state is program-wide and lives once per process),
// against the headless console and the frame-locked player. The child records every
// traced step with the frame count and the music position in memory it shares with
// the parent, which checks it. Scene order and phase lengths are test_timeline's.
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
    std::string key_phase;  // push a key once this step has run ...
    long key_after = -1;    // ... this many presented frames (or spin frames) into it
    bool key_on_spin = false;
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
    int steps = 0, scrolls = 0;
    Step step[128];
    std::uint64_t scroll_frames[256] = {};  // the scroller's frames, as presented
    long frames = 0, spins = 0, key_frame = -1;
    int exit_code = -1, console_open = 1, music_loaded = 1;
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
    if (child.script.key_after == 0 && text == child.script.key_phase) push_key_once();
}

// Pushes the script's key once `count` (frames or spins) is key_after into its phase.
void key_when_due(bool spin, long count, long phase_start)
{
    const Script& s = child.script;
    if (s.key_on_spin == spin && child.phase().name == s.key_phase && count - phase_start == s.key_after)
        push_key_once();
}

void on_frame(const std::uint32_t* pixels, int, int, const char* title, long, void*)
{
    if (std::strcmp(title, "Velmora") != 0) return;
    Report& r = *child.report;
    ++r.frames;
    music_frame_presented();
    if (std::strcmp(child.phase().name, "scroller") == 0 && r.scrolls++ < int(std::size(r.scroll_frames)))
        r.scroll_frames[r.scrolls - 1] = frame_hash(pixels + margin_pixels);
    key_when_due(false, r.frames, child.phase().frame);
}

[[noreturn]] void run_child(const Script& script, Report* report)
{
    alarm(600);  // a hang ends as a failure, never blocks the suite
    child = {script, report};
    music_set_frame_locked(true);
    music_set_spin_hook([](void*) { key_when_due(true, ++child.report->spins, child.phase().spins); }, nullptr);
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
        const ShowRun run = run_show(Script{variant, "", -1, false});
        expect_clean_exit(run);
        const unsigned rate = vox ? 22050u : 44100u;

        // Song 1 starts at order 1, before the sine table in the earlier build.
        const int song_1 = run.index_of("start_song_1"), intro = run.index_of("intro_loop");
        ASSERT_LT(song_1, intro);
        ASSERT_LT(intro, run.steps);
        EXPECT_EQ(run.step[song_1].sin90, vox ? 0.0f : 1.0f);
        const Step& in_intro = run.step[intro];
        EXPECT_EQ(std::make_tuple(in_intro.order, in_intro.row, in_intro.orders, in_intro.rate, in_intro.sin90),
                  std::make_tuple(1, 0, 15, rate, 1.0f));

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

// A key waiting at any point skips every loop that tests it: the show reaches its
// shutdown without presenting another fade or scroller frame.
TEST(Entry, AKeyAtAnyPointLeadsToTheShutdown)
{
    const Script scripts[] = {
        {Variant::final_build, "intro_loop", 0, false},   {Variant::final_build, "fade", 5, false},
        {Variant::final_build, "wait_song_end", 3, true}, {Variant::vox_build, "scroller", 3, false},
        {Variant::vox_build, "song_change", 0, false},
    };
    for (const Script& script : scripts) {
        SCOPED_TRACE(script.key_phase);
        const ShowRun run = run_show(script);
        expect_clean_exit(run);
        ASSERT_GE(run.key_frame, 0);
        const int key_step = run.index_of(script.key_phase);
        ASSERT_LT(key_step + 1, run.steps);
        for (int i = key_step + 1; i + 1 < run.steps; ++i) {
            const std::string name = run.step[i].name;
            EXPECT_NE(name, "intro_title_scene");
            if (name == "fade" || name == "scroller") {
                EXPECT_EQ(run.step[i + 1].frame, run.step[i].frame) << name;
            }
        }
        // The current phase stops at its next key test; only scenes without one (the credits) still present frames.
        EXPECT_LE(run.step[key_step + 1].frame - run.key_frame, 1);
        EXPECT_LT(run.frames - run.key_frame, 3600);
    }
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
