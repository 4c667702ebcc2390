// capture_options.h -- the capture tool's command line: what to run and what to write.
#pragma once

#include <string>
#include <vector>

// A key pushed a number of frames after a named scene (or entry step) first starts.
struct KeyAfterScene {
    std::string scene;
    long frames = 0;
};

struct CaptureOptions {
    bool vox = false;
    int menu_key = 'B';
    std::vector<long> key_frames;           // --key-at, any order
    std::vector<KeyAfterScene> key_after;   // --key-after NAME:N
    std::string frames_dir;                 // --frames-out
    long every = 1;                         // --every
    long range_first = 0, range_last = -1;  // --range A-B; last < 0: no upper bound
    std::string video_file;                 // --video
    bool video_444 = false;                 // --video-444 (default 4:2:0)
    std::string audio_file;                 // --audio
    std::string sheet_file;                 // --sheet
    std::string log_file;                   // --log
    bool bench = false;
    std::string bench_json;                 // --bench-json (implies --bench)
    long max_frames = -1;                   // --max-frames; < 0: none
    bool quiet = false;
    bool help = false;
    std::string mesh_file, mesh_out;        // --mesh FILE --mesh-out FILE.png: no show run
    bool bench_render = false;              // --bench-render: no show run
    std::vector<long> hash_frames;          // --hash-frame, any order
    std::string hash_log;                   // --hash-log: every frame's hash and position
};

// Parses argv[1..]; on a bad command line returns false with a message in `error`.
bool parse_capture_options(int argc, const char* const* argv, CaptureOptions& options,
                           std::string& error);
// Whether frame `frame` goes to --frames-out.
bool frame_selected(const CaptureOptions& options, long frame);
// Whether the run writes any file (the progress bar is for those runs).
bool writes_files(const CaptureOptions& options);
// Whether the run asks for frame hashes and nothing that needs the rest of the
// show, so it can end once the last hash is taken.
bool only_hashes(const CaptureOptions& options);
// The --help text.
const char* capture_usage();
