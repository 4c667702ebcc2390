// render.h -- the 3D renderer: the object record, rotation, the triangle and line
// rasterizers with the depth buffer, and the object pipeline that joins them.
#pragma once

#include <cstdint>

// ---- records (rotate.cpp) -------------------------------------------------------

constexpr int max_vertices = 1800;
constexpr int max_faces = 2000;
constexpr int max_meshes = 20;

struct Vertex {
    float x, y, z;     // position
    float nx, ny, nz;  // unit normal, rotated with the position
};

struct Face {
    std::int32_t a, b, c;  // corner indices into the mesh's vertices
    // Texture coordinates of corners a, b, c: u selects the texture row, v the column.
    std::uint8_t u_a, v_a, u_b, v_b, u_c, v_c;
    float nx, ny, nz;      // unit face normal from the reader; the renderer ignores it
    std::uint8_t visible;  // rewritten by render_object on every call
};

// Draw modes of Mesh::mode; any other value draws nothing.
constexpr std::uint8_t mode_flat = 1;        // grey 128, no depth test
constexpr std::uint8_t mode_textured = 3;    // the face's stored u/v
constexpr std::uint8_t mode_env_mapped = 5;  // u/v from the view-space vertex normals, every frame
constexpr std::uint8_t mode_additive = 6;    // stored u/v, texel added to the frame
constexpr std::uint8_t mode_half_blend = 7;  // stored u/v, average of texel and frame
constexpr std::uint8_t mode_wireframe = 8;   // white lines a-b, b-c, a-c, no depth test
constexpr std::uint8_t mode_stretched = 9;   // the same half of the texture on every face

// One mesh slot. Plain value type: scenes copy whole meshes in and between slots.
struct Mesh {
    Vertex vertices[max_vertices];  // first vertex_count used, in model space
    Face faces[max_faces];          // first face_count used
    std::int32_t vertex_count;      // 0 .. 1800
    std::int32_t face_count;        // 0 .. 2000
    std::int32_t angle_x;           // degrees 0 .. 360; stored X, Z, Y
    std::int32_t angle_z;
    std::int32_t angle_y;
    std::uint8_t two_sided;         // nonzero: no back-face test
    std::uint8_t mode;              // one of the mode_ values
    const std::uint32_t* texture;   // 256 x 256 texels 0x00RRGGBB, row-major; not owned
    float offset_x, offset_y, offset_z;  // added after the mesh's own rotation
};

// A scene's whole 3D object: up to 20 meshes and one viewpoint.
struct Object3D {
    Mesh meshes[max_meshes];  // slots 0 .. mesh_count - 1 are drawn in slot order
    std::int32_t mesh_count;  // 0 .. 20
    std::int32_t camera_x, camera_y, camera_z;  // subtracted after the mesh transform
    std::int32_t camera_angle_x;  // view rotation, stored X, Z, Y like the mesh angles
    std::int32_t camera_angle_z;
    std::int32_t camera_angle_y;
};

// Sets how many of its meshes `object` draws and its viewpoint.
void place_viewpoint(Object3D& object, int mesh_count, int x, int y, int z, int angle_x = 0, int angle_z = 0,
                     int angle_y = 0);

// Rotates position and normal about X by angle_x, then about Y by angle_y, then
// about Z by angle_z (angles passed in storage order X, Z, Y), with the sines of
// sincos_table. Angles outside 0 .. 360 are taken modulo 360. Called by the
// pipeline twice per vertex per frame, and by the particle scene.
Vertex rotate_point(const Vertex& vertex, int angle_x, int angle_z, int angle_y);

// ---- rasterizers (raster.cpp, span.cpp, line.cpp) ---------------------------------

// 64,000 signed 16-bit depths, row-major like `screen`; smaller is nearer. Only the
// opaque textured filler writes it; each 3D scene resets it to its far value
// (4000, or 30000 for the chessboard) after every frame.
extern std::int16_t depth_buffer[64000];

// A projected triangle corner: screen column and row, texture row u and column v
// (0 .. 255), view-space depth z.
struct ScreenCorner {
    std::int32_t x, y;
    std::int32_t u, v;
    float z;
};

// One end of a span: column, texture row and column, depth.
struct SpanEnd {
    std::int32_t x;
    float u, v, z;
};

// The three textured fillers: affine u/v/z, depth-tested against depth_buffer.
// Opaque: writes texel and depth. Additive: saturating sum per channel. Half blend:
// average of texel and pixel. The blending ones leave depth_buffer alone.
void draw_triangle_textured(ScreenCorner a, ScreenCorner b, ScreenCorner c, const std::uint32_t* texture);
void draw_triangle_additive(ScreenCorner a, ScreenCorner b, ScreenCorner c, const std::uint32_t* texture);
void draw_triangle_halfblend(ScreenCorner a, ScreenCorner b, ScreenCorner c, const std::uint32_t* texture);
// One row of the matching filler (row y, ends in either order). The opaque span
// covers one column left of the left end to one right of the right end; the
// blending spans cover the ends inclusive. Columns 0 .. 318 only.
void draw_span_textured(SpanEnd end0, SpanEnd end1, int y, const std::uint32_t* texture);
void draw_span_additive(SpanEnd end0, SpanEnd end1, int y, const std::uint32_t* texture);
void draw_span_halfblend(SpanEnd end0, SpanEnd end1, int y, const std::uint32_t* texture);

// Fills a triangle with one colour: bytes 0, 1, 2 (blue, green, red) of each pixel
// become c0, c1, c2, the top byte stays. No depth test.
void draw_triangle_flat(int x0, int y0, int x1, int y1, int x2, int y2,
                        std::uint8_t c0, std::uint8_t c1, std::uint8_t c2);

// Bresenham line from (x0, y0) to (x1, y1), both ends included, clipped to the
// frame. Colour c0 | c1 << 8 | c2 << 16, each component sign-extended from 8 bits
// first (-1, -1, -1 gives 0xFFFFFFFF). No depth test.
void draw_line(int x0, int y0, int x1, int y1, int c0, int c1, int c2);

// ---- pipeline (pipeline.cpp) ----------------------------------------------------

constexpr float near_limit = 20.0f;  // faces with a corner nearer than this are dropped
constexpr double focal_factor = 256.0;
constexpr double centre_column = 165.0;
constexpr double centre_row = 100.0;

// Draws the object into `screen`: rotates every vertex (mesh angles, offset,
// viewpoint, view angles) into a private copy, sets each face's `visible` by the
// near and back-face tests, and draws the meshes in slot order by their modes.
// Called by the 3D scenes once per frame after the background; leaves the
// vertices untouched and writes only the faces' `visible`.
void render_object(Object3D& object);
