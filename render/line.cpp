// line.cpp -- the Bresenham line of the wire-frame mode, clipped to the frame.
#include "render.h"

#include "shell/shell.h"

namespace {

int sign_of(std::int64_t v) { return (v > 0) - (v < 0); }

// Number of steps k >= 0 after which a coordinate starting at `start` and moving by
// `dir` (+-1) per step lies in 0 .. limit - 1; false when it never does within
// `count` steps.
bool steps_inside(std::int64_t start, int dir, std::int64_t limit, std::int64_t count, std::int64_t& first,
                  std::int64_t& last)
{
    if (dir > 0) {
        first = start < 0 ? -start : 0;
        last = limit - 1 - start;
    } else {
        first = start > limit - 1 ? start - (limit - 1) : 0;
        last = start;
    }
    if (last > count) last = count;
    return first <= last;
}

}  // namespace

void draw_line(int x0, int y0, int x1, int y1, int c0, int c1, int c2)
{
    const std::uint32_t colour = static_cast<std::uint32_t>(static_cast<std::int8_t>(c0)) |
                                 static_cast<std::uint32_t>(static_cast<std::int8_t>(c1)) << 8 |
                                 static_cast<std::uint32_t>(static_cast<std::int8_t>(c2)) << 16;
    const std::int64_t dx = static_cast<std::int64_t>(x1) - x0, dy = static_cast<std::int64_t>(y1) - y0;
    const int sx = sign_of(dx), sy = sign_of(dy);
    const std::int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    const bool x_major = adx > ady;
    const std::int64_t count = x_major ? adx : ady;
    const std::int64_t minor = x_major ? ady : adx;

    // The major coordinate moves one unit every step, so only the steps where it is
    // inside the frame can plot; the walk starts there with the state the full walk
    // would have (error = count / 2 + k * minor, one diagonal step per count).
    std::int64_t first = 0, last = 0;
    if (count == 0) {
        first = last = 0;
    } else if (x_major ? !steps_inside(x0, sx, frame_width, count, first, last)
                       : !steps_inside(y0, sy, frame_height, count, first, last)) {
        return;
    }
    std::int64_t x = x0, y = y0, error = count / 2;
    if (first > 0) {
        // first and minor can both approach 2^32: the product needs 128 bits.
        const __int128 total = static_cast<__int128>(error) + static_cast<__int128>(first) * minor;
        const std::int64_t diagonal = static_cast<std::int64_t>(total / count);
        error = static_cast<std::int64_t>(total % count);
        if (x_major) {
            x += sx * first;
            y += sy * diagonal;
        } else {
            y += sy * first;
            x += sx * diagonal;
        }
    }
    for (std::int64_t k = first; k <= last; ++k) {
        if (x >= 0 && x < frame_width && y >= 0 && y < frame_height) screen[y * frame_width + x] = colour;
        error += minor;
        if (error < count) {
            if (x_major) x += sx; else y += sy;
        } else {
            x += sx;
            y += sy;
            error -= count;
        }
    }
}
