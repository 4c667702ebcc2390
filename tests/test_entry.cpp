// test_entry.cpp -- the whole show, menu to shutdown, in both builds: each run in
// a child process (the show's state is program-wide and lives once per process),
// against the headless console and the frame-locked player. The child logs every
// traced step with the frame count and the music position; the parent checks it.
#include "assets/assets.h"
#include "platform/console/console.h"
#include "platform/console/headless.h"
#include "platform/music/music.h"
#include "platform/music/music_control.h"
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::uint64_t frame_hash_of(const std::uint32_t* pixels, int count)
{
    std::uint64_t h = 1469598103934665603ull;
    for (int i = 0; i < count; ++i) h = (h ^ pixels[i]) * 1099511628211ull;
    return h;
}

std::uint64_t frame_hash(const std::uint32_t* pixels)
{
    return frame_hash_of(pixels, frame_pixels);
}

std::uint64_t frame_hash_of_ring()
{
    return frame_hash_of(ring_sprite, ring_size * ring_size);
}

// ---- the child: runs the show and logs it --------------------------------------

struct Script {
    Variant variant = Variant::final_build;
    std::string key_phase;   // push a key once this step has run ...
    long key_after = -1;     // ... this many presented frames (or spin frames) into it
    bool key_on_spin = false;
};

struct Child {
    Script script;
    std::FILE* log = nullptr;
    long frames = 0;             // frames presented on the show's console
    long spins = 0;              // frames the player advanced in spin-waits
    std::string phase;
    long phase_frame = 0, phase_spin = 0;
    std::string last_name;
    int last_order = -1;
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
    if (text == child.last_name && s.order == child.last_order) return;
    child.last_name = text;
    child.last_order = s.order;
    child.phase = text;
    child.phase_frame = child.frames;
    child.phase_spin = child.spins;
    std::fprintf(child.log, "trace %s %ld %d %d %d %d %u %.3f %llu\n", text.c_str(), child.frames, s.order, s.row,
                 s.active ? 1 : 0, s.orders, s.rate, double(sincos_table[90].sin),
                 static_cast<unsigned long long>(frame_hash_of_ring()));
    if (text == "end_screens") push_key_once();  // they would run 192,000 frames
    if (child.script.key_after == 0 && text == child.script.key_phase) push_key_once();
}

void on_frame(const std::uint32_t* pixels, int, int, const char* title, long, void*)
{
    if (std::strcmp(title, "Velmora") != 0) return;
    ++child.frames;
    music_frame_presented();
    if (child.phase == "scroller")
        std::fprintf(child.log, "scroll %llu\n", static_cast<unsigned long long>(frame_hash(pixels + margin_pixels)));
    if (!child.script.key_on_spin && child.phase == child.script.key_phase &&
        child.frames - child.phase_frame == child.script.key_after)
        push_key_once();
}

void on_spin(void*)
{
    ++child.spins;
    if (child.script.key_on_spin && child.phase == child.script.key_phase &&
        child.spins - child.phase_spin == child.script.key_after)
        push_key_once();
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
    const HeadlessConsoleState state = headless_state();
    std::fprintf(child.log, "exit %d %d %d %ld\n", code, state.open ? 1 : 0, music_status().loaded ? 1 : 0,
                 child.frames);
    std::fclose(child.log);
    std::fflush(nullptr);
    _exit(0);
}

Script script_for(Variant variant)
{
    Script s;
    s.variant = variant;
    return s;
}

// ---- the parent: reads the log -------------------------------------------------

struct Step {
    std::string name;
    long frame = 0;
    int order = 0, row = 0;
    bool active = false;
    int orders = 0;
    unsigned rate = 0;
    double sin90 = 0;
    std::uint64_t ring = 0;
};

struct ShowRun {
    int status = -1;  // the child's wait status
    std::vector<Step> steps;
    std::vector<std::uint64_t> scroll_frames;
    long key_frame = -1;
    int exit_code = -1;
    bool console_open = true, music_loaded = true;
    long frames = 0;
    std::string stderr_text;

    const Step* find(const std::string& name, std::size_t from = 0) const
    {
        for (std::size_t i = from; i < steps.size(); ++i)
            if (steps[i].name == name) return &steps[i];
        return nullptr;
    }
    // Frames presented from the start of step `name` to the start of the next step.
    long frames_in(const std::string& name) const
    {
        for (std::size_t i = 0; i + 1 < steps.size(); ++i)
            if (steps[i].name == name) return steps[i + 1].frame - steps[i].frame;
        return -1;
    }
};

std::string slurp(const std::string& file)
{
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
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
            Step s;
            unsigned long long ring = 0;
            int active = 0;
            log >> s.name >> s.frame >> s.order >> s.row >> active >> s.orders >> s.rate >> s.sin90 >> ring;
            s.active = active != 0;
            s.ring = ring;
            run.steps.push_back(s);
        } else if (word == "scroll") {
            unsigned long long h = 0;
            log >> h;
            run.scroll_frames.push_back(h);
        } else if (word == "key") {
            log >> run.key_frame;
        } else if (word == "exit") {
            int open = 0, loaded = 0;
            log >> run.exit_code >> open >> loaded >> run.frames;
            run.console_open = open != 0;
            run.music_loaded = loaded != 0;
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

std::vector<std::string> names(const ShowRun& run)
{
    std::vector<std::string> list;
    for (const Step& s : run.steps) list.push_back(s.name);
    return list;
}

void expect_clean_exit(const ShowRun& run)
{
    ASSERT_TRUE(WIFEXITED(run.status)) << "the show did not end (signal " << WTERMSIG(run.status) << ")";
    EXPECT_EQ(WEXITSTATUS(run.status), 0);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_FALSE(run.console_open);
    EXPECT_FALSE(run.music_loaded);
    ASSERT_FALSE(run.steps.empty());
    EXPECT_EQ(run.steps.back().name, "shutdown");
}

void check_whole_show(Variant variant)
{
    const ShowRun run = run_show(script_for(variant));
    expect_clean_exit(run);
    if (std::getenv("VELMORA_SHOW_STEPS") != nullptr)
        for (const Step& s : run.steps)
            std::printf("%-20s frame %6ld  order %2d row %2d  active %d\n", s.name.c_str(), s.frame, s.order, s.row,
                        s.active ? 1 : 0);
    const bool vox = variant == Variant::vox_build;

    // The songs start where and as the build says: song 1 at order 1 (before the
    // sine table in the earlier build), song 2 at order 0.
    const Step* song_1 = run.find("start_song_1");
    ASSERT_NE(song_1, nullptr);
    EXPECT_EQ(song_1->sin90, vox ? 0.0 : 1.0);
    EXPECT_EQ(song_1->orders, 0);
    const Step* intro = run.find("intro_loop");
    ASSERT_NE(intro, nullptr);
    EXPECT_EQ(intro->order, 1);
    EXPECT_EQ(intro->row, 0);
    EXPECT_EQ(intro->orders, 15);
    EXPECT_EQ(intro->rate, vox ? 22050u : 44100u);
    EXPECT_EQ(intro->sin90, 1.0);

    // The intro title runs for orders 1, 3, 5, 7 and 9, then the loop ends.
    std::vector<int> title_orders;
    for (const Step& s : run.steps)
        if (s.name == "intro_title_scene") title_orders.push_back(s.order);
    EXPECT_EQ(title_orders, (std::vector<int>{1, 3, 5, 7, 9}));

    // The fade's 200 frames, then the wait until song 1 is over.
    EXPECT_EQ(run.frames_in("fade"), 200);
    const Step* change = run.find("song_change");
    ASSERT_NE(change, nullptr);
    EXPECT_FALSE(change->active);
    EXPECT_EQ(change->order, 15);
    EXPECT_EQ(change->row, 0);

    // Song 2 from order 0, with the ring sprite cut from its picture.
    const std::vector<std::uint32_t> ring_picture = picture("qd\\gfx\\sprites\\ring32b.pcx");
    std::uint32_t ring[ring_size * ring_size];
    cut_sprite(ring_picture.data(), ring, ring_size, ring_size);
    std::size_t after_change = std::size_t(change - run.steps.data()) + 1;
    ASSERT_LT(after_change, run.steps.size());
    const Step& first_of_2 = run.steps[after_change];
    EXPECT_EQ(first_of_2.orders, 27);
    EXPECT_EQ(first_of_2.order, 0);
    EXPECT_EQ(first_of_2.row, 0);
    EXPECT_EQ(first_of_2.rate, vox ? 22050u : 44100u);
    EXPECT_EQ(first_of_2.ring, frame_hash_of(ring, ring_size * ring_size));

    // The scroller: 201 frames from the bottom picture alone to the top one alone.
    EXPECT_EQ(run.frames_in("scroller"), 201);
    ASSERT_EQ(run.scroll_frames.size(), 201u);
    const std::vector<std::uint32_t> tuff = picture("qd\\gfx\\bak\\tuff.pcx");
    const std::vector<std::uint32_t> link = picture("qd\\gfx\\bak\\link.pcx");
    const std::vector<std::uint32_t> dsg3 = picture("qd\\gfx\\bak\\dsg3.pcx");
    EXPECT_EQ(run.scroll_frames.front(), frame_hash(dsg3.data()));
    EXPECT_EQ(run.scroll_frames.back(), frame_hash(tuff.data()));
    std::vector<std::uint32_t> second(link.end() - 2 * frame_width, link.end());
    second.insert(second.end(), dsg3.begin(), dsg3.end() - 2 * frame_width);
    EXPECT_EQ(run.scroll_frames[1], frame_hash(second.data()));

    // The wait of order 7 holds no longer than order 7 lasts.
    const Step* wait_7 = run.find("wait_order_7");
    ASSERT_NE(wait_7, nullptr);
    const Step& after_wait = *(wait_7 + 1);
    EXPECT_NE(after_wait.order, 7);
    EXPECT_TRUE(after_wait.active);

    // Every scene and step in show order; the two builds differ in one scene.
    std::vector<std::string> expected = {"open_display", "start_song_1", "intro_loop"};
    for (int order = 1; order <= 9; ++order) expected.push_back(order % 2 ? "intro_title_scene" : "room_scene");
    for (const char* name : {"first_flyby_scene", "room_scene", "second_flyby_scene", "room_scene", "lump_scene",
                             "fade", "wait_song_end", "song_change", "fleet_scene", "texture_tunnel_scene",
                             "logo_scene", "credits_scene", "scroller", "wait_order_7", "blob_scene",
                             vox ? "voxel_scene" : "particle_scene", "chessboard_scene", "grit_scene",
                             "end_screens", "shutdown"})
        expected.push_back(name);
    EXPECT_EQ(names(run), expected);
}

}  // namespace

TEST(Entry, FinalBuildRunsTheWholeSequence)
{
    check_whole_show(Variant::final_build);
}

TEST(Entry, EarlierBuildRunsTheWholeSequence)
{
    check_whole_show(Variant::vox_build);
}

// A key waiting at any point skips every loop that tests it: the show reaches its
// shutdown without presenting another fade or scroller frame.
TEST(Entry, AKeyAtAnyPointLeadsToTheShutdown)
{
    const Script scripts[] = {
        {Variant::final_build, "intro_loop", 0, false},
        {Variant::final_build, "fade", 5, false},
        {Variant::final_build, "wait_song_end", 3, true},
        {Variant::vox_build, "scroller", 3, false},
        {Variant::vox_build, "song_change", 0, false},
    };
    for (const Script& script : scripts) {
        SCOPED_TRACE(script.key_phase);
        const ShowRun run = run_show(script);
        expect_clean_exit(run);
        ASSERT_GE(run.key_frame, 0);
        const std::size_t key_step = [&] {
            for (std::size_t i = 0; i < run.steps.size(); ++i)
                if (run.steps[i].name == script.key_phase) return i;
            return run.steps.size();
        }();
        ASSERT_LT(key_step, run.steps.size());
        for (std::size_t i = key_step + 1; i < run.steps.size(); ++i) {
            EXPECT_NE(run.steps[i].name, "intro_title_scene");
            if (run.steps[i].name == "fade" || run.steps[i].name == "scroller") {
                EXPECT_EQ(run.frames_in(run.steps[i].name), 0) << run.steps[i].name;
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
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir + "/qd").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir + "/qd/music").c_str(), 0755), 0);
    {
        std::ofstream junk(dir + "/qd/music/1.xm", std::ios::binary);
        junk << "Extended Module: cut short";
    }
    const ShowRun run = run_show(script_for(Variant::final_build), dir.c_str());
    std::remove((dir + "/qd/music/1.xm").c_str());
    rmdir((dir + "/qd/music").c_str());
    rmdir((dir + "/qd").c_str());
    rmdir(dir.c_str());
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_FALSE(run.console_open);
    EXPECT_FALSE(run.music_loaded);
    EXPECT_NE(run.stderr_text.find("qd/music/1.xm"), std::string::npos) << run.stderr_text;
    EXPECT_EQ(run.frames, 0);
}
