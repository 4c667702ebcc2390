// test_end_screens.cpp -- the end screens against frames computed from their
// formulas: the strip's 1,200-frame cycle, the ring of rings and its clipping
// rule, the key test and the 192,000-frame bound.
#include "fake_music.h"
#include "scene_pictures.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

#include <cmath>
#include <map>

namespace {

// The scene never looks at the music, so frames are counted here, the chosen
// ones kept, and a key pressed once `key_after` frames have been shown.
struct EndRun {
    long frames = 0, key_after = -1;
    std::map<long, TestPicture> kept;  // the frames to keep, filled as they are shown
} run;

void on_frame(const std::uint32_t* pixels, int width, int height, const char*, long, void*)
{
    if (width != 320 || height != 240) return;
    if (const auto kept = run.kept.find(run.frames); kept != run.kept.end())
        kept->second.assign(pixels + 6400, pixels + 70400);
    if (++run.frames == run.key_after) headless_push_key(' ');
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
        std::fill(std::begin(ring_sprite), std::end(ring_sprite), 0u);
    }
    void TearDown() override
    {
        headless_clear_keys();
        SceneFolderTest::TearDown();
    }

    void run_keeping(std::initializer_list<long> frames, long key_after)
    {
        for (const long a : frames) run.kept[a];
        run.key_after = key_after;
        end_screens();
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
            reference_add_sprite(frame, ring_sprite, 43, 43, 43, cx + static_cast<int>(std::trunc(50 * std::cos(theta))) - 21,
                                 cy + static_cast<int>(std::trunc(50 * std::sin(theta))) - 21);
        }
        return frame;
    }

    TestPicture back = random_picture(31, 120), first = random_picture(32, 160), second = random_picture(33, 160);
};

}  // namespace

TEST_F(EndScreensTest, StripCyclesBlackFirstSecondEvery1200Frames)
{
    run_keeping({0, 2, 400, 401, 1199, 1200}, 1201);
    ASSERT_EQ(run.frames, 1201);  // the key ends it at the next frame's test
    for (auto& [a, frame] : run.kept) EXPECT_TRUE(same_frame(frame.data(), expected_frame(a))) << "frame " << a;
    EXPECT_TRUE(same_frame(run.kept[0].data(), back));  // the black third: the background alone
    TestPicture first_alone(64000);
    for (int i = 0; i < 64000; ++i) first_alone[i] = add_pixels(back[i], first[i]);
    EXPECT_TRUE(same_frame(run.kept[400].data(), first_alone));
    EXPECT_TRUE(same_frame(run.kept[1200].data(), run.kept[0]));
}

TEST_F(EndScreensTest, EightRingsTurnAboutACentreThatCirclesTheMiddle)
{
    std::mt19937 random(34);
    for (auto& p : ring_sprite) p = random() % 3 == 0 ? 0u : random() & 0x7F7F7Fu;
    run_keeping({0, 1, 22, 45, 90, 135, 179, 180, 1200}, 1201);
    for (auto& [a, frame] : run.kept) EXPECT_TRUE(same_frame(frame.data(), expected_frame(a))) << "frame " << a;
}

// The rings are drawn by the flares' helper: its rule is the end screens' rule,
// every pixel added (black too), skipped outside the frame index or right of 319.
TEST_F(EndScreensTest, SharedSpriteHelperClipsTheRingsByFrameIndexAndRightEdge)
{
    std::mt19937 random(35);
    for (auto& p : ring_sprite) p = random() % 3 == 0 ? 0u : random() & 0xFFFFFFu;
    TestPicture start = random_picture(36, 200);
    for (int i = 0; i < 64000; ++i) start[i] |= static_cast<std::uint32_t>(i * 13 & 255) << 24;
    std::fill(screen - 6400, screen, 0u);
    std::fill(screen + 64000, screen + 70400, 0u);
    for (const auto& [x, y] : {std::pair{160, 10}, {160, -21}, {160, -22}, {160, 195}, {160, 220}, {5, 100},
                               {-30, 100}, {300, 100}, {330, 3}, {340, 100}, {341, 100}, {0, 0}, {319, 199}}) {
        std::copy(start.begin(), start.end(), screen);
        TestPicture expected = start;
        reference_add_sprite(expected, ring_sprite, 43, 43, 43, x - 21, y - 21);
        add_sprite_centred(ring_sprite, x, y);
        EXPECT_TRUE(same_frame(screen, expected)) << x << ", " << y;
    }
    EXPECT_TRUE(std::all_of(screen - 6400, screen, [](std::uint32_t p) { return p == 0; }));
    EXPECT_TRUE(std::all_of(screen + 64000, screen + 70400, [](std::uint32_t p) { return p == 0; }));
}

TEST_F(EndScreensTest, AWaitingKeyLoadsThePicturesAndReturnsWithoutDrawing)
{
    const TestPicture marker = random_picture(37);
    std::copy(marker.begin(), marker.end(), screen);
    headless_push_key(' ');
    end_screens();
    EXPECT_EQ(run.frames, 0);
    EXPECT_TRUE(same_frame(screen, marker));
    EXPECT_TRUE(same_frame(background_picture, back));
}

TEST_F(EndScreensTest, WithoutAKeyItEndsAfter192000Frames)
{
    run_keeping({191999}, -1);
    EXPECT_EQ(run.frames, 192000);
    EXPECT_TRUE(same_frame(run.kept[191999].data(), expected_frame(191999)));
}
