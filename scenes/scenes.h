// scenes.h -- the show's scenes, called by the entry in show order, and the
// pieces two or more scenes share. Each scene loads what it needs, runs its own
// frame loop until the music (or its frame count, or a key) ends it, and returns.
#pragma once

#include <cstdint>

// ---- intro_title.cpp ------------------------------------------------------------
// Two star pictures sliding over each other under a still title picture; called
// by the intro loop with the odd order (1, 3, 5, 7, 9) it was started at.
void intro_title_scene(int order);

// ---- texture_tunnel.cpp ------------------------------------------------------------
// Depth (low byte) and angle (high byte) per frame pixel; the fleet scene fills
// it with a formula of its own.
extern std::uint16_t polar_table[64000];
// Program-wide scroll offsets of the tunnels; only their low 16 bits matter.
extern std::uint32_t tunnel_offset_1;
extern std::uint32_t tunnel_offset_2;
extern std::uint32_t tunnel_texture_1[65536];
extern std::uint32_t tunnel_texture_2[65536];
extern std::uint32_t tunnel_texture_3[65536];
extern std::uint32_t tunnel_picture[64000];
// Loads the tunnel picture and the three tunnel textures (through `screen`).
void load_tunnel_textures();
// The tunnel of song 2's order 2.
void texture_tunnel_scene();

// ---- logo.cpp ------------------------------------------------------------------------
constexpr int flare_size = 43;
extern std::uint32_t flare_sprites[3][flare_size * flare_size];
// Loads the three flare sprites (through `screen`, which keeps the last picture).
void load_flares();
// Adds flare `type` (0, 1, 2; anything else draws nothing) centred at (x, y).
void draw_flare(int x, int y, int type);
// Adds `count` flares on a figure-eight around (cx, cy).
void draw_flare_ring(int cx, int cy, int radius, int phase, int count);
// Mosaic, flare rings, flash and the logo cross-fades of song 2's orders 3 and 4.
void logo_scene();

// ---- credits.cpp ------------------------------------------------------------------------
// The title logo and the four credit names of orders 5 to 7. No key test.
void credits_scene();

// ---- grit.cpp ------------------------------------------------------------------------------
// Shared 256x256 warp texture (the blob scene fills it with a picture of its own).
extern std::uint32_t warp_texture[65536];
extern int warp_phase;
extern int warp_offset;
// The sine-warped feedback with ball trails and the grit band, until order 19.
void grit_scene();

// ---- end_screens.cpp ------------------------------------------------------------------------
// The scrolling end pictures under a ring of rings, until a key (or 192,000 frames).
void end_screens();
