// text.h -- text in the forge's pictures, rasterised with FreeType from the
// Debian DejaVu fonts (the show's one typeface family: bold for titles,
// regular for captions).
#pragma once

#include "image.h"

#include <string>

enum class Typeface { regular, bold };

// Coverage (0..1) of a line of text, `pixel_height` pixels high (the em size),
// as a width x height mask; `baseline` is the mask row of the text's baseline.
struct TextMask {
    int width = 0, height = 0, baseline = 0;
    std::vector<float> coverage;
    float at(int x, int y) const { return coverage[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};
TextMask render_text(const std::string& text, Typeface face, int pixel_height);

// Paints `colour` over the image by the text's coverage, with the mask's
// top-left corner at (x, y). Pixels outside the image are dropped.
void paint_text(Image& image, const TextMask& mask, int x, int y, Rgb colour);
// The same, horizontally centred on column cx, baseline at row `baseline`.
void paint_text_centred(Image& image, const std::string& text, Typeface face, int pixel_height,
                        int cx, int baseline, Rgb colour);
