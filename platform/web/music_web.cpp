// music_web.cpp -- the module player's output in a web page: the song
// (music_song.cpp) rendered on the page's own thread and heard through Web
// Audio. It is rendered a little ahead and handed to the audio context as
// buffers scheduled back to back on its clock; the position the show asks for
// is the row that will be heard when the frame being drawn is shown: that clock
// with the output latency the context reports taken off and the wait for the
// next presentation added. Without a running audio context the song runs
// silently against the wall clock, and frame-locked it advances by the
// presented frame, as in the native player.
#include "web_platform.h"

#include "platform/music/music_song.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
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

// Song frame `frame` plays at context time `time`; the audio after it follows
// without a gap until the next anchor (a new one after each underrun).
struct Anchor {
    long long frame = 0;
    double time = 0.0;
};

constexpr int chunk_frames = 2048;    // one scheduled buffer, 46 ms at 44.1 kHz
constexpr double lead_seconds = 0.25; // audio scheduled ahead of the context clock
constexpr double restart_delay_seconds = 0.03;

// Device output: what was scheduled, and what is being heard.
struct PageOutput {
    long long end_frame = -1;
    RowMarks marks;
    std::vector<Anchor> anchors;
    double next_time = 0.0;      // context time at which frame `frames_done` will play
    long long last_heard = 0;
};

PageOutput& page_output()
{
    static PageOutput* const o = new PageOutput;
    return *o;
}

// ---- device output: buffers scheduled on the audio context's clock -------------------------

// Renders one buffer in sub-blocks (so that row marks are fine-grained) and
// schedules it right after the last one, or a moment from now after an
// underrun. Start times count whole frames from the last anchor, which falls
// on one of the context's sample frames, so the buffers meet without a seam.
void schedule_chunk(double clock)
{
    PageOutput& o = page_output();
    Song& s = song();
    const long long first = s.frames_done;
    if (s.scratch.size() < std::size_t(2 * chunk_frames)) s.scratch.resize(std::size_t(2 * chunk_frames));
    const long long rendered = render_song_marked(s.scratch.data(), chunk_frames, o.marks);
    if (s.ended && o.end_frame < 0) o.end_frame = s.frames_done;
    if (rendered == 0) return;
    if (o.anchors.empty() || o.next_time < clock + 0.005) {
        const double rate = page_audio_rate();
        o.anchors.push_back(Anchor{first, std::ceil((clock + restart_delay_seconds) * rate) / rate});
    }
    const Anchor& anchor = o.anchors.back();
    page_audio_play(s.scratch.data(), int(rendered), int(s.rate), anchor.time + double(first - anchor.frame) / s.rate);
    o.next_time = anchor.time + double(first + rendered - anchor.frame) / s.rate;
}

void keep_audio_ahead()
{
    PageOutput& o = page_output();
    const Song& s = song();
    if (s.output != Output::device || !s.playing) return;
    const double clock = page_audio_clock();
    while (!s.ended && o.next_time < clock + lead_seconds) schedule_chunk(clock);
}

// The song frame being heard now; it never goes back.
long long heard_frame()
{
    PageOutput& o = page_output();
    const Song& s = song();
    const double t = page_audio_heard();
    long long heard = 0;
    for (std::size_t i = o.anchors.size(); i-- > 0;) {
        const Anchor& a = o.anchors[i];
        if (a.time > t) continue;
        heard = a.frame + static_cast<long long>((t - a.time) * s.rate);
        if (i + 1 < o.anchors.size()) heard = std::min(heard, o.anchors[i + 1].frame);  // the gap of an underrun
        break;
    }
    heard = std::min(heard, s.frames_done);
    o.last_heard = std::max(o.last_heard, heard);
    return o.last_heard;
}

}  // namespace

void web_music_service()
{
    keep_audio_ahead();
}

// ---- the output the song calls (music_song.h) ------------------------------------------------

Output output_open()
{
    if (page_audio_start() != 0) return Output::device;
    notice_silence("the page has no running audio context");
    return Output::silent;
}

void output_close()
{
    if (song().output == Output::device) page_audio_stop();
}

void output_start() {}

void output_song_changing() {}

void output_song_changed()
{
    PageOutput& o = page_output();
    o.end_frame = -1;
    o.marks.count = 0;
    o.anchors.clear();
    o.next_time = 0.0;
    o.last_heard = 0;
    keep_audio_ahead();
}

void output_position(std::uint16_t& order, std::uint16_t& row, bool& active)
{
    keep_audio_ahead();
    const PageOutput& o = page_output();
    heard_position(o.marks, o.end_frame, heard_frame(), order, row, active);
}

double output_clock()
{
    return emscripten_get_now() / 1000.0;
}

void output_query()
{
    web_spin_point();
}

void output_spin_hook_returned()
{
    web_halt_if_requested();
}
