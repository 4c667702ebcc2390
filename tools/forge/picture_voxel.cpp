// picture_voxel.cpp -- the voxel landscape: a tiling height map (sea flattened
// at the water level), the colour map that agrees with it, and the sky's clouds.
#include "draw.h"
#include "noise.h"
#include "palette.h"
#include "pictures.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int map_w = 256, map_h = 128;

// Heights of the 256x128 tile: a fractal sum whose lowest 30 % becomes sea at
// exactly the water level; the land climbs from 71 to about 230.
const Plane& terrain()
{
    static const Plane heights = [] {
        const Fractal hills{4, 4, 6, 0.5f, 0x7E77, true};
        Plane raw(map_w, map_h);
        for (int y = 0; y < map_h; ++y)
            for (int x = 0; x < map_w; ++x) raw.at(x, y) = fractal_noise(x / 256.0f, y / 128.0f, hills);
        box_blur(raw, 1, 2, true);
        std::vector<float> sorted = raw.v;
        std::sort(sorted.begin(), sorted.end());
        const float sea = sorted[sorted.size() * 30 / 100], top = sorted.back();
        Plane h(map_w, map_h);
        for (std::size_t i = 0; i < raw.v.size(); ++i) {
            const float t = (raw.v[i] - sea) / (top - sea);
            h.v[i] = t <= 0 ? static_cast<float>(water_level) : 71.0f + 159.0f * std::pow(t, 1.1f);
        }
        return h;
    }();
    return heights;
}

int wrap(int v, int period) { return ((v % period) + period) % period; }

bool is_water(int col, int row) { return terrain_height(col, row) <= water_level; }

// Land by height, ranging no higher than about 170 because the haze adds to it.
Rgb land_colour(float h)
{
    const Ramp land{{71, {150, 138, 96}}, {80, {140, 130, 90}},  {90, {70, 110, 44}},  {140, {56, 96, 40}},
                    {160, {100, 92, 76}}, {190, {124, 118, 110}}, {200, {165, 165, 170}}, {255, {170, 170, 176}}};
    return land(h);
}

}  // namespace

float terrain_height(int col, int row)
{
    return std::round(terrain().at(wrap(col, map_w), wrap(row, map_h)));
}

Image make_height_map()
{
    Image image;
    fill(image, [](int x, int y) { return grey(terrain_height(x, y)); });
    return image;
}

// Colour at map column c comes from the height at column c + 56. Water is stored
// with red and blue exchanged (the show swaps them back); land touching the
// water takes a neutral wet-sand colour that reads either way.
//
// The scene presents this whole picture for one frame before the flight, so
// only the 256x128 map it reads is bright: around it the map fades out, dimmed,
// into the dark, behind a thin frame, and the frame reads as a glimpse of the
// chart of the land about to be flown over.
Image make_colour_map()
{
    const Fractal ripple{16, 16, 2, 0.5f, 0x3A7, true};
    auto map_colour = [&](int x, int y) {
        const int col = x + colour_map_offset, row = y;
        const float h = terrain_height(col, row);
        if (h <= water_level) {
            bool shore = false;
            for (int d = -2; d <= 2 && !shore; ++d) shore = !is_water(col + d, row) || !is_water(col, row + d);
            const float r = fractal_noise(wrap(x, map_w) / 256.0f, wrap(y, map_h) / 128.0f, ripple);
            const Rgb shown = shore ? Rgb{50, 110, 150} : Rgb{22, 70 + 20 * r, 130 + 30 * r};
            return Rgb{shown.b, shown.g, shown.r};
        }
        for (int d = -2; d <= 2; ++d)
            if (is_water(col + d, row) || is_water(col, row + d)) return Rgb{130, 128, 112};
        // Light from the left: brighter where the ground rises toward the right.
        const float slope = terrain_height(col + 1, row) - terrain_height(col - 1, row);
        const float shade = std::clamp(1.0f + slope * 0.04f, 0.55f, 1.25f);
        Rgb c = land_colour(h) * shade;
        c.r = std::min(c.r, 170.0f), c.g = std::min(c.g, 170.0f), c.b = std::min(c.b, 176.0f);
        return c;
    };
    const Rgb border{96, 104, 122}, night{6, 8, 16};
    Image image;
    fill(image, [&](int x, int y) {
        if (x < map_w && y < map_h) return map_colour(x, y);
        if ((x == map_w && y <= map_h) || (y == map_h && x <= map_w)) return border;
        // Distance beyond the map, in map rows (a row is two texels high).
        const float dx = std::max(0, x - map_w), dy = std::max(0, y - map_h);
        const float fade = 0.22f * std::exp(-std::sqrt(dx * dx + 4 * dy * dy) / 14.0f);
        return mix(night, map_colour(x, y), fade);
    });
    return image;
}

// Soft white-grey clouds on a mid blue, in large shapes.
Image make_clouds()
{
    const Fractal sky{3, 3, 5, 0.55f, 0xC10, true};
    return tiled_picture([&](int x, int y) {
        const float n = fractal_noise(x / 256.0f, y / 128.0f, sky);
        const float cloud = smoothstep(0.45f, 0.72f, n);
        const Rgb white = mix(Rgb{140, 146, 160}, Rgb{178, 178, 180}, smoothstep(0.6f, 0.85f, n));
        return mix(Rgb{30, 60, 130}, white, cloud);
    });
}
