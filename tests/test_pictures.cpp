// test_pictures.cpp -- the forge's toolkit, and its pictures as the build wrote them into qd/: sizes, black
// borders, seams, the voxel maps' agreement, brightness, and the same bytes from a fresh run.
#include "assets/assets.h"
#include "scenes/scenes.h"
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
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

namespace {

using Picture = std::vector<std::uint32_t>;

int red(std::uint32_t p) { return int((p >> 16) & 255u); }
int green(std::uint32_t p) { return int((p >> 8) & 255u); }
int blue(std::uint32_t p) { return int(p & 255u); }
int peak(std::uint32_t p) { return std::max({red(p), green(p), blue(p)}); }

// Names below qd\gfx\, without ".pcx".
const char* const all_pictures[] = {
    "bak\\blup", "bak\\cpb7", "bak\\desine", "bak\\dsg3", "bak\\dsg31", "bak\\intro1", "bak\\intro2", "bak\\link",
    "bak\\lmup1", "bak\\pemb", "bak\\reak1", "bak\\reak3", "bak\\rrum1", "bak\\rrum2", "bak\\stbak1", "bak\\stbk1",
    "bak\\stbk2a", "bak\\tuff", "logos\\olv7", "logos\\velmora", "misc\\dtext", "misc\\endsc1", "misc\\endsc2",
    "misc\\endscbak", "misc\\grit", "misc\\height", "misc\\meny1", "misc\\voxtext1", "sprites\\boll", "sprites\\flaren",
    "sprites\\flaren1", "sprites\\flaren2", "sprites\\kolbt", "sprites\\partic", "sprites\\rimt", "sprites\\ring32b",
    "sprites\\tast", "sprites\\zenut", "textures\\cbak1", "textures\\chess2", "textures\\cloud", "textures\\cubet",
    "textures\\cubet4", "textures\\firtex1", "textures\\flare", "textures\\flummo", "textures\\gold", "textures\\gold2",
    "textures\\klump", "textures\\metroid2", "textures\\minenv3", "textures\\minenv4", "textures\\planet3",
    "textures\\shutex4a", "textures\\sten", "textures\\tmup9c", "textures\\weird2",
};
static_assert(std::size(all_pictures) == 57);

Picture load(const std::string& name)
{
    Picture picture(picture_pixels, 0xDEADBEEFu);
    EXPECT_EQ(load_pcx(("qd\\gfx\\" + name + ".pcx").c_str(), picture.data()), 0) << name;
    return picture;
}

std::uint32_t at(const Picture& p, int x, int y) { return p[std::size_t(y) * picture_width + std::size_t(x)]; }

// Over the pixels for which `inside(x, y)` holds (all, by default).
struct Stats {
    double mean = 0;    // of all channels
    int peak = 0, lit = 0;  // the brightest channel; how many pixels are not black
};
auto everywhere = [](int, int) { return true; };
template <class Inside = decltype(everywhere)>
Stats stats(const Picture& p, Inside inside = everywhere)
{
    Stats s;
    long count = 0;
    for (int y = 0; y < picture_height; ++y)
        for (int x = 0; x < picture_width; ++x)
            if (const std::uint32_t v = at(p, x, y); inside(x, y))
                s.mean += red(v) + green(v) + blue(v), s.peak = std::max(s.peak, peak(v)), s.lit += v != 0, ++count;
    if (count) s.mean /= 3.0 * double(count);
    return s;
}
// Mean colour step (all channels summed) between the lines of n pixels from a and from b, `stride` apart.
double mean_step(const std::uint32_t* a, const std::uint32_t* b, int n, int stride = 1)
{
    double sum = 0;
    for (int i = 0; i < n; ++i)
        for (const unsigned shift : {0u, 8u, 16u})
            sum += std::abs(int((a[i * stride] >> shift) & 255u) - int((b[i * stride] >> shift) & 255u));
    return sum / n;
}
// Radius in the sphere maps' ellipse (256 x 128 block, pixel centres).
float ellipse_radius(int x, int y) { return std::hypot((x + 0.5f - 128.0f) / 128.0f, (y + 0.5f - 64.0f) / 64.0f); }

// ---- the toolkit ----------------------------------------------------------------

// SplitMix64's published first outputs from seed 0 (upper 32 bits): the same pictures on every machine.
TEST(PictureToolkit, GeneratorIsStandardAndNoiseRepeatsAtItsPeriodInRange)
{
    Rng zero(0);
    EXPECT_EQ(zero.next(), 0xE220A839u);
    EXPECT_EQ(zero.next(), 0x6E789E6Au);
    Rng rng(99);
    const Fractal f{3, 5, 5, 0.5f, 7, true}, v{4, 2, 3, 0.6f, 8, false};
    for (int i = 0; i < 500; ++i) {
        const float x = rng.range(-20, 20), y = rng.range(-20, 20), u = rng.unit(), w = rng.unit();
        EXPECT_NEAR(value_noise(x, y, 6, 4, 3), value_noise(x + 6, y - 8, 6, 4, 3), 1e-4f);
        EXPECT_NEAR(gradient_noise(x, y, 5, 3, 3), gradient_noise(x - 10, y + 3, 5, 3, 3), 1e-4f);
        EXPECT_NEAR(fractal_noise(u, w, f), fractal_noise(u + 1.0f, w - 1.0f, f), 1e-3f);  // a tile, every octave
        for (const float n : {fractal_noise(u, w, f), fractal_noise(u, w, v), ridged_noise(u, w, f), value_noise(x, y, 6, 4, 3)})
            EXPECT_TRUE(n >= 0.0f && n <= 1.0f) << n;
    }
}

// The running-sum blur against a plain box average on random input, clamped and wrapping; the glow's two radii
// (d = 1 on either axis: exactly nothing) and the ramp's clamping at both ends.
TEST(PictureToolkit, BlurGlowAndRampKeepTheirEdges)
{
    Rng rng(5);
    const int w = 37, h = 23, radius = 4;
    for (const bool wrap : {false, true}) {
        Plane plane(w, h), reference(w, h);
        for (float& v : plane.v) v = rng.range(0, 255);
        auto index = [&](int i, int n) { return wrap ? (i + n) % n : std::clamp(i, 0, n - 1); };
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                for (int dy = -radius; dy <= radius; ++dy)
                    for (int dx = -radius; dx <= radius; ++dx) reference.at(x, y) += plane.at(index(x + dx, w), index(y + dy, h));
                reference.at(x, y) /= float((2 * radius + 1) * (2 * radius + 1));
            }
        box_blur(plane, radius, 1, wrap);
        for (std::size_t i = 0; i < plane.v.size(); ++i) EXPECT_NEAR(plane.v[i], reference.v[i], 1e-2f) << wrap << " " << i;
    }
    Image image(60, 40);
    add_glow(image, 30, 20, 10, 5, Rgb{100, 50, 25});
    EXPECT_FLOAT_EQ(image.at(30, 20).r, 100.0f);
    EXPECT_FLOAT_EQ(image.at(40, 20).r, 0.0f);
    EXPECT_FLOAT_EQ(image.at(30, 25).g, 0.0f);
    EXPECT_GT(image.at(35, 20).b, 0.0f);
    const Ramp ramp{{0.0f, {0, 0, 0}}, {0.5f, {100, 200, 0}}, {1.0f, {200, 200, 200}}};
    EXPECT_FLOAT_EQ(ramp(-1.0f).g, 0.0f);
    EXPECT_FLOAT_EQ(ramp(0.75f).b, 100.0f);  // in the second stretch
    EXPECT_FLOAT_EQ(ramp(2.0f).r, 200.0f);
}

TEST(PictureToolkit, TextFitsItsBoxAndIsCentred)
{
    for (const auto& [w, h] : {std::pair{80, 25}, std::pair{56, 14}, std::pair{125, 15}}) {
        const int size = fit_text_height("GRAPHICS", Typeface::bold, w, h);
        const InkBox box = ink_box(render_text("GRAPHICS", Typeface::bold, size));
        const InkBox bigger = ink_box(render_text("GRAPHICS", Typeface::bold, size + 1));
        EXPECT_TRUE(box.width() <= w && box.height() <= h) << w << "x" << h;
        EXPECT_TRUE(bigger.width() > w || bigger.height() > h) << w << "x" << h;
    }
    EXPECT_EQ(ink_box(render_text(" ", Typeface::regular, 12)).width(), 0);
    const Plane line = text_plane("VELMORA", Typeface::bold, 30, 160, 100);
    float left = 0, right = 0;
    for (std::size_t i = 0; i < line.v.size(); ++i) (i % 320 < 160 ? left : right) += line.v[i];
    EXPECT_NEAR(left / (left + right), 0.5f, 0.08f);
}

// ---- the files the build wrote -----------------------------------------------------

// Black beyond the block (round sprites from their radius on), and reaching into its last quarter both ways
// (except the credit words, which keep one size whatever their block). Flares peak at their centre; the ring is
// dark there and bright at radius 15; the particle is grey and bright.
TEST(Pictures, SpritesFillTheirBlockAndAreBlackBeyondIt)
{
    const float square = 1e6f;  // no round edge
    const struct { const char* name; int w, h; float radius; bool fills; } sprites[] = {
        {"sprites\\boll", 24, 24, square, true},    {"sprites\\flaren", 43, 43, 21, true},
        {"sprites\\flaren1", 43, 43, 21, true},     {"sprites\\flaren2", 43, 43, 21, true},
        {"sprites\\kolbt", 125, 15, square, false}, {"sprites\\partic", 14, 14, 7, true},
        {"sprites\\rimt", 80, 25, square, false},   {"sprites\\ring32b", 43, 43, 21, true},
        {"sprites\\tast", 56, 14, square, false},   {"sprites\\zenut", 79, 16, square, false},
        {"bak\\dsg31", 140, 40, square, true}};
    for (const auto& s : sprites) {
        const Picture p = load(s.name);
        EXPECT_EQ(stats(p, [&](int x, int y) {
                      return x >= s.w || y >= s.h || std::hypot(x + 0.5f - s.w / 2.0f, y + 0.5f - s.h / 2.0f) >= s.radius;
                  }).lit, 0) << s.name;
        if (!s.fills) continue;
        // (all that is lit lying in the block, the last quarters need no far edge)
        EXPECT_GT(stats(p, [&](int x, int) { return x >= s.w * 3 / 4 - 1; }).peak, 8) << s.name;
        EXPECT_GT(stats(p, [&](int, int y) { return y >= s.h * 3 / 4 - 1; }).peak, 8) << s.name;
    }
    EXPECT_GE(peak(at(load("sprites\\flaren"), 21, 21)), 250);
    const Picture ring = load("sprites\\ring32b"), dot = load("sprites\\partic");
    EXPECT_TRUE(at(ring, 21, 21) == 0u && peak(at(ring, 36, 21)) >= 200);
    EXPECT_TRUE(std::all_of(dot.begin(), dot.end(), [](std::uint32_t v) { return red(v) == green(v) && green(v) == blue(v); }));
    // A bright core, but little light in all: 400 dots a frame go into a trail that loses only 6 a pixel, and
    // blue takes both colours' share, so a full-strength dot (about 13,000 a channel) piles the cloud up into white.
    const Stats d = stats(dot, [](int x, int y) { return x < 14 && y < 14; });
    EXPECT_GE(d.peak, 120);
    EXPECT_LE(d.mean * 14 * 14, 2500.0) << "light of one dot, per channel";
}

// Across a seam the mean colour step is not much above the step inside, where the pattern is continuous by
// construction: a wrapping texture's last row (column) to its first, and the scroller's three pictures, one
// panorama, from each to the next.
TEST(Pictures, TexturesAndThePanoramaRunOnAcrossTheirSeams)
{
    const struct { const char* name; bool transposed; } textures[] = {
        {"textures\\cbak1", true},   {"textures\\tmup9c", true},  {"textures\\cubet4", true}, {"textures\\firtex1", false},
        {"textures\\flummo", false}, {"textures\\weird2", false}, {"textures\\cubet", false}, {"textures\\chess2", true},
        {"textures\\cloud", true},   {"misc\\height", false},     {"misc\\voxtext1", false}};
    for (const auto& w : textures) {
        const Picture p = load(w.name);
        std::vector<std::uint32_t> t(texture_texels);
        (w.transposed ? cut_texture_transposed : cut_texture)(p.data(), t.data());
        // Rows come in pairs from one picture row, so the middle is taken across a pair boundary.
        for (const bool rows : {false, true}) {
            const int line = rows ? 256 : 1, along = rows ? 1 : 256;  // texel steps between and along the lines
            auto step = [&](int a, int b) { return mean_step(&t[a * line], &t[b * line], 256, along); };
            EXPECT_LE(step(255, 0), 1.5 * step(127, 128) + 6.0) << w.name << (rows ? " rows" : " columns");
        }
        // The pattern continues over the whole picture (it is seen in its scratch role); the colour map, presented
        // whole for one frame, is instead a chart: bright in the block the scene reads, dark around it.
        if (std::string(w.name) == "misc\\voxtext1") {
            EXPECT_GE(stats(p, [](int x, int y) { return x < 256 && y < 128; }).mean, 60.0);
            EXPECT_LE(stats(p, [](int x, int y) { return x > 256 || y > 128; }).mean, 20.0);
            continue;
        }
        for (int y = 0; y < picture_height; y += 7)
            for (int x = 0; x < picture_width; x += 5) ASSERT_EQ(at(p, x, y), at(p, x % 256, y % 128)) << w.name;
    }
    Picture panorama;  // 600 rows
    for (const char* name : {"bak\\tuff", "bak\\link", "bak\\dsg3"}) {
        const Picture p = load(name);
        panorama.insert(panorama.end(), p.begin(), p.end());
    }
    auto step = [&](int y) { return mean_step(&panorama[y * 320u], &panorama[(y + 1) * 320u], 320); };
    for (const int seam : {199, 399}) EXPECT_LE(step(seam), step(seam - 1) + step(seam + 1) + 3.0) << "seam " << seam;
}

// The sea sits at exactly 70 in the (grey) height map and is red in the colour map, which is stored with red and
// blue exchanged (the show makes it blue again) and shifted 56 columns.
TEST(Pictures, HeightAndColourMapAgreeOnTheWater)
{
    const Picture height = load("misc\\height"), colour = load("misc\\voxtext1");
    int water = 0, land_peak = 0, top = 0;
    for (int r = 0; r < 128; ++r)
        for (int c = 0; c < 256; ++c) {
            const std::uint32_t h = at(height, c, r), mapped = at(colour, (c - 56) & 255, r);
            ASSERT_TRUE(red(h) == green(h) && green(h) == blue(h) && green(h) >= 70) << c << "," << r;
            top = std::max(top, green(h));
            if (green(h) > 70) land_peak = std::max(land_peak, peak(mapped));
            else EXPECT_GT(red(mapped), blue(mapped) + 30) << "colour map at " << ((c - 56) & 255) << "," << r;
            water += green(h) == 70;
        }
    EXPECT_NEAR(water / (256.0 * 128.0), 0.3, 0.1);
    EXPECT_TRUE(top >= 200 && top <= 240) << top;
    EXPECT_LE(land_peak, 180);
}

// The additive overlays and backdrops keep to their brightness budgets; the two star layers stay sparse and dark
// together, the far one dimmer.
TEST(Pictures, BrightnessBudgets)
{
    for (const char* name : {"bak\\intro1", "bak\\intro2", "misc\\dtext", "logos\\velmora", "misc\\endsc1", "misc\\endsc2",
                             "bak\\reak1", "bak\\reak3", "bak\\lmup1", "textures\\flare", "misc\\grit"})
        EXPECT_LE(stats(load(name)).mean, 25.0) << name;
    const struct { const char* name; double low, high; int peak; } budgets[] = {
        {"bak\\dsg3", 0, 70, 140},       {"bak\\cpb7", 80, 120, 255},     {"bak\\blup", 0, 60, 255},     {"bak\\pemb", 0, 60, 255},
        {"bak\\stbak1", 0, 60, 255},     {"misc\\endscbak", 0, 60, 255},  {"textures\\weird2", 0, 30, 90},
        {"textures\\cubet", 0, 20, 60},  {"textures\\tmup9c", 0, 60, 150}, {"textures\\cubet4", 0, 60, 150},
        {"bak\\dsg31", 0, 255, 150}};
    for (const auto& b : budgets) {
        const Stats s = stats(load(b.name));
        EXPECT_TRUE(s.mean >= b.low && s.mean <= b.high && s.peak <= b.peak)
            << b.name << ": mean " << s.mean << ", peak " << s.peak;
    }
    // The particles' backdrop keeps blue, the channel both particle colours fill, low (it was 75).
    const Picture backdrop = load("bak\\pemb");
    EXPECT_LE(std::accumulate(backdrop.begin(), backdrop.end(), 0.0, [](double sum, std::uint32_t v) { return sum + blue(v); }) /
                  picture_pixels, 55.0);
    const Stats near = stats(load("bak\\stbk1")), far = stats(load("bak\\stbk2a"));
    EXPECT_LE(near.lit, picture_pixels / 50);
    EXPECT_LE(near.mean + far.mean, 12.0);
    EXPECT_LE(far.peak, 170);
}

TEST(Pictures, DarkRegionsStayClearOfWhatTheShowDrawsThere)
{
    auto within = [](int cx, int cy, int r) {
        return [=](int x, int y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r; };
    };
    // The lights keep clear of the tumbling meshes; the tunnel glow is saturated within 25 px, dark beyond 60.
    for (const char* name : {"bak\\reak1", "bak\\reak3"})
        EXPECT_LE(stats(load(name), within(165, 100, 88)).peak, 30) << name;
    const Picture glow = load("bak\\lmup1");
    EXPECT_TRUE(at(glow, 160, 100) == 0xFFFFFFu && at(glow, 180, 100) == 0xFFFFFFu);
    EXPECT_LE(stats(glow, std::not_fn(within(160, 100, 61))).mean, 25.0);
    // The caption keeps to the lower band, where the planet does not pass; the dusk to the upper half; the
    // banner's inner field, under the text, stays dim.
    EXPECT_EQ(stats(load("misc\\dtext"), [](int, int y) { return y < 150; }).lit, 0);
    EXPECT_EQ(stats(load("bak\\desine"), [](int, int y) { return y >= 99; }).lit, 0);
    EXPECT_LE(stats(load("bak\\dsg31"), [](int x, int y) { return x >= 8 && x < 132 && y >= 8 && y < 32; }).mean, 40.0);
    // The engine flare is black on and outside its ellipse, white in the middle.
    const Picture flare = load("textures\\flare");
    EXPECT_EQ(stats(flare, [](int x, int y) { return x >= 256 || y >= 128 || ellipse_radius(x, y) >= 1.0f; }).lit, 0);
    EXPECT_EQ(at(flare, 128, 64), 0xFFFFFFu);
    // The ticker's lines: ink only on rows 1 to 9 of each 16-row band in the top 96 rows, plenty on row 5.
    const Picture grit = load("misc\\grit");
    for (int y = 0; y < picture_height; ++y) {
        const int inked = stats(grit, [&](int, int row) { return row == y; }).lit, band_row = y % 16;
        if (y >= 96 || band_row < 1 || band_row > 9) { EXPECT_EQ(inked, 0) << "ticker row " << y; }
        if (y < 96 && band_row == 5) { EXPECT_GT(inked, 40) << "ticker row " << y; }
    }
}

// The credit words replace one another at frame row 18, each resting at its own leftmost column (10, 10, 16 and
// 6): at rest their ink starts at one frame column and their letters share one top row, so none is larger or
// jumps; "graphics" alone reaches below the others' last row (its descenders).
TEST(Pictures, CreditWordsShareOneSizeAndPlace)
{
    const struct { const char* name; int w, h, leftmost; } words[] = {
        {"sprites\\rimt", 80, 25, 10}, {"sprites\\tast", 56, 14, 10}, {"sprites\\zenut", 79, 16, 16},
        {"sprites\\kolbt", 125, 15, 6}};
    std::vector<int> left, top, bottom;
    for (const auto& w : words) {
        const Picture p = load(w.name);
        int x0 = w.w, y0 = w.h, y1 = -1;
        for (int y = 0; y < w.h; ++y)
            for (int x = 0; x < w.w; ++x)
                if (peak(at(p, x, y)) > 60) x0 = std::min(x0, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
        left.push_back(w.leftmost + x0), top.push_back(y0), bottom.push_back(y1);
    }
    const auto all_equal = [](const std::vector<int>& v) { return std::count(v.begin(), v.end(), v[0]) == 4; };
    EXPECT_TRUE(all_equal(left)) << "first ink columns at rest " << left[0] << " " << left[1] << " " << left[2] << " " << left[3];
    EXPECT_TRUE(all_equal(top)) << "top rows " << top[0] << " " << top[1] << " " << top[2] << " " << top[3];
    EXPECT_TRUE(bottom[0] == bottom[1] && bottom[1] == bottom[3] && bottom[2] > bottom[0]);
    EXPECT_GE(bottom[0] - top[0], 9) << "legible letters";
}

// The end screens' eight rings turn round a centre that circles the middle (the scene's motion, with this ring
// sprite): every column they light over a cycle stays black in both end pictures, which scroll up through every row.
TEST(Pictures, EndTextKeepsOutOfTheRingsPath)
{
    const Picture ring = load("sprites\\ring32b");
    std::vector<bool> swept(320, false);
    for (int a = 0; a < 180; ++a) {
        const int cx = int(30 * std::cos(-a * 0.03490666666666667) + 160);
        for (int h = 0; h < 360; h += 45) {
            const int x = cx + int(50 * std::cos((h + 2 * a) * 0.0174532));
            for (int c = 0; c < 43; ++c)
                for (int r = 0; r < 43; ++r)
                    if (at(ring, c, r) != 0u && x - 21 + c >= 0 && x - 21 + c < 320) swept[std::size_t(x - 21 + c)] = true;
        }
    }
    EXPECT_GT(std::count(swept.begin(), swept.end(), true), 150);
    for (const char* name : {"misc\\endsc1", "misc\\endsc2"}) {
        const Stats in_path = stats(load(name), [&](int x, int) { return swept[std::size_t(x)]; });
        const Stats beside = stats(load(name), [&](int x, int) { return !swept[std::size_t(x)]; });
        EXPECT_EQ(in_path.lit, 0) << name;
        EXPECT_GE(beside.peak, 200) << name << ": its text";
    }
}

// The grit band's lowest pixel, in the margin row under the frame, shows strip pixel 2f - 318 + 1920k in frame f
// of the scene (band column k): always an even one. So every even strip pixel is black, and the margin stays
// black whatever the scene's length.
TEST(Pictures, TheTickerLeavesTheMarginUnderTheFrameBlack)
{
    build_grit_strip();
    long lit_odd = 0;
    for (int i = 0; i < grit_strip_pixels; ++i) {
        if (i % 2 == 0) { ASSERT_EQ(grit_strip[i], 0u) << "strip pixel " << i << " (picture column " << i % 320 << ")"; }
        lit_odd += grit_strip[i] != 0;
    }
    EXPECT_GT(lit_odd, grit_strip_pixels / 20) << "the text itself is on the odd pixels";
}

// The sphere maps: pixel to normal as the samplers read it back (column 128 - 128 n.x, row 64 - 64 n.y), just
// inside the rim outside the ellipse, the upper-left highlight at the lower right; in the files the rim colour
// continues outward (no black fringe where the samplers land just outside the ellipse), and the block's edges
// match where a normal component of -1 wraps to 0.
TEST(Pictures, SphereMapsFollowTheSamplersAndMatchAtTheEdges)
{
    for (int y = 0; y < 200; y += 3)
        for (int x = 0; x < 320; x += 3) {
            const Vec3 n = sphere_normal(x, y);
            EXPECT_TRUE(std::fabs(dot(n, n) - 1.0f) < 1e-4f && n.z <= 0.0f) << x << "," << y;
            if (ellipse_radius(x, y) >= std::sqrt(0.9f)) { EXPECT_LT(n.z, -0.2f) << x << "," << y; }
            else EXPECT_LT(std::hypot(128 - 128 * n.x - x - 0.5f, 64 - 64 * n.y - y - 0.5f), 1e-3f) << x << "," << y;
        }
    const Vec3 lit = sphere_normal(180, 90);
    EXPECT_TRUE(lit.x < 0.0f && lit.y < 0.0f);
    EXPECT_GT(highlight(lit, upper_left_light, 20.0f), highlight(sphere_normal(76, 38), upper_left_light, 20.0f));
    auto ring = [](float lo, float hi) {
        return [=](int x, int y) { float e = ellipse_radius(x, y); return x < 256 && y < 128 && e >= lo && e < hi; };
    };
    for (const char* name : {"textures\\gold", "textures\\gold2", "textures\\klump", "textures\\metroid2", "textures\\minenv3",
                             "textures\\minenv4", "textures\\planet3", "textures\\sten"}) {
        const Picture p = load(name);
        const double rim = stats(p, ring(0.93f, 1.0f)).mean, beyond = stats(p, ring(1.0f, 1e9f)).mean;
        EXPECT_TRUE(rim > 15.0 && beyond > 0.6 * rim) << name << ": " << rim << ", " << beyond;
        for (int i = 0; i < 256; ++i)
            EXPECT_TRUE(at(p, i, 0) == at(p, i, 127) && at(p, 0, i / 2) == at(p, 255, i / 2)) << name << " at " << i;
    }
}

// The chessboard's central star shows its chrome map at a few dozen pixels, turning it fast: any fine pattern in
// the map (a reflected checkerboard, a pinpoint highlight) crawls. Inside the ellipse no neighbouring pixels differ
// by more than a gentle gradient does.
TEST(Pictures, TheChromeMapHasNoDetailFinerThanTheStarCanShow)
{
    const Picture chrome = load("textures\\minenv3");
    double sum = 0, count = 0, largest = 0;
    for (int y = 0; y + 1 < 128; ++y)
        for (int x = 0; x + 1 < 256; ++x) {
            if (ellipse_radius(x, y) >= 0.97f || ellipse_radius(x + 1, y + 1) >= 0.97f) continue;
            for (const double step : {mean_step(&chrome[y * 320u + x], &chrome[y * 320u + x + 1], 1),
                                      mean_step(&chrome[y * 320u + x], &chrome[(y + 1) * 320u + x], 1)})
                sum += step, ++count, largest = std::max(largest, step);
        }
    EXPECT_LE(sum / count, 6.0);
    EXPECT_LE(largest, 40.0) << "a sharp edge in the chrome map";
}

// The room's shell is half-blended glass: the pixel where two facets meet is blended twice and stands out by a
// quarter of (texel - what lies behind). Its map keeps to a middle tone, with few bright texels.
TEST(Pictures, TheShellGlassKeepsToAMiddleTone)
{
    const Picture glass = load("textures\\gold2");
    double sum = 0;
    int count = 0, bright = 0;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 256; ++x)
            if (ellipse_radius(x, y) < 1.0f) {
                const std::uint32_t v = at(glass, x, y);
                const double luma = 0.3 * red(v) + 0.59 * green(v) + 0.11 * blue(v);
                sum += luma, ++count, bright += luma > 170;
            }
    EXPECT_LE(sum / count, 140.0);
    EXPECT_LE(bright, count / 8);
}

// The shuttle is split per face and drawn with the u/v stored at load time, so each face shows one texel: its
// texture is a palette. Every face's texel is painted (it differs from what lies under the flyby's first frame,
// the caption over both star layers), every other pixel is exactly that backdrop, and the palette holds a white
// hull, dark tiles and glowing exhausts.
TEST(Pictures, ShuttlePaletteServesEveryFaceAndLeavesTheFlybyBackdrop)
{
    const Picture palette = load("textures\\shutex4a"), caption = load("misc\\dtext"), near = load("bak\\stbk1"),
                  far = load("bak\\stbk2a");
    auto backdrop = [&](int i) {
        std::uint32_t sum = 0;
        for (const unsigned shift : {0u, 8u, 16u}) {
            const auto channel = [&](const Picture& p) { return (p[std::size_t(i)] >> shift) & 255u; };
            sum |= std::min(255u, channel(caption) + channel(near) + channel(far)) << shift;
        }
        return sum;
    };
    static Mesh shuttle;  // large: not on the stack
    shuttle = load_asc("qd\\3d\\shuttle.asc", 0, 0, 0);
    ASSERT_GT(shuttle.face_count, 0);
    std::vector<bool> used(picture_pixels, false);
    int white = 0, dark = 0, hot = 0;
    for (int j = 0; j < shuttle.face_count; ++j) {
        const Face& f = shuttle.faces[j];
        ASSERT_TRUE(f.u_a == f.u_b && f.u_b == f.u_c && f.v_a == f.v_b && f.v_b == f.v_c) << "face " << j;
        const int i = f.v_a / 2 * picture_width + f.u_a;  // the transposed cut: texel (u, v) is pixel (u, v / 2)
        used[std::size_t(i)] = true;
        const std::uint32_t texel = palette[std::size_t(i)];
        EXPECT_NE(texel, backdrop(i)) << "face " << j << " shows the backdrop";
        white += std::min({red(texel), green(texel), blue(texel)}) >= 140;
        dark += peak(texel) <= 80;
        hot += red(texel) >= 230 && blue(texel) <= 200 && red(texel) > blue(texel) + 40;
    }
    for (int i = 0; i < picture_pixels; ++i) {
        if (!used[std::size_t(i)]) { ASSERT_EQ(palette[std::size_t(i)], backdrop(i)) << "pixel " << i; }
    }
    EXPECT_GE(white, shuttle.face_count / 4);
    EXPECT_GE(dark, shuttle.face_count / 10);
    EXPECT_GE(hot, 12);
}

// Every listed file decodes; the forge writes the catalogue, so with every listed file there an equal count means
// the catalogue is exactly the list. A fresh forge run writes the same bytes, and no other files. (The writer's
// files as ImageMagick reads them are the PCX tests'.)
TEST(Pictures, EveryFileDecodesAndAFreshForgeRunWritesTheSameBytes)
{
    EXPECT_EQ(picture_catalogue().size(), std::size(all_pictures));
    for (const char* name : all_pictures) {
        const Picture p = load(name);
        EXPECT_TRUE(std::none_of(p.begin(), p.end(), [](std::uint32_t v) { return v > 0xFFFFFFu; })) << name;
    }
    const std::string forge = std::string(VELMORA_BUILD_DIR) + "/velmora_forge";
    const std::string out = testing::TempDir() + "velmora_pictures";
    if (!std::ifstream(forge).good()) GTEST_SKIP() << "no forge at " << forge;
    ASSERT_EQ(std::system(("mkdir -p '" + out + "' && '" + forge + "' --out '" + out + "'").c_str()), 0);
    EXPECT_EQ(std::system(("diff -r '" + out + "/qd/gfx' qd/gfx").c_str()), 0);
    std::system(("rm -rf '" + out + "'").c_str());
}

}  // namespace
