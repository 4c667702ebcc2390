// picture_planet.cpp -- the planet and the craft: the gas giant's bands, the
// lump ships' shell, the fleet's brushed metal, and the fire that bursts from
// the planet. (The shuttle's palette is picture_shuttle.cpp.)
#include "draw.h"
#include "noise.h"
#include "palette.h"
#include "pictures.h"
#include "shading.h"

#include <cmath>

namespace {

const Ramp planet_ramp{{0.0f, {96, 46, 18}},   {0.3f, {170, 96, 40}},   {0.5f, {214, 144, 64}},
                       {0.7f, {236, 194, 126}}, {0.9f, {240, 214, 170}}, {1.0f, {250, 236, 206}}};

// Bands circle the spin axis: the colour follows latitude (the normal's y),
// stirred by a little turbulence.
Rgb planet_bands(Vec3 n, float turbulence)
{
    const float lat = n.y * 0.999f + 0.07f * (turbulence - 0.5f);
    const float v = 0.5f + 0.22f * std::sin(lat * 17.0f) + 0.14f * std::sin(lat * 37.0f + 1.3f) +
                    0.1f * std::sin(lat * 7.0f + 0.4f) + 0.05f * std::sin(lat * 95.0f + 6.0f * turbulence) +
                    0.08f * (turbulence - 0.5f);
    return planet_ramp(v);
}

// A lit shell: diffuse from the upper left, a little ambient, a highlight.
Rgb lit(Rgb albedo, Vec3 n, float ambient, float shine, float power)
{
    const float light = ambient + (1.0f - ambient) * diffuse(n, upper_left_light);
    return albedo * light + Rgb{255, 250, 235} * (shine * highlight(n, upper_left_light, power));
}

// A normal tilted by the slope of a height plane at (x, y).
Vec3 bumped(Vec3 n, const Plane& height, int x, int y, float strength)
{
    const float gx = height.at(std::min(319, x + 1), y) - height.at(std::max(0, x - 1), y);
    const float gy = height.at(x, std::min(199, y + 1)) - height.at(x, std::max(0, y - 1));
    return normalised(n + Vec3{gx * strength, gy * strength, 0});
}

// The planet's sunlight. Its texture follows the model's normal, and a texel
// serves the near and the far hemisphere alike (only n.x and n.y select it), so
// the light lies in the model's x-y plane, where n.z does not count: from above
// (y is down) and the model's -x side, which both flybys see lit for most of
// their closer frames.
const Vec3 planet_light = normalised({-0.5f, -0.8f, 0.0f});

// Day side with a soft terminator and a thin warm band along it, a faint night
// side, darker toward the poles (always at the disc's upper and lower limb, since
// both flybys see the planet from its equator), and a broad sheen toward the sun.
Rgb sunlit(Rgb albedo, Vec3 n)
{
    const float d = dot(n, planet_light);
    const float day = smoothstep(-0.22f, 0.55f, d);
    const float dusk = std::exp(-d * d * 40.0f) * 0.35f;
    const float poles = 1.0f - 0.4f * std::pow(std::fabs(n.y), 5.0f);
    const float sheen = 0.28f * std::pow(std::max(0.0f, d), 6.0f);
    const Rgb lit = albedo * (0.1f + 0.95f * day) * poles;
    return lit + Rgb{255, 120, 50} * (dusk * 0.35f) + Rgb{255, 244, 220} * sheen;
}

Plane noise_plane(const Fractal& f)
{
    Plane plane;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) plane.at(x, y) = fractal_noise(fract(x / 256.0f), fract(y / 128.0f), f);
    return plane;
}

}  // namespace

Image make_gas_giant()
{
    const Plane stir = noise_plane({6, 3, 5, 0.55f, 0x91A, true});
    Image image = paint_sphere([&](int x, int y, Vec3 n) { return planet_bands(n, stir.at(x, y)); });
    // A few storms, well away from the pinched ends of the ellipse.
    struct Storm {
        float x, y, r;
        Rgb colour;
    };
    const Storm storms[] = {{100, 84, 9, {180, 70, 30}}, {160, 40, 6, {250, 230, 200}}, {140, 98, 4, {120, 60, 30}},
                            {176, 72, 5, {240, 210, 160}}};
    for (const Storm& s : storms) {
        Image spot(320, 200);
        add_glow(spot, s.x, s.y, s.r * 2.0f, s.r, Rgb{1, 1, 1}, 2.0f);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x)
                image.at(x, y) = mix(image.at(x, y), s.colour, clamp01(spot.at(x, y).r * 1.4f));
    }
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) image.at(x, y) = sunlit(image.at(x, y), sphere_normal(x, y));
    match_wrap_edges(image);
    return image;
}

// An organic shell: greenish bronze lumps with bright specks, lit from the upper left.
Image make_lump_shell()
{
    const Plane lumps = noise_plane({8, 8, 3, 0.4f, 0x10B, true});
    Rng rng(0x5EC5);
    Plane specks;
    for (int i = 0; i < 260; ++i) specks.at(rng.below(256), rng.below(128)) = rng.range(0.3f, 0.8f);
    const Ramp bronze{{0.0f, {40, 46, 20}}, {0.5f, {110, 120, 50}}, {0.8f, {170, 150, 70}}, {1.0f, {220, 200, 120}}};
    return paint_sphere([&](int x, int y, Vec3 n) {
        const Vec3 b = bumped(n, lumps, x, y, 1.6f);
        const float h = lumps.at(x, y);
        Rgb albedo = bronze(0.25f + 0.6f * smoothstep(0.3f, 0.75f, h));
        albedo = albedo + Rgb{150, 170, 90} * specks.at(x % 256, y % 128);
        return lit(albedo, b, 0.12f, 0.6f, 20.0f) * 1.35f;
    });
}

// Brushed metal: streaks along the hull, panel lines, a warm accent stripe.
Image make_fleet_hull()
{
    const Plane brush = noise_plane({2, 64, 3, 0.6f, 0xB5, false});
    return paint_sphere([&](int x, int y, Vec3 n) {
        Rgb albedo = Rgb{150, 158, 176} * (0.8f + 0.35f * brush.at(x, y));
        const int px = x % 256, py = y % 128;
        if (px % 32 == 0 || py % 16 == 0) albedo = albedo * 0.5f;
        if (py >= 56 && py < 62) albedo = Rgb{240, 130, 40};
        return lit(albedo, n, 0.35f, 0.8f, 30.0f);
    });
}

// Flame tongues running along the radius (picture rows), on black.
Image make_fire_tongues()
{
    const Fractal tongues{12, 2, 4, 0.55f, 0xF1E, true};
    const Fractal warp{4, 4, 3, 0.5f, 0xF1F, true};
    return tiled_picture([&](int x, int y) {
        const float u = x / 256.0f, v = y / 128.0f;
        const float w = fractal_noise(u, v, warp) - 0.5f;
        const float n = fractal_noise(fract(u + 0.08f * w + 1.0f), v, tongues);
        const float heat = std::pow(smoothstep(0.3f, 0.78f, n), 1.1f);
        return fire_ramp(heat);
    });
}
