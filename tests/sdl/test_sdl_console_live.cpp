// test_sdl_console_live.cpp -- the real SDL console backend, run on SDL's
// "dummy" video driver (named by the test, so it counts as the user's choice):
// key events through the queue, modifiers included; SIGINT and SIGTERM ending
// through the exit clean-up with 130 and 143; the window closed; and no display
// at all. Each case runs in a child process: these end the program.
#include "platform/console/console.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <glob.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

void say_cleaned_up()
{
    std::fprintf(stderr, "clean-up ran\n");
}

Console* open_dummy_console()
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    std::signal(SIGINT, SIG_DFL);  // as from a terminal, whatever ran the tests
    std::atexit(say_cleaned_up);
    Console* console = console_new();
    console_set_option(console, "default width 320");
    console_set_option(console, "default height 200");
    console_open(console, "Choose Mode", nullptr, 0);
    return console;
}

void push_key(SDL_EventType type, SDL_Keycode sym, Uint16 mod = KMOD_NONE, Uint8 repeat = 0)
{
    SDL_Event event{};
    event.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat;
    event.key.keysym.sym = sym;
    event.key.keysym.scancode = SDL_GetScancodeFromKey(sym);
    event.key.keysym.mod = mod;
    SDL_PushEvent(&event);
}

// Shift or Ctrl held round the mode key, as a hurried hand types it, then the
// modifiers reported again (as SDL does when a new window takes the focus):
// only the letter is a key; a held key's repeats are none either.
[[noreturn]] void type_modified_letters()
{
    Console* console = open_dummy_console();
    push_key(SDL_KEYDOWN, SDLK_LSHIFT, KMOD_LSHIFT);
    push_key(SDL_KEYDOWN, SDLK_b, KMOD_LSHIFT);
    push_key(SDL_KEYDOWN, SDLK_b, KMOD_LSHIFT, 1);
    push_key(SDL_KEYUP, SDLK_b, KMOD_LSHIFT);
    push_key(SDL_KEYDOWN, SDLK_RCTRL, KMOD_RCTRL);
    push_key(SDL_KEYDOWN, SDLK_c, KMOD_RCTRL);
    push_key(SDL_KEYUP, SDLK_RCTRL);
    for (SDL_Keycode modifier : {SDLK_LSHIFT, SDLK_LCTRL, SDLK_RALT, SDLK_MODE, SDLK_LGUI, SDLK_CAPSLOCK,
                                 SDLK_NUMLOCKCLEAR, SDLK_SCROLLLOCK})
        push_key(SDL_KEYDOWN, modifier);
    int first = key_code(console_read_key(console));
    int second = key_code(console_read_key(console));
    std::fprintf(stderr, "keys %d %d waiting %d\n", first, second, console_key_waiting(console));
    std::quick_exit(0);
}

[[noreturn]] void signal_while_waiting(int signal_number, int count)
{
    Console* console = open_dummy_console();
    for (int i = 0; i < count; ++i) std::raise(signal_number);
    console_key_waiting(console);
    std::fprintf(stderr, "the signal was not acted on\n");
    std::quick_exit(3);
}

[[noreturn]] void close_the_window()
{
    Console* console = open_dummy_console();
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&event);
    console_read_key(console);
    std::quick_exit(3);
}

// A machine with a DRM device could show a window through SDL's KMSDRM driver
// even without a window system.
bool could_show_without_window_system()
{
    glob_t found{};
    const bool any = ::glob("/dev/dri/card*", 0, nullptr, &found) == 0 && found.gl_pathc > 0;
    ::globfree(&found);
    return any;
}

[[noreturn]] void open_without_display()
{
    unsetenv("SDL_VIDEODRIVER");
    setenv("DISPLAY", ":7913", 1);  // no server there
    unsetenv("WAYLAND_DISPLAY");
    Console* console = console_new();
    try {
        console_open(console, "Choose Mode", nullptr, 0);
        std::fprintf(stderr, "opened on %s\n", SDL_GetCurrentVideoDriver());
    } catch (const DynamicError& error) {
        error_report(error);
        std::exit(1);
    }
    std::quick_exit(3);
}

}  // namespace

TEST(SdlConsoleLive, ModifiersAreNoKeysAndShiftBIsB)
{
    EXPECT_EXIT(type_modified_letters(), testing::ExitedWithCode(0), "keys 66 67 waiting 0");
}

TEST(SdlConsoleLive, SigintAndSigtermEndThroughTheCleanUpWith130And143)
{
    EXPECT_EXIT(signal_while_waiting(SIGINT, 1), testing::ExitedWithCode(130), "clean-up ran");
    EXPECT_EXIT(signal_while_waiting(SIGTERM, 1), testing::ExitedWithCode(143), "clean-up ran");
}

TEST(SdlConsoleLive, ASecondSignalEndsTheProgramAtOnce)
{
    EXPECT_EXIT(signal_while_waiting(SIGTERM, 2), testing::KilledBySignal(SIGTERM), "");
}

TEST(SdlConsoleLive, ClosingTheWindowEndsWithZero)
{
    EXPECT_EXIT(close_the_window(), testing::ExitedWithCode(0), "clean-up ran");
}

TEST(SdlConsoleLive, ADriverThatShowsNothingIsNoDisplay)
{
    if (could_show_without_window_system()) GTEST_SKIP() << "a DRM device is present";
    EXPECT_EXIT(open_without_display(), testing::ExitedWithCode(1),
                "velmora: there is no display to show the window on \\(the X display \":7913\" cannot be reached");
}
