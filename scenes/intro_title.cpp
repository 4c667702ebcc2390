// intro_title.cpp -- the intro title: two star pictures sliding under a still title.
#include "scenes.h"

#include "../assets/assets.h"
#include "../platform/console/console.h"
#include "../shell/shell.h"

#include <cstdint>
#include <cstring>

int intro_scroll = 0;

namespace {

void choose_title_picture(int order)
{
    switch (order) {
    case 1: load_pcx("qd\\gfx\\bak\\intro1.pcx", overlay_picture); break;
    case 3: load_pcx("qd\\gfx\\bak\\intro2.pcx", overlay_picture); break;
    case 5: std::memset(overlay_picture, 0, sizeof overlay_picture); break;
    case 7: load_pcx("qd\\gfx\\misc\\dtext.pcx", overlay_picture); break;
    default: break;  // order 9 keeps the picture of order 7
    }
}

// frame[i] = overlay[i] + (backdrop2[(t + i) mod 64000] + backdrop1[(i + 2t) mod 64000]),
// each sum saturating per channel. The two read positions wrap once each.
void draw_intro_frame(std::uint32_t* frame, int t)
{
    int near = static_cast<int>(std::int64_t(t) % frame_pixels);
    int far = static_cast<int>(2 * std::int64_t(t) % frame_pixels);
    for (int i = 0; i < frame_pixels; ++i) {
        frame[i] = blend_add(overlay_picture[i], blend_add(backdrop2[near], backdrop1[far]));
        if (++near == frame_pixels) near = 0;
        if (++far == frame_pixels) far = 0;
    }
}

}  // namespace

void intro_title_scene(int order)
{
    choose_title_picture(order);
    std::uint32_t* const frame = screen;
    while (music_order() == order && !console_key_waiting(console)) {
        draw_intro_frame(frame, intro_scroll);
        ++intro_scroll;
        present_frame();
    }
}
