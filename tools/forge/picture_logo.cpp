// picture_logo.cpp -- the logo and credits scenes (warm magenta and gold on
// deep blue): the crystal landscape, the crest logo, the metallic wordmark, the
// banner and credit words, and the glowing sprites (flares and the ring).
#include "draw.h"
#include "noise.h"
#include "palette.h"
#include "pictures.h"
#include "text.h"

#include <cmath>

using namespace show_colour;

namespace {

struct Crystal {
    float x, base, height, half_width, lean;
    Rgb colour;
};

// A shard with a lit left face and a shaded right face.
void draw_crystal(Image& image, const Crystal& c)
{
    const float apex_x = c.x + c.lean, apex_y = c.base - c.height;
    const float mid_y = c.base + c.half_width * 0.25f;
    const float left_x[] = {apex_x, c.x - c.half_width, c.x};
    const float left_y[] = {apex_y, c.base, mid_y};
    const float right_x[] = {apex_x, c.x, c.x + c.half_width};
    const float right_y[] = {apex_y, mid_y, c.base};
    fill_polygon(image, left_x, left_y, 3, c.colour);
    fill_polygon(image, right_x, right_y, 3, c.colour * 0.5f);
    // A bright edge down the ridge of the shard.
    const float ridge_x[] = {apex_x - 0.8f, apex_x + 0.8f, c.x + 1.0f, c.x - 1.0f};
    const float ridge_y[] = {apex_y, apex_y, mid_y, mid_y};
    fill_polygon(image, ridge_x, ridge_y, 4, mix(c.colour, Rgb{255, 245, 220}, 0.6f), 0.8f);
}

// A sprite glow at (21, 21): weight 1 at the centre falling to exactly 0 at radius 21.
template <class Shade>
Image flare_sprite(Shade shade)
{
    Image image;
    for (int y = 0; y < 43; ++y)
        for (int x = 0; x < 43; ++x) {
            const float dx = static_cast<float>(x - 21), dy = static_cast<float>(y - 21);
            const float r = std::sqrt(dx * dx + dy * dy);
            if (r >= 20.5f) continue;
            image.at(x, y) = shade(r, dx, dy, 1.0f - r / 20.5f);
        }
    return image;
}

// A credit word, bright gold-white, left-aligned and vertically centred in w x h.
Image credit_word(const char* word, int w, int h)
{
    const int size = fit_text_height(word, Typeface::bold, w - 2, h - 2);
    const TextMask mask = render_text(word, Typeface::bold, size);
    const InkBox box = ink_box(mask);
    Plane ink(320, 200);
    const int top = (h - box.height()) / 2;
    stamp_text(ink, mask, 1 - box.x0, top - box.y0);
    Image image;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float t = clamp01(static_cast<float>(y - top) / std::max(1, box.height()));
            image.at(x, y) = mix(warm_white, title_gold, t) * ink.at(x, y);
        }
    keep_sprite_block(image, w, h);
    return image;
}

}  // namespace

Image make_crystal_landscape()
{
    Image image;
    const Fractal ridge{6, 1, 4, 0.5f, 0xC9B7, true};
    fill(image, [&](int x, int y) {
        const float t = y / 130.0f;
        Rgb sky = mix(Rgb{40, 36, 120}, Rgb{150, 50, 150}, smoothstep(0.0f, 0.8f, t));
        sky = mix(sky, Rgb{250, 120, 140}, smoothstep(0.7f, 1.0f, t));
        // Far violet mountains, then the dark plain of the crystal field.
        const float skyline = 112.0f + 20.0f * fractal_noise(x / 320.0f, 0.0f, ridge);
        if (y > skyline) sky = mix(Rgb{80, 34, 110}, Rgb{30, 18, 70}, clamp01((y - skyline) / 60.0f));
        return sky;
    });
    add_glow(image, 222, 96, 110, 80, Rgb{120, 60, 40}, 2.0f);
    add_glow(image, 222, 96, 36, 36, Rgb{255, 210, 120}, 0.15f);
    const Crystal crystals[] = {
        {40, 150, 70, 14, -6, {160, 70, 200}},  {300, 150, 80, 16, 8, {150, 60, 190}},
        {250, 160, 60, 12, -4, {220, 80, 170}}, {90, 168, 110, 20, 10, {240, 90, 180}},
        {150, 175, 80, 15, -8, {250, 190, 90}}, {200, 185, 125, 22, 6, {230, 70, 160}},
        {20, 195, 140, 26, 12, {250, 200, 100}}, {285, 198, 150, 28, -10, {255, 180, 80}},
        {120, 205, 60, 18, 4, {120, 200, 230}},
    };
    for (const Crystal& c : crystals) draw_crystal(image, c);
    return image;
}

// The crest: a shield with a bold "V", the name under it between two bars; strong
// horizontal strokes, because the logo is smeared sideways as it fades out.
Image make_crest_logo()
{
    Image image;
    fill(image, [](int x, int y) {
        const float band = 0.5f + 0.5f * std::cos(y * 2.0f * pi / 8.0f);
        return mix(deep_blue, Rgb{40, 24, 90}, y / 200.0f) + Rgb{10, 6, 20} * (band * (x % 2 == 0 ? 1.0f : 0.8f));
    });
    // Horizontal bars: one behind the crest, two framing the name.
    const float bar_x[] = {20, 300, 300, 20};
    const float top_bar_y[] = {48, 48, 53, 53};
    const float low_bar_y[] = {126, 126, 130, 130};
    const float foot_bar_y[] = {177, 177, 181, 181};
    fill_polygon(image, bar_x, top_bar_y, 4, title_gold, 0.9f);
    fill_polygon(image, bar_x, low_bar_y, 4, magenta);
    fill_polygon(image, bar_x, foot_bar_y, 4, magenta);
    // The shield, in front of the top bar.
    const float shield_x[] = {110, 210, 210, 160, 110};
    const float shield_y[] = {18, 18, 78, 112, 78};
    fill_polygon(image, shield_x, shield_y, 5, title_gold);
    const float inner_x[] = {116, 204, 204, 160, 116};
    const float inner_y[] = {24, 24, 75, 105, 75};
    fill_polygon(image, inner_x, inner_y, 5, Rgb{60, 20, 80});
    // The "V": two thick strokes meeting at the foot.
    const float left_x[] = {126, 146, 166, 154}, left_y[] = {30, 30, 96, 96};
    const float right_x[] = {194, 174, 154, 166}, right_y[] = {30, 30, 96, 96};
    fill_polygon(image, left_x, left_y, 4, Rgb{240, 80, 170});
    fill_polygon(image, right_x, right_y, 4, Rgb{255, 120, 190});
    const int size = fit_text_height("VELMORA", Typeface::bold, 250, 40);
    const Plane word = text_plane("VELMORA", Typeface::bold, size, 160, 168);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            if (word.at(x, y) > 0)
                image.at(x, y) = mix(image.at(x, y), mix(warm_white, title_gold, clamp01((y - 138) / 32.0f)), word.at(x, y));
    return image;
}

// Chrome letters: dark steel at the top, a white horizon line, gold below.
Image make_wordmark()
{
    const int size = fit_text_height("VELMORA", Typeface::bold, 240, 70);
    const TextMask mask = render_text("VELMORA", Typeface::bold, size);
    const InkBox box = ink_box(mask);
    Plane ink;
    const int top = 100 - box.height() / 2;
    stamp_text(ink, mask, 160 - (box.x0 + box.x1) / 2, top - box.y0);
    Plane glow = ink;
    box_blur(glow, 4);
    const Ramp chrome{{0.0f, {90, 110, 170}},  {0.45f, {210, 220, 255}}, {0.5f, {255, 255, 255}},
                      {0.53f, {200, 140, 60}}, {0.75f, {255, 200, 110}}, {1.0f, {160, 90, 40}}};
    Image image;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            const Rgb letter = chrome(static_cast<float>(y - top) / box.height());
            image.at(x, y) = mix(Rgb{120, 50, 110} * glow.at(x, y), letter, ink.at(x, y));
        }
    return image;
}

// A dim plate with a thin glowing border, rounded corners, in the top-left 140x40.
Image make_banner()
{
    Image image;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 140; ++x) {
            // Distance inside a rounded rectangle inset by 1.5 px.
            const float qx = std::fabs(x + 0.5f - 70.0f) - (70.0f - 1.5f - 5.0f);
            const float qy = std::fabs(y + 0.5f - 20.0f) - (20.0f - 1.5f - 5.0f);
            const float outside = std::sqrt(std::fmax(qx, 0.0f) * std::fmax(qx, 0.0f) + std::fmax(qy, 0.0f) * std::fmax(qy, 0.0f)) +
                                  std::fmin(std::fmax(qx, qy), 0.0f) - 5.0f;  // < 0 inside
            const float border = std::exp(-outside * outside / 0.5f);
            const float inner_glow = outside < 0 ? std::exp(outside / 3.0f) : 0.0f;
            Rgb c = outside < 0 ? Rgb{22, 12, 40} + Rgb{14, 6, 22} * (y / 40.0f) : Rgb{};
            c = c + Rgb{40, 14, 40} * inner_glow + Rgb{100, 58, 94} * border;
            image.at(x, y) = c;
        }
    return image;
}

Image make_credit_code() { return credit_word("CODE", 80, 25); }
Image make_credit_music() { return credit_word("MUSIC", 56, 14); }
Image make_credit_graphics() { return credit_word("GRAPHICS", 79, 16); }
Image make_credit_models() { return credit_word("3D MODELS", 125, 15); }

// A pale gold ring of radius 15: a bright thin core with a soft falloff.
Image make_ring_sprite()
{
    return flare_sprite([](float r, float, float, float) {
        const float core = std::exp(-(r - 15.0f) * (r - 15.0f) / 1.2f);
        const float soft = std::exp(-(r - 15.0f) * (r - 15.0f) / 12.0f);
        const float keep = smoothstep(5.0f, 9.0f, r) * smoothstep(20.5f, 18.5f, r);
        return (Rgb{255, 236, 180} * core + Rgb{200, 150, 70} * (0.45f * soft)) * keep;
    });
}

Image make_white_flare()
{
    return flare_sprite([](float r, float, float, float w) {
        return Rgb{255, 255, 255} * std::exp(-r * r / 8.0f) + Rgb{70, 120, 255} * (0.9f * std::pow(w, 2.2f));
    });
}

Image make_gold_flare()
{
    return flare_sprite([](float r, float dx, float dy, float w) {
        const float star = (std::exp(-dy * dy / 0.7f) + std::exp(-dx * dx / 0.7f)) * std::pow(w, 1.4f);
        return Rgb{255, 250, 220} * std::exp(-r * r / 7.0f) + Rgb{255, 160, 50} * (0.85f * std::pow(w, 2.4f)) +
               Rgb{255, 200, 110} * (0.5f * star);
    });
}

Image make_violet_flare()
{
    return flare_sprite([](float r, float, float, float w) {
        const float ring = std::exp(-(r - 14.0f) * (r - 14.0f) / 0.9f) * smoothstep(20.5f, 17.0f, r);
        return Rgb{255, 230, 255} * std::exp(-r * r / 7.0f) + Rgb{200, 60, 240} * (0.85f * std::pow(w, 2.4f)) +
               Rgb{230, 120, 255} * (0.55f * ring);
    });
}
