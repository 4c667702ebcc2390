// test_particle.cpp -- the particle cloud against a plain model of its frames, and
// the trail's in-place blur against a plain reference.
#include "fake_music.h"
#include "scene_pictures.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

#include <cstdlib>

namespace {

// Per byte 0..2: (up + down + left + right) / 4 - 6, at least 0, in place and in
// index order; neighbours outside the buffer are black; byte 3 untouched.
void reference_fade(std::uint32_t* t)
{
    auto at = [t](long i) { return i < 0 || i >= 64000 ? 0u : t[i]; };
    for (long i = 0; i < 64000; ++i) {
        std::uint32_t out = t[i] & 0xFF000000u;
        for (int s = 0; s <= 16; s += 8) {
            const int sum = int(at(i - 320) >> s & 255) + int(at(i + 320) >> s & 255) + int(at(i - 1) >> s & 255) +
                            int(at(i + 1) >> s & 255);
            out |= std::uint32_t(std::max(sum / 4 - 6, 0)) << s;
        }
        t[i] = out;
    }
}

}  // namespace

TEST(FadeTrail, MatchesThePlainInPlaceBlurAndEmptiesAFullTrailIn43Passes)
{
    std::srand(99);
    for (auto& p : background_picture) p = std::uint32_t(std::rand()) << 17 ^ std::uint32_t(std::rand());
    TestPicture expected(background_picture, background_picture + 64000);
    for (int pass = 0; pass < 3; ++pass) {
        fade_trail();
        reference_fade(expected.data());
        ASSERT_TRUE(same_frame(background_picture, expected)) << "pass " << pass;
    }
    std::fill(background_picture, background_picture + 64000, 0x00FFFFFFu);
    for (int pass = 0; pass < 43; ++pass) fade_trail();
    for (std::uint32_t p : background_picture) ASSERT_EQ(p, 0u);
}

TEST_F(SceneFolderTest, ParticleFramesFollowTheGrowingCloudUntilOrder14)
{
    TestPicture sprite = random_picture(3, 40), back = random_picture(4, 60);  // a non-black picture round the dot
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 14; ++x)
            sprite[y * 320 + x] = 0x050505u * std::uint32_t(std::max(0, 49 - (x - 7) * (x - 7) - (y - 7) * (y - 7)));
    write_test_picture("qd\\gfx\\sprites\\partic.pcx", sprite);
    write_test_picture("qd\\gfx\\bak\\pemb.pcx", back);
    open_test_display();
    const long count = 403;
    fake_music_script([](long frames, long) { return frames < count ? 12u : 14u; });
    keep_presented_frames(true);
    std::srand(2024);
    particle_scene();
    ASSERT_EQ(fake_music_frames(), count);

    std::srand(2024);  // the model: six rand() calls a particle, one frame at a time
    Vertex points[400];
    for (Vertex& p : points) {
        float c[3];
        for (float& v : c) v = float(std::rand() % 100), v -= float(std::rand() % 100);
        p = Vertex{c[0], c[1], c[2] == 0 ? 1.0f : c[2], 0, 0, 0};
    }
    TestPicture trail = black_picture();
    int angle = 0, off_margin = 0, wrapped = 0, dropped = 0;
    for (long k = 0; k < count; ++k, angle = angle == 360 ? 2 : angle + 2) {
        for (int i = 0; i < std::min<long>(k, 400); ++i) {
            const Vertex r = rotate_point(points[i], angle, angle, angle);
            const int d = int(r.z) + 200, sx = int(r.x) * 256 / d + 160, sy = int(r.y) * 256 / d + 100;
            if (sx <= 5 || sx >= 315 || sy <= 5 || sy >= 195) {
                ++off_margin;
                continue;
            }
            wrapped += sx + 13 > 319, dropped += sy + 13 > 199;
            for (int row = 0; row < 14; ++row)
                for (int col = 0; col < 14; ++col)
                    if (const long at = long(sy + row) * 320 + sx + col; at < 64000)
                        trail[at] = add_pixels(trail[at], sprite[row * 320 + col] & (i % 2 ? 0xFF00FFu : 0xFFFFu));
        }
        TestPicture expected = k == 0 ? sprite : back;  // the first frame lies over the sprite picture
        for (int i = 0; i < 64000; ++i) expected[i] = add_pixels(expected[i], trail[i]);
        ASSERT_TRUE(same_frame(presented_frame(k), expected)) << "frame " << k;
        reference_fade(trail.data());
    }
    EXPECT_GT(off_margin, 0);  // every edge case of the stamping came up
    EXPECT_GT(wrapped, 0);
    EXPECT_GT(dropped, 0);
    keep_presented_frames(false);
}
