// console_x11.cpp -- the SDL console's few direct X11 calls (kept apart so that
// Xlib's macros stay out of the console's own code).
#include "console_x11.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>

namespace {

X11Error first_error;
void (*on_connection_lost)() = nullptr;

int remember_error(Display* display, XErrorEvent* error)
{
    if (first_error.seen) return 0;
    first_error.seen = true;
    first_error.resource = error->resourceid;
    first_error.no_such_window = error->error_code == BadWindow || error->error_code == BadDrawable;
    char reason[120] = {};
    XGetErrorText(display, error->error_code, reason, sizeof reason);
    std::snprintf(first_error.text, sizeof first_error.text, "%s (request %d)", reason,
                  int(error->request_code));
    return 0;
}

int connection_broken(Display* /*display*/)
{
    if (on_connection_lost != nullptr) on_connection_lost();
    return 0;  // not reached; Xlib would end the program itself
}

}  // namespace

unsigned long x11_window_id(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
    return info.info.x11.window;
}

void x11_install_error_handlers(void (*connection_lost)())
{
    on_connection_lost = connection_lost;
    XSetErrorHandler(remember_error);
    XSetIOErrorHandler(connection_broken);
}

unsigned long x11_destroyed_window(const SDL_Event& event)
{
    if (event.type != SDL_SYSWMEVENT || event.syswm.msg == nullptr) return 0;
    const SDL_SysWMmsg& message = *event.syswm.msg;
    if (message.subsystem != SDL_SYSWM_X11 || message.msg.x11.event.type != DestroyNotify) return 0;
    return message.msg.x11.event.xdestroywindow.window;
}

bool x11_keys_down(SDL_Window* window, char keymap[32])
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    XQueryKeymap(info.info.x11.display, keymap);
    return true;
}

X11KeyNews x11_key_news(const SDL_Event& event)
{
    X11KeyNews news;
    if (event.type != SDL_SYSWMEVENT || event.syswm.msg == nullptr) return news;
    const SDL_SysWMmsg& message = *event.syswm.msg;
    if (message.subsystem != SDL_SYSWM_X11) return news;
    const XEvent& x = message.msg.x11.event;
    if (x.type == KeyPress || x.type == KeyRelease) {
        news.kind = x.type == KeyPress ? X11KeyNews::press : X11KeyNews::release;
        news.code = int(x.xkey.keycode);
    } else if (x.type == KeymapNotify) {
        news.kind = X11KeyNews::keys_down;
        std::memcpy(news.keymap, x.xkeymap.key_vector, sizeof news.keymap);
    }
    return news;
}

X11Error x11_take_error()
{
    const X11Error error = first_error;
    first_error = X11Error{};
    return error;
}
