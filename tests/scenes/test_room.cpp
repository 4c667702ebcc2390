// test_room.cpp -- the room scene: set-up without a frame, and every frame of each
// variant as described: the hall, the two gold meshes tumbling 3 degrees a frame,
// the smear of variant 12, the light picture added last.
#include "fake_music.h"
#include "reference_render.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

#include <cstdlib>

namespace {

class RoomScene : public SceneFolderTest {
protected:
    void SetUp() override
    {
        SceneFolderTest::SetUp();
        open_test_display();
        keep_presented_frames(true);
        write_test_picture("qd\\gfx\\bak\\rrum1.pcx", hall);
        write_test_picture("qd\\gfx\\bak\\rrum2.pcx", red_hall);
        write_test_picture("qd\\gfx\\bak\\reak1.pcx", light);
        write_test_picture("qd\\gfx\\bak\\reak3.pcx", red_light);
        write_test_picture("qd\\gfx\\textures\\gold.pcx", gold_picture);
        write_test_picture("qd\\gfx\\textures\\gold2.pcx", gold2_picture);
        for (auto& d : depth_buffer) d = 4000;
    }

    // Frame k: the hall, the inner mesh environment-mapped in gold and the shell half-blended in
    // the second gold, both turned 3k degrees about every axis before the viewpoint 550 back;
    // smeared by d (d >= 0); the light added.
    TestPicture expected_frame(const TestPicture& back, const TestPicture& lamp, int k, int d)
    {
        Object3D& room = described_object();
        const int a = 3 * k % 360;
        describe_mesh(room.meshes[0], "qd\\3d\\inne.asc", 0, 0, 0, mode_env_mapped, &gold, a, a, a);
        describe_mesh(room.meshes[1], "qd\\3d\\ute.asc", 0, 0, 0, mode_half_blend, &gold2, a, a, a);
        place_viewpoint(room, 2, 0, 0, -550);
        TestPicture frame = back;
        meshes_drawn += draw_reference(frame, room);
        if (d >= 0) smear(frame.data(), d);
        for (int i = 0; i < frame_pixels; ++i) frame[i] = add_pixels(frame[i], lamp[i]);
        return frame;
    }

    const TestPicture hall = random_picture(1), red_hall = random_picture(2);
    const TestPicture light = random_picture(3, 60), red_light = random_picture(4, 60);
    const TestPicture gold_picture = random_picture(5), gold2_picture = random_picture(6);
    const TestPicture gold = transposed_texture(gold_picture), gold2 = transposed_texture(gold2_picture);
    long meshes_drawn = 0;
};

}  // namespace

TEST_F(RoomScene, SetsUpAndReturnsWithoutAFrameOffItsOrder)
{
    for (const int variant : {10, 12}) {
        std::fill(background_picture, background_picture + frame_pixels, 0u);
        room_object.meshes[0].angle_y = 123;
        fake_music_at(11, 0);
        room_scene(variant);
        EXPECT_EQ(fake_music_frames(), 0) << variant;
        EXPECT_TRUE(same_frame(background_picture, hall));
        EXPECT_EQ(room_object.meshes[0].angle_y, 0);
    }
}

TEST_F(RoomScene, Variant72TumblesThreeDegreesAFrameUnderTheLightForAsLongAsItsOrder)
{
    fake_music_script([](long frames, long) { return frames < 125 ? 4u : 5u; });
    room_scene(72);  // runs for the order playing at its start
    ASSERT_EQ(fake_music_frames(), 125);
    for (int k = 0; k < 125; ++k)  // frame 120 turns 360 degrees: back at 0
        ASSERT_TRUE(same_frame(presented_frame(k), expected_frame(hall, light, k, -1))) << "frame " << k;
    EXPECT_GT(meshes_drawn, 125 * 2000) << "the meshes are in view";
}

TEST_F(RoomScene, Variant12SmearsTheSecondHallBeforeItsLightAndVariant10ShowsTheFirst)
{
    fake_music_script([](long frames, long) { return frames < 30 ? 12u : 13u; });
    std::srand(12);
    room_scene(12);
    ASSERT_EQ(fake_music_frames(), 30);
    std::srand(12);  // a fresh distance rand() % 20 every frame
    for (int k = 0; k < 30; ++k)
        ASSERT_TRUE(same_frame(presented_frame(k), expected_frame(red_hall, red_light, k, std::rand() % 20))) << k;
    fake_music_script([](long frames, long) { return frames < 2 ? 10u : 11u; });
    room_scene(10);
    for (int k = 0; k < 2; ++k) EXPECT_TRUE(same_frame(presented_frame(k), expected_frame(hall, light, k, -1)));
}
