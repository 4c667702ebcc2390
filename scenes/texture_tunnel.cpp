// texture_tunnel.cpp -- the texture tunnel scene, and the polar table, tunnel
// textures and scroll offsets it shares with the fleet scene.
#include "scenes.h"

#include "../assets/assets.h"
#include "../platform/console/console.h"
#include "../shell/shell.h"

#include <cmath>
#include <cstdint>
#include <cstring>

std::uint16_t polar_table[64000];
std::uint32_t tunnel_offset_1 = 0;
std::uint32_t tunnel_offset_2 = 0;
std::uint32_t tunnel_texture_1[65536];
std::uint32_t tunnel_texture_2[65536];
std::uint32_t tunnel_texture_3[65536];
std::uint32_t tunnel_picture[64000];

void load_tunnel_textures()
{
    load_pcx("qd\\gfx\\bak\\lmup1.pcx", tunnel_picture);
    load_texture("qd\\gfx\\textures\\tmup9c.pcx", tunnel_texture_1);
    load_texture("qd\\gfx\\textures\\cubet4.pcx", tunnel_texture_2);
    load_texture("qd\\gfx\\textures\\cbak1.pcx", tunnel_texture_3);
}

void build_tunnel_polar_table()
{
    // The double just below 81.2: a full turn spans about 510 angle steps, so the
    // texture goes twice around the tunnel.
    constexpr double angle_scale = 81.19999999999999;
    std::uint16_t* entry = polar_table;
    for (int r = 100; r >= -99; --r) {
        for (int c = -160; c <= 159; ++c, ++entry) {
            if (r == 0 && c == 0) {
                *entry = 0;
                continue;
            }
            const double distance = std::sqrt(static_cast<double>(c * c + r * r));
            const int depth = static_cast<int>(6000.0 / distance);  // at most 6,000
            const int angle = static_cast<int>(std::atan2(static_cast<double>(c), static_cast<double>(r)) * angle_scale);
            *entry = static_cast<std::uint16_t>((depth & 0xFF) | (angle & 0xFF) << 8);
        }
    }
}

void draw_textured_tunnel()
{
    const std::uint32_t offset_1 = tunnel_offset_1;
    const std::uint32_t offset_2 = tunnel_offset_2;
    for (int n = 0; n < frame_pixels; ++n) {
        const std::uint32_t w = polar_table[n];
        const std::uint32_t a = tunnel_texture_2[(w + offset_2) & 0xFFFFu];
        const std::uint32_t b = tunnel_texture_1[(w + offset_1) & 0xFFFFu];
        // min(255, a + b + picture) per channel: the saturating sums nest exactly.
        screen[n] = blend_add(blend_add(a, b), tunnel_picture[n]);
    }
    // Added to the whole 16-bit entry: a carry out of the depth byte turns the
    // angle one more step.
    tunnel_offset_1 += 1021;
    tunnel_offset_2 += 64770;
}

namespace {

// Blackens every frame pixel whose truncated distance from (160, 100) is at most `hole`.
void draw_black_disc(int hole)
{
    // isqrt(dx^2 + dy^2) <= hole exactly when dx^2 + dy^2 < (hole + 1)^2.
    const std::int64_t limit = (std::int64_t(hole) + 1) * (std::int64_t(hole) + 1);
    for (int y = 0; y < frame_height; ++y) {
        const std::int64_t dy2 = std::int64_t(y - 100) * (y - 100);
        if (dy2 >= limit) continue;
        std::uint32_t* line = screen + y * frame_width;
        for (int x = 0; x < frame_width; ++x) {
            const std::int64_t dx = x - 160;
            if (dx * dx + dy2 < limit) line[x] = 0;
        }
    }
}

void fill_frame(std::uint32_t colour)
{
    for (int i = 0; i < frame_pixels; ++i) screen[i] = colour;
}

}  // namespace

void texture_tunnel_scene()
{
    fill_frame(0xFFFFFFFFu);
    present_frame();
    build_tunnel_polar_table();
    load_tunnel_textures();
    if (!console_key_waiting(console)) {
        int hole = 0;
        bool in_order_2 = true;
        do {
            const int row = music_row();
            in_order_2 = music_order() == 2;
            if (row < 60) draw_textured_tunnel();
            if (row >= 47) {
                hole += 5;
                draw_black_disc(hole);
            }
            if (hole < 180 && (row + 1) % 8 == 0) fill_frame(0xFFFFFFFFu);
            present_frame();
        } while (in_order_2 && !console_key_waiting(console));
    }
    console_clear(console);
    fill_frame(0);
    std::memset(background_picture, 0, sizeof background_picture);
    present_frame();
}
