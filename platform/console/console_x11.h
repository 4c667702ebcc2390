// console_x11.h -- what the SDL console asks of X11 itself: the id of its
// windows, word that another client destroyed one, the keys held down and the
// key code of each press and release, and error handlers that never end the
// program from inside Xlib (where the exit's clean-up would call back into Xlib
// and abort).
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

// The keys the X server has down now, as XQueryKeymap gives them (bit k % 8 of
// byte k / 8: key code k); false, and nothing filled in, off X11.
bool x11_keys_down(SDL_Window* window, char keymap[32]);

// What an SDL_SYSWMEVENT says of the keyboard: a key pressed or released (SDL
// sends it before the SDL_KEYDOWN or SDL_KEYUP it makes of the same X event),
// or the keys down as the focus or the pointer came into a window.
struct X11KeyNews {
    enum Kind { none, press, release, keys_down } kind = none;
    int code = -1;         // press and release: the X key code
    char keymap[32] = {};  // keys_down: as x11_keys_down gives them
};
X11KeyNews x11_key_news(const SDL_Event& event);

// The first X error since the last call, if any.
struct X11Error {
    bool seen = false;
    unsigned long resource = 0;  // the window or other resource the failed request named
    bool no_such_window = false; // the error says that resource is no window (any more)
    char text[160] = {};
};
X11Error x11_take_error();
