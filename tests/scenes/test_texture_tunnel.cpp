// test_texture_tunnel.cpp -- the tunnel's polar table, its frames, flashes and disc.
#include "fake_music.h"
#include "scene_pictures.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

#include <cmath>
#include <cstdlib>

namespace {

std::uint16_t entry_at(int x, int y) { return polar_table[y * 320 + x]; }

// min(255, both texels + the picture) per channel.
std::uint32_t reference_tunnel_pixel(int n, std::uint32_t offset_1, std::uint32_t offset_2)
{
    const std::uint32_t w = polar_table[n];
    return add_pixels(add_pixels(tunnel_texture_2[(w + offset_2) & 0xFFFF], tunnel_texture_1[(w + offset_1) & 0xFFFF]),
                      tunnel_picture[n]);
}

bool all_pixels(const std::uint32_t* f, std::uint32_t v) { return f && std::count(f, f + 64000, v) == 64000; }

}  // namespace

TEST(TextureTunnel, PolarTableHoldsDepthAndAngleAndTheTunnelSumsBothTexturesAndThePicture)
{
    build_tunnel_polar_table();
    // The centre; up: angle 0, right: a quarter turn, left: -127 as its low byte, down: half a turn.
    EXPECT_TRUE(entry_at(160, 100) == 0 && entry_at(160, 99) == 6000 % 256 && entry_at(161, 100) == (112 | 127 << 8));
    EXPECT_TRUE(entry_at(159, 100) == (112 | 129 << 8) && entry_at(160, 101) == (112 | 255 << 8));
    for (int n = 0; n < frame_pixels; ++n) {
        const int c = n % 320 - 160, r = 100 - n / 320;
        if (c == 0 && r == 0) continue;
        ASSERT_EQ(polar_table[n], (int(6000 / std::sqrt(double(c * c + r * r))) & 255) |
                                      (int(std::atan2(double(c), double(r)) * 81.19999999999999) & 255) << 8) << n;
    }

    open_test_display();
    std::srand(3);
    for (int i = 0; i < 65536; ++i) {
        tunnel_texture_1[i] = std::rand() & 0xFFFFFF;
        tunnel_texture_2[i] = std::rand() & 0xFFFFFF;
    }
    for (auto& p : tunnel_picture) p = std::rand() & 0x7F7F7F;
    tunnel_offset_1 = 0xFFFFFFF0u;  // wraps in 32 bits; only the low 16 bits index
    tunnel_offset_2 = 12345;
    draw_textured_tunnel();
    for (int n = 0; n < frame_pixels; ++n) ASSERT_EQ(screen[n], reference_tunnel_pixel(n, 0xFFFFFFF0u, 12345)) << n;
    EXPECT_TRUE(tunnel_offset_1 == 0xFFFFFFF0u + 1021u && tunnel_offset_2 == 12345u + 64770u);
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
    for (std::uint32_t j = 36; j <= 41; ++j)  // the black disc of radius 5j over the tunnel
        for (int n = 0; n < frame_pixels; ++n) {
            const int dx = n % 320 - 160, dy = n / 320 - 100;
            const bool in_disc = std::uint32_t(std::sqrt(double(dx * dx + dy * dy))) <= 5 * j;
            ASSERT_EQ(presented_frame(j)[n],
                      in_disc ? 0u : reference_tunnel_pixel(n, offset_1 + (j - 1) * 1021u, offset_2 + (j - 1) * 64770u))
                << j << " " << n;
        }
    EXPECT_TRUE(all_pixels(presented_frame(38), 0) && all_pixels(presented_frame(42), 0));  // corners at 188
    EXPECT_TRUE(all_pixels(background_picture, 0));
}

TEST(TextureTunnelScene, EnteredAfterOrder2ItStillShowsTheWhiteFrameAndOneTunnelFrame)
{
    open_test_display();
    keep_presented_frames(true);
    fake_music_at(3, 10);  // past order 2: one tunnel frame, then the end
    const std::uint32_t offset_1 = tunnel_offset_1;
    texture_tunnel_scene();
    EXPECT_EQ(fake_music_frames(), 3);
    EXPECT_EQ(presented_frame(1)[12345], reference_tunnel_pixel(12345, offset_1, tunnel_offset_2 - 64770u));
}
