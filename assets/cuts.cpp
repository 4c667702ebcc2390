// cuts.cpp -- sprites and textures cut from the top-left corner of a picture.
#include "assets.h"

#include "../shell/shell.h"

void cut_sprite(const std::uint32_t* picture, std::uint32_t* sprite, int w, int h)
{
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) sprite[y * w + x] = picture[y * picture_width + x];
}

void load_sprite(const char* path, std::uint32_t* sprite, int w, int h)
{
    load_pcx(path, screen);
    cut_sprite(screen, sprite, w, h);
}

void cut_texture_transposed(const std::uint32_t* picture, std::uint32_t* texture)
{
    for (int x = 0; x < texture_size; ++x)
        for (int i = 0; i < texture_size; ++i)
            texture[x * texture_size + i] = picture[(i / 2) * picture_width + x] & 0x00FFFFFFu;
}

void cut_texture(const std::uint32_t* picture, std::uint32_t* texture)
{
    for (int r = 0; r < texture_size; ++r)
        for (int c = 0; c < texture_size; ++c)
            texture[r * texture_size + c] = picture[(r / 2) * picture_width + c] & 0x00FFFFFFu;
}

void load_texture(const char* path, std::uint32_t* texture)
{
    load_pcx(path, screen);
    cut_texture_transposed(screen, texture);
}

void load_texture_as_read(const char* path, std::uint32_t* texture)
{
    load_pcx(path, screen);
    cut_texture(screen, texture);
}
