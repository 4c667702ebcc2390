// glibc_rand.cpp -- glibc's rand() sequence; in the browser build it replaces
// the C library's own rand and srand.
#include "glibc_rand.h"

#include <cstdlib>

namespace {
constexpr int degree = 31;
constexpr int warm_up = 10 * degree;  // glibc discards this many after seeding
}  // namespace

void glibc_random_seed(GlibcRandom& random, unsigned seed)
{
    // As in glibc: the seed becomes a 32-bit signed word (above 2^31 negative),
    // the arithmetic on it is done in long.
    std::int32_t word = static_cast<std::int32_t>(seed == 0 ? 1u : seed);
    random.table[0] = word;
    // word = 16807 * word mod (2^31 - 1), by Schrage's method as glibc does it.
    for (int i = 1; i < degree; ++i) {
        const std::int64_t high = word / 127773, low = word % 127773;
        std::int64_t next = 16807 * low - 2836 * high;
        if (next < 0) next += 2147483647;
        word = static_cast<std::int32_t>(next);
        random.table[i] = word;
    }
    random.front = 3;
    random.rear = 0;
    for (int i = 0; i < warm_up; ++i) glibc_random_next(random);
}

int glibc_random_next(GlibcRandom& random)
{
    // Words are summed modulo 2^32; the result drops the sum's lowest bit.
    const std::uint32_t sum = static_cast<std::uint32_t>(random.table[random.front]) +
                              static_cast<std::uint32_t>(random.table[random.rear]);
    random.table[random.front] = static_cast<std::int32_t>(sum);
    random.front = (random.front + 1) % degree;
    random.rear = (random.rear + 1) % degree;
    return static_cast<int>(sum >> 1);
}

#ifdef __EMSCRIPTEN__
namespace {
GlibcRandom& program_random()
{
    static GlibcRandom random = [] {
        GlibcRandom seeded;
        glibc_random_seed(seeded, 1);  // rand() without srand() is seeded with 1
        return seeded;
    }();
    return random;
}
}  // namespace

extern "C" int rand(void)
{
    return glibc_random_next(program_random());
}

extern "C" void srand(unsigned seed)
{
    glibc_random_seed(program_random(), seed);
}
#endif
