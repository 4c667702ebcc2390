// picture_space.cpp -- the intro's pictures: two star layers that slide over
// each other, and the titles added over them.
#include "draw.h"
#include "noise.h"
#include "palette.h"
#include "pictures.h"
#include "text.h"

using namespace show_colour;

// Sparse near stars, 1-2 px, a few brighter ones with small crosses; no large
// features, because the slide wraps each row onto the row above.
Image make_near_stars()
{
    Image image;
    Rng rng(0x5714B1);
    scatter_stars(image, rng, 190, star_white, 0.45f, 1.0f, 0.12f, 0.0f);
    scatter_stars(image, rng, 9, star_white, 0.9f, 1.1f, 0.0f, 1.0f);
    return image;
}

// Far stars: many, dimmer (40-150), over a faint indigo nebula tint.
Image make_far_stars()
{
    const Fractal cloud{3, 2, 5, 0.55f, 0x2A, true};
    Image image;
    fill(image, [&](int x, int y) {
        const float n = fractal_noise(x / 320.0f, y / 200.0f, cloud);
        const float haze = smoothstep(0.45f, 0.8f, n);
        return Rgb{10 * haze, 6 * haze, 26 * haze} + Rgb{4 * haze * haze, 0, 6 * haze * haze};
    });
    Rng rng(0x2A5747);
    scatter_stars(image, rng, 520, Rgb{132, 136, 142}, 0.3f, 1.0f, 0.04f, 0.0f);
    return image;
}

// A centred line of text with a soft halo of its own colour.
static Image glowing_line(const std::string& text, Typeface face, int size, int baseline, Rgb colour,
                          float halo, int halo_radius)
{
    Image image;
    const Plane ink = text_plane(text, face, size, 160, baseline);
    Plane glow = ink;
    box_blur(glow, halo_radius);
    add_plane(image, glow, colour * halo);
    paint_plane(image, ink, colour);
    return image;
}

Image make_intro_caption()
{
    return glowing_line("a real-time show", Typeface::regular, 22, 108, mix(pale_blue, Rgb{255, 255, 255}, 0.4f), 0.6f, 3);
}

Image make_intro_title()
{
    const int size = fit_text_height("VELMORA", Typeface::bold, 240, 80);
    Image image;
    const Plane ink = text_plane("VELMORA", Typeface::bold, size, 160, 100 + size * 36 / 100);
    Plane wide = ink, near = ink;
    box_blur(wide, 9);
    box_blur(near, 3);
    add_plane(image, wide, Rgb{70, 90, 200});
    add_plane(image, near, Rgb{90, 120, 230});
    // Letters from pale blue at the top to white at the bottom.
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const float c = ink.at(x, y);
            if (c > 0) image.at(x, y) = mix(image.at(x, y), mix(pale_blue, Rgb{255, 255, 255}, clamp01((y - 70) / 50.0f)), c);
        }
    return image;
}

Image make_scene_caption()
{
    Image image;
    const Rgb pale = mix(pale_blue, Rgb{255, 255, 255}, 0.2f);
    paint_text_centred(image, "fifteen scenes \xB7 two songs", Typeface::regular, 14, 160, 171, pale);
    paint_text_centred(image, "every pixel computed", Typeface::regular, 14, 160, 188, pale);
    return image;
}
