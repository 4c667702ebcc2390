// picture_end.cpp -- the end screens (deep blue with gold text): the backdrop
// and the two text pictures that scroll up over it.
#include "draw.h"
#include "noise.h"
#include "palette.h"
#include "pictures.h"
#include "text.h"

#include <cmath>

using namespace show_colour;

namespace {

const Rgb end_pale = warm_white * 0.9f;

// A centred line of gold text with a faint halo.
void gold_line(Image& image, const char* text, Typeface face, int size, int baseline, Rgb colour)
{
    const Plane ink = text_plane(text, face, size, 160, baseline);
    Plane halo = ink;
    box_blur(halo, 3);
    add_plane(image, halo, colour * 0.35f);
    paint_plane(image, ink, colour);
}

}  // namespace

// Deep blue, a soft light in the middle and a fine diagonal weave.
Image make_end_backdrop()
{
    const Fractal drift{3, 2, 4, 0.5f, 0xE4D, true};
    Image image;
    fill(image, [&](int x, int y) {
        const float dx = (x - 160) / 200.0f, dy = (y - 100) / 140.0f;
        const float light = std::fmax(0.0f, 1.0f - std::sqrt(dx * dx + dy * dy));
        const float weave = ((x + y) % 8 == 0 || (x - y + 800) % 8 == 0) ? 1.0f : 0.0f;
        const float n = fractal_noise(x / 320.0f, y / 200.0f, drift);
        return Rgb{4, 6, 24} + Rgb{20, 26, 70} * light + Rgb{6, 8, 20} * weave * (0.4f + light) + Rgb{8, 6, 18} * n;
    });
    return image;
}

Image make_end_thanks()
{
    Image image;
    const int size = fit_text_height("VELMORA", Typeface::bold, 220, 60);
    gold_line(image, "VELMORA", Typeface::bold, size, 92, title_gold);
    gold_line(image, "thank you for watching", Typeface::regular, 16, 140, end_pale);
    return image;
}

Image make_end_roles()
{
    Image image;
    const char* roles[] = {"code", "music", "graphics", "3D models"};
    for (int i = 0; i < 4; ++i) gold_line(image, roles[i], Typeface::bold, 18, 30 + 28 * i, title_gold);
    gold_line(image, "made entirely from code", Typeface::regular, 14, 160, end_pale);
    gold_line(image, "press any key", Typeface::regular, 12, 184, Rgb{170, 170, 190});
    return image;
}
