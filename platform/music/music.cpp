// music.cpp -- the module player's output through SDL2 audio: the audio
// callback that renders the song and publishes its row marks, the position
// being heard, and the silent clock when there is no device (the song itself,
// and the frame-locked stepping, are music_song.cpp's).
#include "music_song.h"

#include "../console/console.h"
#include "../host/host.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>

// Whichever console backend the program links provides this; the reference is
// weak so that a program without a console (a player test) links too.
extern void console_service_events() __attribute__((weak));

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto event_service_period = std::chrono::milliseconds(4);

// What the callback publishes; guarded by `published_lock`, held only for copies.
struct Published {
    long long frames_done = 0;        // F1: frames rendered up to the end of the last buffer
    Clock::time_point callback_time{};
    int buffer_frames = 0;            // B
    long long end_frame = -1;         // F_end once the song has ended, -1 before
    RowMarks marks;
};

struct SdlOutput {
    bool no_device = false;           // the device failed to open: do not ask (and hear ALSA) again
    bool any_driver_is_a_device = false;  // tests: dummy and disk drive the callback path too

    // Device output (the callback owns the song's rendering while the device runs).
    SDL_AudioDeviceID device = 0;
    bool audio_started = false;
    std::mutex published_lock;
    Published published;
    long long callback_frames = 0;                        // callback thread only
    long long last_heard = 0;                             // main thread: A never goes back
    double latency_buffers = 2.0;                         // D in buffers, from the driver
    Clock::time_point last_event_service{};
};

// Program-wide and never destroyed: the exit handler that closes the device
// may run at any point of the exit sequence (closing the window exits from
// inside the show).
SdlOutput& sdl_output()
{
    static SdlOutput* const o = new SdlOutput;
    return *o;
}

// ---- device output: the audio callback ------------------------------------------

// Renders the buffer in sub-blocks, each change of row a mark, and publishes
// them with the frames done. The song is rendered here only, while the device runs.
void audio_callback(void* /*user*/, Uint8* stream, int len)
{
    SdlOutput& o = sdl_output();
    Song& s = song();
    const Clock::time_point now = Clock::now();
    float* out = reinterpret_cast<float*>(stream);
    const int frames = len / int(2 * sizeof(float));
    if (!(s.module && s.playing)) {
        std::fill(out, out + 2 * frames, 0.0f);
        return;
    }
    RowMarks marks;
    const long long first_frame = o.callback_frames;
    const bool ended_before = s.ended;
    const long long rendered = render_song_marked(out, frames, marks);
    // Frames go on counting after the end, so that the heard position reaches it.
    o.callback_frames = first_frame + frames;
    std::lock_guard<std::mutex> lock(o.published_lock);
    Published& pub = o.published;
    for (long long i = std::max(0LL, marks.count - song_mark_capacity); i < marks.count; ++i)
        add_mark(pub.marks, marks.ring[i % song_mark_capacity]);
    if (s.ended && !ended_before) pub.end_frame = first_frame + rendered;
    pub.frames_done = o.callback_frames;
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
    SdlOutput& o = sdl_output();
    if (o.device != 0) SDL_CloseAudioDevice(o.device);
    o.device = 0;
    if (o.audio_started) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    o.audio_started = false;
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

// Opens the device; falls back to silent decoding when there is none.
Output open_device()
{
    SdlOutput& o = sdl_output();
    const std::uint32_t rate = song().rate;
    if (o.no_device) return Output::silent;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        notice_silence(SDL_GetError());
        return Output::silent;
    }
    o.audio_started = true;
    const char* driver = SDL_GetCurrentAudioDriver();
    if (plays_nowhere(driver) && !o.any_driver_is_a_device) {
        const std::string why = std::string("the audio driver \"") + driver + "\" plays nowhere";
        close_device();
        notice_silence(why.c_str());
        return Output::silent;
    }
    SDL_AudioSpec want{}, have{};
    want.freq = int(rate);
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = rate > 30000 ? 512 : 256;
    want.callback = audio_callback;
    o.device = open_quietly(want, have);
    if (o.device == 0) {
        const std::string why = SDL_GetError();
        close_device();
        o.no_device = true;
        notice_silence(why.c_str());
        return Output::silent;
    }
    o.latency_buffers = latency_for_driver(driver);
    return Output::device;
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
    SdlOutput& o = sdl_output();
    if (now - o.last_event_service < event_service_period) return;
    o.last_event_service = now;
    if (console_service_events != nullptr) console_service_events();
}

// Order and row being heard; `active` false once the song's end has been heard.
void device_position(std::uint16_t& order, std::uint16_t& row, bool& active)
{
    SdlOutput& o = sdl_output();
    const Clock::time_point now = Clock::now();
    serve_window_events(now);
    std::lock_guard<std::mutex> lock(o.published_lock);
    const Published& pub = o.published;
    const long long heard = std::max(o.last_heard, heard_frame(pub, now, song().rate, o.latency_buffers));
    o.last_heard = heard;
    heard_position(pub.marks, pub.end_frame, heard, order, row, active);
}

}  // namespace

// ---- the output the song calls (music_song.h) ------------------------------------

Output output_open()
{
    return open_device();
}

void output_close()
{
    close_device();
}

void output_start()
{
    if (sdl_output().device != 0) SDL_PauseAudioDevice(sdl_output().device, 0);
}

void output_song_changing()
{
    if (sdl_output().device != 0) SDL_LockAudioDevice(sdl_output().device);
}

void output_song_changed()
{
    SdlOutput& o = sdl_output();
    o.callback_frames = 0;
    o.last_heard = 0;
    {
        std::lock_guard<std::mutex> lock(o.published_lock);
        o.published = Published{};
    }
    if (o.device != 0) SDL_UnlockAudioDevice(o.device);
}

void output_position(std::uint16_t& order, std::uint16_t& row, bool& active)
{
    device_position(order, row, active);
}

double output_clock()
{
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

// The silent output renders on the querying thread: the window's events are
// served from there meanwhile (the device's position serves them itself).
void output_query()
{
    if (song().output == Output::silent && !song().ended) serve_window_events(Clock::now());
}

void output_spin_hook_returned() {}

// ---- the native player's own controls -------------------------------------------------

void music_take_any_driver_as_device(bool on)
{
    sdl_output().any_driver_is_a_device = on;
}

MusicStatus music_status()
{
    SdlOutput& o = sdl_output();
    const Song& s = song();
    MusicStatus status;
    status.loaded = s.module != nullptr;
    status.orders = s.orders;
    status.rate = s.rate;
    status.song_seconds = s.song_seconds;
    if (!status.loaded || !s.playing) return status;
    if (s.output != Output::device) {
        status.seconds = double(s.frames_done) / s.rate;
        status.active = !s.ended;
        status.order = s.order;
        status.row = s.row;
        return status;
    }
    {
        std::lock_guard<std::mutex> lock(o.published_lock);
        status.seconds = double(o.last_heard) / s.rate;
        status.active = !(o.published.end_frame >= 0 && o.last_heard >= o.published.end_frame);
    }
    // The device's order and row without counting as a query of the show's.
    bool active = false;
    device_position(status.order, status.row, active);
    return status;
}
