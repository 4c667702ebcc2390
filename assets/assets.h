// assets.h -- the asset readers: data files, PCX pictures and the picture cuts
// (sprites and textures) every scene shares, and the ASC mesh reader.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "render/render.h"  // Mesh, for load_asc

// ---- data root (data_path.cpp) -----------------------------------------------

// Maps a path as the show writes it ("qd\gfx\bak\stbk1.pcx") to a file: the
// backslashes become '/', and the file is looked for below the working
// directory, then below the executable's directory. Returns the first that
// exists (or the working-directory form when neither does).
std::string data_path(const char* path);
// std::fopen of data_path(path).
std::FILE* open_data_file(const char* path, const char* mode);

// ---- PCX pictures (pcx.cpp) ---------------------------------------------------

constexpr int picture_width = 320;
constexpr int picture_height = 200;
constexpr int picture_pixels = picture_width * picture_height;

// Decodes a run-length encoded 320x200 PCX picture with three 8-bit planes into
// 64,000 pixels 0x00RRGGBB. Returns 0, or -1 when the file cannot be opened or
// ends early; on failure `pixels` is left exactly as it was.
int load_pcx(const char* path, std::uint32_t* pixels);

// ---- picture cuts (cuts.cpp) ----------------------------------------------------

constexpr int texture_size = 256;
constexpr int texture_texels = texture_size * texture_size;  // 65,536, addressed by a 16-bit index

// sprite[y * w + x] = picture[y * 320 + x] for 0 <= x < w, 0 <= y < h.
void cut_sprite(const std::uint32_t* picture, std::uint32_t* sprite, int w, int h);
// Decodes `path` into the frame (`screen`, as scratch) and cuts a w x h sprite from it.
void load_sprite(const char* path, std::uint32_t* sprite, int w, int h);

// Texture cut transposed: texel (row x, column i) = picture (column x, row i / 2);
// the top-left 256x128 of the picture, each row used twice.
void cut_texture_transposed(const std::uint32_t* picture, std::uint32_t* texture);
// Texture cut as read: texel (row r, column c) = picture (column c, row r / 2).
void cut_texture(const std::uint32_t* picture, std::uint32_t* texture);
// Decode `path` into the frame (`screen`, as scratch) and cut a texture from it.
// load_texture is the transposed cut the mesh textures use.
void load_texture(const char* path, std::uint32_t* texture);
void load_texture_as_read(const char* path, std::uint32_t* texture);

// ---- ASC meshes (asc.cpp) --------------------------------------------------------

// Stores the next token of `file` (a run of bytes above 32, at most 255 of them
// kept; longer runs are cut) in `buffer` (256 bytes) and returns it. Leading bytes
// of 32 or less are skipped, and the one separator after the token is consumed.
// At the end of the file the buffer holds what was gathered, possibly "".
// Used by load_asc and by the scenes that read meshes themselves.
char* read_token(char* buffer, std::FILE* file);

// Reads an ASCII mesh file ("qd\3d\planet.asc") into a whole Mesh: vertices,
// triangles, unit face and vertex normals, and per-corner u/v from the vertex
// normals; the offsets become offset_x/y/z, everything else is 0. A missing
// file gives an empty mesh; a file that ends early gives what was read before;
// counts are held to 1800 vertices and 2000 faces, and faces naming a vertex
// outside the mesh are dropped. Called by the 3D scenes during set-up.
Mesh load_asc(const char* path, int offset_x, int offset_y, int offset_z);

// load_asc into `mesh`, to be drawn in `mode` with `texture`, unturned.
void load_mesh(Mesh& mesh, const char* path, int offset_x, int offset_y, int offset_z, std::uint8_t mode,
               const std::uint32_t* texture);
