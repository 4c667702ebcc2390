// test_fleet.cpp -- the fleet scene: polar table, stars, the first frames as described
// (the forge's ships, shuttle and the flare square placed, turning and swaying over
// tunnel and stars), sway, recycling, motion, white frames, feedback.
#include "fake_music.h"
#include "reference_render.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

#include <cmath>
#include <cstdlib>
#include <fstream>

namespace {

bool all_pixels(const std::uint32_t* f, std::uint32_t v) { return f && std::count(f, f + 64000, v) == 64000; }

struct Snapshot {
    int x, z, roll, star_z;
    float ship_z[7], shuttle_x;
};

std::vector<Snapshot> snapshots;

// Runs the scene for `frames` frames at (order, row), then order 2; returns the
// state at the end of every frame (entry 0: before the first).
std::vector<Snapshot> run_fleet(int frames, std::uint32_t order, std::uint32_t row)
{
    snapshots.clear();
    fake_music_script([=](long presented, long) {
        if (static_cast<long>(snapshots.size()) == presented) {
            const Object3D& o = fleet_object;
            Snapshot s{o.camera_x, o.camera_z, o.camera_angle_z, stars[0].z, {}, o.meshes[7].offset_x};
            for (int k = 0; k < 7; ++k) s.ship_z[k] = o.meshes[k].offset_z;
            snapshots.push_back(s);
        }
        return presented < frames ? order | row << 16 : 2u;
    });
    fleet_scene();
    return snapshots;
}

class FleetScene : public SceneFolderTest {
protected:
    void SetUp() override
    {
        SceneFolderTest::SetUp();
        open_test_display();
        keep_presented_frames(true);
        for (auto& d : depth_buffer) d = 4000;
    }
};


TEST(FleetParts, PolarTableAndStars)
{
    build_polar_table();  // centre, the negative x axis, (-160, -99)
    EXPECT_TRUE(polar_table[32160] == 0 && polar_table[32000] == (160 | 128 << 8) &&
                polar_table[63680] == (188 | 151 << 8));

    open_test_display();
    std::fill(screen, screen + frame_pixels + 320, 0u);  // with the margin row below
    for (auto& s : stars) s = {319, 0, 10};              // off the frame's right edge
    stars[0] = {0, 0, 256};                              // (160, 100)
    stars[1] = {-160, 50, 256};                          // column 0: not drawn
    stars[2] = {159, 10, 256};                           // column 319: right arm on the next row
    stars[3] = {10, 99, 256};                            // row 199: no arm below
    draw_stars(3, 0xAFAFAFAFu);
    for (int n : {100 * 320 + 160, 110 * 320 + 319, 199 * 320 + 170}) EXPECT_EQ(screen[n], 0xAFAFAFAFu);
    for (int n : {100 * 320 + 159, 99 * 320 + 160, 101 * 320 + 160, 111 * 320 + 0, 198 * 320 + 170})
        EXPECT_EQ(screen[n], 0x57575757u);
    EXPECT_EQ(std::count(screen, screen + frame_pixels + 320, 0u), frame_pixels + 320 - 14);
    EXPECT_TRUE(stars[0].z == 253 && stars[5].x == 319 && stars[5].z == 1000);  // below 10: back at 1000
}

// The fleet's tunnel table: distance in the low byte, angle (one turn in about 256 steps) in the high one.
std::uint32_t fleet_polar_entry(int n)
{
    const int x = n % 320 - 160, y = 100 - n / 320;
    if (x == 0 && y == 0) return 0;
    return (int(std::sqrt(double(x * x + y * y))) & 255) | (int(std::atan2(double(y), double(x)) * 40.8) & 255) << 8;
}

// The first 60 frames of order 0 from the description alone: the star field from the scene's
// rand() calls, the tunnel, seven ships (three spinning 2 degrees a frame) flying forward and
// the small ones recycled behind the viewpoint, the shuttle and the flare square turning with
// the sway that moves and rolls the viewpoint, the white sixth frame and the beat blur.
TEST_F(FleetScene, FirstFramesShowTheFleetAsPlacedMovingSwayingAndBlurredOnTheBeat)
{
    const TestPicture ship = random_picture(51), shuttle = random_picture(52), flare = random_picture(53, 90),
                      tunnel = random_picture(54);
    write_test_picture("qd\\gfx\\textures\\metroid2.pcx", ship);
    write_test_picture("qd\\gfx\\textures\\shutex4a.pcx", shuttle);
    write_test_picture("qd\\gfx\\textures\\flare.pcx", flare);
    write_test_picture("qd\\gfx\\textures\\cbak1.pcx", tunnel);
    const TestPicture ship_texture = transposed_texture(ship), shuttle_texture = transposed_texture(shuttle),
                      flare_texture = transposed_texture(flare), tunnel_texture = transposed_texture(tunnel);
    fake_music_script([](long presented, long) { return presented < 60 ? std::uint32_t(presented / 4) << 16 : 2u; });
    const std::uint32_t offset = tunnel_offset_1;
    std::srand(5);
    fleet_scene();
    ASSERT_EQ(fake_music_frames(), 60);

    std::srand(5);
    Star field[star_count];
    for (Star& star : field) {
        star.x = std::rand() % 640 - 320;
        star.y = std::rand() % 400 - 200;
        star.z = std::rand() % 1000 + 10;
    }
    const char* meshes[7] = {"metroid", "metroid1", "metroid2", "metroid3", "metroid3", "metroid3", "metroid3"};
    float ships[7][3] = {{0, -200, -250}, {300, 100, -300}, {-300, 100, -200}, {-200, 150, -200},
                         {200, 50, -200}, {200, -150, -200}, {-200, -150, -200}};
    const float speeds[7] = {9, 5, 6, 29, 25, 26, 29}, behind[4] = {100, 200, 150, 300};
    Mesh square{};  // 100 units square, two-sided, additive, sampled one texel inside the edges
    square.vertices[0] = {-50, 50, 0, 0, 0, 0}, square.vertices[1] = {50, 50, 0, 0, 0, 0};
    square.vertices[2] = {-50, -50, 0, 0, 0, 0}, square.vertices[3] = {50, -50, 0, 0, 0, 0};
    square.faces[0] = {0, 1, 2, 1, 1, 254, 1, 1, 254, 0, 0, 0, 0};
    square.faces[1] = {1, 3, 2, 254, 1, 254, 254, 1, 254, 0, 0, 0, 0};
    square.vertex_count = 4, square.face_count = 2, square.two_sided = 1, square.mode = mode_additive;
    square.texture = flare_texture.data(), square.offset_z = -195;
    int counter = 10, x = 0, y = 0, z = -300, roll = 10, sway = 0;  // sway: the shuttle's and square's turn
    bool forward = true;
    long drawn = 0;
    for (int f = 0; f < 60; ++f) {
        const int k = f + 1, row = f / 4;
        if (forward) ++counter, forward = counter <= 20, ++sway, ++roll, x += 2, --y, ++z;
        if (!forward) --counter, forward = counter < 1, --sway, --roll, x -= 2, ++y, z -= 2;
        Object3D& fleet = described_object();
        for (int s = 0; s < 7; ++s) {
            ships[s][2] += speeds[s];
            if (s >= 3 && ships[s][2] > float(z + 1100)) ships[s][2] = float(z) - behind[s - 3];
            describe_mesh(fleet.meshes[s], (std::string("qd\\3d\\") + meshes[s] + ".asc").c_str(), ships[s][0],
                          ships[s][1], ships[s][2], mode_textured, &ship_texture, s == 0 ? 2 * k % 360 : 0,
                          s == 2 ? 2 * k % 360 : 0, s == 1 ? 2 * k % 360 : 0);
        }
        describe_mesh(fleet.meshes[7], "qd\\3d\\shuttle.asc", 0, 0, -150, mode_textured, &shuttle_texture, 90, 0,
                      270 + sway);
        fleet.meshes[8] = square;
        fleet.meshes[8].angle_z = 40 - sway;
        place_viewpoint(fleet, 9, x, y, z, 0, roll, 0);

        TestPicture expected(64000);
        for (int n = 0; n < 64000; ++n)
            expected[n] = tunnel_texture[(fleet_polar_entry(n) + offset + 65278u * std::uint32_t(f)) & 0xFFFF];
        for (Star& star : field) {  // plus signs, moving 50 a frame towards the viewer
            const int sx = star.x * 256 / star.z + 160, sy = star.y * 256 / star.z + 100, c = sy * 320 + sx;
            if (sx > 0 && sx < 320 && sy > 0 && sy < 200) {
                expected[c] = 0xAFAFAFAFu;
                for (const int arm : {c - 1, c + 1, c - 320, c + 320})
                    if (arm < 64000) expected[arm] = 0x57575757u;
            }
            star.z = star.z - 50 < 10 ? 1000 : star.z - 50;
        }
        drawn += draw_reference(expected, fleet);
        if ((row + 1) % 8 == 0) smear(expected.data(), 5 + std::rand() % 4);
        if (f == 5) std::fill(expected.begin(), expected.end(), 0xFFFFFFFFu);  // the sixth frame is white
        ASSERT_TRUE(same_frame(presented_frame(f), as_shown(expected))) << "frame " << f;
    }
    EXPECT_GT(drawn, 60 * 2000) << "the fleet is in view";
}

}  // namespace

TEST_F(FleetScene, SecondOrderSlowsTheStarsDriftsAndChases)
{
    const auto shots = run_fleet(60, 1, 0);
    for (int f = 1; f <= 60; ++f) {
        const int z = shots[f - 1].star_z - std::max(5, 50 - f);
        ASSERT_TRUE(shots[f].star_z == (z < 10 ? 1000 : z) && shots[f].z == -300 - 6 * f && shots[f].roll == 10 &&
                    shots[f].shuttle_x == 2.0f * f) << f;
    }
    const auto chase = run_fleet(3, 1, 39);  // z +23 - 6 while behind the shuttle; x catches up once
    EXPECT_TRUE(chase.back().z == -300 + 3 * 17 && chase.back().x == 6);
}

TEST_F(FleetScene, SixthFrameAndOrderOneAfterRow54AreWhite)
{
    run_fleet(8, 1, 54);
    for (int f = 0; f < 8; ++f) EXPECT_EQ(all_pixels(presented_frame(f), 0xFFFFFF), f == 5) << f;
    run_fleet(4, 1, 55);
    for (int f = 0; f < 4; ++f) EXPECT_TRUE(all_pixels(presented_frame(f), 0xFFFFFF)) << f;
}

TEST_F(FleetScene, FeedbackMixesThePreviousFrameWithTheTunnelAndBlurs)
{
    std::filesystem::create_directories("qd/3d");  // empty meshes, black flare: background and stars remain
    for (const char* mesh : {"metroid", "metroid1", "metroid2", "metroid3", "shuttle"})
        std::ofstream(std::string("qd/3d/") + mesh + ".asc");
    write_test_picture("qd\\gfx\\textures\\flare.pcx", black_picture());
    const std::uint32_t offset_1 = tunnel_offset_1;
    run_fleet(5, 1, 38);
    for (std::uint32_t f = 1; f < 5; ++f) {
        const std::uint32_t *before = presented_frame(f - 1), *frame = presented_frame(f);
        TestPicture expected(frame_pixels);
        for (int i = 0; i < frame_pixels; ++i)
            expected[i] = blend_mix(before[i], tunnel_texture_3[(polar_table[i] + offset_1 + f * 65278u) & 65535], 230);
        smear(expected.data(), 20);
        for (int i = 0; i < frame_pixels; ++i)
            ASSERT_TRUE(frame[i] == expected[i] || frame[i] == 0xAFAFAF || frame[i] == 0x575757) << f << " " << i;
    }
}
