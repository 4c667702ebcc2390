// pcx.cpp -- the PCX picture reader: 320x200, three 8-bit planes, run-length
// encoded, header skipped unread.
#include "assets.h"

#include <cstddef>

namespace {

constexpr int plane_line = picture_width;                       // 320 bytes per plane line
constexpr int decoded_bytes = picture_pixels * 3;               // 192,000
constexpr long header_bytes = 128;

// The three planes of the picture being decoded; the caller's buffer is only
// written once the whole picture has been decoded.
std::uint8_t planes[3][picture_pixels];

// Where the next decoded byte goes: runs and literals run on across plane and
// picture lines without regard to their ends.
struct DecodePosition {
    int column = 0, plane = 0, line = 0;
    int stored = 0;

    void store(std::uint8_t value)
    {
        if (stored >= decoded_bytes) return;  // what the last run makes beyond the end is dropped
        planes[plane][line * picture_width + column] = value;
        ++stored;
        if (++column == plane_line) {
            column = 0;
            if (++plane == 3) {
                plane = 0;
                ++line;
            }
        }
    }
};

// The file read in blocks: a picture is decoded byte by byte, and one library
// call per byte cost more than the decoding itself.
struct BlockReader {
    std::FILE* file = nullptr;
    std::size_t at = 0, filled = 0;
    std::uint8_t block[16384];

    int next()
    {
        if (at == filled) {
            filled = std::fread(block, 1, sizeof block, file);
            at = 0;
            if (filled == 0) return EOF;
        }
        return block[at++];
    }
};

bool decode(std::FILE* file)
{
    static BlockReader in;
    in.file = file;
    in.at = in.filled = 0;
    DecodePosition at;
    while (at.stored < decoded_bytes) {
        const int byte = in.next();
        if (byte == EOF) return false;
        if ((byte & 0xC0) == 0xC0) {
            const int value = in.next();
            if (value == EOF) return false;
            for (int count = byte & 0x3F; count > 0; --count) at.store(static_cast<std::uint8_t>(value));
        } else {
            at.store(static_cast<std::uint8_t>(byte));
        }
    }
    return true;
}

}  // namespace

int load_pcx(const char* path, std::uint32_t* pixels)
{
    std::FILE* file = open_data_file(path, "rb");
    if (file == nullptr) return -1;
    const bool decoded = std::fseek(file, header_bytes, SEEK_SET) == 0 && decode(file);
    std::fclose(file);
    if (!decoded) return -1;
    for (int i = 0; i < picture_pixels; ++i)
        pixels[i] = (static_cast<std::uint32_t>(planes[0][i]) << 16) |
                    (static_cast<std::uint32_t>(planes[1][i]) << 8) | planes[2][i];
    return 0;
}
