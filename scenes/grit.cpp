// grit.cpp -- (not yet built) returns at once.
#include "scenes.h"

std::uint32_t warp_texture[65536];
int warp_phase = 0;
int warp_offset = 0;

void grit_scene() {}
