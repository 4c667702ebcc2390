// The browser build replaces its C library's rand() with glibc's generator, so
// that the scenes' stars, particles and blurs come out as in the native
// programs; here it must give glibc's own sequence.
#include "platform/web/glibc_rand.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// The first `count` values after seeding both with `seed`; the index of the
// first difference, or -1.
long first_difference(unsigned seed, long count)
{
    GlibcRandom ours;
    glibc_random_seed(ours, seed);
    std::srand(seed);
    for (long i = 0; i < count; ++i)
        if (glibc_random_next(ours) != std::rand()) return i;
    return -1;
}

TEST(GlibcRand, UnseededSequenceIsGlibcs)
{
    // rand() without srand() is seeded with 1: the sequence the scenes draw from.
    GlibcRandom ours;
    glibc_random_seed(ours, 1);
    EXPECT_EQ(glibc_random_next(ours), 1804289383);
    EXPECT_EQ(glibc_random_next(ours), 846930886);
    EXPECT_EQ(first_difference(1, 1000000), -1);
}

TEST(GlibcRand, OtherSeedsIncludingZeroAndLargeOnes)
{
    for (unsigned seed : {0u, 2u, 12345u, 2147483647u, 2147483648u, 4294967295u})
        EXPECT_EQ(first_difference(seed, 20000), -1) << "seed " << seed;
}

}  // namespace
