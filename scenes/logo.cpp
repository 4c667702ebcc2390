// logo.cpp -- (not yet built) returns at once.
#include "scenes.h"

std::uint32_t flare_sprites[3][flare_size * flare_size];

void load_flares() {}
void draw_flare(int, int, int) {}
void draw_flare_ring(int, int, int, int, int) {}
void logo_scene() {}
