// music_local.h -- what the module player's files share inside the library.
#pragma once

#include <cstdint>

// Appends `frames` stereo float frames to the WAV output, if one is set; the
// file takes the rate of its first block.
void wav_append(const float* interleaved, int frames, std::uint32_t rate);
