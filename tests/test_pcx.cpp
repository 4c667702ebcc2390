// test_pcx.cpp -- the PCX reader against files from an independent encoder
// (ImageMagick), from the forge's writer, and hand-made byte streams.
#include "assets/assets.h"
#include "tools/forge/pcx_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

std::string temp_file(const std::string& name)
{
    return testing::TempDir() + "velmora_pcx_" + name;
}

void write_bytes(const std::string& file, const std::vector<std::uint8_t>& bytes)
{
    std::FILE* out = std::fopen(file.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
}

// A 128-byte header (never read) followed by the given data bytes.
std::vector<std::uint8_t> with_header(const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> bytes(128 + data.size(), 0xEE);
    std::copy(data.begin(), data.end(), bytes.begin() + 128);
    return bytes;
}

// Mostly black, with an asymmetric mark whose R, G and B differ, so plane order,
// channel swaps, transposition and row doubling all show.
std::vector<std::uint32_t> marked_picture()
{
    std::vector<std::uint32_t> p(picture_pixels, 0);
    for (int y = 10; y < 60; ++y) p[y * 320 + 12] = 0x00C81E64u;   // vertical stroke
    for (int x = 12; x < 40; ++x) p[10 * 320 + x] = 0x00C81E64u;   // top bar
    for (int x = 12; x < 30; ++x) p[30 * 320 + x] = 0x0014F0AAu;   // middle bar
    p[199 * 320 + 319] = 0x000000FFu;                              // pure blue, last pixel
    p[0] = 0x00FFFFFFu;                                            // pure white, first pixel
    return p;
}

class PcxReader : public testing::Test {
protected:
    std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(picture_pixels, 0x00ABCDEFu);
    bool untouched() const
    {
        for (std::uint32_t p : pixels)
            if (p != 0x00ABCDEFu) return false;
        return true;
    }
};

}  // namespace

TEST_F(PcxReader, ReadsWhatImageMagickWrites)
{
    if (std::system("command -v convert > /dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick (convert) is not installed";
    const std::vector<std::uint32_t> picture = marked_picture();
    const std::string ppm = temp_file("mark.ppm"), pcx = temp_file("mark_im.pcx");
    std::vector<std::uint8_t> bytes;
    const std::string head = "P6\n320 200\n255\n";
    bytes.assign(head.begin(), head.end());
    for (std::uint32_t p : picture) {
        bytes.push_back(static_cast<std::uint8_t>(p >> 16));
        bytes.push_back(static_cast<std::uint8_t>(p >> 8));
        bytes.push_back(static_cast<std::uint8_t>(p));
    }
    write_bytes(ppm, bytes);
    ASSERT_EQ(std::system(("convert " + ppm + " -type TrueColor " + pcx).c_str()), 0);
    ASSERT_EQ(load_pcx(pcx.c_str(), pixels.data()), 0);
    EXPECT_EQ(pixels, picture);
}

TEST_F(PcxReader, RoundTripsTheForgesWriterAndImageMagickAgrees)
{
    std::mt19937 rng(99);
    std::vector<std::uint32_t> picture(picture_pixels);
    for (int i = 0; i < picture_pixels; ++i)  // runs and noise, values above 0xC0 included
        picture[i] = (i / 7 % 3 == 0) ? 0x00C0FFC1u : (rng() & 0x00FFFFFFu);
    const std::string pcx = temp_file("forge.pcx");
    write_pcx(pcx, picture.data());
    ASSERT_EQ(load_pcx(pcx.c_str(), pixels.data()), 0);
    EXPECT_EQ(pixels, picture);
    if (std::system("command -v identify > /dev/null 2>&1") == 0) {
        EXPECT_EQ(std::system(("identify " + pcx + " > /dev/null").c_str()), 0);
    }
}

TEST_F(PcxReader, LiteralsAndRunsCrossPlaneAndLineEnds)
{
    // Every byte a literal below 0xC0 decodes byte for byte: plane lines of red,
    // green, blue per picture line.
    std::vector<std::uint8_t> data;
    for (int i = 0; i < 192000; ++i) data.push_back(static_cast<std::uint8_t>(i % 0xBF));
    write_bytes(temp_file("literal.pcx"), with_header(data));
    ASSERT_EQ(load_pcx(temp_file("literal.pcx").c_str(), pixels.data()), 0);
    for (int line : {0, 1, 199})
        for (int x : {0, 1, 319}) {
            const int base = line * 960;
            const std::uint32_t r = (base + x) % 0xBF, g = (base + 320 + x) % 0xBF, b = (base + 640 + x) % 0xBF;
            ASSERT_EQ(pixels[line * 320 + x], r << 16 | g << 8 | b) << line << "," << x;
        }

    // A run of 63 starting 10 bytes before the end of the red plane line runs on
    // into the green one; values of 0xC0 and more come only as runs; a count-0
    // run stores nothing but consumes its value; the last run overshoots 192,000.
    data.clear();
    for (int i = 0; i < 310; ++i) data.push_back(0);
    data.push_back(0xC0 | 63);
    data.push_back(0xF5);
    data.push_back(0xC0);  // count 0
    data.push_back(0x77);
    int stored = 310 + 63;
    while (stored < 192000) {
        data.push_back(0xC0 | 63);
        data.push_back(0xC3);
        stored += 63;
    }
    write_bytes(temp_file("runs.pcx"), with_header(data));
    ASSERT_EQ(load_pcx(temp_file("runs.pcx").c_str(), pixels.data()), 0);
    EXPECT_EQ(pixels[309] >> 16, 0u);
    EXPECT_EQ(pixels[310] >> 16, 0xF5u);                 // red, end of the first plane line
    EXPECT_EQ(pixels[319] >> 16, 0xF5u);
    EXPECT_EQ((pixels[0] >> 8) & 0xFF, 0xF5u);          // green, continued
    EXPECT_EQ((pixels[52] >> 8) & 0xFF, 0xF5u);
    EXPECT_EQ((pixels[53] >> 8) & 0xFF, 0xC3u);         // count-0 run left no trace
    EXPECT_EQ(pixels[63999], 0x00C3C3C3u);
}

TEST(DataPath, BackslashesBecomeSlashesAndTheDataIsFoundBesideTheProgram)
{
    EXPECT_EQ(data_path("qd\\no\\such.pcx"), "qd/no/such.pcx");
    // Tests run in the build folder, where the forge wrote qd/.
    std::uint32_t* menu = new std::uint32_t[picture_pixels];
    EXPECT_EQ(load_pcx("qd\\gfx\\misc\\meny1.pcx", menu), 0);
    delete[] menu;
}
