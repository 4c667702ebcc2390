// test_display.cpp -- the mode menu, the main console's options, the frame's
// place in the surface, and the entry's error path, against the headless console.
// Each menu run happens in a child process (the menu runs once per program).
#include "platform/console/console.h"
#include "platform/console/headless.h"
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Answers the menu with `keys` in one go, then reports the main console's mode.
[[noreturn]] void run_menu_and_report(std::initializer_list<int> keys)
{
    for (int key : keys) headless_push_key(key);
    open_display();
    const HeadlessConsoleState s = headless_state();
    std::fprintf(stderr, "mode %dx%d fullscreen=%d title=%s opens=%ld\n", s.width, s.height,
                 s.fullscreen ? 1 : 0, s.title, s.opens);
    std::exit(0);
}

void report_opens_at_exit()
{
    std::fprintf(stderr, "opens=%ld open=%d\n", headless_state().opens, headless_state().open ? 1 : 0);
}

std::vector<std::uint32_t> last_frame;
void keep_frame(const std::uint32_t* pixels, int w, int h, const char*, long, void*)
{
    last_frame.assign(pixels, pixels + w * h);
}

}  // namespace

TEST(ModeMenu, EachChoiceOpensTheMainConsoleInItsMode)
{
    EXPECT_EXIT(run_menu_and_report({'A'}), testing::ExitedWithCode(0),
                "mode 320x240 fullscreen=1 title=Velmora opens=2");
    EXPECT_EXIT(run_menu_and_report({'B'}), testing::ExitedWithCode(0),
                "mode 320x240 fullscreen=0 title=Velmora");
    EXPECT_EXIT(run_menu_and_report({'C'}), testing::ExitedWithCode(0),
                "mode 640x480 fullscreen=0 title=Velmora");
}

TEST(ModeMenu, KeysReadInOneGoApplyTheirOptionsInTurnAndOthersAreIgnored)
{
    // B then C: both groups apply, B's first, so C's mode wins.
    EXPECT_EXIT(run_menu_and_report({'Q', 'B', 'C'}), testing::ExitedWithCode(0),
                "mode 640x480 fullscreen=0");
    // C then A: A's width, height and full screen after C's.
    EXPECT_EXIT(run_menu_and_report({'C', '1', 'A'}), testing::ExitedWithCode(0),
                "mode 320x240 fullscreen=1");
    // A then B: B's "windowed output" ends A's full screen.
    EXPECT_EXIT(run_menu_and_report({'A', 'B'}), testing::ExitedWithCode(0),
                "mode 320x240 fullscreen=0");
}

TEST(ModeMenu, EscapeQuitsAtOnceWithoutOpeningTheMainConsole)
{
    EXPECT_EXIT(
        {
            std::atexit(report_opens_at_exit);
            run_menu_and_report({'Z', key_escape, 'B'});
        },
        testing::ExitedWithCode(0), "opens=1 open=0");
}

TEST(Entry, AConsoleThatCannotOpenIsReportedAndEndsWithAFailureCode)
{
    EXPECT_EXIT(
        {
            headless_fail_next_open(true);
            std::exit(show_main(Variant::final_build));
        },
        testing::ExitedWithCode(1), "velmora: cannot open the window \"Choose Mode\": no display");
}

TEST(Presentation, TheFrameSitsAtSurfaceRow20AndItsAddressNeverChanges)
{
    EXPECT_EXIT(
        {
            headless_push_key('B');
            headless_set_frame_handler(keep_frame, nullptr);
            std::uint32_t* surface = surface_lock(frame_surface);
            open_display();
            bool ok = screen == surface + 6400;
            std::uint32_t* first = screen;
            screen[0] = 0x00123456u;
            screen[63999] = 0x00654321u;
            present_frame();
            ok = ok && screen == first && last_frame.size() == 320u * 240u;
            ok = ok && last_frame[20 * 320] == 0x00123456u && last_frame[219 * 320 + 319] == 0x00654321u;
            // The margins stay black.
            for (int i = 0; i < 6400; ++i) ok = ok && last_frame[i] == 0 && last_frame[220 * 320 + i] == 0;
            present_frame();
            ok = ok && screen == first;
            std::exit(ok ? 0 : 3);
        },
        testing::ExitedWithCode(0), "");
}
