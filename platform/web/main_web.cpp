// main_web.cpp -- the page's entry. Its address chooses the run:
//   index.html               the show as in the native program: menu, music, keys
//   ?vox=1                   the earlier build (voxel landscape, 22,050 Hz sound)
//   ?key=B                   the menu answered at once (A, B or C)
//   ?capture=N[,N2...]&key=B the show frame-locked and silent, as fast as the page
//                            can run it; after frame N (counted from 0 as the
//                            capture tool counts them) the lower-case hex SHA-256
//                            of its 320x240 surface goes into the page title and
//                            the element #frame-hash (several frames: their
//                            hashes in the order asked, separated by spaces)
#include "web_platform.h"

#include "platform/music/music_control.h"
#include "shell/shell.h"
#include "tools/common/sha256.h"

#include <emscripten.h>

#include <cstring>
#include <string>
#include <vector>

EM_JS(int, page_menu_key, (), { return VelmoraPage.menuKey(); });
EM_JS(int, page_wants_vox, (), { return VelmoraPage.vox ? 1 : 0; });
EM_JS(int, page_capture_count, (), { return VelmoraPage.captureFrames.length; });
EM_JS(int, page_capture_frame, (int i), { return VelmoraPage.captureFrames[i]; });
EM_JS(void, page_capture_done, (const char* hashes, const char* error),
      { VelmoraPage.captureDone(UTF8ToString(hashes), UTF8ToString(error)); });
EM_JS(void, page_show_ended, (int code), { VelmoraPage.ended(code); });

namespace {

constexpr int surface_width = 320, surface_height = 240;
constexpr const char* main_title = "Velmora";

// A frame-locked run, counted as the native capture tool counts: every
// presentation of the main console, and every frame a spin-wait holds the
// last picture for.
struct CaptureRun {
    std::vector<long> frames;          // asked for, in order
    std::vector<std::string> hashes;   // empty until taken
    std::size_t taken = 0;
    long count = 0;                    // frames so far
    std::vector<std::uint32_t> last = std::vector<std::uint32_t>(std::size_t(surface_width) * surface_height, 0u);
};

CaptureRun capture;

void finish_if_done()
{
    if (capture.taken < capture.frames.size()) return;
    std::string joined;
    for (const std::string& hash : capture.hashes) joined += (joined.empty() ? "" : " ") + hash;
    page_capture_done(joined.c_str(), "");
    web_request_halt();
}

void count_frame()
{
    for (std::size_t i = 0; i < capture.frames.size(); ++i)
        if (capture.frames[i] == capture.count) {
            capture.hashes[i] = surface_hash_hex(capture.last.data(), capture.last.size());
            ++capture.taken;
        }
    ++capture.count;
    finish_if_done();
}

void on_present(const std::uint32_t* pixels, int width, int height, const char* title)
{
    if (std::strcmp(title, main_title) != 0) return;
    if (width != surface_width || height != surface_height) {
        page_capture_done("", "the show presented a surface that is not 320x240");
        return web_request_halt();
    }
    std::memcpy(capture.last.data(), pixels, capture.last.size() * sizeof(std::uint32_t));
    music_frame_presented();
    count_frame();
}

void on_spin(void* /*user*/)
{
    count_frame();
}

void start_capture()
{
    const int count = page_capture_count();
    for (int i = 0; i < count; ++i) capture.frames.push_back(page_capture_frame(i));
    capture.hashes.assign(capture.frames.size(), std::string());
    music_set_frame_locked(true);
    music_set_spin_hook(on_spin, nullptr);
    web_set_frame_locked(true);
    web_set_frame_hook(on_present);
}

}  // namespace

int main()
{
    if (page_capture_count() > 0) start_capture();
    const int key = page_menu_key();
    if (key != 0) web_push_key(key);
    const int code = show_main(page_wants_vox() != 0 ? Variant::vox_build : Variant::final_build);
    if (!capture.frames.empty()) {
        const std::string error = "the show ended after " + std::to_string(capture.count) + " frames";
        page_capture_done("", error.c_str());
    }
    page_show_ended(code);
    return code;
}
