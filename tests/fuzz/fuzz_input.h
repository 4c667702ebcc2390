// fuzz_input.h -- hands a fuzzer's bytes to a reader that takes a path: the bytes
// go into an in-memory file, named by its /proc/self/fd path.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

// The fuzz targets' own checks are left out of the coverage feedback and the
// sanitizers: they run over every pixel or vertex, and tracing them would slow
// each run many times over.
#define VELMORA_FUZZ_CHECK __attribute__((no_sanitize("coverage", "address", "undefined")))

inline const char* fuzz_input_path(const std::uint8_t* data, std::size_t size)
{
    static const int fd = ::memfd_create("velmora_fuzz_input", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ::ftruncate(fd, 0) != 0) std::abort();
    for (std::size_t written = 0; written < size;) {
        const ssize_t n = ::pwrite(fd, data + written, size - written, static_cast<off_t>(written));
        if (n <= 0) std::abort();
        written += static_cast<std::size_t>(n);
    }
    return path.c_str();
}
