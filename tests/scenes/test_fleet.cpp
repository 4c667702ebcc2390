// test_fleet.cpp -- the fleet scene: polar table, stars, sway, recycling, motion, white frames, feedback, key.
#include "fake_music.h"
#include "scene_pictures.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

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

}  // namespace

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

TEST_F(FleetScene, KeyWaitingLoadsEverythingThenClearsWithoutPresenting)
{
    const TestPicture ships = random_picture(5);
    write_test_picture("qd\\gfx\\textures\\metroid2.pcx", ships);
    headless_push_key(' ');
    fake_music_at(0, 0);
    fleet_scene();
    headless_clear_keys();
    EXPECT_TRUE(fake_music_frames() == 0 && fake_music_queries() == 0 && all_pixels(screen, 0));
    EXPECT_EQ(fleet_object.meshes[4].texture[256 * 77 + 131], ships[65 * 320 + 77]);  // transposed
}

TEST_F(FleetScene, SwayTurnsAtTwentyRepeatsEvery41FramesAndRecyclesShips)
{
    const auto shots = run_fleet(150, 0, 0);
    // Frames 1-10 forward; frame 11 runs both halves, then every 41 frames z moves back by 21.
    EXPECT_TRUE(shots[11].x == 20 && shots[11].roll == 20 && shots[11].z == -300 + 10 - 1);
    EXPECT_TRUE(shots[52].z == shots[11].z - 21 && shots[52].x == shots[11].x && shots[52].roll == shots[11].roll);
    const float speeds[4] = {29, 25, 26, 29};
    const int behind[4] = {100, 200, 150, 300};
    int recycled[4] = {};
    for (std::size_t f = 1; f < shots.size(); ++f) {
        const Snapshot& s = shots[f];
        ASSERT_TRUE(s.roll >= 0 && s.roll <= 20 && s.x == 2 * (s.roll - 10)) << f;
        for (int k = 0; k < 4; ++k) {
            const float moved = shots[f - 1].ship_z[3 + k] + speeds[k];
            const bool over = moved > static_cast<float>(s.z + 1100);  // only the sway moved z before
            recycled[k] += over;
            ASSERT_EQ(s.ship_z[3 + k], over ? static_cast<float>(s.z - behind[k]) : moved) << k;
        }
    }
    EXPECT_TRUE(std::all_of(recycled, recycled + 4, [](int n) { return n >= 2; }));
}

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
