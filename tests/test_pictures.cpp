// test_pictures.cpp -- the forge's pictures as the build wrote them into qd/:
// every file decodes, sprites sit in their blocks, wrapping textures tile,
// the voxel maps agree, added pictures stay dark, and the forge is repeatable.
#include "assets/assets.h"
#include "tools/forge/draw.h"
#include "tools/forge/noise.h"
#include "tools/forge/palette.h"
#include "tools/forge/pictures.h"
#include "tools/forge/rng.h"
#include "tools/forge/shading.h"
#include "tools/forge/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Picture = std::vector<std::uint32_t>;

int red(std::uint32_t p) { return static_cast<int>((p >> 16) & 255u); }
int green(std::uint32_t p) { return static_cast<int>((p >> 8) & 255u); }
int blue(std::uint32_t p) { return static_cast<int>(p & 255u); }
int peak(std::uint32_t p) { return std::max({red(p), green(p), blue(p)}); }
int channel_difference(std::uint32_t a, std::uint32_t b)
{
    return std::abs(red(a) - red(b)) + std::abs(green(a) - green(b)) + std::abs(blue(a) - blue(b));
}

const char* const all_pictures[] = {
    "qd\\gfx\\bak\\blup.pcx",       "qd\\gfx\\bak\\cpb7.pcx",         "qd\\gfx\\bak\\desine.pcx",
    "qd\\gfx\\bak\\dsg3.pcx",       "qd\\gfx\\bak\\dsg31.pcx",        "qd\\gfx\\bak\\intro1.pcx",
    "qd\\gfx\\bak\\intro2.pcx",     "qd\\gfx\\bak\\link.pcx",         "qd\\gfx\\bak\\lmup1.pcx",
    "qd\\gfx\\bak\\pemb.pcx",       "qd\\gfx\\bak\\reak1.pcx",        "qd\\gfx\\bak\\reak3.pcx",
    "qd\\gfx\\bak\\rrum1.pcx",      "qd\\gfx\\bak\\rrum2.pcx",        "qd\\gfx\\bak\\stbak1.pcx",
    "qd\\gfx\\bak\\stbk1.pcx",      "qd\\gfx\\bak\\stbk2a.pcx",       "qd\\gfx\\bak\\tuff.pcx",
    "qd\\gfx\\logos\\olv7.pcx",     "qd\\gfx\\logos\\velmora.pcx",    "qd\\gfx\\misc\\dtext.pcx",
    "qd\\gfx\\misc\\endsc1.pcx",    "qd\\gfx\\misc\\endsc2.pcx",      "qd\\gfx\\misc\\endscbak.pcx",
    "qd\\gfx\\misc\\grit.pcx",      "qd\\gfx\\misc\\height.pcx",      "qd\\gfx\\misc\\meny1.pcx",
    "qd\\gfx\\misc\\voxtext1.pcx",  "qd\\gfx\\sprites\\boll.pcx",     "qd\\gfx\\sprites\\flaren.pcx",
    "qd\\gfx\\sprites\\flaren1.pcx", "qd\\gfx\\sprites\\flaren2.pcx", "qd\\gfx\\sprites\\kolbt.pcx",
    "qd\\gfx\\sprites\\partic.pcx", "qd\\gfx\\sprites\\rimt.pcx",     "qd\\gfx\\sprites\\ring32b.pcx",
    "qd\\gfx\\sprites\\tast.pcx",   "qd\\gfx\\sprites\\zenut.pcx",    "qd\\gfx\\textures\\cbak1.pcx",
    "qd\\gfx\\textures\\chess2.pcx", "qd\\gfx\\textures\\cloud.pcx",  "qd\\gfx\\textures\\cubet.pcx",
    "qd\\gfx\\textures\\cubet4.pcx", "qd\\gfx\\textures\\firtex1.pcx", "qd\\gfx\\textures\\flare.pcx",
    "qd\\gfx\\textures\\flummo.pcx", "qd\\gfx\\textures\\gold.pcx",   "qd\\gfx\\textures\\gold2.pcx",
    "qd\\gfx\\textures\\klump.pcx", "qd\\gfx\\textures\\metroid2.pcx", "qd\\gfx\\textures\\minenv3.pcx",
    "qd\\gfx\\textures\\minenv4.pcx", "qd\\gfx\\textures\\planet3.pcx", "qd\\gfx\\textures\\shutex4a.pcx",
    "qd\\gfx\\textures\\sten.pcx",  "qd\\gfx\\textures\\tmup9c.pcx",  "qd\\gfx\\textures\\weird2.pcx",
};

std::string disk_path(const std::string& root, const char* show_path)
{
    std::string relative = show_path;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    return root + "/" + relative;
}

Picture load(const char* show_path)
{
    Picture picture(picture_pixels, 0xDEADBEEFu);
    EXPECT_EQ(load_pcx(show_path, picture.data()), 0) << show_path;
    return picture;
}

std::uint32_t at(const Picture& p, int x, int y) { return p[std::size_t(y) * picture_width + std::size_t(x)]; }

// Mean of all channels over the pixels for which `inside(x, y)` holds.
template <class Inside>
double mean_where(const Picture& p, Inside inside)
{
    double sum = 0;
    long count = 0;
    for (int y = 0; y < picture_height; ++y)
        for (int x = 0; x < picture_width; ++x)
            if (inside(x, y)) sum += red(at(p, x, y)) + green(at(p, x, y)) + blue(at(p, x, y)), ++count;
    return count ? sum / (3.0 * count) : 0.0;
}
double mean_of(const Picture& p) { return mean_where(p, [](int, int) { return true; }); }
int peak_of(const Picture& p)
{
    int m = 0;
    for (std::uint32_t v : p) m = std::max(m, peak(v));
    return m;
}

// ---- the toolkit ----------------------------------------------------------------

TEST(PictureToolkit, GeneratorIsTheStandardSplitMix64)
{
    // The first outputs of SplitMix64 from seed 0 (upper 32 bits), as published
    // with the algorithm: the same on every machine and library.
    Rng rng(0);
    EXPECT_EQ(rng.next(), 0xE220A839u);
    EXPECT_EQ(rng.next(), 0x6E789E6Au);
    Rng a(1234), b(1234);
    for (int i = 0; i < 1000; ++i) {
        const float u = a.unit();
        EXPECT_GE(u, 0.0f);
        EXPECT_LT(u, 1.0f);
        const int k = a.below(7);
        EXPECT_TRUE(k >= 0 && k < 7);
        EXPECT_EQ(b.unit(), u);
        EXPECT_EQ(b.below(7), k);
    }
}

TEST(PictureToolkit, NoiseRepeatsAtItsPeriodAndStaysInRange)
{
    Rng rng(99);
    const Fractal f{3, 5, 5, 0.5f, 7, true};
    const Fractal v{4, 2, 3, 0.6f, 8, false};
    for (int i = 0; i < 500; ++i) {
        const float x = rng.range(-20, 20), y = rng.range(-20, 20);
        EXPECT_NEAR(value_noise(x, y, 6, 4, 3), value_noise(x + 6, y - 8, 6, 4, 3), 1e-4f);
        EXPECT_NEAR(gradient_noise(x, y, 5, 3, 3), gradient_noise(x - 10, y + 3, 5, 3, 3), 1e-4f);
        const float u = rng.unit(), w = rng.unit();
        // A fractal over a tile: u and v of 1 land on 0 again, octave by octave.
        EXPECT_NEAR(fractal_noise(u, w, f), fractal_noise(u + 1.0f, w - 1.0f, f), 1e-3f);
        for (const float n : {fractal_noise(u, w, f), fractal_noise(u, w, v), ridged_noise(u, w, f), value_noise(x, y, 6, 4, 3)}) {
            EXPECT_GE(n, 0.0f);
            EXPECT_LE(n, 1.0f);
        }
    }
}

// The running-sum blur against a plain per-pixel box average, on random input.
TEST(PictureToolkit, BoxBlurMatchesThePlainAverage)
{
    Rng rng(5);
    for (const bool wrap : {false, true}) {
        Plane plane(37, 23), reference(37, 23);
        for (float& v : plane.v) v = rng.range(0, 255);
        const int radius = 4;
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37; ++x) {
                // One horizontal pass, then one vertical pass, as the separable blur does.
                float sum = 0;
                for (int dy = -radius; dy <= radius; ++dy) {
                    const int yy = wrap ? (y + dy + 23) % 23 : std::clamp(y + dy, 0, 22);
                    float row = 0;
                    for (int dx = -radius; dx <= radius; ++dx) {
                        const int xx = wrap ? (x + dx + 37) % 37 : std::clamp(x + dx, 0, 36);
                        row += plane.at(xx, yy);
                    }
                    sum += row / (2 * radius + 1);
                }
                reference.at(x, y) = sum / (2 * radius + 1);
            }
        Plane blurred = plane;
        box_blur(blurred, radius, 1, wrap);
        for (std::size_t i = 0; i < plane.v.size(); ++i) EXPECT_NEAR(blurred.v[i], reference.v[i], 1e-2f) << wrap << " " << i;
    }
    // On a torus nothing is lost: the total stays.
    Plane ring(64, 32);
    for (float& v : ring.v) v = rng.range(0, 1);
    double before = 0, after = 0;
    for (float v : ring.v) before += v;
    box_blur(ring, 7, 3, true);
    for (float v : ring.v) after += v;
    EXPECT_NEAR(before, after, 1e-2);
}

TEST(PictureToolkit, GlowsRampsAndTilesKeepTheirContracts)
{
    Image image(60, 40);
    add_glow(image, 30, 20, 10, 5, Rgb{100, 50, 25});
    EXPECT_FLOAT_EQ(image.at(30, 20).r, 100.0f);
    EXPECT_FLOAT_EQ(image.at(40, 20).r, 0.0f);  // d = 1: exactly nothing
    EXPECT_FLOAT_EQ(image.at(30, 25).g, 0.0f);
    EXPECT_GT(image.at(35, 20).b, 0.0f);
    const Ramp ramp{{0.0f, {0, 0, 0}}, {0.5f, {100, 200, 0}}, {1.0f, {200, 200, 200}}};
    EXPECT_FLOAT_EQ(ramp(-1.0f).g, 0.0f);
    EXPECT_FLOAT_EQ(ramp(0.25f).g, 100.0f);
    EXPECT_FLOAT_EQ(ramp(0.75f).b, 100.0f);
    EXPECT_FLOAT_EQ(ramp(2.0f).r, 200.0f);
    Image tile(3, 2);
    tile.at(2, 1) = Rgb{9, 9, 9};
    const Image whole = repeat_tile(tile, 10, 7);
    EXPECT_FLOAT_EQ(whole.at(8, 5).r, 9.0f);
    EXPECT_FLOAT_EQ(whole.at(7, 5).r, 0.0f);
    Image sprite(20, 20, Rgb{1, 1, 1});
    keep_sprite_block(sprite, 5, 3);
    EXPECT_FLOAT_EQ(sprite.at(4, 2).r, 1.0f);
    EXPECT_FLOAT_EQ(sprite.at(5, 2).r, 0.0f);
    EXPECT_FLOAT_EQ(sprite.at(4, 3).r, 0.0f);
}

// The pixel-to-normal map of the sphere maps follows the samplers: column 128
// minus 128 n.x, row 64 minus 64 n.y; the upper-left highlight lands at the
// lower right of the ellipse; outside it the normal stays just inside the rim.
TEST(PictureToolkit, SphereNormalsFollowTheSamplers)
{
    for (int y = 0; y < 200; y += 3)
        for (int x = 0; x < 320; x += 3) {
            const Vec3 n = sphere_normal(x, y);
            EXPECT_NEAR(dot(n, n), 1.0f, 1e-4f);
            EXPECT_LE(n.z, 0.0f);
            const float dx = (x + 0.5f - 128.0f) / 128.0f, dy = (y + 0.5f - 64.0f) / 64.0f;
            if (dx * dx + dy * dy < 0.9f) {
                EXPECT_NEAR(128.0f - 128.0f * n.x, x + 0.5f, 1e-3f);
                EXPECT_NEAR(64.0f - 64.0f * n.y, y + 0.5f, 1e-3f);
            } else {
                EXPECT_LT(n.z, -0.2f);
            }
        }
    const Vec3 lit = sphere_normal(180, 90);
    EXPECT_LT(lit.x, 0.0f);
    EXPECT_LT(lit.y, 0.0f);
    EXPECT_GT(highlight(lit, upper_left_light, 20.0f), highlight(sphere_normal(76, 38), upper_left_light, 20.0f));
}

TEST(PictureToolkit, TextFitsItsBox)
{
    for (const auto& [w, h] : {std::pair{80, 25}, std::pair{56, 14}, std::pair{125, 15}}) {
        const int size = fit_text_height("GRAPHICS", Typeface::bold, w, h);
        const InkBox box = ink_box(render_text("GRAPHICS", Typeface::bold, size));
        EXPECT_LE(box.width(), w);
        EXPECT_LE(box.height(), h);
        const InkBox bigger = ink_box(render_text("GRAPHICS", Typeface::bold, size + 1));
        EXPECT_TRUE(bigger.width() > w || bigger.height() > h);
    }
    const InkBox none = ink_box(render_text(" ", Typeface::regular, 12));
    EXPECT_EQ(none.width(), 0);
    const Plane line = text_plane("VELMORA", Typeface::bold, 30, 160, 100);
    float left = 0, right = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) (x < 160 ? left : right) += line.at(x, y);
    EXPECT_NEAR(left / (left + right), 0.5f, 0.08f);
}

TEST(PictureToolkit, TerrainTilesAndItsSeaIsFlat)
{
    for (int row = 0; row < 128; row += 3)
        for (int col = 0; col < 256; col += 3) {
            const float h = terrain_height(col, row);
            EXPECT_EQ(h, terrain_height(col + 256, row - 128));
            EXPECT_TRUE(h == water_level || (h >= 71 && h <= 235)) << h;
        }
}

TEST(PictureToolkit, CatalogueListsEveryPictureOnce)
{
    const std::vector<PictureEntry>& catalogue = picture_catalogue();
    ASSERT_EQ(catalogue.size(), std::size(all_pictures));
    for (const char* path : all_pictures) {
        const auto found = std::count_if(catalogue.begin(), catalogue.end(),
                                         [&](const PictureEntry& e) { return std::string(e.show_path) == path; });
        EXPECT_EQ(found, 1) << path;
    }
    for (const PictureEntry& e : catalogue) {
        if (e.cut == Cut::sprite) { EXPECT_TRUE(e.sprite_w > 0 && e.sprite_h > 0) << e.show_path; }
        if (e.wraps) { EXPECT_NE(e.cut, Cut::whole) << e.show_path; }
    }
}

// ---- the files the build wrote -----------------------------------------------------

TEST(Pictures, EveryFileExistsAndDecodesHereAndInImageMagick)
{
    EXPECT_EQ(std::size(all_pictures), 57u);
    for (const char* path : all_pictures) {
        Picture p = load(path);
        EXPECT_TRUE(std::none_of(p.begin(), p.end(), [](std::uint32_t v) { return v > 0xFFFFFFu; })) << path;
    }
    if (std::system("command -v identify > /dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick (identify) is not installed";
    for (const char* path : all_pictures) {
        const std::string command = "identify -format '%w %h' '" + disk_path(".", path) + "' 2>/dev/null";
        std::FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        int w = 0, h = 0;
        EXPECT_EQ(std::fscanf(pipe, "%d %d", &w, &h), 2) << path;
        pclose(pipe);
        EXPECT_EQ(w, 320) << path;
        EXPECT_EQ(h, 200) << path;
    }
}

struct SpriteBlock {
    const char* path;
    int w, h;
};

TEST(Pictures, SpritesFillTheirBlockAndAreBlackBeyondIt)
{
    const SpriteBlock sprites[] = {{"qd\\gfx\\sprites\\boll.pcx", 24, 24},    {"qd\\gfx\\sprites\\flaren.pcx", 43, 43},
                                   {"qd\\gfx\\sprites\\flaren1.pcx", 43, 43}, {"qd\\gfx\\sprites\\flaren2.pcx", 43, 43},
                                   {"qd\\gfx\\sprites\\kolbt.pcx", 125, 15},  {"qd\\gfx\\sprites\\partic.pcx", 14, 14},
                                   {"qd\\gfx\\sprites\\rimt.pcx", 80, 25},    {"qd\\gfx\\sprites\\ring32b.pcx", 43, 43},
                                   {"qd\\gfx\\sprites\\tast.pcx", 56, 14},    {"qd\\gfx\\sprites\\zenut.pcx", 79, 16},
                                   {"qd\\gfx\\bak\\dsg31.pcx", 140, 40}};
    for (const SpriteBlock& s : sprites) {
        const Picture p = load(s.path);
        int outside = 0, lit = 0, right = 0, bottom = 0;
        for (int y = 0; y < picture_height; ++y)
            for (int x = 0; x < picture_width; ++x) {
                const bool in = x < s.w && y < s.h;
                if (!in && at(p, x, y) != 0) ++outside;
                if (in && peak(at(p, x, y)) > 8) ++lit, right = std::max(right, x), bottom = std::max(bottom, y);
            }
        EXPECT_EQ(outside, 0) << s.path;
        EXPECT_GT(lit, 0) << s.path;
        // The content uses the block: it reaches into its last quarter both ways.
        EXPECT_GE(right, s.w * 3 / 4 - 1) << s.path;
        EXPECT_GE(bottom, s.h * 3 / 4 - 1) << s.path;
    }
}

TEST(Pictures, GlowSpritesAreRoundAboutTheirCentre)
{
    for (const char* path : {"qd\\gfx\\sprites\\flaren.pcx", "qd\\gfx\\sprites\\flaren1.pcx", "qd\\gfx\\sprites\\flaren2.pcx",
                             "qd\\gfx\\sprites\\ring32b.pcx"}) {
        const Picture p = load(path);
        for (int y = 0; y < 43; ++y)
            for (int x = 0; x < 43; ++x)
                if ((x - 21) * (x - 21) + (y - 21) * (y - 21) >= 21 * 21) { EXPECT_EQ(at(p, x, y), 0u) << path << " at " << x << "," << y; }
    }
    // Flares peak at their centre; the ring is dark there and bright at radius 15.
    EXPECT_GE(peak(at(load("qd\\gfx\\sprites\\flaren.pcx"), 21, 21)), 250);
    const Picture ring = load("qd\\gfx\\sprites\\ring32b.pcx");
    EXPECT_EQ(at(ring, 21, 21), 0u);
    EXPECT_GE(peak(at(ring, 36, 21)), 200);
}

TEST(Pictures, ParticleDotIsNeutralAndVanishesAtRadiusSeven)
{
    const Picture p = load("qd\\gfx\\sprites\\partic.pcx");
    int top = 0;
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 14; ++x) {
            const std::uint32_t v = at(p, x, y);
            EXPECT_TRUE(red(v) == green(v) && green(v) == blue(v)) << x << "," << y;
            const float dx = x + 0.5f - 7.0f, dy = y + 0.5f - 7.0f;
            if (dx * dx + dy * dy >= 49.0f) { EXPECT_EQ(v, 0u); }
            top = std::max(top, red(v));
        }
    EXPECT_GE(top, 240);
}

struct Wrapping {
    const char* path;
    bool transposed;
};

// The mean colour difference across the texture's seams, against the same
// measure across the middle, where the pattern is continuous by construction.
TEST(Pictures, WrappingTexturesTileWithoutSeams)
{
    const Wrapping textures[] = {{"qd\\gfx\\textures\\cbak1.pcx", true},   {"qd\\gfx\\textures\\tmup9c.pcx", true},
                                 {"qd\\gfx\\textures\\cubet4.pcx", true},  {"qd\\gfx\\textures\\firtex1.pcx", false},
                                 {"qd\\gfx\\textures\\flummo.pcx", false}, {"qd\\gfx\\textures\\weird2.pcx", false},
                                 {"qd\\gfx\\textures\\cubet.pcx", false},  {"qd\\gfx\\textures\\chess2.pcx", true},
                                 {"qd\\gfx\\textures\\cloud.pcx", true},   {"qd\\gfx\\misc\\height.pcx", false},
                                 {"qd\\gfx\\misc\\voxtext1.pcx", false}};
    std::vector<std::uint32_t> t(texture_texels);
    for (const Wrapping& w : textures) {
        const Picture p = load(w.path);
        if (w.transposed) cut_texture_transposed(p.data(), t.data());
        else cut_texture(p.data(), t.data());
        auto texel = [&](int r, int c) { return t[std::size_t(r & 255) * 256 + std::size_t(c & 255)]; };
        double seam_columns = 0, seam_rows = 0, middle_columns = 0, middle_rows = 0;
        for (int i = 0; i < 256; ++i) {
            seam_columns += channel_difference(texel(i, 255), texel(i, 0));
            middle_columns += channel_difference(texel(i, 127), texel(i, 128));
            // Rows come in pairs from one picture row: compare across a pair boundary.
            seam_rows += channel_difference(texel(255, i), texel(0, i));
            middle_rows += channel_difference(texel(127, i), texel(128, i));
        }
        EXPECT_LE(seam_columns / 256, 1.5 * middle_columns / 256 + 6.0) << w.path;
        EXPECT_LE(seam_rows / 256, 1.5 * middle_rows / 256 + 6.0) << w.path;
        // The pattern continues over the whole picture (it is seen in its scratch role).
        for (int y = 0; y < picture_height; y += 7)
            for (int x = 0; x < picture_width; x += 5) ASSERT_EQ(at(p, x, y), at(p, x % 256, y % 128)) << w.path;
    }
}

TEST(Pictures, HeightAndColourMapAgreeOnTheWater)
{
    const Picture height = load("qd\\gfx\\misc\\height.pcx");
    const Picture colour = load("qd\\gfx\\misc\\voxtext1.pcx");
    int water = 0, land_peak = 0, top = 0;
    for (int r = 0; r < 128; ++r)
        for (int c = 0; c < 256; ++c) {
            const std::uint32_t h = at(height, c, r);
            ASSERT_TRUE(red(h) == green(h) && green(h) == blue(h));
            const int level = green(h);
            EXPECT_TRUE(level == 70 || level >= 71) << c << "," << r;
            top = std::max(top, level);
            const std::uint32_t mapped = at(colour, (c - 56) & 255, r);
            if (level <= 70) {
                ++water;
                EXPECT_EQ(level, 70);
                // Stored with red and blue exchanged: the show makes it blue again.
                EXPECT_GT(red(mapped), blue(mapped) + 30) << "colour map at " << ((c - 56) & 255) << "," << r;
            } else {
                land_peak = std::max(land_peak, peak(mapped));
            }
        }
    const double share = water / (256.0 * 128.0);
    EXPECT_GT(share, 0.2);
    EXPECT_LT(share, 0.4);
    EXPECT_GE(top, 200);
    EXPECT_LE(top, 240);
    EXPECT_LE(land_peak, 180);
}

TEST(Pictures, AddedPicturesStayDarkOutsideTheirTextAndLight)
{
    for (const char* path : {"qd\\gfx\\bak\\intro1.pcx", "qd\\gfx\\bak\\intro2.pcx", "qd\\gfx\\misc\\dtext.pcx",
                             "qd\\gfx\\logos\\velmora.pcx", "qd\\gfx\\misc\\endsc1.pcx", "qd\\gfx\\misc\\endsc2.pcx",
                             "qd\\gfx\\bak\\reak1.pcx", "qd\\gfx\\bak\\reak3.pcx", "qd\\gfx\\bak\\lmup1.pcx",
                             "qd\\gfx\\textures\\flare.pcx", "qd\\gfx\\misc\\grit.pcx"})
        EXPECT_LE(mean_of(load(path)), 25.0) << path;
    // The lights keep clear of the tumbling meshes.
    for (const char* path : {"qd\\gfx\\bak\\reak1.pcx", "qd\\gfx\\bak\\reak3.pcx"}) {
        const Picture p = load(path);
        for (int y = 0; y < picture_height; ++y)
            for (int x = 0; x < picture_width; ++x)
                if ((x - 165) * (x - 165) + (y - 100) * (y - 100) < 88 * 88) { ASSERT_LE(peak(at(p, x, y)), 30) << path; }
    }
    // The tunnel glow: saturated within 25 px, dark beyond 60.
    const Picture glow = load("qd\\gfx\\bak\\lmup1.pcx");
    EXPECT_EQ(at(glow, 160, 100), 0xFFFFFFu);
    EXPECT_EQ(at(glow, 160 + 20, 100), 0xFFFFFFu);
    EXPECT_LE(mean_where(glow, [](int x, int y) { return (x - 160) * (x - 160) + (y - 100) * (y - 100) > 61 * 61; }), 25.0);
    // The caption keeps to the lower band, where the planet does not pass.
    EXPECT_EQ(mean_where(load("qd\\gfx\\misc\\dtext.pcx"), [](int, int y) { return y < 150; }), 0.0);
    // The two star layers and the brightest overlay stay dark together.
    const Picture near = load("qd\\gfx\\bak\\stbk1.pcx"), far = load("qd\\gfx\\bak\\stbk2a.pcx");
    EXPECT_LE(std::count_if(near.begin(), near.end(), [](std::uint32_t v) { return v != 0; }), picture_pixels / 50);
    EXPECT_LE(mean_of(near) + mean_of(far), 12.0);
    EXPECT_LE(peak_of(far), 170);  // the far layer is the dimmer one
}

TEST(Pictures, FlareTextureIsBlackOnAndOutsideItsEllipse)
{
    const Picture p = load("qd\\gfx\\textures\\flare.pcx");
    for (int y = 0; y < picture_height; ++y)
        for (int x = 0; x < picture_width; ++x) {
            const float dx = (x + 0.5f - 128.0f) / 128.0f, dy = (y + 0.5f - 64.0f) / 64.0f;
            if (x >= 256 || y >= 128 || dx * dx + dy * dy >= 1.0f) { ASSERT_EQ(at(p, x, y), 0u) << x << "," << y; }
        }
    EXPECT_EQ(at(p, 128, 64), 0xFFFFFFu);
}

// The sphere maps: the rim colour continues outward (no black fringe where the
// samplers land just outside the ellipse), and the block's edges match where
// a normal component of -1 wraps to 0.
TEST(Pictures, SphereMapsContinueTheirRimAndMatchAtTheEdges)
{
    for (const char* path : {"qd\\gfx\\textures\\gold.pcx", "qd\\gfx\\textures\\gold2.pcx", "qd\\gfx\\textures\\klump.pcx",
                             "qd\\gfx\\textures\\metroid2.pcx", "qd\\gfx\\textures\\minenv3.pcx", "qd\\gfx\\textures\\minenv4.pcx",
                             "qd\\gfx\\textures\\planet3.pcx", "qd\\gfx\\textures\\shutex4a.pcx", "qd\\gfx\\textures\\sten.pcx"}) {
        const Picture p = load(path);
        auto rho = [](int x, int y) {
            const float dx = (x + 0.5f - 128.0f) / 128.0f, dy = (y + 0.5f - 64.0f) / 64.0f;
            return std::sqrt(dx * dx + dy * dy);
        };
        const double rim = mean_where(p, [&](int x, int y) { return x < 256 && y < 128 && rho(x, y) > 0.93f && rho(x, y) < 1.0f; });
        const double beyond = mean_where(p, [&](int x, int y) { return x < 256 && y < 128 && rho(x, y) >= 1.0f; });
        EXPECT_GT(rim, 15.0) << path;
        EXPECT_GT(beyond, 0.6 * rim) << path;
        for (int y = 0; y < 128; ++y) EXPECT_EQ(at(p, 0, y), at(p, 255, y)) << path << " row " << y;
        for (int x = 0; x < 256; ++x) EXPECT_EQ(at(p, x, 0), at(p, x, 127)) << path << " column " << x;
    }
}

TEST(Pictures, TickerLinesKeepTheirGlyphRows)
{
    const Picture p = load("qd\\gfx\\misc\\grit.pcx");
    for (int y = 0; y < picture_height; ++y) {
        const int band_row = y % 16;
        const bool glyph_row = y < 96 && band_row >= 1 && band_row <= 9;
        int lit = 0;
        for (int x = 0; x < picture_width; ++x) lit += at(p, x, y) != 0;
        if (!glyph_row) { EXPECT_EQ(lit, 0) << "row " << y; }
        if (y < 96 && band_row == 5) { EXPECT_GT(lit, 40) << "row " << y; }
    }
}

TEST(Pictures, BrightnessBudgetsOfTheBackdrops)
{
    const Picture backdrop = load("qd\\gfx\\bak\\dsg3.pcx");
    EXPECT_LE(mean_of(backdrop), 70.0);
    EXPECT_LE(peak_of(backdrop), 140);
    const Picture still = load("qd\\gfx\\bak\\cpb7.pcx");
    EXPECT_GE(mean_of(still), 80.0);
    EXPECT_LE(mean_of(still), 120.0);
    EXPECT_GT(peak(at(still, 0, 0)), 40);
    EXPECT_GT(peak(at(still, 298, 0)), 40);
    for (const char* path : {"qd\\gfx\\bak\\blup.pcx", "qd\\gfx\\bak\\pemb.pcx", "qd\\gfx\\bak\\stbak1.pcx", "qd\\gfx\\misc\\endscbak.pcx"})
        EXPECT_LE(mean_of(load(path)), 60.0) << path;
    const Picture weird = load("qd\\gfx\\textures\\weird2.pcx"), cube = load("qd\\gfx\\textures\\cubet.pcx");
    EXPECT_LE(mean_of(weird), 30.0);
    EXPECT_LE(peak_of(weird), 90);
    EXPECT_LE(mean_of(cube), 20.0);
    EXPECT_LE(peak_of(cube), 60);
    for (const char* path : {"qd\\gfx\\textures\\tmup9c.pcx", "qd\\gfx\\textures\\cubet4.pcx"}) {
        EXPECT_LE(mean_of(load(path)), 60.0) << path;
        EXPECT_LE(peak_of(load(path)), 150) << path;
    }
    const Picture dusk = load("qd\\gfx\\bak\\desine.pcx");
    EXPECT_EQ(mean_where(dusk, [](int, int y) { return y >= 99; }), 0.0);
    const Picture banner = load("qd\\gfx\\bak\\dsg31.pcx");
    EXPECT_LE(peak_of(banner), 150);
    EXPECT_LE(mean_where(banner, [](int x, int y) { return x >= 8 && x < 132 && y >= 8 && y < 32; }), 40.0);
}

// The scroller's three pictures are one panorama: across each seam the rows
// differ no more than neighbouring rows inside a picture do.
TEST(Pictures, PanoramaRunsOnAcrossTheScrollerSeams)
{
    const Picture top = load("qd\\gfx\\bak\\tuff.pcx"), middle = load("qd\\gfx\\bak\\link.pcx"), bottom = load("qd\\gfx\\bak\\dsg3.pcx");
    auto row_step = [](const Picture& a, int ya, const Picture& b, int yb) {
        double sum = 0;
        for (int x = 0; x < picture_width; ++x) sum += channel_difference(at(a, x, ya), at(b, x, yb));
        return sum / picture_width;
    };
    EXPECT_LE(row_step(top, 199, middle, 0), row_step(top, 198, top, 199) + row_step(middle, 0, middle, 1) + 3.0);
    EXPECT_LE(row_step(middle, 199, bottom, 0), row_step(middle, 198, middle, 199) + row_step(bottom, 0, bottom, 1) + 3.0);
}

std::string read_file(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(Pictures, TwoForgeRunsWriteIdenticalBytes)
{
    const std::string forge = std::string(VELMORA_BUILD_DIR) + "/velmora_forge";
    std::FILE* probe = std::fopen(forge.c_str(), "rb");
    if (probe == nullptr) GTEST_SKIP() << "no forge at " << forge;
    std::fclose(probe);
    const std::string a = testing::TempDir() + "velmora_pictures_a", b = testing::TempDir() + "velmora_pictures_b";
    ASSERT_EQ(std::system(("mkdir -p '" + a + "' '" + b + "'").c_str()), 0);
    ASSERT_EQ(std::system(("'" + forge + "' --out '" + a + "'").c_str()), 0);
    ASSERT_EQ(std::system(("'" + forge + "' --out '" + b + "'").c_str()), 0);
    for (const char* path : all_pictures) {
        const std::string first = read_file(disk_path(a, path));
        EXPECT_GT(first.size(), 128u) << path;
        EXPECT_TRUE(first == read_file(disk_path(b, path))) << path;
        // And the same bytes as the build's own data.
        EXPECT_TRUE(first == read_file(disk_path(".", path))) << path;
    }
    std::system(("rm -rf '" + a + "' '" + b + "'").c_str());
}

}  // namespace
