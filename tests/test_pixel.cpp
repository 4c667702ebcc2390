// test_pixel.cpp -- the pixel arithmetic against plain per-channel references,
// the frame blur and the sine/cosine table.
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

std::uint32_t channel(std::uint32_t p, int c) { return (p >> (8 * c)) & 255u; }

std::uint32_t reference_add(std::uint32_t a, std::uint32_t b)
{
    std::uint32_t r = 0;
    for (int c = 0; c < 3; ++c) r |= std::min(255u, channel(a, c) + channel(b, c)) << (8 * c);
    return r;
}

std::uint32_t reference_add_scaled(std::uint32_t a, std::uint32_t b, std::uint32_t k)
{
    std::uint32_t r = 0;
    for (int c = 0; c < 3; ++c) r |= std::min(255u, (channel(a, c) * 256u + channel(b, c) * k) >> 8) << (8 * c);
    return r;
}

std::uint32_t reference_mix(std::uint32_t a, std::uint32_t b, std::uint32_t k)
{
    k &= 255u;
    std::uint32_t r = 0;
    for (int c = 0; c < 3; ++c) r |= ((channel(a, c) * k + channel(b, c) * (255u - k)) >> 8) << (8 * c);
    return r;
}

}  // namespace

TEST(PixelArithmetic, BlendsMatchTheirPerChannelContractsOnRandomPixels)
{
    std::mt19937 rng(12345);
    for (int i = 0; i < 200000; ++i) {
        const std::uint32_t a = rng(), b = rng(), k = rng() % 300;
        ASSERT_EQ(blend_add(a, b), reference_add(a, b)) << std::hex << a << " " << b;
        ASSERT_EQ(blend_add_scaled(a, b, k), reference_add_scaled(a, b, k));
        ASSERT_EQ(blend_mix(a, b, k), reference_mix(a, b, k));
    }
}

TEST(PixelArithmetic, SaturationAndWeightEdges)
{
    EXPECT_EQ(blend_add(0x00FF8000u, 0x00808080u), 0x00FFFF80u);
    EXPECT_EQ(blend_add(0xFFFFFFFFu, 0xFFFFFFFFu), 0x00FFFFFFu);  // top byte always cleared
    EXPECT_EQ(blend_add_scaled(0xAB123456u, 0x00FFFFFFu, 0), 0x00123456u);
    EXPECT_EQ(blend_add_scaled(0x00102030u, 0x00F0F0F0u, 256), blend_add(0x00102030u, 0x00F0F0F0u));
    EXPECT_EQ(blend_mix(0x00C08040u, 0x00112233u, 256 + 77), blend_mix(0x00C08040u, 0x00112233u, 77));
    EXPECT_EQ(blend_mix(0x00FFFFFFu, 0, 255), 0x00FEFEFEu);  // never quite reaches a
    EXPECT_EQ(blend_mix(0x00644B32u, 0, 250), 0x00614930u);  // the fade's per-frame step
}

TEST(Smear, ZeroDistanceClearsEachChannelsLowBit)
{
    std::vector<std::uint32_t> buf(frame_pixels);
    for (int i = 0; i < frame_pixels; ++i) buf[i] = 0x01FF7F81u * static_cast<std::uint32_t>(i + 1);
    std::vector<std::uint32_t> expected(buf);
    for (auto& p : expected) p &= 0xFEFEFEFEu;
    smear(buf.data(), 0);
    EXPECT_EQ(buf, expected);
}

TEST(Smear, OneWhitePixelLeavesHalfToItsLeftAndAHalvingTrailToItsRight)
{
    for (int d : {1, 5, 20}) {
        std::vector<std::uint32_t> buf(frame_pixels, 0);
        const int p = 1000;
        buf[p] = 0x00FFFFFFu;
        smear(buf.data(), d);
        EXPECT_EQ(buf[p - d], 0x007F7F7Fu) << d;
        EXPECT_EQ(buf[p], 0x003F3F3Fu) << d;
        EXPECT_EQ(buf[p + d], 0x001F1F1Fu) << d;
        EXPECT_EQ(buf[p + 2 * d], 0x000F0F0Fu) << d;
        if (d > 1) {
            EXPECT_EQ(buf[p + d + 1], 0u) << d;
        }
    }
}

TEST(Smear, MatchesAPlainBoundedReferenceAndStaysInsideTheBuffer)
{
    std::mt19937 rng(7);
    for (int d : {0, 3, 19, 20, 31999, 32000, 40000, 64000}) {
        // Guard words around the buffer catch any read or write outside it.
        std::vector<std::uint32_t> guarded(frame_pixels + 2 * 64, 0xDEADBEEFu);
        std::uint32_t* buf = guarded.data() + 64;
        for (int i = 0; i < frame_pixels; ++i) buf[i] = rng();
        std::vector<std::uint32_t> ref(buf, buf + frame_pixels);
        for (int i = 0; i < frame_pixels; ++i) {
            const std::uint32_t l = i - d >= 0 ? ref[i - d] : 0, r = i + d < frame_pixels ? ref[i + d] : 0;
            ref[i] = ((l >> 1) & 0x7F7F7F7Fu) + ((r >> 1) & 0x7F7F7F7Fu);
        }
        smear(buf, d);
        EXPECT_TRUE(std::equal(ref.begin(), ref.end(), buf)) << d;
        for (int g = 0; g < 64; ++g) {
            ASSERT_EQ(guarded[g], 0xDEADBEEFu);
            ASSERT_EQ(guarded[64 + frame_pixels + g], 0xDEADBEEFu);
        }
    }
}

TEST(SinCosTable, UsesTheShortDegreeStep)
{
    build_sincos_table();
    EXPECT_FLOAT_EQ(sincos_table[90].sin, 1.0f);
    EXPECT_NEAR(sincos_table[90].cos, 1.3e-6, 0.1e-6);
    EXPECT_NEAR(sincos_table[180].sin, 2.65e-6, 0.05e-6);
    EXPECT_NE(sincos_table[360].sin, sincos_table[0].sin);
    EXPECT_FLOAT_EQ(sincos_table[30].sin, static_cast<float>(std::sin(30 * 0.017453277777777776L)));
}
