// test_credits.cpp -- the credits scene against frames computed from its formulas:
// the logo fade-in and its blur, the names' slide and clipping, the banner's rise,
// the ring circle, the restart at row 32, and that no key ends it.
#include "fake_music.h"
#include "scene_pictures.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

#include <cmath>

namespace {

std::uint32_t add_scaled(std::uint32_t a, std::uint32_t b, std::uint32_t k)
{
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8)
        out |= std::min(255u, (((a >> shift) & 255u) * 256 + ((b >> shift) & 255u) * k) >> 8) << shift;
    return out;
}

// In place, ascending: buf[i] = half(buf[i - d]) + half(buf[i + d]); outside reads black.
void reference_smear(TestPicture& buf, int d)
{
    auto half = [&](long i) { return i < 0 || i >= 64000 ? 0u : (buf[i] >> 1) & 0x7F7F7F7Fu; };
    for (long i = 0; i < 64000; ++i) buf[i] = half(i - d) + half(i + d);
}

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
    void TearDown() override
    {
        keep_presented_frames(false);
        headless_clear_keys();
        SceneFolderTest::TearDown();
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

// Order 5: the fade-in (k to 256), blurred from row 51. Order 6: the first name
// slides all the way in, row 32 restarts the slide with the second, which comes
// to rest. Order 7: the third name, then the fourth at once (b runs on past row 32).
std::pair<int, int> script_position(long f)
{
    const std::pair<long, std::pair<int, int>> steps[] = {
        {140, {5, 20}}, {143, {5, 51}}, {213, {6, 31}}, {216, {6, 32}}, {346, {6, 33}},
        {476, {7, 0}},  {481, {7, 40}}};
    for (const auto& [end, position] : steps)
        if (f < end) return position;
    return {8, 0};
}

}  // namespace

TEST_F(CreditsTest, EveryFrameOfTheThreePhasesFollowsTheFormulasAndAKeyChangesNothing)
{
    headless_push_key(' ');
    fake_music_script([](long frames, long) {
        const auto [order, row] = script_position(frames);
        return static_cast<std::uint32_t>(order | row << 16);
    });
    credits_scene();
    ASSERT_EQ(fake_music_frames(), 481);

    TestPicture smeared_logo = logo;
    int b = 0;
    for (long n = 0; n < 481; ++n) {
        const auto [order, row] = script_position(n);
        TestPicture expected(64000);
        if (order == 5) {
            const auto k = static_cast<std::uint32_t>(std::min(2 * n, 256L));
            for (int i = 0; i < 64000; ++i) expected[i] = add_scaled(backdrop[i], smeared_logo[i], k);
            if (row > 50) reference_smear(smeared_logo, 2);  // after the frame is mixed
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
