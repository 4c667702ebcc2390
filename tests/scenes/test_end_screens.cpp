// test_end_screens.cpp -- the end screens' strip cycle, rings and their clipping, and bound.
#include "fake_music.h"
#include "scene_pictures.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

#include <cmath>
#include <map>

namespace {

// The scene never looks at the music, so frames are counted here and the chosen ones kept.
struct EndRun {
    long frames = 0;
    std::map<long, TestPicture> kept;  // the frames to keep, filled as they are shown
} run;

void on_frame(const std::uint32_t* pixels, int width, int height, const char*, long, void*)
{
    if (width != 320 || height != 240) return;
    if (const auto kept = run.kept.find(run.frames); kept != run.kept.end())
        kept->second.assign(pixels + 6400, pixels + 70400);
    ++run.frames;
}

class EndScreensTest : public SceneFolderTest {
protected:
    void SetUp() override
    {
        SceneFolderTest::SetUp();
        write_test_picture("qd\\gfx\\misc\\endscbak.pcx", back);
        write_test_picture("qd\\gfx\\misc\\endsc1.pcx", first);
        write_test_picture("qd\\gfx\\misc\\endsc2.pcx", second);
        open_test_display();
        headless_set_frame_handler(on_frame, nullptr);
        run = EndRun();
        std::mt19937 random(34);
        for (auto& p : ring_sprite) p = random() % 3 == 0 ? 0u : random() & 0x7F7F7Fu;
    }

    TestPicture expected_frame(long a) const
    {
        TestPicture frame(64000);
        for (long i = 0; i < 64000; ++i) {  // strip pixel j: rows 0..199 black, then the two pictures
            const long j = ((a / 2) * 320 + i) % 192000;
            frame[i] = add_pixels(back[i], j < 64000 ? 0u : j < 128000 ? first[j - 64000] : second[j - 128000]);
        }
        const int cx = static_cast<int>(std::trunc(30 * std::cos(-a * 0.03490666666666667) + 160));
        const int cy = static_cast<int>(std::trunc(30 * std::sin(-a * 0.03490666666666667) + 100));
        for (int h = 0; h < 360; h += 45) {
            const double theta = (h + 2 * a) * 0.0174532;
            const int x = cx + static_cast<int>(std::trunc(50 * std::cos(theta))) - 21;
            const int y = cy + static_cast<int>(std::trunc(50 * std::sin(theta))) - 21;
            reference_add_sprite(frame, ring_sprite, 43, 43, 43, x, y);
        }
        return frame;
    }

    TestPicture back = random_picture(31, 120), first = random_picture(32, 160), second = random_picture(33, 160);
};

}  // namespace

TEST_F(EndScreensTest, StripCyclesEvery1200FramesUnderTurningRingsUntil192000Frames)
{
    for (const long a : {0, 1, 2, 22, 45, 90, 135, 179, 180, 400, 401, 1199, 1200, 191999}) run.kept[a];
    end_screens();
    EXPECT_EQ(run.frames, 192000);
    for (auto& [a, frame] : run.kept) EXPECT_TRUE(same_frame(frame.data(), expected_frame(a))) << "frame " << a;
}

// The flares' helper draws the rings: every pixel added (black too), skipped
// outside the frame index or right of column 319, for any coordinates.
TEST_F(EndScreensTest, SharedSpriteHelperClipsByFrameIndexAndRightEdge)
{
    TestPicture start = random_picture(36, 200);
    for (int i = 0; i < 64000; ++i) start[i] |= static_cast<std::uint32_t>(i * 13 & 255) << 24;
    std::fill(screen - 6400, screen + 70400, 0u);  // the margins stay black
    for (const auto& [x, y] : {std::pair{160, 10}, {160, -21}, {160, -22}, {160, 195}, {160, 220}, {5, 100},
                               {-30, 100}, {300, 100}, {330, 3}, {340, 100}, {341, 100}, {0, 0}, {319, 199},
                               {2000000000, -2000000000}, {-2000000000, 2000000000}}) {
        std::copy(start.begin(), start.end(), screen);
        TestPicture expected = start;
        reference_add_sprite(expected, ring_sprite, 43, 43, 43, x - 21, y - 21);
        add_sprite_centred(ring_sprite, x, y);
        EXPECT_TRUE(same_frame(screen, expected)) << x << ", " << y;
    }
    EXPECT_EQ(std::count(screen - 6400, screen, 0u) + std::count(screen + 64000, screen + 70400, 0u), 12800);
}

