// picture_panorama.cpp -- the vertical scroller's 320x600 panorama: open space
// at the top (tuff), a spire of light rising through the middle (link), and the
// credits' deep-blue backdrop at the bottom (dsg3). Painted as one image and
// cut in three, so the seams cannot show.
#include "draw.h"
#include "noise.h"
#include "palette.h"
#include "pictures.h"

#include <cmath>

using namespace show_colour;

namespace {

constexpr int strip_height = 600;
constexpr float spire_tip = 235.0f, spire_base = 600.0f, spire_half_base = 46.0f;

float spire_half_width(float y)
{
    if (y < spire_tip) return 0.0f;
    return spire_half_base * std::pow((y - spire_tip) / (spire_base - spire_tip), 1.5f);
}

Rgb sky(int x, int y, const Fractal& nebula)
{
    const float t = static_cast<float>(y) / strip_height;
    const Rgb base = mix(Rgb{1, 1, 6}, Rgb{16, 18, 62}, std::pow(t, 1.3f));
    const float n = fractal_noise(x / 320.0f, y / 300.0f, nebula);
    const float veil = smoothstep(0.42f, 0.85f, n) * (0.4f + 0.6f * t) * (1.0f - 0.6f * t);
    return base + Rgb{30, 10, 48} * veil;
}

// Lit edges and rings of small lights on the spire; brighter toward the tip,
// dim over the credits backdrop so the added logo and names read.
void draw_spire(Image& image)
{
    for (int y = static_cast<int>(spire_tip); y < strip_height; ++y) {
        const float fy = static_cast<float>(y);
        const float half = spire_half_width(fy);
        const float height_share = 1.0f - (fy - spire_tip) / (spire_base - spire_tip);  // 1 at the tip
        const float edge_light = 30.0f + 110.0f * height_share * height_share;
        for (int x = 110; x < 210; ++x) {
            const float d = std::fabs(static_cast<float>(x) + 0.5f - 160.0f);
            Rgb& p = image.at(x, y);
            if (d < half) {
                // The body: a darker glass with a faint central seam.
                const float seam = std::exp(-d * d / 2.0f) * 0.5f;
                p = mix(p, Rgb{6, 8, 26}, 0.7f) + Rgb{20, 30, 60} * seam * (0.3f + height_share);
            }
            const float edge = std::exp(-(d - half) * (d - half) / 1.2f);
            p = p + Rgb{0.45f, 0.75f, 1.0f} * (edge_light * edge);
        }
        // A ring of lights every 28 rows, fading toward the base.
        if (y % 28 == 0 && half > 3) {
            for (int i = -3; i <= 3; ++i) {
                const float lx = 160.0f + half * 0.8f * static_cast<float>(i) / 3.0f;
                add_glow(image, lx, fy, 2.5f, 2.5f, Rgb{160, 120, 255} * (0.3f + 0.7f * height_share), 2.0f);
            }
        }
    }
    // The beacon at the tip.
    add_glow(image, 160, spire_tip, 60, 60, Rgb{40, 50, 120}, 3.0f);
    add_glow(image, 160, spire_tip, 14, 14, Rgb{180, 210, 255}, 2.0f);
    add_star(image, 160, static_cast<int>(spire_tip), Rgb{255, 255, 255}, 2.0f, 7);
}

// The credits backdrop's calm areas: the banner (0-139, 10-49) and the rings (273, 160).
bool calm_area(int x, int y)
{
    if (y >= 400 && y < 460 && x < 150) return true;
    const float dx = static_cast<float>(x - 273), dy = static_cast<float>(y - 560);
    return y >= 400 && dx * dx + dy * dy < 75.0f * 75.0f;
}

void draw_stars(Image& image)
{
    Rng rng(0x7A11);
    for (int i = 0; i < 900; ++i) {
        const int x = rng.below(320);
        // Dense at the top, thinning out toward the backdrop.
        const float t = rng.unit();
        const int y = static_cast<int>(std::pow(t, 1.6f) * 520.0f);
        const float level = rng.range(0.25f, 1.0f) * (1.0f - 0.7f * y / 520.0f);
        if (calm_area(x, y) || std::fabs(x - 160.0f) < spire_half_width(static_cast<float>(y)) + 2) continue;
        const bool cross = rng.unit() < 0.02f && y < 300;
        add_star(image, x, y, star_white * level, rng.unit() < 0.15f ? 2.0f : 1.0f, cross ? 3 : 0);
    }
}

// Faint arcs around the spire's foot: the "designed" part of the backdrop.
void draw_arcs(Image& image)
{
    for (int y = 420; y < strip_height; ++y)
        for (int x = 0; x < 320; ++x) {
            const float dx = static_cast<float>(x - 160), dy = static_cast<float>(y - 640) * 1.6f;
            const float r = std::sqrt(dx * dx + dy * dy);
            const float ring = std::pow(0.5f + 0.5f * std::cos(r * 2.0f * pi / 34.0f), 16.0f);
            const float fade = smoothstep(420, 520, static_cast<float>(y)) * (calm_area(x, y) ? 0.25f : 1.0f);
            image.at(x, y) = image.at(x, y) + Rgb{18, 14, 44} * (ring * fade);
        }
}

// The credits backdrop (rows 400 on) carries added logo, names and rings, so
// its peaks are compressed smoothly toward 140, starting from row 380.
float soft_cap(float v)
{
    return v <= 110.0f ? v : 110.0f + 30.0f * (1.0f - std::exp(-(v - 110.0f) / 30.0f));
}

void soften_backdrop_peaks(Image& image)
{
    for (int y = 380; y < strip_height; ++y) {
        const float share = smoothstep(380.0f, 400.0f, static_cast<float>(y));
        for (int x = 0; x < 320; ++x) {
            Rgb& p = image.at(x, y);
            p = mix(p, Rgb{soft_cap(p.r), soft_cap(p.g), soft_cap(p.b)}, share);
        }
    }
}

const Image& panorama()
{
    static const Image strip = [] {
        const Fractal nebula{3, 5, 5, 0.55f, 0x9A, true};
        Image image(320, strip_height);
        fill(image, [&](int x, int y) { return sky(x, y, nebula); });
        draw_arcs(image);
        draw_stars(image);
        draw_spire(image);
        soften_backdrop_peaks(image);
        return image;
    }();
    return strip;
}

Image panorama_part(int first_row)
{
    Image part;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) part.at(x, y) = panorama().at(x, first_row + y);
    return part;
}

}  // namespace

Image make_panorama_top() { return panorama_part(0); }
Image make_panorama_middle() { return panorama_part(200); }
Image make_panorama_bottom() { return panorama_part(400); }
