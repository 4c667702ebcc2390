// logo.cpp -- the logo scene, and the flare sprites and flare drawing it shares.
#include "scenes.h"

#include "../assets/assets.h"
#include "../platform/console/console.h"
#include "../shell/shell.h"

#include <cmath>
#include <cstdint>
#include <cstring>

std::uint32_t flare_sprites[3][flare_size * flare_size];

void add_sprite_centred(const std::uint32_t* sprite, int x, int y)
{
    constexpr int half = flare_size / 2;  // 21: the sprite's top-left is at (x - 21, y - 21)
    if (x >= frame_width + half) return;  // x >= 341: no column left of the frame's right edge
    const int columns = x + half + 1 > frame_width ? frame_width + half - x : flare_size;
    // Positions are taken as linear frame indexes, so a column left of 0 lands at
    // the right end of the row above; only pixels inside the frame are added. The
    // index is formed in 64 bits so that no coordinate can overflow it.
    const std::int64_t left = std::int64_t(x) - half;
    for (int row = 0; row < flare_size; ++row) {
        const std::int64_t start = (std::int64_t(y) - half + row) * frame_width + left;
        const std::uint32_t* line = sprite + row * flare_size;
        for (int col = 0; col < columns; ++col) {
            const std::int64_t i = start + col;
            if (i < 0 || i >= frame_pixels) continue;
            screen[i] = blend_add(screen[i], line[col]);
        }
    }
}

void load_flares()
{
    load_sprite("qd\\gfx\\sprites\\flaren.pcx", flare_sprites[0], flare_size, flare_size);
    load_sprite("qd\\gfx\\sprites\\flaren1.pcx", flare_sprites[1], flare_size, flare_size);
    load_sprite("qd\\gfx\\sprites\\flaren2.pcx", flare_sprites[2], flare_size, flare_size);
}

void draw_flare(int x, int y, int type)
{
    if (type < 0 || type > 2) return;
    add_sprite_centred(flare_sprites[type], x, y);
}

void draw_flare_ring(int cx, int cy, int radius, int phase, int count)
{
    if (count < 1) return;  // no step around the curve
    const float step = 360.0f / static_cast<float>(count);
    // The angle sums are unsigned, as the curve's parameter v is: the cosine and
    // sine always see a non-negative argument.
    const unsigned half_phase = static_cast<unsigned>(phase / 2);
    int k = 0;
    unsigned v = 0;
    do {
        const double across = static_cast<double>((v >> 1) + half_phase) * 0.0174532;
        const double down = static_cast<double>(v + static_cast<unsigned>(phase)) * 0.0174532;
        const int x = cx + static_cast<int>(radius * std::cos(across));
        const int y = cy + static_cast<int>(radius * std::sin(down));
        ++k;
        draw_flare(x, y, k % 3);
        // More than 360 flares would give a step below 1 that never moves v on.
        const unsigned next = static_cast<unsigned>(static_cast<float>(v) + step);
        v = next > v ? next : v + 1;
    } while (v < 360);
}

namespace {

std::uint32_t logo_picture[frame_pixels];  // the background picture, later the closing picture
std::uint32_t logo_buffer[frame_pixels];   // the group logo

void copy_picture_to_frame(const std::uint32_t* picture)
{
    std::memcpy(screen, picture, sizeof(std::uint32_t) * frame_pixels);
}

// Every frame pixel takes the colour of the picture pixel at the top-left corner
// of its block.
void draw_mosaic(const std::uint32_t* picture, int block)
{
    int corner_column[frame_width];
    for (int col = 0; col < frame_width; ++col) corner_column[col] = col / block * block;
    for (int row = 0; row < frame_height; ++row) {
        const std::uint32_t* source = picture + row / block * block * frame_width;
        std::uint32_t* line = screen + row * frame_width;
        for (int col = 0; col < frame_width; ++col) line[col] = source[corner_column[col]] & 0x00FFFFFFu;
    }
}

// ch <- (192 ch + 16065) >> 8 in each channel, two channels per multiply: no
// lane exceeds 16 bits (255 * 192 + 16065 = 65,025).
void flash_step()
{
    for (int i = 0; i < frame_pixels; ++i) {
        const std::uint32_t p = screen[i];
        const std::uint32_t rb = (((p & 0x00FF00FFu) * 192u + 0x3EC13EC1u) >> 8) & 0x00FF00FFu;
        const std::uint32_t g = ((((p >> 8) & 0xFFu) * 192u + 16065u) >> 8) << 8;
        screen[i] = rb | g;
    }
}

// Mosaic from block size 298 down to 4 in steps of 2, then the plain picture;
// `block` carries on where an earlier run left it.
void run_mosaic_phase(int& block)
{
    while (music_row() < 32) {
        if (console_key_waiting(console)) return;
        if (block > 2) {
            block -= 2;
            if (block == 2)
                copy_picture_to_frame(logo_picture);
            else
                draw_mosaic(logo_picture, block);
        } else {
            copy_picture_to_frame(logo_picture);
        }
        present_frame();
    }
}

// The figure-eight ring and the flare circle over the picture, shrinking from
// row 55.
void run_ring_phase(int& c)
{
    int shrink = 0;
    int circle_radius = 100;
    while (music_row() < 63) {
        if (console_key_waiting(console)) return;
        ++c;
        const int ring_radius = static_cast<int>(std::sin(c * 0.017453333333333335) * 100.0 - shrink);
        draw_flare_ring(160, 100, ring_radius, c - 1, 12);
        int k = 0;
        for (int t = 0; t < 360; t = static_cast<int>(t + 22.5)) {
            ++k;
            const double angle = (t + c) * 0.0174532;
            draw_flare(160 + static_cast<int>(circle_radius * std::cos(angle)),
                       100 + static_cast<int>(circle_radius * std::sin(angle)), k % 3);
        }
        if (music_row() > 54) {
            ++shrink;
            --circle_radius;
        }
        present_frame();
        copy_picture_to_frame(logo_picture);
    }
}

void run_fixed_phases()
{
    for (int i = 0; i < 32; ++i) {
        flash_step();
        present_frame();
    }
    copy_picture_to_frame(logo_picture);
    present_frame();
    for (int i = 0; i < 256; i += 2) {
        for (int j = 0; j < frame_pixels; ++j) screen[j] = blend_mix(logo_buffer[j], logo_picture[j], i);
        present_frame();
    }
    while (music_order() == 4) console_service_events();
    load_pcx("qd\\gfx\\bak\\dsg3.pcx", logo_picture);
    for (int i = 0; i < 256; i += 2) {
        smear(logo_buffer, 2);
        for (int j = 0; j < frame_pixels; ++j) screen[j] = blend_mix(logo_picture[j], logo_buffer[j], i);
        present_frame();
    }
}

}  // namespace

void logo_scene()
{
    load_flares();
    load_pcx("qd\\gfx\\bak\\cpb7.pcx", screen);
    load_pcx("qd\\gfx\\logos\\olv7.pcx", logo_buffer);
    std::memcpy(logo_picture, screen, sizeof logo_picture);
    draw_mosaic(logo_picture, 256);
    int block = 300;
    int c = 1;
    while (music_order() == 3) {
        run_mosaic_phase(block);
        run_ring_phase(c);
        run_fixed_phases();
    }
}
