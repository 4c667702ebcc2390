// credits.cpp -- the credits scene: the title logo fades in additively over the
// credits backdrop, then the four credit names slide in from the right under a
// rising banner while eight rings circle on a pulsing radius. No key test.
#include "scenes.h"

#include "../assets/assets.h"
#include "../shell/shell.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

constexpr int banner_width = 140;
constexpr int banner_height = 40;
constexpr int name_top = 18;
constexpr int second_name_row = 32;  // the music row from which the second name slides in

// Credit names 1 to 4, each cut from the top-left of its picture.
constexpr int name_width[4] = {80, 56, 79, 125};
constexpr int name_height[4] = {25, 14, 16, 15};
constexpr int name_leftmost[4] = {10, 10, 16, 6};

std::uint32_t credits_picture[frame_pixels];  // the backdrop of every frame
std::uint32_t banner[banner_width * banner_height];
std::uint32_t name_1[80 * 25];
std::uint32_t name_2[56 * 14];
std::uint32_t name_3[79 * 16];
std::uint32_t name_4[125 * 15];
std::uint32_t* const name_sprites[4] = {name_1, name_2, name_3, name_4};

static_assert(ring_size == flare_size, "the rings are drawn as the flares are");

// Adds a w x h sprite with its top-left at (x, top); 0 <= x and x + columns <= 320,
// so whole rows are either inside the frame or skipped.
void add_rows(const std::uint32_t* sprite, int width, int height, int columns, int x, int top)
{
    for (int row = 0; row < height; ++row) {
        const long long frame_row = static_cast<long long>(top) + row;
        if (frame_row < 0 || frame_row >= frame_height) continue;
        std::uint32_t* line = screen + frame_row * frame_width + x;
        const std::uint32_t* source = sprite + row * width;
        for (int col = 0; col < columns; ++col) line[col] = blend_add(line[col], source[col]);
    }
}

// Credit name `type` (1 to 4) with its top-left at (x, y); x is held between the
// name's leftmost column and 320, and columns from 320 on are dropped.
void draw_credit_name(int type, int x, int y)
{
    if (type < 1 || type > 4) return;
    const int n = type - 1;
    x = std::max(std::min(x, frame_width), name_leftmost[n]);
    const int columns = std::min(name_width[n], frame_width - x);
    add_rows(name_sprites[n], name_width[n], name_height[n], columns, x, y);
}

void draw_banner(int top)
{
    add_rows(banner, banner_width, banner_height, banner_width, 0, top);
}

void draw_ring(int x, int y)
{
    add_sprite_centred(ring_sprite, x, y);
}

// The title logo (background_picture) added over the backdrop with a weight
// rising by 2 a frame to 256; it blurs a little more each frame from row 51.
void fade_in_logo()
{
    int k = 0;
    do {
        for (int j = 0; j < frame_pixels; ++j)
            screen[j] = blend_add_scaled(credits_picture[j], background_picture[j], static_cast<std::uint32_t>(k));
        if (k < 255) k += 2;
        if (music_row() > 50) smear(background_picture, 2);
        present_frame();
    } while (music_order() == 5);
}

// One frame of the names phase of `order`; b counts two a frame and restarts on
// every frame of row 32, which restarts the ring pulse, the banner and the slide.
void draw_name_frame(int order, int first, int second, int& b)
{
    b += 2;
    std::memcpy(screen, credits_picture, sizeof credits_picture);
    const int radius = static_cast<int>(60.0 * std::sin(b * 0.017453333333333335));
    for (int t = 0; t < 360; t = static_cast<int>(t + 45.0)) {
        const double angle = (t + b) * 0.0174532;
        draw_ring(273 + static_cast<int>(radius * std::cos(angle)),
                  160 + static_cast<int>(radius * std::sin(angle)));
    }
    draw_banner(std::max(10, 250 - b));
    if (music_order() == order && music_row() == second_name_row) b = 0;
    // Each test reads the position afresh.
    if (music_row() < second_name_row) draw_credit_name(first, 2 * (250 - b), name_top);
    if (music_row() >= second_name_row) draw_credit_name(second, 2 * (250 - b), name_top);
    present_frame();
}

void run_names(int order, int first, int second)
{
    int b = 0;
    do draw_name_frame(order, first, second, b);
    while (music_order() == order);
}

}  // namespace

void credits_scene()
{
    load_pcx("qd\\gfx\\bak\\dsg3.pcx", credits_picture);
    load_sprite("qd\\gfx\\bak\\dsg31.pcx", banner, banner_width, banner_height);
    load_sprite("qd\\gfx\\sprites\\zenut.pcx", name_3, name_width[2], name_height[2]);
    load_sprite("qd\\gfx\\sprites\\kolbt.pcx", name_4, name_width[3], name_height[3]);
    load_sprite("qd\\gfx\\sprites\\rimt.pcx", name_1, name_width[0], name_height[0]);
    load_sprite("qd\\gfx\\sprites\\tast.pcx", name_2, name_width[1], name_height[1]);
    load_pcx("qd\\gfx\\logos\\velmora.pcx", background_picture);
    std::memcpy(screen, credits_picture, sizeof credits_picture);

    if (music_row() > 10 && music_order() == 5) fade_in_logo();
    if (music_order() == 6) run_names(6, 1, 2);
    if (music_order() == 7) run_names(7, 3, 4);
}
