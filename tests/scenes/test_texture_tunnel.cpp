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

// Three frames a row from row 40 to 63, then order 3: the tunnel to row 59 and kept from 60, the
// disc growing by 5 a frame from row 47, white on rows 7 + 8k while the disc is below 180.
TEST(TextureTunnelScene, EachRowDrawsTheTunnelTheDiscAndTheFlashesItsRowCalls)
{
    open_test_display();
    const auto row_of = [](long loop_frame) { return int(40 + (loop_frame - 1) / 3); };
    fake_music_script([&](long frames, long) {
        return frames <= 72 ? 2u | std::uint32_t(row_of(frames)) << 16 : 3u;
    });
    keep_presented_frames(true);
    const std::uint32_t offset_1 = tunnel_offset_1, offset_2 = tunnel_offset_2;
    texture_tunnel_scene();
    // The white frame, loop frames 1..73 (the one that reads order 3 is drawn too), the black frame.
    ASSERT_EQ(fake_music_frames(), 75);
    EXPECT_TRUE(all_pixels(presented_frame(0), 0xFFFFFF) && all_pixels(presented_frame(74), 0));
    std::vector<std::uint32_t> expected(frame_pixels, 0xFFFFFFu);
    int hole = 0, tunnels = 0, flashes = 0;
    for (long j = 1; j <= 73; ++j) {
        const int row = j <= 72 ? row_of(j) : 0;
        if (row < 60) {
            for (int n = 0; n < frame_pixels; ++n)
                expected[n] = reference_tunnel_pixel(n, offset_1 + tunnels * 1021u, offset_2 + tunnels * 64770u);
            ++tunnels;
        }
        if (row >= 47) hole += 5;
        for (int n = 0; n < frame_pixels && row >= 47; ++n) {
            const int dx = n % 320 - 160, dy = n / 320 - 100;
            if (int(std::sqrt(double(dx * dx + dy * dy))) <= hole) expected[n] = 0;
        }
        if (hole < 180 && (row + 1) % 8 == 0) std::fill(expected.begin(), expected.end(), 0xFFFFFFu), ++flashes;
        ASSERT_TRUE(same_frame(presented_frame(j), expected)) << "loop frame " << j << ", row " << row;
    }
    EXPECT_EQ(flashes, 3 + 3);  // rows 47 and 55; by row 63 the disc is past 180
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
