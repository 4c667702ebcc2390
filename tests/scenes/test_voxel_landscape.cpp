// test_voxel_landscape.cpp -- the voxel landscape and its sky against a plain front-to-back reference.
#include "fake_music.h"
#include "scene_pictures.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t empty = 0xFFFFFFFFu;

// One frame as the landscape and the sky describe it, walking each column
// through the frame itself; maps cut from the pictures (height and colour as
// read, cloud transposed).
void reference_frame(TestPicture& f, const TestPicture& height, const TestPicture& colour,
                     const TestPicture& cloud, int flight, std::uint32_t scroll)
{
    std::fill(f.begin(), f.end(), empty);
    for (int z = 1; z <= 255; ++z) {
        const int v = (flight + z) & 255, H = 2500 / ((z >> 1) + 20);
        const float step = z * 0.003125f;
        float u = float((256 - (z >> 1)) % 256), w = float(200 - (z >> 1));
        for (int x = 0; x < 320; ++x, u += step, w += step) {
            const int h = height[v / 2 * 320 + int(u) % 256] >> 8 & 255, y = 200 + H - h;
            if (y <= 0 || y >= 200) continue;
            const std::uint32_t t = colour[v / 2 * 320 + int(w) % 256];
            const std::uint32_t c = h >= 71 ? add_pixels(t, z * 0x010101u) : (t & 0xFF00) | (t & 255) << 16 | t >> 16;
            for (int row = y; row < 200 && f[row * 320 + x] == empty; ++row) f[row * 320 + x] = c;
        }
    }
    for (int n = 0; n < 32000; ++n) {
        const int i = (plane_table[n] + scroll) & 0xFFFF;
        if (f[31999 - n] == empty) f[31999 - n] = add_pixels(cloud[(i & 255) / 2 * 320 + (i >> 8)], (32000 - n) / 220 * 0x010101u);
    }
}

class VoxelTest : public SceneFolderTest {
protected:
    // Writes the three pictures, runs the scene for `frames` landscape frames and
    // checks each against the reference.
    void run_and_compare(int frames)
    {
        write_test_picture("qd\\gfx\\misc\\height.pcx", height);
        write_test_picture("qd\\gfx\\misc\\voxtext1.pcx", colour);
        write_test_picture("qd\\gfx\\textures\\cloud.pcx", cloud);
        open_test_display();
        fake_music_script([frames](long presented, long) { return presented <= frames ? 12u : 14u; });
        keep_presented_frames(true);
        const std::uint32_t scroll = sky_scroll;
        voxel_scene();
        ASSERT_EQ(fake_music_frames(), 1 + frames);
        EXPECT_TRUE(same_frame(presented_frame(0), colour));  // the set-up shows the colour map's picture
        for (int i = 1; i <= frames; ++i) {
            reference_frame(expected, height, colour, cloud, 3 * i, scroll + 0x400u * (i - 1));
            for (auto& p : expected) p &= 0xFFFFFF;  // presented frames carry no top byte
            EXPECT_TRUE(same_frame(presented_frame(i), expected)) << "frame " << i;
        }
        EXPECT_EQ(sky_scroll, scroll + 0x400u * frames);
    }
    const std::uint32_t* last() { return presented_frame(fake_music_frames() - 1); }
    TestPicture height = random_picture(1), colour = random_picture(2), cloud = random_picture(3, 100);
    TestPicture expected = TestPicture(64000);
};

}  // namespace

TEST_F(VoxelTest, RandomTerrainMatchesTheReferenceFrameByFrame) { run_and_compare(3); }

TEST_F(VoxelTest, WaterAt70LandAt71HazeWhiteWhereNothingReachesAndNoRowZero)
{
    colour.assign(64000, 0x102030u);
    cloud.assign(64000, 0u);
    height.assign(64000, 70u << 8);
    run_and_compare(1);
    EXPECT_EQ(last()[199 * 320 + 7], 0x302010u);  // water: red and blue exchanged, no haze
    EXPECT_EQ(last()[147 * 320 + 7], 0x302010u);  // the farthest slice (base 17)
    EXPECT_EQ(last()[146 * 320 + 7], 0xFFFFFFu);  // below the horizon the sky never reaches: white
    EXPECT_EQ(last()[99 * 320 + 319], 0x919191u); // the sky at the horizon: shade 145
    EXPECT_EQ(last()[0], 0u);                     // the top row: one cloud texel, shade 0 ..
    EXPECT_EQ(last()[319], 0x010101u);            // .. to 1

    height.assign(64000, 71u << 8);
    run_and_compare(1);
    EXPECT_EQ(last()[199 * 320 + 7], 0x304050u);  // land from slice 32 (base 69, rows 198, 199): + 32
    EXPECT_EQ(last()[197 * 320 + 7], add_pixels(0x102030u, 34 * 0x010101u));

    height.assign(64000, 217u << 8);  // slices of base 17 would start on row 0: they are left out
    run_and_compare(1);
    EXPECT_EQ(last()[5], 0u);  // sky
    EXPECT_EQ(last()[320 + 5], add_pixels(0x102030u, 224 * 0x010101u));  // the first slice of base 18
}
