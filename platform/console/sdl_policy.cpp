// sdl_policy.cpp -- the SDL console's decisions: keys, held keys, no display,
// message boxes, pacing.
#include "sdl_policy.h"

#include "console.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

bool is_set(const char* text)
{
    return text != nullptr && text[0] != '\0';
}

}  // namespace

bool is_modifier_key(SDL_Keycode sym, SDL_Scancode scancode)
{
    switch (sym) {
    case SDLK_LSHIFT: case SDLK_RSHIFT: case SDLK_LCTRL: case SDLK_RCTRL:
    case SDLK_LALT: case SDLK_RALT: case SDLK_LGUI: case SDLK_RGUI:
    case SDLK_MODE: case SDLK_CAPSLOCK: case SDLK_NUMLOCKCLEAR: case SDLK_SCROLLLOCK:
        return true;
    case SDLK_UNKNOWN:
        return (scancode >= SDL_SCANCODE_LCTRL && scancode <= SDL_SCANCODE_RGUI) ||
               scancode == SDL_SCANCODE_MODE || scancode == SDL_SCANCODE_CAPSLOCK ||
               scancode == SDL_SCANCODE_NUMLOCKCLEAR || scancode == SDL_SCANCODE_SCROLLLOCK;
    default:
        return false;
    }
}

int translate_key(SDL_Keycode sym, SDL_Scancode scancode)
{
    if (is_modifier_key(sym, scancode)) return not_a_key;
    if (sym >= SDLK_a && sym <= SDLK_z) return 'A' + (sym - SDLK_a);
    if (sym >= SDLK_0 && sym <= SDLK_9) return '0' + (sym - SDLK_0);
    if (sym == SDLK_ESCAPE) return key_escape;
    if (sym == SDLK_RETURN || sym == SDLK_KP_ENTER) return key_enter;
    if (sym == SDLK_SPACE) return key_space;
    return 256 + static_cast<int>(scancode);
}

KeyCodeSet key_codes_from_keymap(const char keymap[32])
{
    KeyCodeSet codes;
    for (int code = 8; code < 256; ++code)
        if ((static_cast<unsigned char>(keymap[code / 8]) >> (code % 8)) & 1u) codes.set(std::size_t(code));
    return codes;
}

void note_keys_down(HeldKeys& keys, const KeyCodeSet& down)
{
    keys.held = down;
}

void key_released(HeldKeys& keys, int code)
{
    if (code >= 0 && code < 256) keys.held.reset(std::size_t(code));
}

bool press_counts(const HeldKeys& keys, int code)
{
    return code < 0 || code >= 256 || !keys.held.test(std::size_t(code));
}

bool driver_shows_nothing(const char* driver)
{
    if (driver == nullptr) return true;
    for (const char* invisible : {"offscreen", "dummy", "evdev"})
        if (strcasecmp(driver, invisible) == 0) return true;
    return false;
}

bool counts_as_no_display(const char* driver, const char* requested_driver)
{
    return !is_set(requested_driver) && driver_shows_nothing(driver);
}

std::string no_display_message(const char* x_display, const char* wayland_display)
{
    std::string why;
    if (is_set(x_display) && is_set(wayland_display))
        why = std::string("neither the X display \"") + x_display + "\" nor the Wayland display \"" +
              wayland_display + "\" can be reached";
    else if (is_set(x_display))
        why = std::string("the X display \"") + x_display + "\" cannot be reached";
    else if (is_set(wayland_display))
        why = std::string("the Wayland display \"") + wayland_display + "\" cannot be reached";
    else
        why = "DISPLAY is not set";
    return "there is no display to show the window on (" + why +
           "; SDL_VIDEODRIVER names a video driver to use instead)";
}

ErrorOutput classify_output(int fd)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0) return errno == EBADF ? ErrorOutput::closed : ErrorOutput::other;
    if (S_ISREG(info.st_mode)) return ErrorOutput::file;
    if (S_ISFIFO(info.st_mode)) return ErrorOutput::pipe;
    if (S_ISSOCK(info.st_mode)) return ErrorOutput::socket;
    if (::isatty(fd)) return ErrorOutput::terminal;
    struct stat null_device {};
    if (S_ISCHR(info.st_mode) && ::stat("/dev/null", &null_device) == 0 && info.st_rdev == null_device.st_rdev)
        return ErrorOutput::null_device;
    return ErrorOutput::other;
}

bool message_box_wanted(ErrorOutput error_output, bool display_exists)
{
    return display_exists && (error_output == ErrorOutput::null_device || error_output == ErrorOutput::closed);
}

Pacing choose_pacing(int refresh_hz, const char* requested)
{
    if (is_set(requested) && std::strcmp(requested, "vsync") == 0) return Pacing::vsync;
    if (is_set(requested) && std::strcmp(requested, "deadline") == 0) return Pacing::deadline;
    return refresh_hz >= 59 && refresh_hz <= 61 ? Pacing::vsync : Pacing::deadline;
}

std::int64_t next_presentation_time(PresentPacer& pacer, std::int64_t now)
{
    if (pacer.pacing == Pacing::vsync) return pacer.started ? pacer.last_present + frame_period_ns / 2 : now;
    if (!pacer.started || now > pacer.next_deadline + 2 * frame_period_ns) {
        pacer.started = true;
        pacer.next_deadline = now + frame_period_ns;
        return now;
    }
    const std::int64_t due = pacer.next_deadline;
    pacer.next_deadline += frame_period_ns;
    return due;
}

bool note_presented(PresentPacer& pacer, std::int64_t now)
{
    if (pacer.pacing != Pacing::vsync) return false;
    if (!pacer.started) {
        pacer.started = true;
        pacer.last_present = pacer.window_start = now;
        return false;
    }
    // Even a 61 Hz display leaves 16.4 ms between two presentations; a vsync
    // that is not honoured returns much sooner, again and again.
    const bool too_soon = now - pacer.last_present < frame_period_ns * 85 / 100;
    pacer.short_run = too_soon ? pacer.short_run + 1 : 0;
    pacer.last_present = now;
    bool too_fast = false;
    if (++pacer.window_count == rate_window) {
        too_fast = now - pacer.window_start < rate_window * fastest_display_period_ns;
        pacer.window_start = now;
        pacer.window_count = 0;
    }
    if (pacer.short_run < short_run_limit && !too_fast) return false;
    pacer = PresentPacer{};  // the deadline clock from the next presentation on
    return true;
}
