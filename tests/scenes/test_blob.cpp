// test_blob.cpp -- the blob scene's polar effects, its frames order by order and its wire frame.
#include "fake_music.h"
#include "reference_render.h"

#include "assets/assets.h"
#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

#include <cmath>
#include <fstream>

namespace {

enum class Polar { blend, zoom, add };

long long whole(long double v) { return static_cast<long long>(std::trunc(v)); }

TestPicture cut_as_read(const TestPicture& picture)
{
    TestPicture texture(65536);
    cut_texture(picture.data(), texture.data());
    return texture;
}

// One polar effect's frame from the plain formulas.
void polar_reference(TestPicture& frame, Polar effect, int pole_x, int pole_y, float w, int scroll,
                     const TestPicture& texture, const TestPicture& back)
{
    for (int n = 0; n < 64000; ++n) {
        const long long i = n / 320 - 100LL + pole_y, j = n % 320 - 160LL + pole_x, d2 = i * i + j * j;
        const long long angle = whole(std::atan2(double(j), double(i)) * 40.74);
        const long long radial = effect == Polar::blend ? (d2 == 0 ? 0 : 12000 / d2)
                                 : effect == Polar::zoom ? whole(std::sqrt((long double)d2) * w)
                                                         : whole(std::sqrt(double(d2)) * 0.3);
        const std::uint32_t t = texture[(((radial & 255) << 8) + scroll + (angle & 255)) & 0xFFFF];
        frame[n] = effect == Polar::blend ? blend_mix(back[n], t, scroll)
                                          : add_pixels(effect == Polar::zoom ? back[n] : frame[n], t);
    }
}

void stretch_reference(TestPicture& frame, unsigned phase, int scroll, const TestPicture& warp, const TestPicture& back)
{
    const unsigned amp = (phase >> 4) + 60;
    for (int y = 0; y < 200; ++y) {
        const unsigned s = (y >> 1) + phase;
        const int left = int(whole(std::sin(s * 0.01745327777777778) * amp));
        const int right = int(whole(std::sin((s + 180) * 0.01745327777777778) * amp + 320.0));
        const float scale = static_cast<float>(static_cast<std::uint32_t>(right - left)) * 0.003125f;
        for (int x = 0; x < 320; ++x) {
            std::uint32_t &p = frame[y * 320 + x], b = back[y * 320 + x], echo = 0;
            for (int c = 0; c <= 16; c += 8) echo |= ((165 * (p >> c & 255u) + 90 * (b >> c & 255u)) >> 8) << c;
            p = add_pixels(echo, warp[(((int(whole(x * scale)) + left) & 255) + ((y & 255) << 8) + scroll) & 0xFFFF]);
        }
    }
}

int pole(int radius, long long p, bool cosine)
{
    const long double a = static_cast<long double>(p) * static_cast<long double>(3.1416f / 180);
    return static_cast<int>(radius * (cosine ? std::cos(a) : std::sin(a)));
}

class BlobTest : public SceneFolderTest {
protected:
    void SetUp() override
    {
        SceneFolderTest::SetUp();
        open_test_display();
        write_test_picture("qd\\gfx\\bak\\stbak1.pcx", back);
        write_test_picture("qd\\gfx\\textures\\minenv4.pcx", environment);
        write_test_picture("qd\\gfx\\textures\\firtex1.pcx", fire);
        write_test_picture("qd\\gfx\\textures\\cbak1.pcx", streaks);
        write_test_picture("qd\\gfx\\textures\\weird2.pcx", weird);
        write_test_picture("qd\\gfx\\textures\\flummo.pcx", flummo);
    }
    static void hide_blob() { std::filesystem::create_directories("qd/3d"), std::ofstream("qd/3d/blup6.asc"); }

    TestPicture back = random_picture(32, 120), fire = random_picture(33, 100), streaks = random_picture(34);
    TestPicture weird = random_picture(35, 90), flummo = random_picture(36), environment = random_picture(31, 200);
};

}  // namespace

TEST_F(BlobTest, PolarEffectsFollowTheirFormulasForPolesInsideAndBeyondTheTables)
{
    TestPicture texture_a = random_picture(41), texture_b = random_picture(42), start = random_picture(43);
    texture_a.insert(texture_a.end(), start.begin(), start.begin() + 1536);  // 65,536 texels, each its own
    texture_b.insert(texture_b.end(), start.begin() + 1536, start.begin() + 3072);
    std::copy(texture_a.begin(), texture_a.end(), polar_texture_a);
    std::copy(texture_b.begin(), texture_b.end(), polar_texture_b);
    std::copy(back.begin(), back.end(), background_picture);
    const std::pair<int, int> poles[] = {{0, 0},       {64, -64}, {-64, 64}, {65, 0},
                                         {0, -65}, {-300, 1000}, {13, -37}, {-58, 21}};
    const float weights[] = {0.7f, -0.56f, 0.3f, -2.5f, 1e7f, 0.0f, 1.5f, -1e7f};  // 1e7: beyond the int range
    int* const scrolls[] = {&polar_blend_scroll, &polar_zoom_scroll, &polar_add_scroll};
    for (int k = 0; k < 8; ++k)
        for (const Polar effect : {Polar::blend, Polar::zoom, Polar::add}) {
            const auto [x, y] = poles[k];
            const int scroll = *scrolls[int(effect)];
            TestPicture expected = start;
            std::copy(start.begin(), start.end(), screen);
            polar_reference(expected, effect, x, y, weights[k], scroll,
                            effect == Polar::blend ? texture_b : texture_a, back);
            effect == Polar::blend ? draw_polar_blend(x, y)
            : effect == Polar::zoom ? draw_polar_zoom(weights[k], x, y) : draw_polar_add(x, y);
            ASSERT_TRUE(same_frame(screen, expected)) << "pole " << x << ", " << y << " effect " << int(effect);
        }
}

TEST_F(BlobTest, FramesFollowEachOrdersEffectUntilOrderTwelve)
{
    hide_blob();
    // Order 8 on rows 0..19 (w reset at row 15), order 9 for 31 frames (its phase
    // wraps), order 10 across row 60 (flummo from then on), order 11, then order 12.
    const auto position = [](long f, long = 0) -> std::uint32_t {
        return f < 20 ? 8 | f << 16 : f < 51 ? 9 : f < 57 ? 10 | (f + 6) << 16 : f < 61 ? 11 | 1 << 16 : 12;
    };
    fake_music_script(position);
    // Each order's scroll at its first call, and its step.
    const int first[4] = {polar_zoom_scroll, stretch_scroll, polar_blend_scroll, polar_add_scroll};
    const int step[4] = {0x303, 0xFC00, 0x303, 0xFB01};
    const unsigned phase = stretch_phase;
    keep_presented_frames(true);
    blob_scene();
    ASSERT_EQ(fake_music_frames(), 62);

    TestPicture flames = cut_as_read(fire), expected = weird;  // the first frame shows weird2
    const TestPicture streak = cut_as_read(streaks), warp = cut_as_read(weird);
    float w = 0.0f;
    long long p = 0;
    int calls[4] = {}, camera = -150;
    for (long f = 0; f < 61; ++f) {  // frame 61 reads order 12: nothing after it
        ASSERT_TRUE(same_frame(presented_frame(f), expected)) << "frame " << f;
        const int order = position(f) & 0xFFFF, r = int(position(f) >> 16) + 1, k = calls[order - 8]++;
        const int scroll = first[order - 8] + step[order - 8] * k;
        camera = (r % 8 == 0 ? -110 : camera - 10) - (order == 11 ? 8 : 0);
        if (r % 16 == 0) w = 0.7f;
        if (order != 9) p += order == 10 ? 10 : 4;
        if (order == 8) w = static_cast<float>(w - 0.08);
        if (order == 10 && r > 60) flames = cut_as_read(flummo);
        if (order == 11) std::fill(expected.begin(), expected.end(), 0u);
        if (order == 8)
            polar_reference(expected, Polar::zoom, pole(20, p, false), pole(30, p, true), w, scroll, flames, back);
        if (order == 9) stretch_reference(expected, (phase + 6 * k) % 180, scroll, warp, back);
        if (order == 10)
            polar_reference(expected, Polar::blend, pole(60, p, false), pole(60, p, true), 0, scroll, streak, back);
        if (order == 11) polar_reference(expected, Polar::add, 0, 0, 0, scroll, flames, back);
    }
    ASSERT_TRUE(same_frame(presented_frame(61), expected));
    EXPECT_EQ(blob_object.camera_z, camera - 10);
}

// Before order 8 no effect is drawn, so each frame is the forge's blob over the frame
// before: tumbling (6, 3, -2 degrees a frame about x, z, y), environment-mapped, as a wire
// frame on the frames after rows 7 to 14; the viewpoint backs off 10 a frame and snaps
// to 110 on every eighth row.
TEST_F(BlobTest, TheBlobTumblesBacksOffSnapsAndTurnsToWireFrameByRow)
{
    fake_music_script([](long frames, long) { return frames < 20 ? 7u | std::uint32_t(frames) << 16 : 12u; });
    keep_presented_frames(true);
    for (auto& d : depth_buffer) d = 1;  // the scene resets it before every frame
    blob_scene();
    ASSERT_EQ(fake_music_frames(), 21);
    const TestPicture texture = transposed_texture(environment);
    TestPicture expected = weird;  // the set-up's last picture
    int camera = -150, previous_r = 0;
    long drawn = 0;
    for (int f = 0; f < 21; ++f) {
        const int r = f < 20 ? f + 1 : 1;  // the row + 1 read in this frame (order 12 at row 0 ends it)
        camera = r % 8 == 0 ? -110 : camera - 10;
        Object3D& blob = described_object();
        const bool wire = previous_r >= 8 && previous_r <= 15;
        describe_mesh(blob.meshes[0], "qd\\3d\\blup6.asc", 0, 0, 0, wire ? mode_wireframe : mode_env_mapped,
                      &texture, 6 * (f + 1) % 360, 3 * (f + 1) % 360, (360 - 2 * (f + 1) % 360) % 360);
        place_viewpoint(blob, 1, -20, 0, camera);
        drawn += draw_reference(expected, blob);
        ASSERT_TRUE(same_frame(presented_frame(f), as_shown(expected))) << "frame " << f;
        expected = as_shown(expected);
        previous_r = r;
    }
    EXPECT_GT(drawn, 21 * 500) << "the blob is in view";
}

