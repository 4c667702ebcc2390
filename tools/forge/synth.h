// synth.h -- the songs' instruments, synthesised by the forge into 16-bit XM
// samples: drums, a bass, a pad, a lead, a pluck, a bell, a crash and a noise sweep.
#pragma once

#include "xm.h"

#include <cstdint>
#include <vector>

// Instrument numbers as the patterns use them (1-based, in synth_instruments' order).
enum InstrumentId : std::uint8_t {
    ins_kick = 1,
    ins_snare,
    ins_clap,
    ins_closed_hat,
    ins_open_hat,
    ins_crash,
    ins_sweep,   // looped noise, raised with portamento for risers
    ins_boom,    // a long low hit for impacts
    ins_bass,
    ins_pad,
    ins_lead,
    ins_pluck,
    ins_bell,
    instrument_count = ins_bell
};

// What differs between the two songs' sets: song 1 is darker and rounder,
// song 2 brighter with a driven bass.
struct SynthFlavour {
    double brightness = 1.0;  // scales the upper partials of the pitched voices
    double bass_drive = 1.0;  // saturation of the bass, 1 = gentle
    std::uint32_t seed = 1;   // the noise generator's start
};

// Every instrument in InstrumentId order; the same bytes for the same flavour.
std::vector<XmInstrument> synth_instruments(const SynthFlavour& flavour);

// Frequency in Hz of an XM note (49 = C-4 = 261.63 Hz).
double note_hz(int note);

// Sets relative note and finetune so that a sample recorded at `rate` frames per
// second, whose tone is `tone_hz`, sounds note_hz(note) when `note` is played.
void tune_sample(XmSample& sample, double rate, double tone_hz, int note);

// The playback rate (frames per second) of `sample` on `note`, as a linear-table
// player computes it (finetune counts in steps of 8).
double playback_rate(const XmSample& sample, int note);
