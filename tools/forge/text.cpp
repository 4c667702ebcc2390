// text.cpp -- FreeType text rendering for the forge.
#include "text.h"

#include "forge.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <map>

namespace {

const char* font_file(Typeface face)
{
    return face == Typeface::bold ? "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
                                  : "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
}

FT_Library library()
{
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0) forge_fail("cannot start FreeType");
        return l;
    }();
    return lib;
}

FT_Face open_face(Typeface face)
{
    static std::map<Typeface, FT_Face> faces;
    auto found = faces.find(face);
    if (found != faces.end()) return found->second;
    FT_Face f = nullptr;
    if (FT_New_Face(library(), font_file(face), 0, &f) != 0)
        forge_fail(std::string("cannot open the font ") + font_file(face) +
                   " (Debian package fonts-dejavu-core)");
    faces[face] = f;
    return f;
}

}  // namespace

TextMask render_text(const std::string& text, Typeface typeface, int pixel_height)
{
    FT_Face face = open_face(typeface);
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixel_height));
    const int ascender = static_cast<int>(face->size->metrics.ascender >> 6);
    const int descender = static_cast<int>(-(face->size->metrics.descender >> 6));

    // First pass: the advance width of the line.
    int pen = 0;
    for (unsigned char ch : text) {
        if (FT_Load_Char(face, ch, FT_LOAD_DEFAULT) != 0) continue;
        pen += static_cast<int>(face->glyph->advance.x >> 6);
    }
    TextMask mask;
    mask.width = std::max(1, pen + 2);
    mask.height = ascender + descender + 2;
    mask.baseline = ascender + 1;
    mask.coverage.assign(std::size_t(mask.width) * std::size_t(mask.height), 0.0f);

    pen = 1;
    for (unsigned char ch : text) {
        if (FT_Load_Char(face, ch, FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot g = face->glyph;
        for (unsigned row = 0; row < g->bitmap.rows; ++row)
            for (unsigned col = 0; col < g->bitmap.width; ++col) {
                const int x = pen + g->bitmap_left + static_cast<int>(col);
                const int y = mask.baseline - g->bitmap_top + static_cast<int>(row);
                if (x < 0 || y < 0 || x >= mask.width || y >= mask.height) continue;
                float& c = mask.coverage[std::size_t(y) * std::size_t(mask.width) + std::size_t(x)];
                c = std::min(1.0f, c + g->bitmap.buffer[row * static_cast<unsigned>(g->bitmap.pitch) + col] / 255.0f);
            }
        pen += static_cast<int>(g->advance.x >> 6);
    }
    return mask;
}

void paint_text(Image& image, const TextMask& mask, int x, int y, Rgb colour)
{
    for (int my = 0; my < mask.height; ++my)
        for (int mx = 0; mx < mask.width; ++mx) {
            const int ix = x + mx, iy = y + my;
            if (ix < 0 || iy < 0 || ix >= image.width || iy >= image.height) continue;
            const float c = mask.at(mx, my);
            if (c > 0.0f) image.at(ix, iy) = mix(image.at(ix, iy), colour, c);
        }
}

void paint_text_centred(Image& image, const std::string& text, Typeface face, int pixel_height,
                        int cx, int baseline, Rgb colour)
{
    const TextMask mask = render_text(text, face, pixel_height);
    paint_text(image, mask, cx - mask.width / 2, baseline - mask.baseline, colour);
}

InkBox ink_box(const TextMask& mask)
{
    InkBox box{mask.width, mask.height, 0, 0};
    for (int y = 0; y < mask.height; ++y)
        for (int x = 0; x < mask.width; ++x)
            if (mask.at(x, y) > 0.0f) {
                box.x0 = std::min(box.x0, x), box.x1 = std::max(box.x1, x + 1);
                box.y0 = std::min(box.y0, y), box.y1 = std::max(box.y1, y + 1);
            }
    if (box.x1 == 0) box = {};
    return box;
}

int fit_text_height(const std::string& text, Typeface face, int max_w, int max_h, int largest)
{
    for (int size = largest; size > 4; --size) {
        const InkBox box = ink_box(render_text(text, face, size));
        if (box.width() <= max_w && box.height() <= max_h) return size;
    }
    return 4;
}

void stamp_text(Plane& plane, const TextMask& mask, int x, int y)
{
    for (int my = 0; my < mask.height; ++my)
        for (int mx = 0; mx < mask.width; ++mx) {
            const int px = x + mx, py = y + my;
            if (px < 0 || py < 0 || px >= plane.width || py >= plane.height) continue;
            plane.at(px, py) = std::min(1.0f, plane.at(px, py) + mask.at(mx, my));
        }
}

Plane text_plane(const std::string& text, Typeface face, int pixel_height, int cx, int baseline)
{
    Plane plane;
    const TextMask mask = render_text(text, face, pixel_height);
    const InkBox box = ink_box(mask);
    stamp_text(plane, mask, cx - (box.x0 + box.x1) / 2, baseline - mask.baseline);
    return plane;
}
