// icon.cpp -- the desktop icon: a rounded night-sky tile with a lit planet and a
// bold "V", painted at each size the desktop asks for (not scaled down from one
// size, so the small ones stay sharp), written as PNG with an alpha channel.
#include "draw.h"
#include "forge.h"
#include "palette.h"
#include "shading.h"
#include "text.h"

#include <png.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int icon_sizes[] = {48, 64, 128, 256};

const Ramp sky_ramp{{0.0f, {18, 16, 48}}, {0.6f, {46, 24, 84}}, {1.0f, {92, 34, 96}}};
const Ramp planet_ramp{{0.0f, {110, 40, 20}}, {0.45f, {206, 112, 48}}, {0.75f, {240, 190, 112}}, {1.0f, {252, 236, 200}}};

// Coverage of a pixel by a shape, from its signed distance in pixels (negative inside).
float edge_coverage(float distance) { return clamp01(0.5f - distance); }

float rounded_square_distance(float x, float y, float half, float radius)
{
    const float qx = std::fabs(x) - half + radius, qy = std::fabs(y) - half + radius;
    const float outside = std::hypot(std::fmax(qx, 0.0f), std::fmax(qy, 0.0f));
    return outside + std::fmin(std::fmax(qx, qy), 0.0f) - radius;
}

// The planet's colour for its unit normal: bands along latitude, lit from the upper left.
Rgb planet_colour(Vec3 n)
{
    const float band = 0.5f + 0.25f * std::sin(n.y * 11.0f) + 0.12f * std::sin(n.y * 29.0f + 1.1f);
    const float light = 0.12f + 0.88f * diffuse(n, upper_left_light);
    return planet_ramp(band) * light + Rgb{255, 248, 230} * (0.7f * highlight(n, upper_left_light, 24.0f));
}

// One icon of size x size: colour and coverage (alpha, 0..1).
void paint_icon(int size, Image& image, Plane& alpha)
{
    const float unit = size / 256.0f;  // the design is laid out on 256 x 256
    const float centre = size * 0.5f, half = 118.0f * unit, radius = 44.0f * unit;
    const float planet_x = 156.0f * unit, planet_y = 160.0f * unit, planet_r = 70.0f * unit;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float px = x + 0.5f, py = y + 0.5f;
            alpha.at(x, y) = edge_coverage(rounded_square_distance(px - centre, py - centre, half, radius));
            Rgb colour = sky_ramp(py / size);
            const float dx = (px - planet_x) / planet_r, dy = (py - planet_y) / planet_r;
            const float d = std::sqrt(dx * dx + dy * dy);
            const float on_planet = edge_coverage((d - 1.0f) * planet_r);
            if (on_planet > 0.0f) {
                const float z = std::sqrt(std::fmax(0.0f, 1.0f - std::fmin(d, 1.0f) * std::fmin(d, 1.0f)));
                colour = mix(colour, planet_colour(normalised({dx, dy, -z})), on_planet);
            }
            // A thin bright rim just inside the tile's edge.
            const float rim = rounded_square_distance(px - centre, py - centre, half - 2.0f * unit, radius);
            colour = mix(colour, Rgb{150, 120, 210}, 0.5f * clamp01(1.0f - std::fabs(rim + 0.5f * unit) / (1.5f * unit)));
            image.at(x, y) = colour;
        }
    }
    if (size >= 64) {
        Rng rng(0x1C0);
        for (int i = 0; i < 40; ++i) {
            const int sx = int(rng.unit() * size), sy = int(rng.unit() * size * 0.55f);
            const float dx = (sx - planet_x) / planet_r, dy = (sy - planet_y) / planet_r;
            if (dx * dx + dy * dy > 1.3f) add_star(image, sx, sy, Rgb{255, 250, 235} * (0.4f + 0.6f * rng.unit()));
        }
    }
    // The letter: a dark shadow, then the face, light at the top.
    const int letter = fit_text_height("V", Typeface::bold, int(132 * unit), int(132 * unit));
    const TextMask mask = render_text("V", Typeface::bold, letter);
    const InkBox ink = ink_box(mask);
    const int lx = int(84 * unit) - (ink.x0 + ink.x1) / 2, ly = int(104 * unit) - (ink.y0 + ink.y1) / 2;
    const int shadow = std::max(1, int(5 * unit));
    paint_text(image, mask, lx + shadow, ly + shadow, Rgb{10, 6, 24});
    Image face(size, size);
    fill(face, [&](int, int y) { return mix(Rgb{255, 255, 250}, Rgb{250, 200, 120}, clamp01(float(y - ly - ink.y0) / ink.height())); });
    for (int y = 0; y < mask.height; ++y)
        for (int x = 0; x < mask.width; ++x) {
            const int ix = lx + x, iy = ly + y;
            if (ix >= 0 && iy >= 0 && ix < size && iy < size) image.at(ix, iy) = mix(image.at(ix, iy), face.at(ix, iy), mask.at(x, y));
        }
}

void write_rgba_png(const std::string& file, const Image& image, const Plane& alpha)
{
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) forge_fail("cannot write " + file);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(out);
        forge_fail("cannot encode " + file);
    }
    png_init_io(png, out);
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::vector<std::uint32_t> pixels = to_pixels(image);
    std::vector<png_byte> row(std::size_t(image.width) * 4);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t p = pixels[std::size_t(y) * std::size_t(image.width) + std::size_t(x)];
            png_byte* at = &row[std::size_t(x) * 4];
            at[0] = png_byte(p >> 16);
            at[1] = png_byte(p >> 8);
            at[2] = png_byte(p);
            at[3] = png_byte(std::lround(255.0f * clamp01(alpha.at(x, y))));
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(out) != 0) forge_fail("cannot write " + file);
}

}  // namespace

void write_icon(const std::string& root)
{
    for (int size : icon_sizes) {
        Image image(size, size);
        Plane alpha(size, size);
        paint_icon(size, image, alpha);
        const std::string name = "icon\\velmora-" + std::to_string(size) + ".png";
        write_rgba_png(forge_output(root, name.c_str()), image, alpha);
    }
}
