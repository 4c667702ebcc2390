// test_smoke.cpp -- the scene test harness itself: display opened, frames counted.
#include "fake_music.h"

#include "shell/shell.h"

#include <gtest/gtest.h>

TEST(SceneHarness, PresentsThroughTheHeadlessConsoleAndScriptsThePosition)
{
    open_test_display();
    fake_music_at(3, 17);
    EXPECT_EQ(music_order(), 3);
    EXPECT_EQ(music_row(), 17);
    present_frame();
    present_frame();
    EXPECT_EQ(fake_music_frames(), 2);
}
