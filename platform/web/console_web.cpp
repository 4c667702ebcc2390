// console_web.cpp -- the console library in a web page: one canvas that the
// page shows as the current window (the menu, then the show), keys from the
// page's keyboard events, presentations paced by the browser's animation frames.
// The page side is VelmoraPage in page/velmora-page.js.
#include "web_platform.h"

#include "platform/console/console_local.h"

#include <emscripten.h>

#include <cstdio>
#include <cstring>

struct Console {
    ConsoleOptions options;
    bool open = false;
    std::string title;
    std::vector<std::uint32_t> shown;  // what the last copy put in, 0x00RRGGBB
    std::vector<std::uint32_t> rgba;   // the same as the canvas takes it: R, G, B, 255 bytes
    int shown_width = 0, shown_height = 0;
};

// ---- the page's side -------------------------------------------------------------

EM_JS(void, page_open_window, (const char* title, int width, int height, int fullscreen),
      { VelmoraPage.openWindow(UTF8ToString(title), width, height, fullscreen !== 0); });
EM_JS(void, page_close_window, (), { VelmoraPage.closeWindow(); });
EM_JS(void, page_draw, (const std::uint32_t* rgba, int width, int height),
      { VelmoraPage.draw(HEAPU8.subarray(rgba, rgba + width * height * 4), width, height); });
// Waits for the animation frame that is due at 60 presentations a second, then draws.
EM_ASYNC_JS(void, page_present, (const std::uint32_t* rgba, int width, int height), {
    await VelmoraPage.nextPresentation();
    VelmoraPage.draw(HEAPU8.subarray(rgba, rgba + width * height * 4), width, height);
});
// Waits for the next animation frame without drawing (a spinning wait).
EM_ASYNC_JS(void, page_pause, (), { await VelmoraPage.nextAnimationFrame(); });
EM_JS(void, page_report_error, (const char* message), { VelmoraPage.fail(UTF8ToString(message)); });
// Never resolves: the show stops here.
EM_ASYNC_JS(void, page_halt, (), { await new Promise(() => {}); });

namespace {

// A spinning wait gives the browser a turn after this many key tests or music
// queries without a presentation (as many as the frame-locked music allows
// within one frame), or once it has gone this long without one.
constexpr int spin_calls_per_pause = 64;
constexpr double live_turn_ms = 30.0;
// Frame-locked runs take no pauses, but let the page show progress this often.
constexpr double locked_turn_ms = 250.0;

struct WebConsoleGlobals {
    bool frame_locked = false;
    WebFrameHook hook = nullptr;
    std::deque<int> keys;
    bool halt = false;
    int spin_calls = 0;
    double last_turn_ms = 0.0;  // when the browser last had control
    Console* shown_console = nullptr;
};

WebConsoleGlobals& globals()
{
    static WebConsoleGlobals instance;
    return instance;
}

void note_browser_turn()
{
    globals().spin_calls = 0;
    globals().last_turn_ms = emscripten_get_now();
}

// 0x00RRGGBB words to the canvas's byte order, opaque.
void to_canvas_bytes(Console* console)
{
    const std::size_t count = console->shown.size();
    console->rgba.resize(count);
    const std::uint32_t* from = console->shown.data();
    std::uint32_t* to = console->rgba.data();
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t p = from[i];
        to[i] = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
    }
}

void draw_now(Console* console)
{
    to_canvas_bytes(console);
    page_draw(console->rgba.data(), console->shown_width, console->shown_height);
}

// Frame-locked: an occasional picture and a turn for the page, at most every
// locked_turn_ms of running.
void frame_locked_turn(Console* console)
{
    if (emscripten_get_now() - globals().last_turn_ms < locked_turn_ms) return;
    if (console != nullptr && !console->shown.empty()) draw_now(console);
    emscripten_sleep(0);
    note_browser_turn();
}

}  // namespace

// ---- what the page's entry sets --------------------------------------------------------

void web_set_frame_locked(bool on)
{
    globals().frame_locked = on;
}

void web_set_frame_hook(WebFrameHook hook)
{
    globals().hook = hook;
}

void web_push_key(int code)
{
    globals().keys.push_back(code);
}

void web_request_halt()
{
    globals().halt = true;
}

void web_halt_if_requested()
{
    if (globals().halt) page_halt();
}

// The page's key handler calls this for each key press it passes on.
extern "C" EMSCRIPTEN_KEEPALIVE void web_key_pressed(int code)
{
    if (!globals().frame_locked) web_push_key(code);
}

void web_spin_point()
{
    WebConsoleGlobals& g = globals();
    if (g.frame_locked) return frame_locked_turn(g.shown_console);
    ++g.spin_calls;
    if (g.spin_calls < spin_calls_per_pause && emscripten_get_now() - g.last_turn_ms < live_turn_ms) return;
    web_music_service();
    page_pause();
    note_browser_turn();
}

// ---- the console library -----------------------------------------------------------------

Console* console_new()
{
    return new Console;
}

bool console_set_option(Console* console, const char* option)
{
    return apply_console_option(console->options, option);
}

void console_open(Console* console, const char* title, const Format* /*format*/, int /*pages*/)
{
    console->open = true;
    console->title = title;
    page_open_window(title, console->options.width, console->options.height, console->options.fullscreen ? 1 : 0);
    note_browser_turn();
}

void console_close(Console* console)
{
    if (!console->open) return;
    console->open = false;
    if (globals().shown_console == console) globals().shown_console = nullptr;
    page_close_window();
}

void console_update(Console* console)
{
    if (!console->open || console->shown.empty()) return;
    WebConsoleGlobals& g = globals();
    g.shown_console = console;
    if (g.hook != nullptr) {
        g.hook(console->shown.data(), console->shown_width, console->shown_height, console->title.c_str());
        web_halt_if_requested();
    }
    if (g.frame_locked) {
        g.spin_calls = 0;
        return frame_locked_turn(console);
    }
    web_music_service();
    to_canvas_bytes(console);
    page_present(console->rgba.data(), console->shown_width, console->shown_height);
    note_browser_turn();
}

int console_key_waiting(Console* /*console*/)
{
    if (!globals().keys.empty()) return 1;
    web_spin_point();
    return globals().keys.empty() ? 0 : 1;
}

Key console_read_key(Console* /*console*/)
{
    WebConsoleGlobals& g = globals();
    while (g.keys.empty()) {
        // A frame-locked run has nobody at the keyboard: an empty queue reads as Escape.
        if (g.frame_locked) return Key{key_escape};
        web_music_service();
        page_pause();
        note_browser_turn();
    }
    const Key key{g.keys.front()};
    g.keys.pop_front();
    return key;
}

void console_clear(Console* console)
{
    std::fill(console->shown.begin(), console->shown.end(), 0u);
    if (console->open && !console->shown.empty()) draw_now(console);
}

void console_delete(Console* console)
{
    if (globals().shown_console == console) globals().shown_console = nullptr;
    delete console;
}

void surface_copy_to_console(Surface* surface, Console* console)
{
    console->shown_width = surface->width;
    console->shown_height = surface->height;
    surface_pixels_as_frame(*surface, console->shown);
}

void error_report(const DynamicError& error)
{
    std::fprintf(stderr, "velmora: %s\n", error.what());
    page_report_error(error.what());
}

void console_service_events() {}
