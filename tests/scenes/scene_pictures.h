// scene_pictures.h -- pictures a scene test knows pixel by pixel: a fresh data
// folder becomes the working directory and the test writes the scene's PCX files
// into it, so the scene loads them instead of the forge's (which lie beside the
// test program and are only found when a file is missing here).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

// 64,000 pixels 0x00RRGGBB, rows of 320, as load_pcx returns them.
using TestPicture = std::vector<std::uint32_t>;

inline TestPicture black_picture() { return TestPicture(64000, 0u); }

// Random channels from 0 to `top`, drawn from a fixed seed.
inline TestPicture random_picture(std::uint32_t seed, int top = 255)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> channel(0, top);
    TestPicture picture(64000);
    for (auto& p : picture)
        p = static_cast<std::uint32_t>(channel(random)) << 16 | static_cast<std::uint32_t>(channel(random)) << 8 |
            static_cast<std::uint32_t>(channel(random));
    return picture;
}

// Writes `picture` as a 24-bit PCX file at `show_path` ("qd\gfx\bak\dsg3.pcx")
// below the working directory: a standard header, every byte a literal.
inline void write_test_picture(const char* show_path, const TestPicture& picture)
{
    std::string path = show_path;
    for (char& c : path)
        if (c == '\\') c = '/';
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::vector<std::uint8_t> bytes(128, 0);
    bytes[0] = 10, bytes[1] = 5, bytes[2] = 1, bytes[3] = 8;  // maker, version, run-length, 8 bits
    bytes[8] = 319 & 255, bytes[9] = 319 >> 8, bytes[10] = 199, bytes[65] = 3, bytes[66] = 320 & 255,
    bytes[67] = 320 >> 8;
    for (int row = 0; row < 200; ++row)
        for (int shift = 16; shift >= 0; shift -= 8)
            for (int col = 0; col < 320; ++col) {
                const auto value = static_cast<std::uint8_t>(picture[row * 320 + col] >> shift);
                if (value >= 0xC0) bytes.push_back(0xC1);  // a run of one
                bytes.push_back(value);
            }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

// Per channel min(255, a + b); top byte 0.
inline std::uint32_t add_pixels(std::uint32_t a, std::uint32_t b)
{
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8)
        out |= std::min(255u, ((a >> shift) & 255u) + ((b >> shift) & 255u)) << shift;
    return out;
}

// Adds the w x h sprite (rows of `stride`) with its top-left at (left, top). A
// pixel is skipped when its column is right of 319 or its linear index outside
// 0..63,999 (left of column 0 it lands on the row above), and, with skip_black,
// when it is 0.
inline void reference_add_sprite(TestPicture& frame, const std::uint32_t* sprite, int stride, int w, int h,
                                 int left, int top, bool skip_black = false)
{
    for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col) {
            const long column = long(left) + col, i = (long(top) + row) * 320 + column;
            const std::uint32_t p = sprite[row * stride + col];
            if (column > 319 || i < 0 || i >= 64000 || (skip_black && p == 0)) continue;
            frame[i] = add_pixels(frame[i], p);
        }
}

// Pixel-exact equality of 64,000 pixels, reported as a count and the first difference.
inline ::testing::AssertionResult same_frame(const std::uint32_t* actual, const TestPicture& expected)
{
    if (actual == nullptr) return ::testing::AssertionFailure() << "no frame";
    long wrong = 0, first = -1;
    for (int i = 0; i < 64000; ++i)
        if (actual[i] != expected[i] && wrong++ == 0) first = i;
    if (wrong == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << wrong << " pixels differ, the first at column " << first % 320
                                         << ", row " << first / 320 << ": " << std::hex << actual[first]
                                         << " instead of " << expected[first];
}

// A test whose pictures live in a folder of its own, left again afterwards.
class SceneFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = std::filesystem::current_path();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::filesystem::temp_directory_path() /
                  ("velmora-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
                   std::to_string(::getpid()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        std::filesystem::current_path(folder_);
    }
    void TearDown() override
    {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(folder_);
    }

private:
    std::filesystem::path previous_, folder_;
};
