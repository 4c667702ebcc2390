// lump.cpp -- the lump scene, the first song's last 60 frames: a spinning planet
// before a scrolling star picture bursts into six ships under a fire pattern.
#include "scenes.h"

#include "../assets/assets.h"
#include "../platform/console/console.h"
#include "../shell/shell.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

Object3D lump_object;

namespace {

constexpr int ship_count = 6;   // slots 0 .. 5; the planet is slot 6
constexpr int planet_slot = 6;
constexpr int last_scroll = 120;  // +2 a frame: 60 frames
constexpr int far_depth = 4000;
constexpr int burst_row = 5;      // from the next row on the ships burst out under the fire
constexpr int planet_gone_row = 29;

struct Offset {
    int x, y, z;
};
// The ships start hidden inside the planet, all slightly towards the viewer.
constexpr Offset ship_starts[ship_count] = {{8, 2, -2}, {2, 4, -3}, {-5, 2, -1}, {-3, -6, -5}, {3, 5, -2}, {6, 7, -8}};

std::uint32_t ship_texture[65536];
std::uint32_t planet_texture[65536];

void set_up_lump_object()
{
    load_mesh(lump_object.meshes[planet_slot], "qd\\3d\\planet.asc", 0, 0, 0, mode_textured, planet_texture);
    for (int s = 0; s < ship_count; ++s) {
        const Offset start = ship_starts[s];
        load_mesh(lump_object.meshes[s], "qd\\3d\\metroid.asc", start.x, start.y, start.z, mode_textured, ship_texture);
    }
    place_viewpoint(lump_object, planet_slot + 1, 0, 0, -2500);
}

// Geometric growth from the planet's centre: the ships rush at the viewer.
void burst_ships()
{
    for (int s = 0; s < ship_count; ++s) {
        Mesh& ship = lump_object.meshes[s];
        ship.offset_z = static_cast<float>(ship.offset_z * 1.2);
        ship.offset_x = static_cast<float>(ship.offset_x * 1.1);
        ship.offset_y = static_cast<float>(ship.offset_y * 1.1);
    }
}

// Frame pixel i = background pixel i + shift; the last `shift` pixels, past the
// picture's end, continue from its start.
void copy_shifted_background(int shift)
{
    std::memcpy(screen, background_picture + shift, sizeof(std::uint32_t) * (frame_pixels - shift));
    std::memcpy(screen + frame_pixels - shift, background_picture, sizeof(std::uint32_t) * shift);
}

void reset_depth() { std::fill(depth_buffer, depth_buffer + frame_pixels, static_cast<std::int16_t>(far_depth)); }

}  // namespace

void lump_scene()
{
    load_effect_textures();
    load_texture("qd\\gfx\\textures\\klump.pcx", ship_texture);
    load_texture("qd\\gfx\\textures\\planet3.pcx", planet_texture);
    set_up_lump_object();
    reset_depth();
    load_pcx("qd\\gfx\\bak\\stbk2a.pcx", background_picture);
    if (console_key_waiting(console)) return;
    Mesh& planet = lump_object.meshes[planet_slot];
    for (int scroll = 0; scroll < last_scroll;) {
        if (music_row() > burst_row) burst_ships();
        planet.angle_x += 1;  // at most 60 and 120 after the 60 frames: no wrap needed
        planet.angle_y += 2;
        if (music_row() > planet_gone_row) lump_object.mesh_count = ship_count;
        scroll += 2;
        copy_shifted_background(scroll % frame_width);
        render_object(lump_object);
        if (music_row() > burst_row) draw_polar_add(0, 0);
        reset_depth();
        if (music_row() <= burst_row) smear(screen, std::rand() % 20);
        present_frame();
        if (console_key_waiting(console)) return;
    }
}
