// test_logo.cpp -- flare drawing and the logo scene's phases.
#include "fake_music.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

using Positions = std::set<std::pair<int, int>>;

// Sprite `type` is a single pixel of value 1 << (8 * type) at its centre (21, 21); the frame black.
void use_dot_sprites()
{
    for (int type = 0; type < 3; ++type) {
        std::fill(std::begin(flare_sprites[type]), std::end(flare_sprites[type]), 0u);
        flare_sprites[type][21 * flare_size + 21] = 1u << (8 * type);
    }
    std::fill(screen, screen + frame_pixels, 0u);
}

Positions lit_positions()
{
    Positions lit;
    for (int i = 0; i < frame_pixels; ++i)
        if (screen[i]) lit.insert({i % 320, i / 320});
    std::fill(screen, screen + frame_pixels, 0u);
    return lit;
}

// Order 3: mosaic rows until frame `mosaic_end`, ring rows until `ring_end`, then
// row 63; after the 161 fixed frames order 4 holds for 100 queries, then order 5.
FakeMusicScript logo_script(long mosaic_end, long ring_end, long* hold_queries)
{
    return [=](long frames, long) -> std::uint32_t {
        if (frames < ring_end + 161)
            return frames < mosaic_end ? 3u : frames < ring_end ? 3u | 40u << 16 : 3u | 63u << 16;
        return frames == ring_end + 161 && ++*hold_queries <= 100 ? 4u : 5u;
    };
}

}  // namespace

// Clipping is the shared sprite helper's, tested with the end screens' rings.
TEST(Flares, ChosenSpriteCentredAndTheRingsSpriteOrderPositionsAndMirroring)
{
    open_test_display();
    use_dot_sprites();
    for (int type = -1; type <= 3; ++type) draw_flare(100 + 10 * type, 50, type);  // types 0..2 only
    EXPECT_TRUE(screen[16100] == 1u && screen[16110] == 0x100u && screen[16120] == 0x10000u);
    EXPECT_EQ(lit_positions(), (Positions{{100, 50}, {110, 50}, {120, 50}}));

    draw_flare_ring(160, 100, 60, 10, 4);
    for (unsigned v = 0, k = 1; v < 360; v += 90, ++k) {  // reference points, sprites 1, 2, 0, 1
        const int x = 160 + int(60 * std::cos(((v >> 1) + 5) * 0.0174532));
        const int y = 100 + int(60 * std::sin((v + 10) * 0.0174532));
        EXPECT_EQ(screen[y * 320 + x], 1u << (8 * (k % 3))) << "flare " << k;
    }
    EXPECT_EQ(lit_positions().size(), 4u);

    draw_flare_ring(160, 100, 80, 33, 12);
    const Positions outward = lit_positions();
    draw_flare_ring(160, 100, -80, 33, 12);
    Positions mirrored;
    for (auto [x, y] : lit_positions()) mirrored.insert({320 - x, 200 - y});
    EXPECT_TRUE(outward.size() == 12u && mirrored == outward);

    draw_flare_ring(160, 100, 50, 0, 0);  // no ring at all
    draw_flare_ring(160, 100, 50, 0, -3);
    EXPECT_EQ(lit_positions().size(), 0u);
    draw_flare_ring(160, 100, 50, 0, 720);  // step below 1 still ends
    EXPECT_GT(lit_positions().size(), 100u);
}

TEST(LogoScene, FixedPhasesFollowTheMosaicAndRings)
{
    open_test_display();
    long hold_queries = 0;
    fake_music_script(logo_script(10, 20, &hold_queries));
    keep_presented_frames(true);
    logo_scene();
    ASSERT_EQ(fake_music_frames(), 10 + 10 + 32 + 1 + 128 + 128);
    EXPECT_GT(hold_queries, 100);  // the hold ran, presenting nothing

    const std::uint32_t *picture = presented_frame(52), *before = picture;
    for (int k = 0; k < 10; ++k) {  // block sizes 298, 296, ...
        const int block = 298 - 2 * k;
        for (int i = 0; i < frame_pixels; i += 37)
            ASSERT_EQ(presented_frame(k)[i], picture[(i / 320 / block * block) * 320 + i % 320 / block * block]) << k;
    }
    for (int k = 0; k < 32; ++k) {  // the flash: each channel c becomes (192 c + 16065) >> 8
        const std::uint32_t* frame = presented_frame(20 + k);
        for (int i = 0; i < frame_pixels; ++i)
            for (int s = 0; s < 24; s += 8)
                ASSERT_EQ(frame[i] >> s & 255u, ((before[i] >> s & 255u) * 192u + 16065u) >> 8) << k;
        before = frame;
    }
    for (int i = 0; i < frame_pixels; ++i)  // cross-fade weight 0: the picture alone, scaled by 255/256
        ASSERT_EQ(presented_frame(53)[i], blend_mix(0, picture[i], 0));
}

TEST(LogoScene, EnteredAfterOrder3ItPresentsNothing)
{
    open_test_display();
    fake_music_at(4, 0);
    logo_scene();
    EXPECT_EQ(fake_music_frames(), 0);
}
