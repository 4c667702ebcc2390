// music_web.cpp -- the module player in a web page: libopenmpt on the page's
// own thread, heard through Web Audio. The song is rendered a little ahead and
// handed to the audio context as buffers scheduled back to back on its clock;
// the position the show asks for is the row that will be heard when the frame
// being drawn is shown: that clock with the output latency the context reports
// taken off and the wait for the next presentation added. Without a running
// audio context the song runs silently against the wall clock, and frame-locked
// it advances by the presented frame, as in the native player.
#include "web_platform.h"

#include "platform/console/console.h"
#include "platform/host/host.h"
#include "platform/music/music.h"
#include "platform/music/music_control.h"
#include "platform/music/music_local.h"

#include <emscripten.h>
#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

// ---- the page's audio (VelmoraPage.audio in page/velmora-page.js) --------------------

// Starts (or resumes) the page's audio context; 1 once it runs. The context
// was made on the menu key, at the build's rate (browsers allow sound only
// after a key press); a page without one waits no longer than half a second.
EM_ASYNC_JS(int, page_audio_start, (), { return await VelmoraPage.audio.start() ? 1 : 0; });
// The context's clock (its currentTime), seconds, and its sample rate.
EM_JS(double, page_audio_clock, (), { return VelmoraPage.audio.clock(); });
EM_JS(double, page_audio_rate, (), { return VelmoraPage.audio.rate(); });
// The context time heard when the frame being drawn is shown (see the top).
EM_JS(double, page_audio_heard, (), { return VelmoraPage.audio.heard(); });
// Plays `frames` interleaved stereo frames at context time `when`.
EM_JS(void, page_audio_play, (const float* interleaved, int frames, int rate, double when),
      { VelmoraPage.audio.play(HEAPF32.subarray(interleaved >> 2, (interleaved >> 2) + 2 * frames), frames, rate, when); });
// Stops every buffer scheduled so far.
EM_JS(void, page_audio_stop, (), { VelmoraPage.audio.stop(); });

namespace {

enum class Output { none, device, silent, frame_locked };

// A row change: the row began within `sub_block` frames after `frame`.
struct RowMark {
    long long frame = 0;
    std::uint16_t order = 0, row = 0;
};

// Song frame `frame` plays at context time `time`; the audio after it follows
// without a gap until the next anchor (a new one after each underrun).
struct Anchor {
    long long frame = 0;
    double time = 0.0;
};

constexpr int mark_capacity = 256;    // far more rows than the audio scheduled ahead holds
constexpr int sub_block = 64;         // render granularity: marks good to 1.5 ms
constexpr int chunk_frames = 2048;    // one scheduled buffer, 46 ms at 44.1 kHz
constexpr double lead_seconds = 0.25; // audio scheduled ahead of the context clock
constexpr double restart_delay_seconds = 0.03;
constexpr int spin_queries_per_frame = 64;

struct Player {
    bool frame_locked_requested = false;
    Output output = Output::none;
    std::uint32_t rate = 44100;
    bool noticed_silence = false;

    // The song.
    std::vector<char> file_bytes;
    std::unique_ptr<openmpt::module> module;
    std::string file_name;
    std::uint32_t handle = 0;
    std::uint16_t orders = 0;
    bool playing = false;
    std::uint16_t start_order = 0;

    // Progress of the rendering (all outputs).
    long long frames_done = 0;
    bool ended = false;
    std::uint16_t order = 0, row = 0;       // of the last frame rendered
    std::vector<float> scratch;

    // Silent: the wall clock when the song started, ms.
    double play_start_ms = 0.0;
    // Frame-locked.
    long frame_index = 0;
    int queries_since_present = 0;
    MusicSpinHook spin_hook = nullptr;
    void* spin_user = nullptr;

    // Device: what was scheduled, and what is being heard.
    long long end_frame = -1;
    RowMark marks[mark_capacity];
    long long mark_count = 0;
    std::vector<Anchor> anchors;
    double next_time = 0.0;      // context time at which frame `frames_done` will play
    long long last_heard = 0;
};

Player& player()
{
    static Player* const p = new Player;
    return *p;
}

// ---- loading ---------------------------------------------------------------------------

std::vector<char> read_song_bytes(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) throw DynamicError("cannot open the song " + file);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw DynamicError("cannot read the song " + file);
    return bytes;
}

std::unique_ptr<openmpt::module> make_module(const std::vector<char>& bytes, const std::string& file)
{
    std::ostringstream log;
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

// ---- rendering ------------------------------------------------------------------------------

// Renders `frames` frames (silence after the song's end) into scratch from
// `offset` on, keeping order, row and the end; row changes become marks when
// `mark` is set. Returns the frames of song audio rendered.
long long render_frames(long long frames, long long offset = 0, bool mark = false)
{
    Player& p = player();
    const std::size_t needed = std::size_t(2 * (offset + frames));
    if (p.scratch.size() < needed) p.scratch.resize(needed);
    float* out = p.scratch.data() + 2 * offset;
    std::fill(out, out + 2 * frames, 0.0f);
    if (p.ended || !p.module || !p.playing) return 0;
    const long long first = p.frames_done;
    const std::size_t got = p.module->read_interleaved_stereo(int(p.rate), std::size_t(frames), out);
    p.frames_done += static_cast<long long>(got);
    if (got < std::size_t(frames)) {
        p.ended = true;
        p.end_frame = p.frames_done;
        p.order = p.orders;
        p.row = 0;
        return static_cast<long long>(got);
    }
    const auto order = std::uint16_t(p.module->get_current_order());
    const auto row = std::uint16_t(p.module->get_current_row());
    if (mark && (order != p.order || row != p.row)) {
        p.marks[p.mark_count % mark_capacity] = RowMark{first, order, row};
        ++p.mark_count;
    }
    p.order = order;
    p.row = row;
    return static_cast<long long>(got);
}

// ---- device output: buffers scheduled on the audio context's clock -------------------------

// Renders one buffer in sub-blocks (so that row marks are fine-grained) and
// schedules it right after the last one, or a moment from now after an
// underrun. Start times count whole frames from the last anchor, which falls
// on one of the context's sample frames, so the buffers meet without a seam.
void schedule_chunk(double clock)
{
    Player& p = player();
    const long long first = p.frames_done;
    long long rendered = 0;
    while (rendered < chunk_frames && !p.ended) rendered += render_frames(sub_block, rendered, true);
    if (rendered == 0) return;
    if (p.anchors.empty() || p.next_time < clock + 0.005) {
        const double rate = page_audio_rate();
        p.anchors.push_back(Anchor{first, std::ceil((clock + restart_delay_seconds) * rate) / rate});
    }
    const Anchor& anchor = p.anchors.back();
    page_audio_play(p.scratch.data(), int(rendered), int(p.rate), anchor.time + double(first - anchor.frame) / p.rate);
    p.next_time = anchor.time + double(first + rendered - anchor.frame) / p.rate;
}

void keep_audio_ahead()
{
    Player& p = player();
    if (p.output != Output::device || !p.playing) return;
    const double clock = page_audio_clock();
    while (!p.ended && p.next_time < clock + lead_seconds) schedule_chunk(clock);
}

// The song frame being heard now; it never goes back.
long long heard_frame()
{
    Player& p = player();
    const double t = page_audio_heard();
    long long heard = 0;
    for (std::size_t i = p.anchors.size(); i-- > 0;) {
        const Anchor& a = p.anchors[i];
        if (a.time > t) continue;
        heard = a.frame + static_cast<long long>((t - a.time) * p.rate);
        if (i + 1 < p.anchors.size()) heard = std::min(heard, p.anchors[i + 1].frame);  // the gap of an underrun
        break;
    }
    heard = std::min(heard, p.frames_done);
    p.last_heard = std::max(p.last_heard, heard);
    return p.last_heard;
}

void device_position(std::uint16_t& order, std::uint16_t& row, bool& active)
{
    Player& p = player();
    keep_audio_ahead();
    const long long heard = heard_frame();
    active = !(p.end_frame >= 0 && heard >= p.end_frame);
    if (!active) {
        order = p.orders;
        row = 0;
        return;
    }
    order = p.start_order;
    row = 0;
    const long long oldest = std::max(0LL, p.mark_count - mark_capacity);
    for (long long i = p.mark_count - 1; i >= oldest; --i) {
        const RowMark& m = p.marks[i % mark_capacity];
        if (m.frame <= heard) {
            order = m.order;
            row = m.row;
            return;
        }
    }
}

// ---- silent and frame-locked output -------------------------------------------------------

void catch_up_with_clock()
{
    Player& p = player();
    if (!p.playing || p.ended) return;
    const double elapsed_s = (emscripten_get_now() - p.play_start_ms) / 1000.0;
    long long behind = static_cast<long long>(elapsed_s * p.rate) - p.frames_done;
    if (behind < sub_block) return;
    while (behind > 0 && !p.ended) {
        const long long chunk = std::min(behind, 4096LL);
        render_frames(chunk);
        behind -= chunk;
    }
}

// One presented frame of audio, 1/60 s; at 22,050 Hz 367 and 368 frames
// alternate so that k frames always hold floor(k * rate / 60).
void advance_one_frame()
{
    Player& p = player();
    const long long k = p.frame_index++;
    const long long frames = (k + 1) * p.rate / 60 - k * p.rate / 60;
    render_frames(frames);
    wav_append(p.scratch.data(), int(frames), p.rate);
}

// A long run of queries without a presentation is a spin-wait, which moves on
// one frame per 64 queries.
void count_spin_query()
{
    Player& p = player();
    if (++p.queries_since_present < spin_queries_per_frame) return;
    p.queries_since_present = 0;
    advance_one_frame();
    if (p.spin_hook == nullptr) return;
    p.spin_hook(p.spin_user);
    web_halt_if_requested();
}

void current_position(std::uint16_t& order, std::uint16_t& row, bool& active)
{
    Player& p = player();
    if (!p.module || !p.playing) {
        order = row = 0;
        active = false;
        return;
    }
    web_spin_point();
    switch (p.output) {
    case Output::device:
        return device_position(order, row, active);
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
    p.play_start_ms = emscripten_get_now();
    p.end_frame = -1;
    p.mark_count = 0;
    p.anchors.clear();
    p.next_time = 0.0;
    p.last_heard = 0;
}

void free_song()
{
    Player& p = player();
    if (p.output == Output::device) page_audio_stop();
    p.module.reset();
    p.file_bytes.clear();
    p.playing = false;
    p.orders = 0;
    p.output = Output::none;
}

}  // namespace

void web_music_service()
{
    keep_audio_ahead();
}

// ---- the interface the show calls ------------------------------------------------------------

bool BASS_Init(int /*device*/, std::uint32_t frequency, std::uint32_t /*flags*/, void* /*window*/)
{
    Player& p = player();
    free_song();
    p.rate = frequency >= 8000 && frequency <= 192000 ? frequency : 44100;
    if (p.frame_locked_requested) {
        p.output = Output::frame_locked;
    } else if (page_audio_start() != 0) {
        p.output = Output::device;
    } else {
        notice_silence("the page has no running audio context");
        p.output = Output::silent;
    }
    return true;
}

std::uint32_t BASS_MusicLoad(int /*from_memory*/, const char* file, std::uint32_t /*offset*/,
                             std::uint32_t /*length*/, std::uint32_t /*flags*/)
{
    Player& p = player();
    const std::string name = host_data_path(file);
    std::vector<char> bytes = read_song_bytes(name);
    p.module = make_module(bytes, name);
    p.file_bytes = std::move(bytes);
    p.file_name = name;
    p.playing = false;
    p.orders = std::uint16_t(p.module->get_num_orders());
    return ++p.handle;
}

bool BASS_Start()
{
    return true;
}

bool BASS_MusicPlayEx(std::uint32_t /*handle*/, std::uint32_t position, int /*flags*/, int reset)
{
    Player& p = player();
    if (!p.module) return false;
    if (reset != 0) p.module = make_module(p.file_bytes, p.file_name);
    p.module->set_position_order_row(std::int32_t(position), 0);
    reset_song_progress(std::uint16_t(p.module->get_current_order()));
    p.playing = true;
    keep_audio_ahead();
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

// ---- frame-locked control ------------------------------------------------------------------------

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

void music_set_spin_hook(MusicSpinHook hook, void* user)
{
    player().spin_hook = hook;
    player().spin_user = user;
}
