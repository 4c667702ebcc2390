// shading.cpp -- the normal behind each pixel of a sphere map.
#include "shading.h"

// Where the outward continuation takes its normal from.
static constexpr float rim_radius = 0.97f;

Vec3 sphere_normal(int col, int row)
{
    float nx = (128.0f - (static_cast<float>(col) + 0.5f)) / 128.0f;
    float ny = (64.0f - (static_cast<float>(row) + 0.5f)) / 64.0f;
    const float r2 = nx * nx + ny * ny;
    if (r2 >= rim_radius * rim_radius) {
        const float k = rim_radius / std::sqrt(r2);
        return {nx * k, ny * k, -std::sqrt(1.0f - rim_radius * rim_radius)};
    }
    return {nx, ny, -std::sqrt(1.0f - r2)};
}

void match_wrap_edges(Image& image)
{
    for (int y = 0; y < 128; ++y) {
        const Rgb both = mix(image.at(0, y), image.at(255, y), 0.5f);
        image.at(0, y) = image.at(255, y) = both;
    }
    for (int x = 0; x < 256; ++x) {
        const Rgb both = mix(image.at(x, 0), image.at(x, 127), 0.5f);
        image.at(x, 0) = image.at(x, 127) = both;
    }
}
