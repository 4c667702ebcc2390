// host.cpp -- the host calls on Linux: nice value and window handle.
#include "host.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace {
constexpr int highest_normal_steps = 5;
}

void host_raise_thread_priority()
{
    // On Linux the nice value is per thread. "Highest normal" is a few steps
    // above normal, not the whole range a privileged user could take (that
    // would starve the rest of the machine); without privileges the nice value
    // can only fall as far as RLIMIT_NICE allows (usually not at all), so step
    // down and stop at the first refusal.
    const id_t thread = static_cast<id_t>(::syscall(SYS_gettid));
    errno = 0;
    int nice_value = ::getpriority(PRIO_PROCESS, thread);
    if (nice_value == -1 && errno != 0) return;
    const int target = nice_value - highest_normal_steps;
    while (nice_value > target && nice_value > -20 && ::setpriority(PRIO_PROCESS, thread, nice_value - 1) == 0) --nice_value;
}

void* host_foreground_window()
{
    return nullptr;
}
