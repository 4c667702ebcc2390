// image.h -- the forge's working picture: floating-point RGB, 0 to 255 per
// channel, quantised (rounded, clamped) only when written.
#pragma once

#include <cstdint>
#include <vector>

struct Rgb {
    float r = 0, g = 0, b = 0;
};

inline Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Rgb operator*(Rgb a, float k) { return {a.r * k, a.g * k, a.b * k}; }
inline Rgb mix(Rgb a, Rgb b, float t) { return a * (1.0f - t) + b * t; }

struct Image {
    int width = 320, height = 200;
    std::vector<Rgb> pixels;

    Image(int w = 320, int h = 200, Rgb fill = {}) : width(w), height(h), pixels(std::size_t(w) * std::size_t(h), fill) {}
    Rgb& at(int x, int y) { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    const Rgb& at(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

// 0x00RRGGBB pixels, each channel rounded and clamped to 0..255.
std::vector<std::uint32_t> to_pixels(const Image& image);
