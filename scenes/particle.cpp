// particle.cpp -- the tumbling cloud of cyan and magenta particles with blurred trails.
#include "scenes.h"

#include "../assets/assets.h"
#include "../platform/console/console.h"
#include "../shell/shell.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int particle_count = 400;
constexpr int particle_sprite_size = 14;
constexpr int particles_end_order = 14;

// A fixed point of the cloud (normal zero) and the angle, in degrees, that turns
// it about all three axes alike.
struct Particle {
    Vertex point;
    float angle;
};

Particle particles[particle_count];
Vertex rotated_particles[particle_count];
std::uint32_t particle_sprite[particle_sprite_size * particle_sprite_size];
std::uint32_t particle_picture[frame_pixels];

// Even particles keep green and blue (cyan), odd ones red and blue (magenta).
constexpr std::uint32_t particle_masks[2] = {0x0000FFFFu, 0x00FF00FFu};

// The trails accumulate in the shared picture buffer.
std::uint32_t* const trail = background_picture;

// (rand() mod 100) - (rand() mod 100), the first call the minuend.
float random_coordinate()
{
    const int a = std::rand() % 100;
    const int b = std::rand() % 100;
    return static_cast<float>(a - b);
}

void scatter_particles()
{
    for (Particle& p : particles) {
        p.point = Vertex{};
        p.point.x = random_coordinate();
        p.point.y = random_coordinate();
        p.point.z = random_coordinate();
        if (p.point.z == 0.0f) p.point.z = 1.0f;
        p.angle = 0.0f;
    }
}

void rotate_particles()
{
    for (int i = 0; i < particle_count; ++i) {
        Particle& p = particles[i];
        const int a = static_cast<int>(p.angle);
        rotated_particles[i] = rotate_point(p.point, a, a, a);
        p.angle += 2.0f;
        if (p.angle > 360.0f) p.angle -= 360.0f;
    }
}

// Adds the masked sprite into the trail with its top-left at (sx, sy). Indexes are
// linear, so columns past 319 continue on the next row; pixels past the buffer's
// end (rows below 199) are dropped.
void stamp_particle(int sx, int sy, std::uint32_t mask)
{
    for (int row = 0; row < particle_sprite_size; ++row) {
        const int start = (sy + row) * frame_width + sx;
        const std::uint32_t* line = particle_sprite + row * particle_sprite_size;
        const int columns = frame_pixels - start < particle_sprite_size ? frame_pixels - start : particle_sprite_size;
        for (int col = 0; col < columns; ++col) trail[start + col] = blend_add(trail[start + col], line[col] & mask);
    }
}

// Projects the first `live` rotated particles about the frame centre at depth 200
// and stamps those clear of a 5-pixel border.
void draw_particles(int live)
{
    for (int i = 0; i < live; ++i) {
        const Vertex& r = rotated_particles[i];
        // The cloud's radius is below 172, so the depth stays above 28.
        const int d = static_cast<int>(r.z) + 200;
        const int sx = static_cast<int>(r.x) * 256 / d + 160;
        const int sy = static_cast<int>(r.y) * 256 / d + 100;
        if (sx > 5 && sx < 315 && sy > 5 && sy < 195) stamp_particle(sx, sy, particle_masks[i % 2]);
    }
}

void add_trail_to_frame(std::uint32_t* frame)
{
    for (int j = 0; j < frame_pixels; ++j) frame[j] = blend_add(frame[j], trail[j]);
}

// Blue, green and red of ((up + down + left + right) / 4 - 6), at least 0; the
// top byte is `keep`'s. Red and blue share one word of 16-bit lanes, green has
// its own, so no lane's sum (at most 1020) reaches its neighbour.
inline std::uint32_t faded_pixel(std::uint32_t up, std::uint32_t down, std::uint32_t left, std::uint32_t right,
                                 std::uint32_t keep)
{
    const std::uint32_t rb = ((up & 0x00FF00FFu) + (down & 0x00FF00FFu) + (left & 0x00FF00FFu) +
                              (right & 0x00FF00FFu)) >> 2 & 0x00FF00FFu;
    const std::uint32_t g = ((up & 0x0000FF00u) + (down & 0x0000FF00u) + (left & 0x0000FF00u) +
                             (right & 0x0000FF00u)) >> 2 & 0x0000FF00u;
    // With bit 8 of each lane set first, subtracting 6 borrows within the lane
    // only, and that bit survives exactly when the lane was 6 or more.
    const std::uint32_t rb_less = (rb | 0x01000100u) - 0x00060006u;
    const std::uint32_t g_less = (g | 0x00010000u) - 0x00000600u;
    const std::uint32_t rb_out = rb_less & (((rb_less >> 8) & 0x00010001u) * 0xFFu);
    const std::uint32_t g_out = g_less & (((g_less >> 16) & 1u) * 0xFF00u);
    return (keep & 0xFF000000u) | (rb_out & 0x00FF00FFu) | (g_out & 0x0000FF00u);
}

}  // namespace

// In place and in index order, so the left and upper neighbours are already this
// pass's; neighbours beyond the buffer read as black. The left neighbour of
// column 0 is the last pixel of the row above (the index is linear).
void fade_trail()
{
    std::uint32_t left = 0;
    int i = 0;
    for (; i < frame_width; ++i) left = trail[i] = faded_pixel(0, trail[i + frame_width], left, trail[i + 1], trail[i]);
    for (; i < frame_pixels - frame_width; ++i)
        left = trail[i] = faded_pixel(trail[i - frame_width], trail[i + frame_width], left, trail[i + 1], trail[i]);
    for (; i < frame_pixels - 1; ++i)
        left = trail[i] = faded_pixel(trail[i - frame_width], 0, left, trail[i + 1], trail[i]);
    trail[i] = faded_pixel(trail[i - frame_width], 0, left, 0, trail[i]);
}

void particle_scene()
{
    std::uint32_t* const frame = screen;
    load_pcx("qd\\gfx\\sprites\\partic.pcx", frame);
    load_pcx("qd\\gfx\\bak\\pemb.pcx", particle_picture);
    cut_sprite(frame, particle_sprite, particle_sprite_size, particle_sprite_size);  // the frame keeps the picture
    std::memset(trail, 0, sizeof background_picture);
    scatter_particles();
    int live = 0;
    if (console_key_waiting(console)) return;

    // The first frame lies over the sprite picture; later ones over pemb.
    while (music_order() < particles_end_order) {
        rotate_particles();
        draw_particles(live);
        if (live < particle_count) ++live;
        add_trail_to_frame(frame);
        present_frame();
        fade_trail();
        std::memcpy(frame, particle_picture, sizeof particle_picture);
        if (console_key_waiting(console)) return;
    }
}
