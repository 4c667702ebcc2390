// blob.cpp -- (not yet built) returns at once.
#include "scenes.h"

std::uint32_t polar_texture_a[65536];
std::uint32_t polar_texture_b[65536];

void load_effect_textures() {}
void draw_polar_blend(int, int) {}
void draw_polar_zoom(float, int, int) {}
void draw_polar_add(int, int) {}
void draw_sine_stretch() {}
void blob_scene() {}
