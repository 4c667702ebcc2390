// test_asc.cpp -- the token reader and the ASCII mesh reader: layout, normals and
// sphere-map u/v, and damaged files that must end in a sound mesh.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "assets/assets.h"

namespace {

std::string temp_file(const std::string& name, const std::string& text)
{
    const std::string path = ::testing::TempDir() + "velmora_asc_" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return path;
}

Mesh result;  // large: kept out of the test's stack frame

const Mesh& load(const std::string& name, const std::string& text, int ox = 0, int oy = 0, int oz = 0)
{
    result = load_asc(temp_file(name, text).c_str(), ox, oy, oz);
    return result;
}

// A tetrahedron written the way the forge writes meshes; outward winding.
const char* const tetrahedron =
    "Ambient light color: Red=0.3 Green=0.3 Blue=0.3\n"
    "Named object: \"tetra\"\n"
    "Tri-mesh, Vertices: 4     Faces: 4\n"
    "Vertex list:\n"
    "Vertex 0:  X: 0.000000     Y: 0.000000     Z: 0.000000\n"
    "Vertex 1:  X: 10.000000     Y: 0.000000     Z: 0.000000\n"
    "Vertex 2:  X: 0.000000     Y: 10.000000     Z: 0.000000\n"
    "Vertex 3:  X: 0.000000     Y: 0.000000     Z: 10.000000\n"
    "Face list:\n"
    "Face 0:    A:0 B:2 C:1 AB:1 BC:1 CA:1\n"
    "Smoothing:  1\n"
    "Face 1:    A:0 B:1 C:3 AB:1 BC:1 CA:1\n"
    "Face 2:    A:0 B:3 C:2 AB:1 BC:1 CA:1\n"
    "Face 3:    A:1 B:2 C:3 AB:1 BC:1 CA:1\n";

TEST(ReadToken, SplitsOnEveryByteUpTo32AndKeepsHighBytes)
{
    const std::string path = temp_file("tokens", "  one\ttwo\r\n\x01three\xC3\xA9 \x7F" "end");
    std::FILE* f = std::fopen(path.c_str(), "rb");
    char buffer[256];
    EXPECT_STREQ(read_token(buffer, f), "one");
    EXPECT_EQ(std::getc(f), 't');  // exactly one separator was consumed
    EXPECT_STREQ(read_token(buffer, f), "wo");
    EXPECT_STREQ(read_token(buffer, f), "three\xC3\xA9");
    EXPECT_STREQ(read_token(buffer, f), "\x7F" "end");  // 127 is a token byte; no separator before the end
    EXPECT_STREQ(read_token(buffer, f), "");
    EXPECT_STREQ(read_token(buffer, f), "");
    std::fclose(f);
}

TEST(ReadToken, LongRunsAreCutTo255Bytes)
{
    const std::string path = temp_file("long", std::string(1000, 'x') + " next");
    std::FILE* f = std::fopen(path.c_str(), "rb");
    char buffer[256];
    EXPECT_EQ(std::string(read_token(buffer, f)), std::string(255, 'x'));
    EXPECT_STREQ(read_token(buffer, f), "next");
    std::fclose(f);
}

TEST(LoadAsc, ReadsCountsVerticesFacesAndOffsets)
{
    const Mesh& m = load("tetra", tetrahedron, 250, -3, 1400);
    ASSERT_EQ(m.vertex_count, 4);
    ASSERT_EQ(m.face_count, 4);
    EXPECT_EQ(m.vertices[1].x, 10.0f);
    EXPECT_EQ(m.vertices[3].z, 10.0f);
    EXPECT_EQ(m.faces[0].a, 0);
    EXPECT_EQ(m.faces[0].b, 2);
    EXPECT_EQ(m.faces[0].c, 1);
    EXPECT_EQ(m.faces[3].a, 1);
    EXPECT_EQ(m.offset_x, 250.0f);
    EXPECT_EQ(m.offset_y, -3.0f);
    EXPECT_EQ(m.offset_z, 1400.0f);
    EXPECT_EQ(m.mode, 0);
    EXPECT_EQ(m.two_sided, 0);
    EXPECT_EQ(m.texture, nullptr);
    EXPECT_EQ(m.angle_x + m.angle_y + m.angle_z, 0);
    // Face 0 lies in z = 0 and faces -z: (A - B) x (A - C) with A 0, B 2, C 1.
    EXPECT_FLOAT_EQ(m.faces[0].nz, -1.0f);
    EXPECT_FLOAT_EQ(m.faces[3].nx, static_cast<float>(1 / std::sqrt(3.0)));
    // Vertex 0: mean of (0, 0, -1), (0, -1, 0), (-1, 0, 0), made unit length.
    EXPECT_FLOAT_EQ(m.vertices[0].nx, static_cast<float>(-1 / std::sqrt(3.0)));
    EXPECT_FLOAT_EQ(m.vertices[0].nz, static_cast<float>(-1 / std::sqrt(3.0)));
}

TEST(LoadAsc, KeywordsMustStandAloneAndOnlyTheFirstObjectIsRead)
{
    const Mesh& m = load("keywords",
                         "X: 99 junk Vertices: 2 Faces: 1 skipped\n"
                         "Vertex 0: X:7 X: 1.5 Y: -2 Z: 0.25\n"
                         "Vertex 1: X: 3 Y: 4 Z: 5\n"
                         "Face 0: AB:1 A:1 BC:1 B:0 CA:1 C:1 A:0\n"
                         "Vertices: 5 Faces: 5 X: 1 Y: 1 Z: 1\n");
    ASSERT_EQ(m.vertex_count, 2);
    EXPECT_EQ(m.vertices[0].x, 1.5f);
    EXPECT_EQ(m.vertices[0].y, -2.0f);
    EXPECT_EQ(m.vertices[0].z, 0.25f);
    ASSERT_EQ(m.face_count, 1);
    EXPECT_EQ(m.faces[0].a, 1);
    EXPECT_EQ(m.faces[0].b, 0);
    EXPECT_EQ(m.faces[0].c, 1);
}

TEST(LoadAsc, CornerCoordinatesComeFromTheVertexNormals)
{
    // One face in x = 0 facing +x: every corner (1, 0, 0) gives u 0, v 128.
    const std::string header = "Vertices: 3 Faces: 1 list:\n";
    const std::string plane_x = "X: 0 Y: 0 Z: 0\nX: 0 Y: 10 Z: 0\nX: 0 Y: 0 Z: 10\n";
    const Mesh& px = load("px", header + plane_x + "A:0 B:1 C:2\n");
    EXPECT_EQ(px.faces[0].u_a, 0);
    EXPECT_EQ(px.faces[0].v_b, 128);
    EXPECT_EQ(px.faces[0].u_c, 0);
    // Facing -x: 128 + 128 = 256 keeps its low 8 bits, 0.
    const Mesh& nx = load("nx", header + plane_x + "A:0 B:2 C:1\n");
    EXPECT_FLOAT_EQ(nx.vertices[1].nx, -1.0f);
    EXPECT_EQ(nx.faces[0].u_a, 0);
    EXPECT_EQ(nx.faces[0].v_a, 128);
    // In z = 0 facing +z: u 128, v 128.
    const Mesh& pz = load("pz", header + "X: 0 Y: 0 Z: 0\nX: 10 Y: 0 Z: 0\nX: 0 Y: 10 Z: 0\nA:0 B:1 C:2\n");
    EXPECT_FLOAT_EQ(pz.vertices[0].nz, 1.0f);
    EXPECT_EQ(pz.faces[0].u_b, 128);
    EXPECT_EQ(pz.faces[0].v_c, 128);
    // Facing -y: v = 128 + 128 = 256 -> 0; facing +y would give 0 as well.
    const Mesh& ny = load("ny", header + "X: 0 Y: 0 Z: 0\nX: 10 Y: 0 Z: 0\nX: 0 Y: 0 Z: 10\nA:0 B:1 C:2\n");
    EXPECT_FLOAT_EQ(ny.vertices[0].ny, -1.0f);
    EXPECT_EQ(ny.faces[0].u_a, 128);
    EXPECT_EQ(ny.faces[0].v_a, 0);
}

TEST(LoadAsc, ZeroNormalsAreFiniteAndDegenerateFacesHarmless)
{
    // Faces 0 and 1 are the same triangle wound both ways (opposite normals), face 2
    // is degenerate, vertex 4 is used by no face, face 3 names one vertex twice.
    const Mesh& m = load("zero",
                         "Vertices: 6 Faces: 4 list:\n"
                         "X: 0 Y: 0 Z: 0\nX: 10 Y: 0 Z: 0\nX: 0 Y: 10 Z: 0\nX: 5 Y: 5 Z: 5\n"
                         "X: 9 Y: 9 Z: 9\nX: 0 Y: 0 Z: 10\n"
                         "A:0 B:1 C:2\nA:0 B:2 C:1\nA:3 B:3 C:3\nA:5 B:5 C:0\n");
    ASSERT_EQ(m.face_count, 4);
    for (int i = 0; i < 6; ++i) {
        EXPECT_TRUE(std::isfinite(m.vertices[i].nx) && std::isfinite(m.vertices[i].ny) &&
                    std::isfinite(m.vertices[i].nz))
            << i;
    }
    EXPECT_EQ(m.vertices[1].nx, 0.0f);  // opposite normals cancel: given 0, 0, 0
    EXPECT_EQ(m.vertices[4].nz, 0.0f);  // unused
    EXPECT_EQ(m.faces[2].nx, 0.0f);
    EXPECT_EQ(m.faces[2].u_a, 128);
    EXPECT_EQ(m.faces[2].v_a, 128);
}

TEST(LoadAsc, MissingFilesGiveAnEmptyMesh)
{
    result.vertex_count = 77;
    result = load_asc("qd\\3d\\no_such_mesh.asc", 1, 2, 3);
    EXPECT_EQ(result.vertex_count, 0);
    EXPECT_EQ(result.face_count, 0);
    EXPECT_EQ(result.offset_z, 3.0f);
}

TEST(LoadAsc, CountsAreHeldToTheRecordAndBadIndicesDropped)
{
    std::string text = "Vertices: 99999999999999999999 Faces: 5000 list:\n";
    for (int i = 0; i < 1900; ++i) text += "X: " + std::to_string(i) + " Y: 1 Z: 2\n";
    for (int j = 0; j < 2100; ++j) text += "A:" + std::to_string(j % 1900) + " B:1 C:2\n";
    const Mesh& m = load("big", text);
    EXPECT_EQ(m.vertex_count, 1800);
    EXPECT_EQ(m.vertices[1799].x, 1799.0f);
    EXPECT_LE(m.face_count, 2000);
    for (int j = 0; j < m.face_count; ++j) ASSERT_LT(m.faces[j].a, 1800);

    const Mesh& n = load("negative", "Vertices: -4 Faces: -1 list: X: 1 Y: 2 Z: 3 A:0 B:0 C:0");
    EXPECT_EQ(n.vertex_count, 0);
    EXPECT_EQ(n.face_count, 0);

    const Mesh& bad = load("indices",
                           "Vertices: 3 Faces: 4 list: X: 0 Y: 0 Z: 0 X: 0 Y: 10 Z: 0 X: 10 Y: 0 Z: 0\n"
                           "A:0 B:1 C:3\nA:-1 B:1 C:2\nA:99999999999999999999 B:1 C:2\nA:0 B:1 C:2\n");
    ASSERT_EQ(bad.face_count, 1);
    EXPECT_EQ(bad.faces[0].c, 2);
}

TEST(LoadAsc, NonFiniteCoordinatesGiveFiniteNormals)
{
    const Mesh& m = load("nan",
                         "Vertices: 4 Faces: 2 list:\n"
                         "X: nan Y: 0 Z: 0\nX: 1e999 Y: 10 Z: 0\nX: 10 Y: -inf Z: 1e300\nX: 0 Y: 0 Z: 5\n"
                         "A:0 B:1 C:2\nA:1 B:2 C:3\n");
    ASSERT_EQ(m.face_count, 2);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(std::isfinite(m.vertices[i].nx) && std::isfinite(m.vertices[i].ny));
    EXPECT_TRUE(std::isinf(m.vertices[1].x));
}

TEST(LoadAsc, EveryTruncationOfAFileEndsSoundly)
{
    const std::string full = tetrahedron;
    for (std::size_t n = 0; n <= full.size(); ++n) {
        const Mesh& m = load("cut", full.substr(0, n));
        ASSERT_LE(m.vertex_count, 4);
        ASSERT_LE(m.face_count, 4);
        for (int j = 0; j < m.face_count; ++j) ASSERT_LT(m.faces[j].c, m.vertex_count);
    }
    EXPECT_EQ(load("whole", full).face_count, 4);
    // Ends inside the vertex list: the vertices read so far, no faces.
    const std::size_t cut = full.find("Vertex 2:");
    const Mesh& part = load("part", full.substr(0, cut));
    EXPECT_EQ(part.vertex_count, 2);
    EXPECT_EQ(part.face_count, 0);
}

TEST(LoadAsc, GarbageNeverFaults)
{
    std::mt19937 random(7);
    const char* words[] = {"Vertices:", "Faces:", "X:", "Y:", "Z:", "A:", "B:3", "C:-9", "1e40", "-0", "nan",
                           "12", "\n", " ", "\t", "\xFF", "A:1800", "inf", "7.5e-3"};
    for (int trial = 0; trial < 300; ++trial) {
        std::string text;
        const int length = static_cast<int>(random() % 400);
        for (int i = 0; i < length; ++i) {
            if (random() % 5 == 0) text += static_cast<char>(random() % 256);
            text += words[random() % (sizeof words / sizeof *words)];
            text += ' ';
        }
        const Mesh& m = load("garbage", text);
        ASSERT_GE(m.vertex_count, 0);
        ASSERT_LE(m.face_count, 2000);
        for (int j = 0; j < m.face_count; ++j)
            ASSERT_TRUE(m.faces[j].a < m.vertex_count && m.faces[j].b < m.vertex_count &&
                        m.faces[j].c < m.vertex_count);
    }
}

}  // namespace
