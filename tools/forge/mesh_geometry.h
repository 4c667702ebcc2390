// mesh_geometry.h -- small solid-modelling helpers the forge's meshes are built
// from: spheres, tubes, lofts and prisms, transforms, welding and splitting.
#pragma once

#include <functional>
#include <vector>

// In a namespace of their own: the pictures' shading has its own (float) Vec3 and
// normalised(), and the two must not meet at link time. Users of this header
// name them unqualified.
namespace solid {

struct Vec3 {
    double x, y, z;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, double k) { return {a.x * k, a.y * k, a.z * k}; }
inline double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double length(Vec3 a);
Vec3 normalised(Vec3 a);

struct Triangle {
    int a, b, c;
};

// A triangle mesh; faces wound so that (b - a) x (c - a) points out of the solid.
struct Shape {
    std::vector<Vec3> points;
    std::vector<Triangle> triangles;
};

// 3 x 3 matrix, rows.
struct Matrix {
    double m[3][3];
};
Matrix rotation_x(double degrees);
Matrix rotation_y(double degrees);
Matrix rotation_z(double degrees);
Matrix operator*(const Matrix& a, const Matrix& b);
// The matrix whose columns are the images of x, y and z.
Matrix basis(Vec3 image_x, Vec3 image_y, Vec3 image_z);
Vec3 operator*(const Matrix& m, Vec3 v);

// Icosahedron subdivided `level` times, on a sphere of `radius`: 10 * 4^level + 2
// points, 20 * 4^level faces, welded.
Shape icosphere(int level, double radius);

// A closed tube of `sides` around a closed curve sampled at `segments` points
// (curve(t), t in [0, 1) ); frames from the curve's own curvature. Welded.
Shape closed_tube(const std::function<Vec3(double)>& curve, int segments, int sides, double radius);

// Which diagonal splits each quad between two rings: from point k of ring r to
// point k + 1 of ring r + 1 (forward), from point k + 1 of ring r to point k of
// ring r + 1 (backward), or the two in a checkerboard. Which one leaves the
// fewest gaps between the renderer's spans depends on how the part is seen.
enum class QuadSplit { forward, backward, checkered };
// A solid through rings of equal size (each ring a convex loop, in the same
// turning sense), capped at both ends: by a point where `front_tip`/`back_tip`
// is given, otherwise by a flat fan.
Shape loft(const std::vector<std::vector<Vec3>>& rings, const Vec3* back_tip, const Vec3* front_tip,
           QuadSplit split = QuadSplit::forward);
// A ring of `sides` points around an axis point: centre + (cos, sin) along the two
// given directions, scaled by the two half-sizes; `phase` in turns.
std::vector<Vec3> ellipse_ring(Vec3 centre, Vec3 dir_a, Vec3 dir_b, double half_a, double half_b, int sides,
                               double phase);
// A convex polygon (points in the plane spanned by dir_a, dir_b around `origin`)
// extruded along `dir_c` from c0 to c1.
Shape prism(const std::vector<std::pair<double, double>>& polygon, Vec3 origin, Vec3 dir_a, Vec3 dir_b, Vec3 dir_c,
            double c0, double c1);

// Flips every face if the signed volume is negative.
void make_outward(Shape& shape);
double signed_volume(const Shape& shape);
void append(Shape& to, const Shape& piece);
void transform(Shape& shape, const Matrix& m, Vec3 offset = {0, 0, 0});
// Moves every point along its direction from the origin: p -> p * (radius(d) / |p|)
// with d the unit direction.
void set_radius(Shape& shape, const std::function<double(Vec3)>& radius);
// Every face gets three points of its own (faceted shading: each corner's normal
// is the face normal).
Shape split_faces(const Shape& shape);
// The smallest x or y component among the vertex normals as the show's reader
// computes them (each the normalised mean of the unit normals of its faces).
double lowest_normal_component(const Shape& shape);
// Turns the shape by the first of a fixed list of small tilts (about x, then z)
// after which no vertex normal comes within `margin` of -x or -y. These normals
// would wrap the texture coordinates stored at load time.
void tilt_off_negative_axes(Shape& shape, double margin);

// The texel (texture row u, column v) that each face of a split shape shows when
// drawn with the u/v stored at load time: its corners' normals computed as the
// show's reader computes them from the written six-decimal coordinates.
struct Texel {
    int u, v;
};
std::vector<Texel> stored_face_texels(const Shape& split);

// Largest distance of a point from the origin.
double bounding_radius(const Shape& shape);
// Smallest distance of a face plane from the origin (how far the solid keeps
// clear of its centre, for a shell around it).
double smallest_plane_distance(const Shape& shape);

}  // namespace solid

using namespace solid;
