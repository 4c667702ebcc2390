// hash_log.cpp -- writing the per-frame hash log.
#include "hash_log.h"

#include "tools/common/sha256.h"

bool hash_log_open(HashLog& log, const std::string& path)
{
    log.file = std::fopen(path.c_str(), "w");
    if (log.file == nullptr) {
        std::fprintf(stderr, "velmora_capture: cannot write %s\n", path.c_str());
        return false;
    }
    std::fputs("# velmora hash log: frame song order row scene sha256-of-surface\n", log.file);
    return true;
}

void hash_log_new_surface(HashLog& log)
{
    log.surface_changed = true;
}

bool hash_log_frame(HashLog& log, long frame, int song, int order, int row, const std::string& scene,
                    const std::uint32_t* surface, std::size_t pixels)
{
    if (log.file == nullptr) return true;
    if (log.surface_changed || log.last_hash.empty()) log.last_hash = surface_hash_hex(surface, pixels);
    log.surface_changed = false;
    return std::fprintf(log.file, "%ld %d %d %d %s %s\n", frame, song, order, row, scene.c_str(),
                        log.last_hash.c_str()) > 0;
}

bool hash_log_close(HashLog& log)
{
    if (log.file == nullptr) return true;
    const bool ok = std::ferror(log.file) == 0;
    const bool closed = std::fclose(log.file) == 0;
    log.file = nullptr;
    return ok && closed;
}
