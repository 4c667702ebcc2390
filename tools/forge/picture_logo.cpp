// picture_logo.cpp -- the logo and credits scenes (warm magenta and gold on
// deep blue): the crystal landscape, the crest logo, the metallic wordmark, the
// banner and credit words, and the glowing sprites (flares and the ring).
#include "draw.h"
#include "forge.h"
#include "noise.h"
#include "palette.h"
#include "pictures.h"
#include "shading.h"
#include "text.h"

#include <cmath>
#include <string>

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

// The four credit words replace one another in the banner, so they share one
// size and one baseline and, once at rest, start at one frame column: the
// largest of the scene's leftmost columns (10, 10, 16 and 6). Lower case, as on
// the end screen. Bright gold-white, warm white at the tops fading to gold.
constexpr int credit_size = 15, credit_baseline = 13, credit_ink_column = 16;

Image credit_word(const char* word, int w, int h, int leftmost_x)
{
    const TextMask mask = render_text(word, Typeface::bold, credit_size);
    const InkBox box = ink_box(mask);
    const int left = credit_ink_column - leftmost_x, top = credit_baseline - mask.baseline;
    if (left + box.width() > w || top + box.y0 < 0 || top + box.y1 > h)
        forge_fail(std::string("the credit word \"") + word + "\" does not fit its " + std::to_string(w) + "x" +
                   std::to_string(h) + " sprite");
    Plane ink(320, 200);
    stamp_text(ink, mask, left - box.x0, top);
    const int cap_top = credit_baseline - (mask.baseline - ink_box(render_text("D", Typeface::bold, credit_size)).y0);
    Image image;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float t = clamp01(static_cast<float>(y - cap_top) / (credit_baseline - cap_top));
            image.at(x, y) = mix(warm_white, title_gold, t) * ink.at(x, y);
        }
    keep_sprite_block(image, w, h);
    return image;
}

// ---- the crest logo: reliefs lit as polished metal ----

// Coverage (0..1) of a convex polygon.
Plane polygon_mask(std::initializer_list<float> xs, std::initializer_list<float> ys)
{
    Image image;
    fill_polygon(image, xs.begin(), ys.begin(), static_cast<int>(xs.size()), Rgb{1, 1, 1});
    Plane mask;
    for (std::size_t i = 0; i < mask.v.size(); ++i) mask.v[i] = image.pixels[i].r;
    return mask;
}

// A rounded relief from a coverage mask: the mask blurred, so that its edges
// rise over about `bevel` pixels, held to the mask's own outline.
Plane relief(const Plane& mask, int bevel)
{
    Plane height = mask;
    box_blur(height, bevel, 2);
    for (std::size_t i = 0; i < height.v.size(); ++i) height.v[i] = smoothstep(0.0f, 1.0f, height.v[i]) * mask.v[i];
    return height;
}

// The normal of a relief `depth` pixels high at (x, y), facing the viewer (-z).
Vec3 relief_normal(const Plane& height, int x, int y, float depth)
{
    const float hx = height.at(std::min(319, x + 1), y) - height.at(std::max(0, x - 1), y);
    const float hy = height.at(x, std::min(199, y + 1)) - height.at(x, std::max(0, y - 1));
    return normalised({-0.5f * depth * hx, -0.5f * depth * hy, -1.0f});
}

// Polished metal: what the surface mirrors (a bright sky above the horizon, a
// darker floor below, a dark band at the horizon) through the metal's ramp, and a
// highlight from the upper left.
Rgb polished(Vec3 n, const Ramp& metal)
{
    const Vec3 r = reflect(view_ray, n);
    float level = r.y < 0 ? 0.62f + 0.35f * std::sqrt(-r.y) : 0.5f - 0.3f * r.y;
    level -= 0.3f * std::exp(-(r.y + 0.04f) * (r.y + 0.04f) / 0.01f);
    return metal(clamp01(level)) + Rgb{255, 250, 235} * (0.8f * highlight(n, upper_left_light, 40.0f));
}

const Ramp crest_gold{{0.0f, {40, 20, 8}},     {0.3f, {130, 72, 24}},   {0.6f, {230, 160, 60}},
                      {0.85f, {255, 222, 140}}, {1.0f, {255, 248, 225}}};
const Ramp crest_magenta{{0.0f, {40, 6, 36}},    {0.3f, {130, 24, 100}}, {0.6f, {230, 70, 170}},
                         {0.85f, {255, 150, 215}}, {1.0f, {255, 235, 250}}};
const Ramp crest_chrome{{0.0f, {70, 90, 170}},     {0.45f, {190, 205, 250}}, {0.6f, {255, 255, 255}},
                        {0.64f, {150, 80, 60}},    {0.72f, {230, 150, 70}},  {1.0f, {255, 220, 140}}};

// Paints a relief over the image by its mask, lit as polished metal.
void paint_relief(Image& image, const Plane& mask, const Plane& height, float depth, const Ramp& metal)
{
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            if (const float m = mask.at(x, y); m > 0.0f)
                image.at(x, y) = mix(image.at(x, y), polished(relief_normal(height, x, y, depth), metal), m);
}

// Chrome letters as the old posters have them: a blue-white sky reflected down to
// a bright horizon line at two thirds of their height, warm gold below it; their
// bevels catch the light from the upper left and fall dark to the lower right.
Rgb letter_colour(const Plane& height, int x, int y, float top, float bottom)
{
    const Vec3 n = relief_normal(height, x, y, 10.0f);
    const float t = (y + 0.5f - top) / (bottom - top);
    const float light = dot(n, upper_left_light) - dot(Vec3{0, 0, -1}, upper_left_light);
    return crest_chrome(t) * (1.0f + 1.2f * light) + Rgb{255, 250, 235} * (0.7f * highlight(n, upper_left_light, 30.0f));
}

void paint_letters(Image& image, const Plane& mask, const Plane& height, float top, float bottom)
{
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            if (const float m = mask.at(x, y); m > 0.0f)
                image.at(x, y) = mix(image.at(x, y), letter_colour(height, x, y, top, bottom), m);
}

// A soft dark shadow under a shape, offset down and to the right.
void drop_shadow(Image& image, const Plane& mask, int dx, int dy, int blur, float strength)
{
    Plane shadow(320, 200);
    for (int y = dy; y < 200; ++y)
        for (int x = dx; x < 320; ++x) shadow.at(x, y) = mask.at(x - dx, y - dy);
    box_blur(shadow, blur);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = image.pixels[i] * (1.0f - strength * shadow.v[i]);
}

// The night behind the crest: deep blue to violet, stars, a warm glow and faint
// rays behind the crest; below the horizon a dark glossy floor whose grid lines
// run to the vanishing point under the crest.
Image crest_backdrop(float horizon)
{
    Image image;
    fill(image, [&](int x, int y) {
        if (y < horizon) return mix(deep_blue * 0.8f, Rgb{70, 26, 100}, std::pow(y / horizon, 1.6f));
        // The floor: row y lies at distance 1 / depth; lines every 0.25 of distance
        // cross the rows where that distance passes a multiple, and the lines along
        // the floor run to the vanishing point (160, horizon).
        const float depth = (y + 0.5f - horizon) / (200.0f - horizon);
        const float near = 4.0f / (depth + 0.02f), far = 4.0f / (depth - 1.0f / (200.0f - horizon) + 0.02f);
        const float row_line = std::floor(far) != std::floor(near) ? 1.0f : 0.0f;
        const float across = (x + 0.5f - 160.0f) / ((y + 0.5f - horizon) * 2.2f);
        const float column_line = std::exp(-std::pow(fract(across + 0.5f) - 0.5f, 2.0f) / (0.02f / (depth + 0.1f)));
        const float line = std::fmax(row_line, column_line) * smoothstep(0.0f, 0.5f, depth);
        return mix(Rgb{24, 10, 46}, Rgb{8, 6, 26}, depth) + magenta * (0.45f * line);
    });
    Rng rng(0x0717);
    for (int i = 0; i < 110; ++i) {
        const int y = rng.below(static_cast<int>(horizon) - 20);
        add_star(image, rng.below(320), y, Rgb{215, 220, 255} * rng.range(0.25f, 0.9f) * (1.0f - y / horizon), 1.0f,
                 rng.below(12) == 0 ? 2 : 0);
    }
    // Rays fanning out from behind the crest, and the glow they come from.
    for (int y = 0; y < static_cast<int>(horizon); ++y)
        for (int x = 0; x < 320; ++x) {
            const float a = std::atan2(y - 64.0f, x - 160.0f), r = std::hypot(x - 160.0f, y - 64.0f);
            const float ray = std::pow(0.5f + 0.5f * std::cos(a * 14.0f), 6.0f) * std::exp(-r / 90.0f);
            image.at(x, y) = image.at(x, y) + Rgb{120, 50, 120} * (0.45f * ray);
        }
    add_glow(image, 160, 64, 150, 90, Rgb{110, 40, 110}, 2.0f);
    add_glow(image, 160, horizon, 200, 14, Rgb{200, 90, 150}, 2.0f);
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

// The crest: a gold shield with a raised magenta "V" on a dark enamel field
// engraved with fine horizontal lines, gold wings to either side, and the name
// in chrome and gold standing on a glossy floor that mirrors it, under a night
// sky with rays and stars. Lit reliefs give it something to look at while it is
// held; its strong horizontal strokes (wings, engraving, floor lines, the
// letters' horizon line) survive the sideways smear it fades out with.
Image make_crest_logo()
{
    const float horizon = 150.0f;
    Image image = crest_backdrop(horizon);

    // Wings: tapered bars, three to a side.
    for (const float side : {-1.0f, 1.0f})
        for (int k = 0; k < 3; ++k) {
            const float y = 40.0f + 9.0f * k, inner = 160.0f + side * 44.0f, outer = 160.0f + side * (142.0f - 26.0f * k);
            const Plane wing = polygon_mask({inner, outer, outer, inner}, {y, y + 2.0f, y + 4.0f, y + 6.0f});
            drop_shadow(image, wing, 2, 3, 2, 0.6f);
            paint_relief(image, wing, relief(wing, 2), 6.0f, crest_gold);
        }
    // The shield: a gold rim around the engraved enamel field.
    const Plane shield = polygon_mask({112, 208, 208, 160, 112}, {10, 10, 76, 112, 76});
    const Plane field = polygon_mask({120, 200, 200, 160, 120}, {18, 18, 72, 103, 72});
    drop_shadow(image, shield, 3, 4, 3, 0.7f);
    paint_relief(image, shield, relief(shield, 4), 14.0f, crest_gold);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            if (const float m = field.at(x, y); m > 0.0f) {
                const float glow = std::exp(-(std::pow((x - 160.0f) / 40.0f, 2.0f) + std::pow((y - 50.0f) / 40.0f, 2.0f)));
                const float engraving = 0.75f + 0.25f * std::cos(y * 2.0f * pi / 3.0f + 0.6f * std::sin(x * 0.12f));
                const Rgb enamel = mix(Rgb{26, 8, 44}, Rgb{96, 22, 110}, glow) * engraving;
                image.at(x, y) = mix(image.at(x, y), enamel, m);
            }
    // The "V": two raised strokes meeting at the foot.
    Plane v = polygon_mask({128, 148, 166, 154}, {26, 26, 96, 96});
    const Plane right = polygon_mask({192, 172, 154, 166}, {26, 26, 96, 96});
    for (std::size_t i = 0; i < v.v.size(); ++i) v.v[i] = std::fmax(v.v[i], right.v[i]);
    drop_shadow(image, v, 2, 3, 2, 0.8f);
    paint_relief(image, v, relief(v, 3), 12.0f, crest_magenta);

    // The name, standing on the floor, and its reflection in it.
    const int size = fit_text_height("VELMORA", Typeface::bold, 260, 34);
    const Plane word = text_plane("VELMORA", Typeface::bold, size, 160, static_cast<int>(horizon) + 14);
    Plane halo = word;
    box_blur(halo, 5);
    add_plane(image, halo, Rgb{140, 50, 130} * 0.8f);
    const Plane word_height = relief(word, 2);
    const InkBox box = ink_box(render_text("VELMORA", Typeface::bold, size));
    const float word_bottom = horizon + 14.0f, word_top = word_bottom - static_cast<float>(box.height());
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            const int mirror = 2 * (static_cast<int>(horizon) + 15) - y;
            if (mirror < 0 || mirror >= 200 || y <= static_cast<int>(horizon) + 15) continue;
            const float m = word.at(x, mirror) * 0.3f * (1.0f - (y - horizon - 15.0f) / 35.0f);
            if (m > 0.0f) image.at(x, y) = mix(image.at(x, y), letter_colour(word_height, x, mirror, word_top, word_bottom), m);
        }
    drop_shadow(image, word, 2, 2, 1, 0.7f);
    paint_letters(image, word, word_height, word_top, word_bottom);
    // Glints where the light from the upper left catches corners.
    add_glow(image, 113, 11, 5, 5, Rgb{255, 245, 220}, 2.0f);
    add_star(image, 113, 11, Rgb{255, 250, 235}, 2.0f, 9);
    add_star(image, 131, 27, Rgb{255, 230, 250}, 2.0f, 5);
    add_star(image, static_cast<int>(160 - box.width() / 2.0f) + 3, static_cast<int>(word_top) + 2, Rgb{255, 255, 255}, 2.0f, 7);
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

// A dim plate with a thin glowing border, rounded corners, in the top-left 140x40:
// rows 2 to 31 only, so that the credit words (banner rows 10 to 23, the banner
// resting at frame row 10 and the words at row 18 with their baseline 13 rows
// down) sit in its middle; the rows under it are black.
Image make_banner()
{
    constexpr float centre_y = 17.0f, half_height = 15.0f, radius = 5.0f;
    Image image;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 140; ++x) {
            // Signed distance to a rounded rectangle inset by 1.5 px (< 0 inside).
            const float qx = std::fabs(x + 0.5f - 70.0f) - (70.0f - 1.5f - radius);
            const float qy = std::fabs(y + 0.5f - centre_y) - (half_height - 1.5f - radius);
            const float outside = std::sqrt(std::fmax(qx, 0.0f) * std::fmax(qx, 0.0f) + std::fmax(qy, 0.0f) * std::fmax(qy, 0.0f)) +
                                  std::fmin(std::fmax(qx, qy), 0.0f) - radius;
            const float border = std::exp(-outside * outside / 0.5f);
            const float inner_glow = outside < 0 ? std::exp(outside / 3.0f) : 0.0f;
            const float down = (y + 0.5f - (centre_y - half_height)) / (2.0f * half_height);
            Rgb c = outside < 0 ? Rgb{22, 12, 40} + Rgb{14, 6, 22} * down : Rgb{};
            c = c + Rgb{40, 14, 40} * inner_glow + Rgb{100, 58, 94} * border;
            image.at(x, y) = c;
        }
    return image;
}

Image make_credit_code() { return credit_word("code", 80, 25, 10); }
Image make_credit_music() { return credit_word("music", 56, 14, 10); }
Image make_credit_graphics() { return credit_word("graphics", 79, 16, 16); }
Image make_credit_models() { return credit_word("3D models", 125, 15, 6); }

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
