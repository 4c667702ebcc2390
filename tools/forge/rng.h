// rng.h -- the forge's seeded generator (SplitMix64): the same numbers on every
// machine and library, which the standard distributions do not promise.
#pragma once

#include <cstdint>

struct Rng {
    std::uint64_t state;

    explicit Rng(std::uint64_t seed) : state(seed) {}

    std::uint32_t next()
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<std::uint32_t>((z ^ (z >> 31)) >> 32);
    }
    // Uniform in [0, 1), 24 bits of resolution.
    float unit() { return static_cast<float>(next() >> 8) * (1.0f / 16777216.0f); }
    float range(float low, float high) { return low + (high - low) * unit(); }
    // Uniform integer in [0, n), n > 0 (the small modulo bias is irrelevant here).
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
};
