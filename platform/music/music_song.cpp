// music_song.cpp -- the module player's song over libopenmpt, whatever plays it:
// loading, rendering, the silent output's catching up with the clock, the
// frame-locked stepping, and the position the show asks for. The output
// (music.cpp or platform/web/music_web.cpp) supplies the output_* functions.
#include "music.h"
#include "music_local.h"
#include "music_song.h"

#include "../console/console.h"
#include "../host/host.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace {

constexpr int spin_queries_per_frame = 64;

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

// ---- silent and frame-locked output: rendered where the position is asked ------

long long render_to_scratch(long long frames)
{
    Song& s = song();
    if (s.scratch.size() < std::size_t(2 * frames)) s.scratch.resize(std::size_t(2 * frames));
    return render_song(s.scratch.data(), frames);
}

// Silent output: catch the song up with the clock since it started.
void catch_up_with_clock()
{
    Song& s = song();
    if (!s.playing || s.ended) return;
    const double elapsed = output_clock() - s.play_start;
    long long behind = static_cast<long long>(elapsed * s.rate) - s.frames_done;
    if (behind < song_sub_block) return;  // keeps tight spin loops cheap; good to 1.5 ms
    while (behind > 0 && !s.ended) {
        const long long chunk = std::min(behind, 4096LL);
        render_to_scratch(chunk);
        behind -= chunk;
    }
}

// Frame-locked: one presented frame of audio, 1/60 s; at 22,050 Hz 367 and 368
// frames alternate so that k frames always hold floor(k * rate / 60).
void advance_one_frame()
{
    Song& s = song();
    const long long k = s.frame_index++;
    const long long frames = (k + 1) * s.rate / 60 - k * s.rate / 60;
    render_to_scratch(frames);
    wav_append(s.scratch.data(), int(frames), s.rate);
}

// Every query counts; a long run of them without a presentation is a spin-wait,
// which moves on one frame per 64 queries.
void count_spin_query()
{
    Song& s = song();
    if (++s.queries_since_present < spin_queries_per_frame) return;
    s.queries_since_present = 0;
    advance_one_frame();
    if (s.spin_hook == nullptr) return;
    s.spin_hook(s.spin_user);
    output_spin_hook_returned();
}

void current_position(std::uint16_t& order, std::uint16_t& row, bool& active)
{
    Song& s = song();
    if (!s.module || !s.playing) {
        order = row = 0;
        active = false;
        return;
    }
    output_query();
    switch (s.output) {
    case Output::device:
        output_position(order, row, active);
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
    order = s.order;
    row = s.row;
    active = !s.ended;
}

void reset_song_progress(std::uint16_t start_order)
{
    Song& s = song();
    s.start_order = start_order;
    s.order = start_order;
    s.row = 0;
    s.ended = false;
    s.frames_done = 0;
    s.frame_index = 0;
    s.queries_since_present = 0;
    s.play_start = output_clock();
}

void free_song()
{
    Song& s = song();
    output_close();
    s.module.reset();
    s.file_bytes.clear();
    s.playing = false;
    s.orders = 0;
    s.output = Output::none;
}

void close_at_exit()
{
    free_song();
    music_close_wav();
}

}  // namespace

Song& song()
{
    static Song* const s = new Song;
    return *s;
}

void notice_silence(const char* why)
{
    Song& s = song();
    if (s.noticed_silence) return;
    s.noticed_silence = true;
    std::fprintf(stderr, "velmora: no sound output (%s); the music runs silently on the clock\n", why);
}

void add_mark(RowMarks& marks, const RowMark& mark)
{
    marks.ring[marks.count % song_mark_capacity] = mark;
    ++marks.count;
}

long long render_song(float* out, long long frames)
{
    Song& s = song();
    std::fill(out, out + 2 * frames, 0.0f);
    if (s.ended || !s.module || !s.playing) return 0;
    const std::size_t got = s.module->read_interleaved_stereo(int(s.rate), std::size_t(frames), out);
    s.frames_done += static_cast<long long>(got);
    if (got < std::size_t(frames)) {
        s.ended = true;
        s.order = s.orders;
        s.row = 0;
    } else {
        s.order = std::uint16_t(s.module->get_current_order());
        s.row = std::uint16_t(s.module->get_current_row());
    }
    return static_cast<long long>(got);
}

long long render_song_marked(float* out, long long frames, RowMarks& marks)
{
    Song& s = song();
    long long done = 0;
    while (done < frames) {
        const long long want = std::min<long long>(song_sub_block, frames - done);
        const long long first = s.frames_done;
        const std::uint16_t order = s.order, row = s.row;
        const long long got = render_song(out + 2 * done, want);
        done += got;
        if (got < want) break;  // the end (or nothing playing): the rest is silence
        if (s.order != order || s.row != row) add_mark(marks, RowMark{first, s.order, s.row});
    }
    std::fill(out + 2 * done, out + 2 * frames, 0.0f);
    return done;
}

void heard_position(const RowMarks& marks, long long end_frame, long long heard, std::uint16_t& order,
                    std::uint16_t& row, bool& active)
{
    const Song& s = song();
    active = !(end_frame >= 0 && heard >= end_frame);
    if (!active) {
        order = s.orders;
        row = 0;
        return;
    }
    order = s.start_order;
    row = 0;
    const long long oldest = std::max(0LL, marks.count - song_mark_capacity);
    for (long long i = marks.count - 1; i >= oldest; --i) {
        const RowMark& m = marks.ring[i % song_mark_capacity];
        if (m.frame <= heard) {
            order = m.order;
            row = m.row;
            return;
        }
    }
}

// ---- the interface the show calls -----------------------------------------------

bool BASS_Init(int /*device*/, std::uint32_t frequency, std::uint32_t /*flags*/, void* /*window*/)
{
    static bool registered = false;
    if (!registered) {
        std::atexit(close_at_exit);  // a web page's runtime never exits: there it is not called
        registered = true;
    }
    Song& s = song();
    free_song();
    s.rate = frequency >= 8000 && frequency <= 192000 ? frequency : 44100;
    s.output = s.frame_locked_requested ? Output::frame_locked : output_open();
    return true;
}

std::uint32_t BASS_MusicLoad(int /*from_memory*/, const char* file, std::uint32_t /*offset*/,
                             std::uint32_t /*length*/, std::uint32_t /*flags*/)
{
    Song& s = song();
    const std::string name = host_data_path(file);
    std::vector<char> bytes = read_song_bytes(name);
    std::unique_ptr<openmpt::module> module = make_module(bytes, name);
    output_song_changing();
    s.module = std::move(module);
    s.file_bytes = std::move(bytes);
    s.file_name = name;
    s.playing = false;
    s.orders = std::uint16_t(s.module->get_num_orders());
    s.song_seconds = s.module->get_duration_seconds();
    output_song_changed();
    return ++s.handle;
}

bool BASS_Start()
{
    output_start();
    return true;
}

bool BASS_MusicPlayEx(std::uint32_t /*handle*/, std::uint32_t position, int /*flags*/, int reset)
{
    Song& s = song();
    if (!s.module) return false;
    output_song_changing();
    if (reset != 0) s.module = make_module(s.file_bytes, s.file_name);
    s.module->set_position_order_row(std::int32_t(position), 0);
    reset_song_progress(std::uint16_t(s.module->get_current_order()));
    s.playing = true;
    output_song_changed();
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
    song().frame_locked_requested = on;
}

bool music_frame_locked()
{
    return song().frame_locked_requested;
}

void music_frame_presented()
{
    Song& s = song();
    if (s.output != Output::frame_locked) return;
    s.queries_since_present = 0;
    advance_one_frame();
}

void music_set_spin_hook(MusicSpinHook hook, void* user)
{
    song().spin_hook = hook;
    song().spin_user = user;
}
