// planet_flyby.cpp -- the two flights past the planet on the first song.
#include "scenes.h"

#include "../assets/assets.h"
#include "../platform/console/console.h"
#include "../shell/shell.h"

#include <algorithm>
#include <cstdint>

Object3D flyby_object;
int flyby_counter = 0;

namespace {

std::uint32_t planet_texture[texture_texels];
std::uint32_t shuttle_texture[texture_texels];

constexpr int planet = 0;
constexpr int shuttle = 1;
constexpr int flight_end_row = 57;
constexpr int fade_order = 9;
constexpr int second_flyby_frames = 80;

Mesh& planet_mesh() { return flyby_object.meshes[planet]; }
Mesh& shuttle_mesh() { return flyby_object.meshes[shuttle]; }

// Textures, then the planet and the shuttle; the frame is left holding the
// shuttle texture's picture, which lies under each scene's first frame.
void build_flyby_object()
{
    load_texture("qd\\gfx\\textures\\planet3.pcx", planet_texture);
    load_texture("qd\\gfx\\textures\\shutex4a.pcx", shuttle_texture);

    load_mesh(planet_mesh(), "qd\\3d\\planet.asc", 250, 0, 1400, mode_textured, planet_texture);
    load_mesh(shuttle_mesh(), "qd\\3d\\shuttle.asc", 0, 0, 1200, mode_textured, shuttle_texture);
    shuttle_mesh().angle_z = 270;
    shuttle_mesh().angle_y = 90;
}

void draw_and_present()
{
    render_object(flyby_object);
    present_frame();
    std::fill(std::begin(depth_buffer), std::end(depth_buffer), std::int16_t{4000});
}

// frame[j] = overlay[j] + backdrop1[(j + 2k) mod 64000] + backdrop2[(j + k) mod 64000],
// each sum saturating; the two read positions wrap once each.
void compose_star_layers(std::uint32_t* frame, int k)
{
    int near = static_cast<int>(2 * std::int64_t(k) % frame_pixels);
    int far = static_cast<int>(std::int64_t(k) % frame_pixels);
    for (int j = 0; j < frame_pixels; ++j) {
        frame[j] = blend_add(overlay_picture[j], blend_add(backdrop1[near], backdrop2[far]));
        if (++near == frame_pixels) near = 0;
        if (++far == frame_pixels) far = 0;
    }
}

// frame[i] = picture[(i + shift) mod 64000]: the picture slid left along the linear index.
void copy_slid(std::uint32_t* frame, const std::uint32_t* picture, int shift)
{
    std::copy(picture + shift, picture + frame_pixels, frame);
    std::copy(picture, picture + shift, frame + frame_pixels - shift);
}

// Each channel c becomes (210 c + 11475) >> 8, top byte 0: about 18 % of the way
// towards 249. Red and blue share one word of 16-bit lanes, as
// 255 * 210 + 11475 = 65025 still fits a lane.
inline std::uint32_t fade_towards_white(std::uint32_t pixel)
{
    const std::uint32_t rb = ((pixel & 0x00FF00FFu) * 210u + 0x2CD32CD3u) >> 8;
    const std::uint32_t g = ((pixel & 0x0000FF00u) >> 8) * 210u + 11475u;
    return (rb & 0x00FF00FFu) | (g & 0x0000FF00u);
}

}  // namespace

void first_flyby_scene()
{
    build_flyby_object();
    place_viewpoint(flyby_object, 1, -1200, 0, -2000);
    std::uint32_t* const frame = screen;

    if (music_row() < flight_end_row) {
        for (;;) {
            if (console_key_waiting(console)) break;
            planet_mesh().angle_y = (planet_mesh().angle_y + 358) % 360;  // back 2 degrees a frame
            planet_mesh().offset_x -= 10;
            flyby_object.camera_z += 10;
            draw_and_present();
            compose_star_layers(frame, flyby_counter);  // the next frame's background
            ++flyby_counter;
            if (music_row() >= flight_end_row) break;
        }
    }

    // The fade starts from the background composed for the next frame.
    while (music_order() == fade_order && !console_key_waiting(console)) {
        for (int j = 0; j < frame_pixels; ++j) frame[j] = fade_towards_white(frame[j]);
        present_frame();
    }
}

void second_flyby_scene()
{
    load_pcx("qd\\gfx\\bak\\stbk1.pcx", background_picture);
    build_flyby_object();
    place_viewpoint(flyby_object, 2, 0, 0, 0);
    std::uint32_t* const frame = screen;

    for (int n = 0; n < second_flyby_frames; ++n) {
        if (console_key_waiting(console)) return;
        planet_mesh().offset_x -= 5;
        shuttle_mesh().offset_z -= 15;
        shuttle_mesh().offset_x += 14;
        flyby_object.camera_x += 16;
        flyby_object.camera_z += 6;
        flyby_object.camera_angle_y = (flyby_object.camera_angle_y + 1) % 360;
        planet_mesh().angle_y = (planet_mesh().angle_y + 358) % 360;
        draw_and_present();
        copy_slid(frame, background_picture, n);  // the next frame's background
    }
}
