// test_meshes.cpp -- the forge's eleven meshes as the show reads them: within the
// reader's limits and each mesh's budget, closed, outward, free of degenerate or
// unused parts, sized for their scenes, and free of texture-coordinate wraps.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <numeric>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "assets/assets.h"
#include "tools/forge/forge.h"

namespace {

struct MeshRules {
    const char* name;
    double radius_min, radius_max;
    int faces_min, faces_max, vertices_max;
    bool stored_coordinates;  // drawn in modes 3 or 7
    bool faceted;             // split per face; otherwise welded and smooth
    bool convex_parts;        // every part convex or star-shaped about its centre
};

const MeshRules rules[] = {
    {"inne", 100, 125, 600, 1300, 1000, false, false, false},
    {"ute", 150, 175, 300, 1000, 1800, true, true, true},
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

struct P {
    double x, y, z;
};
P operator-(P a, P b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
P cross(P a, P b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot(P a, P b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double norm(P a) { return std::sqrt(dot(a, a)); }

P position(int i)
{
    const Vertex& v = mesh.vertices[i];
    return {v.x, v.y, v.z};
}

const Mesh& load(const std::string& name)
{
    mesh = load_asc(("qd\\3d\\" + name + ".asc").c_str(), 0, 0, 0);
    return mesh;
}

double radius_of(const Mesh& m)
{
    double r = 0;
    for (int i = 0; i < m.vertex_count; ++i) r = std::max(r, norm(position(i)));
    return r;
}

double smallest_plane_distance(const Mesh& m)
{
    double d = 1e300;
    for (int j = 0; j < m.face_count; ++j) {
        const Face& f = m.faces[j];
        const P n = cross(position(f.b) - position(f.a), position(f.c) - position(f.a));
        d = std::min(d, std::abs(dot(n, position(f.a))) / norm(n));
    }
    return d;
}

// Vertices that share a position get one id (closure is a matter of positions:
// faceted meshes repeat each corner once per face).
std::vector<int> position_ids(const Mesh& m, int& distinct)
{
    std::map<std::tuple<float, float, float>, int> ids;
    std::vector<int> id(m.vertex_count);
    for (int i = 0; i < m.vertex_count; ++i) {
        const Vertex& v = m.vertices[i];
        id[i] = ids.emplace(std::tuple{v.x, v.y, v.z}, static_cast<int>(ids.size())).first->second;
    }
    distinct = static_cast<int>(ids.size());
    return id;
}

int find(std::vector<int>& parent, int i)
{
    while (parent[i] != i) i = parent[i] = parent[parent[i]];
    return i;
}

class ForgeMesh : public ::testing::TestWithParam<MeshRules> {};

TEST_P(ForgeMesh, LoadsWithinTheLimitsAndItsBudget)
{
    const MeshRules& r = GetParam();
    const Mesh& m = load(r.name);
    EXPECT_GE(m.face_count, r.faces_min);
    EXPECT_LE(m.face_count, r.faces_max);
    EXPECT_GT(m.vertex_count, 3);
    EXPECT_LE(m.vertex_count, std::min(r.vertices_max, max_vertices));
    const double radius = radius_of(m);
    EXPECT_GE(radius, r.radius_min);
    EXPECT_LE(radius, r.radius_max);
}

TEST_P(ForgeMesh, IsClosedOutwardAndWithoutDegenerateOrUnusedParts)
{
    const MeshRules& r = GetParam();
    const Mesh& m = load(r.name);
    int distinct = 0;
    const std::vector<int> id = position_ids(m, distinct);
    std::map<std::pair<int, int>, int> edges;
    std::vector<int> uses(m.vertex_count, 0);
    std::vector<int> parent(distinct);
    std::iota(parent.begin(), parent.end(), 0);
    double shortest_edge = 1e300;
    for (int j = 0; j < m.face_count; ++j) {
        const Face& f = m.faces[j];
        const int c[3] = {f.a, f.b, f.c};
        for (int k = 0; k < 3; ++k) {
            ++uses[c[k]];
            ++edges[{id[c[k]], id[c[(k + 1) % 3]]}];
            parent[find(parent, id[c[k]])] = find(parent, id[c[(k + 1) % 3]]);
            shortest_edge = std::min(shortest_edge, norm(position(c[k]) - position(c[(k + 1) % 3])));
        }
        const P n = cross(position(f.b) - position(f.a), position(f.c) - position(f.a));
        ASSERT_GT(norm(n), 2.0) << r.name << " face " << j << " is degenerate";
    }
    EXPECT_GE(shortest_edge, 2.0) << r.name;
    for (int i = 0; i < m.vertex_count; ++i) {
        ASSERT_GT(uses[i], 0) << r.name << " vertex " << i << " is unused";
        if (r.faceted) {
            ASSERT_EQ(uses[i], 1) << r.name << " vertex " << i << " is shared: not split";
        }
        const Vertex& v = m.vertices[i];
        ASSERT_NEAR(std::sqrt(v.nx * v.nx + v.ny * v.ny + v.nz * v.nz), 1.0, 1e-3) << r.name << " vertex " << i;
    }
    if (!r.faceted) {
        EXPECT_EQ(distinct, m.vertex_count) << r.name << " has unwelded seams";
    }
    for (const auto& [edge, count] : edges) {
        ASSERT_EQ(count, 1) << r.name << " edge used twice in one direction";
        const auto back = edges.find({edge.second, edge.first});
        ASSERT_TRUE(back != edges.end() && back->second == 1) << r.name << " is open";
    }

    // Per part (connected piece): positive signed volume, and for convex or
    // star-shaped parts every face turned away from the part's centre.
    std::map<int, double> volume;
    std::map<int, P> centre_sum;
    std::map<int, int> corner_count;
    for (int i = 0; i < m.vertex_count; ++i) {
        const int part = find(parent, id[i]);
        P& s = centre_sum[part];
        s = {s.x + m.vertices[i].x, s.y + m.vertices[i].y, s.z + m.vertices[i].z};
        ++corner_count[part];
    }
    for (int j = 0; j < m.face_count; ++j) {
        const Face& f = m.faces[j];
        const int part = find(parent, id[f.a]);
        volume[part] += dot(position(f.a), cross(position(f.b), position(f.c))) / 6.0;
        if (!r.convex_parts) continue;
        const P s = centre_sum[part];
        const double k = 1.0 / corner_count[part];
        const P centre{s.x * k, s.y * k, s.z * k};
        const P face_centre{(position(f.a).x + position(f.b).x + position(f.c).x) / 3,
                            (position(f.a).y + position(f.b).y + position(f.c).y) / 3,
                            (position(f.a).z + position(f.b).z + position(f.c).z) / 3};
        const P n = cross(position(f.b) - position(f.a), position(f.c) - position(f.a));
        ASSERT_GT(dot(n, face_centre - centre), 0.0) << r.name << " face " << j << " faces inward";
    }
    for (const auto& [part, v] : volume) EXPECT_GT(v, 0.0) << r.name << " part " << part;
}

TEST(ForgeMeshes, StoredCoordinatesNeverWrap)
{
    // The reader's u = trunc(128 - 128 nx) & 255 wraps to 0 only at nx = -1 (v likewise).
    for (const MeshRules& r : rules) {
        if (!r.stored_coordinates) continue;  // the others are environment-mapped every frame
        const Mesh& m = load(r.name);
        for (int i = 0; i < m.vertex_count; ++i) {
            const Vertex& v = m.vertices[i];
            ASSERT_LT(std::trunc(128.0 - 128.0 * v.nx), 256.0) << r.name << " vertex " << i;
            ASSERT_LT(std::trunc(128.0 - 128.0 * v.ny), 256.0) << r.name << " vertex " << i;
            ASSERT_GT(v.nx, -0.9999f) << r.name;
            ASSERT_GT(v.ny, -0.9999f) << r.name;
        }
    }
}

void PrintTo(const MeshRules& r, std::ostream* out) { *out << r.name; }

INSTANTIATE_TEST_SUITE_P(All, ForgeMesh, ::testing::ValuesIn(rules),
                         [](const ::testing::TestParamInfo<MeshRules>& info) { return std::string(info.param.name); });

// Extent along a direction, both ways.
void extent(const Mesh& m, P axis, double& lowest, double& highest)
{
    lowest = 1e300;
    highest = -1e300;
    for (int i = 0; i < m.vertex_count; ++i) {
        const double d = dot(position(i), axis);
        lowest = std::min(lowest, d);
        highest = std::max(highest, d);
    }
}

// Area-weighted centre of the surface along an axis: the wings sit behind.
double surface_centre(const Mesh& m, P axis)
{
    double area = 0, sum = 0;
    for (int j = 0; j < m.face_count; ++j) {
        const Face& f = m.faces[j];
        const double a = norm(cross(position(f.b) - position(f.a), position(f.c) - position(f.a)));
        area += a;
        sum += a * dot(P{(position(f.a).x + position(f.b).x + position(f.c).x) / 3,
                         (position(f.a).y + position(f.b).y + position(f.c).y) / 3,
                         (position(f.a).z + position(f.b).z + position(f.c).z) / 3},
                       axis);
    }
    return sum / area;
}

TEST(ForgeMeshes, CraftPointWhereTheirScenesFlyThem)
{
    struct Craft {
        const char* name;
        P nose, top;
        bool symmetric_top;
    };
    const Craft crafts[] = {{"shuttle", {1, 0, 0}, {0, 0, 1}, false},
                            {"metroid", {0, 0, -1}, {0, -1, 0}, false},
                            {"metroid1", {0, 0, 1}, {0, -1, 0}, true},
                            {"metroid2", {0, 0, 1}, {0, -1, 0}, false},
                            {"metroid3", {0, 0, 1}, {0, -1, 0}, false}};
    for (const Craft& c : crafts) {
        const Mesh& m = load(c.name);
        double back = 0, front = 0, bottom = 0, top = 0;
        extent(m, c.nose, back, front);
        EXPECT_GT(front, 42.0) << c.name;
        EXPECT_LT(surface_centre(m, c.nose), 0.0) << c.name << ": wings behind the middle";
        extent(m, c.top, bottom, top);
        if (!c.symmetric_top) {
            EXPECT_GT(top, -bottom + 4.0) << c.name << ": fins on top";
        }
    }
    double low = 0, high = 0;  // the shuttle: half-length 45 or so, wingspan 80
    load("shuttle");
    extent(mesh, {0, 1, 0}, low, high);
    EXPECT_NEAR(high - low, 80.0, 6.0);
}

TEST(ForgeMeshes, NestedMeshesKeepClearOfEachOther)
{
    // The knot tumbles inside the shell (same angles, same origin) with room to spare.
    const double knot = radius_of(load("inne"));
    EXPECT_GE(smallest_plane_distance(load("ute")), knot + 30.0);
    // The star turns on its own inside the ring of balls: clear at every angle.
    const double star = radius_of(load("cia"));
    load("bollar");
    double nearest_ball = 1e300;
    for (int i = 0; i < mesh.vertex_count; ++i) nearest_ball = std::min(nearest_ball, norm(position(i)));
    EXPECT_LT(star + 5.0, nearest_ball);
    // The planet hides the six ships at its centre (offsets up to about 10).
    const double ship = radius_of(load("metroid"));
    EXPECT_GT(smallest_plane_distance(load("planet")), ship + 12.0);
    // The blob stays clear of the near limit at its closest view (distance 110).
    load("blup6");
    double mean = 0;
    for (int i = 0; i < mesh.vertex_count; ++i) mean += norm(position(i)) / mesh.vertex_count;
    EXPECT_NEAR(mean, 45.0, 4.0);
    EXPECT_LE(radius_of(mesh), 70.0);
}

std::string file_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(ForgeMeshes, AreTheSameOnEveryRun)
{
    const std::string a = ::testing::TempDir() + "velmora_meshes_a", b = ::testing::TempDir() + "velmora_meshes_b";
    write_meshes(a);
    write_meshes(b);
    for (const MeshRules& r : rules) {
        const std::string file = std::string("/qd/3d/") + r.name + ".asc";
        const std::string first = file_bytes(a + file);
        EXPECT_FALSE(first.empty()) << r.name;
        EXPECT_EQ(first, file_bytes(b + file)) << r.name;
        EXPECT_EQ(first, file_bytes(std::string("qd/3d/") + r.name + ".asc")) << r.name << ": the build's copy";
    }
}

}  // namespace
