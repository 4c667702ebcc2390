// console_sdl.cpp -- the console library over SDL2: a resizable window or desktop
// full screen, the surface scaled with its aspect kept (nearest neighbour), a
// steady 60 presentations a second, and the keyboard.
#include "console_local.h"

#include <SDL.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

struct Console {
    ConsoleOptions options;
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int texture_width = 0, texture_height = 0;
    std::vector<std::uint32_t> staging;  // converted pixels when a surface is not 0x00RRGGBB
    std::chrono::steady_clock::time_point next_deadline{};
    bool paced = false;
};

namespace {

constexpr auto frame_period = std::chrono::nanoseconds(1'000'000'000 / 60);

std::deque<int>& key_queue()
{
    static std::deque<int> keys;
    return keys;
}

bool& video_started()
{
    static bool started = false;
    return started;
}

void stop_video()
{
    if (video_started()) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        video_started() = false;
    }
}

void start_video()
{
    if (video_started()) return;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        throw DynamicError(std::string("cannot open a display: ") + SDL_GetError());
    video_started() = true;
    static bool registered = false;
    if (!registered) {
        std::atexit(stop_video);
        registered = true;
    }
}

int translate_key(const SDL_Keysym& key)
{
    const SDL_Keycode sym = key.sym;
    if (sym >= SDLK_a && sym <= SDLK_z) return 'A' + (sym - SDLK_a);
    if (sym >= SDLK_0 && sym <= SDLK_9) return '0' + (sym - SDLK_0);
    if (sym == SDLK_ESCAPE) return key_escape;
    if (sym == SDLK_RETURN || sym == SDLK_KP_ENTER) return key_enter;
    if (sym == SDLK_SPACE) return key_space;
    return 256 + static_cast<int>(key.scancode);
}

// Reads the window system's events: key presses join the queue; closing the
// window ends the program at once, through the same exit path as the shutdown.
void pump_events()
{
    if (!video_started()) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT ||
            (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE)) {
            std::exit(0);
        }
        if (event.type == SDL_KEYDOWN && event.key.repeat == 0)
            key_queue().push_back(translate_key(event.key.keysym));
    }
}

void destroy_window(Console* console)
{
    if (console->texture) SDL_DestroyTexture(console->texture);
    if (console->renderer) SDL_DestroyRenderer(console->renderer);
    if (console->window) SDL_DestroyWindow(console->window);
    console->texture = nullptr;
    console->renderer = nullptr;
    console->window = nullptr;
    console->texture_width = console->texture_height = 0;
}

// Holds presentations to a steady 60 a second against a deadline clock, so no
// drift builds up; a late frame moves the deadline instead of rushing to catch up.
void pace(Console* console)
{
    const auto now = std::chrono::steady_clock::now();
    if (!console->paced || now > console->next_deadline + frame_period * 2) {
        console->next_deadline = now + frame_period;
        console->paced = true;
        return;
    }
    const auto spin_from = console->next_deadline - std::chrono::milliseconds(2);
    if (now < spin_from) std::this_thread::sleep_until(spin_from);
    while (std::chrono::steady_clock::now() < console->next_deadline) {
    }
    console->next_deadline += frame_period;
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
    Uint32 flags = SDL_WINDOW_RESIZABLE;
    if (console->options.fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    console->window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                       console->options.width, console->options.height, flags);
    if (console->window == nullptr)
        throw DynamicError(std::string("cannot open the window \"") + title + "\": " + SDL_GetError());
    console->renderer = SDL_CreateRenderer(console->window, -1, SDL_RENDERER_ACCELERATED);
    if (console->renderer == nullptr)
        console->renderer = SDL_CreateRenderer(console->window, -1, SDL_RENDERER_SOFTWARE);
    if (console->renderer == nullptr) {
        const std::string reason = SDL_GetError();
        destroy_window(console);
        throw DynamicError(std::string("cannot draw into the window \"") + title + "\": " + reason);
    }
    if (console->options.fullscreen) SDL_ShowCursor(SDL_DISABLE);
    SDL_SetRenderDrawColor(console->renderer, 0, 0, 0, 255);
    SDL_RenderClear(console->renderer);
    SDL_RenderPresent(console->renderer);
    console->paced = false;
    pump_events();
}

void console_close(Console* console)
{
    destroy_window(console);
    SDL_ShowCursor(SDL_ENABLE);
}

void console_update(Console* console)
{
    if (console->renderer == nullptr) return;
    SDL_SetRenderDrawColor(console->renderer, 0, 0, 0, 255);
    SDL_RenderClear(console->renderer);
    if (console->texture) SDL_RenderCopy(console->renderer, console->texture, nullptr, nullptr);
    pace(console);
    SDL_RenderPresent(console->renderer);
    pump_events();
}

int console_key_waiting(Console* /*console*/)
{
    pump_events();
    return key_queue().empty() ? 0 : 1;
}

Key console_read_key(Console* console)
{
    while (key_queue().empty()) {
        if (!video_started() || console->window == nullptr) return Key{key_escape};
        SDL_WaitEventTimeout(nullptr, 10);
        pump_events();
    }
    Key key{key_queue().front()};
    key_queue().pop_front();
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

void error_report(const DynamicError& error)
{
    std::fprintf(stderr, "velmora: %s\n", error.what());
    // Started from a desktop, nobody reads standard error: a message box says it
    // (and waits for its button). From a terminal the line above is enough.
    if (video_started() && !isatty(STDERR_FILENO))
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Velmora", error.what(), nullptr);
}

void console_service_events()
{
    pump_events();
}
