// fleet.cpp -- the fleet scene: ships, shuttle and flare over a scrolling polar
// tunnel and a star field, the first scene of song 2 (orders 0 and 1).
#include "scenes.h"

#include "../assets/assets.h"
#include "../platform/console/console.h"
#include "../shell/shell.h"

#include <cmath>
#include <cstdlib>

Star stars[star_count];
Object3D fleet_object;

namespace {

std::uint32_t ship_texture[texture_texels];
std::uint32_t shuttle_texture[texture_texels];
std::uint32_t flare_texture[texture_texels];

constexpr int shuttle_slot = 7;
constexpr int flare_slot = 8;
constexpr std::uint32_t star_colour = 0xAFAFAFAFu;
// Per frame the tunnel index moves by -258: two steps in distance, one in angle.
constexpr std::uint32_t fleet_offset_1_step = 65278;
constexpr std::uint32_t fleet_offset_2_step = 644;
// The fleet's far value of the depth buffer.
constexpr std::int16_t far_depth = 4000;

struct ShipStart {
    const char* mesh;
    int x, y, z;
};

// Slots 0 to 6: three lone ships and four copies of the small one.
constexpr ShipStart ship_starts[7] = {
    {"qd\\3d\\metroid.asc", 0, -200, -250},  {"qd\\3d\\metroid1.asc", 300, 100, -300},
    {"qd\\3d\\metroid2.asc", -300, 100, -200}, {"qd\\3d\\metroid3.asc", -200, 150, -200},
    {"qd\\3d\\metroid3.asc", 200, 50, -200},   {"qd\\3d\\metroid3.asc", 200, -150, -200},
    {"qd\\3d\\metroid3.asc", -200, -150, -200},
};
// Forward speed of each ship per frame.
constexpr float ship_speeds[7] = {9.0f, 5.0f, 6.0f, 29.0f, 25.0f, 26.0f, 29.0f};
// Where a streaming ship (slots 3 to 6) comes back, behind the viewpoint.
constexpr int recycle_behind[4] = {100, 200, 150, 300};

void fill_stars()
{
    for (Star& star : stars) {
        star.x = std::rand() % 640 - 320;
        star.y = std::rand() % 400 - 200;
        star.z = std::rand() % 1000 + 10;
    }
}

void set_up_meshes()
{
    for (int slot = 0; slot < 7; ++slot) {
        const ShipStart& start = ship_starts[slot];
        load_mesh(fleet_object.meshes[slot], start.mesh, start.x, start.y, start.z, mode_textured, ship_texture);
    }
    Mesh& shuttle = fleet_object.meshes[shuttle_slot];
    load_mesh(shuttle, "qd\\3d\\shuttle.asc", 0, 0, -150, mode_textured, shuttle_texture);
    shuttle.angle_x = 90;
    shuttle.angle_y = 270;

    Mesh& flare = fleet_object.meshes[flare_slot];
    flare = make_quad(50, 0, 0, -195, 0);
    flare.angle_x = 0;
    flare.angle_z = 40;
    flare.angle_y = 0;
    flare.texture = flare_texture;
}

void set_up_viewpoint()
{
    place_viewpoint(fleet_object, 9, 0, 0, -300, 0, 10);
}

void fill_frame(std::uint32_t colour, int count)
{
    for (int i = 0; i < count; ++i) screen[i] = colour;
}

// The previous frame weighted 230 plus the tunnel weighted 25, then blurred.
void draw_tunnel_feedback()
{
    const std::uint32_t offset = tunnel_offset_1;
    for (int i = 0; i < frame_pixels; ++i)
        screen[i] = blend_mix(screen[i], tunnel_texture_3[(polar_table[i] + offset) & 0xFFFFu], 230);
    tunnel_offset_1 += fleet_offset_1_step;
    tunnel_offset_2 += fleet_offset_2_step;
    smear(screen, 20);
}

// Loop state of one run of the scene.
struct Sway {
    int counter = 10;
    bool forward = true;
};

// The camera rolls and slides to and fro while the shuttle and the flare turn
// with it; on the turning frame both halves run.
void sway(Sway& state)
{
    Mesh& flare = fleet_object.meshes[flare_slot];
    Mesh& shuttle = fleet_object.meshes[shuttle_slot];
    if (state.forward && music_order() == 0) {
        if (++state.counter > 20) state.forward = false;
        flare.angle_z -= 1;
        fleet_object.camera_angle_z += 1;
        fleet_object.camera_x += 2;
        fleet_object.camera_y -= 1;
        fleet_object.camera_z += 1;
        shuttle.angle_y += 1;
    }
    if (!state.forward && music_order() == 0) {
        if (--state.counter < 1) state.forward = true;
        flare.angle_z += 1;
        fleet_object.camera_angle_z -= 1;
        fleet_object.camera_x -= 2;
        fleet_object.camera_y += 1;
        fleet_object.camera_z -= 2;
        shuttle.angle_y -= 1;
    }
}

void spin_ships()
{
    Mesh* meshes = fleet_object.meshes;
    meshes[0].angle_x = (meshes[0].angle_x + 2) % 360;
    meshes[1].angle_y = (meshes[1].angle_y + 2) % 360;
    meshes[2].angle_z = (meshes[2].angle_z + 2) % 360;
}

void recycle_ships()
{
    const int camera_z = fleet_object.camera_z;
    const float limit = static_cast<float>(camera_z + 1100);
    for (int k = 0; k < 4; ++k) {
        Mesh& ship = fleet_object.meshes[3 + k];
        if (ship.offset_z > limit) ship.offset_z = static_cast<float>(camera_z - recycle_behind[k]);
    }
}

// From row 39 of order 1 the viewpoint closes in on the shuttle.
void chase_shuttle()
{
    const Mesh& shuttle = fleet_object.meshes[shuttle_slot];
    if (static_cast<float>(fleet_object.camera_z) < shuttle.offset_z) fleet_object.camera_z += 23;
    if (static_cast<float>(fleet_object.camera_y) < shuttle.offset_y) fleet_object.camera_y += 6;
    if (static_cast<float>(fleet_object.camera_x) < shuttle.offset_x) fleet_object.camera_x += 6;
}

void reset_depth_buffer()
{
    for (std::int16_t& depth : depth_buffer) depth = far_depth;
}

}  // namespace

void build_polar_table()
{
    // One turn of the circle spans about 256 angle steps.
    constexpr double angle_scale = 40.8;
    std::uint16_t* entry = polar_table;
    for (int y = 100; y >= -99; --y) {
        for (int x = -160; x <= 159; ++x, ++entry) {
            if (x == 0 && y == 0) {
                *entry = 0;
                continue;
            }
            const int distance = static_cast<int>(std::sqrt(static_cast<double>(x * x + y * y)));  // at most 188
            const int angle = static_cast<int>(std::atan2(static_cast<double>(y), static_cast<double>(x)) * angle_scale);
            *entry = static_cast<std::uint16_t>((distance & 0xFF) | (angle & 0xFF) << 8);
        }
    }
}

void draw_tunnel()
{
    const std::uint32_t offset = tunnel_offset_1;
    for (int i = 0; i < frame_pixels; ++i) screen[i] = tunnel_texture_3[(polar_table[i] + offset) & 0xFFFFu];
    tunnel_offset_1 += fleet_offset_1_step;
    tunnel_offset_2 += fleet_offset_2_step;
}

Mesh make_quad(int half_size, int x, int y, int z, int depth)
{
    Mesh mesh{};
    const float a = static_cast<float>(half_size), b = static_cast<float>(depth);
    mesh.vertices[0] = {-a, a, b, 0, 0, 0};
    mesh.vertices[1] = {a, a, b, 0, 0, 0};
    mesh.vertices[2] = {-a, -a, b, 0, 0, 0};
    mesh.vertices[3] = {a, -a, b, 0, 0, 0};
    // One texel inside the texture's edges.
    mesh.faces[0] = {0, 1, 2, 1, 1, 254, 1, 1, 254, 0, 0, 0, 0};
    mesh.faces[1] = {1, 3, 2, 254, 1, 254, 254, 1, 254, 0, 0, 0, 0};
    mesh.vertex_count = 4;
    mesh.face_count = 2;
    mesh.mode = mode_additive;
    mesh.two_sided = 1;
    mesh.offset_x = static_cast<float>(x);
    mesh.offset_y = static_cast<float>(y);
    mesh.offset_z = static_cast<float>(z);
    return mesh;
}

void draw_stars(int speed, std::uint32_t colour)
{
    const std::uint32_t half = (colour >> 1) & 0x7F7F7F7Fu;
    for (Star& star : stars) {
        // The scene keeps z from 10 to 1009; a star set up at depth 0 or less is
        // not projected (nor drawn) rather than divided by.
        const int z = star.z > 0 ? star.z : 1;
        const int sx = star.x * 256 / z + 160;
        const int sy = star.y * 256 / z + 100;
        if (star.z > 0 && sx > 0 && sx < frame_width && sy > 0 && sy < frame_height) {
            // A plus sign; the neighbours are array positions, so a star in column
            // 319 lends its right arm to the next row. Nothing past the frame's end.
            const int c = sy * frame_width + sx;
            screen[c] = colour;
            screen[c - 1] = half;
            screen[c - frame_width] = half;
            if (c + 1 < frame_pixels) screen[c + 1] = half;
            if (c + frame_width < frame_pixels) screen[c + frame_width] = half;
        }
        star.z -= speed;
        if (star.z < 10) star.z = 1000;
    }
}

void fleet_scene()
{
    fill_stars();
    set_up_meshes();
    load_texture("qd\\gfx\\textures\\metroid2.pcx", ship_texture);
    load_texture("qd\\gfx\\textures\\shutex4a.pcx", shuttle_texture);
    load_texture("qd\\gfx\\textures\\flare.pcx", flare_texture);
    set_up_viewpoint();
    build_polar_table();
    load_tunnel_textures();

    Sway sway_state;
    int star_speed = 50;
    int frame_count = 0;  // counts only up to the white flash
    Mesh* meshes = fleet_object.meshes;
    while (!console_key_waiting(console)) {
        if (music_order() >= 2) break;

        if (music_order() == 1 && music_row() > 37)
            draw_tunnel_feedback();
        else
            draw_tunnel();

        spin_ships();
        sway(sway_state);
        for (int slot = 0; slot < 7; ++slot) meshes[slot].offset_z += ship_speeds[slot];
        if (music_order() != 0) {
            for (int slot : {shuttle_slot, flare_slot}) {
                meshes[slot].offset_x += 2.0f;
                meshes[slot].offset_y += 1.0f;
            }
        }
        recycle_ships();
        if (music_order() > 0) fleet_object.camera_z -= 6;
        if (music_order() > 0 && star_speed > 5) star_speed -= 1;
        if (music_order() == 1 && music_row() > 38) chase_shuttle();

        draw_stars(star_speed, star_colour);
        render_object(fleet_object);

        // A blur on the beat: rows 7, 15, 23, ... of order 0.
        if (music_order() == 0 && ((music_row() + 1) & 7) == 0) smear(screen, 5 + std::rand() % 4);
        if (frame_count == 5) fill_frame(0xFFFFFFFFu, frame_pixels);
        if (music_order() == 1 && music_row() > 54) fill_frame(0xFFFFFFFFu, frame_pixels);

        present_frame();
        if (frame_count < 6) ++frame_count;
        reset_depth_buffer();
    }
    // Black, and 500 pixels of the lower margin with it, without presenting.
    fill_frame(0, frame_pixels + 500);
}
