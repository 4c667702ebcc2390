// noise.h -- lattice noise that tiles: value and gradient noise on a lattice
// that wraps after a whole number of cells, and fractal sums of octaves, so a
// texture built from them repeats seamlessly at its period.
#pragma once

#include <cstdint>

// A hash of a lattice point and a seed, well mixed in all 32 bits.
std::uint32_t hash_lattice(int x, int y, std::uint32_t seed);

// Value noise in [0, 1] at lattice coordinates (x, y); the lattice repeats
// every period_x by period_y cells. Quintic interpolation (smooth derivative).
float value_noise(float x, float y, int period_x, int period_y, std::uint32_t seed);
// Gradient noise in about [-1, 1] on the same wrapping lattice.
float gradient_noise(float x, float y, int period_x, int period_y, std::uint32_t seed);

// A fractal sum over a tile: (u, v) in [0, 1) covers the tile once, the first
// octave has cells_x by cells_y cells, each next octave twice as many, with
// amplitude multiplied by gain. The result is scaled into about [0, 1] and
// tiles at u, v = 1.
struct Fractal {
    int cells_x = 4, cells_y = 4;
    int octaves = 5;
    float gain = 0.5f;
    std::uint32_t seed = 1;
    bool gradient = true;
};
float fractal_noise(float u, float v, const Fractal& f);
// 1 - |gradient noise| summed the same way: sharp crests, for veins and streaks.
float ridged_noise(float u, float v, const Fractal& f);
