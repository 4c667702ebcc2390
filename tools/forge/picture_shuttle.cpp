// picture_shuttle.cpp -- the shuttle's texture. The shuttle is split per face and
// drawn with the u/v stored at load time, so every face shows exactly one texel,
// the one its normal selects: the texture is a palette, one colour per face
// direction, and nothing else of it is ever read by the mesh. The rest of the
// picture is free, and it is seen: the flyby scenes draw their first frame over
// this whole picture. It therefore holds the stars and caption that the first
// flyby's next frames show, and the palette's few hundred texels sit among the
// stars like more of them.
#include "mesh_shapes.h"
#include "palette.h"
#include "pictures.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace {

// Each channel as the show holds it, 0..255 whole numbers.
Rgb quantised(Rgb c)
{
    auto q = [](float v) { return std::clamp(std::round(v), 0.0f, 255.0f); };
    return {q(c.r), q(c.g), q(c.b)};
}

// The first flyby's background: caption + near stars + far stars, each
// saturating, as composed before its second frame.
Image flyby_backdrop()
{
    const Image caption = make_scene_caption(), near = make_near_stars(), far = make_far_stars();
    Image image;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const Rgb sum = quantised(caption.at(x, y)) + quantised(near.at(x, y)) + quantised(far.at(x, y));
            image.at(x, y) = {std::min(sum.r, 255.0f), std::min(sum.g, 255.0f), std::min(sum.b, 255.0f)};
        }
    return image;
}

// A face's colour from what it is painted as and which way it faces (the craft's
// axes: nose +x, top +z). Light wraps round from above, ahead and the right flank
// (the one the second flyby shows), so the far side still reads as white.
Rgb hull_colour(HullPaint paint, Vec3 n)
{
    const Vec3 key = normalised({0.3, 0.35, 0.88});
    const float light = static_cast<float>(std::clamp(0.62 + 0.38 * dot(n, key), 0.0, 1.0));
    switch (paint) {
    case HullPaint::white_tiles: return Rgb{236, 236, 230} * light;
    case HullPaint::black_tiles: return Rgb{44, 44, 50} * (0.55f + 0.45f * light);
    case HullPaint::nose_cap: return Rgb{84, 84, 90} * light;
    case HullPaint::glass: {
        const float glint = static_cast<float>(std::pow(std::max(0.0, dot(n, normalised({0.8, 0.2, 0.6}))), 6.0));
        return Rgb{14, 22, 40} + Rgb{110, 160, 210} * glint;
    }
    case HullPaint::pod: return Rgb{206, 206, 204} * light;
    case HullPaint::engine_bell: return Rgb{70, 64, 60} * light;
    case HullPaint::base_plate: return Rgb{112, 112, 118};
    case HullPaint::exhaust: return mix(Rgb{255, 110, 30}, Rgb{255, 240, 190}, static_cast<float>(0.5 + 0.5 * n.z));
    }
    return {};
}

}  // namespace

Image make_shuttle_hull()
{
    Image image = flyby_backdrop();
    const PaintedShape craft = shuttle_hull();
    const std::vector<Texel> texels = stored_face_texels(craft.shape);
    // Faces that select one texel share it: the area-weighted mean of their colours.
    std::map<std::pair<int, int>, std::pair<Rgb, double>> sums;
    for (std::size_t j = 0; j < texels.size(); ++j) {
        const Triangle& f = craft.shape.triangles[j];
        const Vec3 a = craft.shape.points[f.a];
        const Vec3 normal = cross(craft.shape.points[f.b] - a, craft.shape.points[f.c] - a);
        const double area = length(normal);
        auto& [colour, weight] = sums[{texels[j].u, texels[j].v / 2}];
        colour = colour + hull_colour(craft.paint[j], normalised(normal)) * static_cast<float>(area);
        weight += area;
    }
    for (const auto& [at, sum] : sums) image.at(at.first, at.second) = sum.first * static_cast<float>(1.0 / sum.second);
    return image;
}
