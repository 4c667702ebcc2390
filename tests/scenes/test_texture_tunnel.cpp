// test_texture_tunnel.cpp -- the tunnel's polar table, its frames, flashes and disc.
#include "fake_music.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

std::uint16_t entry_at(int x, int y) { return polar_table[y * 320 + x]; }

std::uint32_t reference_tunnel_pixel(int n, std::uint32_t offset_1, std::uint32_t offset_2)
{
    const std::uint32_t w = polar_table[n];
    const std::uint32_t a = tunnel_texture_2[(w + offset_2) & 0xFFFF], b = tunnel_texture_1[(w + offset_1) & 0xFFFF];
    std::uint32_t out = 0;  // min(255, a + b + picture) per channel
    for (int s = 0; s < 24; s += 8) {
        const std::uint32_t c = (a >> s & 255) + (b >> s & 255) + (tunnel_picture[n] >> s & 255);
        out |= (c > 255 ? 255 : c) << s;
    }
    return out;
}

bool all_pixels(const std::uint32_t* frame, std::uint32_t value)
{
    for (int i = 0; i < frame_pixels; ++i)
        if (frame[i] != value) return false;
    return true;
}

}  // namespace

TEST(TunnelPolarTable, DepthAndAngleAroundTheCentre)
{
    build_tunnel_polar_table();
    EXPECT_EQ(entry_at(160, 100), 0);
    EXPECT_EQ(entry_at(160, 99), 6000 % 256);               // straight up: angle 0
    EXPECT_EQ(entry_at(161, 100), 6000 % 256 | 127 << 8);   // right: quarter turn
    EXPECT_EQ(entry_at(159, 100), 6000 % 256 | 129 << 8);   // left: -127 kept as its low byte
    EXPECT_EQ(entry_at(160, 101), 6000 % 256 | 255 << 8);   // down: half a turn
    EXPECT_EQ(entry_at(160, 0) & 255, 60);                  // 6000 / 100
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            if (x == 160 && y == 100) continue;
            const int c = x - 160, r = 100 - y;
            const double angle = std::atan2(double(c), double(r));
            const int expected = (int(6000 / std::sqrt(double(c * c + r * r))) & 255) |
                                 (int(angle * 81.19999999999999) & 255) << 8;
            ASSERT_EQ(entry_at(x, y), expected) << x << "," << y;
        }
}

TEST(TextureTunnel, SumsBothTexturesAndThePictureAndScrolls)
{
    open_test_display();
    build_tunnel_polar_table();
    std::srand(3);
    for (int i = 0; i < 65536; ++i) {
        tunnel_texture_1[i] = std::rand() & 0xFFFFFF;
        tunnel_texture_2[i] = std::rand() & 0xFFFFFF;
    }
    for (auto& p : tunnel_picture) p = std::rand() & 0x7F7F7F;
    tunnel_offset_1 = 0xFFFFFFF0u;  // wraps in 32 bits; only the low 16 bits index
    tunnel_offset_2 = 12345;
    draw_textured_tunnel();
    for (int n = 0; n < frame_pixels; ++n)
        ASSERT_EQ(screen[n], reference_tunnel_pixel(n, 0xFFFFFFF0u, 12345)) << n;
    EXPECT_EQ(tunnel_offset_1, 0xFFFFFFF0u + 1021u);
    EXPECT_EQ(tunnel_offset_2, 12345u + 64770u);
}

TEST(TextureTunnelScene, FlashesStopOnceTheDiscReaches180)
{
    open_test_display();
    fake_music_script([](long frames, long) { return frames < 41 ? 2u | 55u << 16 : 3u | 55u << 16; });
    keep_presented_frames(true);
    const std::uint32_t offset_1 = tunnel_offset_1, offset_2 = tunnel_offset_2;
    texture_tunnel_scene();
    // The white frame, loop frames 1..41 (the one that reads order 3 is drawn too), the black frame.
    ASSERT_EQ(fake_music_frames(), 43);
    EXPECT_TRUE(all_pixels(presented_frame(0), 0xFFFFFF));
    for (int j = 1; j <= 35; ++j) EXPECT_TRUE(all_pixels(presented_frame(j), 0xFFFFFF)) << j;
    for (int j = 36; j <= 41; ++j) {
        const int hole = 5 * j;
        const std::uint32_t* frame = presented_frame(j);
        for (int n = 0; n < frame_pixels; ++n) {
            const int dx = n % 320 - 160, dy = n / 320 - 100;
            const bool in_disc = int(std::sqrt(double(dx * dx + dy * dy))) <= hole;
            const std::uint32_t expected =
                in_disc ? 0 : reference_tunnel_pixel(n, offset_1 + (j - 1) * 1021u, offset_2 + (j - 1) * 64770u);
            ASSERT_EQ(frame[n], expected) << "frame " << j << " pixel " << n;
        }
    }
    EXPECT_TRUE(all_pixels(presented_frame(38), 0));  // hole 190 covers the corners at 188
    EXPECT_TRUE(all_pixels(presented_frame(42), 0));
    EXPECT_EQ(tunnel_offset_1, offset_1 + 41 * 1021u);
    EXPECT_EQ(tunnel_offset_2, offset_2 + 41 * 64770u);
    for (std::uint32_t p : background_picture) ASSERT_EQ(p, 0u);
}

TEST(TextureTunnelScene, KeyOrLateOrderStillShowTheWhiteFrame)
{
    open_test_display();
    fake_music_at(2, 0);
    headless_push_key(' ');
    const long clears = headless_state().clears;
    keep_presented_frames(true);
    texture_tunnel_scene();
    headless_clear_keys();
    ASSERT_EQ(fake_music_frames(), 2);
    EXPECT_EQ(fake_music_queries(), 0);
    EXPECT_TRUE(all_pixels(presented_frame(0), 0xFFFFFF));
    EXPECT_TRUE(all_pixels(presented_frame(1), 0));
    EXPECT_EQ(headless_state().clears, clears + 1);

    fake_music_at(3, 10);  // past order 2: one tunnel frame, then the end
    keep_presented_frames(true);
    const std::uint32_t offset_1 = tunnel_offset_1;
    texture_tunnel_scene();
    EXPECT_EQ(fake_music_frames(), 3);
    EXPECT_EQ(presented_frame(1)[12345], reference_tunnel_pixel(12345, offset_1, tunnel_offset_2 - 64770u));
}
