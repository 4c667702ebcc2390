// test_meshes.cpp -- the forge's eleven meshes as the show reads them: within budget,
// closed, outward, without degenerate or unused parts, sized for their scenes, no u/v wraps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "assets/assets.h"
#include "shell/shell.h"
#include "tools/forge/forge.h"

namespace {

// stored_coordinates: drawn in modes 3 or 7; faceted: split per face, otherwise welded and smooth;
// convex_parts: every part convex or star-shaped about its centre.
struct MeshRules {
    const char* name;
    double radius_min, radius_max;
    int faces_min, faces_max, vertices_max;
    bool stored_coordinates, faceted, convex_parts;
};

const MeshRules rules[] = {
    {"inne", 100, 125, 600, 1300, 1000, false, false, false},
    {"ute", 150, 175, 60, 400, 1800, true, true, true},  // few, large facets: few blended seams
    {"planet", 350, 450, 1000, 1300, 700, true, false, true},
    {"shuttle", 45, 65, 200, 600, 1800, true, true, true},
    {"metroid", 35, 55, 150, 500, 1800, true, true, true},
    {"metroid1", 35, 55, 150, 500, 1800, true, true, true},
    {"metroid2", 35, 55, 150, 500, 1800, true, true, true},
    {"metroid3", 35, 55, 100, 400, 1800, true, true, true},
    {"blup6", 35, 70, 600, 1300, 1800, false, false, true},
    {"bollar", 350, 420, 600, 2000, 1800, false, false, true},
    {"cia", 120, 220, 800, 1600, 1800, false, false, true},
};

Mesh mesh;  // large: program-wide

struct P { double x, y, z; };
P operator-(P a, P b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
P operator+(P a, P b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
P operator*(P a, double k) { return {a.x * k, a.y * k, a.z * k}; }
P cross(P a, P b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot(P a, P b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double norm(P a) { return std::sqrt(dot(a, a)); }

P position(int i) { return {mesh.vertices[i].x, mesh.vertices[i].y, mesh.vertices[i].z}; }
P face_normal(const Face& f) { return cross(position(f.b) - position(f.a), position(f.c) - position(f.a)); }
P face_centre(const Face& f) { return (position(f.a) + position(f.b) + position(f.c)) * (1.0 / 3); }

const Mesh& load(const std::string& name) { return mesh = load_asc(("qd\\3d\\" + name + ".asc").c_str(), 0, 0, 0); }

// Nearest, mean and farthest vertex distance from the origin, and the nearest face plane.
struct Radii { double nearest, mean, farthest, plane; };
Radii radii(const Mesh& m)
{
    Radii r{1e300, 0, 0, 1e300};
    for (int i = 0; i < m.vertex_count; ++i) {
        const double d = norm(position(i));
        r = {std::min(r.nearest, d), r.mean + d / m.vertex_count, std::max(r.farthest, d), r.plane};
    }
    for (int j = 0; j < m.face_count; ++j) {
        const P n = face_normal(m.faces[j]);
        r.plane = std::min(r.plane, std::abs(dot(n, position(m.faces[j].a))) / norm(n));
    }
    return r;
}

class ForgeMesh : public ::testing::TestWithParam<MeshRules> {};

TEST_P(ForgeMesh, KeepsItsBudgetAndIsClosedOutwardAndWithoutDegenerateOrUnusedParts)
{
    const MeshRules& r = GetParam();
    const Mesh& m = load(r.name);
    EXPECT_TRUE(m.face_count >= r.faces_min && m.face_count <= r.faces_max) << m.face_count;
    EXPECT_TRUE(m.vertex_count > 3 && m.vertex_count <= std::min(r.vertices_max, max_vertices)) << m.vertex_count;
    const double radius = radii(m).farthest;
    EXPECT_TRUE(radius >= r.radius_min && radius <= r.radius_max) << radius;

    // Closure is a matter of positions (faceted meshes repeat each corner per face): one id per position.
    std::map<std::tuple<float, float, float>, int> ids;
    std::vector<int> id(m.vertex_count), uses(m.vertex_count, 0);
    for (int i = 0; i < m.vertex_count; ++i)
        id[i] = ids.emplace(std::tuple{m.vertices[i].x, m.vertices[i].y, m.vertices[i].z}, ids.size()).first->second;
    std::map<std::pair<int, int>, int> edges;
    std::vector<int> parent(ids.size());  // union-find over position ids: the connected parts
    std::iota(parent.begin(), parent.end(), 0);
    const auto find = [&parent](int i) {
        while (parent[i] != i) i = parent[i] = parent[parent[i]];
        return i;
    };
    for (int j = 0; j < m.face_count; ++j) {
        const int c[3] = {m.faces[j].a, m.faces[j].b, m.faces[j].c};
        for (int k = 0; k < 3; ++k) {
            const int next = c[(k + 1) % 3];
            ++uses[c[k]], ++edges[{id[c[k]], id[next]}];
            parent[find(id[c[k]])] = find(id[next]);
            ASSERT_GE(norm(position(c[k]) - position(next)), 2.0) << "face " << j << " has a tiny edge";
        }
        ASSERT_GT(norm(face_normal(m.faces[j])), 2.0) << "face " << j << " is degenerate";
    }
    std::map<int, std::pair<P, int>> corners;  // per part (connected piece): sum of positions, count
    for (int i = 0; i < m.vertex_count; ++i) {
        ASSERT_GT(uses[i], 0) << "vertex " << i << " is unused";
        ASSERT_TRUE(!r.faceted || uses[i] == 1) << "vertex " << i << " is shared: not split";
        const Vertex& v = m.vertices[i];
        ASSERT_NEAR(std::sqrt(v.nx * v.nx + v.ny * v.ny + v.nz * v.nz), 1.0, 1e-3) << "vertex " << i;
        // The reader's u = trunc(128 - 128 nx) & 255 wraps to 0 only at nx = -1 (v likewise).
        ASSERT_TRUE(!r.stored_coordinates || (v.nx > -0.9999f && v.ny > -0.9999f)) << "vertex " << i;
        auto& [sum, count] = corners[find(id[i])];
        sum = sum + position(i), ++count;
    }
    EXPECT_TRUE(r.faceted || int(ids.size()) == m.vertex_count) << "has unwelded seams";
    for (const auto& [edge, count] : edges) {  // each edge once each way
        ASSERT_EQ(count, 1) << "edge used twice in one direction";
        ASSERT_TRUE(edges.count({edge.second, edge.first})) << "open at " << edge.first << "-" << edge.second;
    }

    // Each part has a positive signed volume, and convex or star-shaped parts turn every face from their centre.
    std::map<int, double> volume;
    for (int j = 0; j < m.face_count; ++j) {
        const Face& f = m.faces[j];
        const int part = find(id[f.a]);
        volume[part] += dot(position(f.a), cross(position(f.b), position(f.c))) / 6.0;
        const P centre = corners[part].first * (1.0 / corners[part].second);
        ASSERT_TRUE(!r.convex_parts || dot(face_normal(f), face_centre(f) - centre) > 0.0)
            << "face " << j << " faces inward";
    }
    for (const auto& [part, v] : volume) EXPECT_GT(v, 0.0) << "part " << part;
}

INSTANTIATE_TEST_SUITE_P(All, ForgeMesh, ::testing::ValuesIn(rules),
                         [](const ::testing::TestParamInfo<MeshRules>& info) { return std::string(info.param.name); });

// Extent along a direction, both ways.
std::pair<double, double> extent(const Mesh& m, P axis)
{
    std::pair<double, double> e{1e300, -1e300};
    for (int i = 0; i < m.vertex_count; ++i)
        e = {std::min(e.first, dot(position(i), axis)), std::max(e.second, dot(position(i), axis))};
    return e;
}

TEST(ForgeMeshes, CraftPointWhereTheirScenesFlyThem)
{
    struct Craft { const char* name; P nose, top; bool symmetric_top; };
    const Craft crafts[] = {{"shuttle", {1, 0, 0}, {0, 0, 1}, false},
                            {"metroid", {0, 0, -1}, {0, -1, 0}, false},
                            {"metroid1", {0, 0, 1}, {0, -1, 0}, true},
                            {"metroid2", {0, 0, 1}, {0, -1, 0}, false},
                            {"metroid3", {0, 0, 1}, {0, -1, 0}, false}};
    for (const Craft& c : crafts) {
        const Mesh& m = load(c.name);
        EXPECT_GT(extent(m, c.nose).second, 42.0) << c.name;
        double area = 0, centre = 0;  // area-weighted centre of the surface along the nose
        for (int j = 0; j < m.face_count; ++j) {
            const double a = norm(face_normal(m.faces[j]));
            area += a, centre += a * dot(face_centre(m.faces[j]), c.nose);
        }
        EXPECT_LT(centre / area, 0.0) << c.name << ": wings behind the middle";
        const auto [bottom, top] = extent(m, c.top);
        EXPECT_TRUE(c.symmetric_top || top > -bottom + 4.0) << c.name << ": fins on top " << top << " " << bottom;
    }
    const auto [low, high] = extent(load("shuttle"), {0, 1, 0});  // half-length 45 or so, wingspan 80
    EXPECT_NEAR(high - low, 80.0, 6.0);
}

TEST(ForgeMeshes, NestedMeshesKeepClearOfEachOther)
{
    // The knot tumbles inside the shell (same angles, same origin) with room to spare.
    const double knot = radii(load("inne")).farthest;
    EXPECT_GE(radii(load("ute")).plane, knot + 30.0);
    // The star turns on its own inside the ring of balls: clear at every angle.
    const double star = radii(load("cia")).farthest;
    EXPECT_LT(star + 5.0, radii(load("bollar")).nearest);
    // The planet hides the six ships at its centre (offsets up to about 10).
    const double ship = radii(load("metroid")).farthest;
    EXPECT_GT(radii(load("planet")).plane, ship + 12.0);
    // The blob (at most 70 by its rules) stays clear of the near limit at its closest view (distance 110).
    EXPECT_NEAR(radii(load("blup6")).mean, 45.0, 4.0);
}

// Background pixels enclosed by what was drawn over it: not 4-connected to the frame's border through background.
long enclosed_background(const std::uint32_t* frame, std::uint32_t background)
{
    std::vector<bool> outside(frame_pixels, false);
    std::vector<int> stack;
    auto reach = [&](int i) {
        if (frame[i] == background && !outside[std::size_t(i)]) outside[std::size_t(i)] = true, stack.push_back(i);
    };
    for (int x = 0; x < frame_width; ++x) reach(x), reach(frame_pixels - frame_width + x);
    for (int y = 0; y < frame_height; ++y) reach(y * frame_width), reach(y * frame_width + frame_width - 1);
    while (!stack.empty()) {
        const int i = stack.back(), x = i % frame_width;
        stack.pop_back();
        if (x > 0) reach(i - 1);
        if (x < frame_width - 1) reach(i + 1);
        if (i >= frame_width) reach(i - frame_width);
        if (i < frame_pixels - frame_width) reach(i + frame_width);
    }
    long enclosed = 0;
    for (int i = 0; i < frame_pixels; ++i) enclosed += frame[i] == background && !outside[std::size_t(i)];
    return enclosed;
}

// The renderer's spans leave gaps along the edges of long, thin faces where they lie flat on the screen, and the
// background shows through in dotted rows. Along the second flyby's path (the shuttle at 0, 0, 1200 turned x 0,
// z 270, y 90, moving +14 x and -15 z a frame; the viewpoint moving +16 x and +6 z and turning 1 degree a frame),
// the shuttle, built of short faces, leaves few such pixels inside its outline (the earlier one left 509).
TEST(ForgeMeshes, ShuttleLeavesFewGapsAlongTheFlyby)
{
    static Object3D flyby;  // large: program-wide
    static std::uint32_t frame[frame_pixels], grey[texture_texels];
    constexpr std::uint32_t background = 0x01000000u;  // never a texel
    std::fill(std::begin(grey), std::end(grey), 0x808080u);
    build_sincos_table();
    std::uint32_t* const saved_screen = screen;
    screen = frame;
    Mesh& shuttle = flyby.meshes[0];
    load_mesh(shuttle, "qd\\3d\\shuttle.asc", 0, 0, 1200, mode_textured, grey);
    shuttle.angle_z = 270;
    shuttle.angle_y = 90;
    place_viewpoint(flyby, 1, 0, 0, 0);
    long gaps = 0;
    for (int n = 1; n <= 80; ++n) {
        shuttle.offset_x += 14, shuttle.offset_z -= 15;
        flyby.camera_x += 16, flyby.camera_z += 6, flyby.camera_angle_y = n;
        std::fill(std::begin(frame), std::end(frame), background);
        std::fill(std::begin(depth_buffer), std::end(depth_buffer), std::int16_t{4000});
        render_object(flyby);
        gaps += enclosed_background(frame, background);
    }
    screen = saved_screen;
    EXPECT_LE(gaps, 160);
}

TEST(ForgeMeshes, AreTheSameOnEveryRun)
{
    const auto file_bytes = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string a = ::testing::TempDir() + "velmora_meshes_a", b = ::testing::TempDir() + "velmora_meshes_b";
    write_meshes(a);
    write_meshes(b);
    for (const MeshRules& r : rules) {
        const std::string file = std::string("/qd/3d/") + r.name + ".asc", first = file_bytes(a + file);
        EXPECT_FALSE(first.empty()) << r.name;
        EXPECT_EQ(first, file_bytes(b + file)) << r.name;
        EXPECT_EQ(first, file_bytes("qd" + file.substr(3))) << r.name << ": the build's copy";
    }
}

}  // namespace
