// picture_particles.cpp -- the particle scene (cyan and magenta on navy): a
// dark backdrop and the neutral dot that the colour masks turn into particles.
//
// Brightness is set by the trail's balance: every frame 400 dots are added into
// a buffer that loses only 6 per channel and pixel, and blue is fed by both
// colours. A full-strength dot therefore piles the cloud up into white; a small
// bright core with a faint halo keeps the trails and lets the colours read.
#include "draw.h"
#include "palette.h"
#include "pictures.h"

#include <cmath>

using namespace show_colour;

// Navy to violet, with faint rays and rings about the centre; kept low in blue,
// the channel the cloud fills first.
Image make_particle_backdrop()
{
    Image image;
    fill(image, [](int x, int y) {
        const float dx = x + 0.5f - 160.0f, dy = y + 0.5f - 100.0f;
        const float r = std::sqrt(dx * dx + dy * dy), angle = std::atan2(dy, dx);
        const float rays = std::pow(0.5f + 0.5f * std::cos(angle * 24.0f), 12.0f);
        const float rings = std::pow(0.5f + 0.5f * std::cos(r * 2.0f * pi / 24.0f), 20.0f);
        const float vignette = 1.0f - smoothstep(40.0f, 200.0f, r);
        return mix(navy, Rgb{24, 10, 40}, 1.0f - vignette) + Rgb{4, 8, 12} * vignette +
               Rgb{7, 10, 20} * ((rays + rings) * (0.4f + 0.6f * vignette));
    });
    return image;
}

// A neutral (R = G = B) dot centred in the 14x14 block: a bright core of radius
// 2.75 and a faint halo to radius 6.3, which joins the stamps of fast particles
// into a trail; black from radius 7 on.
Image make_particle_dot()
{
    auto bump = [](float d2, float radius) {
        const float t = 1.0f - d2 / (radius * radius);
        return t > 0.0f ? t * t : 0.0f;
    };
    Image image;
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 14; ++x) {
            const float dx = x + 0.5f - 7.0f, dy = y + 0.5f - 7.0f, d2 = dx * dx + dy * dy;
            image.at(x, y) = grey(std::round(165.0f * bump(d2, 2.75f) + 14.0f * bump(d2, 6.3f)));
        }
    return image;
}
