// headless.h -- control of the headless console backend, for tests and the
// capture tool (which link console_headless.cpp instead of the SDL backend).
// No window is opened: each console_update hands the surface last copied in to
// a callback, and keys are pushed onto the queue by the caller.
#pragma once

#include <cstdint>

// Called on every console_update of an open console with the pixels last copied
// in (0x00RRGGBB, rows of width), the console's title and the number of updates
// that console has had so far (0 for its first).
using HeadlessFrameHandler = void (*)(const std::uint32_t* pixels, int width, int height,
                                      const char* title, long update_index, void* user);

void headless_set_frame_handler(HeadlessFrameHandler handler, void* user);
// Queues a key press; it is waiting for whichever console asks next.
void headless_push_key(int code);
// Drops every queued key (test set-up).
void headless_clear_keys();
// What the last console_open asked for, and whether a console is open now.
struct HeadlessConsoleState {
    bool open = false;
    int width = 0, height = 0;
    bool fullscreen = false;
    char title[64] = {};
    long opens = 0;     // console_open calls so far
    long closes = 0;    // console_close calls so far
    long clears = 0;    // console_clear calls so far
};
HeadlessConsoleState headless_state();
// Makes the next console_open throw DynamicError, as a console without a display would.
void headless_fail_next_open(bool fail);
