// fake_music.cpp -- the scripted module player of the scene tests.
#include "fake_music.h"

#include "platform/console/console.h"
#include "platform/console/headless.h"
#include "platform/music/music.h"
#include "shell/shell.h"

#include <vector>

namespace {

FakeMusicScript script = [](long, long) { return 0u; };
long frames = 0;
long queries = 0;
bool keep = false;
std::vector<std::vector<std::uint32_t>> kept;

void count_frame(const std::uint32_t* pixels, int width, int height, const char* /*title*/,
                 long /*update*/, void* /*user*/)
{
    ++frames;
    if (keep && width == 320 && height == 240)
        kept.emplace_back(pixels + 20 * 320, pixels + 220 * 320);
}

}  // namespace

void fake_music_script(FakeMusicScript position)
{
    script = std::move(position);
    frames = 0;
    queries = 0;
    kept.clear();
}

void fake_music_at(int order, int row)
{
    const std::uint32_t position = static_cast<std::uint32_t>(order) | static_cast<std::uint32_t>(row) << 16;
    fake_music_script([position](long, long) { return position; });
}

long fake_music_frames() { return frames; }
long fake_music_queries() { return queries; }

void open_test_display()
{
    static bool opened = false;
    if (!opened) {
        headless_clear_keys();
        headless_push_key('B');
        open_display();
        build_sincos_table();
        headless_set_frame_handler(count_frame, nullptr);
        opened = true;
    }
    headless_clear_keys();
    frames = 0;
    queries = 0;
    kept.clear();
}

void keep_presented_frames(bool on)
{
    keep = on;
    kept.clear();
}

const std::uint32_t* presented_frame(long index)
{
    if (index < 0 || index >= static_cast<long>(kept.size())) return nullptr;
    return kept[static_cast<std::size_t>(index)].data();
}

// ---- the player's interface, scripted -------------------------------------------

bool BASS_Init(int, std::uint32_t, std::uint32_t, void*) { return true; }
std::uint32_t BASS_MusicLoad(int, const char*, std::uint32_t, std::uint32_t, std::uint32_t) { return 1; }
bool BASS_Start() { return true; }
bool BASS_MusicPlayEx(std::uint32_t, std::uint32_t, int, int) { return true; }
std::uint32_t BASS_ChannelGetPosition(std::uint32_t)
{
    const std::uint32_t position = script(frames, queries);
    ++queries;
    return position;
}
std::uint32_t BASS_ChannelIsActive(std::uint32_t) { return 1; }
bool BASS_Free() { return true; }
