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

// The eight rings turn round a centre that itself circles the middle: over a
// cycle they sweep a disc that reaches columns 61 to 260. The text scrolls up
// through every row, so it keeps to the two columns beside that disc, each
// line centred in its column, and the disc's columns stay black.
constexpr int left_column_centre = 30, right_column_centre = 290;
constexpr int ring_path_first = 61, ring_path_last = 260;

// A line of text with a faint halo, ink centred on column cx, baseline at `baseline`.
void gold_line(Image& image, const char* text, Typeface face, int size, int cx, int baseline, Rgb colour)
{
    const Plane ink = text_plane(text, face, size, cx, baseline);
    Plane halo = ink;
    box_blur(halo, 2);
    add_plane(image, halo, colour * 0.35f);
    paint_plane(image, ink, colour);
}

// Lines one under another, `step` rows apart, from the first baseline.
void column_of_lines(Image& image, std::initializer_list<const char*> lines, Typeface face, int size, int cx,
                     int first_baseline, int step, Rgb colour)
{
    int baseline = first_baseline;
    for (const char* line : lines) gold_line(image, line, face, size, cx, baseline, colour), baseline += step;
}

void clear_ring_path(Image& image)
{
    for (int y = 0; y < image.height; ++y)
        for (int x = ring_path_first; x <= ring_path_last; ++x) image.at(x, y) = {};
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

// The title, its letters stacked down the left column; the thanks beside it on
// the right.
Image make_end_thanks()
{
    Image image;
    const char* letters[] = {"V", "E", "L", "M", "O", "R", "A"};
    const int size = fit_text_height("M", Typeface::bold, 40, 22);
    for (int i = 0; i < 7; ++i)
        gold_line(image, letters[i], Typeface::bold, size, left_column_centre, 32 + 26 * i, title_gold);
    column_of_lines(image, {"thank", "you", "for", "watching"}, Typeface::regular, 12, right_column_centre, 82, 18,
                    end_pale);
    clear_ring_path(image);
    return image;
}

// The roles down the left column; what the show is made of, and the way out, on the right.
Image make_end_roles()
{
    Image image;
    column_of_lines(image, {"code", "music", "graphics", "3D", "models"}, Typeface::bold, 12, left_column_centre, 36,
                    24, title_gold);
    column_of_lines(image, {"made", "entirely", "from", "code"}, Typeface::regular, 12, right_column_centre, 60, 18,
                    end_pale);
    column_of_lines(image, {"press", "any key"}, Typeface::regular, 11, right_column_centre, 168, 16,
                    Rgb{170, 170, 190});
    clear_ring_path(image);
    return image;
}
