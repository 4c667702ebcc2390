// picture_tunnel.cpp -- the fleet and tunnel textures (violet and cyan, with
// amber ribs): picture columns are the angle and picture rows the depth, so
// horizontal bands become rings around the tunnel. Also the centre glow and
// the engine flare of the fleet.
#include "draw.h"
#include "noise.h"
#include "palette.h"
#include "pictures.h"

#include <cmath>

using namespace show_colour;

// Blue-violet energy: radial streaks over a dim haze, with a lattice of
// glowing dots whose brightness drifts.
Image make_energy_streaks()
{
    const Fractal haze{4, 4, 4, 0.5f, 0xCBA, true};
    const Fractal streaks{24, 2, 3, 0.5f, 0xCBB, true};
    const Fractal pulse{4, 4, 2, 0.5f, 0xCBC, true};
    return tiled_picture([&](int x, int y) {
        const float u = x / 256.0f, v = y / 128.0f;
        const float h = fractal_noise(u, v, haze);
        const float s = std::pow(ridged_noise(u, v, streaks), 6.0f);
        Rgb c = mix(Rgb{12, 8, 36}, Rgb{44, 28, 96}, smoothstep(0.3f, 0.75f, h));
        c = c + Rgb{80, 70, 210} * (0.7f * s);
        // Dots every 16 columns and 8 rows (round in the texture).
        const float dx = (x % 16 - 7.5f) / 2.6f, dy = (y % 8 - 3.5f) / 1.3f;
        const float dot_level = std::exp(-(dx * dx + dy * dy)) * smoothstep(0.35f, 0.7f, fractal_noise(u, v, pulse));
        return c + Rgb{150, 170, 255} * dot_level;
    });
}

// Amber ribs every 16 rows (rings around the tunnel) and riveted panels between.
Image make_amber_ribs()
{
    const Fractal grime{8, 8, 3, 0.5f, 0x7A9, true};
    return tiled_picture([&](int x, int y) {
        const float g = fractal_noise(x / 256.0f, y / 128.0f, grime);
        const int in_rib = y % 16;
        Rgb c;
        if (in_rib < 5) {
            // A rounded rib: bright on its crest.
            const float crest = std::sin((in_rib + 0.5f) / 5.0f * pi);
            c = Rgb{150, 92, 28} * (0.35f + 0.65f * crest);
        } else {
            c = Rgb{46, 28, 12} * (0.7f + 0.6f * g);
            if (x % 32 == 0) c = c * 0.4f;
            if (x % 32 == 1) c = c + Rgb{30, 18, 6};
            const int rx = x % 32, ry = in_rib;
            if ((rx == 4 || rx == 28) && ry == 10) c = Rgb{150, 110, 50};
        }
        return c;
    });
}

// Cyan panels: squares of 32 columns by 16 rows (square in the texture),
// bevelled, every other row of panels offset by half a panel.
Image make_cyan_lattice()
{
    const Fractal sheen{4, 4, 3, 0.5f, 0xC4, true};
    return tiled_picture([&](int x, int y) {
        const int row = y / 16;
        const int px = (x + (row & 1) * 16) % 32, py = y % 16;
        const float s = fractal_noise(x / 256.0f, y / 128.0f, sheen);
        Rgb c = Rgb{8, 40, 52} * (0.7f + 0.6f * s);
        if (px == 0 || py == 0) c = Rgb{110, 220, 240} * 0.6f;            // the lit bevel
        else if (px == 31 || py == 15) c = Rgb{2, 10, 14};                 // the shadowed bevel
        else if (px == 1 || py == 1) c = c + Rgb{20, 60, 70};
        // A faint glowing port in each panel.
        const float dx = (px - 15.5f) / 5.0f, dy = (py - 7.5f) / 2.5f;
        return c + Rgb{16, 70, 84} * std::exp(-(dx * dx + dy * dy));
    });
}

// White-hot at the tunnel's centre, saturated within about 25 px, gone by 60;
// a dim violet frame at the edge.
Image make_tunnel_glow()
{
    Image image;
    fill(image, [](int x, int y) {
        const float dx = x + 0.5f - 160.0f, dy = y + 0.5f - 100.0f;
        const float r = std::sqrt(dx * dx + dy * dy);
        const float fall = std::fmax(0.0f, 1.0f - r / 60.0f);
        const float level = 255.0f * fall * fall / 0.34f;
        Rgb c = mix(Rgb{0.7f, 0.8f, 1.0f}, Rgb{1, 1, 1}, clamp01(level / 255.0f)) * level;
        const int edge = std::min(std::min(x, 319 - x), std::min(y, 199 - y));
        if (edge == 0) c = c + Rgb{40, 20, 70};
        return c;
    });
    return image;
}

// One glow filling the 256x128 ellipse (a circle on the quad): a white core,
// a blue-violet halo, black on and outside the ellipse.
Image make_engine_flare()
{
    Image image;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 256; ++x) {
            const float dx = (x + 0.5f - 128.0f) / 128.0f, dy = (y + 0.5f - 64.0f) / 64.0f;
            const float rho = std::sqrt(dx * dx + dy * dy);
            if (rho >= 0.98f) continue;
            const float core = std::exp(-(rho / 0.09f) * (rho / 0.09f));
            const float halo = std::pow(1.0f - rho / 0.98f, 3.0f);
            image.at(x, y) = Rgb{255, 255, 255} * core + Rgb{120, 90, 255} * (1.1f * halo) + Rgb{60, 80, 255} * (0.4f * halo * halo);
        }
    return image;
}
