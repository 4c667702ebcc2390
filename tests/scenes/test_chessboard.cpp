// test_chessboard.cpp -- the plane table, the darkening floor and the chessboard scene's
// frames as described: floor, flares, and the forge's two meshes turning before a
// viewpoint that backs away and returns by row.
#include "fake_music.h"
#include "reference_render.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

#include <cmath>

namespace {

std::uint32_t darken_ref(std::uint32_t t, int shade)
{
    std::uint32_t out = 0;
    for (int s = 0; s < 24; s += 8) out |= std::uint32_t(std::max(0, int(t >> s & 255) - shade)) << s;
    return out;
}

void reference_floor(TestPicture& frame, std::uint32_t scroll)
{
    for (int n = 0; n < 32000; ++n)
        frame[32000 + n] = darken_ref(floor_texture[(plane_table[n] + scroll) & 0xFFFF], (32000 - n) / 125);
}

}  // namespace

TEST(Floor, PlaneTableRowsSpreadAboutColumn160AndTheFloorDarkensToTheHorizonAndScrolls)
{
    build_plane_table();
    for (int k = 1; k <= 99; ++k)
        for (int c = 0; c < 320; ++c) {  // the lateral part written as one division
            const int u = (c - 160) * 262144 / (118784 + 4096 * (k - 1));
            ASSERT_EQ(plane_table[(k - 1) * 320 + c], (16384 / (k + 30) * 256 + u) & 0xFFFF) << k << "," << c;
        }
    for (int n = 99 * 320; n < 32000; ++n) ASSERT_EQ(plane_table[n], 0) << n;

    open_test_display();
    std::fill(std::begin(floor_texture), std::end(floor_texture), 0xFFFFFFu);
    floor_scroll = 0xFFFFFF00u;  // wraps in 32 bits; the low 16 bits index
    floor_texture[0xFF00] = 0xFEFDFC;  // the bottom row's one texel (table row 100 is zero)
    draw_floor();
    EXPECT_TRUE(screen[32000] == 0u && screen[32001] == 0u && screen[32126] == 0x010101u);  // shades 256, 255, 254
    EXPECT_TRUE(screen[63680] == 0xFCFBFAu && screen[63780] == 0xFDFCFBu && screen[63999] == 0xFEFDFCu);  // 2, 1, 0
    EXPECT_EQ(floor_scroll, 0xFFFFFF00u + 0x403u);
}

class ChessboardTest : public SceneFolderTest {
protected:
    void SetUp() override
    {
        SceneFolderTest::SetUp();
        const char* names[] = {"qd\\gfx\\sprites\\flaren.pcx", "qd\\gfx\\sprites\\flaren1.pcx",
                               "qd\\gfx\\sprites\\flaren2.pcx", "qd\\gfx\\bak\\desine.pcx",
                               "qd\\gfx\\textures\\chess2.pcx",   "qd\\gfx\\textures\\sten.pcx",
                               "qd\\gfx\\textures\\minenv3.pcx"};
        for (int i = 0; i < 7; ++i) write_test_picture(names[i], pictures[i] = random_picture(40 + i));
        open_test_display();
    }
    TestPicture pictures[7];  // three flares, the background, the floor, the two environment maps
};

TEST_F(ChessboardTest, FramesShowTheFloorAndFlaresAndTheCameraMovesByRow)
{
    // Row 31 for three frames (camera away), then row 32 for two (back).
    fake_music_script([](long f, long) { return f < 3 ? 14u | 31u << 16 : f < 5 ? 15u | 32u << 16 : 16u; });
    keep_presented_frames(true);
    const std::uint32_t scroll = floor_scroll;
    std::fill(std::begin(depth_buffer), std::end(depth_buffer), 30000);
    chessboard_scene();
    ASSERT_EQ(fake_music_frames(), 5);
    for (int r = 0; r < 256; r += 7)
        for (int c = 0; c < 256; c += 3) ASSERT_EQ(floor_texture[r * 256 + c], pictures[4][c / 2 * 320 + r]);

    const TestPicture sten = transposed_texture(pictures[5]), minenv3 = transposed_texture(pictures[6]);
    int camera_z = -1500;
    long drawn = 0;
    for (int i = 0; i < 5; ++i) {
        TestPicture expected = i == 0 ? pictures[2] : pictures[3];  // the last flare picture, then the background
        reference_floor(expected, scroll + 0x403u * i);
        const int a = 3 * (i + 1);
        for (int t = 0, k = 1; t < 360; t += 90, ++k) {  // the circle of 140 and the figure-eight
            const double c = (t + a) * 0.0174532, across = ((t >> 1) + a / 2) * 0.0174532;
            const std::uint32_t* flare = pictures[k % 3].data();
            const int circle_x = 139 + int(140 * std::cos(c)), eight_x = 139 + int(100 * std::cos(across));
            reference_add_sprite(expected, flare, 320, 43, 43, circle_x, 79 + int(140 * std::sin(c)));
            reference_add_sprite(expected, flare, 320, 43, 43, eight_x, 79 + int(100 * std::sin(c)));
        }
        // The balls tumble 3 degrees a frame about every axis, the centre piece 3 about x and back 1 and 2
        // about z and y, both environment-mapped, seen from 1000 up, tilted 20 degrees, 40 further or nearer a frame.
        Object3D& floor = described_object();
        describe_mesh(floor.meshes[0], "qd\\3d\\bollar.asc", 0, 0, 0, mode_env_mapped, &sten, a % 360, a % 360,
                      a % 360);
        describe_mesh(floor.meshes[1], "qd\\3d\\cia.asc", 0, 0, 0, mode_env_mapped, &minenv3, a % 360,
                      359 * (i + 1) % 360, 358 * (i + 1) % 360);
        camera_z += i < 3 ? -40 : 40;
        place_viewpoint(floor, 2, 0, -1000, camera_z, 20);
        drawn += draw_reference(expected, floor, 30000);
        EXPECT_TRUE(same_frame(presented_frame(i), expected)) << "frame " << i;
    }
    EXPECT_GT(drawn, 5 * 1000) << "the meshes are in view";
    EXPECT_EQ(floor_object.camera_z, -1500 - 3 * 40 + 2 * 40);
    EXPECT_EQ(std::count(std::begin(depth_buffer), std::end(depth_buffer), 30000), 64000);
}

