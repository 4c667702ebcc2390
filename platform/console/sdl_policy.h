// sdl_policy.h -- the SDL console's decisions as plain functions, testable
// without a display: which key presses count (and which held keys do not yet),
// when there is no display, when a fatal error may show a message box, and how
// presentations are paced.
// Not for use outside platform/console (and its tests).
#pragma once

#include <SDL.h>  // key symbols and scancodes only; nothing here calls SDL

#include <bitset>
#include <cstdint>
#include <string>

// ---- keys ----------------------------------------------------------------------

// What translate_key returns for a press that is no key of the show's.
constexpr int not_a_key = -1;

// A modifier pressed alone: Shift, Ctrl, Alt, AltGr, Super and the three locks.
// Judged by the key's symbol (a Caps Lock remapped to Escape is Escape); by its
// scancode only when the layout gives it no symbol.
bool is_modifier_key(SDL_Keycode sym, SDL_Scancode scancode);

// The console's code for a key press (console.h: letters upper-case whatever the
// modifiers, so Shift+B is 'B'), or not_a_key for a modifier.
int translate_key(SDL_Keycode sym, SDL_Scancode scancode);

// ---- keys held while a window opens -----------------------------------------------

// X key codes (8 to 255) as a set.
using KeyCodeSet = std::bitset<256>;

// The keys down in X's 32-byte key vector (bit k % 8 of byte k / 8: key code
// k), as XQueryKeymap and KeymapNotify give it; byte 0, below the lowest key
// code, is not read (KeymapNotify leaves it undefined).
KeyCodeSet key_codes_from_keymap(const char keymap[32]);

// A key still held when a console window opens (the menu's mode key held on
// into the show's window) would repeat into that window, and SDL, which forgets
// its key state when the focus moves, reports the first repeat as a fresh
// press. Such a key does not count until the X server has said it was
// released. SDL's own key-up events cannot tell: the ones it makes up when a
// window loses the focus say nothing about the key, and a release after the
// focus moved is dropped as a change of nothing. X itself reports only real
// releases (SDL asks it for detectable auto-repeat), and which keys are down
// whenever the focus or the pointer comes into a window, in order with its key
// events: a key released elsewhere meanwhile is held no more.
struct HeldKeys {
    KeyCodeSet held;  // down when last told, not released since
};

// The keys `down` are held now: a window opened, or the focus or the pointer came into one.
void note_keys_down(HeldKeys& keys, const KeyCodeSet& down);
// The X server reported key `code` released (in any window of the program).
void key_released(HeldKeys& keys, int code);
// Whether a press of key `code` counts (-1: a press X did not name, which does).
bool press_counts(const HeldKeys& keys, int code);

// ---- the display -----------------------------------------------------------------

// SDL's video drivers that show nothing on any screen (its fallbacks when no
// window system can be reached).
bool driver_shows_nothing(const char* driver);

// Whether the driver SDL settled on means there is no display: one that shows
// nothing, unless the user asked for a driver by name (SDL_VIDEODRIVER).
bool counts_as_no_display(const char* driver, const char* requested_driver);

// The error text for no display, from the DISPLAY and WAYLAND_DISPLAY variables.
std::string no_display_message(const char* x_display, const char* wayland_display);

// ---- fatal errors ----------------------------------------------------------------

// Where a file descriptor leads.
enum class ErrorOutput { terminal, file, pipe, socket, null_device, closed, other };
ErrorOutput classify_output(int fd);

// A fatal error gets a message box only where its line on standard error can
// reach nobody (standard error closed or /dev/null) and a display exists; a
// terminal, file, pipe or log socket gets the line alone and the program exits
// at once, so no unattended run can be held by a box.
bool message_box_wanted(ErrorOutput error_output, bool display_exists);

// ---- pacing ----------------------------------------------------------------------

enum class Pacing { deadline, vsync };

constexpr std::int64_t frame_period_ns = 1'000'000'000 / 60;

// Vsync paces when the display runs at 59 to 61 Hz; any other rate (0: unknown)
// keeps the deadline clock. `requested` ("vsync" or "deadline", from
// VELMORA_PACING) overrides the choice, for measurements.
Pacing choose_pacing(int refresh_hz, const char* requested);

// The state of one console's presentations, times in nanoseconds.
struct PresentPacer {
    Pacing pacing = Pacing::deadline;
    bool started = false;
    std::int64_t next_deadline = 0;  // deadline pacing: when the next presentation is due
    std::int64_t last_present = 0;   // vsync pacing: when the last one was done
    int short_run = 0;               // vsync pacing: presentations in a row that came too soon
    std::int64_t window_start = 0;   // vsync pacing: the rate is checked over windows of
    int window_count = 0;            //   rate_window presentations
};

// Vsync is taken as not honoured when this many presentations in a row come
// sooner than a 60 Hz display allows (a runaway, caught within a few frames), or
// when rate_window of them take less time than a 62 Hz display would need (a
// vsync simulated or paced by something other than a 59 to 61 Hz display; SDL
// simulates it at 62.5 a second where the renderer cannot wait for the display).
constexpr int short_run_limit = 4;
constexpr int rate_window = 120;
constexpr std::int64_t fastest_display_period_ns = 1'000'000'000 / 62;

// Reserves the next presentation and returns the time it is due (`now` or later).
// Deadline pacing holds 60 a second without drift; a late frame moves the
// deadline instead of rushing to catch up. Vsync pacing lets the display pace and
// only keeps a runaway to 120 a second until it is noticed.
std::int64_t next_presentation_time(PresentPacer& pacer, std::int64_t now);

// Records a presentation done at `now`. Returns true when vsync has just been
// found not honoured; the pacer then falls back to the deadline clock.
bool note_presented(PresentPacer& pacer, std::int64_t now);
