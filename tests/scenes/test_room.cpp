// test_room.cpp -- the room scene: set-up without a frame, the tumbling angles,
// the smear of variant 12 and the light picture added last.
#include "fake_music.h"
#include "scene_pictures.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

#include <fstream>

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
        for (auto& d : depth_buffer) d = 4000;
    }
    const TestPicture hall = random_picture(1), red_hall = random_picture(2);
};

}  // namespace

TEST_F(RoomScene, SetsUpAndReturnsWithoutAFrameOffItsOrderOrOnAKey)
{
    for (const int variant : {10, 12, 72}) {
        std::fill(background_picture, background_picture + frame_pixels, 0u);
        room_object.meshes[0].angle_y = 123;
        if (variant == 72) headless_push_key(' ');
        fake_music_at(11, 0);
        room_scene(variant);
        headless_clear_keys();
        EXPECT_EQ(fake_music_frames(), 0) << variant;
        EXPECT_TRUE(same_frame(background_picture, hall));
        EXPECT_EQ(room_object.meshes[0].angle_y, 0);
    }
}

TEST_F(RoomScene, Variant72TumblesThreeDegreesAFrameUnderTheLight)
{
    TestPicture light = black_picture();  // a white band across the meshes
    std::fill(light.begin() + 90 * 320, light.begin() + 110 * 320, 0xFFFFFFu);
    write_test_picture("qd\\gfx\\bak\\reak1.pcx", light);
    fake_music_script([](long frames, long) { return frames < 125 ? 4u : 5u; });
    room_scene(72);  // runs for the order playing at its start
    ASSERT_EQ(fake_music_frames(), 125);
    for (const Mesh& mesh : {room_object.meshes[0], room_object.meshes[1]})
        EXPECT_TRUE(mesh.angle_x == 15 && mesh.angle_y == 15 && mesh.angle_z == 15);  // 375 mod 360
    const std::uint32_t* frame = presented_frame(124);
    EXPECT_TRUE(std::all_of(frame + 90 * 320, frame + 110 * 320, [](std::uint32_t p) { return p == 0xFFFFFFu; }));
    long covered = 0;  // the meshes show outside the band
    for (int i = 0; i < 90 * 320; ++i) covered += frame[i] != hall[i];
    EXPECT_GT(covered, 1000);
}

TEST_F(RoomScene, Variant12SmearsTheSecondHallBeforeTheLight)
{
    std::filesystem::create_directories("qd/3d");  // empty meshes: background, smear and light alone
    std::ofstream("qd/3d/inne.asc");
    std::ofstream("qd/3d/ute.asc");
    const TestPicture light = random_picture(3, 100);
    write_test_picture("qd\\gfx\\bak\\reak3.pcx", light);
    write_test_picture("qd\\gfx\\bak\\reak1.pcx", light);
    auto expected_frame = [&](const TestPicture& hall_picture, int d) {
        TestPicture expected = hall_picture;
        if (d >= 0) smear(expected.data(), d);
        for (int i = 0; i < frame_pixels; ++i) expected[i] = add_pixels(expected[i], light[i]);
        return expected;
    };
    fake_music_script([](long frames, long) { return frames < 3 ? 12u : 13u; });
    room_scene(12);
    ASSERT_EQ(fake_music_frames(), 3);
    for (int f = 0; f < 3; ++f) {
        int d = 0;  // the distance is rand() % 20: find the one drawn
        while (d < 20 && !same_frame(presented_frame(f), expected_frame(red_hall, d))) ++d;
        EXPECT_LT(d, 20) << "frame " << f;
    }
    fake_music_script([](long frames, long) { return frames < 1 ? 10u : 11u; });
    room_scene(10);  // the first hall, unsmeared
    EXPECT_TRUE(same_frame(presented_frame(0), expected_frame(hall, -1)));
}
