// picture_grit.cpp -- the grit scene (teal): the backdrop mixed into the fading
// frame, the cube edges warped across it, the ticker text of the side band and
// the glowing ball sprite.
#include "draw.h"
#include "noise.h"
#include "palette.h"
#include "pictures.h"
#include "shading.h"
#include "text.h"

#include <cmath>

using namespace show_colour;

// Dark teal and indigo, large soft shapes.
Image make_grit_backdrop()
{
    const Fractal shapes{2, 2, 3, 0.45f, 0xB1F, true};
    const Fractal second{3, 2, 3, 0.45f, 0xB20, true};
    Image image;
    fill(image, [&](int x, int y) {
        const float u = x / 320.0f, v = y / 200.0f;
        const float a = smoothstep(0.35f, 0.7f, fractal_noise(u, v, shapes));
        const float b = smoothstep(0.4f, 0.75f, fractal_noise(u, v, second));
        return Rgb{4, 10, 22} + dark_teal * (1.4f * a) + Rgb{30, 20, 70} * b;
    });
    box_blur(image, 6);
    return image;
}

namespace {

// Tumbling blocks in texture space: pointy hexagons of circumradius 1, each cut
// into three rhombi by a "Y" from its centre. The lattice repeats every
// sqrt(3) x 3 units; the tile holds 8 x 5 of those periods (slightly squashed).
struct CubeSample {
    float edge_distance;  // in lattice units, to the nearest drawn edge
    int face;             // 0, 1, 2: which rhombus
};

float segment_distance(float px, float py, float ax, float ay, float bx, float by)
{
    const float vx = bx - ax, vy = by - ay;
    const float t = clamp01(((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy));
    const float dx = px - ax - t * vx, dy = py - ay - t * vy;
    return std::sqrt(dx * dx + dy * dy);
}

CubeSample cube_at(float lx, float ly)
{
    const float root3 = 1.7320508f;
    // The nearest hexagon centre: centres at (i * sqrt3 + (j odd) * sqrt3 / 2, 1.5 j).
    float best = 1e9f, cx = 0, cy = 0;
    const int j0 = static_cast<int>(std::floor(ly / 1.5f));
    for (int j = j0 - 1; j <= j0 + 2; ++j) {
        const float offset = (j & 1) ? root3 * 0.5f : 0.0f;
        const int i0 = static_cast<int>(std::floor((lx - offset) / root3));
        for (int i = i0 - 1; i <= i0 + 2; ++i) {
            const float hx = i * root3 + offset, hy = 1.5f * j;
            const float d = (lx - hx) * (lx - hx) + (ly - hy) * (ly - hy);
            if (d < best) best = d, cx = hx, cy = hy;
        }
    }
    const float px = lx - cx, py = ly - cy;
    // Distance to the hexagon's border (apothem sqrt3/2, edge normals at 0, 60, 120 degrees).
    const float apothem = root3 * 0.5f;
    const float m = std::fmax(std::fabs(px), std::fmax(std::fabs(0.5f * px + apothem * py), std::fabs(0.5f * px - apothem * py)));
    float edge = apothem - m;
    // The "Y": from the centre to the vertices at 90, 210 and 330 degrees (y down: 90 is down).
    const float vx[3] = {0.0f, -apothem, apothem}, vy[3] = {1.0f, -0.5f, -0.5f};
    for (int k = 0; k < 3; ++k) edge = std::fmin(edge, segment_distance(px, py, 0, 0, vx[k], vy[k]));
    // The face: the top rhombus lies between the two upper arms, the sides left and right of the lower one.
    const int face = py < 0 && std::fabs(px) < -py * root3 ? 0 : (px < 0 ? 1 : 2);
    return {edge, face};
}

}  // namespace

// Thin edges of an isometric cube pattern on black, dim (the feedback multiplies it).
Image make_cube_edges()
{
    const float root3 = 1.7320508f;
    const float sx = 8.0f * root3 / 256.0f, sy = 5.0f * 3.0f / 256.0f;  // texels to lattice units
    return tiled_picture([&](int x, int y) {
        // Average the two texture rows this picture row stands for.
        Rgb sum{};
        for (int half = 0; half < 2; ++half) {
            const CubeSample s = cube_at((x + 0.5f) * sx, (2.0f * y + half + 0.5f) * sy);
            const float line = std::exp(-(s.edge_distance / sx) * (s.edge_distance / sx) / 0.5f);
            const float face_tone[3] = {12.0f, 6.0f, 2.0f};
            sum = sum + (Rgb{30, 58, 56} * line + Rgb{0.4f, 1.0f, 0.95f} * face_tone[s.face] * (1.0f - line)) * 0.5f;
        }
        return sum;
    });
}

// Six ticker lines that read as one text, sliced from one long line: glyphs in
// rows 16t + 1 to 16t + 9 of line t, everything else black. The band moves two
// rows a frame, so the even picture columns always land on the even frame rows,
// the lowest of which is the margin row under the frame. The text is therefore
// lit on odd columns only: a dot-matrix ticker, one dot and one dark gap per
// step, the glyphs resampled so that the text fills the six lines once.
Image make_ticker()
{
    const std::string text =
        "VELMORA \xB7 A REAL-TIME SHOW IN FIFTEEN SCENES \xB7 TWO SONGS \xB7 EVERY PIXEL COMPUTED \xB7 STARS \xB7 "
        "A GOLDEN ROOM \xB7 A PLANET \xB7 A FLEET \xB7 A TUNNEL \xB7 A BLOB \xB7 PARTICLES \xB7 A STONE CHESSBOARD \xB7 "
        "MADE FROM CODE \xB7";
    const int size = 12, lines = 6, dots_per_line = 160;
    const TextMask mask = render_text(text, Typeface::bold, size);
    const InkBox caps = ink_box(render_text("VELMORA", Typeface::bold, size));
    const float glyph_pixels_per_dot = static_cast<float>(mask.width - 1) / (lines * dots_per_line);
    Image image;
    for (int t = 0; t < lines; ++t)
        for (int row = 1; row <= 9; ++row) {
            // Glyph row `row` of the line: cap tops at row 1.
            const int my = caps.y0 + row - 1 - (9 - caps.height()) / 2;
            if (my < 0 || my >= mask.height) continue;
            for (int dot = 0; dot < dots_per_line; ++dot) {
                const float mx = (t * dots_per_line + dot) * glyph_pixels_per_dot;
                const int left = static_cast<int>(mx);
                const float w = mx - left, ink = (1 - w) * mask.at(left, my) + w * mask.at(left + 1, my);
                // A little brighter: resampling softens the strokes.
                image.at(2 * dot + 1, 16 * t + row) = teal_white * std::min(1.0f, 1.2f * ink);
            }
        }
    return image;
}

// A glowing cyan-white ball of radius 11 in the 24x24 block, with a highlight.
Image make_glow_ball()
{
    Image image;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            const float nx = (x + 0.5f - 12.0f) / 11.0f, ny = (y + 0.5f - 12.0f) / 11.0f;
            const float r2 = nx * nx + ny * ny;
            if (r2 >= 1.0f) continue;
            const Vec3 n{nx, ny, -std::sqrt(1.0f - r2)};
            const float body = 0.25f + 0.75f * diffuse(n, upper_left_light);
            const float edge = smoothstep(1.0f, 0.85f, r2);
            image.at(x, y) = (Rgb{60, 200, 225} * body + Rgb{255, 255, 255} * highlight(n, upper_left_light, 30.0f) +
                              Rgb{60, 120, 160} * std::pow(r2, 3.0f)) * edge;
        }
    return image;
}
