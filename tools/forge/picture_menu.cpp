// picture_menu.cpp -- the "Choose Mode" menu picture.
#include "pictures.h"

#include "text.h"

#include <cmath>

Image make_menu_picture()
{
    Image image;
    // A deep blue-violet ground, darker at the edges.
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const float dx = (x - 160) / 160.0f, dy = (y - 70) / 130.0f;
            const float glow = std::max(0.0f, 1.0f - std::sqrt(dx * dx + dy * dy));
            image.at(x, y) = Rgb{8 + 22 * glow, 6 + 14 * glow, 24 + 46 * glow};
        }
    const Rgb gold{236, 196, 110}, pale{200, 210, 240}, dim{130, 140, 180};
    paint_text_centred(image, "VELMORA", Typeface::bold, 40, 160, 54, gold);
    paint_text_centred(image, "choose a display mode", Typeface::regular, 13, 160, 80, dim);
    const char* keys[] = {"A", "B", "C", "Esc"};
    const char* modes[] = {"full screen 320 \xD7 240", "window 320 \xD7 240", "window 640 \xD7 480", "quit"};
    for (int i = 0; i < 4; ++i) {
        const int baseline = 112 + i * 22;
        const TextMask key = render_text(keys[i], Typeface::bold, 15);
        paint_text(image, key, 104 - key.width, baseline - key.baseline, gold);
        const TextMask mode = render_text(modes[i], Typeface::regular, 15);
        paint_text(image, mode, 118, baseline - mode.baseline, pale);
    }
    return image;
}
