// y4m_writer.h -- raw YUV4MPEG2 video of the presented frames, for ffmpeg to encode.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Limited-range BT.601 from 8-bit RGB, integer arithmetic, rounded.
std::uint8_t luma_of(std::uint32_t rgb);
std::uint8_t blue_chroma_of(int r, int g, int b);
std::uint8_t red_chroma_of(int r, int g, int b);

// The stream header for width x height at 60 fps, 4:4:4 or 4:2:0 (centred chroma).
std::string y4m_header(int width, int height, bool full_chroma);
// One frame's planes (Y, then Cb, then Cr) from 0x00RRGGBB pixels. For 4:2:0 the
// width and height must be even; each chroma sample is the rounded mean of its
// 2x2 block's RGB, converted.
void y4m_frame_planes(const std::uint32_t* pixels, int width, int height, bool full_chroma,
                      std::vector<std::uint8_t>& planes);

struct Y4mWriter {
    std::FILE* file = nullptr;
    std::string path;
    int width = 0, height = 0;
    bool full_chroma = false;
    long frames = 0;
    bool failed = false;
    std::vector<std::uint8_t> planes;
};

// Opens the file and writes the header; false (with a message) when it cannot.
bool y4m_open(Y4mWriter& writer, const std::string& path, int width, int height, bool full_chroma);
// Appends one frame; false once a write fails (reported once).
bool y4m_write_frame(Y4mWriter& writer, const std::uint32_t* pixels);
// Closes the file; false if anything failed.
bool y4m_close(Y4mWriter& writer);
