// text.h -- text in the forge's pictures, rasterised with FreeType from the
// Debian DejaVu fonts (the show's one typeface family: bold for titles,
// regular for captions).
#pragma once

#include "draw.h"
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

// The ink rectangle of a mask: columns [x0, x1), rows [y0, y1) with coverage.
struct InkBox {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    int width() const { return x1 - x0; }
    int height() const { return y1 - y0; }
};
InkBox ink_box(const TextMask& mask);
// The largest pixel height (at most `largest`) whose ink fits max_w x max_h.
int fit_text_height(const std::string& text, Typeface face, int max_w, int max_h, int largest = 200);
// Adds the mask's coverage into a plane (clamped to 1), top-left at (x, y).
void stamp_text(Plane& plane, const TextMask& mask, int x, int y);
// A 320x200 plane of one centred line: ink centred on column cx, baseline at row `baseline`.
Plane text_plane(const std::string& text, Typeface face, int pixel_height, int cx, int baseline);
