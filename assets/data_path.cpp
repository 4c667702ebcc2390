// data_path.cpp -- where the show's data files are: "qd\..." paths below the
// working directory, or else below the directory of the running program.
#include "assets.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace {

bool file_exists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

const std::string& executable_dir()
{
    static const std::string dir = [] {
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        if (n <= 0) return std::string();
        std::string path(buffer, static_cast<std::size_t>(n));
        const std::size_t slash = path.rfind('/');
        return slash == std::string::npos ? std::string() : path.substr(0, slash);
    }();
    return dir;
}

}  // namespace

std::string data_path(const char* path)
{
    std::string relative = path;
    for (char& c : relative)
        if (c == '\\') c = '/';
    if (file_exists(relative) || relative.empty() || relative[0] == '/') return relative;
    const std::string& dir = executable_dir();
    if (!dir.empty()) {
        std::string beside = dir + "/" + relative;
        if (file_exists(beside)) return beside;
    }
    return relative;
}

std::FILE* open_data_file(const char* path, const char* mode)
{
    return std::fopen(data_path(path).c_str(), mode);
}
