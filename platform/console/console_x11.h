// console_x11.h -- what the SDL console asks of X11 itself: the id of its
// windows, word that another client destroyed one, and error handlers that never
// end the program from inside Xlib (where the exit's clean-up would call back
// into Xlib and abort).
#pragma once

#include <SDL.h>

// The window's X id; 0 when it is not an X11 window.
unsigned long x11_window_id(SDL_Window* window);

// From now on X errors are remembered for x11_take_error instead of ending the
// program; a broken connection calls `connection_lost`, which must not return.
// Called before SDL's video starts, so that SDL keeps these as the handlers it
// puts back when it quits (errors from windows that are already gone come then).
void x11_install_error_handlers(void (*connection_lost)());

// The X id of the window an SDL_SYSWMEVENT reports destroyed; 0 for any other event.
unsigned long x11_destroyed_window(const SDL_Event& event);

// The first X error since the last call, if any.
struct X11Error {
    bool seen = false;
    unsigned long resource = 0;  // the window or other resource the failed request named
    bool no_such_window = false; // the error says that resource is no window (any more)
    char text[160] = {};
};
X11Error x11_take_error();
