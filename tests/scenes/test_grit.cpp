// test_grit.cpp -- the grit scene's strip, warped feedback, balls and their clipping, band and end.
#include "fake_music.h"
#include "scene_pictures.h"

#include "assets/assets.h"
#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

#include <cmath>

namespace {

long mod(long long value, long m) { return static_cast<long>((value % m + m) % m); }

// The test's grit picture: every pixel unique and never black.
std::uint32_t grit_pixel(int row, int col) { return static_cast<std::uint32_t>(row + 1) << 16 | col; }

class GritTest : public SceneFolderTest {
protected:
    void SetUp() override
    {
        SceneFolderTest::SetUp();
        for (int i = 0; i < 64000; ++i) {
            const int x = i % 320, y = i / 320;  // a disc of radius 11 in the 24x24 corner, a few holes
            if (x >= 24 || y >= 24 || (x - 12) * (x - 12) + (y - 12) * (y - 12) > 121 || i % 7 == 0) ball[i] = 0;
            grit[i] = grit_pixel(y, x);
        }
        write_test_picture("qd\\gfx\\sprites\\boll.pcx", ball);
        write_test_picture("qd\\gfx\\textures\\cubet.pcx", cube);
        write_test_picture("qd\\gfx\\misc\\grit.pcx", grit);
        write_test_picture("qd\\gfx\\bak\\blup.pcx", back);
        cut_texture(cube.data(), texture.data());
        open_test_display();
    }

    // Band column k, step s (frame row 200 - s) in frame f: strip row 6m + k is picture row 16k + m.
    std::uint32_t band(int f, int k, int s) const
    {
        const long index = 2L * f - 318 + 1920L * k + s, row = index / 320;
        return index >= 0 && index < 30720 ? grit[(16 * (row % 6) + row / 6) * 320 + index % 320] : 0u;
    }
    void warp(TestPicture& frame, long phase, long long offset) const
    {
        for (int y = 0; y < 200; ++y) {
            const long s = y / 2 + phase;
            const int left = static_cast<int>(std::trunc(60 * std::sin(s * 0.01745327777777778)));
            const int right = static_cast<int>(std::trunc(60 * std::sin((s + 180) * 0.01745327777777778) + 320));
            const float scale = static_cast<float>(right - left) * 0.003125f;
            for (int x = 0; x < 320; ++x) {
                const long u = mod(static_cast<int>(std::trunc(x * scale)) + left, 256);
                const std::uint32_t t = texture[mod(u + 256 * (y % 256) + offset + 18144, 65536)];
                std::uint32_t &p = frame[y * 320 + x], b = back[y * 320 + x], echo = 0;
                for (int c = 0; c <= 16; c += 8) echo |= ((215 * (p >> c & 255u) + 40 * (b >> c & 255u)) >> 8) << c;
                p = add_pixels(echo, t);
            }
        }
    }
    void balls(TestPicture& frame, int f) const
    {
        const double o = 25 * std::sin(2 * f * 0.0174532) + 80;
        for (int j = 0; j < 32; ++j)
            reference_add_sprite(frame, ball.data(), 320, 24, 24,
                                 148 + static_cast<int>(std::trunc(o * std::cos((f + 70 + 8 * j) * 0.0174532))),
                                 88 + static_cast<int>(std::trunc(o * std::sin((3 * f + 11 * j) * 0.0174532))), true);
    }

    static void run_frames(long count)
    {
        fake_music_script([count](long frames, long) { return frames < count ? 16u : 19u; });
        grit_scene();
        ASSERT_EQ(fake_music_frames(), count);
    }

    TestPicture ball = random_picture(21, 120), cube = random_picture(22, 20), back = random_picture(23, 60);
    TestPicture grit = black_picture(), texture = TestPicture(65536);
};

}  // namespace

TEST_F(GritTest, SetUpFillsStripTextureAndBackgroundAndNothingRunsFromOrderNineteen)
{
    for (const int order : {19, 40}) {
        fake_music_at(order, 0);
        grit_scene();
        EXPECT_EQ(fake_music_frames(), 0);
    }
    for (int k = 0; k < 6; ++k)
        for (int m = 0; m < 16; ++m) ASSERT_EQ(grit_strip[(6 * m + k) * 320 + 7], grit_pixel(16 * k + m, 7));
    EXPECT_TRUE(std::equal(texture.begin(), texture.end(), warp_texture));
    EXPECT_TRUE(same_frame(background_picture, back) && same_frame(screen, cube));  // feedback starts from cubet
}

TEST_F(GritTest, FramesFollowTheWarpTheBallsAndTheBand)
{
    const long phase = warp_phase;
    const long long offset = warp_offset;
    keep_presented_frames(true);
    run_frames(170);  // past frame 159, when band column 0 is full; the balls leave at top and bottom
    TestPicture expected = cube;
    for (int f = 0; f < 170; ++f) {
        warp(expected, phase + 5L * f, offset + 256LL * f);
        balls(expected, f);
        for (int k = 0; k < 11; ++k)
            for (int s = 1; s < 200; ++s) expected[(200 - s) * 320 + 20 + k] = band(f, k, s);
        ASSERT_TRUE(same_frame(presented_frame(f), expected)) << "frame " << f;
    }
    for (int k = 0; k < 11; ++k) EXPECT_EQ(screen[64000 + 20 + k], band(169, k, 0));  // the margin row
    EXPECT_TRUE(presented_frame(59)[660] == 0u && presented_frame(60)[660] == grit_pixel(0, 0));  // fills from the top
}

TEST_F(GritTest, BandTurnsBlackWhereItReadsPastTheStrip)
{
    run_frames(5900);  // d = 11,480: column 10 runs past the strip's end from step 40
    for (int k = 0; k < 11; ++k)
        for (int s = 0; s < 200; ++s) ASSERT_EQ(screen[(200 - s) * 320 + 20 + k], band(5899, k, s)) << k << " " << s;
    EXPECT_TRUE(screen[160 * 320 + 30] == 0u && screen[161 * 320 + 30] != 0u);
}

TEST_F(GritTest, BallsClipAtTheFrameIndexBoundsAndRightOfColumn319)
{
    run_frames(0);  // set-up only: loads the ball sprite
    TestPicture start = random_picture(24, 100);
    for (int i = 0; i < 64000; ++i) start[i] |= static_cast<std::uint32_t>(i * 37 & 255) << 24;
    std::fill(screen - 6400, screen + 70400, 0u);  // the margins stay black
    for (const auto& [x, y] : {std::pair{100, 5}, {100, -11}, {200, 195}, {150, 211}, {315, 100}, {330, 60},
                               {5, 150}, {0, 0}, {319, 199}, {-20, 50}}) {
        std::copy(start.begin(), start.end(), screen);
        TestPicture expected = start;
        reference_add_sprite(expected, ball.data(), 320, 24, 24, x - 12, y - 12, true);
        draw_ball(x, y);
        EXPECT_TRUE(same_frame(screen, expected)) << x << ", " << y;
    }
    EXPECT_EQ(std::count(screen - 6400, screen, 0u) + std::count(screen + 64000, screen + 70400, 0u), 12800);
}
