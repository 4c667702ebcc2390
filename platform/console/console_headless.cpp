// console_headless.cpp -- null video driver of the console library: no window,
// no pacing. Frames go to a callback, keys come from headless_push_key.
#include "console_local.h"
#include "headless.h"

#include <cstdio>
#include <cstring>

struct Console {
    ConsoleOptions options;
    bool open = false;
    std::string title;
    Format format;
    std::vector<std::uint32_t> shown;  // what the last copy put in, 0x00RRGGBB
    int shown_width = 0, shown_height = 0;
    long updates = 0;
};

namespace {

struct HeadlessGlobals {
    HeadlessFrameHandler handler = nullptr;
    void* user = nullptr;
    std::deque<int> keys;
    HeadlessConsoleState state;
    bool fail_next_open = false;
};

HeadlessGlobals& globals()
{
    static HeadlessGlobals instance;
    return instance;
}

}  // namespace

void headless_set_frame_handler(HeadlessFrameHandler handler, void* user)
{
    globals().handler = handler;
    globals().user = user;
}

void headless_push_key(int code)
{
    globals().keys.push_back(code);
}

void headless_clear_keys()
{
    globals().keys.clear();
}

HeadlessConsoleState headless_state()
{
    return globals().state;
}

void headless_fail_next_open(bool fail)
{
    globals().fail_next_open = fail;
}

Console* console_new()
{
    return new Console;
}

bool console_set_option(Console* console, const char* option)
{
    return apply_console_option(console->options, option);
}

void console_open(Console* console, const char* title, const Format* format, int /*pages*/)
{
    HeadlessGlobals& g = globals();
    if (g.fail_next_open) {
        g.fail_next_open = false;
        throw DynamicError(std::string("cannot open the window \"") + title +
                           "\": no display is available");
    }
    console->open = true;
    console->title = title;
    console->format = *format;
    console->updates = 0;
    g.state.open = true;
    g.state.width = console->options.width;
    g.state.height = console->options.height;
    g.state.fullscreen = console->options.fullscreen;
    std::snprintf(g.state.title, sizeof g.state.title, "%s", title);
    ++g.state.opens;
}

void console_close(Console* console)
{
    if (!console->open) return;
    console->open = false;
    globals().state.open = false;
    ++globals().state.closes;
}

void console_update(Console* console)
{
    if (!console->open) return;
    HeadlessGlobals& g = globals();
    if (g.handler != nullptr && !console->shown.empty())
        g.handler(console->shown.data(), console->shown_width, console->shown_height,
                  console->title.c_str(), console->updates, g.user);
    ++console->updates;
}

int console_key_waiting(Console* /*console*/)
{
    return globals().keys.empty() ? 0 : 1;
}

Key console_read_key(Console* /*console*/)
{
    HeadlessGlobals& g = globals();
    // Nobody can press a key later in a headless run: an empty queue reads as Escape.
    if (g.keys.empty()) return Key{key_escape};
    Key key{g.keys.front()};
    g.keys.pop_front();
    return key;
}

void console_clear(Console* console)
{
    std::fill(console->shown.begin(), console->shown.end(), 0u);
    ++globals().state.clears;
}

void console_delete(Console* console)
{
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
}

void console_service_events() {}
