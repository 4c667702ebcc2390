// music_control.h -- the frame-locked mode of the module player, for tests and
// the capture tool. Frame-locked, the song advances by exactly 1/60 s of audio
// at each presented frame (music_frame_presented), independent of wall time, and
// by 1/60 s at every 64th consecutive position or activity query made without a
// presentation in between (so spin-waits end); nothing is played aloud.
#pragma once

#include <cstdint>

// Switches frame-locked mode on or off; takes effect at the next BASS_Init.
void music_set_frame_locked(bool on);
bool music_frame_locked();

// Advances a frame-locked song by one frame (1/60 s of audio). The capture tool
// and tests call it once per presented frame.
void music_frame_presented();

// Normally SDL's "dummy" and "disk" audio drivers count as no device (the song
// is decoded silently against the wall clock). Tests switch this on to run the
// audio callback path on a machine without a sound card; takes effect at the
// next BASS_Init.
void music_take_any_driver_as_device(bool on);

// Called (frame-locked only) each time a run of queries without a presentation
// advances the song by a frame, so the caller can repeat the unchanged frame.
using MusicSpinHook = void (*)(void* user);
void music_set_spin_hook(MusicSpinHook hook, void* user);

// Frame-locked audio is appended to this WAV file (16-bit stereo at the device
// rate), across both songs; nullptr or "" writes nothing. The file is finished
// by music_close_wav (also done at exit).
void music_set_wav_output(const char* path);
void music_close_wav();

// What the player knows now, for logs and progress bars.
struct MusicStatus {
    bool loaded = false;
    bool active = false;
    std::uint16_t order = 0, row = 0;
    std::uint16_t orders = 0;         // the song's number of orders
    std::uint32_t rate = 0;           // device rate
    double seconds = 0.0;             // audio heard so far in this song
    double song_seconds = 0.0;        // the whole song's nominal length
};
MusicStatus music_status();
