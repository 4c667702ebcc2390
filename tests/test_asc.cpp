// test_asc.cpp -- the token and mesh readers: layout, normals, sphere-map u/v, and damaged files ending soundly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "assets/assets.h"

namespace {

std::string temp_file(const std::string& name, const std::string& text)
{
    const std::string path = ::testing::TempDir() + "velmora_asc_" + name;
    EXPECT_TRUE(std::ofstream(path, std::ios::binary) << text) << path;
    return path;
}

Mesh result;  // large: kept out of the test's stack frame

const Mesh& load(const std::string& name, const std::string& text, int ox = 0, int oy = 0, int oz = 0)
{
    return result = load_asc(temp_file(name, text).c_str(), ox, oy, oz);
}

// Counts within the record, every face's corners naming vertices that exist, finite normals.
void expect_sound(const Mesh& m)
{
    ASSERT_TRUE(m.vertex_count >= 0 && m.vertex_count <= 1800 && m.face_count >= 0 && m.face_count <= 2000);
    for (int j = 0; j < m.face_count; ++j)
        for (const int corner : {m.faces[j].a, m.faces[j].b, m.faces[j].c})
            ASSERT_TRUE(corner >= 0 && corner < m.vertex_count) << "face " << j;
    for (int i = 0; i < m.vertex_count; ++i)
        ASSERT_TRUE(std::isfinite(m.vertices[i].nx + m.vertices[i].ny + m.vertices[i].nz)) << "vertex " << i;
}

// A tetrahedron written the way the forge writes meshes; outward winding.
const char* const tetrahedron =
    "Ambient light color: Red=0.3 Green=0.3 Blue=0.3\nNamed object: \"tetra\"\n"
    "Tri-mesh, Vertices: 4     Faces: 4\nVertex list:\n"
    "Vertex 0:  X: 0.000000     Y: 0.000000     Z: 0.000000\nVertex 1:  X: 10.000000     Y: 0.000000     Z: 0.000000\n"
    "Vertex 2:  X: 0.000000     Y: 10.000000     Z: 0.000000\nVertex 3:  X: 0.000000     Y: 0.000000     Z: 10.000000\n"
    "Face list:\nFace 0:    A:0 B:2 C:1 AB:1 BC:1 CA:1\nSmoothing:  1\nFace 1:    A:0 B:1 C:3 AB:1 BC:1 CA:1\n"
    "Face 2:    A:0 B:3 C:2 AB:1 BC:1 CA:1\nFace 3:    A:1 B:2 C:3 AB:1 BC:1 CA:1\n";

TEST(ReadToken, SplitsOnEveryByteUpTo32KeepsHighBytesAndCutsRunsTo255)
{
    const std::string path = temp_file("tokens", "  one\ttwo\r\n\x01three\xC3\xA9 \x7F" "end " +
                                                     std::string(1000, 'x') + " next");
    std::FILE* f = std::fopen(path.c_str(), "rb");
    char buffer[256];
    EXPECT_STREQ(read_token(buffer, f), "one");
    EXPECT_EQ(std::getc(f), 't');  // exactly one separator was consumed
    EXPECT_STREQ(read_token(buffer, f), "wo");
    EXPECT_STREQ(read_token(buffer, f), "three\xC3\xA9");
    EXPECT_STREQ(read_token(buffer, f), "\x7F" "end");  // 127 is a token byte
    EXPECT_EQ(std::string(read_token(buffer, f)), std::string(255, 'x'));
    EXPECT_STREQ(read_token(buffer, f), "next");  // no separator before the end
    EXPECT_STREQ(read_token(buffer, f), "");
    EXPECT_STREQ(read_token(buffer, f), "");
    std::fclose(f);
}

TEST(LoadAsc, ReadsCountsVerticesFacesOffsetsAndNormalsByStandAloneKeywords)
{
    const Mesh& m = load("tetra", tetrahedron, 250, -3, 1400);
    ASSERT_TRUE(m.vertex_count == 4 && m.face_count == 4) << m.vertex_count << " " << m.face_count;
    EXPECT_TRUE(m.vertices[1].x == 10.0f && m.vertices[1].y == 0.0f && m.vertices[3].z == 10.0f);
    EXPECT_TRUE(m.faces[0].a == 0 && m.faces[0].b == 2 && m.faces[0].c == 1 && m.faces[3].a == 1);
    EXPECT_TRUE(m.offset_x == 250.0f && m.offset_y == -3.0f && m.offset_z == 1400.0f);
    EXPECT_TRUE(m.mode == 0 && m.two_sided == 0 && m.texture == nullptr && m.angle_x + m.angle_y + m.angle_z == 0);
    // Face 0 lies in z = 0 and faces -z: (A - B) x (A - C) with A 0, B 2, C 1.
    const float third = static_cast<float>(1 / std::sqrt(3.0));
    EXPECT_FLOAT_EQ(m.faces[0].nz, -1.0f);
    EXPECT_FLOAT_EQ(m.faces[3].nx, third);
    // Vertex 0: mean of (0, 0, -1), (0, -1, 0), (-1, 0, 0), made unit length.
    EXPECT_FLOAT_EQ(m.vertices[0].nx, -third);
    EXPECT_FLOAT_EQ(m.vertices[0].nz, -third);

    // Keywords must stand alone ("X:7" is not "X:"), corners follow their prefix, and only the first object counts.
    const Mesh& k = load("keywords",
                         "X: 99 junk Vertices: 2 Faces: 1 skipped\nVertex 0: X:7 X: 1.5 Y: -2 Z: 0.25\n"
                         "Vertex 1: X: 3 Y: 4 Z: 5\nFace 0: AB:1 A:1 BC:1 B:0 CA:1 C:1 A:0\n"
                         "Vertices: 5 Faces: 5 X: 1 Y: 1 Z: 1\n");
    ASSERT_TRUE(k.vertex_count == 2 && k.face_count == 1) << k.vertex_count << " " << k.face_count;
    EXPECT_TRUE(k.vertices[0].x == 1.5f && k.vertices[0].y == -2.0f && k.vertices[0].z == 0.25f);
    EXPECT_TRUE(k.faces[0].a == 1 && k.faces[0].b == 0 && k.faces[0].c == 1);
}

TEST(LoadAsc, CornerCoordinatesComeFromTheVertexNormalsAndWrapAt256)
{
    // u = trunc(128 - 128 nx) & 255, v likewise from ny: facing -x or -y wraps 256 to 0.
    struct Case { const char* vertices; float nx, ny, nz; int u, v; };
    const float half = static_cast<float>(std::sqrt(0.5));
    for (const Case& c : {Case{"X: 0 Y: 0 Z: 0 X: 0 Y: 0 Z: 10 X: 0 Y: 10 Z: 0", -1, 0, 0, 0, 128},
                          {"X: 0 Y: 0 Z: 0 X: 10 Y: 0 Z: 0 X: 0 Y: 10 Z: 0", 0, 0, 1, 128, 128},
                          {"X: 0 Y: 0 Z: 0 X: 10 Y: 0 Z: 0 X: 0 Y: 0 Z: 10", 0, -1, 0, 128, 0},
                          {"X: 0 Y: 0 Z: 0 X: 10 Y: 0 Z: 0 X: 0 Y: 10 Z: 10", 0, -half, half, 128, 218}}) {
        const Mesh& m = load("uv", std::string("Vertices: 3 Faces: 1 list: ") + c.vertices + " A:0 B:1 C:2");
        ASSERT_EQ(m.face_count, 1);
        for (const Vertex& v : {m.vertices[0], m.vertices[1], m.vertices[2]})
            EXPECT_TRUE(v.nx == c.nx && v.ny == c.ny && v.nz == c.nz) << c.nx << " " << c.ny << " " << c.nz;
        const Face& f = m.faces[0];
        EXPECT_TRUE(f.u_a == c.u && f.u_b == c.u && f.u_c == c.u && f.v_a == c.v && f.v_b == c.v && f.v_c == c.v)
            << c.nx << " " << c.ny << " " << c.nz;
    }
}

TEST(LoadAsc, ZeroAndNonFiniteInputGivesFiniteNormals)
{
    // Faces 0 and 1: one triangle wound both ways; face 2 degenerate; vertex 4 unused; face 3 names a vertex twice.
    const Mesh& m = load("zero",
                         "Vertices: 6 Faces: 4 list:\nX: 0 Y: 0 Z: 0\nX: 10 Y: 0 Z: 0\nX: 0 Y: 10 Z: 0\n"
                         "X: 5 Y: 5 Z: 5\nX: 9 Y: 9 Z: 9\nX: 0 Y: 0 Z: 10\n"
                         "A:0 B:1 C:2\nA:0 B:2 C:1\nA:3 B:3 C:3\nA:5 B:5 C:0\n");
    ASSERT_EQ(m.face_count, 4);
    expect_sound(m);
    EXPECT_EQ(m.vertices[1].nz, 0.0f);  // opposite normals cancel: given 0, 0, 0
    EXPECT_EQ(m.vertices[4].nz, 0.0f);  // unused
    EXPECT_EQ(m.faces[2].nx, 0.0f);
    EXPECT_TRUE(m.faces[2].u_a == 128 && m.faces[2].v_a == 128);

    const Mesh& n = load("nan",
                         "Vertices: 4 Faces: 2 list:\nX: nan Y: 0 Z: 0\nX: 1e999 Y: 10 Z: 0\n"
                         "X: 10 Y: -inf Z: 1e300\nX: 0 Y: 0 Z: 5\nA:0 B:1 C:2\nA:1 B:2 C:3\n");
    ASSERT_EQ(n.face_count, 2);
    expect_sound(n);
    EXPECT_TRUE(std::isinf(n.vertices[1].x));
}

TEST(LoadAsc, MissingTruncatedOversizedOrGarbageFilesAndBadIndicesEndInASoundMesh)
{
    result.vertex_count = 77;
    result = load_asc("qd\\3d\\no_such_mesh.asc", 1, 2, 3);
    EXPECT_TRUE(result.vertex_count == 0 && result.face_count == 0 && result.offset_z == 3.0f);

    std::string text = "Vertices: 99999999999999999999 Faces: 5000 list:\n";
    for (int i = 0; i < 1900; ++i) text += "X: " + std::to_string(i) + " Y: 1 Z: 2\n";
    for (int j = 0; j < 2100; ++j) text += "A:" + std::to_string(j % 1900) + " B:1 C:2\n";
    const Mesh& m = load("big", text);  // held to the record; of the 2000 faces read, 100 name vertices past 1799
    EXPECT_TRUE(m.vertex_count == 1800 && m.vertices[1799].x == 1799.0f && m.face_count == 1900) << m.face_count;
    expect_sound(m);

    const Mesh& n = load("negative", "Vertices: -4 Faces: -1 list: X: 1 Y: 2 Z: 3 A:0 B:0 C:0");
    EXPECT_TRUE(n.vertex_count == 0 && n.face_count == 0);

    const Mesh& bad = load("indices",
                           "Vertices: 3 Faces: 4 list: X: 0 Y: 0 Z: 0 X: 0 Y: 10 Z: 0 X: 10 Y: 0 Z: 0\n"
                           "A:0 B:1 C:3\nA:-1 B:1 C:2\nA:99999999999999999999 B:1 C:2\nA:0 B:1 C:2\n");
    ASSERT_EQ(bad.face_count, 1);  // faces naming missing vertices are dropped
    EXPECT_EQ(bad.faces[0].c, 2);

    const std::string full = tetrahedron;
    for (std::size_t length = 0; length <= full.size(); ++length) {
        const Mesh& cut = load("cut", full.substr(0, length));
        ASSERT_TRUE(cut.vertex_count <= 4 && cut.face_count <= 4) << length;
        expect_sound(cut);
    }
    // Ends inside the vertex list: the vertices read so far, no faces.
    const Mesh& part = load("part", full.substr(0, full.find("Vertex 2:")));
    EXPECT_TRUE(part.vertex_count == 2 && part.face_count == 0);  // wilder input: tests/fuzz/fuzz_asc.cpp
}

}  // namespace
