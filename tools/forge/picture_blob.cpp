// picture_blob.cpp -- the blob scene (fire orange on violet): the nebula behind
// it, the moire and the colour bands it warps, and the blob's lighting sphere.
#include "draw.h"
#include "noise.h"
#include "palette.h"
#include "pictures.h"
#include "shading.h"

#include <cmath>

using namespace show_colour;

namespace {

// A distance on the torus: like the distance from (cu, cv) for nearby points,
// but periodic in u and v, so rings drawn with it tile.
float torus_distance(float u, float v, float cu, float cv)
{
    const float a = std::sin(pi * (u - cu)), b = std::sin(pi * (v - cv));
    return std::sqrt(a * a + b * b) / pi;
}

}  // namespace

Image make_nebula()
{
    const Fractal warp{3, 2, 4, 0.5f, 0x5B1, true};
    const Fractal gas{4, 3, 6, 0.55f, 0x5B2, true};
    Image image;
    fill(image, [&](int x, int y) {
        const float u = x / 320.0f, v = y / 200.0f;
        const float w = fractal_noise(u, v, warp) - 0.5f;
        const float g = fractal_noise(fract(u + 0.3f * w + 1.0f), fract(v + 0.3f * w + 1.0f), gas);
        const float cloud = smoothstep(0.38f, 0.8f, g);
        const float filament = std::pow(smoothstep(0.5f, 0.8f, g), 2.0f);
        return Rgb{6, 2, 16} + Rgb{60, 22, 100} * cloud + Rgb{190, 80, 20} * filament;
    });
    Rng rng(0x5B3);
    scatter_stars(image, rng, 160, star_white, 0.3f, 0.9f, 0.1f, 0.02f);
    return image;
}

// Two sets of rings from different centres beating against each other:
// magenta where they agree, green where they cancel. Dark (the echo multiplies it).
Image make_moire()
{
    return tiled_picture([](int x, int y) {
        const float u = (x + 0.5f) / 256.0f, v = (2.0f * y + 1.0f) / 256.0f;
        const float a = std::cos(2.0f * pi * 26.0f * torus_distance(u, v, 0.3f, 0.35f));
        const float b = std::cos(2.0f * pi * 29.0f * torus_distance(u, v, 0.72f, 0.6f));
        const float beat = a * b;
        const float m = std::fmax(0.0f, beat), g = std::fmax(0.0f, -beat);
        return Rgb{78, 12, 86} * std::pow(m, 1.5f) + Rgb{12, 80, 34} * std::pow(g, 1.5f);
    });
}

// Wobbling concentric bands (rows are the radius) in saturated colours.
Image make_colour_bands()
{
    const Fractal wobble{4, 4, 3, 0.5f, 0xF10, true};
    const Ramp bands{{0.0f, {255, 120, 20}}, {0.2f, {240, 40, 140}}, {0.4f, {120, 30, 220}},
                     {0.6f, {30, 170, 230}}, {0.8f, {250, 200, 40}}, {1.0f, {255, 120, 20}}};
    return tiled_picture([&](int x, int y) {
        const float u = x / 256.0f, v = y / 128.0f;
        const float w = 0.12f * std::sin(2.0f * pi * 3.0f * u) + 0.25f * (fractal_noise(u, v, wobble) - 0.5f);
        const float phase = fract(4.0f * v + w + 4.0f);
        const float edge = 0.55f + 0.45f * std::pow(std::fabs(std::sin(pi * fract(8.0f * v + 2.0f * w + 8.0f))), 0.5f);
        return bands(phase) * (0.6f * edge);
    });
}

// An iridescent lighting sphere: hue by how squarely the surface faces the
// viewer, a strong highlight at the upper left (lower right in the picture).
Image make_iridescent_env()
{
    const Ramp sheen{{0.0f, {110, 30, 170}}, {0.3f, {40, 150, 220}}, {0.55f, {220, 190, 70}},
                     {0.8f, {170, 50, 190}}, {1.0f, {110, 30, 170}}};
    return sphere_map([&](Vec3 n) {
        const float facing = -n.z;
        const float t = fract(0.9f * facing + 0.15f * n.x - 0.1f * n.y + 1.0f);
        const float light = 0.35f + 0.65f * diffuse(n, upper_left_light);
        return sheen(t) * light + Rgb{255, 250, 255} * highlight(n, upper_left_light, 40.0f) +
               Rgb{120, 200, 255} * (0.35f * std::pow(1.0f - facing, 3.0f));
    });
}
