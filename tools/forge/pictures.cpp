// pictures.cpp -- the catalogue of every picture, and the contact sheet that
// shows each one as the show reads it.
#include "pictures.h"

#include "draw.h"
#include "forge.h"
#include "pcx_writer.h"
#include "text.h"

#include "assets/assets.h"
#include "tools/common/png_writer.h"

#include <algorithm>
#include <string>

const std::vector<PictureEntry>& picture_catalogue()
{
    constexpr Cut W = Cut::whole, T = Cut::texture_transposed, E = Cut::texture_as_read, S = Cut::sprite;
    static const std::vector<PictureEntry> catalogue = {
        {"qd\\gfx\\bak\\blup.pcx", W, 0, 0, false, make_grit_backdrop},
        {"qd\\gfx\\bak\\cpb7.pcx", W, 0, 0, false, make_crystal_landscape},
        {"qd\\gfx\\bak\\desine.pcx", W, 0, 0, false, make_dusk_skyline},
        {"qd\\gfx\\bak\\dsg3.pcx", W, 0, 0, false, make_panorama_bottom},
        {"qd\\gfx\\bak\\dsg31.pcx", S, 140, 40, false, make_banner},
        {"qd\\gfx\\bak\\intro1.pcx", W, 0, 0, false, make_intro_caption},
        {"qd\\gfx\\bak\\intro2.pcx", W, 0, 0, false, make_intro_title},
        {"qd\\gfx\\bak\\link.pcx", W, 0, 0, false, make_panorama_middle},
        {"qd\\gfx\\bak\\lmup1.pcx", W, 0, 0, false, make_tunnel_glow},
        {"qd\\gfx\\bak\\pemb.pcx", W, 0, 0, false, make_particle_backdrop},
        {"qd\\gfx\\bak\\reak1.pcx", W, 0, 0, false, make_top_light},
        {"qd\\gfx\\bak\\reak3.pcx", W, 0, 0, false, make_rim_light},
        {"qd\\gfx\\bak\\rrum1.pcx", W, 0, 0, false, make_cool_room},
        {"qd\\gfx\\bak\\rrum2.pcx", W, 0, 0, false, make_warm_room},
        {"qd\\gfx\\bak\\stbak1.pcx", W, 0, 0, false, make_nebula},
        {"qd\\gfx\\bak\\stbk1.pcx", W, 0, 0, false, make_near_stars},
        {"qd\\gfx\\bak\\stbk2a.pcx", W, 0, 0, false, make_far_stars},
        {"qd\\gfx\\bak\\tuff.pcx", W, 0, 0, false, make_panorama_top},
        {"qd\\gfx\\logos\\olv7.pcx", W, 0, 0, false, make_crest_logo},
        {"qd\\gfx\\logos\\velmora.pcx", W, 0, 0, false, make_wordmark},
        {"qd\\gfx\\misc\\dtext.pcx", W, 0, 0, false, make_scene_caption},
        {"qd\\gfx\\misc\\endsc1.pcx", W, 0, 0, false, make_end_thanks},
        {"qd\\gfx\\misc\\endsc2.pcx", W, 0, 0, false, make_end_roles},
        {"qd\\gfx\\misc\\endscbak.pcx", W, 0, 0, false, make_end_backdrop},
        {"qd\\gfx\\misc\\grit.pcx", W, 0, 0, false, make_ticker},
        {"qd\\gfx\\misc\\height.pcx", E, 0, 0, true, make_height_map},
        {"qd\\gfx\\misc\\meny1.pcx", W, 0, 0, false, make_menu_picture},
        {"qd\\gfx\\misc\\voxtext1.pcx", E, 0, 0, true, make_colour_map},
        {"qd\\gfx\\sprites\\boll.pcx", S, 24, 24, false, make_glow_ball},
        {"qd\\gfx\\sprites\\flaren.pcx", S, 43, 43, false, make_white_flare},
        {"qd\\gfx\\sprites\\flaren1.pcx", S, 43, 43, false, make_gold_flare},
        {"qd\\gfx\\sprites\\flaren2.pcx", S, 43, 43, false, make_violet_flare},
        {"qd\\gfx\\sprites\\kolbt.pcx", S, 125, 15, false, make_credit_models},
        {"qd\\gfx\\sprites\\partic.pcx", S, 14, 14, false, make_particle_dot},
        {"qd\\gfx\\sprites\\rimt.pcx", S, 80, 25, false, make_credit_code},
        {"qd\\gfx\\sprites\\ring32b.pcx", S, 43, 43, false, make_ring_sprite},
        {"qd\\gfx\\sprites\\tast.pcx", S, 56, 14, false, make_credit_music},
        {"qd\\gfx\\sprites\\zenut.pcx", S, 79, 16, false, make_credit_graphics},
        {"qd\\gfx\\textures\\cbak1.pcx", T, 0, 0, true, make_energy_streaks},
        {"qd\\gfx\\textures\\chess2.pcx", T, 0, 0, true, make_chess_floor},
        {"qd\\gfx\\textures\\cloud.pcx", T, 0, 0, true, make_clouds},
        {"qd\\gfx\\textures\\cubet.pcx", E, 0, 0, true, make_cube_edges},
        {"qd\\gfx\\textures\\cubet4.pcx", T, 0, 0, true, make_cyan_lattice},
        {"qd\\gfx\\textures\\firtex1.pcx", E, 0, 0, true, make_fire_tongues},
        {"qd\\gfx\\textures\\flare.pcx", T, 0, 0, false, make_engine_flare},
        {"qd\\gfx\\textures\\flummo.pcx", E, 0, 0, true, make_colour_bands},
        {"qd\\gfx\\textures\\gold.pcx", T, 0, 0, false, make_gold_env},
        {"qd\\gfx\\textures\\gold2.pcx", T, 0, 0, false, make_hammered_gold},
        {"qd\\gfx\\textures\\klump.pcx", T, 0, 0, false, make_lump_shell},
        {"qd\\gfx\\textures\\metroid2.pcx", T, 0, 0, false, make_fleet_hull},
        {"qd\\gfx\\textures\\minenv3.pcx", T, 0, 0, false, make_chrome_env},
        {"qd\\gfx\\textures\\minenv4.pcx", T, 0, 0, false, make_iridescent_env},
        {"qd\\gfx\\textures\\planet3.pcx", T, 0, 0, false, make_gas_giant},
        {"qd\\gfx\\textures\\shutex4a.pcx", T, 0, 0, false, make_shuttle_hull},
        {"qd\\gfx\\textures\\sten.pcx", T, 0, 0, false, make_granite_env},
        {"qd\\gfx\\textures\\tmup9c.pcx", T, 0, 0, true, make_amber_ribs},
        {"qd\\gfx\\textures\\weird2.pcx", E, 0, 0, true, make_moire},
    };
    return catalogue;
}

void write_pictures(const std::string& root)
{
    for (const PictureEntry& entry : picture_catalogue())
        write_pcx(forge_output(root, entry.show_path), to_pixels(entry.make()).data());
}

// ---- the contact sheet ------------------------------------------------------------

namespace {

constexpr int cell_w = 536, cell_h = 280, label_h = 20, sheet_columns = 4, header_h = 36;
constexpr std::uint32_t sheet_ground = 0x202024u, frame_grey = 0x606068u;

struct Sheet {
    int width, height;
    std::vector<std::uint32_t> pixels;
    void put(int x, int y, std::uint32_t p)
    {
        if (x >= 0 && y >= 0 && x < width && y < height) pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = p;
    }
};

std::uint32_t pack(Rgb c)
{
    auto q = [](float v) { return static_cast<std::uint32_t>(std::clamp(v, 0.0f, 255.0f) + 0.5f); };
    return (q(c.r) << 16) | (q(c.g) << 8) | q(c.b);
}

void draw_label(Sheet& sheet, int x, int y, const std::string& text)
{
    const TextMask mask = render_text(text, Typeface::regular, 13);
    for (int my = 0; my < mask.height; ++my)
        for (int mx = 0; mx < mask.width; ++mx)
            if (mask.at(mx, my) > 0) sheet.put(x + mx, y + my, pack(mix(Rgb{32, 32, 36}, Rgb{230, 230, 235}, mask.at(mx, my))));
}

void draw_block(Sheet& sheet, int x, int y, const std::uint32_t* block, int w, int h, int scale)
{
    for (int by = 0; by < h * scale; ++by)
        for (int bx = 0; bx < w * scale; ++bx) sheet.put(x + bx, y + by, block[(by / scale) * w + bx / scale]);
}

void draw_frame(Sheet& sheet, int x, int y, int w, int h)
{
    for (int i = -1; i <= w; ++i) sheet.put(x + i, y - 1, frame_grey), sheet.put(x + i, y + h, frame_grey);
    for (int i = -1; i <= h; ++i) sheet.put(x - 1, y + i, frame_grey), sheet.put(x + w, y + i, frame_grey);
}

const char* cut_name(const PictureEntry& entry)
{
    switch (entry.cut) {
    case Cut::whole: return "whole";
    case Cut::texture_transposed: return "texture T";
    case Cut::texture_as_read: return "texture E";
    default: return "sprite";
    }
}

std::string disk_path(const std::string& root, const char* show_path)
{
    std::string relative = show_path;
    for (char& c : relative)
        if (c == '\\') c = '/';
    return root.empty() ? relative : root + "/" + relative;
}

// One cell: the label, then the picture as the show reads it.
void draw_cell(Sheet& sheet, int x, int y, const PictureEntry& entry, const std::uint32_t* picture)
{
    std::string label = std::string(entry.show_path).substr(std::string(entry.show_path).rfind('\\') + 1) + "  " + cut_name(entry);
    if (entry.cut == Cut::sprite) label += " " + std::to_string(entry.sprite_w) + "x" + std::to_string(entry.sprite_h) + " (x3)";
    if (entry.wraps) label += ", right: shifted half a period (seams in the middle)";
    draw_label(sheet, x, y + 2, label);
    const int top = y + label_h + 2;
    switch (entry.cut) {
    case Cut::whole: draw_block(sheet, x + 1, top, picture, picture_width, picture_height, 1); break;
    case Cut::sprite: {
        std::vector<std::uint32_t> sprite(std::size_t(entry.sprite_w) * std::size_t(entry.sprite_h));
        cut_sprite(picture, sprite.data(), entry.sprite_w, entry.sprite_h);
        draw_block(sheet, x + 1, top, sprite.data(), entry.sprite_w, entry.sprite_h, 3);
        draw_frame(sheet, x + 1, top, entry.sprite_w * 3, entry.sprite_h * 3);
        break;
    }
    default: {
        std::vector<std::uint32_t> texture(texture_texels), shifted(texture_texels);
        if (entry.cut == Cut::texture_transposed) cut_texture_transposed(picture, texture.data());
        else cut_texture(picture, texture.data());
        draw_block(sheet, x + 1, top, texture.data(), texture_size, texture_size, 1);
        if (entry.wraps) {
            for (int r = 0; r < texture_size; ++r)
                for (int c = 0; c < texture_size; ++c)
                    shifted[std::size_t(r) * texture_size + std::size_t(c)] = texture[std::size_t((r + 128) & 255) * texture_size + std::size_t((c + 128) & 255)];
            draw_block(sheet, x + 1 + texture_size + 8, top, shifted.data(), texture_size, texture_size, 1);
        }
        break;
    }
    }
}

}  // namespace

void write_picture_sheet(const std::string& root, const std::string& sheet_file)
{
    const std::vector<PictureEntry>& catalogue = picture_catalogue();
    const int rows = (static_cast<int>(catalogue.size()) + sheet_columns - 1) / sheet_columns;
    Sheet sheet{cell_w * sheet_columns, header_h + cell_h * rows, {}};
    sheet.pixels.assign(std::size_t(sheet.width) * std::size_t(sheet.height), sheet_ground);
    draw_label(sheet, 4, 8, "Velmora: " + std::to_string(catalogue.size()) +
                                " pictures as the show reads them (whole, 256x256 textures, sprites at 3x in a grey frame)");
    std::vector<std::uint32_t> picture(picture_pixels);
    for (std::size_t i = 0; i < catalogue.size(); ++i) {
        const std::string file = disk_path(root, catalogue[i].show_path);
        if (load_pcx(file.c_str(), picture.data()) != 0) forge_fail("cannot read back " + file);
        draw_cell(sheet, static_cast<int>(i % sheet_columns) * cell_w + 4, header_h + static_cast<int>(i / sheet_columns) * cell_h,
                  catalogue[i], picture.data());
    }
    if (!write_png(sheet_file, sheet.pixels.data(), sheet.width, sheet.height)) forge_fail("cannot write " + sheet_file);
}
