// picture_particles.cpp -- the particle scene (cyan and magenta on navy): a
// dark backdrop and the neutral dot that the colour masks turn into particles.
#include "draw.h"
#include "palette.h"
#include "pictures.h"

#include <cmath>

using namespace show_colour;

// Navy to violet, with faint rays and rings about the centre.
Image make_particle_backdrop()
{
    Image image;
    fill(image, [](int x, int y) {
        const float dx = x + 0.5f - 160.0f, dy = y + 0.5f - 100.0f;
        const float r = std::sqrt(dx * dx + dy * dy), angle = std::atan2(dy, dx);
        const float rays = std::pow(0.5f + 0.5f * std::cos(angle * 24.0f), 12.0f);
        const float rings = std::pow(0.5f + 0.5f * std::cos(r * 2.0f * pi / 24.0f), 20.0f);
        const float vignette = 1.0f - smoothstep(40.0f, 200.0f, r);
        return mix(navy, Rgb{34, 16, 62}, 1.0f - vignette) + Rgb{10, 14, 34} * vignette +
               Rgb{7, 10, 24} * ((rays + rings) * (0.4f + 0.6f * vignette));
    });
    return image;
}

// A neutral white soft dot (R = G = B) centred in the 14x14 block, 0 at radius 7.
Image make_particle_dot()
{
    Image image;
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 14; ++x) {
            const float dx = x + 0.5f - 7.0f, dy = y + 0.5f - 7.0f;
            const float r2 = (dx * dx + dy * dy) / 49.0f;
            if (r2 < 1.0f) image.at(x, y) = grey(262.0f * (1.0f - r2) * (1.0f - r2));
        }
    return image;
}
