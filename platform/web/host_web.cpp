// host_web.cpp -- the host calls in a web page: the page runs at whatever
// priority the browser gives it, the sound needs no window, and the data lives
// in the in-memory file system under /qd, where the page unpacked it.
#include "platform/host/host.h"

void host_raise_thread_priority() {}

void* host_foreground_window()
{
    return nullptr;
}

std::string host_data_path(const char* path)
{
    std::string relative = path != nullptr ? path : "";
    for (char& c : relative)
        if (c == '\\') c = '/';
    return relative;
}
