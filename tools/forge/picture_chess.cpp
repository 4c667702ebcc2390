// picture_chess.cpp -- the chessboard scene (stone and steel under a dusk
// sky): the marble floor, the skyline above it, and the maps of the spheres
// (granite) and of the central chrome object.
#include "draw.h"
#include "noise.h"
#include "palette.h"
#include "pictures.h"
#include "shading.h"

#include <cmath>

// 8 x 8 squares per tile, each 32 columns by 16 rows (square in the texture):
// veined light marble and dark stone, with a one-pixel bevel.
Image make_chess_floor()
{
    const Fractal veins{3, 3, 5, 0.5f, 0xC4E, true};
    const Fractal speck{32, 32, 2, 0.5f, 0xC4F, false};
    return tiled_picture([&](int x, int y) {
        const int sx = x / 32, sy = y / 16, px = x % 32, py = y % 16;
        const float u = x / 256.0f, v = y / 128.0f;
        Rgb c;
        if ((sx + sy) & 1) {
            c = Rgb{40, 45, 60} * (0.8f + 0.4f * fractal_noise(u, v, speck));
        } else {
            const float vein = std::pow(ridged_noise(u, v, veins), 14.0f);
            c = mix(Rgb{210, 205, 190}, Rgb{150, 140, 135}, 0.6f * vein);
        }
        if (px == 0 || py == 0) c = c * 1.18f + Rgb{10, 10, 10};
        else if (px == 31 || py == 15) c = c * 0.6f;
        return c;
    });
}

// A dusk sky over a distant stone skyline, darkening to black at row 99, where
// the floor's horizon begins; the lower half is never shown.
Image make_dusk_skyline()
{
    Image image;
    const Ramp dusk{{0, {14, 14, 48}}, {40, {70, 40, 100}}, {70, {200, 100, 90}}, {86, {250, 160, 90}}, {99, {250, 170, 100}}};
    fill(image, [&](int, int y) { return y < 100 ? dusk(static_cast<float>(y)) : Rgb{}; });
    Rng rng(0xD5C);
    for (int i = 0; i < 70; ++i) {
        const int y = rng.below(55);
        add_star(image, rng.below(320), y, Rgb{200, 210, 255} * rng.range(0.2f, 0.8f) * (1.0f - y / 60.0f));
    }
    // The skyline: towers, domes and spires in dark stone, with a few lit windows.
    const Rgb stone{28, 22, 38};
    int x = 0;
    while (x < 320) {
        const int w = 8 + rng.below(22), h = 8 + rng.below(26), base = 92;
        const float xs[] = {static_cast<float>(x), static_cast<float>(x + w), static_cast<float>(x + w), static_cast<float>(x)};
        const float ys[] = {static_cast<float>(base - h), static_cast<float>(base - h), 100, 100};
        fill_polygon(image, xs, ys, 4, stone);
        const int roof = rng.below(3);
        if (roof == 0) {
            const float sx[] = {x + w * 0.5f - 1.5f, x + w * 0.5f + 1.5f, x + w * 0.5f};
            const float sy[] = {static_cast<float>(base - h), static_cast<float>(base - h), static_cast<float>(base - h - 14)};
            fill_polygon(image, sx, sy, 3, stone);
        } else if (roof == 1) {
            Image dome(320, 200);
            add_glow(dome, x + w * 0.5f, static_cast<float>(base - h), w * 0.5f, w * 0.45f, Rgb{1, 1, 1}, 0.05f);
            for (int yy = std::max(0, base - h - w); yy < base - h; ++yy)
                for (int xx = x; xx < std::min(320, x + w); ++xx)
                    if (dome.at(xx, yy).r > 0.5f) image.at(xx, yy) = stone;
        }
        for (int i = 0; i < w * h / 40; ++i) {
            const int wx = x + 2 + rng.below(std::max(1, w - 4)), wy = base - h + 3 + rng.below(std::max(1, h - 6));
            if (wx < 320) image.at(wx, wy) = Rgb{230, 170, 90};
        }
        x += w + rng.below(6);
    }
    // Darken toward the floor's black horizon at row 99; nothing below it.
    for (int y = 100; y < 200; ++y)
        for (int xx = 0; xx < 320; ++xx) image.at(xx, y) = {};
    for (int y = 80; y < 100; ++y)
        for (int xx = 0; xx < 320; ++xx) image.at(xx, y) = image.at(xx, y) * (1.0f - smoothstep(80.0f, 99.0f, static_cast<float>(y)));
    return image;
}

// Granite: grey-beige grain with a soft highlight at the upper left of the object.
Image make_granite_env()
{
    const Fractal grain{32, 32, 3, 0.6f, 0x57E, false};
    const Fractal cloud{4, 4, 3, 0.5f, 0x57F, true};
    return paint_sphere([&](int x, int y, Vec3 n) {
        const float u = fract(x / 256.0f), v = fract(y / 128.0f);
        const float g = fractal_noise(u, v, grain), c = fractal_noise(u, v, cloud);
        Rgb albedo = mix(Rgb{120, 112, 100}, Rgb{190, 180, 160}, c) * (0.7f + 0.5f * g);
        if (g > 0.78f) albedo = Rgb{60, 56, 54};
        const float light = 0.3f + 0.7f * diffuse(n, upper_left_light);
        return albedo * light + Rgb{255, 245, 230} * (0.35f * highlight(n, upper_left_light, 10.0f));
    });
}

// Chrome under the dusk: the sky of the backdrop above the horizon (indigo at the
// zenith, violet, then orange at the horizon), the stone floor below it, lit warm
// near the horizon, and a broad glow of the low sun at the upper left. The star
// shows this map at a few dozen pixels and its points turn it fast, so nothing in
// it is finer than about a tenth of the ellipse: no checker, a soft horizon, a
// soft sun, and a moderate range between sky and floor; a last blur takes out
// what the painting left.
Image make_chrome_env()
{
    const Ramp sky{{0.0f, {245, 170, 110}}, {0.15f, {215, 120, 110}}, {0.4f, {130, 78, 140}},
                   {0.75f, {62, 56, 120}},   {1.0f, {44, 46, 104}}};
    const Ramp floor{{0.0f, {180, 130, 100}}, {0.3f, {120, 106, 102}}, {0.7f, {84, 82, 88}}, {1.0f, {66, 66, 74}}};
    const Vec3 sun = normalised({-0.6f, -0.25f, -0.75f});
    Image image = sphere_map([&](Vec3 n) {
        const Vec3 r = reflect(view_ray, n);
        // Sky and floor meet over a band of about a seventh of the height.
        const float up = -r.y;
        Rgb c = mix(floor(std::pow(std::fmax(0.0f, -up), 0.7f)), sky(std::pow(std::fmax(0.0f, up), 0.8f)),
                    smoothstep(-0.15f, 0.15f, up));
        const float towards_sun = std::fmax(0.0f, dot(r, sun));
        return c + Rgb{255, 190, 120} * (0.55f * std::pow(towards_sun, 6.0f)) +
               Rgb{255, 240, 215} * (0.3f * std::pow(towards_sun, 14.0f));
    });
    box_blur(image, 6);
    match_wrap_edges(image);
    return image;
}
