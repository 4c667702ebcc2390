// test_render.cpp -- rotation, the rasterizers and the object pipeline, checked
// against the formulas they implement, plus wild input that must stay harmless.
#include <gtest/gtest.h>

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

// Texel = its own index (row << 8 | column): a pixel tells which texel it shows.
std::uint32_t index_texture[65536];
std::uint32_t white_texture[65536];

Object3D object;  // large: program-wide, as the scenes keep theirs

constexpr float nan_f = std::numeric_limits<float>::quiet_NaN();
constexpr float inf_f = std::numeric_limits<float>::infinity();

class Render : public ::testing::Test {
protected:
    void SetUp() override
    {
        build_sincos_table();
        show_variant = Variant::final_build;
        screen = frame;
        for (auto& p : frame_with_guards) p = guard;
        for (int i = 0; i < frame_pixels; ++i) frame[i] = 0;
        for (auto& d : depth_buffer) d = 4000;
        for (int i = 0; i < 65536; ++i) {
            index_texture[i] = static_cast<std::uint32_t>(i);
            white_texture[i] = 0x00FFFFFFu;
        }
        std::memset(static_cast<void*>(&object), 0, sizeof object);
    }
    void TearDown() override
    {
        show_variant = Variant::final_build;
        for (int i = 0; i < frame_width; ++i) {
            ASSERT_EQ(frame_with_guards[i], guard) << "write above the frame at column " << i;
            ASSERT_EQ(frame_with_guards[frame_width + frame_pixels + i], guard) << "write below the frame";
        }
    }
    static std::uint32_t& pixel(int x, int y) { return frame[y * frame_width + x]; }
    static int drawn_pixels(std::uint32_t background = 0)
    {
        int n = 0;
        for (int i = 0; i < frame_pixels; ++i) n += frame[i] != background;
        return n;
    }
    // One mesh in slot 0 with the given view-space-ready vertices (camera at 0).
    static Mesh& one_mesh(std::uint8_t mode, const std::vector<Vertex>& vertices, const std::vector<Face>& faces)
    {
        object.mesh_count = 1;
        Mesh& m = object.meshes[0];
        m.mode = mode;
        m.texture = index_texture;
        m.vertex_count = static_cast<int>(vertices.size());
        m.face_count = static_cast<int>(faces.size());
        for (std::size_t i = 0; i < vertices.size(); ++i) m.vertices[i] = vertices[i];
        for (std::size_t j = 0; j < faces.size(); ++j) m.faces[j] = faces[j];
        return m;
    }
};

Vertex at(float x, float y, float z, float nx = 0, float ny = 0, float nz = 0)
{
    return Vertex{x, y, z, nx, ny, nz};
}

Face face(int a, int b, int c)
{
    Face f{};
    f.a = a;
    f.b = b;
    f.c = c;
    return f;
}

void expect_near(const Vertex& v, float x, float y, float z)
{
    EXPECT_NEAR(v.x, x, 1e-4f);
    EXPECT_NEAR(v.y, y, 1e-4f);
    EXPECT_NEAR(v.z, z, 1e-4f);
}

// ---- rotation ---------------------------------------------------------------------

TEST_F(Render, RotationsByNinetyDegreesTurnTheAxesAsDocumented)
{
    expect_near(rotate_point(at(0, 1, 0), 90, 0, 0), 0, 0, 1);   // about X
    expect_near(rotate_point(at(0, 0, 1), 90, 0, 0), 0, -1, 0);
    expect_near(rotate_point(at(1, 0, 0), 0, 0, 90), 0, 0, -1);  // about Y (third argument)
    expect_near(rotate_point(at(0, 0, 1), 0, 0, 90), 1, 0, 0);
    expect_near(rotate_point(at(1, 0, 0), 0, 90, 0), 0, 1, 0);   // about Z (second argument)
    // Order X, then Y, then Z: (0, 1, 0) goes to +z under X, then to +x under Y,
    // then to +y under Z.
    expect_near(rotate_point(at(0, 1, 0), 90, 90, 90), 0, 1, 0);
    // The normal goes through the same steps as the position.
    const Vertex r = rotate_point(at(0, 1, 0, 1, 0, 0), 0, 90, 0);
    EXPECT_NEAR(r.nx, 0, 1e-4f);
    EXPECT_NEAR(r.ny, 1, 1e-4f);
}

TEST_F(Render, RotationAtZeroIsExactAndOutOfRangeAnglesWrap)
{
    const Vertex v = at(1.5f, -2.25f, 7.0f, 0.6f, 0.8f, 0.0f);
    const Vertex same = rotate_point(v, 0, 0, 0);
    EXPECT_EQ(std::memcmp(&same, &v, sizeof v), 0);
    const Vertex r = rotate_point(v, 17, 123, 301);
    for (const int turns : {1, -1, 5, -7}) {
        const Vertex w = rotate_point(v, 17 + 360 * turns, 123 + 360 * turns, 301 + 360 * turns);
        EXPECT_EQ(std::memcmp(&w, &r, sizeof r), 0) << turns;
    }
    // 0 and 360 both read the table (its two ends agree to within its precision).
    expect_near(rotate_point(v, 360, 360, 360), v.x, v.y, v.z);
    rotate_point(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), -1);  // no overrun
}

// ---- spans ------------------------------------------------------------------------

TEST_F(Render, SpansClippedOnTheLeftStartAtColumnZeroWithThatIndexValues)
{
    // u 0 -> 150, v 0 -> 150, z 100 -> 1000 from x = -5 to x = 10 on row 0.
    const SpanEnd left{-5, 0.0f, 0.0f, 100.0f}, right{10, 150.0f, 150.0f, 1000.0f};
    for (int filler = 0; filler < 3; ++filler) {
        SetUp();
        const int extra = filler == 0 ? 1 : 0;  // opaque: divisor w + 1, one column further left
        if (filler == 0) draw_span_textured(right, left, 0, index_texture);
        if (filler == 1) draw_span_additive(left, right, 0, index_texture);
        if (filler == 2) draw_span_halfblend(left, right, 0, white_texture);
        for (int x = 0; x <= 10; ++x) EXPECT_NE(pixel(x, 0), 0u) << filler << " column " << x;
        for (int x = 11; x < frame_width; ++x) EXPECT_EQ(pixel(x, 0), 0u) << filler << " column " << x;
        EXPECT_EQ(pixel(0, 1), 0u);
        if (filler == 2) {
            EXPECT_EQ(pixel(0, 0), 0x007F7F7Fu);
            continue;
        }
        // Column 0 is index i = 5 + extra.
        const float n = static_cast<float>(15 + extra);
        const int i = 5 + extra;
        const int row = static_cast<int>(0.0f + static_cast<float>(i) * (150.0f / n));
        const int dv = static_cast<int>(150.0f / n * 65536.0f);
        const int column = ((i + 1) * dv) >> 16;
        EXPECT_EQ(pixel(0, 0), static_cast<std::uint32_t>(row * 256 + column)) << filler;
        if (filler == 0)
            EXPECT_EQ(depth_buffer[0], static_cast<int>(100.0f + static_cast<float>(i) * (900.0f / n)));
        else
            EXPECT_EQ(depth_buffer[0], 4000);
    }
}

TEST_F(Render, SpansStopAtColumn318AndSkipRowsOutsideTheFrame)
{
    const SpanEnd left{300, 0.0f, 0.0f, 500.0f}, right{400, 0.0f, 0.0f, 500.0f};
    for (auto* span : {draw_span_textured, draw_span_additive, draw_span_halfblend}) {
        SetUp();
        span(left, right, 199, white_texture);
        EXPECT_EQ(pixel(318, 199), span == draw_span_halfblend ? 0x007F7F7Fu : 0x00FFFFFFu);
        EXPECT_EQ(pixel(319, 199), 0u);
        EXPECT_EQ(pixel(span == draw_span_textured ? 299 : 300, 199) != 0u, true);
        span(left, right, -1, white_texture);
        span(left, right, 200, white_texture);
        span(SpanEnd{330, 0, 0, 500}, SpanEnd{400, 0, 0, 500}, 5, white_texture);  // both beyond 320
        span(SpanEnd{-30, 0, 0, 500}, SpanEnd{-4, 0, 0, 500}, 5, white_texture);    // both negative
        span(SpanEnd{50, 0, 0, 500}, SpanEnd{50, 0, 0, 500}, 5, white_texture);     // width zero
        EXPECT_EQ(drawn_pixels(), span == draw_span_textured ? 20 : 19);
    }
}

TEST_F(Render, DepthTestPassesOnlyBetweenZeroAndTheEntry)
{
    const float depths[] = {4000.0f, 4500.0f, 0.0f, -7.0f, 0.9f, 3999.0f, 1.0f};
    const bool drawn[] = {false, false, false, false, false, true, true};
    for (int k = 0; k < 7; ++k) {
        for (auto* span : {draw_span_textured, draw_span_additive, draw_span_halfblend}) {
            SetUp();
            span(SpanEnd{100, 0, 0, depths[k]}, SpanEnd{110, 0, 0, depths[k]}, 50, white_texture);
            EXPECT_EQ(pixel(105, 50) != 0u, drawn[k]) << depths[k];
        }
    }
}

TEST_F(Render, OpaqueDepthWrapsTo16BitsButTheVoxBuildComparesFullWidth)
{
    // 65636 held in 16 bits is 100: nearer than 4000 in the final build only.
    const SpanEnd left{100, 0, 0, 65636.0f}, right{110, 0, 0, 65636.0f};
    draw_span_textured(left, right, 10, white_texture);
    EXPECT_EQ(pixel(105, 10), 0x00FFFFFFu);
    EXPECT_EQ(depth_buffer[10 * 320 + 105], 100);
    SetUp();
    show_variant = Variant::vox_build;
    draw_span_textured(left, right, 10, white_texture);
    EXPECT_EQ(pixel(105, 10), 0u);
    // In range, both builds store the same depth.
    draw_span_textured(SpanEnd{100, 0, 0, 300.0f}, SpanEnd{110, 0, 0, 300.0f}, 10, white_texture);
    EXPECT_EQ(depth_buffer[10 * 320 + 105], 300);
}

TEST_F(Render, BlendsAddSaturatingAndAverage)
{
    static std::uint32_t texture[65536];
    for (auto& t : texture) t = 0x00F08010u;
    for (int x = 0; x < 320; ++x) pixel(x, 3) = 0x00204080u;
    draw_span_additive(SpanEnd{10, 0, 0, 50}, SpanEnd{20, 0, 0, 50}, 3, texture);
    EXPECT_EQ(pixel(15, 3), 0x00FFC090u);
    for (int x = 0; x < 320; ++x) pixel(x, 4) = 0xFF000000u;
    draw_span_halfblend(SpanEnd{10, 0, 0, 50}, SpanEnd{20, 0, 0, 50}, 4, white_texture);
    EXPECT_EQ(pixel(15, 4), 0x7F7F7F7Fu);  // 0x00FFFFFF over 0xFF000000
    for (int x = 0; x < 320; ++x) pixel(x, 5) = 0;
    draw_span_halfblend(SpanEnd{10, 0, 0, 50}, SpanEnd{20, 0, 0, 50}, 5, white_texture);
    EXPECT_EQ(pixel(15, 5), 0x007F7F7Fu);
}

TEST_F(Render, TextureIndexIsMaskedForCoordinatesOutsideTheTexture)
{
    // Rows -3 .. 300 and columns 250 .. 1000: every lookup lands inside the texture.
    draw_span_textured(SpanEnd{0, -3.0f, 250.0f, 10.0f}, SpanEnd{318, 300.0f, 1000.0f, 10.0f}, 0, index_texture);
    draw_triangle_textured(ScreenCorner{0, 0, -500, 70000, 5.0f}, ScreenCorner{300, 10, 9999, -9999, 5.0f},
                           ScreenCorner{10, 190, 255, 255, 5.0f}, index_texture);
    EXPECT_GT(drawn_pixels(), 1000);
}

// ---- triangles ---------------------------------------------------------------------

TEST_F(Render, TrianglesOnOneRowDrawNothingExceptFlatsTopCorner)
{
    const ScreenCorner a{50, 60, 0, 0, 100}, b{90, 60, 0, 0, 100}, c{70, 60, 0, 0, 100};
    draw_triangle_textured(a, b, c, white_texture);
    draw_triangle_additive(a, b, c, white_texture);
    draw_triangle_halfblend(a, b, c, white_texture);
    EXPECT_EQ(drawn_pixels(), 0);
    draw_triangle_flat(50, 60, 90, 60, 70, 60, 1, 2, 3);
    EXPECT_EQ(drawn_pixels(), 1);
    EXPECT_EQ(pixel(50, 60), 0x00030201u);
}

TEST_F(Render, OverlappingOpaqueTrianglesShowTheNearerInEitherOrder)
{
    static std::uint32_t red[65536], blue[65536];
    for (int i = 0; i < 65536; ++i) {
        red[i] = 0x00FF0000u;
        blue[i] = 0x000000FFu;
    }
    const ScreenCorner n0{20, 20, 0, 0, 100}, n1{200, 40, 0, 0, 100}, n2{60, 180, 0, 0, 100};
    const ScreenCorner f0{100, 10, 0, 0, 900}, f1{300, 150, 0, 0, 900}, f2{10, 120, 0, 0, 900};
    draw_triangle_textured(n0, n1, n2, red);
    draw_triangle_textured(f0, f1, f2, blue);
    std::vector<std::uint32_t> first(frame, frame + frame_pixels);
    SetUp();
    draw_triangle_textured(f0, f1, f2, blue);
    draw_triangle_textured(n0, n1, n2, red);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), frame));
    EXPECT_EQ(pixel(90, 80), 0x00FF0000u);  // inside both
    EXPECT_EQ(pixel(250, 120), 0x000000FFu);
}

TEST_F(Render, BlendingTrianglesAreHiddenButHideNothing)
{
    static std::uint32_t red[65536];
    for (auto& t : red) t = 0x00FF0000u;
    const ScreenCorner a{0, 0, 0, 0, 500}, b{319, 0, 0, 0, 500}, c{0, 199, 0, 0, 500};
    const ScreenCorner na{0, 0, 0, 0, 100}, nb{319, 0, 0, 0, 100}, nc{0, 199, 0, 0, 100};
    draw_triangle_textured(na, nb, nc, red);  // near, opaque
    const std::vector<std::int16_t> depth_after_opaque(depth_buffer, depth_buffer + 64000);
    draw_triangle_additive(a, b, c, white_texture);  // behind: hidden
    draw_triangle_halfblend(a, b, c, white_texture);
    EXPECT_EQ(pixel(50, 50), 0x00FF0000u);
    EXPECT_TRUE(std::equal(depth_after_opaque.begin(), depth_after_opaque.end(), depth_buffer));
    // Blended in front of nothing, then an opaque one behind it still draws.
    SetUp();
    draw_triangle_additive(na, nb, nc, white_texture);
    EXPECT_EQ(pixel(50, 50), 0x00FFFFFFu);
    draw_triangle_textured(a, b, c, red);
    EXPECT_EQ(pixel(50, 50), 0x00FF0000u);
}

TEST_F(Render, BlendingFillersDrawEachRowOnceAndNeverRowC)
{
    // Half blend of white on black twice gives 0xBFBFBF: a row drawn twice shows it.
    const ScreenCorner a{100, 10, 0, 0, 100}, b{40, 50, 0, 0, 100}, c{160, 90, 0, 0, 100};
    draw_triangle_halfblend(a, b, c, white_texture);
    for (int i = 0; i < frame_pixels; ++i) ASSERT_TRUE(frame[i] == 0 || frame[i] == 0x007F7F7Fu) << i;
    EXPECT_EQ(pixel(160, 90), 0u);  // row yC is never drawn
    EXPECT_EQ(pixel(158, 89), 0x007F7F7Fu);
    EXPECT_EQ(pixel(70, 50), 0x007F7F7Fu);  // row yB, once
}

TEST_F(Render, FlatTrianglesIgnoreDepthAndKeepTheTopByte)
{
    for (int i = 0; i < frame_pixels; ++i) frame[i] = 0xAB000000u;
    for (auto& d : depth_buffer) d = -5;
    draw_triangle_flat(0, 0, 319, 0, 0, 199, 0x80, 0x81, 0x82);
    EXPECT_EQ(pixel(0, 0), 0xAB828180u);
    EXPECT_EQ(pixel(319, 0), 0xAB828180u);  // a flat span can write column 319
    EXPECT_EQ(pixel(100, 100), 0xAB828180u);
    EXPECT_EQ(depth_buffer[100 * 320 + 100], -5);
}

TEST_F(Render, HugeAndNonFiniteTrianglesStayInsideTheFrame)
{
    const int big = std::numeric_limits<int>::max(), small = std::numeric_limits<int>::min();
    draw_triangle_textured(ScreenCorner{small, small, 0, 0, 100}, ScreenCorner{big, 100, 255, 0, 100},
                           ScreenCorner{0, big, 0, 255, 100}, index_texture);
    EXPECT_GT(drawn_pixels(), 30000);
    draw_triangle_flat(small, small, big, big, small, big, 1, 2, 3);
    draw_triangle_flat(big, small, small, 0, big, big, 1, 2, 3);
    for (const float z : {nan_f, inf_f, -inf_f, 1e38f, -1e38f}) {
        draw_triangle_textured(ScreenCorner{small, -5, small, big, z}, ScreenCorner{big, 100, big, small, 50},
                               ScreenCorner{7, 300, 3, 3, -z}, index_texture);
        draw_triangle_additive(ScreenCorner{small, small, 0, 0, z}, ScreenCorner{big, 0, 0, 0, z},
                               ScreenCorner{0, big, 0, 0, z}, index_texture);
        draw_triangle_halfblend(ScreenCorner{0, 0, 0, 0, z}, ScreenCorner{300, 0, 0, 0, 1},
                                ScreenCorner{0, 190, 0, 0, z}, index_texture);
        draw_span_textured(SpanEnd{small, nan_f, inf_f, z}, SpanEnd{big, -inf_f, nan_f, -z}, 7, index_texture);
        draw_span_additive(SpanEnd{small, 1e30f, -1e30f, z}, SpanEnd{big, 0, 0, 0}, 8, index_texture);
        draw_span_halfblend(SpanEnd{-1, z, z, z}, SpanEnd{big, z, z, z}, 9, index_texture);
    }
}

// ---- lines ------------------------------------------------------------------------

// The walk exactly as described, unclipped except for the plot test.
void reference_line(int x0, int y0, int x1, int y1, std::vector<std::pair<int, int>>& points)
{
    const int dx = x1 - x0, dy = y1 - y0;
    const int sx = (dx > 0) - (dx < 0), sy = (dy > 0) - (dy < 0);
    const bool x_major = std::abs(dx) > std::abs(dy);
    const int count = x_major ? std::abs(dx) : std::abs(dy), minor = x_major ? std::abs(dy) : std::abs(dx);
    int error = count / 2, x = x0, y = y0;
    for (int k = 0; k <= count; ++k) {
        if (x >= 0 && x < 320 && y >= 0 && y < 200) points.emplace_back(x, y);
        error += minor;
        if (error < count) {
            if (x_major) x += sx; else y += sy;
        } else {
            x += sx;
            y += sy;
            error -= count;
        }
    }
}

TEST_F(Render, LinesPlotTheBresenhamPoints)
{
    draw_line(0, 0, 3, 1, -1, -1, -1);
    EXPECT_EQ(drawn_pixels(), 4);
    for (auto [x, y] : {std::pair{0, 0}, {1, 0}, {2, 1}, {3, 1}}) EXPECT_EQ(pixel(x, y), 0xFFFFFFFFu);
    draw_line(50, 60, 50, 60, 0x10, 0x20, 0x30);
    EXPECT_EQ(pixel(50, 60), 0x00302010u);
    EXPECT_EQ(drawn_pixels(), 5);
    draw_line(10, 10, 12, 10, 0x80, 0, 0);  // components are sign-extended before or-ing
    EXPECT_EQ(pixel(11, 10), 0xFFFFFF80u);
}

TEST_F(Render, ClippedLinesMatchTheFullWalk)
{
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> coordinate(-3000, 3000);
    for (int trial = 0; trial < 3000; ++trial) {
        for (int i = 0; i < frame_pixels; ++i) frame[i] = 0;
        const int x0 = coordinate(random), y0 = coordinate(random) / (trial % 3 + 1);
        const int x1 = coordinate(random) / (trial % 5 + 1), y1 = coordinate(random);
        draw_line(x0, y0, x1, y1, -1, -1, -1);
        std::vector<std::pair<int, int>> points;
        reference_line(x0, y0, x1, y1, points);
        int expected = 0;
        for (auto [x, y] : points) {
            expected += pixel(x, y) != 0xFFFFFFFFu ? 1000000 : 0;
            pixel(x, y) = 0;
        }
        ASSERT_EQ(expected + drawn_pixels(), 0) << x0 << "," << y0 << " -> " << x1 << "," << y1;
    }
    // Lines across the whole 32-bit range cost one frame's width and stay inside.
    const int big = std::numeric_limits<int>::max(), small = std::numeric_limits<int>::min();
    draw_line(small, 100, big, 100, -1, -1, -1);
    for (int x = 0; x < 320; ++x) EXPECT_EQ(pixel(x, 100), 0xFFFFFFFFu);
    draw_line(small, small, big, big, -1, -1, -1);
    draw_line(big, small, small, big, -1, -1, -1);
    draw_line(small, 3, big, 7, -1, -1, -1);
}

// ---- pipeline ------------------------------------------------------------------------

TEST_F(Render, ProjectionUsesFocal256AndCentre165By100)
{
    // Zero-length wire-frame faces plot one point each: the projected vertex.
    one_mesh(mode_wireframe, {at(0, 0, 256), at(-100, 50, 256), at(100, 0, 512)},
             {face(0, 0, 0), face(1, 1, 1), face(2, 2, 2)});
    render_object(object);
    EXPECT_EQ(drawn_pixels(), 3);
    EXPECT_EQ(pixel(165, 100), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(65, 150), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(215, 100), 0xFFFFFFFFu);
}

TEST_F(Render, ViewTransformAppliesOffsetThenCameraThenViewAngles)
{
    Mesh& m = one_mesh(mode_wireframe, {at(10, 0, 0)}, {face(0, 0, 0)});
    m.angle_z = 90;  // (10, 0, 0) -> (0, 10, 0)
    m.offset_x = 30;
    m.offset_z = 500;
    object.camera_x = 30;
    object.camera_z = 244;  // view (0, 10, 256) before the view rotation
    render_object(object);
    EXPECT_EQ(pixel(165, 110), 0xFFFFFFFFu);
    EXPECT_EQ(object.meshes[0].vertices[0].x, 10.0f);  // model space untouched
    SetUp();
    Mesh& n = one_mesh(mode_wireframe, {at(0, 0, 256)}, {face(0, 0, 0)});
    n.offset_x = 0;
    object.camera_angle_y = 90;  // view (0, 0, 256) turned about Y to (256, 0, ~0): near
    render_object(object);
    EXPECT_EQ(object.meshes[0].faces[0].visible, 0);
}

TEST_F(Render, NearLimitDropsFacesWithAnyCornerBelowTwenty)
{
    const std::vector<Face> faces = {face(0, 1, 2)};
    for (const float z : {20.0f, 19.99f, nan_f, -inf_f}) {
        SetUp();
        one_mesh(mode_flat, {at(0, 0, 20), at(0, 2, 20), at(2, 0, z)}, faces);
        render_object(object);
        const bool drawn = z == 20.0f;
        EXPECT_EQ(object.meshes[0].faces[0].visible, drawn ? 1 : 0) << z;
        EXPECT_EQ(drawn_pixels() > 0, drawn) << z;
    }
}

TEST_F(Render, BackFaceLimitIsMinusOneAndTwoSidedKeepsBoth)
{
    // k = (Ay - Cy)(Bx - Ax) - (Ax - Cx)(By - Ay), truncated view x and y.
    one_mesh(mode_flat,
             {at(0, 0, 50), at(1.9f, 0, 50), at(0, 1.7f, 50),    // k = -1 after truncation: kept
              at(0, 0, 50), at(2, 0, 50), at(0, 1, 50),          // k = -2: culled
              at(0, 0, 50), at(0, 10, 50), at(10, 0, 50),        // k = 100: front
              at(0, 0, 50), at(10, 0, 50), at(0, 10, 50)},       // k = -100: back
             {face(0, 1, 2), face(3, 4, 5), face(6, 7, 8), face(9, 10, 11)});
    render_object(object);
    const Face* f = object.meshes[0].faces;
    EXPECT_EQ(f[0].visible, 1);
    EXPECT_EQ(f[1].visible, 0);
    EXPECT_EQ(f[2].visible, 1);
    EXPECT_EQ(f[3].visible, 0);
    object.meshes[0].two_sided = 1;
    render_object(object);
    for (int j = 0; j < 4; ++j) EXPECT_EQ(f[j].visible, 1) << j;
}

TEST_F(Render, BackFaceTestCannotOverflowOnHugeCoordinates)
{
    one_mesh(mode_flat,
             {at(-3e9f, -3e9f, 100), at(3e9f, -3e9f, 100), at(-3e9f, 3e9f, 100),
              at(1e30f, 1e30f, 1e30f), at(-1e30f, 1e30f, 1e30f), at(0, -1e30f, 1e30f), at(nan_f, 0, 100)},
             {face(0, 2, 1), face(0, 1, 2), face(3, 4, 5), face(0, 1, 6), face(0, 1, 7), face(-1, 0, 1)});
    render_object(object);
    const Face* f = object.meshes[0].faces;
    EXPECT_EQ(f[0].visible, 1);  // counter-clockwise on the frame (y down)
    EXPECT_EQ(f[1].visible, 0);
    EXPECT_EQ(f[3].visible, 0);  // a NaN position is dropped
    EXPECT_EQ(f[4].visible, 0);  // a corner index outside the mesh is dropped
    EXPECT_EQ(f[5].visible, 0);
}

TEST_F(Render, EmptyObjectsAndUnknownModesDrawNothing)
{
    render_object(object);  // mesh_count 0
    EXPECT_EQ(drawn_pixels(), 0);
    for (const std::uint8_t mode : {0, 2, 4, 10, 255}) {
        one_mesh(mode, {at(-50, -50, 100), at(-50, 50, 100), at(50, -50, 100)}, {face(0, 1, 2)});
        object.meshes[0].faces[0].visible = 7;
        render_object(object);
        EXPECT_EQ(object.meshes[0].faces[0].visible, 1) << int(mode);  // tested all the same
        EXPECT_EQ(drawn_pixels(), 0) << int(mode);
    }
    object.mesh_count = -3;
    render_object(object);
    object.mesh_count = 99;  // held to 20 slots
    object.meshes[0].vertex_count = 5000;
    object.meshes[0].face_count = -1;
    render_object(object);
    EXPECT_EQ(drawn_pixels(), 0);
}

TEST_F(Render, FlatAndWireframeMeshesPaintOverTexturedOnesWithoutDepth)
{
    const std::vector<Vertex> near = {at(-100, -100, 60), at(-100, 100, 60), at(100, -100, 60)};
    const std::vector<Vertex> far = {at(-100, -100, 600), at(-100, 100, 600), at(100, -100, 600)};
    object.mesh_count = 3;
    for (int m = 0; m < 3; ++m) {
        Mesh& mesh = object.meshes[m];
        const std::vector<Vertex>& v = m == 0 ? near : far;
        for (int i = 0; i < 3; ++i) mesh.vertices[i] = v[i];
        mesh.vertex_count = 3;
        mesh.face_count = 1;
        mesh.faces[0] = face(0, 1, 2);
        mesh.texture = white_texture;
    }
    object.meshes[0].mode = mode_textured;
    object.meshes[1].mode = mode_flat;
    object.meshes[2].mode = mode_wireframe;
    render_object(object);
    const std::vector<std::int16_t> depth_after(depth_buffer, depth_buffer + 64000);
    EXPECT_EQ(pixel(140, 80), 0x00808080u);     // flat, behind the textured face in depth
    EXPECT_EQ(pixel(122, 100), 0xFFFFFFFFu);  // wire-frame edge x = -100 at z 600
    int written = 0;
    for (int i = 0; i < 64000; ++i) written += depth_buffer[i] != 4000;
    EXPECT_GT(written, 1000);  // only the textured face wrote depth ...
    for (int i = 0; i < 64000; ++i) ASSERT_TRUE(depth_buffer[i] == 4000 || depth_buffer[i] == 60);
}

TEST_F(Render, EnvironmentMapFollowsTheRotatedNormals)
{
    // All corners share the normal (1, 0, 0): u = 0, v = 128 everywhere.
    Mesh& m = one_mesh(mode_env_mapped,
                       {at(-60, -60, 100, 1, 0, 0), at(-60, 60, 100, 1, 0, 0), at(60, -60, 100, 1, 0, 0)},
                       {face(0, 1, 2)});
    render_object(object);
    EXPECT_EQ(pixel(150, 90), 0u * 256 + 128);
    // Turned 90 degrees about Z the normal becomes (0, 1, 0): v = 0, and u = 127
    // since the table's cosine of 90 degrees is a little above 0 (the face turns
    // too, so sample near its new centre).
    m.angle_z = 90;
    render_object(object);
    EXPECT_EQ(pixel(175, 90), 127u * 256 + 0);
    // Stored coordinates are used as they stand in the textured mode.
    SetUp();
    Mesh& s = one_mesh(mode_textured, {at(-60, -60, 100), at(-60, 60, 100), at(60, -60, 100)}, {face(0, 1, 2)});
    s.faces[0].u_a = s.faces[0].u_b = s.faces[0].u_c = 7;
    s.faces[0].v_a = s.faces[0].v_b = s.faces[0].v_c = 9;
    render_object(object);
    EXPECT_EQ(pixel(150, 90), 7u * 256 + 9);
}

TEST_F(Render, StretchedModeMapsCornerBToRow255AndCToColumn255)
{
    one_mesh(mode_stretched, {at(-40, -30, 100), at(-40, 30, 100), at(40, -30, 100)}, {face(0, 1, 2)});
    render_object(object);
    // a at screen (62, 23), b at (62, 176), c at (267, 23) after projection.
    const std::uint32_t near_b = pixel(66, 170), near_c = pixel(258, 26), near_a = pixel(66, 26);
    EXPECT_GT(near_b >> 8, 200u);
    EXPECT_LT(near_b & 255, 60u);
    EXPECT_LT(near_c >> 8, 30u);
    EXPECT_GT(near_c & 255, 150u);
    EXPECT_LT(near_a >> 8, 60u);
    EXPECT_LT(near_a & 255, 60u);
}

TEST_F(Render, WildMeshesRenderWithoutFaults)
{
    std::mt19937 random(99);
    std::uniform_real_distribution<float> any(-1e6f, 1e6f);
    const float specials[] = {nan_f, inf_f, -inf_f, 1e38f, -1e38f, 0.0f, 20.0f};
    for (const std::uint8_t mode : {mode_flat, mode_textured, mode_env_mapped, mode_additive, mode_half_blend,
                                    mode_wireframe, mode_stretched}) {
        Mesh& m = object.meshes[0];
        object.mesh_count = 1;
        m.mode = mode;
        m.texture = index_texture;
        m.vertex_count = 300;
        m.face_count = 200;
        for (int i = 0; i < 300; ++i) {
            const bool special = random() % 4 == 0;
            const float sx = specials[random() % 7];
            m.vertices[i] = at(special ? sx : any(random), any(random), special ? any(random) : std::abs(any(random)),
                               special ? sx : 1.0f, any(random), 0.5f);
        }
        for (int j = 0; j < 200; ++j) {
            m.faces[j] = face(random() % 300, random() % 300, random() % 320);  // some indices outside
            m.faces[j].u_a = static_cast<std::uint8_t>(random());
        }
        m.angle_x = static_cast<int>(random() % 1000) - 500;
        object.camera_angle_z = 720 + 45;
        render_object(object);
    }
}

}  // namespace
