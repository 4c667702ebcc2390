// y4m_writer.cpp -- YUV4MPEG2 output: limited-range BT.601, 4:4:4 or 4:2:0.
#include "y4m_writer.h"

namespace {

// The matrix in 8.8 fixed point; +128 rounds, the >> 8 of a negative sum floors.
int luma_sum(int r, int g, int b) { return ((66 * r + 129 * g + 25 * b + 128) >> 8) + 16; }
int blue_sum(int r, int g, int b) { return ((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128; }
int red_sum(int r, int g, int b) { return ((112 * r - 94 * g - 18 * b + 128) >> 8) + 128; }

int red_of(std::uint32_t p) { return static_cast<int>((p >> 16) & 255u); }
int green_of(std::uint32_t p) { return static_cast<int>((p >> 8) & 255u); }
int blue_of(std::uint32_t p) { return static_cast<int>(p & 255u); }

}  // namespace

std::uint8_t luma_of(std::uint32_t rgb)
{
    return static_cast<std::uint8_t>(luma_sum(red_of(rgb), green_of(rgb), blue_of(rgb)));
}

std::uint8_t blue_chroma_of(int r, int g, int b) { return static_cast<std::uint8_t>(blue_sum(r, g, b)); }
std::uint8_t red_chroma_of(int r, int g, int b) { return static_cast<std::uint8_t>(red_sum(r, g, b)); }

std::string y4m_header(int width, int height, bool full_chroma)
{
    return "YUV4MPEG2 W" + std::to_string(width) + " H" + std::to_string(height) +
           " F60:1 Ip A1:1 " + (full_chroma ? "C444" : "C420jpeg") + " XCOLORRANGE=LIMITED\n";
}

void y4m_frame_planes(const std::uint32_t* pixels, int width, int height, bool full_chroma,
                      std::vector<std::uint8_t>& planes)
{
    const std::size_t luma_size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const int chroma_w = full_chroma ? width : width / 2;
    const int chroma_h = full_chroma ? height : height / 2;
    const std::size_t chroma_size = static_cast<std::size_t>(chroma_w) * static_cast<std::size_t>(chroma_h);
    planes.resize(luma_size + 2 * chroma_size);
    std::uint8_t* y_plane = planes.data();
    std::uint8_t* cb_plane = y_plane + luma_size;
    std::uint8_t* cr_plane = cb_plane + chroma_size;
    for (std::size_t i = 0; i < luma_size; ++i) y_plane[i] = luma_of(pixels[i]);
    const int step = full_chroma ? 1 : 2;
    for (int cy = 0; cy < chroma_h; ++cy) {
        for (int cx = 0; cx < chroma_w; ++cx) {
            int r = 0, g = 0, b = 0;
            for (int dy = 0; dy < step; ++dy) {
                for (int dx = 0; dx < step; ++dx) {
                    const std::uint32_t p = pixels[static_cast<std::size_t>(cy * step + dy) * static_cast<std::size_t>(width) +
                                                   static_cast<std::size_t>(cx * step + dx)];
                    r += red_of(p);
                    g += green_of(p);
                    b += blue_of(p);
                }
            }
            const int count = step * step, half = count / 2;
            r = (r + half) / count;
            g = (g + half) / count;
            b = (b + half) / count;
            const std::size_t at = static_cast<std::size_t>(cy) * static_cast<std::size_t>(chroma_w) + static_cast<std::size_t>(cx);
            cb_plane[at] = blue_chroma_of(r, g, b);
            cr_plane[at] = red_chroma_of(r, g, b);
        }
    }
}

bool y4m_open(Y4mWriter& writer, const std::string& path, int width, int height, bool full_chroma)
{
    writer = Y4mWriter{};
    writer.path = path;
    writer.width = width;
    writer.height = height;
    writer.full_chroma = full_chroma;
    writer.file = std::fopen(path.c_str(), "wb");
    if (writer.file == nullptr) {
        std::fprintf(stderr, "velmora_capture: cannot write %s\n", path.c_str());
        writer.failed = true;
        return false;
    }
    const std::string header = y4m_header(width, height, full_chroma);
    if (std::fwrite(header.data(), 1, header.size(), writer.file) != header.size()) {
        std::fprintf(stderr, "velmora_capture: cannot write %s\n", path.c_str());
        writer.failed = true;
        return false;
    }
    return true;
}

bool y4m_write_frame(Y4mWriter& writer, const std::uint32_t* pixels)
{
    if (writer.file == nullptr || writer.failed) return false;
    y4m_frame_planes(pixels, writer.width, writer.height, writer.full_chroma, writer.planes);
    static const char marker[] = "FRAME\n";
    if (std::fwrite(marker, 1, sizeof marker - 1, writer.file) != sizeof marker - 1 ||
        std::fwrite(writer.planes.data(), 1, writer.planes.size(), writer.file) != writer.planes.size()) {
        std::fprintf(stderr, "velmora_capture: writing %s failed (disk full?)\n", writer.path.c_str());
        writer.failed = true;
        return false;
    }
    ++writer.frames;
    return true;
}

bool y4m_close(Y4mWriter& writer)
{
    if (writer.file == nullptr) return !writer.failed;
    const bool closed = std::fclose(writer.file) == 0;
    writer.file = nullptr;
    if (!closed && !writer.failed) std::fprintf(stderr, "velmora_capture: writing %s failed\n", writer.path.c_str());
    writer.failed = writer.failed || !closed;
    return !writer.failed;
}
