// voxel_landscape.cpp -- the voxel landscape scene of the earlier build: height-mapped terrain under a cloud sky.
#include "scenes.h"

#include "../assets/assets.h"
#include "../platform/console/console.h"
#include "../shell/shell.h"

#include <algorithm>
#include <cstdint>

std::uint32_t cloud_texture[65536];
std::uint32_t sky_scroll = 0;

namespace {

constexpr std::uint32_t empty_marker = 0xFFFFFFFFu;
constexpr int slice_count = 255;       // depths 1 .. 255, nearest first
constexpr int highest_water = 70;      // heights up to this are water
constexpr int sky_entries = 32000;     // the plane table over the frame's top half
constexpr int sky_shade_step = 220;    // 32,000 / 220 = 145 at the horizon

std::uint32_t height_map[65536];  // the green byte is the height
std::uint32_t colour_map[65536];

// The screen offset of each depth slice's base, 2500 / ((z >> 1) + 20): 125 for
// the nearest slice down to 17 for the farthest.
struct SliceBases {
    int offset[slice_count + 1];
    constexpr SliceBases() : offset()
    {
        for (int z = 1; z <= slice_count; ++z) offset[z] = 2500 / ((z >> 1) + 20);
    }
};
constexpr SliceBases slice_bases;

inline std::uint32_t slice_colour(std::uint32_t texel, int height, int z)
{
    if (height <= highest_water)  // water: red and blue exchanged, no haze
        return (texel & 0xFF00FF00u) | (texel & 0xFFu) << 16 | (texel >> 16 & 0xFFu);
    return blend_add(texel, static_cast<std::uint32_t>(z) * 0x010101u);  // land: white haze grows with depth
}

// Front to back, one depth slice after another. A slice only draws the rows of
// its column above what nearer slices have drawn, so each column is filled
// from the bottom up without gaps: keeping the top filled row per column
// answers "is this pixel still empty" without reading the frame.
void draw_landscape(int flight_position)
{
    int column_top[frame_width];
    std::fill(std::begin(column_top), std::end(column_top), frame_height);
    for (int z = 1; z <= slice_count; ++z) {
        const int v = (flight_position + z) & 255;
        const std::uint32_t* height_row = height_map + v * 256;
        const std::uint32_t* colour_row = colour_map + v * 256;
        const int base = frame_height + slice_bases.offset[z];
        const float step = static_cast<float>(z) * 0.003125f;
        // Both positions stay between 0 and 512, so the conversions are safe.
        float u = static_cast<float>((256 - (z >> 1)) & 255);
        float w = static_cast<float>(200 - (z >> 1));
        for (int x = 0; x < frame_width; ++x) {
            const int h = static_cast<int>(height_row[static_cast<int>(u) & 255] >> 8 & 255u);
            const int y = base - h;
            if (y > 0 && y < column_top[x]) {
                const std::uint32_t colour = slice_colour(colour_row[static_cast<int>(w) & 255], h, z);
                for (int row = y; row < column_top[x]; ++row) screen[row * frame_width + x] = colour;
                column_top[x] = y;
            }
            u += step;
            w += step;
        }
    }
}

}  // namespace

void draw_sky()
{
    // The table lies over the top half turned upside down and mirrored: entry n
    // lands on pixel 31,999 - n. The shade is constant over runs of entries.
    int n = 0;
    while (n < sky_entries) {
        const int shade = (sky_entries - n) / sky_shade_step;
        const int run_end = std::min(sky_entries, sky_entries - shade * sky_shade_step + 1);
        const std::uint32_t brighten = static_cast<std::uint32_t>(shade) * 0x010101u;
        for (; n < run_end; ++n) {
            std::uint32_t& pixel = screen[sky_entries - 1 - n];
            if (pixel == empty_marker)
                pixel = blend_add(cloud_texture[(plane_table[n] + sky_scroll) & 0xFFFFu], brighten);
        }
    }
    sky_scroll += 0x400;  // four texture rows a frame
}

void voxel_scene()
{
    load_texture("qd\\gfx\\textures\\cloud.pcx", cloud_texture);
    build_plane_table();
    load_texture_as_read("qd\\gfx\\misc\\height.pcx", height_map);
    load_texture_as_read("qd\\gfx\\misc\\voxtext1.pcx", colour_map);
    present_frame();
    if (console_key_waiting(console)) return;

    int flight_position = 0;
    while (music_order() < 14) {
        std::fill(screen, screen + frame_pixels, empty_marker);
        flight_position = (flight_position + 3) & 255;
        draw_landscape(flight_position);
        draw_sky();
        present_frame();
        if (console_key_waiting(console)) return;
    }
}
