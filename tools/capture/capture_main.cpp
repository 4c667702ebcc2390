// capture_main.cpp -- velmora_capture: the real show, headless and frame-locked,
// written out as frames, video, audio, a contact sheet, a scene log and timings.
#include "bench_stats.h"
#include "capture_options.h"
#include "contact_sheet.h"
#include "hash_log.h"
#include "mp4_video.h"
#include "progress_bar.h"
#include "scene_log.h"
#include "turntable.h"
#include "y4m_writer.h"

#include "platform/console/console.h"
#include "platform/console/headless.h"
#include "platform/music/music_control.h"
#include "shell/shell.h"
#include "tools/common/png_writer.h"
#include "tools/common/sha256.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int surface_w = 320, surface_h = 240;
constexpr std::size_t surface_size = static_cast<std::size_t>(surface_w) * surface_h;
constexpr const char* main_title = "Velmora";
constexpr int any_key = key_space;
// An MP4's pixels are this many times the show's, each one a crisp square.
constexpr int mp4_scale = 4;
// Once a key is waiting, only the credits and a few fixed phases still run: far
// fewer frames than this. Without a key the end screens stop after 192,000.
constexpr long frames_after_key_limit = 40000;
constexpr long frames_without_key_limit = 260000;
// A baseline copy every this many frames, so the baseline sees the same machine load.
constexpr long baseline_every = 30;
constexpr int baseline_warm_copies = 31;
constexpr double progress_interval_s = 0.25;
// Estimates for the progress bar until the player reports the songs' lengths.
constexpr double song1_guess_s = 74.0, song2_guess_s = 175.0;
constexpr long end_screens_bound = 192000;
// No frame and no scene change for this long means a loop that neither presents
// nor asks the music: the run is stuck, not slow.
constexpr int stall_limit_s = 120;

struct KeyAfterState {
    KeyAfterScene request;
    long at_frame = -1;  // resolved when the scene first starts
    bool pushed = false;
};

struct CaptureRun {
    CaptureOptions options;
    SceneLog log;
    long frames = 0;          // presented frames plus spin repeats
    bool recording = true;    // until --max-frames or a file error
    bool file_error = false;
    long key_frame = -1;      // the first frame after which a key was waiting
    std::vector<std::uint32_t> last_surface = std::vector<std::uint32_t>(surface_size, 0u);
    Y4mWriter video;
    Mp4Video mp4;
    ContactSheet sheet;
    HashLog hash_log;
    std::vector<long> key_frames;
    std::vector<KeyAfterState> key_after;
    std::vector<std::string> hashes;  // per --hash-frame, in the order asked; empty until taken
    std::size_t hashes_taken = 0;
    // which song is playing: a new one when the player's heard time restarts
    int song = 0;
    bool song_loaded = false;
    double song_seconds_heard = 0.0;
    double song_length[3] = {0.0, song1_guess_s, song2_guess_s};
    // timing
    std::vector<SceneTimes> times;
    std::size_t scene_index = 0;
    bool scene_just_called = false;
    bool spin_since_frame = false;
    bool have_frame_end = false;
    Clock::time_point frame_end, scene_call, started, last_progress;
    std::vector<double> baseline_ms;
    std::vector<std::uint32_t> baseline_copy = std::vector<std::uint32_t>(surface_size, 0u);
    volatile std::uint32_t baseline_sink = 0;
    bool progress = false;
};

CaptureRun run;
std::atomic<long> show_activity{0};  // frames and traces so far, for the stall watch

double ms_between(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// The copy the figures are measured against: one 320x240 surface.
void measure_baseline_copy(const std::uint32_t* pixels)
{
    const Clock::time_point t0 = Clock::now();
    std::memcpy(run.baseline_copy.data(), pixels, surface_size * sizeof(std::uint32_t));
    const Clock::time_point t1 = Clock::now();
    // Reading the copy keeps it from being optimised away.
    run.baseline_sink = run.baseline_copy[surface_size / 2];
    run.baseline_ms.push_back(ms_between(t0, t1));
}

void notice_song(const MusicStatus& status)
{
    if (status.loaded && (!run.song_loaded || status.seconds < run.song_seconds_heard)) {
        run.song = std::min(run.song + 1, 2);
        if (status.song_seconds > 0.0) run.song_length[run.song] = status.song_seconds;
    }
    run.song_loaded = status.loaded;
    run.song_seconds_heard = status.loaded ? status.seconds : 0.0;
}

ShowPosition position_now(const MusicStatus& status)
{
    return ShowPosition{run.frames, status.order, status.row};
}

std::string current_scene_name()
{
    return run.log.spans.empty() ? std::string("(start)") : run.log.spans.back().name;
}

void press_key()
{
    if (run.key_frame < 0) run.key_frame = run.frames;
    headless_push_key(any_key);
}

void stop_recording()
{
    if (!run.recording) return;
    run.recording = false;
    music_close_wav();  // the audio ends with the last recorded frame
}

void fail_writing()
{
    run.file_error = true;
    stop_recording();
    press_key();
}

// Writes one counted frame (the surface as the viewer sees it) to every output.
void record_frame(const std::uint32_t* surface, const MusicStatus& status)
{
    if (!run.recording) return;
    const long frame = run.frames;
    if (frame_selected(run.options, frame)) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%06ld.png", frame);
        if (!write_png((std::filesystem::path(run.options.frames_dir) / name).string(), surface, surface_w, surface_h))
            return fail_writing();
    }
    for (std::size_t i = 0; i < run.options.hash_frames.size(); ++i)
        if (run.options.hash_frames[i] == frame) {
            run.hashes[i] = surface_hash_hex(surface, surface_size);
            ++run.hashes_taken;
        }
    if (!hash_log_frame(run.hash_log, frame, run.song, status.order, status.row, current_scene_name(), surface,
                        surface_size))
        return fail_writing();
    if (run.video.file != nullptr && !y4m_write_frame(run.video, surface)) return fail_writing();
    if (run.mp4.pipe != nullptr && !mp4_write_frame(run.mp4, surface)) return fail_writing();
    if (!run.options.sheet_file.empty()) {
        const std::string owner = std::to_string(run.log.spans.size());
        const std::string group = std::to_string(run.song) + "/" + std::to_string(status.order);
        const std::string detail = "S" + std::to_string(run.song) + " ORDER " + std::to_string(status.order) +
                                   " ROW " + std::to_string(status.row) + " F" + std::to_string(frame);
        sheet_offer(run.sheet, owner, group, current_scene_name(), detail, surface + 20 * surface_w);
    }
}

// A thread of its own ends a run that has stopped moving, with a message.
void start_stall_watch()
{
    std::thread([] {
        long seen = -1;
        int still_s = 0;
        for (;;) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            const long now = show_activity.load();
            still_s = now == seen ? still_s + 1 : 0;
            seen = now;
            if (still_s >= stall_limit_s) {
                std::fprintf(stderr, "\nvelmora_capture: the show has not moved for %d s; giving up\n", stall_limit_s);
                std::_Exit(3);
            }
        }
    }).detach();
}

void update_progress(const MusicStatus& status, bool force)
{
    if (!run.progress) return;
    const Clock::time_point now = Clock::now();
    if (!force && ms_between(run.last_progress, now) < progress_interval_s * 1000.0) return;
    run.last_progress = now;
    long total = run.options.max_frames;
    if (total < 0 && run.key_frames.empty() && run.key_after.empty())
        total = static_cast<long>(60.0 * (run.song_length[1] + run.song_length[2])) + end_screens_bound;
    const std::string line = progress_line(run.frames, total, run.song, status.order, status.row,
                                           ms_between(run.started, now) / 1000.0, 30);
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
}

// Counts the frame just recorded and acts on what the options say about it.
void count_frame(const MusicStatus& status)
{
    ++run.frames;
    ++show_activity;
    for (long k : run.key_frames)
        if (k == run.frames - 1) press_key();
    for (KeyAfterState& k : run.key_after)
        if (!k.pushed && k.at_frame >= 0 && run.frames >= k.at_frame) {
            k.pushed = true;
            press_key();
        }
    const bool hashes_done = only_hashes(run.options) && run.hashes_taken == run.hashes.size();
    if ((run.options.max_frames > 0 && run.frames == run.options.max_frames) || (hashes_done && run.recording)) {
        stop_recording();
        press_key();
    }
    const long limit = run.key_frame >= 0 ? run.key_frame + frames_after_key_limit : frames_without_key_limit;
    if (run.frames > limit) {
        std::fprintf(stderr, "\nvelmora_capture: the show did not reach its shutdown within %ld frames%s\n",
                     run.key_frame >= 0 ? frames_after_key_limit : frames_without_key_limit,
                     run.key_frame >= 0 ? " after the key" : "");
        scene_log_finish(run.log, position_now(status));
        print_scene_table(run.log, stderr);
        y4m_close(run.video);
        music_close_wav();
        mp4_close(run.mp4);
        std::exit(2);
    }
    update_progress(status, false);
}

// Every console_update: the menu's are ignored, the main console's are frames.
void on_console_update(const std::uint32_t* pixels, int width, int height, const char* title,
                       long /*update_index*/, void* /*user*/)
{
    if (std::strcmp(title, main_title) != 0) return;
    const Clock::time_point arrived = Clock::now();
    if (width != surface_w || height != surface_h) {
        std::fprintf(stderr, "velmora_capture: the show presented %dx%d, not %dx%d\n", width, height, surface_w,
                     surface_h);
        std::exit(1);
    }
    if (run.scene_just_called) {
        SceneTimes& scene = run.times[run.scene_index];
        scene.setup_ms = std::max(scene.setup_ms, ms_between(run.scene_call, arrived));
    } else if (run.have_frame_end && !run.spin_since_frame && !run.times.empty()) {
        run.times[run.scene_index].frame_ms.push_back(ms_between(run.frame_end, arrived));
    }
    run.scene_just_called = false;
    run.spin_since_frame = false;

    // The position this frame was drawn at; the song then moves on by one frame.
    const MusicStatus status = music_status();
    notice_song(status);
    std::memcpy(run.last_surface.data(), pixels, surface_size * sizeof(std::uint32_t));
    hash_log_new_surface(run.hash_log);
    record_frame(run.last_surface.data(), status);
    music_frame_presented();
    if (run.options.bench && run.frames % baseline_every == 0) measure_baseline_copy(pixels);
    count_frame(status);
    run.have_frame_end = true;
    run.frame_end = Clock::now();
}

// A spin-wait moved the song on by a frame without a presentation: the viewer
// keeps seeing the last frame, so it is repeated and counted.
void on_spin(void* /*user*/)
{
    const MusicStatus status = music_status();
    notice_song(status);
    record_frame(run.last_surface.data(), status);
    count_frame(status);
    run.spin_since_frame = true;
}

void on_scene_trace(const char* name)
{
    const Clock::time_point now = Clock::now();
    const MusicStatus status = music_status();
    ++show_activity;
    notice_song(status);
    scene_log_trace(run.log, name, position_now(status));
    if (name == nullptr) return;
    run.scene_index = static_cast<std::size_t>(&scene_times(run.times, run.log.spans.back().name) - run.times.data());
    ++run.times[run.scene_index].calls;
    run.scene_just_called = true;
    run.scene_call = now;
    for (KeyAfterState& k : run.key_after)
        if (k.at_frame < 0 && k.request.scene == run.log.spans.back().name) {
            k.at_frame = run.frames + k.request.frames;
            if (k.request.frames == 0) {
                k.pushed = true;
                press_key();
            }
        }
}

bool write_text_file(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "velmora_capture: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool open_outputs()
{
    const CaptureOptions& o = run.options;
    if (!o.frames_dir.empty()) {
        std::error_code failed;
        std::filesystem::create_directories(o.frames_dir, failed);
        if (failed) {
            std::fprintf(stderr, "velmora_capture: cannot create %s: %s\n", o.frames_dir.c_str(),
                         failed.message().c_str());
            return false;
        }
    }
    if (!o.hash_log.empty() && !hash_log_open(run.hash_log, o.hash_log)) return false;
    if (!o.video_file.empty()) {
        const bool opened = video_is_mp4(o.video_file)
                                ? mp4_open(run.mp4, o.video_file, o.audio_file, surface_w, surface_h, mp4_scale)
                                : y4m_open(run.video, o.video_file, surface_w, surface_h, o.video_444);
        if (!opened) return false;
    }
    // An MP4 needs the sound too: in the --audio file, else in one of its own.
    const std::string& audio = !o.audio_file.empty() ? o.audio_file : run.mp4.audio;
    if (!audio.empty()) {
        // Fail now rather than after the whole run; the player reopens it for writing.
        std::FILE* probe = std::fopen(audio.c_str(), "wb");
        if (probe == nullptr) {
            std::fprintf(stderr, "velmora_capture: cannot write %s\n", audio.c_str());
            return false;
        }
        std::fclose(probe);
        music_set_wav_output(audio.c_str());
    }
    return true;
}

// One line per --hash-frame, in the order asked; a frame the show never reached is an error.
bool print_hashes()
{
    for (std::size_t i = 0; i < run.hashes.size(); ++i) {
        if (run.hashes[i].empty()) {
            std::fprintf(stderr, "velmora_capture: the show ended after %ld frames, before frame %ld\n", run.frames,
                         run.options.hash_frames[i]);
            return false;
        }
        std::printf("%s\n", run.hashes[i].c_str());
    }
    return true;
}

// Closes and writes everything after the show; false if anything failed.
bool finish_outputs()
{
    const CaptureOptions& o = run.options;
    bool ok = !run.file_error;
    if (run.video.file != nullptr) ok = y4m_close(run.video) && ok;
    ok = hash_log_close(run.hash_log) && ok;
    music_close_wav();
    if (!run.mp4.path.empty()) {
        if (run.progress) std::fprintf(stderr, "velmora_capture: adding the sound to %s\n", run.mp4.path.c_str());
        ok = mp4_close(run.mp4) && ok;
    }
    if (!o.sheet_file.empty()) {
        sheet_finish(run.sheet);
        SheetLayout layout;
        const std::string header = std::string("VELMORA ") + (o.vox ? "VOX BUILD" : "FINAL BUILD") + "  MENU " +
                                   static_cast<char>(o.menu_key) + "  " + std::to_string(run.frames) + " FRAMES";
        const std::vector<std::uint32_t> image = render_sheet(run.sheet, header, layout);
        ok = write_png(o.sheet_file, image.data(), layout.width, layout.height) && ok;
    }
    if (!o.log_file.empty()) ok = write_text_file(o.log_file, scene_log_text(run.log)) && ok;
    if (!o.quiet && o.hash_frames.empty()) print_scene_table(run.log, stdout);
    ok = print_hashes() && ok;
    if (o.bench) {
        const BenchReport report = make_bench_report(run.times, run.baseline_ms);
        print_bench_table(report, stdout);
        if (!o.bench_json.empty()) ok = write_text_file(o.bench_json, bench_json(report)) && ok;
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string error;
    if (!parse_capture_options(argc, argv, run.options, error)) {
        std::fprintf(stderr, "velmora_capture: %s\n", error.c_str());
        return 2;
    }
    if (run.options.help) {
        std::fputs(capture_usage(), stdout);
        return 0;
    }
    const CaptureOptions& o = run.options;
    if (!o.mesh_file.empty()) return run_mesh_sheet(o.mesh_file.c_str(), o.mesh_out.c_str());
    if (o.bench_render) return run_render_bench();
    run.key_frames = o.key_frames;
    run.hashes.assign(o.hash_frames.size(), std::string());
    for (const KeyAfterScene& k : o.key_after) run.key_after.push_back(KeyAfterState{k, -1, false});
    if (!open_outputs()) return 1;

    if (o.bench)
        for (int i = 0; i < baseline_warm_copies; ++i) measure_baseline_copy(run.last_surface.data());
    run.progress = !o.quiet && writes_files(o) && isatty(STDERR_FILENO);
    run.started = run.last_progress = Clock::now();

    music_set_frame_locked(true);
    music_set_spin_hook(on_spin, nullptr);
    headless_set_frame_handler(on_console_update, nullptr);
    set_scene_trace_hook(on_scene_trace);
    headless_clear_keys();
    headless_push_key(o.menu_key);  // the mode menu reads it
    start_stall_watch();

    const int show_result = show_main(o.vox ? Variant::vox_build : Variant::final_build);

    set_scene_trace_hook(nullptr);
    headless_set_frame_handler(nullptr, nullptr);
    music_set_spin_hook(nullptr, nullptr);
    const MusicStatus status = music_status();
    scene_log_finish(run.log, position_now(status));
    if (run.progress) {
        update_progress(status, true);
        std::fputc('\n', stderr);
    }
    const bool written = finish_outputs();
    if (show_result != 0) return show_result;
    return written ? 0 : 1;
}
