// test_lump.cpp -- the lump scene's 60 frames as described (the forge's planet and six
// ships placed, spinning and bursting out, the shifted stars, the smear, the fire,
// the planet gone from row 30).
#include "fake_music.h"
#include "reference_render.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

#include <cmath>
#include <cstdlib>

namespace {

// The fire centred on the frame centre, added: the texture cut as read from firtex1.
void fire_reference(TestPicture& frame, const TestPicture& fire, int scroll)
{
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            const int i = y - 100, j = x - 160;
            const int angle = static_cast<int>(std::trunc(std::atan2(double(j), double(i)) * 40.74)) & 255;
            const int radial = static_cast<int>(std::trunc(std::sqrt(double(i * i + j * j)) * 0.3)) & 255;
            const int n = ((radial << 8) + scroll + angle) & 0xFFFF;
            frame[y * 320 + x] = add_pixels(frame[y * 320 + x], fire[(n / 256 / 2) * 320 + n % 256]);
        }
}

class LumpTest : public SceneFolderTest {
protected:
    void SetUp() override
    {
        SceneFolderTest::SetUp();
        write_test_picture("qd\\gfx\\textures\\firtex1.pcx", fire);
        write_test_picture("qd\\gfx\\textures\\cbak1.pcx", random_picture(61));
        write_test_picture("qd\\gfx\\textures\\klump.pcx", ship_picture);
        write_test_picture("qd\\gfx\\textures\\planet3.pcx", planet);
        write_test_picture("qd\\gfx\\bak\\stbk2a.pcx", stars);
        open_test_display();
        for (auto& d : depth_buffer) d = 4000;
    }
    // One row a frame, as at the song's speed 1: the smear to row 5, the burst and fire from row 6,
    // the planet gone from row 30.
    static int row_of(long frame) { return int(frame); }
    static void run_scripted()
    {
        fake_music_script([](long frames, long) { return 1u | std::uint32_t(row_of(frames)) << 16; });
        lump_scene();
    }

    TestPicture fire = random_picture(63, 120), planet = random_picture(64), stars = random_picture(65, 150);
    TestPicture ship_picture = random_picture(62);
    const TestPicture ship_texture = transposed_texture(ship_picture), planet_texture = transposed_texture(planet);
};

}  // namespace

TEST_F(LumpTest, SixtyFramesOfTheSpinningPlanetBurstingIntoShipsOverShiftedStarsSmearOrFire)
{
    const int scroll = polar_add_scroll;
    keep_presented_frames(true);
    std::srand(77);
    run_scripted();
    ASSERT_EQ(fake_music_frames(), 60);
    std::srand(77);
    // Six ships inside the planet, all textured; from row 6 on they grow away from its centre each frame.
    double starts[6][3] = {{8, 2, -2}, {2, 4, -3}, {-5, 2, -1}, {-3, -6, -5}, {3, 5, -2}, {6, 7, -8}};
    float ships[6][3];
    for (int s = 0; s < 6; ++s) std::copy(starts[s], starts[s] + 3, ships[s]);
    int fires = 0;
    long drawn = 0;
    for (long f = 0; f < 60; ++f) {
        const int row = row_of(f);
        Object3D& lump = described_object();
        for (int s = 0; s < 6; ++s) {
            if (row > 5)
                ships[s][0] = float(ships[s][0] * 1.1), ships[s][1] = float(ships[s][1] * 1.1),
                ships[s][2] = float(ships[s][2] * 1.2);
            describe_mesh(lump.meshes[s], "qd\\3d\\metroid.asc", ships[s][0], ships[s][1], ships[s][2], mode_textured,
                          &ship_texture);
        }
        describe_mesh(lump.meshes[6], "qd\\3d\\planet.asc", 0, 0, 0, mode_textured, &planet_texture, int(f + 1), 0,
                      int(2 * (f + 1)));
        place_viewpoint(lump, row > 29 ? 6 : 7, 0, 0, -2500);

        const int shift = 2 * (f + 1);
        TestPicture expected(64000);
        for (int i = 0; i < 64000; ++i) expected[i] = stars[(i + shift) % 64000];  // the tail from the start
        drawn += draw_reference(expected, lump);
        if (row > 5)
            fire_reference(expected, fire, (scroll + 0xFB01 * fires++) & 0xFFFF);
        else
            smear(expected.data(), std::rand() % 20);  // the shell's smear, tested with the pixel helpers
        ASSERT_TRUE(same_frame(presented_frame(f), expected)) << "frame " << f;
    }
    EXPECT_GT(drawn, 60 * 500) << "the planet and the ships are in view";
    EXPECT_EQ(polar_add_scroll, (scroll + 0xFB01 * 54) & 0xFFFF);  // the blob scene continues from here

    fake_music_at(1, 29);  // never past row 29: the planet stays
    lump_scene();
    EXPECT_EQ(lump_object.mesh_count, 7);
}

