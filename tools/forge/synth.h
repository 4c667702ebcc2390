// synth.h -- the songs' instruments, synthesised by the forge into 16-bit XM
// samples: drums, a bass, a pad, a lead, a pluck, a bell, a crash and a noise sweep,
// in a set for each song.
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

// Each song's instruments in InstrumentId order, the same bytes on every run.
// Song 1: additive saws and squares, an FM bell, dark and round.
std::vector<XmInstrument> song1_instruments();
// Song 2, a palette of its own: a tight kick, a snappy snare, brighter hats and crash,
// a sub drop, an FM bass, a choir pad, a pulse lead, a plucked string and a mallet.
std::vector<XmInstrument> song2_instruments();

// Frequency in Hz of an XM note (49 = C-4 = 261.63 Hz).
double note_hz(int note);

// Sets relative note and finetune so that a sample recorded at `rate` frames per
// second, whose tone is `tone_hz`, sounds note_hz(note) when `note` is played.
void tune_sample(XmSample& sample, double rate, double tone_hz, int note);

// The playback rate (frames per second) of `sample` on `note`, as a linear-table
// player computes it (finetune counts in steps of 8).
double playback_rate(const XmSample& sample, int note);
