// shading.h -- vectors, lighting and the sphere maps: environment and lighting
// spheres painted into the 256x128 ellipse that the mesh samplers read.
//
// A picture pixel (col, row) of the block is read for the normal with
// n.x = (128 - col) / 128 and n.y = (64 - row) / 64 (x right, y down, z into the
// screen), so the picture appears turned by 180 degrees on the object: a
// highlight for the upper left is painted at the lower right of the ellipse.
#pragma once

#include "image.h"

#include <cmath>

struct Vec3 {
    float x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float k) { return {a.x * k, a.y * k, a.z * k}; }
inline float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 normalised(Vec3 a)
{
    const float length = std::sqrt(dot(a, a));
    return length > 0 ? a * (1.0f / length) : Vec3{0, 0, -1};
}
// The mirror direction of `incoming` about the unit normal n.
inline Vec3 reflect(Vec3 incoming, Vec3 n) { return incoming - n * (2.0f * dot(incoming, n)); }

// The camera looks along +z; light for a highlight at the object's upper left.
inline const Vec3 view_ray{0, 0, 1};
inline const Vec3 upper_left_light = normalised({-0.55f, -0.6f, -0.58f});

// Diffuse term max(0, n.l) and a Phong highlight (mirror of the view ray against
// the light direction, raised to `power`).
inline float diffuse(Vec3 n, Vec3 light) { return std::fmax(0.0f, dot(n, light)); }
inline float highlight(Vec3 n, Vec3 light, float power)
{
    return std::pow(std::fmax(0.0f, dot(reflect(view_ray, n), light)), power);
}

// The normal a picture pixel is read for, facing the viewer (z <= 0). Outside
// the ellipse it is the normal just inside the rim in the same direction, so the
// rim colour continues outward (the very silhouette would show only grazing
// reflections, a dark fringe).
Vec3 sphere_normal(int col, int row);

// Makes column 0 match column 255 and row 0 match row 127 of the block (each
// pair becomes its average), because a normal component of exactly -1 wraps to 0.
void match_wrap_edges(Image& image);

// A whole 320x200 picture painted by paint(x, y, normal), edges matched.
template <class Paint>
Image paint_sphere(Paint paint)
{
    Image image;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) image.at(x, y) = paint(x, y, sphere_normal(x, y));
    match_wrap_edges(image);
    return image;
}
// The same when the colour depends on the normal alone.
template <class Shade>
Image sphere_map(Shade shade)
{
    return paint_sphere([&](int, int, Vec3 n) { return shade(n); });
}
