// test_console_sdl.cpp -- the SDL console's decisions, without a display: which
// key presses count (and which keys held into a window do not yet), option
// texts, when there is no display, where a fatal error may show a message box,
// and how presentations are paced (against synthetic clocks: a 60 Hz display,
// vsync not honoured, vsync simulated at 62.5 Hz).
#include "platform/console/console_local.h"
#include "platform/console/sdl_policy.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

TEST(SdlKeys, AModifierAloneIsNoKeyAndNeverChangesTheLetter)
{
    // Symbols made from their scancodes, as SDL makes them on a plain layout.
    for (SDL_Scancode modifier : {SDL_SCANCODE_LSHIFT, SDL_SCANCODE_RSHIFT, SDL_SCANCODE_LCTRL, SDL_SCANCODE_RCTRL,
                                  SDL_SCANCODE_LALT, SDL_SCANCODE_RALT, SDL_SCANCODE_LGUI, SDL_SCANCODE_RGUI,
                                  SDL_SCANCODE_MODE, SDL_SCANCODE_CAPSLOCK, SDL_SCANCODE_NUMLOCKCLEAR,
                                  SDL_SCANCODE_SCROLLLOCK})
        EXPECT_EQ(translate_key(SDL_SCANCODE_TO_KEYCODE(modifier), modifier), not_a_key) << modifier;
    // A layout that gives the key no symbol: its place on the keyboard decides.
    for (SDL_Scancode modifier : {SDL_SCANCODE_LSHIFT, SDL_SCANCODE_RALT, SDL_SCANCODE_MODE, SDL_SCANCODE_RGUI})
        EXPECT_EQ(translate_key(SDLK_UNKNOWN, modifier), not_a_key) << modifier;
    // Remapped keys count as what they now are: Caps Lock made Escape or Ctrl.
    EXPECT_EQ(translate_key(SDLK_ESCAPE, SDL_SCANCODE_CAPSLOCK), key_escape);
    EXPECT_EQ(translate_key(SDLK_LCTRL, SDL_SCANCODE_CAPSLOCK), not_a_key);
    // Shift+B and Ctrl+B report the key's symbol, which SDL gives in lower case.
    EXPECT_EQ(translate_key(SDLK_b, SDL_SCANCODE_B), 'B');
    EXPECT_EQ(translate_key(SDLK_a, SDL_SCANCODE_Q), 'A') << "the layout's letter, not the key's place";
}

TEST(SdlKeys, EveryOtherKeyHasItsOwnCode)
{
    EXPECT_EQ(translate_key(SDLK_z, SDL_SCANCODE_Z), 'Z');
    EXPECT_EQ(translate_key(SDLK_7, SDL_SCANCODE_7), '7');
    EXPECT_EQ(translate_key(SDLK_RETURN, SDL_SCANCODE_RETURN), key_enter);
    EXPECT_EQ(translate_key(SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER), key_enter);
    EXPECT_EQ(translate_key(SDLK_SPACE, SDL_SCANCODE_SPACE), key_space);
    std::set<int> codes;
    const std::pair<SDL_Keycode, SDL_Scancode> others[] = {
        {SDLK_F1, SDL_SCANCODE_F1},   {SDLK_F2, SDL_SCANCODE_F2},   {SDLK_LEFT, SDL_SCANCODE_LEFT},
        {SDLK_RIGHT, SDL_SCANCODE_RIGHT}, {SDLK_TAB, SDL_SCANCODE_TAB}, {SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE},
        {SDLK_KP_0, SDL_SCANCODE_KP_0}};
    for (const auto& [key, scancode] : others) {
        const int code = translate_key(key, scancode);
        EXPECT_GE(code, 256) << key;
        codes.insert(code);
    }
    EXPECT_EQ(codes.size(), 7u);
}

TEST(ConsoleOptions, SizesAreWholeNumbersInRangeAndBadTextsChangeNothing)
{
    ConsoleOptions options;
    EXPECT_TRUE(apply_console_option(options, "default width 640"));
    EXPECT_TRUE(apply_console_option(options, "default height 480"));
    EXPECT_TRUE(apply_console_option(options, "fullscreen output"));
    EXPECT_EQ(options.width, 640);
    EXPECT_EQ(options.height, 480);
    EXPECT_TRUE(options.fullscreen);
    EXPECT_TRUE(apply_console_option(options, "windowed output"));
    EXPECT_FALSE(options.fullscreen);
    EXPECT_TRUE(apply_console_option(options, "default width 16384"));
    EXPECT_TRUE(apply_console_option(options, "default width 320"));
    for (const char* bad : {"default width 0", "default width -5", "default width 16385",
                            "default width 99999999999999999999", "default width 320x", "default width 320 ",
                            "default width", "default width  +3", "default  width 3", "DirectX", ""}) {
        EXPECT_FALSE(apply_console_option(options, bad)) << bad;
        EXPECT_EQ(options.width, 320) << bad;
        EXPECT_EQ(options.height, 480) << bad;
    }
    EXPECT_FALSE(apply_console_option(options, nullptr));
}

TEST(NoDisplay, OnlyADriverThatShowsNothingAndThatNobodyAskedForCounts)
{
    for (const char* invisible : {"offscreen", "dummy", "evdev"}) {
        EXPECT_TRUE(counts_as_no_display(invisible, nullptr)) << invisible;
        EXPECT_TRUE(counts_as_no_display(invisible, "")) << invisible;
        EXPECT_FALSE(counts_as_no_display(invisible, invisible)) << "the user named it";
    }
    EXPECT_TRUE(counts_as_no_display(nullptr, nullptr));
    for (const char* real : {"x11", "wayland", "KMSDRM"}) EXPECT_FALSE(counts_as_no_display(real, nullptr)) << real;
}

TEST(NoDisplay, TheMessageSaysSoAndWhy)
{
    const std::string unset = no_display_message(nullptr, "");
    EXPECT_NE(unset.find("no display"), std::string::npos) << unset;
    EXPECT_NE(unset.find("DISPLAY is not set"), std::string::npos) << unset;
    const std::string gone = no_display_message(":99", nullptr);
    EXPECT_NE(gone.find("the X display \":99\" cannot be reached"), std::string::npos) << gone;
    const std::string both = no_display_message(":0", "wayland-1");
    EXPECT_NE(both.find(":0"), std::string::npos);
    EXPECT_NE(both.find("wayland-1"), std::string::npos);
}

TEST(FatalErrors, OutputsAreToldApart)
{
    int pipe_ends[2];
    ASSERT_EQ(::pipe(pipe_ends), 0);
    EXPECT_EQ(classify_output(pipe_ends[1]), ErrorOutput::pipe);
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(classify_output(::fileno(file)), ErrorOutput::file);
    const int null_fd = ::open("/dev/null", O_WRONLY);
    EXPECT_EQ(classify_output(null_fd), ErrorOutput::null_device);
    int socket_ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, socket_ends), 0);
    EXPECT_EQ(classify_output(socket_ends[0]), ErrorOutput::socket);
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal >= 0 && ::grantpt(terminal) == 0 && ::unlockpt(terminal) == 0) {
        const int follower = ::open(::ptsname(terminal), O_RDWR | O_NOCTTY);
        EXPECT_EQ(classify_output(follower), ErrorOutput::terminal);
        ::close(follower);
    }
    const int closed = null_fd;
    ::close(null_fd);
    EXPECT_EQ(classify_output(closed), ErrorOutput::closed);
    for (int fd : {pipe_ends[0], pipe_ends[1], socket_ends[0], socket_ends[1], terminal}) ::close(fd);
    std::fclose(file);
}

TEST(FatalErrors, AMessageBoxOnlyWhereTheLineReachesNobodyAndADisplayExists)
{
    for (ErrorOutput output : {ErrorOutput::null_device, ErrorOutput::closed}) {
        EXPECT_TRUE(message_box_wanted(output, true));
        EXPECT_FALSE(message_box_wanted(output, false));
    }
    for (ErrorOutput output : {ErrorOutput::terminal, ErrorOutput::file, ErrorOutput::pipe, ErrorOutput::socket,
                               ErrorOutput::other})
        EXPECT_FALSE(message_box_wanted(output, true)) << int(output);
}

TEST(Pacing, VsyncOnlyForA59To61HzDisplayUnlessAskedFor)
{
    for (int hz : {59, 60, 61}) EXPECT_EQ(choose_pacing(hz, nullptr), Pacing::vsync) << hz;
    for (int hz : {0, 30, 50, 58, 62, 75, 120, 144}) EXPECT_EQ(choose_pacing(hz, ""), Pacing::deadline) << hz;
    EXPECT_EQ(choose_pacing(0, "vsync"), Pacing::vsync);
    EXPECT_EQ(choose_pacing(60, "deadline"), Pacing::deadline);
    EXPECT_EQ(choose_pacing(60, "fast"), Pacing::vsync) << "an unknown request leaves the choice to the rate";
}

namespace {

constexpr std::int64_t ms = 1'000'000;

// Presents `frames` frames on a display with vblanks every `period` (ns) that
// the presentation waits for (or not), the show drawing each frame in
// `draw(frame)` ns. Returns the presentation times.
template <typename Draw>
std::vector<std::int64_t> present_on_display(PresentPacer& pacer, int frames, std::int64_t period, bool waits,
                                             Draw draw)
{
    std::vector<std::int64_t> done;
    std::int64_t now = 1'000 * ms;
    for (int frame = 0; frame < frames; ++frame) {
        now += draw(frame);
        now = std::max(now, next_presentation_time(pacer, now));
        if (waits) now = (now / period + 1) * period;  // the next vblank
        done.push_back(now);
        note_presented(pacer, now);
    }
    return done;
}

}  // namespace

TEST(Pacing, TheDeadlineClockHolds60ASecondWithoutDriftAndNoCatchUpAfterAStall)
{
    PresentPacer pacer;
    // Frames drawn in 3 to 15 ms: presentations exactly one period apart.
    const auto done = present_on_display(pacer, 600, 1, false, [](int f) { return (3 + f % 13) * ms; });
    for (std::size_t i = 1; i < done.size(); ++i) ASSERT_EQ(done[i] - done[i - 1], frame_period_ns) << i;
    // A frame up to two periods late is absorbed: the next ones keep the grid.
    std::int64_t due = next_presentation_time(pacer, done.back() + 30 * ms);
    EXPECT_EQ(due, done.back() + frame_period_ns);
    EXPECT_EQ(next_presentation_time(pacer, due + 1), due + frame_period_ns);
    // A stall of a second moves the deadline: no burst of catch-up frames.
    const std::int64_t late = due + 1'000 * ms;
    EXPECT_EQ(next_presentation_time(pacer, late), late);
    EXPECT_EQ(next_presentation_time(pacer, late + 2 * ms), late + frame_period_ns);
    EXPECT_FALSE(note_presented(pacer, late)) << "the deadline clock has no vsync to give up";
}

TEST(Pacing, AnHonouredVsyncPacesAt59To61HzThroughSlowFramesAndStalls)
{
    for (const double hz : {59.0, 59.94, 60.0, 61.0}) {
        PresentPacer pacer;
        pacer.pacing = Pacing::vsync;
        const auto period = std::int64_t(1e9 / hz);
        // Mostly quick frames, every 50th misses a vblank, every 500th stalls 300 ms.
        const auto done = present_on_display(pacer, 2000, period, true, [](int f) {
            return f % 500 == 499 ? 300 * ms : f % 50 == 49 ? 20 * ms : 4 * ms;
        });
        EXPECT_EQ(pacer.pacing, Pacing::vsync) << hz;
        for (std::size_t i = 1; i < done.size(); ++i) ASSERT_GE(done[i] - done[i - 1], period) << hz << " at " << i;
    }
}

TEST(Pacing, AVsyncNotHonouredFallsBackWithinFourFrames)
{
    PresentPacer pacer;
    pacer.pacing = Pacing::vsync;
    std::int64_t now = 0;
    int frames = 0;
    while (pacer.pacing == Pacing::vsync && frames < 100) {
        now = std::max(now + 2 * ms, next_presentation_time(pacer, now));
        EXPECT_GE(now - pacer.last_present, pacer.started ? frame_period_ns / 2 : 0) << "the guard: at most 120 a second";
        const bool fell_back = note_presented(pacer, now);
        ++frames;
        EXPECT_EQ(fell_back, pacer.pacing == Pacing::deadline);
    }
    EXPECT_EQ(frames, short_run_limit + 1);
    EXPECT_EQ(next_presentation_time(pacer, now + 1), now + 1);
    EXPECT_EQ(next_presentation_time(pacer, now + 2), now + 1 + frame_period_ns) << "now on the deadline clock";
}

TEST(Pacing, AVsyncSimulatedAt62AndAHalfHzFallsBackAfterOneWindow)
{
    PresentPacer pacer;
    pacer.pacing = Pacing::vsync;
    present_on_display(pacer, rate_window + 1, 16 * ms, true, [](int) { return 3 * ms; });
    EXPECT_EQ(pacer.pacing, Pacing::deadline);
    // One presentation short of the window it was still vsync.
    PresentPacer shorter;
    shorter.pacing = Pacing::vsync;
    present_on_display(shorter, rate_window, 16 * ms, true, [](int) { return 3 * ms; });
    EXPECT_EQ(shorter.pacing, Pacing::vsync);
}

TEST(SdlHeldKeys, TheKeyVectorIsReadBitByBitFromKeyCode8)
{
    char keymap[32] = {};
    keymap[0] = static_cast<char>(0xFF);   // below key code 8: undefined in a KeymapNotify
    keymap[1] = 0x01;                      // code 8, the lowest X uses
    keymap[7] = 0x01;                      // code 56
    keymap[31] = static_cast<char>(0x80);  // code 255
    const KeyCodeSet codes = key_codes_from_keymap(keymap);
    EXPECT_EQ(codes.count(), 3u);
    EXPECT_TRUE(codes.test(8) && codes.test(56) && codes.test(255));
}

// The mode key held into the show's window: X repeats it there, and the first
// repeat reaches the console as a fresh press.
TEST(SdlHeldKeys, AKeyHeldWhenTheWindowCameCountsOnlyOncePressedAgain)
{
    constexpr int b = 56, shift = 50, space = 65;
    HeldKeys keys;
    EXPECT_TRUE(press_counts(keys, b)) << "nothing is held before a window comes";
    note_keys_down(keys, KeyCodeSet().set(b).set(shift));
    EXPECT_FALSE(press_counts(keys, b)) << "the repeat of the held key";
    EXPECT_TRUE(press_counts(keys, space)) << "any other key at once";
    EXPECT_TRUE(press_counts(keys, -1)) << "a press X did not name";
    EXPECT_TRUE(press_counts(keys, 300));
    key_released(keys, shift);
    key_released(keys, 300);
    key_released(keys, -1);
    EXPECT_FALSE(press_counts(keys, b)) << "only its own release frees a key";
    key_released(keys, b);
    EXPECT_TRUE(press_counts(keys, b)) << "pressed again after its release";

    // Released in another window while the focus was away: the keys down as
    // the focus comes back find it up, and hold what is down then.
    note_keys_down(keys, KeyCodeSet().set(b));
    note_keys_down(keys, KeyCodeSet().set(space));
    EXPECT_TRUE(press_counts(keys, b));
    EXPECT_FALSE(press_counts(keys, space));
}
