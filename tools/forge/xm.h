// xm.h -- an extended module (XM) as the forge builds it, and its writer.
// Notes: 0 none, 1..96 = C-0 .. B-7 (C-4 = 49), 97 key-off. Effects by their
// type number (F = 15 speed/BPM, B = 11 jump, D = 13 break, C = 12 volume, ...).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct XmCell {
    std::uint8_t note = 0;
    std::uint8_t instrument = 0;  // 1..128, 0 none
    std::uint8_t volume = 0;      // volume column byte (0x10..0x50 sets 0..64), 0 none
    std::uint8_t effect = 0;
    std::uint8_t param = 0;
};

struct XmPattern {
    int rows = 64;
    int channels = 8;
    std::vector<XmCell> cells;  // rows x channels, row-major

    XmPattern(int rows_ = 64, int channels_ = 8)
        : rows(rows_), channels(channels_), cells(std::size_t(rows_) * std::size_t(channels_)) {}
    XmCell& at(int row, int channel) { return cells[std::size_t(row) * std::size_t(channels) + std::size_t(channel)]; }
    const XmCell& at(int row, int channel) const { return cells[std::size_t(row) * std::size_t(channels) + std::size_t(channel)]; }
};

enum class XmLoop { none, forward, ping_pong };

struct XmSample {
    std::string name;
    std::vector<std::int16_t> frames;  // mono 16-bit PCM
    XmLoop loop = XmLoop::none;
    int loop_start = 0;                // in frames
    int loop_length = 0;               // in frames
    std::uint8_t volume = 64;
    std::int8_t finetune = 0;
    std::uint8_t panning = 128;
    std::int8_t relative_note = 0;
};

struct XmEnvelopePoint {
    std::uint16_t tick = 0;
    std::uint16_t value = 64;  // 0..64 (volume) or 0..64 with 32 centre (panning)
};

struct XmEnvelope {
    std::vector<XmEnvelopePoint> points;  // at most 12; empty = off
    int sustain = -1;                     // point index, -1 none
    int loop_start = -1, loop_end = -1;   // point indices, -1 none
};

struct XmInstrument {
    std::string name;
    std::vector<XmSample> samples;        // at most 16; usually one
    std::uint8_t keymap[96] = {};         // sample index per note 1..96
    XmEnvelope volume_envelope;
    XmEnvelope panning_envelope;
    std::uint16_t fadeout = 0;            // 0..0xFFF
};

struct XmModule {
    std::string name;
    std::string tracker = "velmora forge";
    int channels = 8;
    int restart = 0;
    int default_speed = 6;
    int default_bpm = 150;
    std::vector<std::uint8_t> orders;     // pattern index per order
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

// The file's bytes; fails loudly (forge_fail) on a module that cannot be written.
std::vector<std::uint8_t> encode_xm(const XmModule& module);
void write_xm(const std::string& file, const XmModule& module);
