// grit.cpp -- the grit scene: a sine-warped texture over a fading copy of the
// last frame, 32 balls on a breathing Lissajous path leaving trails, and a narrow
// band at the left that runs the grit picture's text lines upward.
#include "scenes.h"

#include "../assets/assets.h"
#include "../platform/console/console.h"
#include "../shell/shell.h"

#include <cmath>
#include <cstdint>
#include <cstring>

std::uint32_t warp_texture[65536];
int warp_phase = 0;
int warp_offset = 0;
std::uint32_t grit_strip[grit_strip_pixels];

namespace {

constexpr int ball_size = 24;
constexpr int ball_count = 32;
constexpr int band_left = 20;     // frame column of band column 0
constexpr int band_columns = 11;
constexpr int band_steps = 200;   // rows 200 (the margin row under the frame) up to 1
constexpr int strip_bands = 6;    // the picture's 16-row text lines
constexpr int band_rows = 16;
constexpr int last_order = 19;    // the scene ends when the music reaches it

std::uint32_t ball_sprite[ball_size * ball_size];

// Per channel (215 * old + 40 * back) >> 8: the feedback fades by 215/256 towards
// a faint copy of the background. Red and blue share one multiply: no lane
// exceeds 16 bits (255 * 215 + 255 * 40 = 65,025).
inline std::uint32_t fade_towards(std::uint32_t old, std::uint32_t back)
{
    const std::uint32_t rb = (((old & 0x00FF00FFu) * 215u + (back & 0x00FF00FFu) * 40u) >> 8) & 0x00FF00FFu;
    const std::uint32_t g = (((old & 0x0000FF00u) * 215u + (back & 0x0000FF00u) * 40u) >> 8) & 0x0000FF00u;
    return rb | g;
}

void draw_balls(int f)
{
    const double radius = 25.0 * std::sin(2 * f * 0.0174532) + 80.0;
    for (int j = 0; j < ball_count; ++j) {
        const int cx = 160 + static_cast<int>(radius * std::cos((f + 70 + 8 * j) * 0.0174532));
        const int cy = 100 + static_cast<int>(radius * std::sin((3 * f + 11 * j) * 0.0174532));
        draw_ball(cx, cy);
    }
}

// Band column k, step s shows strip pixel d + 1920k + s at frame row 200 - s,
// d = 2f - 318: the text moves down two rows a frame; outside the strip it is black.
void draw_grit_band(int f)
{
    const long long d = 2LL * f - 318;
    for (int k = 0; k < band_columns; ++k) {
        const long long first = d + 1920LL * k;
        std::uint32_t* column = screen + band_left + k;
        for (int s = 0; s < band_steps; ++s) {
            const long long index = first + s;
            column[(frame_height - s) * frame_width] =
                index >= 0 && index < grit_strip_pixels ? grit_strip[index] : 0u;
        }
    }
}

}  // namespace

void build_grit_strip()
{
    load_pcx("qd\\gfx\\misc\\grit.pcx", background_picture);
    // Row m of every text line lies six rows apart, so one run of the strip from
    // picture row 16q + k goes on into picture row 16(q + 1) + k.
    for (int k = 0; k < strip_bands; ++k)
        for (int m = 0; m < band_rows; ++m)
            std::memcpy(grit_strip + (strip_bands * m + k) * frame_width,
                        background_picture + (band_rows * k + m) * frame_width,
                        sizeof(std::uint32_t) * frame_width);
}

void draw_grit_warp()
{
    for (int y = 0; y < frame_height; ++y) {
        const int s = y / 2 + warp_phase;
        const int left = static_cast<int>(60.0 * std::sin(s * 0.01745327777777778));
        const int right = static_cast<int>(60.0 * std::sin((s + 180) * 0.01745327777777778) + 320.0);
        const float scale = static_cast<float>(right - left) * 0.003125f;
        // warp_offset stays within 16 bits, so the row base cannot overflow.
        const int row_base = 256 * (y & 255) + warp_offset + 18144;
        std::uint32_t* line = screen + y * frame_width;
        const std::uint32_t* back = background_picture + y * frame_width;
        for (int x = 0; x < frame_width; ++x) {
            const int u = (static_cast<int>(static_cast<float>(x) * scale) + left) & 255;
            line[x] = blend_add(fade_towards(line[x], back[x]), warp_texture[(u + row_base) & 0xFFFF]);
        }
    }
    // Only the offset's low 16 bits ever count; keeping it there spares an overflow.
    warp_offset = (warp_offset + 256) & 0xFFFF;
    warp_phase += 5;
}

void draw_ball(int cx, int cy)
{
    const long long left = static_cast<long long>(cx) - ball_size / 2;
    const long long top = static_cast<long long>(cy) - ball_size / 2;
    for (int row = 0; row < ball_size; ++row) {
        const long long start = (top + row) * frame_width + left;
        const std::uint32_t* line = ball_sprite + row * ball_size;
        for (int col = 0; col < ball_size; ++col) {
            const long long i = start + col;
            if (line[col] == 0 || left + col >= frame_width || i < 0 || i >= frame_pixels) continue;
            screen[i] = blend_add(screen[i], line[col]);
        }
    }
}

void grit_scene()
{
    load_sprite("qd\\gfx\\sprites\\boll.pcx", ball_sprite, ball_size, ball_size);
    load_texture_as_read("qd\\gfx\\textures\\cubet.pcx", warp_texture);
    build_grit_strip();
    load_pcx("qd\\gfx\\bak\\blup.pcx", background_picture);
    if (music_order() >= last_order) return;
    for (int f = 0;; ++f) {
        if (console_key_waiting(console)) return;
        draw_grit_warp();
        draw_balls(f);
        draw_grit_band(f);
        present_frame();
        if (music_order() >= last_order) return;
    }
}
