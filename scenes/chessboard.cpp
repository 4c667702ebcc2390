// chessboard.cpp -- the chessboard floor scene, and the perspective plane table it shares with the voxel sky.
#include "scenes.h"

#include "../assets/assets.h"
#include "../platform/console/console.h"
#include "../shell/shell.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

std::uint16_t plane_table[32000];
std::uint32_t floor_texture[65536];
std::uint32_t floor_scroll = 0;
Object3D floor_object;

namespace {

constexpr int plane_columns = 320;
constexpr int plane_rows = 100;
constexpr int plane_entries = plane_columns * plane_rows;  // 32,000: one half of the frame
constexpr int floor_shade_step = 125;                      // 32,000 / 125 = 256: black at the horizon
constexpr std::int16_t floor_far_depth = 30000;

std::uint32_t sten_texture[65536];
std::uint32_t minenv3_texture[65536];

// Per channel max(0, c - shade); top byte 0.
inline std::uint32_t darken(std::uint32_t texel, int shade)
{
    std::uint32_t out = 0;
    for (int s = 0; s <= 16; s += 8) {
        const int c = static_cast<int>((texel >> s) & 255u) - shade;
        out |= static_cast<std::uint32_t>(c > 0 ? c : 0) << s;
    }
    return out;
}

void set_up_floor_object()
{
    load_mesh(floor_object.meshes[0], "qd\\3d\\bollar.asc", 0, 0, 0, mode_env_mapped, sten_texture);
    load_mesh(floor_object.meshes[1], "qd\\3d\\cia.asc", 0, 0, 0, mode_env_mapped, minenv3_texture);
    place_viewpoint(floor_object, 2, 0, -1000, -1500, 20);
}

// Four flares on a circle of radius 140 about the centre; those near the bottom
// fall below the frame and are clipped by draw_flare.
void draw_flare_circle(unsigned base_angle)
{
    int k = 0;
    for (int t = 0; t < 360; t = static_cast<int>(t + 90.0)) {
        ++k;
        const double angle = (static_cast<unsigned>(t) + base_angle) * 0.0174532;
        draw_flare(160 + static_cast<int>(140 * std::cos(angle)), 100 + static_cast<int>(140 * std::sin(angle)),
                   k % 3);
    }
}

// Mesh 0 tumbles on all three axes; mesh 1 turns the other way about z and y.
void turn_meshes()
{
    Mesh& balls = floor_object.meshes[0];
    balls.angle_x = (balls.angle_x + 3) % 360;
    balls.angle_z = (balls.angle_z + 3) % 360;
    balls.angle_y = (balls.angle_y + 3) % 360;
    Mesh& centre = floor_object.meshes[1];
    centre.angle_x = (centre.angle_x + 3) % 360;
    centre.angle_z = (centre.angle_z + 359) % 360;
    centre.angle_y = (centre.angle_y + 358) % 360;
}

}  // namespace

void build_plane_table()
{
    // Row k lies at depth 16384 / (k + 30); its columns spread about column 160.
    // Row 100 is left as it is (all zero).
    for (int k = 1; k < plane_rows; ++k) {
        const int depth = 16384 / (k + 30);
        std::uint16_t* row = plane_table + (k - 1) * plane_columns;
        for (int c = 0; c < plane_columns; ++c)
            row[c] = static_cast<std::uint16_t>(depth * 256 + (c - 160) * 64 / (k + 28));
    }
}

void draw_floor()
{
    std::uint32_t* lower_half = screen + plane_entries;
    // The shade (32,000 - n) / 125 is constant over runs of entries: one
    // division per run instead of per pixel.
    int n = 0;
    while (n < plane_entries) {
        const int shade = (plane_entries - n) / floor_shade_step;
        const int run_end = std::min(plane_entries, plane_entries - shade * floor_shade_step + 1);
        for (; n < run_end; ++n)
            lower_half[n] = darken(floor_texture[(plane_table[n] + floor_scroll) & 0xFFFFu], shade);
    }
    floor_scroll += 0x403;  // 4 texel rows and 3 texel columns a frame
}

void chessboard_scene()
{
    build_plane_table();
    load_texture("qd\\gfx\\textures\\sten.pcx", sten_texture);
    load_texture("qd\\gfx\\textures\\minenv3.pcx", minenv3_texture);
    load_texture("qd\\gfx\\textures\\chess2.pcx", floor_texture);
    set_up_floor_object();
    load_flares();  // leaves the last flare picture in the frame: the first frame's upper half
    load_pcx("qd\\gfx\\bak\\desine.pcx", background_picture);
    if (console_key_waiting(console)) return;

    unsigned base_angle = 0;
    while (music_order() < 16) {
        // Away during the first half of each pattern, back during the second.
        floor_object.camera_z += music_row() < 32 ? -40 : 40;
        draw_floor();
        base_angle = (base_angle + 3) % 360;
        draw_flare_circle(base_angle);
        draw_flare_ring(160, 100, 100, static_cast<int>(base_angle), 4);
        turn_meshes();
        render_object(floor_object);
        present_frame();
        std::fill(std::begin(depth_buffer), std::end(depth_buffer), floor_far_depth);
        std::memcpy(screen, background_picture, sizeof(std::uint32_t) * frame_pixels);
        if (console_key_waiting(console)) return;
    }
}
