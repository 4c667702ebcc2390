// draw.cpp -- blurs, glows, stars, polygons and compositing for the forge.
#include "draw.h"

namespace {

// One box pass over `count` samples spaced `stride` apart, in place.
void box_line(float* line, int count, int stride, int radius, bool wrap, std::vector<float>& scratch)
{
    scratch.resize(std::size_t(count));
    for (int i = 0; i < count; ++i) scratch[std::size_t(i)] = line[std::size_t(i) * std::size_t(stride)];
    auto sample = [&](int i) {
        if (wrap) return scratch[std::size_t(((i % count) + count) % count)];
        return scratch[std::size_t(std::min(count - 1, std::max(0, i)))];
    };
    float sum = 0;
    for (int i = -radius; i <= radius; ++i) sum += sample(i);
    const float k = 1.0f / static_cast<float>(2 * radius + 1);
    for (int i = 0; i < count; ++i) {
        line[std::size_t(i) * std::size_t(stride)] = sum * k;
        sum += sample(i + radius + 1) - sample(i - radius);
    }
}

}  // namespace

void box_blur(Plane& plane, int radius, int passes, bool wrap)
{
    if (radius <= 0) return;
    std::vector<float> scratch;
    for (int p = 0; p < passes; ++p) {
        for (int y = 0; y < plane.height; ++y) box_line(&plane.at(0, y), plane.width, 1, radius, wrap, scratch);
        for (int x = 0; x < plane.width; ++x) box_line(&plane.at(x, 0), plane.height, plane.width, radius, wrap, scratch);
    }
}

void box_blur(Image& image, int radius, int passes, bool wrap)
{
    Plane channel[3] = {Plane(image.width, image.height), Plane(image.width, image.height),
                        Plane(image.width, image.height)};
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        channel[0].v[i] = image.pixels[i].r;
        channel[1].v[i] = image.pixels[i].g;
        channel[2].v[i] = image.pixels[i].b;
    }
    for (Plane& c : channel) box_blur(c, radius, passes, wrap);
    for (std::size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = {channel[0].v[i], channel[1].v[i], channel[2].v[i]};
}

void add_glow(Image& image, float cx, float cy, float rx, float ry, Rgb colour, float sharpness)
{
    const int x0 = std::max(0, static_cast<int>(std::floor(cx - rx))), x1 = std::min(image.width - 1, static_cast<int>(std::ceil(cx + rx)));
    const int y0 = std::max(0, static_cast<int>(std::floor(cy - ry))), y1 = std::min(image.height - 1, static_cast<int>(std::ceil(cy + ry)));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const float dx = (static_cast<float>(x) - cx) / rx, dy = (static_cast<float>(y) - cy) / ry;
            const float d2 = dx * dx + dy * dy;
            if (d2 >= 1.0f) continue;
            image.at(x, y) = image.at(x, y) + colour * std::pow(1.0f - d2, sharpness);
        }
}

static void add_pixel(Image& image, int x, int y, Rgb colour)
{
    if (x < 0 || y < 0 || x >= image.width || y >= image.height) return;
    image.at(x, y) = image.at(x, y) + colour;
}

void add_star(Image& image, int x, int y, Rgb colour, float size, int ray)
{
    add_pixel(image, x, y, colour);
    if (size > 1.0f) {
        const Rgb spill = colour * std::min(0.6f, 0.35f * (size - 1.0f));
        add_pixel(image, x + 1, y, spill);
        add_pixel(image, x - 1, y, spill);
        add_pixel(image, x, y + 1, spill);
        add_pixel(image, x, y - 1, spill);
    }
    for (int i = 1; i <= ray; ++i) {
        const Rgb arm = colour * (0.7f * (1.0f - static_cast<float>(i) / static_cast<float>(ray + 1)));
        add_pixel(image, x + i, y, arm);
        add_pixel(image, x - i, y, arm);
        add_pixel(image, x, y + i, arm);
        add_pixel(image, x, y - i, arm);
    }
}

void scatter_stars(Image& image, Rng& rng, int count, Rgb colour, float low, float high, float big_share,
                   float cross_share)
{
    // Stars keep one pixel apart, so none adds onto another.
    std::vector<bool> taken(image.pixels.size(), false);
    auto free_at = [&](int x, int y) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int px = x + dx, py = y + dy;
                if (px >= 0 && py >= 0 && px < image.width && py < image.height && taken[std::size_t(py) * std::size_t(image.width) + std::size_t(px)]) return false;
            }
        return true;
    };
    for (int i = 0; i < count; ++i) {
        int x = rng.below(image.width), y = rng.below(image.height);
        for (int attempt = 0; attempt < 8 && !free_at(x, y); ++attempt) x = rng.below(image.width), y = rng.below(image.height);
        taken[std::size_t(y) * std::size_t(image.width) + std::size_t(x)] = true;
        const float level = rng.range(low, high);
        const float kind = rng.unit();
        // A slight random tint: some stars bluer, some warmer.
        const float tint = rng.range(-0.12f, 0.12f);
        const Rgb c{colour.r * level * (1.0f + tint), colour.g * level, colour.b * level * (1.0f - tint)};
        if (kind < cross_share) add_star(image, x, y, c, 2.0f, 2 + rng.below(2));
        else if (kind < cross_share + big_share) add_star(image, x, y, c, 2.0f, 0);
        else add_star(image, x, y, c, 1.0f, 0);
    }
}

static bool inside_polygon(const float* xs, const float* ys, int n, float px, float py)
{
    // Convex: the point is inside when it lies on one side of every edge.
    bool positive = false, negative = false;
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        const float cross = (xs[j] - xs[i]) * (py - ys[i]) - (ys[j] - ys[i]) * (px - xs[i]);
        if (cross > 0) positive = true;
        if (cross < 0) negative = true;
    }
    return !(positive && negative);
}

void fill_polygon(Image& image, const float* xs, const float* ys, int n, Rgb colour, float opacity)
{
    float lx = xs[0], hx = xs[0], ly = ys[0], hy = ys[0];
    for (int i = 1; i < n; ++i) {
        lx = std::min(lx, xs[i]), hx = std::max(hx, xs[i]);
        ly = std::min(ly, ys[i]), hy = std::max(hy, ys[i]);
    }
    const int x0 = std::max(0, static_cast<int>(lx)), x1 = std::min(image.width - 1, static_cast<int>(hx) + 1);
    const int y0 = std::max(0, static_cast<int>(ly)), y1 = std::min(image.height - 1, static_cast<int>(hy) + 1);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            int hits = 0;
            for (int s = 0; s < 16; ++s)
                hits += inside_polygon(xs, ys, n, static_cast<float>(x) + (static_cast<float>(s % 4) + 0.5f) / 4.0f,
                                       static_cast<float>(y) + (static_cast<float>(s / 4) + 0.5f) / 4.0f);
            if (hits > 0) image.at(x, y) = mix(image.at(x, y), colour, opacity * static_cast<float>(hits) / 16.0f);
        }
}

void paint_plane(Image& image, const Plane& coverage, Rgb colour, float opacity)
{
    for (std::size_t i = 0; i < image.pixels.size(); ++i)
        if (coverage.v[i] > 0.0f) image.pixels[i] = mix(image.pixels[i], colour, clamp01(coverage.v[i] * opacity));
}

void add_plane(Image& image, const Plane& plane, Rgb colour)
{
    for (std::size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = image.pixels[i] + colour * plane.v[i];
}

void add_image(Image& dst, const Image& src, float k)
{
    for (std::size_t i = 0; i < dst.pixels.size(); ++i) dst.pixels[i] = dst.pixels[i] + src.pixels[i] * k;
}

void scale_image(Image& image, float k)
{
    for (Rgb& p : image.pixels) p = p * k;
}

float mean_level(const Image& image, int x0, int y0, int x1, int y1)
{
    double sum = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const Rgb& p = image.at(x, y);
            sum += std::clamp(p.r, 0.0f, 255.0f) + std::clamp(p.g, 0.0f, 255.0f) + std::clamp(p.b, 0.0f, 255.0f);
        }
    return static_cast<float>(sum / (3.0 * (x1 - x0) * (y1 - y0)));
}

Image repeat_tile(const Image& tile, int width, int height)
{
    Image image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.at(x, y) = tile.at(x % tile.width, y % tile.height);
    return image;
}

void keep_sprite_block(Image& image, int w, int h)
{
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (x >= w || y >= h) image.at(x, y) = {};
}
