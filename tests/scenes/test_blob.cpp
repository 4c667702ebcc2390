// test_blob.cpp -- the blob scene's effects against their per-pixel formulas (the
// polar effects for poles inside and beyond their tables), the scene's frames
// order by order (the sine stretch over a wrap of its phase), its wire-frame rows
// and its key test.
#include "fake_music.h"
#include "scene_pictures.h"

#include "platform/console/headless.h"
#include "scenes/scenes.h"
#include "shell/shell.h"

#include <cmath>
#include <fstream>
#include <random>

namespace {

enum class Polar { blend, zoom, add };

std::uint32_t mix_pixels(std::uint32_t a, std::uint32_t b, std::uint32_t k)
{
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8)
        out |= ((((a >> shift) & 255u) * k + ((b >> shift) & 255u) * (255u - k)) >> 8) << shift;
    return out;
}

// The texture cut as read: texel (row r, column c) = picture (row r / 2, column c).
TestPicture cut_as_read(const TestPicture& picture)
{
    TestPicture texture(65536);
    for (int n = 0; n < 65536; ++n) texture[n] = picture[(n / 256 / 2) * 320 + n % 256];
    return texture;
}

// One polar effect's frame from the plain formulas.
void polar_reference(TestPicture& frame, Polar effect, int pole_x, int pole_y, float w, int scroll,
                     const TestPicture& texture, const TestPicture& back)
{
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            const long long i = y - 100LL + pole_y, j = x - 160LL + pole_x, d2 = i * i + j * j;
            const long long angle = static_cast<long long>(std::trunc(std::atan2(double(j), double(i)) * 40.74));
            long long radial = 0;
            if (effect == Polar::blend) radial = d2 == 0 ? 0 : 12000 / d2;
            if (effect == Polar::zoom) radial = static_cast<long long>(std::trunc(std::sqrt((long double)d2) * w));
            if (effect == Polar::add) radial = static_cast<long long>(std::trunc(std::sqrt(double(d2)) * 0.3));
            const std::uint32_t t = texture[(((radial & 255) << 8) + scroll + (angle & 255)) & 0xFFFF];
            std::uint32_t& p = frame[y * 320 + x];
            p = effect == Polar::blend  ? mix_pixels(back[y * 320 + x], t, scroll & 255)
                : effect == Polar::zoom ? add_pixels(back[y * 320 + x], t)
                                        : add_pixels(p, t);
        }
}

void stretch_reference(TestPicture& frame, unsigned phase, int scroll, const TestPicture& warp, const TestPicture& back)
{
    for (int y = 0; y < 200; ++y) {
        const unsigned s = (y >> 1) + phase, amp = (phase >> 4) + 60;
        const int left = static_cast<int>(std::trunc(std::sin(s * 0.01745327777777778) * amp));
        const int right = static_cast<int>(std::trunc(std::sin((s + 180) * 0.01745327777777778) * amp + 320.0));
        const float scale = static_cast<float>(static_cast<std::uint32_t>(right - left)) * 0.003125f;
        for (int x = 0; x < 320; ++x) {
            const int u = (static_cast<int>(std::trunc(x * scale)) + left) & 255;
            const std::uint32_t t = warp[(u + ((y & 255) << 8) + scroll) & 0xFFFF];
            std::uint32_t& p = frame[y * 320 + x];
            std::uint32_t echo = 0;
            for (int shift = 0; shift <= 16; shift += 8)
                echo |= ((165 * ((p >> shift) & 255u) + 90 * ((back[y * 320 + x] >> shift) & 255u)) >> 8) << shift;
            p = add_pixels(echo, t);
        }
    }
}

// 65,536 random texels.
TestPicture random_texture(std::uint32_t seed)
{
    TestPicture texture = random_picture(seed), more = random_picture(seed + 1000);
    texture.insert(texture.end(), more.begin(), more.begin() + 1536);
    return texture;
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
    }
    void TearDown() override
    {
        keep_presented_frames(false);
        headless_clear_keys();
        SceneFolderTest::TearDown();
    }
    void write_scene_pictures()
    {
        write_test_picture("qd\\gfx\\bak\\stbak1.pcx", back);
        write_test_picture("qd\\gfx\\textures\\minenv4.pcx", random_picture(31, 200));
        write_test_picture("qd\\gfx\\textures\\firtex1.pcx", fire);
        write_test_picture("qd\\gfx\\textures\\cbak1.pcx", streaks);
        write_test_picture("qd\\gfx\\textures\\weird2.pcx", weird);
        write_test_picture("qd\\gfx\\textures\\flummo.pcx", flummo);
    }
    static void hide_blob()  // an empty mesh draws nothing
    {
        std::filesystem::create_directories("qd/3d");
        std::ofstream("qd/3d/blup6.asc");
    }

    TestPicture back = random_picture(32, 120), fire = random_picture(33, 100), streaks = random_picture(34);
    TestPicture weird = random_picture(35, 90), flummo = random_picture(36);
};

}  // namespace

TEST_F(BlobTest, PolarEffectsFollowTheirFormulasForPolesInsideAndBeyondTheTables)
{
    const TestPicture texture_a = random_texture(41), texture_b = random_texture(42), start = random_picture(43);
    std::copy(texture_a.begin(), texture_a.end(), polar_texture_a);
    std::copy(texture_b.begin(), texture_b.end(), polar_texture_b);
    std::copy(back.begin(), back.end(), background_picture);
    std::vector<std::pair<int, int>> poles = {{0, 0}, {64, -64}, {-64, 64}, {65, 0}, {0, -65}, {-300, 1000}};
    std::mt19937 random(44);
    for (int n = 0; n < 6; ++n) poles.emplace_back(int(random() % 129) - 64, int(random() % 129) - 64);
    const float weights[] = {0.7f, -0.56f, 0.3f, -2.5f, 1e7f, 0.0f};  // 1e7: products beyond the int range
    int n = 0;
    for (const auto& [x, y] : poles) {
        for (const Polar effect : {Polar::blend, Polar::zoom, Polar::add}) {
            int& scroll = effect == Polar::blend ? polar_blend_scroll
                          : effect == Polar::zoom ? polar_zoom_scroll : polar_add_scroll;
            const int before = scroll;
            const float w = weights[n++ % 6];
            TestPicture expected = start;
            std::copy(start.begin(), start.end(), screen);
            polar_reference(expected, effect, x, y, w, before, effect == Polar::blend ? texture_b : texture_a,
                            back);
            if (effect == Polar::blend) draw_polar_blend(x, y);
            if (effect == Polar::zoom) draw_polar_zoom(w, x, y);
            if (effect == Polar::add) draw_polar_add(x, y);
            ASSERT_TRUE(same_frame(screen, expected)) << "pole " << x << ", " << y << " effect " << int(effect);
            EXPECT_EQ(scroll, (before + (effect == Polar::add ? 0xFB01 : 0x303)) & 0xFFFF);
        }
    }
    // At the pole both bytes are 0: the texel is the one at the scroll value.
    std::fill(screen, screen + 64000, 0u);
    const int scroll = polar_add_scroll;
    draw_polar_add(10, -20);
    EXPECT_EQ(screen[120 * 320 + 150], texture_a[scroll]);
}

TEST_F(BlobTest, FramesFollowEachOrdersEffectUntilOrderTwelve)
{
    write_scene_pictures();
    hide_blob();
    // Frame f: order 8 on rows 0..19 (w reset at row 15), order 9 for 31 frames (its
    // phase wraps), order 10 across row 60 (flummo from then on), order 11, then
    // order 12 ends the scene.
    const auto position = [](long f) -> std::pair<int, int> {
        if (f < 20) return {8, int(f)};
        if (f < 51) return {9, 0};
        if (f < 57) return {10, int(f - 51 + 57)};
        if (f < 61) return {11, 1};
        return {12, 0};
    };
    fake_music_script([position](long frames, long) {
        const auto [order, row] = position(frames);
        return static_cast<std::uint32_t>(order | row << 16);
    });
    const int zoom = polar_zoom_scroll, blend = polar_blend_scroll, add = polar_add_scroll;
    const unsigned phase = stretch_phase;
    const int stretch = stretch_scroll;
    keep_presented_frames(true);
    blob_scene();
    ASSERT_EQ(fake_music_frames(), 62);

    const TestPicture weird_texture = cut_as_read(weird), streak_texture = cut_as_read(streaks);
    TestPicture fire_texture = cut_as_read(fire), expected = weird;  // the first frame shows weird2
    float w = 0.0f;
    long long p = 0;
    int zoom_calls = 0, blend_calls = 0, add_calls = 0, stretch_calls = 0, camera = -150;
    for (long f = 0; f < 62; ++f) {
        ASSERT_TRUE(same_frame(presented_frame(f), expected)) << "frame " << f;
        const auto [order, row] = position(f);
        const int r = row + 1;
        camera = r % 8 == 0 ? -110 : camera - 10;
        if (r % 16 == 0) w = 0.7f;
        if (order == 8) {
            p += 4;
            w = static_cast<float>(w - 0.08);
            polar_reference(expected, Polar::zoom, pole(20, p, false), pole(30, p, true), w,
                            zoom + 0x303 * zoom_calls++, fire_texture, back);
        } else if (order == 9) {
            stretch_reference(expected, (phase + 6 * stretch_calls) % 180, stretch + 0xFC00 * stretch_calls, weird_texture,
                              back);
            ++stretch_calls;
        } else if (order == 10) {
            if (r > 60) fire_texture = cut_as_read(flummo);
            p += 10;
            polar_reference(expected, Polar::blend, pole(60, p, false), pole(60, p, true), 0.0f,
                            blend + 0x303 * blend_calls++, streak_texture, back);
        } else if (order == 11) {
            std::fill(expected.begin(), expected.end(), 0u);
            p += 4;
            polar_reference(expected, Polar::add, 0, 0, 0.0f, add + 0xFB01 * add_calls++, fire_texture, back);
            camera -= 8;
        }
    }
    EXPECT_EQ(blob_object.camera_z, camera);
    const Mesh& blob = blob_object.meshes[0];
    EXPECT_EQ(blob.angle_x, 62 * 6 % 360);
    EXPECT_EQ(blob.angle_z, 62 * 3 % 360);
    EXPECT_EQ(blob.angle_y, 62 * 358 % 360);
    EXPECT_EQ(stretch_phase, (phase + 6 * 31) % 180);
    EXPECT_EQ(blob.mode, mode_env_mapped);
    EXPECT_TRUE(std::equal(polar_texture_a, polar_texture_a + 65536, cut_as_read(flummo).begin()));
}

TEST_F(BlobTest, WireFrameOnTheFramesAfterRowsSevenToFourteen)
{
    write_scene_pictures();  // the forge's blob mesh; no texel or effect pixel here is white like its lines
    fake_music_script([](long frames, long) { return frames < 20 ? 8u | std::uint32_t(frames) << 16 : 12u; });
    keep_presented_frames(true);
    blob_scene();
    ASSERT_EQ(fake_music_frames(), 21);
    for (long f = 0; f < 21; ++f) {
        const std::uint32_t* frame = presented_frame(f);
        const bool lines = std::count(frame, frame + 64000, 0x00FFFFFFu) > 0;  // as presented, top byte cleared
        EXPECT_EQ(lines, f >= 8 && f <= 15) << "frame " << f;
    }
}

TEST_F(BlobTest, AKeyEndsTheSceneBeforeItsNextFrame)
{
    write_scene_pictures();
    hide_blob();
    headless_push_key(' ');
    fake_music_at(8, 0);
    blob_scene();
    EXPECT_EQ(fake_music_frames(), 0);
    EXPECT_TRUE(std::equal(warp_texture, warp_texture + 65536, cut_as_read(weird).begin()));  // set-up ran
    EXPECT_TRUE(same_frame(background_picture, back));

    headless_clear_keys();
    fake_music_script([](long frames, long) {
        if (frames == 2) headless_push_key(' ');  // during the third frame
        return 9u;
    });
    blob_scene();
    EXPECT_EQ(fake_music_frames(), 3);
}
