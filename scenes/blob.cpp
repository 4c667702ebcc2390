// blob.cpp -- the blob scene: an environment-mapped blob tumbling before a
// full-frame effect that changes with the order (polar zoom, sine stretch, polar
// blend, polar fire), and the polar effects and textures the lump scene shares.
#include "scenes.h"

#include "../assets/assets.h"
#include "../platform/console/console.h"
#include "../shell/shell.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

std::uint32_t polar_texture_a[65536];
std::uint32_t polar_texture_b[65536];
int polar_blend_scroll = 0;
int polar_zoom_scroll = 0;
int polar_add_scroll = 0;
int stretch_scroll = 0;
unsigned stretch_phase = 0;
Object3D blob_object;

namespace {

// ---- the polar coordinates -------------------------------------------------------

// The tables cover every pixel's (i, j) for poles up to this far from the frame
// centre; the scenes' poles stay within 60. Poles beyond use the plain formulas.
constexpr int pole_reach = 64;
constexpr int first_i = -frame_height / 2 - pole_reach;  // -164
constexpr int first_j = -frame_width / 2 - pole_reach;   // -224
constexpr int table_rows = frame_height + 2 * pole_reach;
constexpr int table_columns = frame_width + 2 * pole_reach;
constexpr int table_entries = table_rows * table_columns;
constexpr int root_columns = 1 - first_j;  // |j| = 0 .. 224
constexpr int root_rows = 1 - first_i;     // |i| = 0 .. 164

std::uint8_t angle_bytes[table_entries];
std::uint8_t blend_radial_bytes[table_entries];
std::uint8_t add_radial_bytes[table_entries];
// sqrt(i^2 + j^2) in extended precision by |i|, |j|: the zoom's weight changes
// every frame, so only the root can be kept.
long double distance_roots[root_rows * root_columns];
bool polar_tables_built = false;

// The low byte of trunc(value) in two's complement, for any value (0 for NaN and
// infinities); plain conversion where it cannot overflow.
int truncated_low_byte(long double value)
{
    if (std::fabs(value) < 0x1p62L) return static_cast<int>(static_cast<long long>(value) & 0xFF);
    if (!std::isfinite(value)) return 0;
    return static_cast<int>(static_cast<long long>(std::fmod(std::trunc(value), 256.0L)) & 0xFF);
}

unsigned long long squared_distance(long long i, long long j)
{
    return static_cast<unsigned long long>(i * i) + static_cast<unsigned long long>(j * j);
}

// Angle byte: a full turn of atan2(j, i) in 256 steps less a fraction.
int angle_byte(long long i, long long j)
{
    return truncated_low_byte(std::atan2(static_cast<double>(j), static_cast<double>(i)) * 40.74);
}

int blend_radial_byte(unsigned long long d2) { return d2 == 0 ? 0 : static_cast<int>((12000 / d2) & 0xFF); }

int add_radial_byte(unsigned long long d2) { return truncated_low_byte(std::sqrt(static_cast<double>(d2)) * 0.3); }

int zoom_radial_byte(unsigned long long d2, float w)
{
    return truncated_low_byte(std::sqrt(static_cast<long double>(d2)) * static_cast<long double>(w));
}

void build_polar_tables()
{
    for (int r = 0; r < table_rows; ++r)
        for (int c = 0; c < table_columns; ++c) {
            const int i = first_i + r, j = first_j + c, n = r * table_columns + c;
            const unsigned long long d2 = squared_distance(i, j);
            angle_bytes[n] = static_cast<std::uint8_t>(angle_byte(i, j));
            blend_radial_bytes[n] = static_cast<std::uint8_t>(blend_radial_byte(d2));
            add_radial_bytes[n] = static_cast<std::uint8_t>(add_radial_byte(d2));
        }
    for (int i = 0; i < root_rows; ++i)
        for (int j = 0; j < root_columns; ++j)
            distance_roots[i * root_columns + j] = std::sqrt(static_cast<long double>(i * i + j * j));
    polar_tables_built = true;
}

bool pole_in_tables(int pole_x, int pole_y)
{
    return pole_x >= -pole_reach && pole_x <= pole_reach && pole_y >= -pole_reach && pole_y <= pole_reach;
}

// Walks the frame top to bottom, left to right, with i = y - 100 + pole_y and
// j = x - 160 + pole_x, and calls write(pixel, texel index). The radial byte comes
// from table_radial(table entry, i, j) when the pole lies within the tables, else
// from plain_radial(i^2 + j^2); both give the same bytes where both apply.
template <typename TableRadial, typename PlainRadial, typename Write>
void walk_polar(int pole_x, int pole_y, int scroll, TableRadial table_radial, PlainRadial plain_radial, Write write)
{
    if (!polar_tables_built) build_polar_tables();
    if (pole_in_tables(pole_x, pole_y)) {
        for (int y = 0; y < frame_height; ++y) {
            const int base = (y + pole_y + pole_reach) * table_columns + pole_x + pole_reach;
            const int i = y - frame_height / 2 + pole_y;
            for (int x = 0; x < frame_width; ++x) {
                const int radial = table_radial(base + x, i, x - frame_width / 2 + pole_x);
                write(y * frame_width + x, ((radial << 8) + scroll + angle_bytes[base + x]) & 0xFFFF);
            }
        }
        return;
    }
    for (int y = 0; y < frame_height; ++y) {
        const long long i = static_cast<long long>(y) - frame_height / 2 + pole_y;
        for (int x = 0; x < frame_width; ++x) {
            const long long j = static_cast<long long>(x) - frame_width / 2 + pole_x;
            const int radial = plain_radial(squared_distance(i, j));
            write(y * frame_width + x, ((radial << 8) + scroll + angle_byte(i, j)) & 0xFFFF);
        }
    }
}

// ---- the sine stretch -----------------------------------------------------------------

// Per channel (165 * frame + 90 * back) >> 8; red and blue share one multiply (no
// lane exceeds 16 bits: 255 * 165 + 255 * 90 = 65,025).
inline std::uint32_t stretch_echo(std::uint32_t frame, std::uint32_t back)
{
    const std::uint32_t rb = (((frame & 0x00FF00FFu) * 165u + (back & 0x00FF00FFu) * 90u) >> 8) & 0x00FF00FFu;
    const std::uint32_t g = (((frame & 0x0000FF00u) * 165u + (back & 0x0000FF00u) * 90u) >> 8) & 0x0000FF00u;
    return rb | g;
}

// ---- the scene ----------------------------------------------------------------------------

constexpr int far_depth = 4000;
constexpr int last_order = 12;  // the scene ends when the music reaches it
constexpr float pole_step = static_cast<float>(3.1416 / 180.0);  // degrees to radians, as the poles circle

std::uint32_t environment_texture[65536];

// A picture cut into a texture through the frame; a picture that does not load
// leaves the texture as it was.
void load_texture_or_keep(const char* path, std::uint32_t* texture, bool transposed)
{
    if (load_pcx(path, screen) != 0) return;
    if (transposed)
        cut_texture_transposed(screen, texture);
    else
        cut_texture(screen, texture);
}

// trunc(radius * sin(p * step)) or with cos, in extended precision.
int pole_offset(int radius, long long p, bool cosine)
{
    const long double angle = static_cast<long double>(p) * static_cast<long double>(pole_step);
    return static_cast<int>(radius * (cosine ? std::cos(angle) : std::sin(angle)));
}

void set_up_blob()
{
    load_mesh(blob_object.meshes[0], "qd\\3d\\blup6.asc", 0, 0, 0, mode_env_mapped, environment_texture);
    place_viewpoint(blob_object, 1, -20, 0, -150);
}

// The order's effect, drawn into the frame just presented as the next frame's background.
void draw_next_background(int order, int r, float& w, long long& p)
{
    switch (order) {
    case 8:
        p += 4;
        w = static_cast<float>(w - 0.08);
        draw_polar_zoom(w, pole_offset(20, p, false), pole_offset(30, p, true));
        break;
    case 9:
        draw_sine_stretch();
        break;
    case 10:
        if (r > 60) load_texture_or_keep("qd\\gfx\\textures\\flummo.pcx", polar_texture_a, false);
        p += 10;
        draw_polar_blend(pole_offset(60, p, false), pole_offset(60, p, true));
        break;
    case 11:
        std::fill(screen, screen + frame_pixels, 0u);
        p += 4;
        draw_polar_add(0, 0);
        blob_object.camera_z -= 8;
        break;
    default:  // before order 8 the next mesh is drawn over this frame
        break;
    }
}

}  // namespace

void load_effect_textures()
{
    load_texture_or_keep("qd\\gfx\\textures\\firtex1.pcx", polar_texture_a, false);
    load_texture_or_keep("qd\\gfx\\textures\\cbak1.pcx", polar_texture_b, false);
    if (!polar_tables_built) build_polar_tables();
}

void draw_polar_blend(int x, int y)
{
    std::uint32_t* frame = screen;
    const int scroll = polar_blend_scroll;
    const std::uint32_t weight = static_cast<std::uint32_t>(scroll) & 0xFFu;
    walk_polar(
        x, y, scroll, [](int n, int, int) { return int{blend_radial_bytes[n]}; }, blend_radial_byte,
        [frame, weight](int pixel, int index) {
            frame[pixel] = blend_mix(background_picture[pixel], polar_texture_b[index], weight);
        });
    polar_blend_scroll = (scroll + 0x303) & 0xFFFF;
}

void draw_polar_zoom(float w, int x, int y)
{
    std::uint32_t* frame = screen;
    const int scroll = polar_zoom_scroll;
    const long double weight = w;
    // Beyond this weight a product could leave the int range; the careful
    // conversion then takes over (the largest root in the tables is below 300).
    const bool plain_conversion = std::fabs(weight) < 0x1p31L / 300;
    walk_polar(
        x, y, scroll,
        [weight, plain_conversion](int, int i, int j) {
            const long double product = distance_roots[std::abs(i) * root_columns + std::abs(j)] * weight;
            return plain_conversion ? static_cast<int>(product) & 0xFF : truncated_low_byte(product);
        },
        [w](unsigned long long d2) { return zoom_radial_byte(d2, w); },
        [frame](int pixel, int index) { frame[pixel] = blend_add(background_picture[pixel], polar_texture_a[index]); });
    polar_zoom_scroll = (scroll + 0x303) & 0xFFFF;
}

void draw_polar_add(int x, int y)
{
    std::uint32_t* frame = screen;
    const int scroll = polar_add_scroll;
    walk_polar(
        x, y, scroll, [](int n, int, int) { return int{add_radial_bytes[n]}; }, add_radial_byte,
        [frame](int pixel, int index) { frame[pixel] = blend_add(frame[pixel], polar_texture_a[index]); });
    polar_add_scroll = (scroll + 0xFB01) & 0xFFFF;  // v down by 5, u up by 1
}

void draw_sine_stretch()
{
    const unsigned amplitude = (stretch_phase >> 4) + 60;
    for (int y = 0; y < frame_height; ++y) {
        const unsigned s = (static_cast<unsigned>(y) >> 1) + stretch_phase;
        const int left = static_cast<int>(std::sin(s * 0.01745327777777778) * amplitude);
        const int right = static_cast<int>(std::sin((s + 180) * 0.01745327777777778) * amplitude + 320.0);
        const float scale = static_cast<float>(static_cast<std::uint32_t>(right - left)) * 0.003125f;
        const int row_base = ((y & 0xFF) << 8) + stretch_scroll;
        std::uint32_t* line = screen + y * frame_width;
        const std::uint32_t* back = background_picture + y * frame_width;
        for (int x = 0; x < frame_width; ++x) {
            const int u = (static_cast<int>(static_cast<float>(x) * scale) + left) & 0xFF;
            line[x] = blend_add(stretch_echo(line[x], back[x]), warp_texture[(u + row_base) & 0xFFFF]);
        }
    }
    stretch_scroll = (stretch_scroll + 0xFC00) & 0xFFFF;  // the texture moves up 4 rows a call
    stretch_phase = (stretch_phase + 6) % 180;
}

void blob_scene()
{
    load_pcx("qd\\gfx\\bak\\stbak1.pcx", background_picture);
    load_texture_or_keep("qd\\gfx\\textures\\minenv4.pcx", environment_texture, true);
    set_up_blob();
    load_effect_textures();
    load_texture_or_keep("qd\\gfx\\textures\\weird2.pcx", warp_texture, false);
    float w = 0.0f;
    long long p = 0;  // wide, so the poles' phase cannot overflow however long an order lasts
    Mesh& blob = blob_object.meshes[0];
    while (!console_key_waiting(console)) {
        blob.angle_x = (blob.angle_x + 6) % 360;
        blob.angle_z = (blob.angle_z + 3) % 360;
        blob.angle_y = (blob.angle_y + 358) % 360;
        blob_object.camera_z -= 10;
        const int r = music_row() + 1;
        const int order = music_order();
        if (r % 8 == 0) blob_object.camera_z = -110;
        if (r % 16 == 0) w = 0.7f;
        std::fill(depth_buffer, depth_buffer + frame_pixels, static_cast<std::int16_t>(far_depth));
        render_object(blob_object);
        present_frame();
        blob.mode = r >= 8 && r <= 15 ? mode_wireframe : mode_env_mapped;  // from the next frame
        if (order >= last_order) return;
        draw_next_background(order, r, w, p);
    }
}
