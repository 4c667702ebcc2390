// image.cpp -- quantising the forge's pictures.
#include "image.h"

#include <cmath>

static std::uint32_t quantise(float v)
{
    if (!(v > 0.0f)) return 0;
    if (v >= 255.0f) return 255;
    return static_cast<std::uint32_t>(std::lround(v));
}

std::vector<std::uint32_t> to_pixels(const Image& image)
{
    std::vector<std::uint32_t> out(image.pixels.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
        const Rgb& p = image.pixels[i];
        out[i] = (quantise(p.r) << 16) | (quantise(p.g) << 8) | quantise(p.b);
    }
    return out;
}
