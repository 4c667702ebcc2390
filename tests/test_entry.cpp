// test_entry.cpp -- the whole show, menu to shutdown, in both builds: each run in
// a child process (the show's state is program-wide and lives once per process),
// against the headless console and the frame-locked player. The child logs every
// traced step with the frame count and the music position; the parent checks it.
// The scene order and the phases' lengths are checked by test_timeline.
#include "assets/assets.h"
#include "platform/console/console.h"
#include "platform/console/headless.h"
#include "platform/music/music.h"
#include "platform/music/music_control.h"
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
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
    std::string key_phase;   // push a key once this step has run ...
    long key_after = -1;     // ... this many presented frames (or spin frames) into it
    bool key_on_spin = false;
};

struct Child {
    Script script;
    std::FILE* log = nullptr;
    long frames = 0, spins = 0;  // frames presented; frames the player advanced in spin-waits
    std::string phase;  // the step traced last, at which counts and order
    long phase_frame = 0, phase_spin = 0;
    int phase_order = -1;
    bool key_pushed = false;
};
Child child;

void push_key_once()
{
    if (child.key_pushed) return;
    child.key_pushed = true;
    headless_push_key(key_space);
    std::fprintf(child.log, "key %ld\n", child.frames);
}

void log_trace(const char* name)
{
    const MusicStatus s = music_status();
    const std::string text = name != nullptr ? name : "shutdown";
    // A scene that returns at once is called again for the same order: log it once.
    if (text == child.phase && s.order == child.phase_order) return;
    child.phase = text;
    child.phase_order = s.order;
    child.phase_frame = child.frames;
    child.phase_spin = child.spins;
    std::fprintf(child.log, "trace %s %ld %d %d %d %u %.3f %llu\n", text.c_str(), child.frames, s.order, s.row,
                 s.orders, s.rate, double(sincos_table[90].sin),
                 static_cast<unsigned long long>(frame_hash(ring_sprite, ring_size * ring_size)));
    if (text == "end_screens") push_key_once();  // they would run 192,000 frames
    if (child.script.key_after == 0 && text == child.script.key_phase) push_key_once();
}

// Pushes the script's key once `count` (frames or spins) is key_after into its phase.
void key_when_due(bool spin, long count, long phase_start)
{
    if (child.script.key_on_spin == spin && child.phase == child.script.key_phase &&
        count - phase_start == child.script.key_after)
        push_key_once();
}

void on_frame(const std::uint32_t* pixels, int, int, const char* title, long, void*)
{
    if (std::strcmp(title, "Velmora") != 0) return;
    ++child.frames;
    music_frame_presented();
    if (child.phase == "scroller")
        std::fprintf(child.log, "scroll %llu\n", static_cast<unsigned long long>(frame_hash(pixels + margin_pixels)));
    key_when_due(false, child.frames, child.phase_frame);
}

void on_spin(void*)
{
    key_when_due(true, ++child.spins, child.phase_spin);
}

[[noreturn]] void run_child(const Script& script, const std::string& log_file)
{
    alarm(600);  // a hang ends as a failure, never blocks the suite
    child.script = script;
    child.log = std::fopen(log_file.c_str(), "w");
    if (child.log == nullptr) _exit(99);
    music_set_frame_locked(true);
    music_set_spin_hook(on_spin, nullptr);
    headless_set_frame_handler(on_frame, nullptr);
    set_scene_trace_hook(log_trace);
    headless_clear_keys();
    headless_push_key('B');
    const int code = show_main(script.variant);
    std::fprintf(child.log, "exit %d %d %d %ld\n", code, headless_state().open ? 1 : 0,
                 music_status().loaded ? 1 : 0, child.frames);
    std::fclose(child.log);
    std::fflush(nullptr);
    _exit(0);
}

struct Step {  // one traced step as the child logged it
    std::string name;
    long frame = 0;
    int order = 0, row = 0, orders = 0;
    unsigned rate = 0;
    double sin90 = 0;
    unsigned long long ring = 0;
};

struct ShowRun {
    int status = -1;  // the child's wait status
    std::vector<Step> steps;
    std::vector<std::uint64_t> scroll_frames;
    long key_frame = -1, frames = 0;
    int exit_code = -1, console_open = 1, music_loaded = 1;
    std::string stderr_text;

    std::size_t index_of(const std::string& name) const
    {
        std::size_t i = 0;
        while (i < steps.size() && steps[i].name != name) ++i;
        return i;
    }
};

std::string slurp(const std::string& file)
{
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
}

ShowRun run_show(const Script& script, const char* working_dir = nullptr)
{
    static int runs = 0;
    const std::string base = ::testing::TempDir() + "velmora_entry_" + std::to_string(getpid()) + "_" +
                             std::to_string(runs++);
    const std::string log_file = base + ".log", err_file = base + ".err";
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen(err_file.c_str(), "w", stderr);
        if (working_dir != nullptr && chdir(working_dir) != 0) _exit(98);
        run_child(script, log_file);
    }
    ShowRun run;
    waitpid(pid, &run.status, 0);
    std::istringstream log(slurp(log_file));
    run.stderr_text = slurp(err_file);
    std::remove(log_file.c_str());
    std::remove(err_file.c_str());
    for (std::string word; log >> word;) {
        if (word == "trace") {
            Step& s = run.steps.emplace_back();
            log >> s.name >> s.frame >> s.order >> s.row >> s.orders >> s.rate >> s.sin90 >> s.ring;
        } else if (word == "scroll") {
            log >> run.scroll_frames.emplace_back();
        } else if (word == "key") {
            log >> run.key_frame;
        } else if (word == "exit") {
            log >> run.exit_code >> run.console_open >> run.music_loaded >> run.frames;
        }
    }
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
    EXPECT_EQ(WEXITSTATUS(run.status), 0);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.console_open, 0);
    EXPECT_EQ(run.music_loaded, 0);
    ASSERT_FALSE(run.steps.empty());
    EXPECT_EQ(run.steps.back().name, "shutdown");
}

void check_whole_show(Variant variant)
{
    const ShowRun run = run_show(Script{variant, "", -1, false});
    expect_clean_exit(run);
    const bool vox = variant == Variant::vox_build;
    const unsigned rate = vox ? 22050u : 44100u;

    // Song 1 starts at order 1, before the sine table in the earlier build.
    const std::size_t song_1 = run.index_of("start_song_1"), intro = run.index_of("intro_loop");
    ASSERT_LT(song_1, intro);
    ASSERT_LT(intro, run.steps.size());
    EXPECT_EQ(run.steps[song_1].sin90, vox ? 0.0 : 1.0);
    const Step& in_intro = run.steps[intro];
    EXPECT_EQ(std::make_tuple(in_intro.order, in_intro.row, in_intro.orders, in_intro.rate, in_intro.sin90),
              std::make_tuple(1, 0, 15, rate, 1.0));

    // Song 2 from order 0, with the ring sprite cut from its picture.
    const std::size_t after_change = run.index_of("song_change") + 1;
    ASSERT_LT(after_change, run.steps.size());
    std::uint32_t ring[ring_size * ring_size];
    cut_sprite(picture("qd\\gfx\\sprites\\ring32b.pcx").data(), ring, ring_size, ring_size);
    const Step& first_of_2 = run.steps[after_change];
    EXPECT_EQ(std::make_tuple(first_of_2.order, first_of_2.row, first_of_2.orders, first_of_2.rate),
              std::make_tuple(0, 0, 27, rate));
    EXPECT_EQ(first_of_2.ring, frame_hash(ring, ring_size * ring_size));

    // The scroller: from the bottom picture alone, two rows at a time, to the top one alone.
    ASSERT_EQ(run.scroll_frames.size(), 201u);
    const std::vector<std::uint32_t> tuff = picture("qd\\gfx\\bak\\tuff.pcx");
    const std::vector<std::uint32_t> link = picture("qd\\gfx\\bak\\link.pcx");
    const std::vector<std::uint32_t> dsg3 = picture("qd\\gfx\\bak\\dsg3.pcx");
    EXPECT_EQ(run.scroll_frames.front(), frame_hash(dsg3.data()));
    EXPECT_EQ(run.scroll_frames.back(), frame_hash(tuff.data()));
    std::vector<std::uint32_t> second(link.end() - 2 * frame_width, link.end());
    second.insert(second.end(), dsg3.begin(), dsg3.end() - 2 * frame_width);
    EXPECT_EQ(run.scroll_frames[1], frame_hash(second.data()));
}

}  // namespace

TEST(Entry, BothBuildsRunTheWholeShow)
{
    for (Variant variant : {Variant::final_build, Variant::vox_build}) {
        SCOPED_TRACE(variant == Variant::vox_build ? "vox build" : "final build");
        check_whole_show(variant);
    }
}

// A key waiting at any point skips every loop that tests it: the show reaches its
// shutdown without presenting another fade or scroller frame.
TEST(Entry, AKeyAtAnyPointLeadsToTheShutdown)
{
    const Script scripts[] = {
        {Variant::final_build, "intro_loop", 0, false},      {Variant::final_build, "fade", 5, false},
        {Variant::final_build, "wait_song_end", 3, true},    {Variant::vox_build, "scroller", 3, false},
        {Variant::vox_build, "song_change", 0, false},
    };
    for (const Script& script : scripts) {
        SCOPED_TRACE(script.key_phase);
        const ShowRun run = run_show(script);
        expect_clean_exit(run);
        ASSERT_GE(run.key_frame, 0);
        const std::size_t key_step = run.index_of(script.key_phase);
        ASSERT_LT(key_step + 1, run.steps.size());
        for (std::size_t i = key_step + 1; i + 1 < run.steps.size(); ++i) {
            const std::string& name = run.steps[i].name;
            EXPECT_NE(name, "intro_title_scene");
            if (name == "fade" || name == "scroller") {
                EXPECT_EQ(run.steps[i + 1].frame, run.steps[i].frame) << name;
            }
        }
        // The current phase stops at its next key test.
        EXPECT_LE(run.steps[key_step + 1].frame - run.key_frame, 1);
        // Only scenes without a key test (the credits) still present frames.
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
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.console_open, 0);
    EXPECT_EQ(run.music_loaded, 0);
    EXPECT_NE(run.stderr_text.find("qd/music/1.xm"), std::string::npos) << run.stderr_text;
    EXPECT_EQ(run.frames, 0);
}
