// draw.h -- the forge's drawing toolkit: single-channel planes, separable box
// blurs, soft glows, star fields, polygons, compositing, and the tiling and
// cutting helpers that turn a 256x128 tile into a whole picture.
#pragma once

#include "image.h"
#include "rng.h"

#include <algorithm>
#include <cmath>
#include <vector>

constexpr float pi = 3.14159265358979f;

inline float clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }
inline float smoothstep(float e0, float e1, float x)
{
    const float t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}
inline float fract(float v) { return v - std::floor(v); }

// A single-channel picture (coverage, height, light), floats.
struct Plane {
    int width = 320, height = 200;
    std::vector<float> v;
    Plane(int w = 320, int h = 200, float fill = 0.0f) : width(w), height(h), v(std::size_t(w) * std::size_t(h), fill) {}
    float& at(int x, int y) { return v[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    float at(int x, int y) const { return v[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

// Fills every pixel with shade(x, y).
template <class Shade>
void fill(Image& image, Shade shade)
{
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) image.at(x, y) = shade(x, y);
}

// Box blur of the given radius along rows then columns, repeated `passes`
// times (three passes approach a Gaussian). With `wrap` the plane is treated
// as a torus (for tiles), otherwise edges are clamped. Cost is independent of
// the radius: a running sum per row and column.
void box_blur(Plane& plane, int radius, int passes = 3, bool wrap = false);
void box_blur(Image& image, int radius, int passes = 3, bool wrap = false);

// Adds colour * weight(d) around (cx, cy), where d is the distance normalised by
// the radii (1 on the ellipse of radii rx, ry) and the weight falls from 1 at the
// centre to exactly 0 at d = 1: (1 - d^2)^sharpness.
void add_glow(Image& image, float cx, float cy, float rx, float ry, Rgb colour, float sharpness = 2.0f);

// One star: a pixel of `colour`, with a soft neighbour spill when `size` > 1 and
// thin crossed rays of `ray` pixels when ray > 0. Pixels outside are dropped.
void add_star(Image& image, int x, int y, Rgb colour, float size = 1.0f, int ray = 0);
// `count` stars with brightness uniformly between low and high (0..1 of colour).
void scatter_stars(Image& image, Rng& rng, int count, Rgb colour, float low, float high,
                   float big_share = 0.1f, float cross_share = 0.0f);

// Fills the convex polygon of n corners (any winding) with colour * coverage,
// coverage from 4x4 supersampling, blending over the image.
void fill_polygon(Image& image, const float* xs, const float* ys, int n, Rgb colour, float opacity = 1.0f);

// Paints `colour` over the image by coverage * opacity.
void paint_plane(Image& image, const Plane& coverage, Rgb colour, float opacity = 1.0f);
// Adds colour * plane.
void add_plane(Image& image, const Plane& plane, Rgb colour);
// dst += src * k, per channel.
void add_image(Image& dst, const Image& src, float k = 1.0f);
// Multiplies every channel by k.
void scale_image(Image& image, float k);
// The mean of all three channels over the rectangle [x0, x1) x [y0, y1).
float mean_level(const Image& image, int x0, int y0, int x1, int y1);

// Tiles: a picture whose every pixel (x, y) repeats the tile at (x mod w, y mod h).
Image repeat_tile(const Image& tile, int width = 320, int height = 200);
// Evaluates shade(x, y) over a w x h tile and repeats it over the whole picture.
template <class Shade>
Image tiled_picture(Shade shade, int tile_w = 256, int tile_h = 128)
{
    Image tile(tile_w, tile_h);
    fill(tile, shade);
    return repeat_tile(tile);
}

// Sprites: keeps the top-left w x h block and makes everything else black.
void keep_sprite_block(Image& image, int w, int h);
