// mesh_geometry.cpp -- the forge's solid-modelling helpers.
#include "mesh_geometry.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <utility>

namespace {

constexpr double pi = 3.14159265358979323846;

double radians(double degrees) { return degrees * pi / 180.0; }

}  // namespace

namespace solid {

double length(Vec3 a) { return std::sqrt(dot(a, a)); }

Vec3 normalised(Vec3 a)
{
    const double l = length(a);
    return l > 0 ? a * (1.0 / l) : a;
}

Matrix rotation_x(double degrees)
{
    const double c = std::cos(radians(degrees)), s = std::sin(radians(degrees));
    return Matrix{{{1, 0, 0}, {0, c, -s}, {0, s, c}}};
}

Matrix rotation_y(double degrees)
{
    const double c = std::cos(radians(degrees)), s = std::sin(radians(degrees));
    return Matrix{{{c, 0, s}, {0, 1, 0}, {-s, 0, c}}};
}

Matrix rotation_z(double degrees)
{
    const double c = std::cos(radians(degrees)), s = std::sin(radians(degrees));
    return Matrix{{{c, -s, 0}, {s, c, 0}, {0, 0, 1}}};
}

Matrix operator*(const Matrix& a, const Matrix& b)
{
    Matrix r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
    return r;
}

Matrix basis(Vec3 image_x, Vec3 image_y, Vec3 image_z)
{
    return Matrix{{{image_x.x, image_y.x, image_z.x}, {image_x.y, image_y.y, image_z.y}, {image_x.z, image_y.z, image_z.z}}};
}

Vec3 operator*(const Matrix& m, Vec3 v)
{
    return {m.m[0][0] * v.x + m.m[0][1] * v.y + m.m[0][2] * v.z, m.m[1][0] * v.x + m.m[1][1] * v.y + m.m[1][2] * v.z,
            m.m[2][0] * v.x + m.m[2][1] * v.y + m.m[2][2] * v.z};
}

Shape icosphere(int level, double radius)
{
    const double t = (1.0 + std::sqrt(5.0)) / 2.0;
    Shape s;
    s.points = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0}, {0, -1, t}, {0, 1, t},
                {0, -1, -t}, {0, 1, -t}, {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
    s.triangles = {{0, 11, 5}, {0, 5, 1}, {0, 1, 7}, {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
                   {11, 10, 2}, {10, 7, 6}, {7, 1, 8}, {3, 9, 4}, {3, 4, 2}, {3, 2, 6}, {3, 6, 8},
                   {3, 8, 9}, {4, 9, 5}, {2, 4, 11}, {6, 2, 10}, {8, 6, 7}, {9, 8, 1}};
    for (Vec3& p : s.points) p = normalised(p);
    for (int l = 0; l < level; ++l) {
        std::map<std::pair<int, int>, int> midpoints;
        auto midpoint = [&](int i, int j) {
            const std::pair<int, int> key = i < j ? std::pair{i, j} : std::pair{j, i};
            auto found = midpoints.find(key);
            if (found != midpoints.end()) return found->second;
            s.points.push_back(normalised((s.points[i] + s.points[j]) * 0.5));
            const int index = static_cast<int>(s.points.size()) - 1;
            midpoints[key] = index;
            return index;
        };
        std::vector<Triangle> finer;
        for (const Triangle& f : s.triangles) {
            const int ab = midpoint(f.a, f.b), bc = midpoint(f.b, f.c), ca = midpoint(f.c, f.a);
            finer.push_back({f.a, ab, ca});
            finer.push_back({f.b, bc, ab});
            finer.push_back({f.c, ca, bc});
            finer.push_back({ab, bc, ca});
        }
        s.triangles = std::move(finer);
    }
    for (Vec3& p : s.points) p = p * radius;
    make_outward(s);
    return s;
}

Shape closed_tube(const std::function<Vec3(double)>& curve, int segments, int sides, double radius)
{
    Shape s;
    const double h = 1e-4;
    for (int i = 0; i < segments; ++i) {
        const double t = static_cast<double>(i) / segments;
        const Vec3 p = curve(t);
        const Vec3 d1 = (curve(t + h) - curve(t - h)) * (1.0 / (2 * h));
        const Vec3 d2 = (curve(t + h) - p * 2.0 + curve(t - h)) * (1.0 / (h * h));
        const Vec3 tangent = normalised(d1);
        const Vec3 normal = normalised(d2 - tangent * dot(d2, tangent));  // toward the centre of curvature
        const Vec3 binormal = cross(tangent, normal);
        for (int k = 0; k < sides; ++k) {
            const double a = 2 * pi * k / sides;
            s.points.push_back(p + normal * (radius * std::cos(a)) + binormal * (radius * std::sin(a)));
        }
    }
    for (int i = 0; i < segments; ++i) {
        const int j = (i + 1) % segments;
        for (int k = 0; k < sides; ++k) {
            const int l = (k + 1) % sides;
            const int p00 = i * sides + k, p01 = i * sides + l, p10 = j * sides + k, p11 = j * sides + l;
            s.triangles.push_back({p00, p10, p11});
            s.triangles.push_back({p00, p11, p01});
        }
    }
    make_outward(s);
    return s;
}

std::vector<Vec3> ellipse_ring(Vec3 centre, Vec3 dir_a, Vec3 dir_b, double half_a, double half_b, int sides,
                               double phase)
{
    std::vector<Vec3> ring;
    for (int k = 0; k < sides; ++k) {
        const double a = 2 * pi * (static_cast<double>(k) / sides + phase);
        ring.push_back(centre + dir_a * (half_a * std::cos(a)) + dir_b * (half_b * std::sin(a)));
    }
    return ring;
}

Shape loft(const std::vector<std::vector<Vec3>>& rings, const Vec3* back_tip, const Vec3* front_tip, QuadSplit split)
{
    Shape s;
    const int n = static_cast<int>(rings.front().size());
    for (const auto& ring : rings)
        for (const Vec3& p : ring) s.points.push_back(p);
    const int count = static_cast<int>(rings.size());
    for (int r = 0; r + 1 < count; ++r) {
        for (int k = 0; k < n; ++k) {
            const int l = (k + 1) % n;
            const int p00 = r * n + k, p01 = r * n + l, p10 = (r + 1) * n + k, p11 = (r + 1) * n + l;
            const bool backward = split == QuadSplit::backward || (split == QuadSplit::checkered && (r + k) % 2 == 1);
            if (backward) {
                s.triangles.push_back({p00, p10, p01});
                s.triangles.push_back({p10, p11, p01});
            } else {
                s.triangles.push_back({p00, p10, p11});
                s.triangles.push_back({p00, p11, p01});
            }
        }
    }
    // Each cap runs its ring the other way round from the side faces that share
    // it, so every edge is used once in each direction; make_outward then settles
    // which way the whole solid faces.
    auto cap = [&](int ring, const Vec3* tip, bool back) {
        const int base = ring * n;
        if (tip != nullptr) {
            s.points.push_back(*tip);
            const int t = static_cast<int>(s.points.size()) - 1;
            for (int k = 0; k < n; ++k) {
                const int l = (k + 1) % n;
                if (back)
                    s.triangles.push_back({t, base + k, base + l});
                else
                    s.triangles.push_back({t, base + l, base + k});
            }
        } else {
            for (int k = 1; k + 1 < n; ++k) {
                if (back)
                    s.triangles.push_back({base, base + k, base + k + 1});
                else
                    s.triangles.push_back({base, base + k + 1, base + k});
            }
        }
    };
    cap(0, back_tip, true);
    cap(count - 1, front_tip, false);
    make_outward(s);
    return s;
}

Shape prism(const std::vector<std::pair<double, double>>& polygon, Vec3 origin, Vec3 dir_a, Vec3 dir_b, Vec3 dir_c,
            double c0, double c1)
{
    std::vector<Vec3> bottom, top;
    for (auto [a, b] : polygon) {
        const Vec3 p = origin + dir_a * a + dir_b * b;
        bottom.push_back(p + dir_c * c0);
        top.push_back(p + dir_c * c1);
    }
    return loft({bottom, top}, nullptr, nullptr);
}

double signed_volume(const Shape& shape)
{
    double v = 0;
    for (const Triangle& f : shape.triangles)
        v += dot(shape.points[f.a], cross(shape.points[f.b], shape.points[f.c]));
    return v / 6.0;
}

void make_outward(Shape& shape)
{
    if (signed_volume(shape) >= 0) return;
    for (Triangle& f : shape.triangles) std::swap(f.b, f.c);
}

void append(Shape& to, const Shape& piece)
{
    const int base = static_cast<int>(to.points.size());
    to.points.insert(to.points.end(), piece.points.begin(), piece.points.end());
    for (const Triangle& f : piece.triangles) to.triangles.push_back({f.a + base, f.b + base, f.c + base});
}

void transform(Shape& shape, const Matrix& m, Vec3 offset)
{
    for (Vec3& p : shape.points) p = m * p + offset;
    // A reflection would turn every face inside out.
    const double det = m.m[0][0] * (m.m[1][1] * m.m[2][2] - m.m[1][2] * m.m[2][1]) -
                       m.m[0][1] * (m.m[1][0] * m.m[2][2] - m.m[1][2] * m.m[2][0]) +
                       m.m[0][2] * (m.m[1][0] * m.m[2][1] - m.m[1][1] * m.m[2][0]);
    if (det < 0)
        for (Triangle& f : shape.triangles) std::swap(f.b, f.c);
}

void set_radius(Shape& shape, const std::function<double(Vec3)>& radius)
{
    for (Vec3& p : shape.points) {
        const Vec3 d = normalised(p);
        p = d * radius(d);
    }
}

Shape split_faces(const Shape& shape)
{
    Shape s;
    for (const Triangle& f : shape.triangles) {
        const int base = static_cast<int>(s.points.size());
        s.points.push_back(shape.points[f.a]);
        s.points.push_back(shape.points[f.b]);
        s.points.push_back(shape.points[f.c]);
        s.triangles.push_back({base, base + 1, base + 2});
    }
    return s;
}

double bounding_radius(const Shape& shape)
{
    double r = 0;
    for (const Vec3& p : shape.points) r = std::max(r, length(p));
    return r;
}

double smallest_plane_distance(const Shape& shape)
{
    double d = 1e300;
    for (const Triangle& f : shape.triangles) {
        const Vec3 a = shape.points[f.a];
        const Vec3 n = normalised(cross(shape.points[f.b] - a, shape.points[f.c] - a));
        d = std::min(d, std::abs(dot(n, a)));
    }
    return d;
}

double lowest_normal_component(const Shape& shape)
{
    std::vector<Vec3> sums(shape.points.size(), Vec3{0, 0, 0});
    for (const Triangle& f : shape.triangles) {
        const Vec3 a = shape.points[f.a];
        const Vec3 n = normalised(cross(shape.points[f.b] - a, shape.points[f.c] - a));
        sums[f.a] = sums[f.a] + n;
        if (f.b != f.a) sums[f.b] = sums[f.b] + n;
        if (f.c != f.a && f.c != f.b) sums[f.c] = sums[f.c] + n;
    }
    double lowest = 1;
    for (const Vec3& s : sums) {
        const Vec3 n = normalised(s);
        lowest = std::min(lowest, std::min(n.x, n.y));
    }
    return lowest;
}

void tilt_off_negative_axes(Shape& shape, double margin)
{
    // Smallest first: any tilt above a degree moves the axis-aligned normals clear.
    const double tilts[][2] = {{0, 0}, {3, 4}, {4, 3}, {2, 5}, {5, 2}, {3, -4}, {-4, 3}, {5, 5},
                               {6, 3}, {3, 6}, {-5, 5}, {7, 11}, {11, 7}};
    for (const auto& tilt : tilts) {
        Shape turned = shape;
        transform(turned, rotation_x(tilt[0]) * rotation_z(tilt[1]));
        if (lowest_normal_component(turned) > -1.0 + margin) {
            shape = std::move(turned);
            return;
        }
    }
}

std::vector<Texel> stored_face_texels(const Shape& split)
{
    // A coordinate as the reader gets it: written with "%f", read back as a float.
    auto as_read = [](double v) {
        char text[64];
        std::snprintf(text, sizeof text, "%f", v);
        return static_cast<double>(static_cast<float>(std::strtod(text, nullptr)));
    };
    // trunc(128 - 128 n), low 8 bits, from the float normal.
    auto coordinate = [](double n) {
        return static_cast<int>(static_cast<std::int32_t>(128.0 - 128.0 * static_cast<double>(static_cast<float>(n))) & 255);
    };
    // Each component divided by the length, as the reader does (not multiplied by
    // its inverse, which can differ in the last bit).
    auto unit = [](Vec3 n) {
        const double l = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        return l > 0 ? Vec3{n.x / l, n.y / l, n.z / l} : n;
    };
    std::vector<Texel> texels;
    for (const Triangle& f : split.triangles) {
        const Vec3 pa = split.points[f.a], pb = split.points[f.b], pc = split.points[f.c];
        const double ax = as_read(pa.x), ay = as_read(pa.y), az = as_read(pa.z), bx = as_read(pb.x), by = as_read(pb.y),
                     bz = as_read(pb.z), cx = as_read(pc.x), cy = as_read(pc.y), cz = as_read(pc.z);
        Vec3 n{(ay - by) * (az - cz) - (ay - cy) * (az - bz), (ax - cx) * (az - bz) - (ax - bx) * (az - cz),
               (ax - bx) * (ay - cy) - (ax - cx) * (ay - by)};
        n = unit(n);
        // The face normal is stored as floats; a split corner's normal is that
        // normal made unit length again.
        n = unit(Vec3{static_cast<float>(n.x), static_cast<float>(n.y), static_cast<float>(n.z)});
        texels.push_back({coordinate(n.x), coordinate(n.y)});
    }
    return texels;
}

}  // namespace solid
