// capture_options.cpp -- parsing and checking the capture tool's command line.
#include "capture_options.h"

#include "mp4_video.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// A whole decimal number from min_value up, nothing else in the text.
bool parse_count(const char* text, long min_value, long& value)
{
    if (text == nullptr || *text == '\0') return false;
    errno = 0;
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed < min_value) return false;
    value = parsed;
    return true;
}

// "A-B" with 0 <= A <= B.
bool parse_range(const char* text, long& first, long& last)
{
    const char* dash = std::strchr(text, '-');
    if (dash == nullptr || dash == text) return false;
    const std::string head(text, dash);
    return parse_count(head.c_str(), 0, first) && parse_count(dash + 1, 0, last) && first <= last;
}

// "NAME:N"; the name is the last colon's left side.
bool parse_key_after(const char* text, KeyAfterScene& key)
{
    const char* colon = std::strrchr(text, ':');
    if (colon == nullptr || colon == text) return false;
    key.scene.assign(text, colon);
    return parse_count(colon + 1, 0, key.frames);
}

}  // namespace

const char* capture_usage()
{
    return "usage: velmora_capture [options]\n"
           "Runs the whole show headless and frame-locked (one song step of 1/60 s per\n"
           "presented frame), deterministically, from the data in qd/ (working directory\n"
           "or beside the program). Frames are numbered from 0 in presentation order.\n"
           "\n"
           "the run:\n"
           "  --vox               the earlier build (voxel landscape, 22,050 Hz sound)\n"
           "  --menu-key A|B|C    mode menu answer, queued before the show (default B)\n"
           "  --key-at FRAME      press a key once frame FRAME is presented (repeatable)\n"
           "  --key-after NAME:N  press a key N frames after scene NAME first starts\n"
           "  --max-frames N      after N frames stop writing and press a key, so the\n"
           "                      show runs on to its shutdown\n"
           "output:\n"
           "  --frames-out DIR    PNG of the 320x240 surface per frame, DIR/frame_000123.png\n"
           "  --every K           with --frames-out: every K-th frame (default 1)\n"
           "  --range A-B         with --frames-out: frames A to B only\n"
           "  --video FILE.mp4    the show with its sound as an MP4 through ffmpeg: H.264,\n"
           "                      1280x960 (each pixel a 4x4 square), 60 fps, AAC sound\n"
           "  --video FILE.y4m    every frame as raw y4m video, 320x240, 60 fps, 4:2:0\n"
           "  --video-444         write the y4m video as 4:4:4 instead\n"
           "  --audio FILE.wav    the audio rendered in step with the frames\n"
           "  --sheet FILE.png    contact sheet: one labelled thumbnail per scene and order\n"
           "  --log FILE          the scene log (also printed at the end)\n"
           "  --bench             per-scene frame times against a copy baseline\n"
           "  --bench-json FILE   the same figures as JSON (implies --bench)\n"
           "  --hash-frame N      print the SHA-256 of frame N's surface (its 32-bit pixel\n"
           "                      words in memory order) as 64 hex digits, one line per\n"
           "                      frame asked for, in the order asked (repeatable); alone,\n"
           "                      the run ends after the last of them\n"
           "  --hash-log FILE     every frame's SHA-256 (as --hash-frame) with its position,\n"
           "                      one line each: frame song order row scene hash\n"
           "  --quiet             no progress bar and no scene table\n"
           "renderer checks (the show does not run):\n"
           "  --mesh FILE.asc --mesh-out FILE.png   turntable sheet of one mesh\n"
           "  --bench-render      triangle and pixel rates of the rasterizers\n"
           "  --help              this text\n";
}

bool parse_capture_options(int argc, const char* const* argv, CaptureOptions& options,
                           std::string& error)
{
    bool every_given = false, range_given = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // Options that take a value read it here; a missing value is an error.
        auto value = [&](const char*& out) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        long n = 0;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--vox") {
            options.vox = true;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--bench") {
            options.bench = true;
        } else if (arg == "--bench-render") {
            options.bench_render = true;
        } else if (arg == "--video-444") {
            options.video_444 = true;
        } else if (arg == "--menu-key") {
            if (!value(v)) return false;
            if (std::strlen(v) != 1 || (v[0] != 'A' && v[0] != 'B' && v[0] != 'C')) {
                error = "--menu-key takes A, B or C";
                return false;
            }
            options.menu_key = v[0];
        } else if (arg == "--key-at") {
            if (!value(v)) return false;
            if (!parse_count(v, 0, n)) {
                error = "--key-at takes a frame number";
                return false;
            }
            options.key_frames.push_back(n);
        } else if (arg == "--hash-frame") {
            if (!value(v)) return false;
            if (!parse_count(v, 0, n)) {
                error = "--hash-frame takes a frame number";
                return false;
            }
            options.hash_frames.push_back(n);
        } else if (arg == "--key-after") {
            if (!value(v)) return false;
            KeyAfterScene key;
            if (!parse_key_after(v, key)) {
                error = "--key-after takes NAME:FRAMES";
                return false;
            }
            options.key_after.push_back(key);
        } else if (arg == "--every") {
            if (!value(v)) return false;
            if (!parse_count(v, 1, options.every)) {
                error = "--every takes a count of 1 or more";
                return false;
            }
            every_given = true;
        } else if (arg == "--range") {
            if (!value(v)) return false;
            if (!parse_range(v, options.range_first, options.range_last)) {
                error = "--range takes FIRST-LAST with FIRST <= LAST";
                return false;
            }
            range_given = true;
        } else if (arg == "--max-frames") {
            if (!value(v)) return false;
            if (!parse_count(v, 1, options.max_frames)) {
                error = "--max-frames takes a count of 1 or more";
                return false;
            }
        } else if (arg == "--frames-out" || arg == "--video" || arg == "--audio" ||
                   arg == "--sheet" || arg == "--log" || arg == "--bench-json" || arg == "--mesh" ||
                   arg == "--mesh-out" || arg == "--hash-log") {
            if (!value(v)) return false;
            if (*v == '\0') {
                error = arg + " needs a file name";
                return false;
            }
            std::string& target = arg == "--frames-out" ? options.frames_dir
                                  : arg == "--video"    ? options.video_file
                                  : arg == "--audio"    ? options.audio_file
                                  : arg == "--sheet"    ? options.sheet_file
                                  : arg == "--log"      ? options.log_file
                                  : arg == "--mesh"     ? options.mesh_file
                                  : arg == "--mesh-out" ? options.mesh_out
                                  : arg == "--hash-log" ? options.hash_log
                                                        : options.bench_json;
            target = v;
        } else {
            error = "unknown option " + arg + " (see --help)";
            return false;
        }
    }
    if (!options.bench_json.empty()) options.bench = true;
    if (options.mesh_file.empty() != options.mesh_out.empty()) {
        error = "--mesh and --mesh-out go together";
        return false;
    }
    if (!options.video_file.empty() && !video_is_mp4(options.video_file) &&
        !options.video_file.ends_with(".y4m")) {
        error = "--video takes FILE.mp4 (encoded by ffmpeg) or FILE.y4m (raw)";
        return false;
    }
    if (options.video_444 && (options.video_file.empty() || video_is_mp4(options.video_file))) {
        error = "--video-444 goes with --video FILE.y4m";
        return false;
    }
    if ((every_given || range_given) && options.frames_dir.empty()) {
        error = "--every and --range go with --frames-out";
        return false;
    }
    return true;
}

bool frame_selected(const CaptureOptions& options, long frame)
{
    if (options.frames_dir.empty() || frame < options.range_first) return false;
    if (options.range_last >= 0 && frame > options.range_last) return false;
    return (frame - options.range_first) % options.every == 0;
}

bool writes_files(const CaptureOptions& options)
{
    return !options.frames_dir.empty() || !options.video_file.empty() ||
           !options.audio_file.empty() || !options.sheet_file.empty() || !options.hash_log.empty();
}

bool only_hashes(const CaptureOptions& options)
{
    return !options.hash_frames.empty() && !writes_files(options) && options.log_file.empty() &&
           !options.bench && options.max_frames < 0 && options.key_frames.empty() && options.key_after.empty();
}
