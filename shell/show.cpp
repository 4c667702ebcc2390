// show.cpp -- the pictures and sprites several scenes share, and the music position.
#include "shell.h"

#include "../platform/music/music.h"

std::uint32_t backdrop1[frame_pixels];
std::uint32_t backdrop2[frame_pixels];
std::uint32_t overlay_picture[frame_pixels];
std::uint32_t background_picture[frame_pixels];
std::uint32_t ring_sprite[ring_size * ring_size];

std::uint32_t music_channel = 0;

std::uint16_t music_order()
{
    return static_cast<std::uint16_t>(BASS_ChannelGetPosition(music_channel) & 0xFFFFu);
}

std::uint16_t music_row()
{
    return static_cast<std::uint16_t>(BASS_ChannelGetPosition(music_channel) >> 16);
}
