// test_planet_flyby.cpp -- both flybys frame by frame as described: the forge's planet
// and shuttle placed, turned and moving over the sliding backgrounds, and the fade.
#include "fake_music.h"
#include "reference_render.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"


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
        shuttle_picture[0] = 0x00FFF9F9u, shuttle_picture[1] = 0;
        write_test_picture("qd\\gfx\\textures\\shutex4a.pcx", shuttle_picture);
        write_test_picture("qd\\gfx\\textures\\planet3.pcx", planet_picture);
        for (auto& d : depth_buffer) d = 4000;
        write_test_picture("qd\\gfx\\bak\\stbk1.pcx", stars);
        for (auto [picture, seed] : {std::pair{overlay_picture, 26}, {backdrop1, 27}, {backdrop2, 28}})
            for (const std::uint32_t p : random_picture(seed, 90)) *picture++ = p;
        open_test_display();
        keep_presented_frames(true);
    }
    // The planet (250, 0, 1400) turned back 2 degrees a frame, and the shuttle (0, 0, 1200) turned 270
    // about z and 90 about y, textured, after `n` frames of motion; `steps` moves them (planet x, shuttle x
    // and z) and the viewpoint (x, z, angle about y) per frame; mesh_count 1 leaves the shuttle out.
    TestPicture with_meshes(TestPicture frame, int mesh_count, int n, const int (&steps)[6], Object3D viewpoint)
    {
        Object3D& flyby = described_object();
        describe_mesh(flyby.meshes[0], "qd\\3d\\planet.asc", 250.0f + steps[0] * n, 0, 1400, mode_textured, &planet,
                      0, 0, (360 - 2 * n % 360) % 360);
        describe_mesh(flyby.meshes[1], "qd\\3d\\shuttle.asc", float(steps[1] * n), 0, 1200.0f + steps[2] * n,
                      mode_textured, &shuttle, 0, 270, 90);
        place_viewpoint(flyby, mesh_count, viewpoint.camera_x + steps[3] * n, 0, viewpoint.camera_z + steps[4] * n,
                        0, 0, steps[5] * n % 360);
        drawn += draw_reference(frame, flyby);
        return frame;
    }

    TestPicture shuttle_picture = random_picture(24), stars = random_picture(25), planet_picture = random_picture(29);
    const TestPicture shuttle = transposed_texture(shuttle_picture), planet = transposed_texture(planet_picture);
    long drawn = 0;
};

Object3D at(int x, int z)
{
    Object3D viewpoint{};
    viewpoint.camera_x = x, viewpoint.camera_z = z;
    return viewpoint;
}

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
    const int first_steps[6] = {-10, 0, 0, 0, 10, 0};  // the planet drifts left, the viewpoint closes in
    for (long k = 0; k < flight + fade; ++k) {
        const TestPicture shown =
            k < flight ? with_meshes(expected, 1, k + 1, first_steps, at(-1200, -2000)) : expected;
        ASSERT_TRUE(same_frame(presented_frame(k), shown)) << "frame " << k;
        if (k < flight)  // the next frame's background, then the fade from it
            for (long j = 0, t = 63990 + k; j < 64000; ++j)
                expected[j] = add_pixels(overlay_picture[j],
                                         add_pixels(backdrop1[(j + 2 * t) % 64000], backdrop2[(j + t) % 64000]));
        if (k + 1 >= flight) expected = faded(expected);
    }
    EXPECT_GT(drawn, flight * 500) << "the planet is in view";
}

TEST_F(FlybyTest, FirstSceneFromRow57FadesOnlyInOrder9)
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
    EXPECT_EQ(flyby_counter, counter);
}

TEST_F(FlybyTest, SecondFlybyRunsExactly80FramesAndEndsWhereTheMotionLeadsIt)
{
    fake_music_at(11, 0);
    second_flyby_scene();
    ASSERT_EQ(fake_music_frames(), 80);
    const Mesh &planet = flyby_object.meshes[0], &shuttle = flyby_object.meshes[1];
    EXPECT_TRUE(shuttle.offset_x == 1120.0f && shuttle.offset_z == 0.0f && planet.offset_x == -150.0f);
    EXPECT_TRUE(flyby_object.camera_x == 1280 && flyby_object.camera_z == 480 && flyby_object.camera_angle_y == 80);

    const int second_steps[6] = {-5, 14, -15, 16, 6, 1};  // planet, shuttle and viewpoint move; the view turns
    for (long n = 0; n < 80; ++n) {
        TestPicture back(64000);  // over the set-up's last picture, then the stars slid by one pixel a frame
        for (long i = 0; i < 64000; ++i) back[i] = n == 0 ? shuttle_picture[i] : stars[(i + n - 1) % 64000];
        ASSERT_TRUE(same_frame(presented_frame(n), with_meshes(back, 2, n + 1, second_steps, at(0, 0))))
            << "frame " << n;
    }
    EXPECT_GT(drawn, 80 * 1000) << "the planet and the shuttle are in view";
}
