// pictures.h -- the forge's pictures, one function per picture, grouped by the
// part of the show they belong to, and the catalogue that writes them.
#pragma once

#include "image.h"

#include <vector>

// How the show reads a picture: whole, as a texture (transposed or as read) or as
// a sprite from the top-left corner.
enum class Cut { whole, texture_transposed, texture_as_read, sprite };

struct PictureEntry {
    const char* show_path;  // as the show names it, "qd\gfx\...\x.pcx"
    Cut cut;
    int sprite_w, sprite_h;  // for sprites
    bool wraps;              // a texture that must tile seamlessly
    Image (*make)();
};
// Every picture of the show, in catalogue order.
const std::vector<PictureEntry>& picture_catalogue();

// Menu.
Image make_menu_picture();
// Intro and space (song 1).
Image make_near_stars();      // stbk1
Image make_far_stars();       // stbk2a
Image make_intro_caption();   // intro1
Image make_intro_title();     // intro2
Image make_scene_caption();   // dtext
// The vertical scroller's panorama, top to bottom.
Image make_panorama_top();     // tuff
Image make_panorama_middle();  // link
Image make_panorama_bottom();  // dsg3
// Room.
Image make_cool_room();   // rrum1
Image make_warm_room();   // rrum2
Image make_top_light();   // reak1
Image make_rim_light();   // reak3
Image make_gold_env();    // gold
Image make_hammered_gold();  // gold2
// Planet, ships and fire.
Image make_gas_giant();   // planet3
Image make_shuttle_hull();  // shutex4a
Image make_lump_shell();  // klump
Image make_fleet_hull();  // metroid2
Image make_fire_tongues();  // firtex1
// Fleet and tunnel.
Image make_energy_streaks();  // cbak1
Image make_amber_ribs();      // tmup9c
Image make_cyan_lattice();    // cubet4
Image make_tunnel_glow();     // lmup1
Image make_engine_flare();    // flare
// Logo and credits.
Image make_crystal_landscape();  // cpb7
Image make_crest_logo();         // olv7
Image make_wordmark();           // velmora
Image make_banner();             // dsg31
Image make_credit_code();        // rimt
Image make_credit_music();       // tast
Image make_credit_graphics();    // zenut
Image make_credit_models();      // kolbt
Image make_ring_sprite();        // ring32b
Image make_white_flare();        // flaren
Image make_gold_flare();         // flaren1
Image make_violet_flare();       // flaren2
// Blob.
Image make_nebula();          // stbak1
Image make_moire();           // weird2
Image make_colour_bands();    // flummo
Image make_iridescent_env();  // minenv4
// Particles.
Image make_particle_backdrop();  // pemb
Image make_particle_dot();       // partic
// Voxel landscape.
Image make_height_map();   // height
Image make_colour_map();   // voxtext1
Image make_clouds();       // cloud
// Chessboard.
Image make_chess_floor();  // chess2
Image make_dusk_skyline();  // desine
Image make_granite_env();   // sten
Image make_chrome_env();    // minenv3
// Grit.
Image make_grit_backdrop();  // blup
Image make_cube_edges();     // cubet
Image make_ticker();         // grit
Image make_glow_ball();      // boll
// End.
Image make_end_backdrop();   // endscbak
Image make_end_thanks();     // endsc1
Image make_end_roles();      // endsc2

// Shared between the voxel maps: the terrain height (0..255) at picture pixel
// (col, row) of the 256x128 tile, the water level, and the colour map's column offset.
constexpr int water_level = 70;
constexpr int colour_map_offset = 56;
float terrain_height(int col, int row);
