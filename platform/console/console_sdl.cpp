// console_sdl.cpp -- the console library over SDL2: a resizable window or desktop
// full screen, the surface scaled with its aspect kept (nearest neighbour), 60
// presentations a second (vsync on a 60 Hz display, else a deadline clock), the
// keyboard, and the ways a live run ends: the window closed or destroyed, SIGINT
// or SIGTERM, a fatal error, no display at all.
#include "console_local.h"
#include "console_x11.h"
#include "sdl_policy.h"

#include "../host/host.h"

#include <SDL.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

struct Console {
    ConsoleOptions options;
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int texture_width = 0, texture_height = 0;
    std::vector<std::uint32_t> staging;  // converted pixels when a surface is not 0x00RRGGBB
    PresentPacer pacer;
    unsigned long x_window = 0;          // the window's X id, 0 when not on X11
    long long presentations = 0;         // since the window opened
};

namespace {

using Clock = std::chrono::steady_clock;

// The longest a waiting key read sleeps before it looks at signals again.
constexpr int wait_slice_ms = 100;
// A fatal error's message box closes by itself after this long.
constexpr auto message_box_limit = std::chrono::seconds(30);

// The backend's program-wide state. Never destroyed: the display objects close
// their consoles from static destructors, after every other clean-up.
struct Video {
    bool started = false;
    bool display_lost = false;          // the X connection broke: no more video calls
    std::vector<Console*> open;         // consoles with a window
    std::deque<int> keys;
    HeldKeys held;                      // keys held since a window opened or the focus came
    int x_press_code = -1;              // the X key code of the press SDL reports next
    std::FILE* present_log = nullptr;   // VELMORA_PRESENT_LOG: one line per presentation
};

Video& video()
{
    static Video* const state = new Video;
    return *state;
}

// SIGINT or SIGTERM received and not yet acted on.
volatile std::sig_atomic_t pending_signal = 0;

std::int64_t now_ns()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// ---- the end of a run ----------------------------------------------------------

// The first SIGINT or SIGTERM is noted and acted on at the next look at the
// window system's events, so the show ends through its exit clean-up; a second
// one ends the program at once.
extern "C" void note_signal(int signal_number)
{
    if (pending_signal != 0) {
        std::signal(signal_number, SIG_DFL);
        std::raise(signal_number);
        return;
    }
    pending_signal = signal_number;
}

void take_over_signals()
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    for (int signal_number : {SIGINT, SIGTERM}) {
        struct sigaction current {};
        ::sigaction(signal_number, nullptr, &current);
        if (current.sa_handler != SIG_DFL) continue;  // ignored (a background job) or taken: leave it
        struct sigaction action {};
        action.sa_handler = note_signal;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal_number, &action, nullptr);
    }
}

// Ends the program, exit code 128 + the signal's number, once a signal came.
void end_on_signal()
{
    if (pending_signal != 0) std::exit(128 + pending_signal);
}

void forget_console(Console* console)
{
    auto& open = video().open;
    open.erase(std::remove(open.begin(), open.end(), console), open.end());
}

void destroy_window(Console* console)
{
    forget_console(console);
    if (video().started && !video().display_lost) {
        if (console->texture) SDL_DestroyTexture(console->texture);
        if (console->renderer) SDL_DestroyRenderer(console->renderer);
        if (console->window) SDL_DestroyWindow(console->window);
    }
    console->texture = nullptr;
    console->renderer = nullptr;
    console->window = nullptr;
    console->x_window = 0;
    console->texture_width = console->texture_height = 0;
}

void stop_video()
{
    Video& v = video();
    if (v.present_log != nullptr) std::fclose(v.present_log);
    v.present_log = nullptr;
    if (!v.started) return;
    while (!v.open.empty()) destroy_window(v.open.back());
    if (!v.display_lost) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    v.started = false;
}

// The X server went away: nothing more can be asked of it, so the exit clean-up
// leaves the video alone.
void display_connection_lost()
{
    video().display_lost = true;
    std::fprintf(stderr, "velmora: the connection to the display was lost\n");
    std::exit(1);
}

bool is_open_x_window(unsigned long id)
{
    if (id == 0) return false;
    for (const Console* console : video().open)
        if (console->x_window == id) return true;
    return false;
}

// An X error saying one of the console's windows is no window any more means
// another client destroyed it: the show ends as if the window had been closed.
// Any other error ends it with a message, outside Xlib.
void end_on_display_error()
{
    const X11Error error = x11_take_error();
    if (!error.seen) return;
    if (error.no_such_window && is_open_x_window(error.resource)) std::exit(0);
    std::fprintf(stderr, "velmora: the display reported an error: %s\n", error.text);
    std::exit(1);
}

// ---- events --------------------------------------------------------------------

// On X11 every key event comes first as the X event it is made of: its key
// code names the press SDL reports next, a release ends a key's hold, and the
// keys down as the focus or the pointer comes in are held from there.
void note_x_key_news(const SDL_Event& event)
{
    const X11KeyNews news = x11_key_news(event);
    video().x_press_code = news.kind == X11KeyNews::press ? news.code : -1;
    if (news.kind == X11KeyNews::release) key_released(video().held, news.code);
    if (news.kind == X11KeyNews::keys_down) note_keys_down(video().held, key_codes_from_keymap(news.keymap));
}

// Key presses join the queue (a modifier alone is no key, nor a key held since
// the window opened or the focus came); closing the window, or another client
// destroying it, ends the program at once through the same exit path as the
// shutdown.
void handle_event(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_QUIT:
        std::exit(0);
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) std::exit(0);
        break;
    case SDL_SYSWMEVENT:
        if (is_open_x_window(x11_destroyed_window(event))) std::exit(0);
        note_x_key_news(event);
        break;
    case SDL_KEYDOWN: {
        // Named by the X event just before it; SDL's own presses (a modifier
        // found down when the focus came) have none, and count.
        const int x_code = std::exchange(video().x_press_code, -1);
        if (event.key.repeat == 0 && press_counts(video().held, x_code)) {
            const int code = translate_key(event.key.keysym.sym, event.key.keysym.scancode);
            if (code != not_a_key) video().keys.push_back(code);
        }
        break;
    }
    default:
        break;
    }
}

void pump_events()
{
    end_on_signal();
    if (!video().started) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) handle_event(event);
    end_on_display_error();
    end_on_signal();
}

// ---- opening ---------------------------------------------------------------------

// A program started with standard error closed would hand that number to the
// next file it opens (the display connection, say), and an error line would be
// written into it; /dev/null takes the place instead.
void fill_closed_standard_streams()
{
    for (int fd = 0; fd <= 2; ++fd)
        if (classify_output(fd) == ErrorOutput::closed) {
            const int null_fd = ::open("/dev/null", O_RDWR);
            if (null_fd >= 0 && null_fd != fd) {
                ::dup2(null_fd, fd);
                ::close(null_fd);
            }
        }
}

void init_video_quietly(void* result)
{
    *static_cast<int*>(result) = SDL_InitSubSystem(SDL_INIT_VIDEO);
}

// Starts SDL's video; a driver that shows nothing counts as no display unless
// the user named it. Unreachable window systems' libraries print lines of their
// own meanwhile; the error below says it in one.
void start_video()
{
    Video& v = video();
    if (v.started) return;
    take_over_signals();
    fill_closed_standard_streams();
    x11_install_error_handlers(display_connection_lost);
    int result = 0;
    host_quietly(init_video_quietly, &result);
    if (result != 0) throw DynamicError(std::string("cannot open a display: ") + SDL_GetError());
    if (counts_as_no_display(SDL_GetCurrentVideoDriver(), SDL_GetHint(SDL_HINT_VIDEODRIVER))) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        throw DynamicError(no_display_message(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY")));
    }
    v.started = true;
    if (std::strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0)
        SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);  // brings word of a destroyed window
    static bool registered = false;
    if (!registered) {
        std::atexit(stop_video);
        registered = true;
    }
}

// Full screen is a borderless window created at the desktop's own place and
// size: it fills the screen whether or not a window manager acts on the
// full-screen request.
SDL_Window* create_window(const char* title, const ConsoleOptions& options)
{
    if (!options.fullscreen)
        return SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, options.width,
                                options.height, SDL_WINDOW_RESIZABLE);
    SDL_Rect desktop{0, 0, options.width, options.height};
    SDL_GetDisplayBounds(0, &desktop);
    return SDL_CreateWindow(title, desktop.x, desktop.y, desktop.w, desktop.h,
                            SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS);
}

int refresh_rate_of(SDL_Window* window)
{
    SDL_DisplayMode mode{};
    if (SDL_GetCurrentDisplayMode(std::max(0, SDL_GetWindowDisplayIndex(window)), &mode) != 0) return 0;
    return mode.refresh_rate;
}

SDL_Renderer* create_renderer(SDL_Window* window, Pacing pacing)
{
    const Uint32 vsync = pacing == Pacing::vsync ? SDL_RENDERER_PRESENTVSYNC : 0;
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | vsync);
    if (renderer == nullptr) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE | vsync);
    return renderer;
}

// VELMORA_PRESENT_LOG names a file that gets, per console opened, a line on its
// pacing and then one time stamp (ns) per presentation: for measuring the rate
// and jitter of presentations on a real display.
void log_console_opened(const char* title, int refresh_hz, SDL_Renderer* renderer, Pacing pacing)
{
    Video& v = video();
    const char* path = std::getenv("VELMORA_PRESENT_LOG");
    if (v.present_log == nullptr && path != nullptr && path[0] != '\0') v.present_log = std::fopen(path, "w");
    if (v.present_log == nullptr) return;
    SDL_RendererInfo info{};
    SDL_GetRendererInfo(renderer, &info);
    std::fprintf(v.present_log, "# open \"%s\" refresh %d Hz, renderer %s, %s\n", title, refresh_hz,
                 info.name ? info.name : "?", pacing == Pacing::vsync ? "vsync" : "deadline");
}

void log_line(const char* format, long long value)
{
    if (video().present_log != nullptr) std::fprintf(video().present_log, format, value);
}

bool vsync_granted(SDL_Renderer* renderer)
{
    SDL_RendererInfo info{};
    return SDL_GetRendererInfo(renderer, &info) == 0 && (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
}

// ---- presenting ------------------------------------------------------------------

// Waits until `due`: deadline pacing sleeps to 2 ms before it and spins the
// rest, for a steady rate; vsync pacing only sleeps (the display does the rest).
void wait_until(std::int64_t due, Pacing pacing)
{
    const std::int64_t spin = pacing == Pacing::deadline ? 2'000'000 : 0;
    const std::int64_t now = now_ns();
    if (now < due - spin) std::this_thread::sleep_for(std::chrono::nanoseconds(due - spin - now));
    while (now_ns() < due) {
    }
}

void present(Console* console)
{
    wait_until(next_presentation_time(console->pacer, now_ns()), console->pacer.pacing);
    SDL_RenderPresent(console->renderer);
    const std::int64_t done = now_ns();
    log_line("%lld\n", done);
    ++console->presentations;
    if (note_presented(console->pacer, done)) {
        SDL_RenderSetVSync(console->renderer, 0);
        log_line("# vsync not honoured by presentation %lld: deadline pacing from here\n", console->presentations);
    }
}

// ---- fatal errors ----------------------------------------------------------------

// Shows the message in a box from a child process of its own group, and waits
// for its button at most message_box_limit, or until SIGINT or SIGTERM; then the
// box (with any helper process it started) goes.
void show_message_box(const char* message)
{
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) return;
    if (child == 0) {
        ::setpgid(0, 0);
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Velmora", message, nullptr);
        ::_exit(0);
    }
    ::setpgid(child, child);
    const auto give_up = Clock::now() + message_box_limit;
    while (::waitpid(child, nullptr, WNOHANG) == 0) {
        if (pending_signal != 0 || Clock::now() >= give_up) {
            if (::kill(-child, SIGKILL) != 0) ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace

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
    start_video();
    destroy_window(console);
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    console->window = create_window(title, console->options);
    if (console->window == nullptr)
        throw DynamicError(std::string("cannot open the window \"") + title + "\": " + SDL_GetError());
    const int refresh_hz = refresh_rate_of(console->window);
    const Pacing pacing = choose_pacing(refresh_hz, std::getenv("VELMORA_PACING"));
    console->renderer = create_renderer(console->window, pacing);
    if (console->renderer == nullptr) {
        const std::string reason = SDL_GetError();
        destroy_window(console);
        throw DynamicError(std::string("cannot draw into the window \"") + title + "\": " + reason);
    }
    console->pacer = PresentPacer{};
    console->presentations = 0;
    console->pacer.pacing = vsync_granted(console->renderer) ? pacing : Pacing::deadline;
    console->x_window = x11_window_id(console->window);
    video().open.push_back(console);
    // The keys held as it opens do not count until released (off X11 every press counts).
    char keymap[32] = {};
    if (x11_keys_down(console->window, keymap)) note_keys_down(video().held, key_codes_from_keymap(keymap));
    log_console_opened(title, refresh_hz, console->renderer, console->pacer.pacing);
    if (console->options.fullscreen) SDL_ShowCursor(SDL_DISABLE);
    SDL_SetRenderDrawColor(console->renderer, 0, 0, 0, 255);
    SDL_RenderClear(console->renderer);
    SDL_RenderPresent(console->renderer);
    pump_events();
}

void console_close(Console* console)
{
    destroy_window(console);
    if (video().started && !video().display_lost) SDL_ShowCursor(SDL_ENABLE);
}

void console_update(Console* console)
{
    if (console->renderer == nullptr) return;
    SDL_SetRenderDrawColor(console->renderer, 0, 0, 0, 255);
    SDL_RenderClear(console->renderer);
    if (console->texture) SDL_RenderCopy(console->renderer, console->texture, nullptr, nullptr);
    present(console);
    pump_events();
}

int console_key_waiting(Console* /*console*/)
{
    pump_events();
    return video().keys.empty() ? 0 : 1;
}

// Sleeps on the window system's events until a key comes (waking now and then
// to act on a signal), so a waiting menu costs next to nothing.
Key console_read_key(Console* console)
{
    pump_events();
    while (video().keys.empty()) {
        if (!video().started || console->window == nullptr) return Key{key_escape};
        SDL_Event event;
        if (SDL_WaitEventTimeout(&event, wait_slice_ms)) handle_event(event);
        pump_events();
    }
    Key key{video().keys.front()};
    video().keys.pop_front();
    return key;
}

void console_clear(Console* console)
{
    if (console->renderer == nullptr) return;
    SDL_SetRenderDrawColor(console->renderer, 0, 0, 0, 255);
    SDL_RenderClear(console->renderer);
    SDL_RenderPresent(console->renderer);
}

void console_delete(Console* console)
{
    destroy_window(console);
    delete console;
}

void surface_copy_to_console(Surface* surface, Console* console)
{
    if (console->renderer == nullptr) return;
    if (console->texture == nullptr || console->texture_width != surface->width ||
        console->texture_height != surface->height) {
        if (console->texture) SDL_DestroyTexture(console->texture);
        console->texture = SDL_CreateTexture(console->renderer, SDL_PIXELFORMAT_RGB888,
                                             SDL_TEXTUREACCESS_STREAMING, surface->width,
                                             surface->height);
        if (console->texture == nullptr)
            throw DynamicError(std::string("cannot create the frame texture: ") + SDL_GetError());
        console->texture_width = surface->width;
        console->texture_height = surface->height;
        // Letterboxed, aspect-kept scaling of the surface to whatever size the window has.
        SDL_RenderSetLogicalSize(console->renderer, surface->width, surface->height);
    }
    const Format frame{32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0};
    const std::uint32_t* source = surface->pixels.data();
    if (surface->format.red != frame.red || surface->format.green != frame.green ||
        surface->format.blue != frame.blue) {
        console->staging.resize(surface->pixels.size());
        for (std::size_t i = 0; i < surface->pixels.size(); ++i)
            console->staging[i] = convert_pixel(surface->pixels[i], surface->format, frame);
        source = console->staging.data();
    }
    SDL_UpdateTexture(console->texture, nullptr, source,
                      surface->width * static_cast<int>(sizeof(std::uint32_t)));
}

// The line always goes to standard error, and the program goes on to exit at
// once. Only where that line reaches nobody (standard error closed or
// /dev/null) and a display exists does a message box say it too; the windows
// close first, the box closes by itself after a while, and a signal closes it.
void error_report(const DynamicError& error)
{
    std::fprintf(stderr, "velmora: %s\n", error.what());
    const bool display_exists = video().started && !video().display_lost;
    if (!message_box_wanted(classify_output(STDERR_FILENO), display_exists)) return;
    stop_video();
    show_message_box(error.what());
    end_on_signal();
}

void console_service_events()
{
    pump_events();
}
