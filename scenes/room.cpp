// room.cpp -- the room scene: two nested gold meshes tumbling in a hall under a
// light picture; variant 72 in the intro loop, 10 and 12 after the flybys.
#include "scenes.h"

#include "../assets/assets.h"
#include "../platform/console/console.h"
#include "../shell/shell.h"

#include <cstdlib>
#include <cstring>

Object3D room_object;

namespace {

std::uint32_t gold_texture[texture_texels];
std::uint32_t gold2_texture[texture_texels];
std::uint32_t second_background[frame_pixels];
std::uint32_t light_picture[frame_pixels];

constexpr std::int16_t far_depth = 4000;
// Degrees per frame about each axis.
constexpr int tumble_step = 3;

void set_up_meshes()
{
    load_mesh(room_object.meshes[0], "qd\\3d\\inne.asc", 0, 0, 0, mode_env_mapped, gold_texture);
    load_mesh(room_object.meshes[1], "qd\\3d\\ute.asc", 0, 0, 0, mode_half_blend, gold2_texture);
    place_viewpoint(room_object, 2, 0, 0, -550);
}

void tumble(Mesh& mesh)
{
    mesh.angle_z = (mesh.angle_z + tumble_step) % 360;
    mesh.angle_y = (mesh.angle_y + tumble_step) % 360;
    mesh.angle_x = (mesh.angle_x + tumble_step) % 360;
}

void add_light()
{
    for (int i = 0; i < frame_pixels; ++i) screen[i] = blend_add(screen[i], light_picture[i]);
}

}  // namespace

void room_scene(int variant)
{
    const bool lit_red = variant == 12;  // the second hall, its light and the smear
    load_pcx("qd\\gfx\\bak\\rrum2.pcx", second_background);
    load_pcx("qd\\gfx\\bak\\rrum1.pcx", background_picture);
    load_pcx(lit_red ? "qd\\gfx\\bak\\reak3.pcx" : "qd\\gfx\\bak\\reak1.pcx", light_picture);
    // In the intro loop the room runs for whichever order is playing now.
    const int order = variant == 72 ? music_order() : variant;
    set_up_meshes();
    load_texture("qd\\gfx\\textures\\gold2.pcx", gold2_texture);
    load_texture("qd\\gfx\\textures\\gold.pcx", gold_texture);

    const std::uint32_t* background = lit_red ? second_background : background_picture;
    while (!console_key_waiting(console)) {
        if (music_order() != order) break;
        std::memcpy(screen, background, frame_pixels * sizeof(std::uint32_t));
        render_object(room_object);
        if (lit_red) smear(screen, std::rand() % 20);
        add_light();
        tumble(room_object.meshes[1]);
        tumble(room_object.meshes[0]);
        for (std::int16_t& depth : depth_buffer) depth = far_depth;
        present_frame();
    }
}
