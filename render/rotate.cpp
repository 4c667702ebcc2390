// rotate.cpp -- the one rotation of the renderer: X, then Y, then Z, by table sines.
#include "render.h"

#include "shell/shell.h"

// Angles are whole degrees indexing sincos_table (0 .. 360 inclusive); anything
// outside that range is brought back into it so the table is never overrun.
static inline const SinCos& table_entry(int degrees)
{
    if (degrees < 0 || degrees > 360) {
        degrees %= 360;
        if (degrees < 0) degrees += 360;
    }
    return sincos_table[degrees];
}

// One vector through the three plane rotations; every intermediate is a float.
static inline void rotate_vector(float& x, float& y, float& z, const SinCos& r1, const SinCos& r3,
                                 const SinCos& r2)
{
    const float y1 = y * r1.cos - z * r1.sin;  // about X
    const float z1 = z * r1.cos + y * r1.sin;
    const float x1 = z1 * r3.sin + x * r3.cos;  // about Y
    const float z2 = z1 * r3.cos - x * r3.sin;
    const float x2 = x1 * r2.cos - y1 * r2.sin;  // about Z
    const float y2 = y1 * r2.cos + x1 * r2.sin;
    x = x2;
    y = y2;
    z = z2;
}

Vertex rotate_point(const Vertex& vertex, int angle_x, int angle_z, int angle_y)
{
    const SinCos& r1 = table_entry(angle_x);
    const SinCos& r2 = table_entry(angle_z);
    const SinCos& r3 = table_entry(angle_y);
    Vertex out = vertex;
    rotate_vector(out.x, out.y, out.z, r1, r3, r2);
    rotate_vector(out.nx, out.ny, out.nz, r1, r3, r2);
    return out;
}
