// mesh_shapes.cpp -- what each mesh of the show is: the gold knot and its faceted
// shell, the planet, the shuttle and four ships, the blob, and the chessboard
// scene's ring of balls around a rounded star.
#include "mesh_shapes.h"

#include <cmath>
#include <utility>

namespace {

constexpr double pi = 3.14159265358979323846;

// ---- craft parts, in the craft frame: nose +x, top +z, wings along y ---------------

const Vec3 axis_x{1, 0, 0}, axis_y{0, 1, 0}, axis_z{0, 0, 1};

struct Station {
    double x, half_width, half_height, z;
};

// A fuselage through elliptical stations, closed by a point at the nose and a flat
// back.
Shape fuselage(const std::vector<Station>& stations, int sides, Vec3 nose)
{
    std::vector<std::vector<Vec3>> rings;
    for (const Station& s : stations)
        rings.push_back(ellipse_ring({s.x, 0, s.z}, axis_y, axis_z, s.half_width, s.half_height, sides, 0.0));
    return loft(rings, nullptr, &nose);
}

// A flat convex wing (plan in x, y) between heights z0 and z1.
Shape wing(const std::vector<std::pair<double, double>>& plan, double z0, double z1)
{
    return prism(plan, {0, 0, 0}, axis_x, axis_y, axis_z, z0, z1);
}

// A fin: convex profile in x, z, between y0 and y1.
Shape fin(const std::vector<std::pair<double, double>>& profile, double y0, double y1)
{
    return prism(profile, {0, 0, 0}, axis_x, axis_z, axis_y, y0, y1);
}

// An engine bell along x from x0 (radius r0) to x1 (radius r1), centred at (y, z).
Shape nozzle(double x0, double x1, double y, double z, double r0, double r1, int sides)
{
    return loft({ellipse_ring({x0, y, z}, axis_y, axis_z, r0, r0, sides, 0.5 / sides),
                 ellipse_ring({x1, y, z}, axis_y, axis_z, r1, r1, sides, 0.5 / sides)},
                nullptr, nullptr);
}

// Normals this close to -x or -y are avoided (the reader's limit is 0.0001).
constexpr double axis_margin = 0.001;

// Faceted, then turned from the craft frame to where the scene wants nose and top,
// then tilted a few degrees so that no facet faces exactly along -x or -y.
Shape finish_craft(const Shape& craft, Vec3 nose, Vec3 top)
{
    Shape s = split_faces(craft);
    const Vec3 side = cross(top, nose);  // the craft frame's +y
    transform(s, basis(nose, side, top));
    tilt_off_negative_axes(s, axis_margin);
    return s;
}

// ---- the shuttle ------------------------------------------------------------------------
// Nose +x (tip at 45), top +z, wings along y (span 80), three engines at the back
// (exhaust cones to -50, the flare's plane is -45). Every face keeps to a small
// aspect where it can, since long, thin faces lying flat on the screen leave
// gaps between the renderer's spans; which diagonal splits each part's quads was
// chosen by counting the background pixels left inside the shuttle along the
// second flyby, in the fleet scene and on a turntable. The belly is flat and
// nothing on top is level, so that top and belly (whose normals select the same
// texel) can differ in colour.

// The paint of each face of one part, decided from its centre and normal.
using PaintRule = HullPaint (*)(Vec3 centre, Vec3 normal);

void add_part(PaintedShape& craft, const Shape& part, PaintRule rule)
{
    for (const Triangle& f : part.triangles) {
        const Vec3 a = part.points[f.a], b = part.points[f.b], c = part.points[f.c];
        craft.paint.push_back(rule((a + b + c) * (1.0 / 3), normalised(cross(b - a, c - a))));
    }
    append(craft.shape, part);
}

// The fuselage's cross-section: flat belly, upright sides, a ridged top.
std::vector<Vec3> hull_ring(double x, double half_width, double bottom, double top)
{
    static const double outline[][2] = {{0.8, -1}, {1, -0.45}, {1, 0.3},  {0.68, 0.82}, {0, 1},
                                        {-0.68, 0.82}, {-1, 0.3}, {-1, -0.45}, {-0.8, -1}};
    const double middle = (top + bottom) / 2, half = (top - bottom) / 2;
    std::vector<Vec3> ring;
    for (const auto& p : outline) ring.push_back({x, p[0] * half_width, middle + p[1] * half});
    return ring;
}

Shape shuttle_fuselage()
{
    struct Section {
        double x, half_width, bottom, top;
    };
    const Section sections[] = {{-40, 8, -7.4, 8},     {-32, 8.2, -7.6, 8.3}, {-23, 8.2, -7.6, 8.3},
                                {-14, 8.2, -7.6, 8.3}, {-5, 8.2, -7.6, 8.3},  {4, 8.2, -7.6, 8.3},
                                {12, 8, -7.5, 8.9},    {19, 7.6, -7.2, 9.6},  {26, 6.9, -6.7, 9.2},
                                {32, 5.7, -5.9, 7.0},  {37.5, 4.0, -4.8, 3.7}};
    std::vector<std::vector<Vec3>> rings;
    for (const Section& s : sections) rings.push_back(hull_ring(s.x, s.half_width, s.bottom, s.top));
    const Vec3 base{-40, 0, 0.3}, nose{45, 0, -2.4};
    return loft(rings, &base, &nose, QuadSplit::checkered);
}

HullPaint fuselage_paint(Vec3 centre, Vec3 n)
{
    if (n.x < -0.9) return HullPaint::base_plate;
    if (centre.x > 37.5) return HullPaint::nose_cap;
    if (centre.x > 19 && centre.x < 33 && n.z > 0.3 && n.x > 0.08) return HullPaint::glass;
    if (n.z < -0.3) return HullPaint::black_tiles;
    return HullPaint::white_tiles;
}

// One wing, `side` +1 or -1, lofted from the root (inside the fuselage) to the
// tip through sections a few units apart, so that its faces stay short: a flat
// underside with 6 degrees of dihedral, a rounded leading edge and a top that
// thins toward a sharp trailing edge (so it never lies level like the
// underside). Every edge is at least 2 units long.
Shape shuttle_wing(double side)
{
    const double dihedral = std::tan(6.0 * pi / 180.0);
    const int stations = 6;
    std::vector<std::vector<Vec3>> sections;
    for (int i = 0; i < stations; ++i) {
        const double t = static_cast<double>(i) / (stations - 1), y = 3 + 37 * t;
        const double lead = 14 - 44 * t, trail = -40, chord = lead - trail;
        const double thick = 3.4 - 2.2 * t, base = -7.7 + y * dihedral;
        auto at = [&](double along, double lift) { return Vec3{trail + chord * along, side * y, base + lift}; };
        sections.push_back({at(1, 0), at(0.72, thick), at(0.32, thick * 0.7), at(0, thick * 0.1), at(0.45, -0.3)});
    }
    return loft(sections, nullptr, nullptr, side > 0 ? QuadSplit::backward : QuadSplit::checkered);
}

HullPaint wing_paint(Vec3, Vec3 n)
{
    if (n.x > 0.3) return HullPaint::nose_cap;  // the leading edge
    return n.z < 0 ? HullPaint::black_tiles : HullPaint::white_tiles;
}

// The fin, lofted upward through diamond sections.
Shape shuttle_fin()
{
    const int stations = 4;
    std::vector<std::vector<Vec3>> sections;
    for (int i = 0; i < stations; ++i) {
        const double t = static_cast<double>(i) / (stations - 1), z = 6.5 + 20.5 * t;
        const double lead = -24 - 11 * t, trail = -40.5 - 1.0 * t, chord = lead - trail, half = 1.7 - 0.7 * t;
        auto at = [&](double along, double off) { return Vec3{trail + chord * along, off * half, z}; };
        sections.push_back({at(1, 0), at(0.6, 1), at(0, 0), at(0.6, -1)});
    }
    return loft(sections, nullptr, nullptr, QuadSplit::backward);
}

HullPaint fin_paint(Vec3, Vec3 n)
{
    if (n.x < -0.9) return HullPaint::base_plate;
    return n.x > 0.5 ? HullPaint::nose_cap : HullPaint::white_tiles;
}

// An engine pod on the upper rear flank, `side` +1 or -1.
Shape shuttle_pod(double side)
{
    const double y = 5.4 * side, z = 6.6;
    const Vec3 back{-40.5, y, z}, front{-19, y, z - 0.6};
    return loft({ellipse_ring({-40.5, y, z}, axis_y, axis_z, 3.0, 2.8, 8, 0.0625),
                 ellipse_ring({-30, y, z}, axis_y, axis_z, 3.0, 2.8, 8, 0.0625)},
                &back, &front, side > 0 ? QuadSplit::forward : QuadSplit::checkered);
}

HullPaint pod_paint(Vec3, Vec3 n) { return n.x < -0.9 ? HullPaint::base_plate : HullPaint::pod; }

// A main engine at (y, z), one convex part: a nozzle from inside the base that
// swells to its widest at -43 and narrows to its exit at -47 (so from behind its
// dark outside shows as a ring), and a glowing exhaust cone out of the exit.
Shape shuttle_engine(double y, double z)
{
    const Vec3 tip{-50, y, z};
    return loft({ellipse_ring({-47, y, z}, axis_y, axis_z, 2.8, 2.8, 6, 0.0),
                 ellipse_ring({-43, y, z}, axis_y, axis_z, 4.0, 4.0, 6, 0.0),
                 ellipse_ring({-39, y, z}, axis_y, axis_z, 3.0, 3.0, 6, 0.0)},
                &tip, nullptr);
}

// The cone out of the exit is the exhaust; the rest is the nozzle.
HullPaint engine_paint(Vec3 centre, Vec3) { return centre.x < -47.5 ? HullPaint::exhaust : HullPaint::engine_bell; }

// The flap under the engines.
Shape shuttle_body_flap()
{
    return prism({{-39, -6.5}, {-39, 6.5}, {-46, 6.5}, {-46, -6.5}}, {0, 0, 0}, axis_x, axis_y, axis_z, -8.4, -6.2);
}

HullPaint flap_paint(Vec3, Vec3 n) { return n.x < -0.9 ? HullPaint::base_plate : HullPaint::black_tiles; }

}  // namespace

PaintedShape shuttle_hull()
{
    PaintedShape craft;
    add_part(craft, shuttle_fuselage(), fuselage_paint);
    for (const double side : {1.0, -1.0}) {
        add_part(craft, shuttle_wing(side), wing_paint);
        add_part(craft, shuttle_pod(side), pod_paint);
    }
    add_part(craft, shuttle_fin(), fin_paint);
    add_part(craft, shuttle_body_flap(), flap_paint);
    for (const auto& [y, z] : {std::pair{0.0, 3.0}, std::pair{5.6, -3.2}, std::pair{-5.6, -3.2}})
        add_part(craft, shuttle_engine(y, z), engine_paint);
    // Split per face (the order of faces, and so of the paint, is kept), then tilted
    // off the axes like the other craft.
    craft.shape = split_faces(craft.shape);
    tilt_off_negative_axes(craft.shape, axis_margin);
    return craft;
}

namespace {

// The lump scene's ship (and the fleet's leader): an arrowhead with twin fins.
Shape arrowhead()
{
    Shape s = fuselage({{-38, 7, 6, 0}, {-22, 9, 7, 0}, {-2, 9, 7, 0}, {14, 7, 5.5, 0}, {28, 4, 3.5, 0}}, 10,
                       {44, 0, 0});
    append(s, wing({{15, -6}, {15, 6}, {-30, 34}, {-38, 34}, {-38, -34}, {-30, -34}}, -2, 2));
    append(s, fin({{-38, 2}, {-24, 2}, {-33, 16}, {-38, 16}}, 10, 13));
    append(s, fin({{-38, 2}, {-24, 2}, {-33, 16}, {-38, 16}}, -13, -10));
    const Vec3 canopy_back{-8, 0, 5}, canopy_front{24, 0, 4.5};
    append(s, loft({ellipse_ring({0, 0, 5.5}, axis_y, axis_z, 3.5, 3, 6, 0.0),
                    ellipse_ring({14, 0, 5.5}, axis_y, axis_z, 3.5, 3, 6, 0.0)},
                   &canopy_back, &canopy_front));
    append(s, nozzle(-34, -42, 4, 0, 3, 3.8, 8));
    append(s, nozzle(-34, -42, -4, 0, 3, 3.8, 8));
    return s;
}

// Four wings in an X with an engine at each tip.
Shape x_wing()
{
    Shape s = fuselage({{-40, 6, 6, 0}, {-10, 7, 7, 0}, {20, 5, 5, 0}, {35, 3, 3, 0}}, 8, {45, 0, 0});
    for (const double angle : {25.0, 155.0, 205.0, 335.0}) {
        const double a = angle * pi / 180.0;
        const Vec3 span{0, std::cos(a), std::sin(a)}, normal{0, -std::sin(a), std::cos(a)};
        append(s, prism({{-6, 2}, {-22, 32}, {-34, 32}, {-34, 2}}, {0, 0, 0}, axis_x, span, normal, -1.5, 1.5));
        const Vec3 tip = span * 32.0;
        const Vec3 intake{-8, tip.y, tip.z};
        append(s, loft({ellipse_ring({-36, tip.y, tip.z}, axis_y, axis_z, 3.5, 3.5, 8, 0.0625),
                        ellipse_ring({-14, tip.y, tip.z}, axis_y, axis_z, 3.5, 3.5, 8, 0.0625)},
                       nullptr, &intake));
    }
    return s;
}

// A long needle with canards, a swept wing and fins above and below.
Shape needle()
{
    Shape s = fuselage({{-42, 5, 5, 0}, {-20, 7, 7, 0}, {5, 6.5, 6.5, 0}, {25, 4.5, 4.5, 0}, {36, 3.5, 3.5, 0}}, 10,
                       {46, 0, 0});
    append(s, wing({{-4, -5}, {-4, 5}, {-30, 30}, {-38, 30}, {-38, -30}, {-30, -30}}, -1.5, 1.5));
    append(s, wing({{26, -3}, {26, 3}, {17, 15}, {13, 15}, {13, -15}, {17, -15}}, -1.5, 1.5));
    append(s, fin({{-40, 3}, {-22, 3}, {-36, 23}, {-40, 23}}, -1.5, 1.5));
    append(s, fin({{-40, -3}, {-28, -3}, {-40, -12}}, -1.5, 1.5));
    append(s, nozzle(-40, -47, 0, 0, 3.5, 4.5, 10));
    return s;
}

// The fleet's small escort: a broad dart.
Shape dart()
{
    Shape s = fuselage({{-35, 8, 5, 0}, {-10, 10, 6, 0}, {12, 8, 5, 0}, {28, 4.5, 3, 0}}, 8, {45, 0, 0});
    append(s, wing({{18, -8}, {18, 8}, {-32, 36}, {-38, 36}, {-38, -36}, {-32, -36}}, -2, 1));
    append(s, fin({{-36, 2}, {-24, 2}, {-33, 14}, {-36, 14}}, 14, 17));
    append(s, fin({{-36, 2}, {-24, 2}, {-33, 14}, {-36, 14}}, -17, -14));
    append(s, nozzle(-33, -41, 0, 0, 4, 5, 8));
    return s;
}

// ---- smooth solids -------------------------------------------------------------------

// The (2, 3) torus knot, a tube of 15 around a trefoil of radius 66 +- 34.
Shape gold_knot()
{
    auto trefoil = [](double t) {
        const double a = 2 * pi * t;
        const double r = 66 + 34 * std::cos(3 * a);
        return Vec3{r * std::cos(2 * a), r * std::sin(2 * a), 34 * std::sin(3 * a)};
    };
    return closed_tube(trefoil, 80, 8, 15);
}

// The knot's shell: a faceted geodesic ball of 80 glass facets, turned off the
// axes. Half-blended facets overlap by a pixel along every shared edge, so large
// facets keep those seams few; its faces stay 154 from the centre, clear of the
// knot.
Shape gold_shell()
{
    Shape s = split_faces(icosphere(1, 165));
    tilt_off_negative_axes(s, axis_margin);
    return s;
}

Shape planet()
{
    Shape s = icosphere(3, 400);
    tilt_off_negative_axes(s, axis_margin);
    return s;
}

// Smooth low-frequency lumps over a sphere: radius 35 .. 65 around a mean of 45.
Shape blob()
{
    Shape s = icosphere(3, 1);
    auto field = [](Vec3 d) {
        return std::sin(3.1 * d.x + 0.7) * std::cos(2.7 * d.y - 0.4) + 0.9 * std::sin(3.6 * d.z + 1.9 * d.x + 0.3) +
               0.7 * std::cos(3.3 * d.y + 2.8 * d.z - 1.1) + 0.5 * std::sin(4.2 * d.x - 3.1 * d.y + 2.0);
    };
    double mean = 0, spread = 0;
    for (const Vec3& p : s.points) mean += field(p);
    mean /= static_cast<double>(s.points.size());
    for (const Vec3& p : s.points) spread = std::max(spread, std::abs(field(p) - mean));
    set_radius(s, [&](Vec3 d) { return 45 + 19 * (field(d) - mean) / spread; });
    return s;
}

// Six balls on the axes at 300, radius 75.
Shape ring_of_balls()
{
    Shape s;
    const Vec3 places[] = {{300, 0, 0}, {-300, 0, 0}, {0, 300, 0}, {0, -300, 0}, {0, 0, 300}, {0, 0, -300}};
    for (const Vec3& at : places) {
        Shape ball = icosphere(2, 75);
        transform(ball, rotation_x(0), at);
        append(s, ball);
    }
    return s;
}

// A rounded star: twelve smooth points along the icosahedron's corners, 210 at the
// tips, 105 between them (clear of the balls, whose inner side is at 225).
Shape rounded_star()
{
    Shape s = icosphere(3, 1);
    std::vector<Vec3> tips(s.points.begin(), s.points.begin() + 12);  // the icosahedron's corners
    set_radius(s, [&](Vec3 d) {
        double spike = 0;
        for (const Vec3& t : tips) {
            const double c = dot(d, t);
            if (c > 0) spike += std::pow(c, 10);
        }
        return 105 + 105 * std::min(spike, 1.0);
    });
    return s;
}

}  // namespace

std::vector<ShowMesh> build_show_meshes()
{
    // Ships: the lump scene's flies nose first toward the viewer (-z); the fleet's
    // fly away (+z); all have their top at -y.
    const Vec3 toward_viewer{0, 0, -1}, away{0, 0, 1}, up{0, -1, 0};
    return {
        {"inne", gold_knot(), false},
        {"ute", gold_shell(), true},
        {"planet", planet(), true},
        {"shuttle", shuttle_hull().shape, true},
        {"metroid", finish_craft(arrowhead(), toward_viewer, up), true},
        {"metroid1", finish_craft(x_wing(), away, up), true},
        {"metroid2", finish_craft(needle(), away, up), true},
        {"metroid3", finish_craft(dart(), away, up), true},
        {"blup6", blob(), false},
        {"bollar", ring_of_balls(), false},
        {"cia", rounded_star(), false},
    };
}
