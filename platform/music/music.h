// music.h -- the module player: plays an XM song and tells the show where it is.
// Implemented over libopenmpt, heard through SDL2 audio (or, frame-locked,
// rendered in step with the presented frames; see music_control.h).
#pragma once

#include <cstdint>

// Prepares sound output on `device` (-1 the default device, -2 as the earlier
// build passes it) at `frequency` samples per second. Called by the entry before
// each song; `window` is what host_foreground_window returns.
bool BASS_Init(int device, std::uint32_t frequency, std::uint32_t flags, void* window);
// Loads a song file ("qd\music\1.xm"); returns its handle. A missing or
// unreadable song throws DynamicError naming the file.
std::uint32_t BASS_MusicLoad(int from_memory, const char* file, std::uint32_t offset,
                             std::uint32_t length, std::uint32_t flags);
// Starts the output.
bool BASS_Start();
// Plays the song from order `position` (1 for song 1, 0 for song 2); `reset`
// restarts the module's state. The song plays once.
bool BASS_MusicPlayEx(std::uint32_t handle, std::uint32_t position, int flags, int reset);
// The position being heard now: low 16 bits the order, high 16 bits the row.
// After the song's end: order = the song's number of orders, row 0. Cheap;
// called several times a frame and in spin loops.
std::uint32_t BASS_ChannelGetPosition(std::uint32_t handle);
// Non-zero while the song is playing.
std::uint32_t BASS_ChannelIsActive(std::uint32_t handle);
// Stops the output and frees the song; BASS_Init comes again before the next one.
bool BASS_Free();
