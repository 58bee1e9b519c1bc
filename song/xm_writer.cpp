// Serialises the module model to the extended-module layout: a fixed header
// with the order table, then every pattern (packed), then every instrument
// with its sample headers followed by its delta-coded sample data. All
// multi-byte numbers are little-endian.
#include "song/xm_writer.h"

#include <fstream>
#include <stdexcept>

namespace xm {
namespace {

constexpr uint16_t FORMAT_VERSION = 0x0104;
constexpr uint32_t HEADER_SIZE = 276;            // from the header-size field to the end of the order table
constexpr uint32_t PATTERN_HEADER_SIZE = 9;
constexpr uint32_t INSTRUMENT_HEADER_SIZE = 263;  // with samples; 29 without
constexpr uint32_t EMPTY_INSTRUMENT_HEADER_SIZE = 29;
constexpr uint32_t SAMPLE_HEADER_SIZE = 40;
constexpr int MAX_SAMPLES_PER_INSTRUMENT = 16;

// Packed cells: a lead byte with the top bit set names the fields that follow.
constexpr uint8_t PACKED = 0x80;
constexpr uint8_t HAS_NOTE = 0x01, HAS_INSTRUMENT = 0x02, HAS_VOLUME = 0x04,
                  HAS_EFFECT = 0x08, HAS_PARAM = 0x10;

constexpr uint8_t SAMPLE_16BIT = 0x10;

struct Out {
    std::vector<uint8_t> bytes;
    void u8(uint8_t v) { bytes.push_back(v); }
    void u16(uint16_t v) { u8(uint8_t(v)); u8(uint8_t(v >> 8)); }
    void u32(uint32_t v) { u16(uint16_t(v)); u16(uint16_t(v >> 16)); }
    void text(const std::string& s, size_t width) {
        for (size_t i = 0; i < width; ++i) u8(i < s.size() ? uint8_t(s[i]) : 0);
    }
    void zeros(size_t n) { bytes.insert(bytes.end(), n, 0); }
};

void require(bool ok, const char* what)
{
    if (!ok) throw std::invalid_argument(what);
}

void writePatternData(Out& out, const Pattern& pattern)
{
    for (const Cell& c : pattern.cells) {
        uint8_t mask = 0;
        if (c.note) mask |= HAS_NOTE;
        if (c.instrument) mask |= HAS_INSTRUMENT;
        if (c.volume) mask |= HAS_VOLUME;
        if (c.effect) mask |= HAS_EFFECT;
        if (c.param) mask |= HAS_PARAM;
        if (mask == (HAS_NOTE | HAS_INSTRUMENT | HAS_VOLUME | HAS_EFFECT | HAS_PARAM)) {
            // All five present: the unpacked form is one byte shorter.
            out.u8(c.note); out.u8(c.instrument); out.u8(c.volume); out.u8(c.effect); out.u8(c.param);
            continue;
        }
        out.u8(PACKED | mask);
        if (c.note) out.u8(c.note);
        if (c.instrument) out.u8(c.instrument);
        if (c.volume) out.u8(c.volume);
        if (c.effect) out.u8(c.effect);
        if (c.param) out.u8(c.param);
    }
}

void writePattern(Out& out, const Pattern& pattern, int channels)
{
    require(pattern.rows >= 1 && pattern.rows <= MAX_ROWS, "pattern rows out of range");
    require(pattern.channels == channels, "pattern channel count differs from the module's");
    require(pattern.cells.size() == size_t(pattern.rows) * channels, "pattern cell count");
    for (const Cell& c : pattern.cells) {
        require(c.note <= NOTE_KEY_OFF, "note out of range");
        require(c.instrument <= MAX_INSTRUMENTS, "instrument number out of range");
    }
    Out data;
    writePatternData(data, pattern);
    require(data.bytes.size() <= 0xFFFF, "packed pattern too large");
    out.u32(PATTERN_HEADER_SIZE);
    out.u8(0);  // packing type
    out.u16(uint16_t(pattern.rows));
    out.u16(uint16_t(data.bytes.size()));
    out.bytes.insert(out.bytes.end(), data.bytes.begin(), data.bytes.end());
}

void writeEnvelopePoints(Out& out, const Envelope& env)
{
    for (int i = 0; i < MAX_ENVELOPE_POINTS; ++i) {
        if (i < int(env.points.size())) {
            out.u16(env.points[i].tick);
            out.u16(env.points[i].value);
        } else {
            out.u32(0);
        }
    }
}

uint8_t envelopeFlags(const Envelope& env)
{
    uint8_t flags = 0;
    if (env.enabled) flags |= 1;
    if (env.sustain >= 0) flags |= 2;
    if (env.loopStart >= 0 && env.loopEnd >= 0) flags |= 4;
    return flags;
}

void checkEnvelope(const Envelope& env)
{
    int n = int(env.points.size());
    require(n <= MAX_ENVELOPE_POINTS, "too many envelope points");
    require(!env.enabled || n >= 1, "enabled envelope without points");
    for (int i = 0; i < n; ++i) {
        require(env.points[i].value <= 64, "envelope value above 64");
        require(i == 0 || env.points[i].tick > env.points[i - 1].tick, "envelope ticks must increase");
    }
    require(env.sustain < n, "envelope sustain point out of range");
    require(env.loopStart < n && env.loopEnd < n && env.loopStart <= env.loopEnd,
            "envelope loop out of range");
}

// Bytes of a sample's data as stored: each value minus the one before it.
void writeSampleData(Out& out, const Sample& s)
{
    int16_t previous = 0;
    for (int16_t v : s.data) {
        if (s.sixteenBit) {
            out.u16(uint16_t(int16_t(v - previous)));
        } else {
            out.u8(uint8_t(int8_t(v - previous)));
        }
        previous = v;
    }
}

void writeInstrument(Out& out, const Instrument& ins)
{
    require(ins.samples.size() <= MAX_SAMPLES_PER_INSTRUMENT, "too many samples in an instrument");
    uint16_t sampleCount = uint16_t(ins.samples.size());
    out.u32(sampleCount ? INSTRUMENT_HEADER_SIZE : EMPTY_INSTRUMENT_HEADER_SIZE);
    out.text(ins.name, 22);
    out.u8(0);  // type
    out.u16(sampleCount);
    if (sampleCount == 0) return;

    checkEnvelope(ins.volumeEnvelope);
    for (uint8_t k : ins.keymap) require(k < sampleCount, "keymap names a missing sample");
    out.u32(SAMPLE_HEADER_SIZE);
    for (uint8_t k : ins.keymap) out.u8(k);
    const Envelope& env = ins.volumeEnvelope;
    writeEnvelopePoints(out, env);
    writeEnvelopePoints(out, Envelope{});  // panning envelope: unused
    out.u8(uint8_t(env.points.size()));
    out.u8(0);
    out.u8(uint8_t(env.sustain < 0 ? 0 : env.sustain));
    out.u8(uint8_t(env.loopStart < 0 ? 0 : env.loopStart));
    out.u8(uint8_t(env.loopEnd < 0 ? 0 : env.loopEnd));
    out.u8(0); out.u8(0); out.u8(0);  // panning sustain and loop
    out.u8(envelopeFlags(env));
    out.u8(0);                        // panning envelope flags
    out.zeros(4);                     // auto-vibrato type, sweep, depth, rate
    out.u16(ins.fadeout);
    out.zeros(INSTRUMENT_HEADER_SIZE - 241);  // reserved

    for (const Sample& s : ins.samples) {
        require(s.volume <= 64, "sample volume above 64");
        require(s.loop == Loop::None || (s.loopLength > 0 && s.loopStart + s.loopLength <= s.data.size()),
                "sample loop outside the data");
        if (!s.sixteenBit)
            for (int16_t v : s.data) require(v >= -128 && v <= 127, "8-bit sample value out of range");
        uint32_t unit = s.sixteenBit ? 2 : 1;  // lengths are stored in bytes
        out.u32(uint32_t(s.data.size()) * unit);
        out.u32(s.loop == Loop::None ? 0 : s.loopStart * unit);
        out.u32(s.loop == Loop::None ? 0 : s.loopLength * unit);
        out.u8(s.volume);
        out.u8(uint8_t(s.finetune));
        out.u8(uint8_t(uint8_t(s.loop) | (s.sixteenBit ? SAMPLE_16BIT : 0)));
        out.u8(s.panning);
        out.u8(uint8_t(s.relativeNote));
        out.u8(0);  // reserved
        out.text(s.name, 22);
    }
    for (const Sample& s : ins.samples) writeSampleData(out, s);
}

}  // namespace

std::vector<uint8_t> serialise(const Module& m)
{
    require(m.channels >= 1 && m.channels <= MAX_CHANNELS, "channel count out of range");
    require(!m.orders.empty() && m.orders.size() <= MAX_ORDERS, "order count out of range");
    require(m.patterns.size() <= MAX_PATTERNS, "too many patterns");
    require(m.instruments.size() <= MAX_INSTRUMENTS, "too many instruments");
    require(m.restart >= 0 && m.restart < int(m.orders.size()), "restart position out of range");
    require(m.speed >= 1 && m.speed <= 31, "speed out of range");
    require(m.bpm >= 32 && m.bpm <= 255, "BPM out of range");
    for (uint8_t o : m.orders) require(o < m.patterns.size(), "order names a missing pattern");

    Out out;
    out.text("Extended Module: ", 17);
    out.text(m.name, 20);
    out.u8(0x1A);
    out.text("murl13 songgen", 20);
    out.u16(FORMAT_VERSION);
    out.u32(HEADER_SIZE);
    out.u16(uint16_t(m.orders.size()));
    out.u16(uint16_t(m.restart));
    out.u16(uint16_t(m.channels));
    out.u16(uint16_t(m.patterns.size()));
    out.u16(uint16_t(m.instruments.size()));
    out.u16(m.linearFrequencies ? 1 : 0);
    out.u16(uint16_t(m.speed));
    out.u16(uint16_t(m.bpm));
    for (int i = 0; i < MAX_ORDERS; ++i) out.u8(i < int(m.orders.size()) ? m.orders[i] : 0);

    for (const Pattern& p : m.patterns) writePattern(out, p, m.channels);
    for (const Instrument& ins : m.instruments) writeInstrument(out, ins);
    return std::move(out.bytes);
}

bool saveModule(const Module& module, const std::string& path)
{
    std::vector<uint8_t> bytes = serialise(module);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(file);
}

}  // namespace xm
