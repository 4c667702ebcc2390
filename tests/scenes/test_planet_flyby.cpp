// test_planet_flyby.cpp -- both flybys over their backgrounds (empty meshes): slides, motion, fade, key.
#include "fake_music.h"
#include "scene_pictures.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

#include <fstream>

namespace {

std::uint32_t position(int order, int row) { return std::uint32_t(order) | std::uint32_t(row) << 16; }

TestPicture faded(TestPicture frame)  // each channel c becomes (210 c + 11475) >> 8
{
    for (auto& p : frame) {
        std::uint32_t out = 0;
        for (int s = 0; s <= 16; s += 8) out |= ((210 * (p >> s & 255) + 11475) >> 8) << s;
        p = out;
    }
    return frame;
}

class FlybyTest : public SceneFolderTest {
protected:
    void SetUp() override
    {
        SceneFolderTest::SetUp();
        std::filesystem::create_directories("qd/3d");
        std::ofstream{"qd/3d/planet.asc"}, std::ofstream{"qd/3d/shuttle.asc"};  // empty: nothing drawn
        shuttle_picture[0] = 0x00FFF9F9u, shuttle_picture[1] = 0;
        write_test_picture("qd\\gfx\\textures\\shutex4a.pcx", shuttle_picture);
        write_test_picture("qd\\gfx\\bak\\stbk1.pcx", stars);
        for (auto [picture, seed] : {std::pair{overlay_picture, 26}, {backdrop1, 27}, {backdrop2, 28}})
            for (const std::uint32_t p : random_picture(seed, 90)) *picture++ = p;
        open_test_display();
        keep_presented_frames(true);
    }
    TestPicture shuttle_picture = random_picture(24), stars = random_picture(25);
};

}  // namespace

TEST_F(FlybyTest, FirstFlightMovesOverSlidingStarsUntilRow57ThenFadesWhileOrder9Plays)
{
    flyby_counter = 63990;  // the slides wrap within these frames
    const long flight = 12, fade = 3;
    fake_music_script([=](long frames, long) {
        return frames < flight ? position(9, 56) : frames < flight + fade ? position(9, 57) : position(10, 0);
    });
    first_flyby_scene();
    ASSERT_EQ(fake_music_frames(), flight + fade);
    EXPECT_EQ(flyby_object.meshes[0].offset_x, 250.0f - 10 * flight);
    EXPECT_EQ(flyby_object.camera_z, -2000 + 10 * flight);

    TestPicture expected = shuttle_picture;  // the first frame lies over the set-up's last picture
    for (long k = 0; k < flight + fade; ++k) {
        ASSERT_TRUE(same_frame(presented_frame(k), expected)) << "frame " << k;
        if (k < flight)  // the next frame's background, then the fade from it
            for (long j = 0, t = 63990 + k; j < 64000; ++j)
                expected[j] = add_pixels(overlay_picture[j],
                                         add_pixels(backdrop1[(j + 2 * t) % 64000], backdrop2[(j + t) % 64000]));
        if (k + 1 >= flight) expected = faded(expected);
    }
}

TEST_F(FlybyTest, FirstSceneFromRow57FadesOnlyInOrder9AndAKeyStopsBoth)
{
    const int counter = flyby_counter;
    fake_music_at(10, 57);
    first_flyby_scene();
    EXPECT_EQ(fake_music_frames(), 0);

    fake_music_script([](long frames, long) { return frames < 2 ? position(9, 60) : position(10, 0); });
    first_flyby_scene();
    ASSERT_EQ(fake_music_frames(), 2);
    EXPECT_TRUE(presented_frame(0)[0] == 0x00FEF9F9u && presented_frame(0)[1] == 0x002C2C2Cu);  // 255: 254, 0: 44
    EXPECT_TRUE(same_frame(presented_frame(1), faded(faded(shuttle_picture))));

    headless_push_key(' ');
    fake_music_at(9, 0);
    first_flyby_scene();
    second_flyby_scene();
    EXPECT_EQ(fake_music_frames(), 0);
    EXPECT_EQ(flyby_counter, counter);
    EXPECT_TRUE(flyby_object.meshes[1].offset_z == 1200.0f && flyby_object.mesh_count == 2);  // set up all the same
}

TEST_F(FlybyTest, SecondFlybyRunsExactly80FramesAndEndsWhereTheMotionLeadsIt)
{
    fake_music_at(11, 0);
    second_flyby_scene();
    ASSERT_EQ(fake_music_frames(), 80);
    const Mesh &planet = flyby_object.meshes[0], &shuttle = flyby_object.meshes[1];
    EXPECT_TRUE(shuttle.offset_x == 1120.0f && shuttle.offset_z == 0.0f && planet.offset_x == -150.0f);
    EXPECT_TRUE(flyby_object.camera_x == 1280 && flyby_object.camera_z == 480 && flyby_object.camera_angle_y == 80);

    EXPECT_TRUE(same_frame(presented_frame(0), shuttle_picture));
    for (long n = 1; n < 80; ++n) {
        TestPicture expected(64000);
        for (long i = 0; i < 64000; ++i) expected[i] = stars[(i + n - 1) % 64000];
        ASSERT_TRUE(same_frame(presented_frame(n), expected)) << "frame " << n;
    }
}
