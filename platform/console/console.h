// console.h -- the pixel console library: a window or full screen, off-screen
// surfaces and the keyboard. Two backends implement it behind this one header:
// console_sdl.cpp (a real window) and console_headless.cpp (no window; frames go
// to a callback, keys come from a script). The build links exactly one of them.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// The one error the library throws. The entry catches it once and reports it.
class DynamicError : public std::runtime_error {
public:
    explicit DynamicError(const std::string& message) : std::runtime_error(message) {}
};

struct Console;
struct Format;
struct Surface;

// A key press taken off a console's queue.
struct Key {
    int code = 0;
};

// Key codes: letters report their upper-case ASCII code (A = 65), Escape 27,
// Enter 13, Space 32, digits their ASCII code; every other key a distinct code
// of 256 and above.
constexpr int key_escape = 27;
constexpr int key_enter = 13;
constexpr int key_space = 32;

// Creates a closed console object. Called at program start-up.
Console* console_new();
// Applies an option text ("default width 320", "windowed output", ...) to the
// next open. Unknown options are accepted and ignored; returns whether it was known.
bool console_set_option(Console* console, const char* option);
// Opens a window (or desktop full screen) as the options say; throws DynamicError
// when no display can be opened.
void console_open(Console* console, const char* title, const Format* format, int pages);
void console_close(Console* console);
// Shows what was last copied in; the SDL backend holds 60 presentations a second.
void console_update(Console* console);
// 1 when a key press is waiting; the press stays queued until read.
int console_key_waiting(Console* console);
// Takes the next key press off the queue (waits for one if none is queued).
Key console_read_key(Console* console);
int key_code(const Key& key);
// Makes the whole console black.
void console_clear(Console* console);
void console_delete(Console* console);

// A direct-colour pixel format: bits per pixel and the channel masks.
Format* pixel_format_new(int bits, std::uint32_t red, std::uint32_t green, std::uint32_t blue,
                         std::uint32_t alpha);
void pixel_format_delete(Format* format);

// An off-screen surface of width x height pixels of 32 bits.
Surface* surface_new(int width, int height, const Format* format);
// Address of pixel (0, 0); rows are contiguous, width pixels each. The same
// address on every lock.
std::uint32_t* surface_lock(Surface* surface);
void surface_unlock(Surface* surface);
// Copies the whole surface to the console, converted to the console's format and
// fitted to its size (aspect kept).
void surface_copy_to_console(Surface* surface, Console* console);
void surface_delete(Surface* surface);

// Shows a caught error's message to the user (standard error, and a message box
// where a display exists).
void error_report(const DynamicError& error);

// Lets the backend handle window events while the show spins without touching
// the console (the music position waits). Cheap; a no-op in the headless backend.
void console_service_events();
