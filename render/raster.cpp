// raster.cpp -- triangle scan conversion: the corner sort, the edge walkers and the
// upper and lower parts shared by the three textured fillers and the flat one.
#include "render.h"
#include "render_local.h"

#include "shell/shell.h"

namespace {

// One side of the triangle as it walks down the rows.
struct EdgeWalker {
    float x, u, v, z;
};

// Per-row increments of one edge; depth moves in whole units per row.
struct EdgeStep {
    float dx, du, dv, dz;
};

// Rows above the frame are walked one by one up to this many (so ordinary
// triangles accumulate exactly as drawn); beyond it the walkers jump.
constexpr std::int64_t longest_row_walk = 65536;

void sort_by_row(ScreenCorner& p, ScreenCorner& q)
{
    if (p.y > q.y) {
        const ScreenCorner t = p;
        p = q;
        q = t;
    }
}

EdgeStep edge_step(const ScreenCorner& from, const ScreenCorner& to)
{
    const std::int64_t dy = static_cast<std::int64_t>(to.y) - from.y;
    if (dy == 0) return EdgeStep{0.0f, 0.0f, 0.0f, 0.0f};
    const float rows = static_cast<float>(dy);
    EdgeStep step;
    step.dx = static_cast<float>(static_cast<std::int64_t>(to.x) - from.x) / rows;
    step.du = static_cast<float>(static_cast<std::int64_t>(to.u) - from.u) / rows;
    step.dv = static_cast<float>(static_cast<std::int64_t>(to.v) - from.v) / rows;
    step.dz = static_cast<float>(truncate_saturated((to.z - from.z) / rows, depth_limit));
    return step;
}

EdgeWalker walker_at(const ScreenCorner& corner)
{
    return EdgeWalker{static_cast<float>(corner.x), static_cast<float>(corner.u),
                      static_cast<float>(corner.v), corner.z};
}

inline void advance(EdgeWalker& w, const EdgeStep& s)
{
    w.x += s.dx;
    w.u += s.du;
    w.v += s.dv;
    w.z += s.dz;
}

// Advances a walker by `rows` rows: one add per row for short distances, one
// multiply beyond that (only for triangles reaching far above the frame).
void advance_rows(EdgeWalker& w, const EdgeStep& s, std::int64_t rows)
{
    if (rows <= longest_row_walk) {
        for (std::int64_t r = 0; r < rows; ++r) advance(w, s);
        return;
    }
    const double n = static_cast<double>(rows);
    w.x = static_cast<float>(clamp_finite(w.x + n * s.dx, 1.0e30));
    w.u = static_cast<float>(clamp_finite(w.u + n * s.du, 1.0e30));
    w.v = static_cast<float>(clamp_finite(w.v + n * s.dv, 1.0e30));
    w.z = static_cast<float>(clamp_finite(w.z + n * s.dz, 1.0e30));
}

inline SpanEnd span_end(const EdgeWalker& w)
{
    return SpanEnd{truncate_saturated(w.x, coordinate_limit), w.u, w.v, w.z};
}

// Walks rows `from` .. `to` - 1 with both walkers, drawing rows inside the frame.
// Returns false once the rows run below the frame (nothing further can show).
template <typename DrawRow>
bool walk_rows(std::int64_t from, std::int64_t to, EdgeWalker& short_side, const EdgeStep& short_step,
               EdgeWalker& long_side, const EdgeStep& long_step, DrawRow draw_row)
{
    std::int64_t y = from;
    if (y < 0 && to > y) {
        const std::int64_t skipped = (to < 0 ? to : 0) - y;
        advance_rows(short_side, short_step, skipped);
        advance_rows(long_side, long_step, skipped);
        y += skipped;
    }
    for (; y < to; ++y) {
        if (y >= frame_height) return false;
        draw_row(short_side, long_side, static_cast<int>(y));
        advance(short_side, short_step);
        advance(long_side, long_step);
    }
    return true;
}

// The scan conversion. `row_b_twice`: the upper part includes row yB (opaque and
// flat fillers), so that row is drawn by both parts; otherwise it stops before it.
template <typename DrawRow>
void scan_triangle(ScreenCorner a, ScreenCorner b, ScreenCorner c, bool row_b_twice, DrawRow draw_row)
{
    a.z = clamp_finite(a.z, depth_limit);
    b.z = clamp_finite(b.z, depth_limit);
    c.z = clamp_finite(c.z, depth_limit);
    sort_by_row(a, b);
    sort_by_row(b, c);
    sort_by_row(a, c);
    sort_by_row(a, b);
    const EdgeStep ab = edge_step(a, b), bc = edge_step(b, c), ac = edge_step(a, c);

    EdgeWalker short_side = walker_at(a);
    EdgeWalker long_side = walker_at(a);
    const std::int64_t upper_end = static_cast<std::int64_t>(b.y) + (row_b_twice ? 1 : 0);
    if (!walk_rows(a.y, upper_end, short_side, ab, long_side, ac, draw_row)) return;
    short_side = walker_at(b);
    walk_rows(b.y, c.y, short_side, bc, long_side, ac, draw_row);
}

template <void (*draw_span)(SpanEnd, SpanEnd, int, const std::uint32_t*)>
void textured_triangle(const ScreenCorner& a, const ScreenCorner& b, const ScreenCorner& c,
                       const std::uint32_t* texture, bool row_b_twice)
{
    scan_triangle(a, b, c, row_b_twice, [texture](const EdgeWalker& s, const EdgeWalker& l, int y) {
        draw_span(span_end(s), span_end(l), y, texture);
    });
}

}  // namespace

void draw_triangle_textured(ScreenCorner a, ScreenCorner b, ScreenCorner c, const std::uint32_t* texture)
{
    textured_triangle<draw_span_textured>(a, b, c, texture, true);
}

void draw_triangle_additive(ScreenCorner a, ScreenCorner b, ScreenCorner c, const std::uint32_t* texture)
{
    textured_triangle<draw_span_additive>(a, b, c, texture, false);
}

void draw_triangle_halfblend(ScreenCorner a, ScreenCorner b, ScreenCorner c, const std::uint32_t* texture)
{
    textured_triangle<draw_span_halfblend>(a, b, c, texture, false);
}

void draw_triangle_flat(int x0, int y0, int x1, int y1, int x2, int y2,
                        std::uint8_t c0, std::uint8_t c1, std::uint8_t c2)
{
    const std::uint32_t colour = static_cast<std::uint32_t>(c0) | static_cast<std::uint32_t>(c1) << 8 |
                                 static_cast<std::uint32_t>(c2) << 16;
    const ScreenCorner a{x0, y0, 0, 0, 0.0f}, b{x1, y1, 0, 0, 0.0f}, c{x2, y2, 0, 0, 0.0f};
    scan_triangle(a, b, c, true, [colour](const EdgeWalker& s, const EdgeWalker& l, int y) {
        std::int32_t left = truncate_saturated(s.x, coordinate_limit);
        std::int32_t right = truncate_saturated(l.x, coordinate_limit);
        if (left > right) {
            const std::int32_t t = left;
            left = right;
            right = t;
        }
        if (left < 0) left = 0;
        if (right > frame_width - 1) right = frame_width - 1;
        RENDER_RANGE_CHECK(left > right || (left >= 0 && right < frame_width && y >= 0 && y < frame_height),
                           "draw_triangle_flat: columns %d to %d on row %d", left, right, y);
        std::uint32_t* row = screen + y * frame_width;
        for (std::int32_t x = left; x <= right; ++x) row[x] = (row[x] & 0xFF000000u) | colour;
    });
}
