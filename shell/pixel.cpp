// pixel.cpp -- the frame blur and the shared sine/cosine table.
#include "shell.h"

#include <cmath>

SinCos sincos_table[361];

void build_sincos_table()
{
    constexpr long double degree = 0.017453277777777776L;  // 3.14159 / 180, not pi / 180
    for (int i = 0; i <= 360; ++i) {
        sincos_table[i].sin = static_cast<float>(std::sin(static_cast<long double>(i) * degree));
        sincos_table[i].cos = static_cast<float>(std::cos(static_cast<long double>(i) * degree));
    }
}

static inline std::uint32_t halve(std::uint32_t p)
{
    return (p >> 1) & 0x7F7F7F7Fu;
}

void smear(std::uint32_t* buf, int d)
{
    if (d < 0) d = -d;
    if (d > frame_pixels) d = frame_pixels;
    const int left_end = d;                   // below this the left neighbour is outside
    const int right_start = frame_pixels - d; // from here the right neighbour is outside
    int i = 0;
    for (; i < left_end && i < right_start; ++i) buf[i] = halve(buf[i + d]);
    for (; i < left_end; ++i) buf[i] = 0;
    for (; i < right_start; ++i) buf[i] = halve(buf[i - d]) + halve(buf[i + d]);
    for (; i < frame_pixels; ++i) buf[i] = halve(buf[i - d]);
}
