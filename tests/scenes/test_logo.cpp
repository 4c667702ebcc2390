// test_logo.cpp -- flare drawing and the logo scene's phases.
#include "fake_music.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <utility>

namespace {

void clear_frame() { std::fill(screen, screen + frame_pixels, 0u); }

// Sprite `type` is a single pixel of value 1 << (8 * type) at its centre (21, 21).
void use_dot_sprites()
{
    for (int type = 0; type < 3; ++type) {
        std::fill(std::begin(flare_sprites[type]), std::end(flare_sprites[type]), 0u);
        flare_sprites[type][21 * flare_size + 21] = 1u << (8 * type);
    }
}

std::set<std::pair<int, int>> lit_positions()
{
    std::set<std::pair<int, int>> lit;
    for (int i = 0; i < frame_pixels; ++i)
        if (screen[i]) lit.insert({i % 320, i / 320});
    return lit;
}

}  // namespace

TEST(DrawFlare, ClipsByLinearIndexAndRightEdgeOnly)
{
    open_test_display();
    for (auto& sprite : flare_sprites)
        for (auto& p : sprite) p = 0x010101u;
    clear_frame();
    draw_flare(100, 100, 3);
    draw_flare(100, 100, -1);
    EXPECT_EQ(lit_positions().size(), 0u);

    draw_flare(300, 100, 0);  // columns 279..319: 41 of them
    EXPECT_EQ(lit_positions().size(), 41u * 43u);
    EXPECT_EQ(screen[79 * 320 + 279], 0x010101u);
    EXPECT_EQ(screen[80 * 320 + 0], 0u);  // nothing spills onto the next row

    clear_frame();
    draw_flare(160, 0, 1);  // rows -21..-1 skipped
    EXPECT_EQ(lit_positions().size(), 22u * 43u);
    EXPECT_EQ(screen[21 * 320 + 160], 0x010101u);

    clear_frame();
    draw_flare(5, 100, 2);  // columns -16..-1 wrap to the end of the row above
    EXPECT_EQ(screen[78 * 320 + 319], 0x010101u);
    EXPECT_EQ(screen[78 * 320 + 304], 0x010101u);
    EXPECT_EQ(screen[78 * 320 + 303], 0u);
    EXPECT_EQ(screen[121 * 320 + 26], 0x010101u);
    EXPECT_EQ(lit_positions().size(), 43u * 43u);

    clear_frame();
    draw_flare(341, 100, 0);
    draw_flare(160, 221, 0);
    draw_flare(2000000000, -2000000000, 0);
    draw_flare(-2000000000, 2000000000, 0);
    EXPECT_EQ(lit_positions().size(), 0u);
}

TEST(DrawFlareRing, SpriteOrderPositionsAndMirroring)
{
    open_test_display();
    use_dot_sprites();
    clear_frame();
    draw_flare_ring(160, 100, 60, 10, 4);
    for (unsigned v = 0, k = 1; v < 360; v += 90, ++k) {  // reference points, sprites 1, 2, 0, 1
        const int x = 160 + int(60 * std::cos(((v >> 1) + 5) * 0.0174532));
        const int y = 100 + int(60 * std::sin((v + 10) * 0.0174532));
        EXPECT_EQ(screen[y * 320 + x], 1u << (8 * (k % 3))) << "flare " << k;
    }
    EXPECT_EQ(lit_positions().size(), 4u);

    clear_frame();
    draw_flare_ring(160, 100, 80, 33, 12);
    const auto outward = lit_positions();
    EXPECT_EQ(outward.size(), 12u);
    clear_frame();
    draw_flare_ring(160, 100, -80, 33, 12);
    std::set<std::pair<int, int>> mirrored;
    for (auto [x, y] : lit_positions()) mirrored.insert({320 - x, 200 - y});
    EXPECT_EQ(mirrored, outward);

    clear_frame();
    draw_flare_ring(160, 100, 50, 0, 0);  // no ring at all
    draw_flare_ring(160, 100, 50, 0, -3);
    EXPECT_EQ(lit_positions().size(), 0u);
    draw_flare_ring(160, 100, 50, 0, 720);  // step below 1 still ends
    EXPECT_GT(lit_positions().size(), 100u);
}

namespace {

// Order 3: mosaic rows until frame 10, ring rows until frame 20, then row 63;
// after the 161 fixed frames order 4 holds for 100 queries, then order 5.
FakeMusicScript logo_script(long mosaic_end, long ring_end, long* hold_queries)
{
    return [=](long frames, long) -> std::uint32_t {
        if (frames < mosaic_end) return 3u;
        if (frames < ring_end) return 3u | 40u << 16;
        if (frames < ring_end + 161) return 3u | 63u << 16;
        if (frames == ring_end + 161 && ++*hold_queries <= 100) return 4u;
        return 5u;
    };
}

std::uint32_t reference_flash(std::uint32_t p)
{
    std::uint32_t out = 0;
    for (int s = 0; s < 24; s += 8) out |= (((p >> s & 255u) * 192u + 16065u) >> 8) << s;
    return out;
}

}  // namespace

TEST(LogoScene, FixedPhasesFollowTheMosaicAndRings)
{
    open_test_display();
    std::srand(7);
    for (int i = 0; i < frame_pixels; ++i) screen[i] = std::rand() & 0xFFFFFF;  // the picture if cpb7 is missing
    long hold_queries = 0;
    fake_music_script(logo_script(10, 20, &hold_queries));
    keep_presented_frames(true);
    logo_scene();
    ASSERT_EQ(fake_music_frames(), 10 + 10 + 32 + 1 + 128 + 128);
    EXPECT_GT(hold_queries, 100);  // the hold ran, presenting nothing

    const std::uint32_t* picture = presented_frame(52);
    for (int k = 0; k < 10; ++k) {  // block sizes 298, 296, ...
        const int block = 298 - 2 * k;
        const std::uint32_t* frame = presented_frame(k);
        for (int i = 0; i < frame_pixels; i += 37)
            ASSERT_EQ(frame[i], picture[(i / 320 / block * block) * 320 + i % 320 / block * block]) << k;
    }
    const std::uint32_t* before = picture;
    for (int k = 0; k < 32; ++k) {
        const std::uint32_t* frame = presented_frame(20 + k);
        for (int i = 0; i < frame_pixels; ++i) ASSERT_EQ(frame[i], reference_flash(before[i])) << k;
        before = frame;
    }
    for (int i = 0; i < frame_pixels; i += 101)  // near white: truncation settles each channel in 248..251
        for (int s = 0; s < 24; s += 8) ASSERT_GE(presented_frame(51)[i] >> s & 255u, 248u);
    for (int i = 0; i < frame_pixels; ++i)  // cross-fade weight 0: the picture alone, scaled by 255/256
        ASSERT_EQ(presented_frame(53)[i], blend_mix(0, picture[i], 0));
}

TEST(LogoScene, KeyEndsOnlyTheMosaicAndRingPhases)
{
    open_test_display();
    long hold_queries = 0;
    auto script = logo_script(1000, 2000, &hold_queries);
    fake_music_script([&](long frames, long queries) {
        if (frames == 5) headless_push_key(' ');
        // After the key the fixed phases start at frame 5; shift the script there.
        return frames < 5 ? script(frames, queries) : script(frames + 1995, queries);
    });
    logo_scene();
    EXPECT_EQ(fake_music_frames(), 5 + 32 + 1 + 128 + 128);
    EXPECT_GT(hold_queries, 100);
    headless_clear_keys();

    fake_music_at(4, 0);  // not order 3 after the set-up: nothing presented
    logo_scene();
    EXPECT_EQ(fake_music_frames(), 0);
}
