// test_fleet.cpp -- the fleet scene: polar table, stars, sway, recycling, the
// second order's motion, the white frames, the feedback and the key.
#include "fake_music.h"
#include "scene_pictures.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

#include <fstream>
#include <memory>

namespace {

bool all_pixels(const std::uint32_t* f, std::uint32_t v)
{
    return f && std::all_of(f, f + frame_pixels, [v](std::uint32_t p) { return p == v; });
}

struct Snapshot {
    int x, y, z, roll, flare_roll, shuttle_yaw, spin, star_z;
    float ship_z[7], shuttle_x;
};

// Runs the scene for `frames` frames at (order, row), then order 2; returns the
// state at the end of every frame (entry 0: before the first).
std::vector<Snapshot> run_fleet(int frames, std::uint32_t order, std::uint32_t row)
{
    auto shots = std::make_shared<std::vector<Snapshot>>();
    fake_music_script([=](long presented, long) {
        if (static_cast<long>(shots->size()) == presented) {
            const Object3D& o = fleet_object;
            Snapshot s{o.camera_x, o.camera_y, o.camera_z, o.camera_angle_z, o.meshes[8].angle_z,
                       o.meshes[7].angle_y, o.meshes[2].angle_z, stars[0].z, {}, o.meshes[7].offset_x};
            for (int k = 0; k < 7; ++k) s.ship_z[k] = o.meshes[k].offset_z;
            shots->push_back(s);
        }
        return presented < frames ? order | row << 16 : 2u;
    });
    fleet_scene();
    return *shots;
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

}  // namespace

TEST(FleetParts, PolarTableAndStars)
{
    build_polar_table();
    auto entry = [](int x, int y) { return polar_table[y * 320 + x]; };
    EXPECT_EQ(entry(160, 100), 0);
    EXPECT_EQ(entry(0, 100), 160 | 128 << 8);             // negative x axis
    EXPECT_EQ(entry(0, 199), 188 | (256 - 105) << 8);     // (-160, -99)

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
    EXPECT_EQ(std::count_if(screen, screen + frame_pixels + 320, [](std::uint32_t p) { return p != 0; }), 14);
    EXPECT_EQ(stars[0].z, 253);
    EXPECT_TRUE(stars[5].x == 319 && stars[5].z == 1000);  // below 10: back at 1000, same x and y
}

TEST_F(FleetScene, KeyWaitingLoadsEverythingThenClearsWithoutPresenting)
{
    const TestPicture ships = random_picture(5);
    write_test_picture("qd\\gfx\\textures\\metroid2.pcx", ships);
    headless_push_key(' ');
    fake_music_at(0, 0);
    fleet_scene();
    headless_clear_keys();
    EXPECT_TRUE(fake_music_frames() == 0 && fake_music_queries() == 0 && all_pixels(screen, 0));
    EXPECT_EQ(fleet_object.camera_z, -300);
    EXPECT_EQ(fleet_object.meshes[4].texture[256 * 77 + 131], ships[65 * 320 + 77]);  // transposed
}

TEST_F(FleetScene, SwayTurnsAtTwentyRepeatsEvery41FramesAndRecyclesShips)
{
    const auto shots = run_fleet(150, 0, 0);
    // Frames 1-10 forward; frame 11 runs both halves, then every 41 frames z moves back by 21.
    EXPECT_TRUE(shots[11].x == 20 && shots[11].roll == 20 && shots[11].z == -300 + 10 - 1);
    EXPECT_EQ(shots[52].z, shots[11].z - 21);
    EXPECT_TRUE(shots[52].x == shots[11].x && shots[52].roll == shots[11].roll);
    for (std::size_t f = 1; f < shots.size(); ++f) {
        const Snapshot& s = shots[f];
        ASSERT_TRUE(s.roll >= 0 && s.roll <= 20 && s.flare_roll == 40 - (s.roll - 10) &&
                    s.shuttle_yaw == 270 + (s.roll - 10) && s.x == 2 * (s.roll - 10) && s.y == 10 - s.roll)
            << f;
        ASSERT_EQ(s.spin, 2 * static_cast<int>(f) % 360);
    }
    const float speeds[4] = {29, 25, 26, 29};
    const int behind[4] = {100, 200, 150, 300};
    for (int k = 0; k < 4; ++k) {
        int recycled = 0;
        for (std::size_t f = 1; f < shots.size(); ++f) {
            const float moved = shots[f - 1].ship_z[3 + k] + speeds[k];
            const bool over = moved > static_cast<float>(shots[f].z + 1100);  // only the sway moved z before
            recycled += over;
            ASSERT_EQ(shots[f].ship_z[3 + k], over ? static_cast<float>(shots[f].z - behind[k]) : moved) << k;
        }
        EXPECT_GE(recycled, 2) << k;
    }
}

TEST_F(FleetScene, SecondOrderSlowsTheStarsDriftsAndChases)
{
    const auto shots = run_fleet(60, 1, 0);
    for (int f = 1; f <= 60; ++f) {
        const int z = shots[f - 1].star_z - std::max(5, 50 - f);
        ASSERT_EQ(shots[f].star_z, z < 10 ? 1000 : z) << f;
        ASSERT_EQ(shots[f].z, -300 - 6 * f);
        ASSERT_EQ(shots[f].roll, 10);
        ASSERT_EQ(shots[f].shuttle_x, 2.0f * f);
    }
    const auto chase = run_fleet(3, 1, 39);  // z +23 - 6 while behind the shuttle; x catches up once
    EXPECT_EQ(chase.back().z, -300 + 3 * 17);
    EXPECT_EQ(chase.back().x, 6);
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
        const std::uint32_t *previous = presented_frame(f - 1), *frame = presented_frame(f);
        TestPicture expected(frame_pixels);
        for (int i = 0; i < frame_pixels; ++i)
            expected[i] = blend_mix(previous[i], tunnel_texture_3[(polar_table[i] + offset_1 + f * 65278u) & 0xFFFF], 230);
        smear(expected.data(), 20);
        for (int i = 0; i < frame_pixels; ++i)
            ASSERT_TRUE(frame[i] == expected[i] || frame[i] == 0xAFAFAF || frame[i] == 0x575757) << f << " " << i;
    }
    EXPECT_EQ(tunnel_offset_1, offset_1 + 5 * 65278u);
}
