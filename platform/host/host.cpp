// host.cpp -- the host calls on Linux: nice value, window handle, data files,
// quiet library calls.
#include "host.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

// Where an installed copy keeps its data, relative to the program's folder
// ("../share/velmora" for bin/velmora); the build sets it from its install layout.
#ifndef VELMORA_INSTALLED_DATA
#define VELMORA_INSTALLED_DATA "../share/velmora"
#endif

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

namespace {

bool file_exists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

const std::string& program_dir()
{
    static const std::string dir = [] {
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        if (n <= 0) return std::string();
        const std::string program(buffer, static_cast<std::size_t>(n));
        const std::size_t slash = program.rfind('/');
        return slash == std::string::npos ? std::string() : program.substr(0, slash);
    }();
    return dir;
}

// An absolute folder stays as it is; a relative one is taken from the program's
// folder, so an installed tree can be moved as a whole.
std::string installed_data_dir()
{
    const std::string dir = VELMORA_INSTALLED_DATA;
    return dir.empty() || dir[0] == '/' ? dir : program_dir() + "/" + dir;
}

}  // namespace

std::string host_data_path(const char* path)
{
    std::string relative = path != nullptr ? path : "";
    for (char& c : relative)
        if (c == '\\') c = '/';
    if (relative.empty() || relative[0] == '/' || file_exists(relative)) return relative;
    if (!program_dir().empty()) {
        std::string beside = program_dir() + "/" + relative;
        if (file_exists(beside)) return beside;
        std::string installed = installed_data_dir() + "/" + relative;
        if (file_exists(installed)) return installed;
    }
    return relative;
}

void host_quietly(void (*call)(void* user), void* user)
{
    std::fflush(stderr);
    const int saved = ::dup(2);
    const int null_fd = ::open("/dev/null", O_WRONLY);
    if (saved >= 0 && null_fd >= 0) ::dup2(null_fd, 2);
    call(user);
    if (saved >= 0 && null_fd >= 0) ::dup2(saved, 2);
    if (null_fd >= 0) ::close(null_fd);
    if (saved >= 0) ::close(saved);
}
