// test_render.cpp -- rotation, the rasterizers and the object pipeline, plus wild input that must stay harmless.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "render/render.h"
#include "shell/shell.h"

namespace {

// The frame with a guard row above and below, so stray writes show.
std::uint32_t frame_with_guards[frame_pixels + 2 * frame_width];
std::uint32_t* const frame = frame_with_guards + frame_width;
constexpr std::uint32_t guard = 0xDEADBEEFu;

// In index_texture a texel is its own index (row << 8 | column): a pixel tells which texel it shows.
std::uint32_t index_texture[65536], white_texture[65536];
Object3D object;  // large: program-wide, as the scenes keep theirs

constexpr float nan_f = std::numeric_limits<float>::quiet_NaN();
constexpr float inf_f = std::numeric_limits<float>::infinity();
constexpr int big = std::numeric_limits<int>::max(), small = std::numeric_limits<int>::min();
constexpr auto spans = {draw_span_textured, draw_span_additive, draw_span_halfblend};

class Render : public ::testing::Test {
protected:
    void SetUp() override
    {
        build_sincos_table();
        show_variant = Variant::final_build;
        screen = frame;
        std::fill(std::begin(frame_with_guards), std::end(frame_with_guards), guard);
        std::fill(frame, frame + frame_pixels, 0u);
        std::fill(std::begin(depth_buffer), std::end(depth_buffer), 4000);
        for (int i = 0; i < 65536; ++i) index_texture[i] = i, white_texture[i] = 0x00FFFFFFu;
        std::memset(static_cast<void*>(&object), 0, sizeof object);
    }
    void TearDown() override
    {
        show_variant = Variant::final_build;
        const auto intact = [](std::uint32_t p) { return p == guard; };
        EXPECT_TRUE(std::all_of(frame_with_guards, frame, intact)) << "write above the frame";
        EXPECT_TRUE(std::all_of(frame + frame_pixels, std::end(frame_with_guards), intact)) << "write below the frame";
    }
    static std::uint32_t& pixel(int x, int y) { return frame[y * frame_width + x]; }
    static int drawn_pixels() { return frame_pixels - static_cast<int>(std::count(frame, frame + frame_pixels, 0u)); }
    // A mesh in the given slot with view-space-ready vertices (camera at 0).
    static Mesh& put_mesh(std::uint8_t mode, const std::vector<Vertex>& vertices, const std::vector<Face>& faces,
                          int slot = 0)
    {
        object.mesh_count = std::max(object.mesh_count, slot + 1);
        Mesh& m = object.meshes[slot];
        m.mode = mode, m.texture = index_texture;
        m.vertex_count = int(vertices.size()), m.face_count = int(faces.size());
        std::copy(vertices.begin(), vertices.end(), m.vertices), std::copy(faces.begin(), faces.end(), m.faces);
        return m;
    }
};

Vertex at(float x, float y, float z, float nx = 0, float ny = 0, float nz = 0) { return Vertex{x, y, z, nx, ny, nz}; }
Face face(int a, int b, int c) { Face f{}; f.a = a, f.b = b, f.c = c; return f; }
const std::vector<Face> one_face = {face(0, 1, 2)};

void expect_near(const Vertex& v, float x, float y, float z)
{
    EXPECT_TRUE(std::abs(v.x - x) < 1e-4f && std::abs(v.y - y) < 1e-4f && std::abs(v.z - z) < 1e-4f)
        << v.x << ", " << v.y << ", " << v.z;
}

TEST_F(Render, RotationTurnsTheAxesInOrderXYZAndWrapsAngles)
{
    expect_near(rotate_point(at(0, 1, 0), 90, 0, 0), 0, 0, 1);   // about X
    expect_near(rotate_point(at(1, 0, 0), 0, 0, 90), 0, 0, -1);  // about Y (third argument)
    expect_near(rotate_point(at(1, 0, 0), 0, 90, 0), 0, 1, 0);   // about Z (second argument)
    // (0, 1, 0) goes to +z under X, then to +x under Y, then to +y under Z.
    expect_near(rotate_point(at(0, 1, 0), 90, 90, 90), 0, 1, 0);
    const Vertex n = rotate_point(at(0, 1, 0, 1, 0, 0), 0, 90, 0);  // the normal turns too
    expect_near(at(n.nx, n.ny, n.nz), 0, 1, 0);

    const auto same = [](const Vertex& p, const Vertex& q) { return std::memcmp(&p, &q, sizeof p) == 0; };
    // Bit for bit the three plane rotations with every intermediate a float, position and normal alike.
    std::mt19937 random(5);
    std::uniform_real_distribution<float> coordinate(-500.0f, 500.0f);
    for (int i = 0; i < 3000; ++i) {
        const int ax = int(random() % 361), az = int(random() % 361), ay = int(random() % 361);
        const SinCos r1 = sincos_table[ax], r2 = sincos_table[az], r3 = sincos_table[ay];
        float p[6];
        for (float& c : p) c = coordinate(random);
        Vertex expected{};
        for (int k = 0; k < 2; ++k) {
            const float x = p[3 * k], y = p[3 * k + 1], z = p[3 * k + 2];
            const float y1 = y * r1.cos - z * r1.sin, z1 = z * r1.cos + y * r1.sin;
            const float x1 = z1 * r3.sin + x * r3.cos, z2 = z1 * r3.cos - x * r3.sin;
            const float turned[3] = {x1 * r2.cos - y1 * r2.sin, y1 * r2.cos + x1 * r2.sin, z2};
            std::copy(turned, turned + 3, k == 0 ? &expected.x : &expected.nx);
        }
        ASSERT_TRUE(same(rotate_point(at(p[0], p[1], p[2], p[3], p[4], p[5]), ax, az, ay), expected)) << i;
    }
    const Vertex v = at(1.5f, -2.25f, 7.0f, 0.6f, 0.8f, 0.0f), r = rotate_point(v, 17, 123, 301);
    EXPECT_TRUE(same(rotate_point(v, 0, 0, 0), v));
    for (const int t : {360, -360, 1800, -2520}) EXPECT_TRUE(same(rotate_point(v, 17 + t, 123 + t, 301 + t), r)) << t;
    expect_near(rotate_point(v, 360, 360, 360), v.x, v.y, v.z);  // the table's two ends agree
    rotate_point(v, small, big, -1);                                // no overrun
}

TEST_F(Render, SpansClipToColumns0To318AndSkipRowsOutsideTheFrame)
{
    // u 0 -> 150, v 0 -> 150, z 100 -> 1000 from x = -5 to x = 10 on row 0. Column 0 is
    // step 5 of 15 (blending) or 6 of 16 (opaque: divisor w + 1, one column further left);
    // v runs one step ahead of u. Opaque depth there: 100 + 6 * 900 / 16.
    const SpanEnd left{-5, 0.0f, 0.0f, 100.0f}, right{10, 150.0f, 150.0f, 1000.0f};
    const SpanEnd from_300{300, 0, 0, 500}, to_400{400, 0, 0, 500};
    const std::uint32_t first_pixel[] = {56 * 256 + 65, 50 * 256 + 60, 0x007F7F7Fu};
    for (int filler = 0; filler < 3; ++filler) {
        SetUp();
        auto* const span = spans.begin()[filler];
        const bool opaque = filler == 0, half = filler == 2;
        opaque ? span(right, left, 0, index_texture) : span(left, right, 0, half ? white_texture : index_texture);
        for (int x = 0; x < frame_width; ++x) EXPECT_EQ(pixel(x, 0) != 0u, x <= 10) << filler << " column " << x;
        EXPECT_EQ(pixel(0, 0), first_pixel[filler]) << filler;
        EXPECT_EQ(depth_buffer[0], opaque ? 437 : 4000);
        span(from_300, to_400, 199, white_texture);  // stops at 318; opaque starts one column early
        EXPECT_EQ(pixel(318, 199), half ? 0x007F7F7Fu : 0x00FFFFFFu);
        EXPECT_EQ(pixel(319, 199), 0u);
        EXPECT_NE(pixel(opaque ? 299 : 300, 199), 0u);
        span(from_300, to_400, -1, white_texture);
        span(from_300, to_400, 200, white_texture);
        span(SpanEnd{330, 0, 0, 500}, to_400, 5, white_texture);                 // both beyond 320
        span(SpanEnd{-30, 0, 0, 500}, SpanEnd{-4, 0, 0, 500}, 5, white_texture);  // both negative
        span(SpanEnd{50, 0, 0, 500}, SpanEnd{50, 0, 0, 500}, 5, white_texture);   // width zero
        EXPECT_EQ(drawn_pixels(), 11 + (opaque ? 20 : 19)) << filler;
    }
}

TEST_F(Render, DepthTestPassesBetweenZeroAndTheEntryAndOpaqueDepthWrapsIn16Bits)
{
    for (const auto& [depth, drawn] : {std::pair{4000.0f, false}, {0.0f, false}, {-7.0f, false}, {0.9f, false},
                                      {3999.0f, true}, {1.0f, true}}) {
        for (auto* span : spans) {
            SetUp();
            span(SpanEnd{100, 0, 0, depth}, SpanEnd{110, 0, 0, depth}, 50, white_texture);
            EXPECT_EQ(pixel(105, 50) != 0u, drawn) << depth;
        }
    }
    // 65636 held in 16 bits is 100: nearer than 4000 in the final build only.
    for (const Variant variant : {Variant::final_build, Variant::vox_build}) {
        SetUp();
        show_variant = variant;
        draw_span_textured(SpanEnd{100, 0, 0, 65636.0f}, SpanEnd{110, 0, 0, 65636.0f}, 10, white_texture);
        EXPECT_EQ(pixel(105, 10), variant == Variant::final_build ? 0x00FFFFFFu : 0u);
        EXPECT_EQ(depth_buffer[10 * 320 + 105], variant == Variant::final_build ? 100 : 4000);
        draw_span_textured(SpanEnd{100, 0, 0, 30.0f}, SpanEnd{110, 0, 0, 30.0f}, 10, white_texture);
        EXPECT_EQ(depth_buffer[10 * 320 + 105], 30);  // in range both builds store the same
    }
    // The blending spans add per channel with saturation (texel 0x8010 here), or average.
    for (int x = 0; x < 320; ++x) pixel(x, 3) = 0x00FFC0A0u, pixel(x, 4) = 0xFF000000u;
    draw_span_additive(SpanEnd{10, 128, 16, 50}, SpanEnd{20, 128, 16, 50}, 3, index_texture);
    draw_span_halfblend(SpanEnd{10, 0, 0, 50}, SpanEnd{20, 0, 0, 50}, 4, white_texture);
    EXPECT_EQ(pixel(15, 3), 0x00FFFFB0u);
    EXPECT_EQ(pixel(15, 4), 0x7F7F7F7Fu);  // 0x00FFFFFF over 0xFF000000
}

TEST_F(Render, TrianglesDrawEachRowOnceNotRowCAndOnlyFlatOnesDrawOneRowOnes)
{
    // Half blend of white on black twice gives 0xBFBFBF: a row drawn twice shows it.
    draw_triangle_halfblend({100, 10, 0, 0, 100}, {40, 50, 0, 0, 100}, {160, 90, 0, 0, 100}, white_texture);
    for (int i = 0; i < frame_pixels; ++i) ASSERT_TRUE(frame[i] == 0 || frame[i] == 0x007F7F7Fu) << i;
    EXPECT_EQ(pixel(160, 90), 0u);  // row yC is never drawn
    EXPECT_EQ(pixel(158, 89), 0x007F7F7Fu);
    EXPECT_EQ(pixel(70, 50), 0x007F7F7Fu);  // row yB, once

    SetUp();
    const ScreenCorner a{50, 60, 0, 0, 100}, b{90, 60, 0, 0, 100}, c{70, 60, 0, 0, 100};
    draw_triangle_textured(a, b, c, white_texture);
    draw_triangle_additive(a, b, c, white_texture);
    draw_triangle_halfblend(a, b, c, white_texture);
    EXPECT_EQ(drawn_pixels(), 0);
    draw_triangle_flat(50, 60, 90, 60, 70, 60, 1, 2, 3);
    EXPECT_EQ(drawn_pixels(), 1);
    EXPECT_EQ(pixel(50, 60), 0x00030201u);

    // Flat triangles ignore depth and keep the top byte.
    std::fill(frame, frame + frame_pixels, 0xAB000000u);
    std::fill(std::begin(depth_buffer), std::end(depth_buffer), -5);
    draw_triangle_flat(0, 0, 319, 0, 0, 199, 0x80, 0x81, 0x82);
    for (auto [x, y] : {std::pair{0, 0}, {319, 0}, {100, 100}}) EXPECT_EQ(pixel(x, y), 0xAB828180u) << x;  // 319 too
    EXPECT_EQ(depth_buffer[100 * 320 + 100], -5);

    // Overlapping opaque triangles show the nearer in either order.
    SetUp();
    const ScreenCorner n0{20, 20, 0, 0, 100}, n1{200, 40, 0, 0, 100}, n2{60, 180, 0, 0, 100};
    const ScreenCorner f0{100, 10, 1, 1, 900}, f1{300, 150, 1, 1, 900}, f2{10, 120, 1, 1, 900};
    draw_triangle_textured(n0, n1, n2, white_texture);
    draw_triangle_textured(f0, f1, f2, index_texture);
    const std::vector<std::uint32_t> first(frame, frame + frame_pixels);
    SetUp();
    draw_triangle_textured(f0, f1, f2, index_texture);
    draw_triangle_textured(n0, n1, n2, white_texture);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), frame));
    EXPECT_EQ(pixel(90, 80), 0x00FFFFFFu);  // inside both
    EXPECT_EQ(pixel(250, 120), 0x0101u);
}

TEST_F(Render, HugeNonFiniteAndOffTextureInputStaysInsideFrameAndTexture)
{
    // Rows -3 .. 300 and columns 250 .. 1000: every lookup is masked into the texture.
    draw_span_textured({0, -3.0f, 250.0f, 10.0f}, {318, 300.0f, 1000.0f, 10.0f}, 0, index_texture);
    draw_triangle_textured({0, 0, -500, 70000, 5}, {300, 10, 9999, -9999, 5}, {10, 190, 255, 255, 5}, index_texture);
    EXPECT_GT(drawn_pixels(), 1000);
    SetUp();
    draw_triangle_textured({small, small, 0, 0, 100}, {big, 100, 255, 0, 100}, {0, big, 0, 255, 100}, index_texture);
    EXPECT_GT(drawn_pixels(), 30000);
    draw_triangle_flat(small, small, big, big, small, big, 1, 2, 3);
    draw_triangle_flat(big, small, small, 0, big, big, 1, 2, 3);
    for (const float z : {nan_f, inf_f, -inf_f, 1e38f, -1e38f}) {
        for (auto* triangle : {draw_triangle_textured, draw_triangle_additive, draw_triangle_halfblend}) {
            triangle({small, -5, small, big, z}, {big, 100, big, small, 50}, {7, 300, 3, 3, -z}, index_texture);
            triangle({small, small, 0, 0, z}, {big, 0, 0, 0, z}, {0, big, 0, 0, z}, index_texture);
            triangle({0, 0, 0, 0, z}, {300, 0, 0, 0, 1}, {0, 190, 0, 0, z}, index_texture);
        }
        for (auto* span : spans) {
            span({small, nan_f, inf_f, z}, {big, -inf_f, nan_f, -z}, 7, index_texture);
            span({small, 1e30f, -1e30f, z}, {big, 0, 0, 0}, 8, index_texture);
            span({-1, z, z, z}, {big, z, z, z}, 9, index_texture);
        }
    }
}

// The line walk as documented, unclipped except for the plot test.
std::vector<std::pair<int, int>> reference_line(int x0, int y0, int x1, int y1)
{
    std::vector<std::pair<int, int>> points;
    const int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0), sx = (x1 > x0) - (x1 < x0), sy = (y1 > y0) - (y1 < y0);
    const int count = std::max(dx, dy), minor = std::min(dx, dy);
    for (int k = 0, error = count / 2, x = x0, y = y0; k <= count; ++k) {
        if (x >= 0 && x < 320 && y >= 0 && y < 200) points.emplace_back(x, y);
        if ((error += minor) >= count)
            x += sx, y += sy, error -= count;
        else
            (dx > dy ? x : y) += dx > dy ? sx : sy;
    }
    return points;
}

// ---- the rules read plainly: rotation, view transform, the two tests, projection and the fillers ----

Vertex plain_rotation(const Vertex& in, int ax, int az, int ay)
{
    const SinCos r1 = sincos_table[ax], r2 = sincos_table[az], r3 = sincos_table[ay];
    Vertex out{};
    for (int k = 0; k < 2; ++k) {  // position, then normal: every intermediate a float
        const float x = k ? in.nx : in.x, y = k ? in.ny : in.y, z = k ? in.nz : in.z;
        const float y1 = y * r1.cos - z * r1.sin, z1 = z * r1.cos + y * r1.sin;
        const float x1 = z1 * r3.sin + x * r3.cos, z2 = z1 * r3.cos - x * r3.sin;
        (k ? out.nx : out.x) = x1 * r2.cos - y1 * r2.sin, (k ? out.ny : out.y) = y1 * r2.cos + x1 * r2.sin;
        (k ? out.nz : out.z) = z2;
    }
    return out;
}

enum class Fill { opaque, additive, half, flat };

void plain_span(Fill fill, int y, SpanEnd l, SpanEnd r, const std::uint32_t* texture)
{
    if (y < 0 || y >= 200 || (l.x > 320 && r.x > 320) || (l.x < 0 && r.x < 0) || l.x == r.x) return;
    if (r.x < l.x) std::swap(l, r);
    const int w = r.x - l.x, extra = fill == Fill::opaque ? 1 : 0;
    const float n = float(w + extra), du = (r.u - l.u) / n, dz = (r.z - l.z) / n;
    const int dv = int((r.v - l.v) / n * 65536.0f), u0 = int(l.u), v0 = int(l.v);
    for (int i = 0; i <= w + extra; ++i) {
        const int x = l.x - extra + i;
        if (x < 0 || x > 318) continue;
        const int z = int(l.z + float(i) * dz), row = int(float(u0) + float(i) * du);
        const int column = v0 + int(std::int64_t(i + 1) * dv >> 16);
        const std::uint32_t t = texture[(row * 256 + column) & 0xFFFF];
        std::uint32_t& p = frame[y * 320 + x];
        std::int16_t& d = depth_buffer[y * 320 + x];
        const bool full_depth = show_variant == Variant::vox_build;
        if (fill == Fill::opaque && (full_depth ? z : std::int16_t(z)) > 0 && (full_depth ? z : std::int16_t(z)) < d)
            d = std::int16_t(z), p = t;
        if (fill != Fill::opaque && z > 0 && z < d)
            p = fill == Fill::additive ? blend_add(p, t) : ((t >> 1) & 0x7F7F7F7Fu) + ((p >> 1) & 0x7F7F7F7Fu);
    }
}

void plain_flat_row(int y, int a, int b, std::uint32_t colour)
{
    if (y < 0 || y > 199) return;
    for (int x = std::max(0, std::min(a, b)); x <= std::min(319, std::max(a, b)); ++x)
        frame[y * 320 + x] = (frame[y * 320 + x] & 0xFF000000u) | colour;
}

void plain_triangle(Fill fill, ScreenCorner a, ScreenCorner b, ScreenCorner c, const std::uint32_t* texture,
                    std::uint32_t colour = 0)
{
    const auto order = [](ScreenCorner& p, ScreenCorner& q) {
        if (p.y > q.y) std::swap(p, q);
    };
    order(a, b), order(b, c), order(a, c), order(a, b);
    const auto steps = [](const ScreenCorner& p, const ScreenCorner& q) {
        const float rows = float(q.y - p.y);
        return q.y == p.y ? SpanEnd{0, 0, 0, 0} : SpanEnd{0, float(q.u - p.u) / rows, float(q.v - p.v) / rows,
                                                        float(int((q.z - p.z) / rows))};
    };
    const auto x_step = [](const ScreenCorner& p, const ScreenCorner& q) {
        return q.y == p.y ? 0.0f : float(q.x - p.x) / float(q.y - p.y);
    };
    const SpanEnd ab = steps(a, b), bc = steps(b, c), ac = steps(a, c);
    const float ab_x = x_step(a, b), bc_x = x_step(b, c), ac_x = x_step(a, c);
    float s[4] = {float(a.x), float(a.u), float(a.v), a.z}, l[4] = {s[0], s[1], s[2], s[3]};
    const auto walk = [&](int from, int to, const SpanEnd& short_step, float short_x) {
        for (int y = from; y < to; ++y) {
            if (fill == Fill::flat)
                plain_flat_row(y, int(s[0]), int(l[0]), colour);
            else
                plain_span(fill, y, {int(s[0]), s[1], s[2], s[3]}, {int(l[0]), l[1], l[2], l[3]}, texture);
            s[0] += short_x, s[1] += short_step.u, s[2] += short_step.v, s[3] += short_step.z;
            l[0] += ac_x, l[1] += ac.u, l[2] += ac.v, l[3] += ac.z;
        }
    };
    walk(a.y, b.y + (fill == Fill::opaque || fill == Fill::flat ? 1 : 0), ab, ab_x);
    s[0] = float(b.x), s[1] = float(b.u), s[2] = float(b.v), s[3] = b.z;
    walk(b.y, c.y, bc, bc_x);
}

void plain_render(Object3D& object)
{
    static Vertex view[max_meshes][max_vertices];
    const float cx = float(object.camera_x), cy = float(object.camera_y), cz = float(object.camera_z);
    for (int m = 0; m < object.mesh_count; ++m) {
        Mesh& mesh = object.meshes[m];
        for (int i = 0; i < mesh.vertex_count; ++i) {
            Vertex v = plain_rotation(mesh.vertices[i], mesh.angle_x, mesh.angle_z, mesh.angle_y);
            v.x = v.x + mesh.offset_x - cx, v.y = v.y + mesh.offset_y - cy, v.z = v.z + mesh.offset_z - cz;
            view[m][i] = plain_rotation(v, object.camera_angle_x, object.camera_angle_z, object.camera_angle_y);
        }
        for (int j = 0; j < mesh.face_count; ++j) {
            Face& f = mesh.faces[j];
            const Vertex &a = view[m][f.a], &b = view[m][f.b], &c = view[m][f.c];
            const std::int64_t ax = int(a.x), ay = int(a.y), bx = int(b.x), by = int(b.y);
            const std::int64_t k = (ay - int(c.y)) * (bx - ax) - (ax - int(c.x)) * (by - ay);
            f.visible = a.z >= 20.0f && b.z >= 20.0f && c.z >= 20.0f && (mesh.two_sided || k >= -1);
        }
    }
    for (int m = 0; m < object.mesh_count; ++m) {
        const Mesh& mesh = object.meshes[m];
        for (int j = 0; j < mesh.face_count; ++j) {
            const Face& f = mesh.faces[j];
            if (!f.visible) continue;
            const Vertex* v[3] = {&view[m][f.a], &view[m][f.b], &view[m][f.c]};
            const int uv[5][6] = {{f.u_a, f.v_a, f.u_b, f.v_b, f.u_c, f.v_c}, {0, 0, 255, 0, 0, 255}};
            ScreenCorner k[3];
            for (int i = 0; i < 3; ++i) {
                const Vertex& p = *v[i];
                const int* stored = uv[mesh.mode == mode_stretched ? 1 : 0];
                const bool mapped = mesh.mode == mode_env_mapped;
                k[i] = {int(double(p.x) * 256 / double(p.z) + 165), int(double(p.y) * 256 / double(p.z) + 100),
                        mapped ? int(128.0 - 128.0 * double(p.nx)) & 255 : stored[2 * i],
                        mapped ? int(128.0 - 128.0 * double(p.ny)) & 255 : stored[2 * i + 1], p.z};
            }
            const std::uint8_t mode = mesh.mode;
            if (mode == mode_textured || mode == mode_env_mapped || mode == mode_stretched)
                plain_triangle(Fill::opaque, k[0], k[1], k[2], mesh.texture);
            if (mode == mode_additive || mode == mode_half_blend)
                plain_triangle(mode == mode_additive ? Fill::additive : Fill::half, k[0], k[1], k[2], mesh.texture);
            if (mode == mode_flat) plain_triangle(Fill::flat, k[0], k[1], k[2], nullptr, 0x808080u);
            for (const auto& [p, q] : {std::pair{0, 1}, {1, 2}, {0, 2}})
                for (const auto& [x, y] : mode == mode_wireframe ? reference_line(k[p].x, k[p].y, k[q].x, k[q].y)
                                                                 : std::vector<std::pair<int, int>>{})
                    frame[y * 320 + x] = 0xFFFFFFFFu;
        }
    }
}

// Random objects in every draw mode, through render_object and through the plain reading
// of the rules: the same frame and depth buffer, pixel for pixel, in both builds.
TEST_F(Render, RandomObjectsMatchThePlainReadingOfEveryRule)
{
    static Object3D plain;
    std::mt19937 random(2025);
    const auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(random); };
    std::vector<std::uint32_t> texture(65536), start(frame_pixels);
    for (auto& t : texture) t = random() & 0x00FFFFFFu;
    const std::uint8_t modes[] = {mode_flat, mode_textured, mode_env_mapped, mode_additive, mode_half_blend,
                                  mode_wireframe, mode_stretched, 0};
    long compared = 0;
    for (int trial = 0; trial < 120; ++trial) {
        SetUp();
        show_variant = trial % 4 == 3 ? Variant::vox_build : Variant::final_build;
        for (auto& p : start) p = random() & 0x00FFFFFFu;
        std::copy(start.begin(), start.end(), frame);
        object.mesh_count = 3;
        object.camera_x = int(random() % 101) - 50, object.camera_y = int(random() % 101) - 50;
        object.camera_z = int(random() % 201) - 100;
        object.camera_angle_x = int(random() % 41 + 340) % 360, object.camera_angle_z = int(random() % 361);
        object.camera_angle_y = int(random() % 41 + 340) % 360;
        for (int m = 0; m < 3; ++m) {
            Mesh& mesh = object.meshes[m];
            mesh.vertex_count = 12, mesh.face_count = 40, mesh.texture = texture.data();
            mesh.mode = modes[random() % 8], mesh.two_sided = random() % 2;
            mesh.angle_x = int(random() % 361), mesh.angle_z = int(random() % 361), mesh.angle_y = int(random() % 361);
            mesh.offset_x = uniform(-120, 120), mesh.offset_y = uniform(-80, 80), mesh.offset_z = uniform(150, 500);
            for (int i = 0; i < 12; ++i) {
                const float nx = uniform(-1, 1), ny = uniform(-1, 1), nz = uniform(-1, 1);
                const float n = std::sqrt(nx * nx + ny * ny + nz * nz) + 1e-3f;
                const float x = uniform(-150, 150), y = uniform(-150, 150), z = uniform(-150, 150);
                mesh.vertices[i] = at(x, y, z, nx / n, ny / n, nz / n);
            }
            for (int j = 0; j < 40; ++j) {
                Face& f = mesh.faces[j];
                f = face(int(random() % 12), int(random() % 12), int(random() % 12));
                f.u_a = std::uint8_t(random()), f.v_a = std::uint8_t(random()), f.u_b = std::uint8_t(random());
                f.v_b = std::uint8_t(random()), f.u_c = std::uint8_t(random()), f.v_c = std::uint8_t(random());
            }
        }
        plain = object;
        render_object(object);
        for (int m = 0; m < 3; ++m)  // the model stays as it was
            ASSERT_EQ(std::memcmp(object.meshes[m].vertices, plain.meshes[m].vertices, 12 * sizeof(Vertex)), 0);
        const std::vector<std::uint32_t> drawn(frame, frame + frame_pixels);
        const std::vector<std::int16_t> depths(std::begin(depth_buffer), std::end(depth_buffer));
        std::copy(start.begin(), start.end(), frame);
        std::fill(std::begin(depth_buffer), std::end(depth_buffer), 4000);
        plain_render(plain);
        for (int i = 0; i < frame_pixels; ++i) {
            ASSERT_EQ(drawn[i], frame[i]) << "trial " << trial << ", pixel " << i % 320 << ", " << i / 320;
            ASSERT_EQ(depths[i], depth_buffer[i]) << "trial " << trial << ", depth " << i % 320 << ", " << i / 320;
            compared += drawn[i] != start[i];
        }
    }
    EXPECT_GT(compared, 120 * 5000) << "the objects are in view";
}

TEST_F(Render, LinesPlotTheBresenhamPointsClippedWithSignExtendedColours)
{
    draw_line(0, 0, 3, 1, -1, -1, -1);
    for (auto [x, y] : {std::pair{0, 0}, {1, 0}, {2, 1}, {3, 1}}) EXPECT_EQ(pixel(x, y), 0xFFFFFFFFu);
    draw_line(50, 60, 50, 60, 0x10, 0x20, 0x30);
    EXPECT_EQ(pixel(50, 60), 0x00302010u);
    EXPECT_EQ(drawn_pixels(), 5);
    draw_line(10, 10, 12, 10, 0x80, 0, 0);  // components are sign-extended before or-ing
    EXPECT_EQ(pixel(11, 10), 0xFFFFFF80u);

    std::mt19937 random(12345);
    std::uniform_int_distribution<int> coordinate(-3000, 3000);
    for (int trial = 0; trial < 3000; ++trial) {
        std::fill(frame, frame + frame_pixels, 0u);
        const int x0 = coordinate(random), y0 = coordinate(random) / (trial % 3 + 1);
        const int x1 = coordinate(random) / (trial % 5 + 1), y1 = coordinate(random);
        draw_line(x0, y0, x1, y1, -1, -1, -1);
        int missing = 0;
        for (auto [x, y] : reference_line(x0, y0, x1, y1)) missing += pixel(x, y) != 0xFFFFFFFFu, pixel(x, y) = 0;
        ASSERT_TRUE(missing == 0 && drawn_pixels() == 0) << missing << " missing, " << drawn_pixels() << " extra: "
                                                         << x0 << "," << y0 << " -> " << x1 << "," << y1;
    }
    // Lines across the whole 32-bit range cost one frame's width and stay inside.
    draw_line(small, 100, big, 100, -1, -1, -1);
    for (int x = 0; x < 320; ++x) EXPECT_EQ(pixel(x, 100), 0xFFFFFFFFu);
    draw_line(small, small, big, big, -1, -1, -1);
    draw_line(big, small, small, big, -1, -1, -1);
    draw_line(small, 3, big, 7, -1, -1, -1);
}

TEST_F(Render, FacesNearerThan20BackFacingNonFiniteOrWithBadCornersAreDroppedWithoutOverflow)
{
    // Back faces: k = (Ay - Cy)(Bx - Ax) - (Ax - Cx)(By - Ay) on truncated view x and y, kept from -1 up.
    put_mesh(mode_flat,
             {at(0, 0, 20), at(0, 2, 20), at(2, 0, 20), at(2, 0, 19.99f), at(2, 0, nan_f), at(2, 0, -inf_f),
              at(0, 0, 50), at(1.9f, 0, 50), at(0, 1.7f, 50),  // k = -1 after truncation: kept
              at(0, 0, 50), at(2, 0, 50), at(0, 1, 50),        // k = -2: culled
              at(0, 0, 50), at(0, 10, 50), at(10, 0, 50),      // k = 100: front
              at(0, 0, 50), at(10, 0, 50), at(0, 10, 50),      // k = -100: back
              at(-3e9f, -3e9f, 100), at(3e9f, -3e9f, 100), at(-3e9f, 3e9f, 100), at(nan_f, 0, 100),
              at(1e30f, 1e30f, 1e30f), at(-1e30f, 1e30f, 1e30f), at(0, -1e30f, 1e30f)},
             {face(0, 1, 2), face(0, 1, 3), face(0, 1, 4), face(0, 1, 5),  // any corner nearer than 20
              face(6, 7, 8), face(9, 10, 11), face(12, 13, 14), face(15, 16, 17),
              face(18, 20, 19), face(18, 19, 20),  // counter-clockwise on the frame (y down) is front
              face(18, 19, 21), face(22, 23, 24), face(18, 19, 25), face(-1, 18, 19)});
    const int one_sided[] = {1, 0, 0, 0, 1, 0, 1, 0, 1, 0, 0, 0, 0, 0};
    const int both[] = {1, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0, 1, 0, 0};  // the back-face test alone is skipped
    for (const int* visible : {one_sided, both}) {
        object.meshes[0].two_sided = visible == both;
        render_object(object);
        for (int j = 0; j < 14; ++j) EXPECT_EQ(object.meshes[0].faces[j].visible, visible[j]) << j;
    }
}

TEST_F(Render, EmptyObjectsUnknownModesBadCountsAndWildMeshesAreHarmless)
{
    render_object(object);  // mesh_count 0
    EXPECT_EQ(drawn_pixels(), 0);
    for (const std::uint8_t mode : {0, 2, 4, 10, 255}) {
        put_mesh(mode, {at(-50, -50, 100), at(-50, 50, 100), at(50, -50, 100)}, one_face);
        object.meshes[0].faces[0].visible = 7;
        render_object(object);
        EXPECT_EQ(object.meshes[0].faces[0].visible, 1) << int(mode);  // tested all the same
        EXPECT_EQ(drawn_pixels(), 0) << int(mode);
    }
    for (const int count : {-3, 99}) {  // held to 0 .. 20 slots, like the vertex and face counts
        object.mesh_count = count, object.meshes[0].vertex_count = 5000, object.meshes[0].face_count = -1;
        render_object(object);
    }
    EXPECT_EQ(drawn_pixels(), 0);

    SetUp();
    std::mt19937 random(99);
    std::uniform_real_distribution<float> any(-1e6f, 1e6f);
    const float extremes[] = {nan_f, inf_f, -inf_f, 1e38f, -1e38f, 0.0f, 20.0f};
    for (const std::uint8_t mode : {mode_flat, mode_textured, mode_env_mapped, mode_additive, mode_half_blend,
                                    mode_wireframe, mode_stretched}) {
        Mesh& m = put_mesh(mode, {}, {});
        m.vertex_count = 300, m.face_count = 200;
        for (int i = 0; i < 300; ++i) {
            const float s = extremes[random() % 7];
            m.vertices[i] = random() % 4 ? at(any(random), any(random), std::abs(any(random)), 1, any(random), 0.5f)
                                         : at(s, any(random), any(random), s, any(random), 0.5f);
        }
        for (int j = 0; j < 200; ++j)  // some indices outside
            m.faces[j] = face(random() % 300, random() % 300, random() % 320), m.faces[j].u_a = random() & 255;
        m.angle_x = static_cast<int>(random() % 1000) - 500;
        object.camera_angle_z = 720 + 45;
        render_object(object);
    }
}

}  // namespace
