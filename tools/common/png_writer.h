// png_writer.h -- PNG output for the tools (capture frames, contact sheets),
// through libpng.
#pragma once

#include <cstdint>
#include <string>

// Writes width x height pixels 0x00RRGGBB as an 8-bit RGB PNG. Returns false
// (with a message on standard error naming the file) when it cannot.
bool write_png(const std::string& file, const std::uint32_t* pixels, int width, int height);
