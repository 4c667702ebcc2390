// shell.h -- what the demo shell offers the rest of the show: the frame and its
// presentation, the shared pictures, pixel arithmetic, the sine/cosine table,
// the music position and the entry.
#pragma once

#include <cstdint>

struct Console;
struct Format;
struct Surface;

// ---- frame geometry -------------------------------------------------------

constexpr int frame_width = 320;
constexpr int frame_height = 200;
constexpr int frame_pixels = frame_width * frame_height;  // 64,000
constexpr int surface_height = 240;                       // the frame surface: 20 rows of margin above and below
constexpr int margin_pixels = 20 * frame_width;           // 6,400

// ---- display (display.cpp) -------------------------------------------------

// Constructed at program start-up in this order, destroyed in reverse at exit.
extern Console* console;
extern Format* console_format;  // 32 bits, red 0xFF, green 0xFF00, blue 0xFF0000
extern Format* frame_format;    // 32 bits, 0x00RRGGBB; every surface has it
extern Surface* frame_surface;  // 320x240, locked except inside present_frame
// The current frame: 64,000 pixels 0x00RRGGBB, rows of 320. Once the console is
// open it points at row 20 of the frame surface; the address never changes.
extern std::uint32_t* screen;

// Shows the mode menu, then opens the main console in the chosen mode and moves
// `screen` to row 20 of the frame surface. Called once by the entry; does not
// return when the viewer presses Escape.
void open_display();
// Shows the current frame and leaves `screen` valid for the next one. Called by
// every scene at the end of each frame.
void present_frame();

// ---- pixel arithmetic (pixel.cpp; the blends are inline) --------------------

// Per channel min(255, a.c + b.c); top byte 0.
inline std::uint32_t blend_add(std::uint32_t a, std::uint32_t b)
{
    // Red and blue summed in one word, green in another, so no lane's carry
    // reaches its neighbour; each carry then becomes a 0xFF mask.
    std::uint32_t rb = (a & 0x00FF00FFu) + (b & 0x00FF00FFu);
    std::uint32_t g = (a & 0x0000FF00u) + (b & 0x0000FF00u);
    const std::uint32_t rb_carry = rb & 0x01000100u, g_carry = g & 0x00010000u;
    rb |= rb_carry - (rb_carry >> 8);
    g |= g_carry - (g_carry >> 8);
    return (rb & 0x00FF00FFu) | (g & 0x0000FF00u);
}

// Per channel min(255, (a.c * 256 + b.c * k) >> 8), in unsigned 32-bit
// arithmetic; top byte 0. k = 0 gives a, k = 256 equals blend_add.
inline std::uint32_t blend_add_scaled(std::uint32_t a, std::uint32_t b, std::uint32_t k)
{
    std::uint32_t result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const std::uint32_t c = (((a >> shift) & 255u) * 256u + ((b >> shift) & 255u) * k) >> 8;
        result |= (c > 255u ? 255u : c) << shift;
    }
    return result;
}

// Per channel (a.c * k + b.c * (255 - k)) >> 8 with only the low 8 bits of k;
// top byte 0. Never reaches a exactly: k = 255, b = 0 gives a.c - 1 for a.c > 0.
inline std::uint32_t blend_mix(std::uint32_t a, std::uint32_t b, std::uint32_t k)
{
    k &= 255u;
    const std::uint32_t j = 255u - k;
    const std::uint32_t rb = (((a & 0x00FF00FFu) * k + (b & 0x00FF00FFu) * j) >> 8) & 0x00FF00FFu;
    const std::uint32_t g = (((a & 0x0000FF00u) * k + (b & 0x0000FF00u) * j) >> 8) & 0x0000FF00u;
    return rb | g;
}

// In place, ascending: buf[i] = ((buf[i-d] >> 1) & 0x7F7F7F7F) + ((buf[i+d] >> 1) & 0x7F7F7F7F)
// for i = 0 .. 63,999; positions outside the buffer read as black. Nothing
// outside the 64,000 pixels is read or written. d from 0 to 64,000.
void smear(std::uint32_t* buf, int d);

struct SinCos {
    float sin;
    float cos;
};
// Entry i = {sin, cos} of i * 0.017453277777777776 (3.14159/180), i = 0 .. 360.
extern SinCos sincos_table[361];
// Fills sincos_table (in extended precision, stored as floats). Called by the entry.
void build_sincos_table();

// ---- shared pictures (show.cpp) ---------------------------------------------

extern std::uint32_t backdrop1[frame_pixels];          // "qd\gfx\bak\stbk1.pcx"
extern std::uint32_t backdrop2[frame_pixels];          // "qd\gfx\bak\stbk2a.pcx"
extern std::uint32_t overlay_picture[frame_pixels];    // "qd\gfx\misc\dtext.pcx", replaced by the intro title
extern std::uint32_t background_picture[frame_pixels]; // filled by each scene that uses it
constexpr int ring_size = 43;
extern std::uint32_t ring_sprite[ring_size * ring_size];

// ---- music position (show.cpp) -----------------------------------------------

// Handle of the song that is playing.
extern std::uint32_t music_channel;
// The low and high 16 bits of the position; each call reads it afresh.
std::uint16_t music_order();
std::uint16_t music_row();

// ---- the entry (entry.cpp) ---------------------------------------------------

enum class Variant { final_build, vox_build };
// Which build is running; set by the entry before anything else.
extern Variant show_variant;

// The whole show, menu to shutdown. Returns the process exit code (1 after a
// reported library error).
int show_main(Variant variant);

// Called with each scene's (or entry step's) name just before it runs, and with
// nullptr when the show reaches its shutdown. Empty in the main programs; the
// capture tool logs it.
using SceneTraceHook = void (*)(const char* name);
void set_scene_trace_hook(SceneTraceHook hook);
void trace_scene(const char* name);
