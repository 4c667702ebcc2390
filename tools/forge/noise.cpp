// noise.cpp -- tiling lattice noise and fractal sums.
#include "noise.h"

#include <algorithm>
#include <cmath>

std::uint32_t hash_lattice(int x, int y, std::uint32_t seed)
{
    std::uint32_t h = seed * 0x9E3779B1u;
    h ^= static_cast<std::uint32_t>(x) * 0x85EBCA6Bu;
    h = (h ^ (h >> 15)) * 0x2C1B3C6Du;
    h ^= static_cast<std::uint32_t>(y) * 0xC2B2AE35u;
    h = (h ^ (h >> 13)) * 0x297A2D39u;
    return h ^ (h >> 16);
}

static int wrap(int i, int period)
{
    const int m = i % period;
    return m < 0 ? m + period : m;
}

static float fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

float value_noise(float x, float y, int period_x, int period_y, std::uint32_t seed)
{
    const float fx = std::floor(x), fy = std::floor(y);
    const int x0 = wrap(static_cast<int>(fx), period_x), y0 = wrap(static_cast<int>(fy), period_y);
    const int x1 = wrap(x0 + 1, period_x), y1 = wrap(y0 + 1, period_y);
    const float tx = fade(x - fx), ty = fade(y - fy);
    auto corner = [seed](int cx, int cy) { return static_cast<float>(hash_lattice(cx, cy, seed) >> 8) / 16777215.0f; };
    const float a = corner(x0, y0) + (corner(x1, y0) - corner(x0, y0)) * tx;
    const float b = corner(x0, y1) + (corner(x1, y1) - corner(x0, y1)) * tx;
    return a + (b - a) * ty;
}

// One of 16 unit gradient directions, dotted with the offset (dx, dy).
static float gradient_dot(int cx, int cy, std::uint32_t seed, float dx, float dy)
{
    static const float directions[16][2] = {
        {1.0f, 0.0f},      {0.9239f, 0.3827f},  {0.7071f, 0.7071f},  {0.3827f, 0.9239f},
        {0.0f, 1.0f},      {-0.3827f, 0.9239f}, {-0.7071f, 0.7071f}, {-0.9239f, 0.3827f},
        {-1.0f, 0.0f},     {-0.9239f, -0.3827f}, {-0.7071f, -0.7071f}, {-0.3827f, -0.9239f},
        {0.0f, -1.0f},     {0.3827f, -0.9239f}, {0.7071f, -0.7071f},  {0.9239f, -0.3827f}};
    const float* g = directions[hash_lattice(cx, cy, seed) >> 28];
    return g[0] * dx + g[1] * dy;
}

float gradient_noise(float x, float y, int period_x, int period_y, std::uint32_t seed)
{
    const float fx = std::floor(x), fy = std::floor(y);
    const float dx = x - fx, dy = y - fy;
    const int x0 = wrap(static_cast<int>(fx), period_x), y0 = wrap(static_cast<int>(fy), period_y);
    const int x1 = wrap(x0 + 1, period_x), y1 = wrap(y0 + 1, period_y);
    const float tx = fade(dx), ty = fade(dy);
    const float a = gradient_dot(x0, y0, seed, dx, dy);
    const float b = gradient_dot(x1, y0, seed, dx - 1.0f, dy);
    const float c = gradient_dot(x0, y1, seed, dx, dy - 1.0f);
    const float d = gradient_dot(x1, y1, seed, dx - 1.0f, dy - 1.0f);
    const float top = a + (b - a) * tx, bottom = c + (d - c) * tx;
    return 1.4142f * (top + (bottom - top) * ty);
}

static float octave(float u, float v, const Fractal& f, int cx, int cy, int index)
{
    const std::uint32_t seed = f.seed * 131u + static_cast<std::uint32_t>(index);
    if (f.gradient) return 0.5f + 0.5f * gradient_noise(u * cx, v * cy, cx, cy, seed);
    return value_noise(u * cx, v * cy, cx, cy, seed);
}

float fractal_noise(float u, float v, const Fractal& f)
{
    float sum = 0, weight = 0, amplitude = 1;
    int cx = f.cells_x, cy = f.cells_y;
    for (int i = 0; i < f.octaves; ++i) {
        sum += amplitude * octave(u, v, f, cx, cy, i);
        weight += amplitude;
        amplitude *= f.gain;
        cx *= 2;
        cy *= 2;
    }
    return sum / weight;
}

float ridged_noise(float u, float v, const Fractal& f)
{
    float sum = 0, weight = 0, amplitude = 1;
    int cx = f.cells_x, cy = f.cells_y;
    for (int i = 0; i < f.octaves; ++i) {
        const std::uint32_t seed = f.seed * 131u + static_cast<std::uint32_t>(i);
        const float n = gradient_noise(u * cx, v * cy, cx, cy, seed);
        sum += amplitude * (1.0f - std::min(1.0f, std::fabs(n)));
        weight += amplitude;
        amplitude *= f.gain;
        cx *= 2;
        cy *= 2;
    }
    return sum / weight;
}
