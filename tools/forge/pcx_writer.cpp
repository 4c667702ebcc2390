// pcx_writer.cpp -- the PCX encoder. Runs never cross a plane line, as ordinary
// encoders do; the show's reader accepts either.
#include "pcx_writer.h"

#include "forge.h"

namespace {

constexpr int width = 320, height = 200;

void put16(std::vector<std::uint8_t>& out, std::size_t at, int value)
{
    out[at] = static_cast<std::uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

std::vector<std::uint8_t> header()
{
    std::vector<std::uint8_t> h(128, 0);
    h[0] = 10;  // manufacturer
    h[1] = 5;   // version
    h[2] = 1;   // run-length encoding
    h[3] = 8;   // bits per plane
    put16(h, 4, 0);
    put16(h, 6, 0);
    put16(h, 8, width - 1);
    put16(h, 10, height - 1);
    put16(h, 12, 72);
    put16(h, 14, 72);
    h[65] = 3;  // planes
    put16(h, 66, width);  // bytes per plane line
    put16(h, 68, 1);      // colour palette interpretation
    return h;
}

// One plane line: runs of up to 63 equal bytes; a lone byte below 0xC0 is a literal.
void encode_line(std::vector<std::uint8_t>& out, const std::uint8_t* line)
{
    for (int x = 0; x < width;) {
        const std::uint8_t value = line[x];
        int run = 1;
        while (x + run < width && run < 63 && line[x + run] == value) ++run;
        if (run > 1 || value >= 0xC0) out.push_back(static_cast<std::uint8_t>(0xC0 | run));
        out.push_back(value);
        x += run;
    }
}

}  // namespace

std::vector<std::uint8_t> encode_pcx(const std::uint32_t* pixels)
{
    std::vector<std::uint8_t> out = header();
    std::uint8_t line[width];
    for (int y = 0; y < height; ++y) {
        for (int plane = 0; plane < 3; ++plane) {
            const int shift = 16 - 8 * plane;  // red, green, blue
            for (int x = 0; x < width; ++x)
                line[x] = static_cast<std::uint8_t>(pixels[y * width + x] >> shift);
            encode_line(out, line);
        }
    }
    return out;
}

void write_pcx(const std::string& file, const std::uint32_t* pixels)
{
    const std::vector<std::uint8_t> bytes = encode_pcx(pixels);
    forge_write_file(file, bytes.data(), bytes.size());
}
