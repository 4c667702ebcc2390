// fleet.cpp -- (not yet built) returns at once.
#include "scenes.h"

void fleet_scene() {}
void build_polar_table() {}
void draw_tunnel() {}
Mesh make_quad(int, int, int, int, int) { return Mesh{}; }
void draw_stars(int, std::uint32_t) {}
