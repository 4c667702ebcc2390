// end_screens.cpp -- the end screens: a tall strip of end pictures scrolls up
// over a still backdrop in an endless cycle, under eight rings that turn about a
// centre which itself circles the middle of the screen. Runs until a key.
#include "scenes.h"

#include "../assets/assets.h"
#include "../platform/console/console.h"
#include "../shell/shell.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr int strip_rows = 600;        // black, first end picture, second end picture
constexpr long frame_limit = 192000;   // the scene ends after this many frames

std::uint32_t end_strip[strip_rows * frame_width];  // 192,000 pixels

static_assert(ring_size == flare_size, "the rings are drawn as the flares are");

// One frame row: backdrop plus strip, pixel by pixel. A fixed length and
// unaliased rows let the compiler run it on several pixels at once.
void add_row(std::uint32_t* __restrict out, const std::uint32_t* __restrict back,
             const std::uint32_t* __restrict strip)
{
    for (int i = 0; i < frame_width; ++i) out[i] = blend_add(back[i], strip[i]);
}

// The backdrop plus the strip from row a / 2 on, wrapping from the strip's last
// row to its first (the cycle's index is reduced per row, not per pixel).
void draw_strip_layer(long a)
{
    const int first_row = static_cast<int>(a / 2 % strip_rows);
    for (int y = 0; y < frame_height; ++y) {
        const int strip_row = (first_row + y) % strip_rows;
        add_row(screen + y * frame_width, background_picture + y * frame_width, end_strip + strip_row * frame_width);
    }
}

// The centre turns -2 degrees a frame on a circle of 30 about (160, 100), the
// ring of rings +2 degrees about it. Every sprite pixel is added, black included,
// inside the frame index range and left of column 320: add_sprite_centred's rule.
void draw_rings(long a)
{
    const double turn = static_cast<double>(-a) * 0.03490666666666667;
    const int cx = static_cast<int>(30.0 * std::cos(turn) + 160.0);
    const int cy = static_cast<int>(30.0 * std::sin(turn) + 100.0);
    for (int h = 0; h < 360; h += 45) {
        const double theta = static_cast<double>(h + 2 * a) * 0.0174532;
        add_sprite_centred(ring_sprite, cx + static_cast<int>(50.0 * std::cos(theta)),
                           cy + static_cast<int>(50.0 * std::sin(theta)));
    }
}

}  // namespace

void end_screens()
{
    load_pcx("qd\\gfx\\misc\\endscbak.pcx", background_picture);
    std::fill(end_strip, end_strip + frame_pixels, 0u);
    load_pcx("qd\\gfx\\misc\\endsc1.pcx", end_strip + frame_pixels);
    load_pcx("qd\\gfx\\misc\\endsc2.pcx", end_strip + 2 * frame_pixels);
    for (long a = 0; a < frame_limit; ++a) {
        if (console_key_waiting(console)) return;
        draw_strip_layer(a);
        draw_rings(a);
        present_frame();
    }
}
