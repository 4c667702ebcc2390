// picture_room.cpp -- the room scene: a stone hall in perspective lit two ways,
// the light overlays added over it, and the two gold maps of the tumbling meshes.
#include "draw.h"
#include "noise.h"
#include "palette.h"
#include "pictures.h"
#include "shading.h"

#include <cmath>

using namespace show_colour;

namespace {

// The hall's lighting: stone colour, the light at the far end, and how fast the
// light dies toward the viewer.
struct HallLight {
    Rgb stone, mortar, far_light, floor_tint;
    float seed_shift;
};

constexpr float hall_half_width = 1.6f, hall_floor = 1.0f, hall_ceiling = -1.5f, hall_depth = 9.0f;

// Running-bond stone blocks in surface coordinates (s, t): 0 in the mortar,
// 1 inside a block; `tone` gets a per-block variation.
float stone_blocks(float s, float t, float block_w, float block_h, std::uint32_t seed, float& tone)
{
    const float row = std::floor(t / block_h);
    const float shifted = s / block_w + 0.5f * std::fmod(std::fabs(row), 2.0f);
    const float column = std::floor(shifted);
    tone = static_cast<float>(hash_lattice(static_cast<int>(column), static_cast<int>(row), seed) >> 24) / 255.0f;
    const float fs = fract(shifted), ft = fract(t / block_h);
    const float edge = std::min(std::min(fs, 1.0f - fs) * block_w, std::min(ft, 1.0f - ft) * block_h);
    return smoothstep(0.006f, 0.02f, edge);
}

Rgb hall_pixel(int x, int y, const HallLight& light)
{
    const float dx = (x + 0.5f - 160.0f) / 190.0f, dy = (y + 0.5f - 100.0f) / 190.0f;
    float t = hall_depth;
    int surface = 0;  // 0 back wall, 1 side wall, 2 floor, 3 ceiling
    if (std::fabs(dx) > 1e-4f && hall_half_width / std::fabs(dx) < t) t = hall_half_width / std::fabs(dx), surface = 1;
    if (dy > 1e-4f && hall_floor / dy < t) t = hall_floor / dy, surface = 2;
    if (dy < -1e-4f && hall_ceiling / dy < t) t = hall_ceiling / dy, surface = 3;
    const float px = dx * t, py = dy * t, pz = t;

    float tone = 0, solid = 1, grain_u = 0, grain_v = 0;
    Rgb base = light.stone;
    switch (surface) {
    case 0: solid = stone_blocks(px + 5, py + 5, 0.5f, 0.25f, 11, tone), grain_u = px, grain_v = py; break;
    case 1: {
        solid = stone_blocks(pz, py + 5, 0.6f, 0.3f, 12, tone), grain_u = pz, grain_v = py;
        // Pillars every 2 units along the walls: smooth, lighter stone with dark edges.
        const float along = fract(pz / 2.0f) * 2.0f;
        if (along < 0.3f) {
            base = base * 1.3f;
            solid = smoothstep(0.0f, 0.03f, along) * smoothstep(0.3f, 0.27f, along);
        }
        break;
    }
    case 2: {
        // Large floor slabs in a checker of two stones.
        const int cx = static_cast<int>(std::floor(px / 0.8f)), cz = static_cast<int>(std::floor(pz / 0.8f));
        solid = stone_blocks(px + 8, pz, 0.8f, 0.8f, 13, tone);
        base = ((cx + cz) & 1) ? light.floor_tint : light.stone * 0.8f;
        grain_u = px, grain_v = pz;
        break;
    }
    default: solid = stone_blocks(px + 5, pz, 0.7f, 0.35f, 14, tone), grain_u = px, grain_v = pz, base = base * 0.7f; break;
    }
    const Fractal grain{8, 8, 3, 0.6f, 77, false};
    const float g = fractal_noise(fract(grain_u * 0.37f + light.seed_shift), fract(grain_v * 0.37f), grain);
    Rgb colour = mix(light.mortar, base * (0.8f + 0.35f * tone) * (0.8f + 0.4f * g), solid);

    // Light: the far end glows; the hall darkens toward the viewer and the edges.
    const float distance_light = 0.35f + 0.65f * std::pow(pz / hall_depth, 0.7f);
    const float far = std::exp(-(px * px + (py - 0.1f) * (py - 0.1f)) / 1.6f) * smoothstep(2.0f, hall_depth, pz);
    colour = colour * distance_light + light.far_light * far;
    if (surface == 0) {
        // A lit doorway in the back wall.
        const float door = smoothstep(0.42f, 0.38f, std::fabs(px)) * smoothstep(-0.25f, -0.2f, py) * smoothstep(1.0f, 0.99f, py);
        const float arch = smoothstep(0.42f, 0.38f, std::sqrt(px * px + (py + 0.25f) * (py + 0.25f))) * (py < -0.25f ? 1.0f : 0.0f);
        colour = mix(colour, light.far_light * 1.3f, std::max(door, arch));
    }
    return colour;
}

Image hall(const HallLight& light)
{
    Image image;
    fill(image, [&](int x, int y) { return hall_pixel(x, y, light); });
    return image;
}

// Everything within about 90 px of the meshes' centre (165, 100) is held down.
float outside_mesh_area(float x, float y)
{
    const float dx = x - 165.0f, dy = y - 100.0f;
    return smoothstep(92.0f, 125.0f, std::sqrt(dx * dx + dy * dy));
}

// A four-point glint: a hot centre and thin rays.
void add_glint(Image& image, float x, float y, float size, Rgb colour)
{
    add_glow(image, x, y, size * 0.35f, size * 0.35f, colour, 2.0f);
    add_glow(image, x, y, size, 1.5f, colour * 0.6f, 3.0f);
    add_glow(image, x, y, 1.5f, size, colour * 0.6f, 3.0f);
}

void hold_down_centre(Image& image)
{
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) image.at(x, y) = image.at(x, y) * outside_mesh_area(x + 0.5f, y + 0.5f);
}

}  // namespace

Image make_cool_room()
{
    return hall({{84, 96, 118}, {14, 16, 24}, {110, 140, 190}, {70, 78, 100}, 0.0f});
}

Image make_warm_room()
{
    return hall({{110, 62, 92}, {22, 8, 20}, {220, 80, 120}, {80, 40, 90}, 0.31f});
}

// Shafts of light falling from the top, burning white where they enter, and warm
// glints at the edges.
Image make_top_light()
{
    Image image;
    struct Shaft {
        float x0, slope, width, strength;
    };
    const Shaft shafts[] = {{20, 0.35f, 7, 200}, {70, 0.25f, 5, 150}, {255, 0.0f, 6, 120}, {300, -0.3f, 8, 210}, {140, 0.1f, 4, 90}};
    for (const Shaft& s : shafts)
        for (int y = 0; y < 200; ++y) {
            const float fade = std::pow(1.0f - y / 200.0f, 1.6f), width = s.width * (1.0f + y / 70.0f);
            const float cx = s.x0 + s.slope * y;
            for (int x = 0; x < 320; ++x) {
                const float d = (x + 0.5f - cx) / width;
                image.at(x, y) = image.at(x, y) + Rgb{1.0f, 0.93f, 0.78f} * (s.strength * fade * std::exp(-d * d));
            }
        }
    for (const Shaft& s : shafts) add_glow(image, s.x0, 0, s.width * 3.0f, s.width * 2.0f, Rgb{400, 380, 330}, 1.5f);
    add_glint(image, 6, 150, 16, Rgb{255, 170, 70});
    add_glint(image, 312, 60, 14, Rgb{255, 190, 90});
    add_glint(image, 300, 180, 20, Rgb{255, 160, 60});
    add_glint(image, 16, 40, 12, Rgb{255, 200, 120});
    hold_down_centre(image);
    return image;
}

// Light from below and a bright rim around the frame.
Image make_rim_light()
{
    Image image;
    fill(image, [](int x, int y) {
        const float edge = static_cast<float>(std::min(std::min(x, 319 - x), std::min(y, 199 - y)));
        const float rim = 255.0f * std::exp(-edge / 2.0f) + 60.0f * std::exp(-edge / 10.0f);
        const float below = 150.0f * std::pow(clamp01((y - 110) / 90.0f), 2.2f);
        const float sway = 0.75f + 0.25f * std::cos(x * 2.0f * pi / 80.0f);
        return Rgb{0.85f, 0.55f, 1.0f} * rim + Rgb{1.0f, 0.6f, 0.4f} * (below * sway);
    });
    add_glint(image, 160, 199, 40, Rgb{255, 220, 180});
    add_glint(image, 40, 190, 18, Rgb{255, 200, 150});
    add_glint(image, 280, 190, 18, Rgb{255, 200, 150});
    hold_down_centre(image);
    return image;
}

// Polished gold: a bright sky above, a dark reflected horizon band, warm ground
// below, a hot highlight at the upper left.
static Rgb gold_surface(Vec3 n, float brightness)
{
    const Vec3 r = reflect(view_ray, n);
    float level;
    if (r.y < 0) level = 0.62f + 0.33f * std::sqrt(-r.y);
    else level = 0.45f - 0.22f * r.y;
    level -= 0.38f * std::exp(-(r.y + 0.05f) * (r.y + 0.05f) / 0.006f);  // the horizon band
    level = level * brightness + 0.12f * diffuse(n, upper_left_light);
    Rgb c = gold_ramp(clamp01(level));
    return c + Rgb{255, 245, 220} * (0.9f * highlight(n, upper_left_light, 60.0f));
}

Image make_gold_env()
{
    return sphere_map([](Vec3 n) { return gold_surface(n, 0.9f); });
}

// Gold-tinted hammered glass for the faceted shell. Each facet shows the one
// texel of its normal, averaged with the hall or the knot behind it. Where two
// facets meet, the pixel on the shared edge is blended twice and stands out by a
// quarter of (texel - what lies behind): so the glass keeps to a middle tone near
// the mean of the hall and the knot, shaded across the ball, the hammering
// varying it a little from facet to facet, and only the few facets that face
// the two lights are bright.
Image make_hammered_gold()
{
    const Fractal dents{5, 5, 2, 0.5f, 0x60D, true};
    const Rgb shade{92, 66, 34}, lit{214, 158, 66}, shine_colour{150, 135, 110};
    const Vec3 key = normalised({-0.5f, -0.7f, 0}), glints[] = {{-0.45f, -0.55f, 0}, {0.6f, 0.35f, 0}};
    return paint_sphere([&](int x, int y, Vec3 n) {
        const float side = 0.5f + 0.5f * dot(n, key);
        const float hammered = 0.82f + 0.36f * fractal_noise(fract(x / 256.0f), fract(y / 128.0f), dents);
        float shine = 0;
        for (const Vec3& g : glints) {
            const float dx = n.x - g.x, dy = n.y - g.y;
            shine += std::exp(-(dx * dx + dy * dy) / 0.03f);
        }
        return mix(shade, lit, side) * hammered + shine_colour * std::fmin(1.0f, shine);
    });
}
