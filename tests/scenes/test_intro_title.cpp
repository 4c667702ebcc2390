// test_intro_title.cpp -- the intro title's slide across calls and its title pictures.
#include "fake_music.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

void expect_intro_frame(const std::uint32_t* frame, long t)
{
    for (int i = 0; i < frame_pixels; ++i)
        ASSERT_EQ(frame[i], blend_add(overlay_picture[i], blend_add(backdrop2[(t + i) % 64000], backdrop1[(i + 2 * t) % 64000])))
            << "t " << t << " pixel " << i;
}

void random_backdrops()
{
    std::srand(11);
    for (int i = 0; i < frame_pixels; ++i) {
        backdrop1[i] = std::rand() & 0xFFFFFF;
        backdrop2[i] = std::rand() & 0xFFFFFF;
    }
}

// The order `order` for `frames` presentations, then the next order.
void play_order_for(int order, long frames)
{
    fake_music_script([=](long presented, long) { return std::uint32_t(presented < frames ? order : order + 1); });
}

}  // namespace

TEST(IntroTitleScene, SlideCarriesOnAcrossCallsAndWraps)
{
    open_test_display();
    random_backdrops();
    intro_scroll = 63990;  // both read positions wrap within these frames
    play_order_for(5, 3);
    keep_presented_frames(true);
    intro_title_scene(5);
    ASSERT_EQ(fake_music_frames(), 3);
    for (std::uint32_t p : overlay_picture) ASSERT_EQ(p, 0u);  // order 5: the stars alone
    for (int k = 0; k < 3; ++k) expect_intro_frame(presented_frame(k), 63990 + k);
    EXPECT_EQ(intro_scroll, 63993);

    for (auto& p : overlay_picture) p = std::rand() & 0xFFFFFF;  // order 9 keeps the title it finds
    play_order_for(9, 2);
    keep_presented_frames(true);
    intro_title_scene(9);
    ASSERT_EQ(fake_music_frames(), 2);
    for (int k = 0; k < 2; ++k) expect_intro_frame(presented_frame(k), 63993 + k);
    EXPECT_EQ(intro_scroll, 63995);
}

TEST(IntroTitleScene, OrderNoLongerPlayingDrawsNothing)
{
    open_test_display();
    for (auto& p : overlay_picture) p = 0x123456;
    const int scroll = intro_scroll;
    fake_music_at(6, 0);
    intro_title_scene(5);
    EXPECT_EQ(fake_music_frames(), 0);
    EXPECT_EQ(intro_scroll, scroll);
    EXPECT_EQ(overlay_picture[777], 0u);  // the title was still replaced
}
