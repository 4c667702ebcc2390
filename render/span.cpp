// span.cpp -- the depth buffer and the three textured span fillers: one row of a
// triangle, affine texture row and depth in float, texture column in 16.16.
#include "render.h"
#include "render_local.h"

#include "shell/shell.h"

std::int16_t depth_buffer[64000];

namespace {

enum class Blend { opaque, additive, halfblend };

// Texture coordinate limits for a span end: far beyond 0 .. 255, and small enough
// that the 16.16 column step (v difference times 65536) fits in 32 bits.
constexpr float row_limit = 1048576.0f;  // 2^20
constexpr float column_limit = 8192.0f;  // 2^13

// Everything a span needs per pixel, worked out once per span.
struct SpanSetup {
    std::int64_t first, last;  // pixel indices written (columns 0 .. 318)
    std::int64_t column0;      // frame column of index 0
    float z_left, dz;          // depth = z_left + i * dz
    float row0, du;            // texture row = row0 + i * du
    std::int32_t column_start;  // texture column = column_start + ((i + 1) * dv >> 16)
    std::int32_t dv;            // 16.16 column step
};

// The shared set-up of the three fillers. `extra` is 1 for the opaque span (divisor
// w + 1, one more column on each side) and 0 for the blending ones. Returns false
// when the span draws nothing.
bool set_up_span(SpanEnd end0, SpanEnd end1, int y, int extra, SpanSetup& s)
{
    if (y < 0 || y >= frame_height) return false;
    if (end0.x > frame_width && end1.x > frame_width) return false;
    if (end0.x < 0 && end1.x < 0) return false;
    if (end0.x == end1.x) return false;
    const SpanEnd& left = end0.x < end1.x ? end0 : end1;
    const SpanEnd& right = end0.x < end1.x ? end1 : end0;
    const std::int64_t w = static_cast<std::int64_t>(right.x) - left.x;
    const float n = static_cast<float>(w + extra);

    const float u_left = clamp_finite(left.u, row_limit), u_right = clamp_finite(right.u, row_limit);
    const float v_left = clamp_finite(left.v, column_limit), v_right = clamp_finite(right.v, column_limit);
    s.z_left = clamp_finite(left.z, depth_limit);
    const float z_right = clamp_finite(right.z, depth_limit);
    s.du = (u_right - u_left) / n;
    s.dz = (z_right - s.z_left) / n;
    s.dv = static_cast<std::int32_t>((v_right - v_left) / n * 65536.0f);
    s.row0 = static_cast<float>(static_cast<std::int32_t>(u_left));
    s.column_start = static_cast<std::int32_t>(v_left);

    s.column0 = static_cast<std::int64_t>(left.x) - extra;
    s.first = s.column0 < 0 ? -s.column0 : 0;
    const std::int64_t last_column = frame_width - 2;  // column 319 is never written by a span
    s.last = w + extra;
    if (s.column0 + s.last > last_column) s.last = last_column - s.column0;
    RENDER_RANGE_CHECK(s.first > s.last || (s.column0 + s.first >= 0 && s.column0 + s.last <= last_column),
                       "set_up_span: columns %lld to %lld on row %d", static_cast<long long>(s.column0 + s.first),
                       static_cast<long long>(s.column0 + s.last), y);
    return s.first <= s.last;
}

// The pixel loop. Per pixel: two multiply-adds, a 16.16 add, a shift, a masked
// lookup, the depth test and the store. `full_depth` selects the full-width depth
// compare of the vox build for the opaque span.
template <Blend blend, bool full_depth>
void fill_span(const SpanSetup& s, int y, const std::uint32_t* texture)
{
    // Both pointers start at the first written column; pixel index i sits at i - first.
    const std::int64_t first_column = s.column0 + s.first;
    std::uint32_t* pixels = screen + y * frame_width + first_column;
    std::int16_t* depths = depth_buffer + y * frame_width + first_column;
    // The column accumulator wraps in 32 bits; only its value modulo 2^16 after the
    // shift reaches the masked index, so the wrap changes nothing that is seen.
    std::uint32_t column_acc = static_cast<std::uint32_t>((s.first + 1) * static_cast<std::int64_t>(s.dv));
    const std::uint32_t column_step = static_cast<std::uint32_t>(s.dv);
    for (std::int64_t i = s.first, k = 0; i <= s.last; ++i, ++k) {
        const float fi = static_cast<float>(i);
        const std::int32_t z = static_cast<std::int32_t>(s.z_left + fi * s.dz);
        const std::int32_t row = static_cast<std::int32_t>(s.row0 + fi * s.du);
        const std::int32_t column = s.column_start + (static_cast<std::int32_t>(column_acc) >> 16);
        column_acc += column_step;
        const std::uint32_t texel =
            texture[(static_cast<std::uint32_t>(row) * 256u + static_cast<std::uint32_t>(column)) & 0xFFFFu];
        if constexpr (blend == Blend::opaque) {
            if constexpr (full_depth) {
                if (z > 0 && z < depths[k]) {
                    depths[k] = static_cast<std::int16_t>(z);
                    pixels[k] = texel;
                }
            } else {
                const std::int16_t z16 = static_cast<std::int16_t>(z);  // 16-bit wrap
                if (z16 > 0 && z16 < depths[k]) {
                    depths[k] = z16;
                    pixels[k] = texel;
                }
            }
        } else if constexpr (blend == Blend::additive) {
            if (z > 0 && z < depths[k]) pixels[k] = blend_add(pixels[k], texel);
        } else {
            if (z > 0 && z < depths[k])
                pixels[k] = ((texel >> 1) & 0x7F7F7F7Fu) + ((pixels[k] >> 1) & 0x7F7F7F7Fu);
        }
    }
}

}  // namespace

void draw_span_textured(SpanEnd end0, SpanEnd end1, int y, const std::uint32_t* texture)
{
    SpanSetup s;
    if (!set_up_span(end0, end1, y, 1, s)) return;
    if (show_variant == Variant::vox_build)
        fill_span<Blend::opaque, true>(s, y, texture);
    else
        fill_span<Blend::opaque, false>(s, y, texture);
}

void draw_span_additive(SpanEnd end0, SpanEnd end1, int y, const std::uint32_t* texture)
{
    SpanSetup s;
    if (set_up_span(end0, end1, y, 0, s)) fill_span<Blend::additive, false>(s, y, texture);
}

void draw_span_halfblend(SpanEnd end0, SpanEnd end1, int y, const std::uint32_t* texture)
{
    SpanSetup s;
    if (set_up_span(end0, end1, y, 0, s)) fill_span<Blend::halfblend, false>(s, y, texture);
}
