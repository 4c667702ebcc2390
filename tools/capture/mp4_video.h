// mp4_video.h -- the show as an MP4, written straight through ffmpeg: the frames
// are piped in as raw RGB while the show runs, scaled up nearest-neighbour (the
// pixels stay crisp) and encoded to H.264; once the run has ended the sound is
// encoded to AAC and muxed in. No raw video is ever kept on disk.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Whether --video FILE asks for an MP4 (the name ends in .mp4, any case) rather
// than raw y4m.
bool video_is_mp4(const std::string& path);

// The full path of `program` in the colon-separated folder list `search_path`
// (as $PATH), or "" when none of them holds an executable of that name.
std::string find_program(const std::string& program, const char* search_path);

// The ffmpeg command lines: the encoder reading width x height frames of
// 0x00RRGGBB pixels (little-endian) at 60 fps from standard input, and the final
// mux of the encoded video with the WAV sound.
std::vector<std::string> encoder_command(const std::string& ffmpeg, int width, int height, int scale,
                                         const std::string& video_part);
std::vector<std::string> mux_command(const std::string& ffmpeg, const std::string& video_part,
                                     const std::string& audio, const std::string& mp4);

struct Mp4Video {
    std::string path;             // the MP4 being made
    std::string ffmpeg;           // the program found on PATH
    std::string video_part;       // the encoded picture until the mux
    std::string audio;            // the WAV the sound is rendered into
    bool own_audio = false;       // the WAV is ours (no --audio) and goes after the mux
    pid_t encoder = -1;
    std::FILE* pipe = nullptr;    // the encoder's standard input
    std::size_t frame_bytes = 0;
    long frames = 0;
    bool failed = false;
};

// Checks for ffmpeg and that the MP4 can be written, then starts the encoder;
// `audio_file` is the --audio file, if any (else a WAV beside the MP4 is used and
// removed). False, with a message, when it cannot start.
bool mp4_open(Mp4Video& video, const std::string& path, const std::string& audio_file, int width, int height,
              int scale);
// Sends one frame; false once the encoder has stopped taking frames.
bool mp4_write_frame(Mp4Video& video, const std::uint32_t* pixels);
// Ends the encoder and muxes in the sound, which must be complete by now;
// removes the parts. False, with a message, if anything failed.
bool mp4_close(Mp4Video& video);
