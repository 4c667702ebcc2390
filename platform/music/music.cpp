// music.cpp -- the module player over libopenmpt: the song, its three ways of
// advancing (SDL2 audio callback, silent against the wall clock, frame-locked),
// and the position the show asks for.
#include "music.h"
#include "music_control.h"
#include "music_local.h"

#include "../console/console.h"
#include "../host/host.h"

#include <SDL.h>
#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

// Whichever console backend the program links provides this; the reference is
// weak so that a program without a console (a player test) links too.
extern void console_service_events() __attribute__((weak));

namespace {

using Clock = std::chrono::steady_clock;

enum class Output { none, device, silent, frame_locked };

// A row change the audio callback saw: the row began within 64 frames after `frame`.
struct RowMark {
    long long frame = 0;
    std::uint16_t order = 0, row = 0;
};

constexpr int mark_capacity = 256;   // far more than the rows between two queries
constexpr int sub_block = 64;        // callback render granularity: marks good to 1.5 ms
constexpr int spin_queries_per_frame = 64;
constexpr auto event_service_period = std::chrono::milliseconds(4);

// What the callback publishes; guarded by `published_lock`, held only for copies.
struct Published {
    long long frames_done = 0;        // F1: frames rendered up to the end of the last buffer
    Clock::time_point callback_time{};
    int buffer_frames = 0;            // B
    long long end_frame = -1;         // F_end once the song has ended, -1 before
    RowMark marks[mark_capacity];
    long long mark_count = 0;         // marks ever appended; the ring holds the newest
};

struct Player {
    bool frame_locked_requested = false;
    Output output = Output::none;
    std::uint32_t rate = 44100;
    bool noticed_silence = false;
    bool no_device = false;           // the device failed to open: do not ask (and hear ALSA) again
    bool any_driver_is_a_device = false;  // tests: dummy and disk drive the callback path too

    // The song.
    std::vector<char> file_bytes;
    std::unique_ptr<openmpt::module> module;
    std::string file_name;
    std::uint32_t handle = 0;
    std::uint16_t orders = 0;
    double song_seconds = 0.0;
    bool playing = false;             // set by BASS_MusicPlayEx
    std::uint16_t start_order = 0;

    // Device output (the callback owns the module while the device runs).
    SDL_AudioDeviceID device = 0;
    bool audio_started = false;
    std::mutex published_lock;
    Published published;
    std::uint16_t callback_order = 0, callback_row = 0;   // callback thread only
    long long callback_frames = 0;                        // callback thread only
    bool callback_ended = false;                          // callback thread only
    long long last_heard = 0;                             // main thread: A never goes back
    double latency_buffers = 2.0;                         // D in buffers, from the driver
    Clock::time_point last_event_service{};

    // Silent and frame-locked output: rendered on the querying thread.
    Clock::time_point play_start{};
    long long frames_done = 0;
    bool ended = false;
    std::uint16_t order = 0, row = 0;
    long frame_index = 0;             // frames advanced in this song (frame-locked)
    int queries_since_present = 0;
    MusicSpinHook spin_hook = nullptr;
    void* spin_user = nullptr;
    std::vector<float> scratch;
};

// Program-wide and never destroyed: the exit handler that closes the device
// may run at any point of the exit sequence (closing the window exits from
// inside the show).
Player& player()
{
    static Player* const p = new Player;
    return *p;
}

// ---- loading ---------------------------------------------------------------------

std::vector<char> read_song_bytes(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) throw DynamicError("cannot open the song " + file + ": " + std::strerror(errno));
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw DynamicError("cannot read the song " + file);
    return bytes;
}

std::unique_ptr<openmpt::module> make_module(const std::vector<char>& bytes, const std::string& file)
{
    std::ostringstream log;  // libopenmpt's notes would otherwise go to std::clog
    try {
        auto module = std::make_unique<openmpt::module>(bytes, log,
                                                        std::map<std::string, std::string>{{"play.at_end", "stop"}});
        module->set_repeat_count(0);
        if (module->get_num_orders() < 1) throw DynamicError("the song " + file + " has no orders");
        return module;
    } catch (const openmpt::exception& e) {
        throw DynamicError("the song " + file + " is not a readable module: " + e.what());
    }
}

void notice_silence(const char* why)
{
    Player& p = player();
    if (p.noticed_silence) return;
    p.noticed_silence = true;
    std::fprintf(stderr, "velmora: no sound output (%s); the music runs silently on the clock\n", why);
}

// ---- device output: the audio callback ------------------------------------------

void publish_mark(Published& out, long long frame, std::uint16_t order, std::uint16_t row)
{
    out.marks[out.mark_count % mark_capacity] = RowMark{frame, order, row};
    ++out.mark_count;
}

// Renders the buffer in sub-blocks; after each, a changed (order, row) becomes
// a mark. The module is touched here only, while the device runs.
void audio_callback(void* /*user*/, Uint8* stream, int len)
{
    Player& p = player();
    const Clock::time_point now = Clock::now();
    float* out = reinterpret_cast<float*>(stream);
    const int frames = len / int(2 * sizeof(float));
    RowMark marks[mark_capacity];
    int mark_count = 0;
    long long end_frame = -1;
    const long long first_frame = p.callback_frames;
    int done = 0;
    if (p.module && p.playing && !p.callback_ended) {
        while (done < frames) {
            const int want = std::min(sub_block, frames - done);
            const std::size_t got = p.module->read_interleaved_stereo(int(p.rate), std::size_t(want), out + 2 * done);
            if (got < std::size_t(want)) {
                p.callback_ended = true;
                end_frame = first_frame + done + static_cast<long long>(got);
                done += int(got);
                break;
            }
            const auto order = std::uint16_t(p.module->get_current_order());
            const auto row = std::uint16_t(p.module->get_current_row());
            if ((order != p.callback_order || row != p.callback_row) && mark_count < mark_capacity)
                marks[mark_count++] = RowMark{first_frame + done, order, row};
            p.callback_order = order;
            p.callback_row = row;
            done += want;
        }
    }
    std::fill(out + 2 * done, out + 2 * frames, 0.0f);
    if (!(p.module && p.playing)) return;
    // Frames go on counting after the end, so that the heard position reaches it.
    p.callback_frames = first_frame + frames;
    std::lock_guard<std::mutex> lock(p.published_lock);
    Published& pub = p.published;
    for (int i = 0; i < mark_count; ++i) publish_mark(pub, marks[i].frame, marks[i].order, marks[i].row);
    if (end_frame >= 0) pub.end_frame = end_frame;
    pub.frames_done = p.callback_frames;
    pub.callback_time = now;
    pub.buffer_frames = frames;
}

double latency_for_driver(const char* driver)
{
    // Output latency in buffers after the end of the last one rendered.
    if (driver == nullptr) return 2.0;
    if (std::strcmp(driver, "alsa") == 0) return 3.0;   // two periods queued plus the one playing
    if (std::strcmp(driver, "disk") == 0) return 1.0;
    return 2.0;  // sound servers: one buffer, and a guess at the server's own
}

void close_device()
{
    Player& p = player();
    if (p.device != 0) SDL_CloseAudioDevice(p.device);
    p.device = 0;
    if (p.audio_started) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    p.audio_started = false;
}

// Opens the device quietly: without a sound card the ALSA library writes a
// screenful of its own lines to standard error, and the player's one notice says it all.
SDL_AudioDeviceID open_quietly(const SDL_AudioSpec& want, SDL_AudioSpec& have)
{
    struct Open {
        const SDL_AudioSpec* want;
        SDL_AudioSpec* have;
        SDL_AudioDeviceID device;
    } open{&want, &have, 0};
    host_quietly([](void* user) {
        auto* o = static_cast<Open*>(user);
        o->device = SDL_OpenAudioDevice(nullptr, 0, o->want, o->have, 0);
    }, &open);
    return open.device;
}

// SDL's dummy and disk drivers play nowhere: their callbacks are timed by sleeps
// of whole milliseconds and run 3 to 10 % fast, so they are no clock for the show.
bool plays_nowhere(const char* driver)
{
    return driver != nullptr && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "disk") == 0);
}

// Opens the output; falls back to silent decoding when there is no device.
void open_device()
{
    Player& p = player();
    if (p.no_device) {
        p.output = Output::silent;
        return;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        notice_silence(SDL_GetError());
        p.output = Output::silent;
        return;
    }
    p.audio_started = true;
    const char* driver = SDL_GetCurrentAudioDriver();
    if (plays_nowhere(driver) && !p.any_driver_is_a_device) {
        const std::string why = std::string("the audio driver \"") + driver + "\" plays nowhere";
        close_device();
        notice_silence(why.c_str());
        p.output = Output::silent;
        return;
    }
    SDL_AudioSpec want{}, have{};
    want.freq = int(p.rate);
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = p.rate > 30000 ? 512 : 256;
    want.callback = audio_callback;
    p.device = open_quietly(want, have);
    if (p.device == 0) {
        const std::string why = SDL_GetError();
        close_device();
        p.no_device = true;
        notice_silence(why.c_str());
        p.output = Output::silent;
        return;
    }
    p.latency_buffers = latency_for_driver(driver);
    p.output = Output::device;
}

// A(t): the frame being heard now, from the last callback's report.
long long heard_frame(const Published& pub, Clock::time_point now, std::uint32_t rate, double latency_buffers)
{
    if (pub.buffer_frames == 0) return 0;
    const double since = std::chrono::duration<double>(now - pub.callback_time).count();
    const double a = double(pub.frames_done) - latency_buffers * pub.buffer_frames + since * rate;
    return std::clamp(static_cast<long long>(a), 0LL, pub.frames_done);
}

void serve_window_events(Clock::time_point now)
{
    Player& p = player();
    if (now - p.last_event_service < event_service_period) return;
    p.last_event_service = now;
    if (console_service_events != nullptr) console_service_events();
}

// Order and row being heard; `active` false once the song's end has been heard.
void device_position(std::uint16_t& order, std::uint16_t& row, bool& active)
{
    Player& p = player();
    const Clock::time_point now = Clock::now();
    serve_window_events(now);
    std::lock_guard<std::mutex> lock(p.published_lock);
    const Published& pub = p.published;
    const long long heard = std::max(p.last_heard, heard_frame(pub, now, p.rate, p.latency_buffers));
    p.last_heard = heard;
    active = !(pub.end_frame >= 0 && heard >= pub.end_frame);
    if (!active) {
        order = p.orders;
        row = 0;
        return;
    }
    order = p.start_order;
    row = 0;
    const long long oldest = std::max(0LL, pub.mark_count - mark_capacity);
    for (long long i = pub.mark_count - 1; i >= oldest; --i) {
        const RowMark& m = pub.marks[i % mark_capacity];
        if (m.frame <= heard) {
            order = m.order;
            row = m.row;
            return;
        }
    }
}

// ---- silent and frame-locked output: rendered where the position is asked ------

// Renders `frames` frames of the song (or silence after its end) into scratch;
// returns the frames of song audio rendered.
long long render_frames(long long frames)
{
    Player& p = player();
    if (p.scratch.size() < std::size_t(2 * frames)) p.scratch.resize(std::size_t(2 * frames));
    std::fill(p.scratch.begin(), p.scratch.begin() + 2 * frames, 0.0f);
    if (p.ended || !p.module || !p.playing) return 0;
    const std::size_t got = p.module->read_interleaved_stereo(int(p.rate), std::size_t(frames), p.scratch.data());
    p.frames_done += static_cast<long long>(got);
    if (got < std::size_t(frames)) {
        p.ended = true;
        p.order = p.orders;
        p.row = 0;
    } else {
        p.order = std::uint16_t(p.module->get_current_order());
        p.row = std::uint16_t(p.module->get_current_row());
    }
    return static_cast<long long>(got);
}

// Silent output: catch the song up with the wall clock since it started.
void catch_up_with_clock()
{
    Player& p = player();
    if (!p.playing || p.ended) return;
    const Clock::time_point now = Clock::now();
    serve_window_events(now);
    const double elapsed = std::chrono::duration<double>(now - p.play_start).count();
    long long behind = static_cast<long long>(elapsed * p.rate) - p.frames_done;
    if (behind < sub_block) return;  // keeps tight spin loops cheap; good to 1.5 ms
    while (behind > 0 && !p.ended) {
        const long long chunk = std::min(behind, 4096LL);
        render_frames(chunk);
        behind -= chunk;
    }
}

// Frame-locked: one presented frame of audio, 1/60 s; at 22,050 Hz 367 and 368
// frames alternate so that k frames always hold floor(k * rate / 60).
void advance_one_frame()
{
    Player& p = player();
    const long long k = p.frame_index++;
    const long long frames = (k + 1) * p.rate / 60 - k * p.rate / 60;
    render_frames(frames);
    wav_append(p.scratch.data(), int(frames), p.rate);
}

// Every query counts; a long run of them without a presentation is a spin-wait,
// which moves on one frame per 64 queries.
void count_spin_query()
{
    Player& p = player();
    if (++p.queries_since_present < spin_queries_per_frame) return;
    p.queries_since_present = 0;
    advance_one_frame();
    if (p.spin_hook != nullptr) p.spin_hook(p.spin_user);
}

void current_position(std::uint16_t& order, std::uint16_t& row, bool& active)
{
    Player& p = player();
    if (!p.module || !p.playing) {
        order = row = 0;
        active = false;
        return;
    }
    switch (p.output) {
    case Output::device:
        device_position(order, row, active);
        return;
    case Output::silent:
        catch_up_with_clock();
        break;
    case Output::frame_locked:
        count_spin_query();
        break;
    case Output::none:
        break;
    }
    order = p.order;
    row = p.row;
    active = !p.ended;
}

void reset_song_progress(std::uint16_t start_order)
{
    Player& p = player();
    p.start_order = start_order;
    p.order = start_order;
    p.row = 0;
    p.ended = false;
    p.frames_done = 0;
    p.frame_index = 0;
    p.queries_since_present = 0;
    p.play_start = Clock::now();
    p.callback_order = start_order;
    p.callback_row = 0;
    p.callback_frames = 0;
    p.callback_ended = false;
    p.last_heard = 0;
    std::lock_guard<std::mutex> lock(p.published_lock);
    p.published = Published{};
}

void free_song()
{
    Player& p = player();
    close_device();
    p.module.reset();
    p.file_bytes.clear();
    p.playing = false;
    p.orders = 0;
    p.output = Output::none;
}

void close_at_exit()
{
    free_song();
    music_close_wav();
}

}  // namespace

// ---- the interface the show calls -----------------------------------------------

bool BASS_Init(int /*device*/, std::uint32_t frequency, std::uint32_t /*flags*/, void* /*window*/)
{
    static bool registered = false;
    if (!registered) {
        std::atexit(close_at_exit);
        registered = true;
    }
    Player& p = player();
    free_song();
    p.rate = frequency >= 8000 && frequency <= 192000 ? frequency : 44100;
    if (p.frame_locked_requested) {
        p.output = Output::frame_locked;
        return true;
    }
    open_device();
    return true;
}

std::uint32_t BASS_MusicLoad(int /*from_memory*/, const char* file, std::uint32_t /*offset*/,
                             std::uint32_t /*length*/, std::uint32_t /*flags*/)
{
    Player& p = player();
    const std::string name = host_data_path(file);
    std::vector<char> bytes = read_song_bytes(name);
    std::unique_ptr<openmpt::module> module = make_module(bytes, name);
    if (p.device != 0) SDL_LockAudioDevice(p.device);
    p.module = std::move(module);
    p.file_bytes = std::move(bytes);
    p.file_name = name;
    p.playing = false;
    p.orders = std::uint16_t(p.module->get_num_orders());
    p.song_seconds = p.module->get_duration_seconds();
    if (p.device != 0) SDL_UnlockAudioDevice(p.device);
    return ++p.handle;
}

bool BASS_Start()
{
    Player& p = player();
    if (p.device != 0) SDL_PauseAudioDevice(p.device, 0);
    return true;
}

bool BASS_MusicPlayEx(std::uint32_t /*handle*/, std::uint32_t position, int /*flags*/, int reset)
{
    Player& p = player();
    if (!p.module) return false;
    if (p.device != 0) SDL_LockAudioDevice(p.device);
    if (reset != 0) p.module = make_module(p.file_bytes, p.file_name);
    p.module->set_position_order_row(std::int32_t(position), 0);
    const auto start = std::uint16_t(p.module->get_current_order());
    reset_song_progress(start);
    p.playing = true;
    if (p.device != 0) SDL_UnlockAudioDevice(p.device);
    return true;
}

std::uint32_t BASS_ChannelGetPosition(std::uint32_t /*handle*/)
{
    std::uint16_t order = 0, row = 0;
    bool active = false;
    current_position(order, row, active);
    return std::uint32_t(order) | std::uint32_t(row) << 16;
}

std::uint32_t BASS_ChannelIsActive(std::uint32_t /*handle*/)
{
    std::uint16_t order = 0, row = 0;
    bool active = false;
    current_position(order, row, active);
    return active ? 1u : 0u;
}

bool BASS_Free()
{
    free_song();
    return true;
}

// ---- frame-locked control ----------------------------------------------------------

void music_set_frame_locked(bool on)
{
    player().frame_locked_requested = on;
}

bool music_frame_locked()
{
    return player().frame_locked_requested;
}

void music_frame_presented()
{
    Player& p = player();
    if (p.output != Output::frame_locked) return;
    p.queries_since_present = 0;
    advance_one_frame();
}

void music_take_any_driver_as_device(bool on)
{
    player().any_driver_is_a_device = on;
}

void music_set_spin_hook(MusicSpinHook hook, void* user)
{
    player().spin_hook = hook;
    player().spin_user = user;
}

MusicStatus music_status()
{
    Player& p = player();
    MusicStatus s;
    s.loaded = p.module != nullptr;
    s.orders = p.orders;
    s.rate = p.rate;
    s.song_seconds = p.song_seconds;
    if (!s.loaded || !p.playing) return s;
    if (p.output == Output::device) {
        std::lock_guard<std::mutex> lock(p.published_lock);
        s.seconds = double(p.last_heard) / p.rate;
        const bool ended = p.published.end_frame >= 0 && p.last_heard >= p.published.end_frame;
        s.active = !ended;
    } else {
        s.seconds = double(p.frames_done) / p.rate;
        s.active = !p.ended;
        s.order = p.order;
        s.row = p.row;
        return s;
    }
    // The device's order and row without counting as a query of the show's.
    bool active = false;
    device_position(s.order, s.row, active);
    return s;
}
