// glibc_rand.h -- the C library's rand() as the native programs get it from
// glibc (its additive feedback generator, 31 words of state), for builds whose
// C library has a different generator. The scenes' stars, particles and blurs
// draw from rand() unseeded, so the browser needs exactly this sequence.
#pragma once

#include <cstdint>

struct GlibcRandom {
    std::int32_t table[31];
    int front = 3, rear = 0;  // the two taps, three words apart
};

// The state srand(seed) leaves; seed 0 acts as 1, as in glibc.
void glibc_random_seed(GlibcRandom& random, unsigned seed);
// The next value, 0 to 2,147,483,647.
int glibc_random_next(GlibcRandom& random);
