// fuzz_pcx.cpp -- libFuzzer target for the PCX reader: any bytes as a picture file.
// Besides running clean under the sanitizers, a picture either decodes to 64,000
// pixels with a clear top byte, or fails with -1 and leaves the buffer untouched.
#include "fuzz_input.h"

#include "assets/assets.h"

namespace {

constexpr std::uint32_t untouched = 0xA5C3E1F7u;
std::uint32_t pixels[picture_pixels + 1];

VELMORA_FUZZ_CHECK void fill_untouched()
{
    for (std::uint32_t& p : pixels) p = untouched;
}

VELMORA_FUZZ_CHECK void check(int result, std::size_t size)
{
    bool sound = pixels[picture_pixels] == untouched;  // nothing past the picture
    if (result == -1) {
        for (int i = 0; i < picture_pixels; ++i) sound = sound && pixels[i] == untouched;
    } else {
        sound = sound && result == 0 && size > 128;
        for (int i = 0; i < picture_pixels; ++i) sound = sound && pixels[i] <= 0x00FFFFFFu;
    }
    if (!sound) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fill_untouched();
    const int result = load_pcx(fuzz_input_path(data, size), pixels);
    check(result, size);
    return 0;
}
