// music_wav.cpp -- the frame-locked audio as a 16-bit stereo WAV file: float
// frames rounded to 16 bits without dither, so the same run gives the same bytes.
#include "music_control.h"
#include "music_local.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct WavOutput {
    std::string path;
    std::FILE* file = nullptr;
    std::uint32_t rate = 0;
    std::uint64_t data_bytes = 0;
    std::vector<std::uint8_t> block;
};

// Never destroyed, so that the exit handler can still finish the file.
WavOutput& wav()
{
    static WavOutput* const w = new WavOutput;
    return *w;
}

void put_u16(std::uint8_t* at, unsigned value)
{
    at[0] = std::uint8_t(value & 0xFFu);
    at[1] = std::uint8_t((value >> 8) & 0xFFu);
}

void put_u32(std::uint8_t* at, std::uint32_t value)
{
    put_u16(at, value & 0xFFFFu);
    put_u16(at + 2, value >> 16);
}

// The 44-byte header; the sizes are filled in again when the file is finished.
void write_header(WavOutput& w)
{
    std::uint8_t h[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                          16, 0, 0, 0, 1, 0, 2, 0};
    const std::uint64_t capped = w.data_bytes > 0xFFFFFFD3u ? 0xFFFFFFD3u : w.data_bytes;
    put_u32(h + 4, std::uint32_t(36 + capped));
    put_u32(h + 24, w.rate);
    put_u32(h + 28, w.rate * 4);
    put_u16(h + 32, 4);
    put_u16(h + 34, 16);
    h[36] = 'd';
    h[37] = 'a';
    h[38] = 't';
    h[39] = 'a';
    put_u32(h + 40, std::uint32_t(capped));
    std::fseek(w.file, 0, SEEK_SET);
    std::fwrite(h, 1, sizeof h, w.file);
    std::fseek(w.file, 0, SEEK_END);
}

std::int16_t to_16_bits(float x)
{
    if (!(x == x)) return 0;  // NaN
    const float scaled = std::nearbyint(x * 32767.0f);
    return std::int16_t(scaled > 32767.0f ? 32767 : scaled < -32768.0f ? -32768 : int(scaled));
}

}  // namespace

void music_set_wav_output(const char* path)
{
    music_close_wav();
    wav().path = path != nullptr ? path : "";
}

void music_close_wav()
{
    WavOutput& w = wav();
    if (w.file != nullptr) {
        write_header(w);
        std::fclose(w.file);
    }
    w.file = nullptr;
    w.data_bytes = 0;
    w.rate = 0;
    w.path.clear();
}

void wav_append(const float* interleaved, int frames, std::uint32_t rate)
{
    WavOutput& w = wav();
    if (w.path.empty() || frames <= 0) return;
    if (w.file == nullptr) {
        w.file = std::fopen(w.path.c_str(), "wb");
        if (w.file == nullptr) {
            std::fprintf(stderr, "velmora: cannot write the audio file %s\n", w.path.c_str());
            w.path.clear();
            return;
        }
        w.rate = rate;
        write_header(w);
    }
    w.block.resize(std::size_t(frames) * 4);
    for (int i = 0; i < frames * 2; ++i) put_u16(&w.block[std::size_t(i) * 2], std::uint16_t(to_16_bits(interleaved[i])));
    std::fwrite(w.block.data(), 1, w.block.size(), w.file);
    w.data_bytes += w.block.size();
}
