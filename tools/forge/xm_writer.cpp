// xm_writer.cpp -- turns an XmModule into the bytes of an extended module file.
#include "xm.h"

#include "forge.h"

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void put_u8(Bytes& out, unsigned value)
{
    out.push_back(static_cast<std::uint8_t>(value & 0xFFu));
}

void put_u16(Bytes& out, unsigned value)
{
    put_u8(out, value);
    put_u8(out, value >> 8);
}

void put_u32(Bytes& out, std::uint32_t value)
{
    put_u16(out, value & 0xFFFFu);
    put_u16(out, value >> 16);
}

// ASCII text in a fixed-size field, cut or zero-padded.
void put_text(Bytes& out, const std::string& text, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) put_u8(out, i < text.size() ? std::uint8_t(text[i]) : 0u);
}

void check(bool ok, const std::string& what)
{
    if (!ok) forge_fail("cannot write the module: " + what);
}

void check_module(const XmModule& m)
{
    check(m.channels >= 1 && m.channels <= 32, "channels must be 1..32");
    check(!m.orders.empty() && m.orders.size() <= 256, "orders must number 1..256");
    check(!m.patterns.empty() && m.patterns.size() <= 256, "patterns must number 1..256");
    check(m.instruments.size() <= 128, "at most 128 instruments");
    check(m.default_speed >= 1 && m.default_speed <= 31, "default speed must be 1..31");
    check(m.default_bpm >= 32 && m.default_bpm <= 255, "default BPM must be 32..255");
    check(m.restart >= 0 && std::size_t(m.restart) < m.orders.size(), "restart order out of range");
    for (std::uint8_t pattern : m.orders) check(pattern < m.patterns.size(), "order names a missing pattern");
    for (const XmPattern& p : m.patterns) {
        check(p.rows >= 1 && p.rows <= 256, "pattern rows must be 1..256");
        check(p.channels == m.channels, "pattern channel count differs from the module's");
        check(p.cells.size() == std::size_t(p.rows) * std::size_t(p.channels), "pattern cell count");
        for (const XmCell& c : p.cells) check(c.note <= 97, "note beyond key-off");
    }
}

void put_header(Bytes& out, const XmModule& m)
{
    put_text(out, "Extended Module: ", 17);
    put_text(out, m.name, 20);
    put_u8(out, 0x1A);
    put_text(out, m.tracker, 20);
    put_u16(out, 0x0104);
    put_u32(out, 276);  // counted from this field: the first pattern starts at 336
    put_u16(out, unsigned(m.orders.size()));
    put_u16(out, unsigned(m.restart));
    put_u16(out, unsigned(m.channels));
    put_u16(out, unsigned(m.patterns.size()));
    put_u16(out, unsigned(m.instruments.size()));
    put_u16(out, 1);  // linear frequency table
    put_u16(out, unsigned(m.default_speed));
    put_u16(out, unsigned(m.default_bpm));
    for (std::size_t i = 0; i < 256; ++i) put_u8(out, i < m.orders.size() ? m.orders[i] : 0u);
}

// A cell with every field present goes raw; otherwise a flag byte says which follow.
void put_cell(Bytes& out, const XmCell& c)
{
    if (c.note && c.instrument && c.volume && c.effect && c.param) {
        for (unsigned v : {c.note, c.instrument, c.volume, c.effect, c.param}) put_u8(out, v);
        return;
    }
    put_u8(out, 0x80u | (c.note ? 0x01u : 0u) | (c.instrument ? 0x02u : 0u) | (c.volume ? 0x04u : 0u) |
                    (c.effect ? 0x08u : 0u) | (c.param ? 0x10u : 0u));
    for (unsigned v : {c.note, c.instrument, c.volume, c.effect, c.param})
        if (v) put_u8(out, v);
}

void put_pattern(Bytes& out, const XmPattern& p)
{
    Bytes data;
    bool empty = true;
    for (const XmCell& c : p.cells) {
        put_cell(data, c);
        if (c.note || c.instrument || c.volume || c.effect || c.param) empty = false;
    }
    if (empty) data.clear();  // size 0: an empty pattern carries no data at all
    check(data.size() <= 0xFFFF, "pattern data beyond 64 KB");
    put_u32(out, 9);
    put_u8(out, 0);
    put_u16(out, unsigned(p.rows));
    put_u16(out, unsigned(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

std::uint8_t envelope_flags(const XmEnvelope& e)
{
    if (e.points.empty()) return 0;
    return std::uint8_t(1u | (e.sustain >= 0 ? 2u : 0u) | (e.loop_start >= 0 && e.loop_end >= 0 ? 4u : 0u));
}

void put_envelope_points(Bytes& out, const XmEnvelope& e)
{
    check(e.points.size() <= 12, "an envelope has at most 12 points");
    for (std::size_t i = 0; i < 12; ++i) {
        const XmEnvelopePoint point = i < e.points.size() ? e.points[i] : XmEnvelopePoint{0, 0};
        check(point.value <= 64, "envelope value beyond 64");
        put_u16(out, point.tick);
        put_u16(out, point.value);
    }
}

void put_envelope_indices(Bytes& out, const XmEnvelope& e)
{
    put_u8(out, unsigned(e.sustain > 0 ? e.sustain : 0));
    put_u8(out, unsigned(e.loop_start > 0 ? e.loop_start : 0));
    put_u8(out, unsigned(e.loop_end > 0 ? e.loop_end : 0));
}

std::uint8_t sample_type(const XmSample& s)
{
    const unsigned loop = s.loop == XmLoop::forward ? 1u : s.loop == XmLoop::ping_pong ? 2u : 0u;
    return std::uint8_t(0x10u | (s.loop_length > 0 ? loop : 0u));  // always 16-bit
}

void put_sample_header(Bytes& out, const XmSample& s)
{
    check(s.loop_start >= 0 && s.loop_length >= 0 &&
              std::size_t(s.loop_start) + std::size_t(s.loop_length) <= s.frames.size(),
          "sample loop beyond the sample");
    check(s.volume <= 64, "sample volume beyond 64");
    const bool looped = s.loop != XmLoop::none && s.loop_length > 0;
    put_u32(out, std::uint32_t(s.frames.size() * 2));
    put_u32(out, std::uint32_t(looped ? s.loop_start * 2 : 0));
    put_u32(out, std::uint32_t(looped ? s.loop_length * 2 : 0));
    put_u8(out, s.volume);
    put_u8(out, std::uint8_t(s.finetune));
    put_u8(out, sample_type(s));
    put_u8(out, s.panning);
    put_u8(out, std::uint8_t(s.relative_note));
    put_u8(out, 0);  // reserved; 0xAD would mean a compressed sample
    put_text(out, s.name, 22);
}

// Signed 16-bit PCM as deltas of consecutive frames, wrapping modulo 65536.
void put_sample_data(Bytes& out, const XmSample& s)
{
    std::uint16_t previous = 0;
    for (std::int16_t frame : s.frames) {
        const std::uint16_t value = std::uint16_t(frame);
        put_u16(out, std::uint16_t(value - previous));
        previous = value;
    }
}

void put_instrument(Bytes& out, const XmInstrument& ins)
{
    check(ins.samples.size() <= 16, "an instrument has at most 16 samples");
    check(ins.fadeout <= 0xFFF, "fadeout beyond 0xFFF");
    if (ins.samples.empty()) {
        put_u32(out, 29);
        put_text(out, ins.name, 22);
        put_u8(out, 0);
        put_u16(out, 0);
        return;
    }
    const std::size_t start = out.size();
    put_u32(out, 263);
    put_text(out, ins.name, 22);
    put_u8(out, 0);
    put_u16(out, unsigned(ins.samples.size()));
    put_u32(out, 40);
    for (std::uint8_t index : ins.keymap) {
        check(index < ins.samples.size(), "keymap names a missing sample");
        put_u8(out, index);
    }
    put_envelope_points(out, ins.volume_envelope);
    put_envelope_points(out, ins.panning_envelope);
    put_u8(out, unsigned(ins.volume_envelope.points.size()));
    put_u8(out, unsigned(ins.panning_envelope.points.size()));
    put_envelope_indices(out, ins.volume_envelope);
    put_envelope_indices(out, ins.panning_envelope);
    put_u8(out, envelope_flags(ins.volume_envelope));
    put_u8(out, envelope_flags(ins.panning_envelope));
    put_u32(out, 0);  // auto-vibrato type, sweep, depth, rate
    put_u16(out, ins.fadeout);
    while (out.size() - start < 263) put_u8(out, 0);
    for (const XmSample& s : ins.samples) put_sample_header(out, s);
    for (const XmSample& s : ins.samples) put_sample_data(out, s);
}

}  // namespace

std::vector<std::uint8_t> encode_xm(const XmModule& module)
{
    check_module(module);
    Bytes out;
    put_header(out, module);
    for (const XmPattern& p : module.patterns) put_pattern(out, p);
    for (const XmInstrument& ins : module.instruments) put_instrument(out, ins);
    return out;
}

void write_xm(const std::string& file, const XmModule& module)
{
    const Bytes bytes = encode_xm(module);
    forge_write_file(file, bytes.data(), bytes.size());
}
