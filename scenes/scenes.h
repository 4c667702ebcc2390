// scenes.h -- the show's scenes, called by the entry in show order, and the
// pieces two or more scenes share. Each scene loads what it needs, runs its own
// frame loop until the music (or its frame count, or a key) ends it, and returns.
#pragma once

#include "render/render.h"

#include <cstdint>

// ---- intro_title.cpp ------------------------------------------------------------
// Two star pictures sliding over each other under a still title picture; called
// by the intro loop with the odd order (1, 3, 5, 7, 9) it was started at.
void intro_title_scene(int order);
// Frames the intro title has shown so far over all its calls; never reset.
extern int intro_scroll;

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
// Fills polar_table with the tunnel's depth (6000 / distance) and angle (two turns).
void build_tunnel_polar_table();
// One tunnel frame into `screen`: two scrolling textures plus tunnel_picture;
// advances both offsets.
void draw_textured_tunnel();
// The tunnel of song 2's order 2.
void texture_tunnel_scene();

// ---- logo.cpp ------------------------------------------------------------------------
constexpr int flare_size = 43;
extern std::uint32_t flare_sprites[3][flare_size * flare_size];
// Adds a 43x43 sprite (rows of 43) centred at (x, y): top-left at (x - 21, y - 21),
// only the first 341 - x columns when x + 22 > 320, each pixel only where its
// linear frame index lies in 0..63,999 (a column left of 0 wraps to the row above).
void add_sprite_centred(const std::uint32_t* sprite, int x, int y);
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
// The grit picture's top 96 rows reordered: strip row 6m + k holds picture row 16k + m.
constexpr int grit_strip_pixels = 96 * 320;
extern std::uint32_t grit_strip[grit_strip_pixels];
// Loads "qd\gfx\misc\grit.pcx" into background_picture and fills grit_strip from it.
void build_grit_strip();
// One frame of the warp over `screen` (fading feedback, background and warp_texture);
// then advances warp_offset and warp_phase.
void draw_grit_warp();
// Adds the ball sprite's non-zero pixels with its top-left at (cx - 12, cy - 12),
// skipping pixels outside the frame index range or right of column 319.
void draw_ball(int cx, int cy);
// The sine-warped feedback with ball trails and the grit band, until order 19.
void grit_scene();

// ---- end_screens.cpp ------------------------------------------------------------------------
// The scrolling end pictures under a ring of rings, until a key (or 192,000 frames).
void end_screens();

// ---- room.cpp -------------------------------------------------------------------------------
// Two nested gold meshes tumbling before a hall under a light picture; variant
// 72 (the intro loop's even orders), 10 or 12.
void room_scene(int variant);
// The inner gold mesh (0, environment-mapped) and the half-blended shell (1).
extern Object3D room_object;

// ---- planet_flyby.cpp ------------------------------------------------------------------------
// The flight towards the planet over the star layers, until row 57.
void first_flyby_scene();
// Planet and shuttle together for exactly 80 frames.
void second_flyby_scene();
// The planet (mesh 0) and the shuttle (mesh 1) of both flybys, as the last one left them.
extern Object3D flyby_object;
// Flight frames of the first flyby over the whole run; never reset.
extern int flyby_counter;

// ---- lump.cpp --------------------------------------------------------------------------------
// The planet that bursts into six ships under fire: exactly 60 frames.
void lump_scene();
// Six ships in slots 0 to 5, the planet in slot 6.
extern Object3D lump_object;

// ---- fleet.cpp -------------------------------------------------------------------------------
// Ships, shuttle and flare over the polar tunnel and the star field; song 2's orders 0 and 1.
void fleet_scene();
// Fills polar_table with the fleet's tunnel: linear distance and one turn of angle.
void build_polar_table();
// One frame of the fleet's tunnel from tunnel_texture_3; advances both tunnel offsets.
void draw_tunnel();
// A two-sided additive square of 2 * half_size at the given offset and depth.
Mesh make_quad(int half_size, int x, int y, int z, int depth);
// Draws the 400 stars as plus signs and moves them towards the viewer by `speed`.
void draw_stars(int speed, std::uint32_t colour);
// The fleet's star field: x and y fixed at set-up, depth z from 10 to 1009.
struct Star {
    std::int32_t x, y, z;
};
constexpr int star_count = 400;
extern Star stars[star_count];
// Ships 0 to 6, the shuttle (7), the flare square (8) and the swaying viewpoint.
extern Object3D fleet_object;

// ---- blob.cpp --------------------------------------------------------------------------------
extern std::uint32_t polar_texture_a[65536];
extern std::uint32_t polar_texture_b[65536];
// The effects' scroll values (low 16 bits kept) and the stretch phase (0 .. 179):
// program-wide, never reset; the lump scene advances the add scroll too.
extern int polar_blend_scroll;
extern int polar_zoom_scroll;
extern int polar_add_scroll;
extern int stretch_scroll;
extern unsigned stretch_phase;
// The blob: one environment-mapped mesh and the viewpoint.
extern Object3D blob_object;
// Loads polar_texture_a (fire) and polar_texture_b through `screen`.
void load_effect_textures();
// The polar effects: each writes every frame pixel once and advances its own scroll.
void draw_polar_blend(int x, int y);
void draw_polar_zoom(float w, int x, int y);
void draw_polar_add(int x, int y);
void draw_sine_stretch();
// The environment-mapped blob over the four polar and stretch effects; orders 8 to 11.
void blob_scene();

// ---- particle.cpp ----------------------------------------------------------------------------
// The tumbling cloud of 400 glowing particles with trails (final build); orders 12 and 13.
void particle_scene();
// Blurs and darkens the particles' trail buffer.
void fade_trail();

// ---- chessboard.cpp --------------------------------------------------------------------------
// Texture index per pixel of a half-frame perspective plane, 100 rows of 320.
extern std::uint16_t plane_table[32000];
void build_plane_table();
// The floor's 256x256 texture (transposed cut) and its scroll (low 16 bits index),
// kept across calls; the scene's object (two environment-mapped meshes).
extern std::uint32_t floor_texture[65536];
extern std::uint32_t floor_scroll;
extern Object3D floor_object;
// The lower half of the frame: the scrolling chessboard floor, dark at the horizon.
void draw_floor();
// Floor, two environment-mapped meshes and flares; orders 14 and 15.
void chessboard_scene();

// ---- voxel_landscape.cpp ---------------------------------------------------------------------
// The voxel landscape under a cloud sky (earlier build); orders 12 and 13.
void voxel_scene();
// The sky's cloud texture (transposed cut) and its scroll, kept across calls.
extern std::uint32_t cloud_texture[65536];
extern std::uint32_t sky_scroll;
// Fills the still-empty pixels of the frame's top half with the cloud plane.
void draw_sky();
