// console_common.cpp -- the parts of the console library both backends share:
// option texts, pixel formats and off-screen surfaces.
#include "console_local.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr long largest_size = 16384;

// The size in "default width 320": `prefix` then a whole number from 1 to
// 16384 and nothing after it.
bool read_size(const char* option, const char* prefix, int& size)
{
    const std::size_t length = std::strlen(prefix);
    if (std::strncmp(option, prefix, length) != 0) return false;
    const char* digits = option + length;
    if (*digits < '0' || *digits > '9') return false;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(digits, &end, 10);
    if (errno != 0 || *end != '\0' || value < 1 || value > largest_size) return false;
    size = static_cast<int>(value);
    return true;
}

}  // namespace

bool apply_console_option(ConsoleOptions& options, const char* option)
{
    if (option == nullptr) return false;
    if (read_size(option, "default width ", options.width)) return true;
    if (read_size(option, "default height ", options.height)) return true;
    if (std::strcmp(option, "windowed output") == 0) {
        options.fullscreen = false;
        return true;
    }
    if (std::strcmp(option, "fullscreen output") == 0) {
        options.fullscreen = true;
        return true;
    }
    return false;  // "DirectX" and anything else: accepted, ignored
}

static int mask_shift(std::uint32_t mask)
{
    if (mask == 0) return 0;
    int shift = 0;
    while ((mask & 1u) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

static std::uint32_t channel_of(std::uint32_t pixel, std::uint32_t mask)
{
    return mask == 0 ? 0 : ((pixel & mask) >> mask_shift(mask)) & 0xFFu;
}

static std::uint32_t place_channel(std::uint32_t value, std::uint32_t mask)
{
    return mask == 0 ? 0 : (value << mask_shift(mask)) & mask;
}

std::uint32_t convert_pixel(std::uint32_t pixel, const Format& from, const Format& to)
{
    return place_channel(channel_of(pixel, from.red), to.red) |
           place_channel(channel_of(pixel, from.green), to.green) |
           place_channel(channel_of(pixel, from.blue), to.blue);
}

void surface_pixels_as_frame(const Surface& surface, std::vector<std::uint32_t>& out)
{
    out.resize(surface.pixels.size());
    const Format frame{32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0};
    const bool plain = surface.format.red == frame.red && surface.format.green == frame.green &&
                       surface.format.blue == frame.blue;
    for (std::size_t i = 0; i < surface.pixels.size(); ++i)
        out[i] = plain ? (surface.pixels[i] & 0x00FFFFFFu) : convert_pixel(surface.pixels[i], surface.format, frame);
}

Format* pixel_format_new(int bits, std::uint32_t red, std::uint32_t green, std::uint32_t blue,
                         std::uint32_t alpha)
{
    if (bits != 32) throw DynamicError("only 32-bit pixel formats are supported");
    return new Format{bits, red, green, blue, alpha};
}

void pixel_format_delete(Format* format)
{
    delete format;
}

Surface* surface_new(int width, int height, const Format* format)
{
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384 || format == nullptr)
        throw DynamicError("cannot create a surface of " + std::to_string(width) + "x" +
                           std::to_string(height) + " pixels");
    auto* surface = new Surface;
    surface->width = width;
    surface->height = height;
    surface->format = *format;
    surface->pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
    return surface;
}

std::uint32_t* surface_lock(Surface* surface)
{
    surface->locked = true;
    return surface->pixels.data();
}

void surface_unlock(Surface* surface)
{
    surface->locked = false;
}

void surface_delete(Surface* surface)
{
    delete surface;
}

int key_code(const Key& key)
{
    return key.code;
}
