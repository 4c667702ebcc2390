// test_logo.cpp -- flare drawing, and every frame of the logo scene's phases from
// their description: mosaic, the two flare rings shrinking from row 55, flash,
// cross-fade to the logo, the hold on order 4 and the smeared cross-fade.
#include "fake_music.h"
#include "scene_pictures.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

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

// The figure-eight's flare centres: for v = 0, step, ... below 360.
std::vector<std::pair<int, int>> ring_points(int cx, int cy, int radius, int phase, int count)
{
    std::vector<std::pair<int, int>> points;
    const float step = 360.0f / float(count);
    for (unsigned v = 0; v < 360; v = unsigned(float(v) + step))
        points.emplace_back(cx + int(radius * std::cos(double((v >> 1) + unsigned(phase / 2)) * 0.0174532)),
                            cy + int(radius * std::sin(double(v + unsigned(phase)) * 0.0174532)));
    return points;
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

    draw_flare_ring(160, 100, 60, 10, 4);  // sprites 1, 2, 0, 1
    const auto four = ring_points(160, 100, 60, 10, 4);
    for (int k = 1; k <= 4; ++k)
        EXPECT_EQ(screen[four[k - 1].second * 320 + four[k - 1].first], 1u << (8 * (k % 3))) << "flare " << k;
    EXPECT_EQ(lit_positions().size(), 4u);
    for (int phase = 0; phase < 720; phase += 7) {  // the positions over many phases and radii
        const int radius = 40 + phase % 60;
        draw_flare_ring(160, 100, radius, phase, 12);
        const auto points = ring_points(160, 100, radius, phase, 12);
        ASSERT_EQ(lit_positions(), Positions(points.begin(), points.end())) << phase;
    }

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

TEST_F(SceneFolderTest, LogoFramesFollowEachPhase)
{
    const TestPicture picture = random_picture(71), logo = random_picture(72), closing = random_picture(73);
    TestPicture flares[3];
    const char* flare_files[3] = {"qd\\gfx\\sprites\\flaren.pcx", "qd\\gfx\\sprites\\flaren1.pcx",
                                  "qd\\gfx\\sprites\\flaren2.pcx"};
    for (int type = 0; type < 3; ++type)
        write_test_picture(flare_files[type], flares[type] = random_picture(74 + type, 50));
    write_test_picture("qd\\gfx\\bak\\cpb7.pcx", picture);
    write_test_picture("qd\\gfx\\logos\\olv7.pcx", logo);
    write_test_picture("qd\\gfx\\bak\\dsg3.pcx", closing);
    open_test_display();
    // Order 3: the mosaic (rows below 32) for 10 frames, the rings at row 40 for 5 and at row 56 for 5,
    // then row 63; after the 161 fixed frames order 4 holds for 100 queries, then order 5.
    long hold_queries = 0;
    fake_music_script([&](long frames, long) -> std::uint32_t {
        if (frames < 181) return 3u | std::uint32_t(frames < 10 ? 0 : frames < 15 ? 40 : frames < 20 ? 56 : 63) << 16;
        return frames == 181 && ++hold_queries <= 100 ? 4u : 5u;
    });
    keep_presented_frames(true);
    logo_scene();
    ASSERT_EQ(fake_music_frames(), 10 + 10 + 32 + 1 + 128 + 128);
    EXPECT_GT(hold_queries, 100);  // the hold ran, presenting nothing

    TestPicture expected(64000);
    const auto check = [&](long f) { ASSERT_TRUE(same_frame(presented_frame(f), expected)) << "frame " << f; };
    for (int f = 0; f < 10; ++f) {  // block sizes 298, 296, ...: each pixel the picture's at its block's corner
        const int block = 298 - 2 * f;
        for (int i = 0; i < 64000; ++i)
            expected[i] = picture[(i / 320 / block * block) * 320 + i % 320 / block * block];
        check(f);
    }
    for (int f = 10, c = 2, shrink = 0, radius = 100; f < 20; ++f, ++c) {  // the first over the last mosaic
        if (f > 10) expected = picture;
        int k = 0;
        for (auto [x, y] : ring_points(160, 100, int(std::sin(c * 0.017453333333333335) * 100.0 - shrink), c - 1, 12))
            ++k, reference_add_sprite(expected, flares[k % 3].data(), 320, 43, 43, x - 21, y - 21);
        for (int t = 0, k = 1; t < 360; t = int(t + 22.5), ++k) {
            const double angle = (t + c) * 0.0174532;
            reference_add_sprite(expected, flares[k % 3].data(), 320, 43, 43, 139 + int(radius * std::cos(angle)),
                                 79 + int(radius * std::sin(angle)));
        }
        if (f >= 15) ++shrink, --radius;  // row 56
        check(f);
    }
    expected = picture;
    for (int f = 20; f < 52; ++f) {  // the flash: each channel c becomes (192 c + 16065) >> 8
        for (auto& p : expected) {
            std::uint32_t out = 0;
            for (int s = 0; s < 24; s += 8) out |= (((p >> s & 255u) * 192u + 16065u) >> 8) << s;
            p = out;
        }
        check(f);
    }
    expected = picture;
    check(52);
    for (int f = 53, i = 0; f < 181; ++f, i += 2) {
        for (int j = 0; j < 64000; ++j) expected[j] = blend_mix(logo[j], picture[j], std::uint32_t(i));
        check(f);
    }
    TestPicture smeared = logo;
    for (int f = 181, i = 0; f < 309; ++f, i += 2) {
        smear(smeared.data(), 2);
        for (int j = 0; j < 64000; ++j) expected[j] = blend_mix(closing[j], smeared[j], std::uint32_t(i));
        check(f);
    }
}

TEST(LogoScene, EnteredAfterOrder3ItPresentsNothing)
{
    open_test_display();
    fake_music_at(4, 0);
    logo_scene();
    EXPECT_EQ(fake_music_frames(), 0);
}
