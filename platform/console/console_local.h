// console_local.h -- what the two console backends share: options, formats,
// surfaces and the key queue. Not for use outside platform/console.
#pragma once

#include "console.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

struct Format {
    int bits = 32;
    std::uint32_t red = 0, green = 0, blue = 0, alpha = 0;
};

struct Surface {
    int width = 0, height = 0;
    Format format;
    std::vector<std::uint32_t> pixels;
    bool locked = false;
};

// The options a console collects before it opens.
struct ConsoleOptions {
    int width = 320;
    int height = 200;
    bool fullscreen = false;
};

// Applies one option text; returns false for texts the library does not know.
bool apply_console_option(ConsoleOptions& options, const char* option);

// Converts one pixel between two direct-colour formats (channel by channel,
// 8 bits each, by the masks).
std::uint32_t convert_pixel(std::uint32_t pixel, const Format& from, const Format& to);

// The surface's pixels as 0x00RRGGBB words, into `out` (resized to fit): what a
// backend without a format of its own keeps of a copy to its console.
void surface_pixels_as_frame(const Surface& surface, std::vector<std::uint32_t>& out);
