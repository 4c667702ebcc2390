// test_credits.cpp -- the credits scene's frames, phase by phase, and its early end.
#include "fake_music.h"
#include "scene_pictures.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

#include <cmath>

namespace {

constexpr int name_width[4] = {80, 56, 79, 125}, name_height[4] = {25, 14, 16, 15};
constexpr int name_leftmost[4] = {10, 10, 16, 6};
const char* const name_file[4] = {"qd\\gfx\\sprites\\rimt.pcx", "qd\\gfx\\sprites\\tast.pcx",
                                  "qd\\gfx\\sprites\\zenut.pcx", "qd\\gfx\\sprites\\kolbt.pcx"};

class CreditsTest : public SceneFolderTest {
protected:
    void SetUp() override
    {
        SceneFolderTest::SetUp();
        write_test_picture("qd\\gfx\\bak\\dsg3.pcx", backdrop);
        write_test_picture("qd\\gfx\\bak\\dsg31.pcx", banner);
        for (int n = 0; n < 4; ++n) write_test_picture(name_file[n], names[n]);
        write_test_picture("qd\\gfx\\logos\\velmora.pcx", logo);
        std::mt19937 random(8);
        for (auto& p : ring_sprite) p = random() % 3 == 0 ? 0u : random() & 0x3F3F3Fu;
        open_test_display();
        keep_presented_frames(true);
    }

    // A frame of the names phase of `order` at music row `row`; b as the scene keeps it.
    TestPicture name_frame(int& b, int order, int row) const
    {
        b += 2;
        TestPicture frame = backdrop;
        const int radius = static_cast<int>(std::trunc(60 * std::sin(b * 0.017453333333333335)));
        for (int t = 0; t < 360; t = static_cast<int>(t + 45.0)) {
            const int x = 273 + static_cast<int>(std::trunc(radius * std::cos((t + b) * 0.0174532)));
            const int y = 160 + static_cast<int>(std::trunc(radius * std::sin((t + b) * 0.0174532)));
            reference_add_sprite(frame, ring_sprite, 43, 43, 43, x - 21, y - 21);
        }
        reference_add_sprite(frame, banner.data(), 320, 140, 40, 0, std::max(10, 250 - b));
        if (row == 32) b = 0;
        const int n = (order == 6 ? 0 : 2) + (row >= 32 ? 1 : 0);
        const int x = std::max(std::min(2 * (250 - b), 320), name_leftmost[n]);
        reference_add_sprite(frame, names[n].data(), 320, name_width[n], name_height[n], x, 18);
        return frame;
    }

    TestPicture backdrop = random_picture(1, 60), banner = random_picture(2, 90), logo = random_picture(7);
    TestPicture names[4] = {random_picture(3, 90), random_picture(4, 90), random_picture(5, 90),
                            random_picture(6, 90)};
};

// Order 5: the fade-in (k to 256), blurred from row 51 (not on row 50). Order 6: the first name
// slides all the way in, row 32 restarts the slide with the second, which comes
// to rest. Order 7: the third name, then the fourth at once (b runs on past row 32).
std::uint32_t script_position(long f, long = 0)
{
    const std::pair<long, std::uint32_t> steps[] = {{138, 5 | 20 << 16}, {140, 5 | 50 << 16}, {143, 5 | 51 << 16},
                                                    {213, 6 | 31 << 16},
                                                    {216, 6 | 32 << 16}, {346, 6 | 33 << 16}, {476, 7},
                                                    {481, 7 | 40 << 16}};
    for (const auto& [end, position] : steps)
        if (f < end) return position;
    return 8;
}

}  // namespace

TEST_F(CreditsTest, EveryFrameOfTheThreePhasesFollowsTheFormulas)
{
    fake_music_script(script_position);
    credits_scene();
    ASSERT_EQ(fake_music_frames(), 481);

    TestPicture smeared_logo = logo;
    int b = 0;
    for (long n = 0; n < 481; ++n) {
        const int order = script_position(n) & 0xFFFF, row = script_position(n) >> 16;
        TestPicture expected(64000);
        if (order == 5) {
            const auto k = static_cast<std::uint32_t>(std::min(2 * n, 256L));
            for (int i = 0; i < 64000; ++i) expected[i] = blend_add_scaled(backdrop[i], smeared_logo[i], k);
            if (row > 50) smear(smeared_logo.data(), 2);  // after the frame is mixed
        } else {
            if (n == 143 || n == 346) b = 0;  // each phase starts afresh
            expected = name_frame(b, order, row);
        }
        ASSERT_TRUE(same_frame(presented_frame(n), expected)) << "frame " << n << " (order " << order << ")";
    }
}

TEST_F(CreditsTest, EnteredAtOrderFiveRowTenItReturnsWithTheBackdropShown)
{
    fake_music_script([](long frames, long) { return frames < 3 ? 5u | 10u << 16 : 8u; });
    credits_scene();
    EXPECT_EQ(fake_music_frames(), 0);
    EXPECT_TRUE(same_frame(screen, backdrop));
}
