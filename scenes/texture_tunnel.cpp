// texture_tunnel.cpp -- (not yet built) returns at once.
#include "scenes.h"

std::uint16_t polar_table[64000];
std::uint32_t tunnel_offset_1 = 0;
std::uint32_t tunnel_offset_2 = 0;
std::uint32_t tunnel_texture_1[65536];
std::uint32_t tunnel_texture_2[65536];
std::uint32_t tunnel_texture_3[65536];
std::uint32_t tunnel_picture[64000];

void load_tunnel_textures() {}
void texture_tunnel_scene() {}
