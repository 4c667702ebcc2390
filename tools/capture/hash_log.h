// hash_log.h -- the hash log: one line per frame of a whole run, saying where the
// show was and the SHA-256 of the surface, for the golden-frame test.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct HashLog {
    std::FILE* file = nullptr;
    std::string last_hash;  // a frame repeated by a spin-wait is not hashed again
    bool surface_changed = true;
};

// Opens `path` for writing and writes the header; false (with a message) if it cannot.
bool hash_log_open(HashLog& log, const std::string& path);
// The next frame brings a new surface (not a spin-wait's repeat of the last one).
void hash_log_new_surface(HashLog& log);
// One line: frame song order row scene hash. False on a write error.
bool hash_log_frame(HashLog& log, long frame, int song, int order, int row, const std::string& scene,
                    const std::uint32_t* surface, std::size_t pixels);
// Flushes and closes; false if anything could not be written.
bool hash_log_close(HashLog& log);
