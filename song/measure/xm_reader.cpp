// The XM layout read back: a fixed header with the order table, the patterns
// (each cell packed behind a lead byte with its top bit set, or five plain
// bytes), then each instrument's header, its sample headers and the
// delta-coded sample data. Little-endian throughout.
#include "song/measure/xm_reader.h"

#include <cstring>

namespace xm {
namespace {

constexpr size_t ID_LENGTH = 17;                 // "Extended Module: "
constexpr size_t HEADER_SIZE_OFFSET = 60;
constexpr size_t ORDER_TABLE_OFFSET = 80;
constexpr int ENVELOPE_BYTES = MAX_ENVELOPE_POINTS * 4;

struct In {
    const std::vector<uint8_t>& bytes;
    size_t at = 0;
    bool ok = true;
    bool has(size_t n) { return ok = ok && at + n <= bytes.size(); }
    uint8_t u8() { return has(1) ? bytes[at++] : 0; }
    uint16_t u16() { uint16_t lo = u8(); return uint16_t(lo | u8() << 8); }
    uint32_t u32() { uint32_t lo = u16(); return lo | uint32_t(u16()) << 16; }
    std::string text(size_t width)
    {
        std::string s;
        for (size_t i = 0; i < width; ++i) s += char(u8());
        return s.substr(0, s.find('\0'));
    }
};

void readCell(In& in, Cell& c)
{
    uint8_t lead = in.u8();
    if (lead & 0x80) {
        if (lead & 0x01) c.note = in.u8();
        if (lead & 0x02) c.instrument = in.u8();
        if (lead & 0x04) c.volume = in.u8();
        if (lead & 0x08) c.effect = in.u8();
        if (lead & 0x10) c.param = in.u8();
        return;
    }
    c.note = lead;
    c.instrument = in.u8();
    c.volume = in.u8();
    c.effect = in.u8();
    c.param = in.u8();
}

bool readPattern(In& in, int channels, Pattern& p)
{
    size_t start = in.at;
    uint32_t headerSize = in.u32();
    in.u8();  // packing type
    int rows = in.u16();
    uint16_t packedSize = in.u16();
    in.at = start + headerSize;
    if (!in.ok || rows < 1 || rows > MAX_ROWS) return false;
    p = Pattern(rows, channels);
    if (packedSize == 0) return true;  // an empty pattern stores no cells
    size_t end = in.at + packedSize;
    for (Cell& c : p.cells) readCell(in, c);
    return in.ok && in.at == end;
}

Envelope readEnvelope(const uint8_t* points, int count, int sustain, int loopStart, int loopEnd, uint8_t flags)
{
    Envelope e;
    e.enabled = flags & 1;
    for (int i = 0; i < count && i < MAX_ENVELOPE_POINTS; ++i)
        e.points.push_back({uint16_t(points[4 * i] | points[4 * i + 1] << 8), uint16_t(points[4 * i + 2] | points[4 * i + 3] << 8)});
    e.sustain = flags & 2 ? sustain : -1;
    if (flags & 4) {
        e.loopStart = loopStart;
        e.loopEnd = loopEnd;
    }
    return e;
}

bool readInstrument(In& in, Instrument& ins)
{
    size_t start = in.at;
    uint32_t headerSize = in.u32();
    ins.name = in.text(22);
    in.u8();  // type
    int sampleCount = in.u16();
    if (sampleCount > 16) return false;
    uint32_t sampleHeaderSize = 0;
    if (sampleCount > 0) {
        sampleHeaderSize = in.u32();
        for (uint8_t& k : ins.keymap) k = in.u8();
        uint8_t volumePoints[ENVELOPE_BYTES];
        for (uint8_t& b : volumePoints) b = in.u8();
        in.at += ENVELOPE_BYTES;  // panning envelope
        int count = in.u8();
        in.u8();
        int sustain = in.u8(), loopStart = in.u8(), loopEnd = in.u8();
        in.at += 3;
        uint8_t flags = in.u8();
        in.at += 5;  // panning flags, auto-vibrato
        ins.fadeout = in.u16();
        ins.volumeEnvelope = readEnvelope(volumePoints, count, sustain, loopStart, loopEnd, flags);
    }
    in.at = start + headerSize;
    std::vector<uint32_t> lengths;
    for (int i = 0; i < sampleCount; ++i) {
        size_t sampleStart = in.at;
        Sample s;
        uint32_t length = in.u32(), loopStart = in.u32(), loopLength = in.u32();
        s.volume = in.u8();
        s.finetune = int8_t(in.u8());
        uint8_t type = in.u8();
        s.panning = in.u8();
        s.relativeNote = int8_t(in.u8());
        in.u8();
        s.name = in.text(22);
        s.sixteenBit = type & 0x10;
        s.loop = Loop(type & 3);
        uint32_t unit = s.sixteenBit ? 2 : 1;
        s.loopStart = s.loop == Loop::None ? 0 : loopStart / unit;
        s.loopLength = s.loop == Loop::None ? 0 : loopLength / unit;
        lengths.push_back(length / unit);
        ins.samples.push_back(std::move(s));
        in.at = sampleStart + sampleHeaderSize;
    }
    for (size_t i = 0; i < ins.samples.size(); ++i) {
        Sample& s = ins.samples[i];
        int16_t value = 0;
        for (uint32_t n = 0; n < lengths[i] && in.ok; ++n) {
            value = s.sixteenBit ? int16_t(value + int16_t(in.u16())) : int16_t(int8_t(value + int8_t(in.u8())));
            s.data.push_back(value);
        }
    }
    return in.ok;
}

}  // namespace

std::optional<Module> parse(const std::vector<uint8_t>& bytes)
{
    In in{bytes};
    if (bytes.size() < ORDER_TABLE_OFFSET || std::memcmp(bytes.data(), "Extended Module: ", ID_LENGTH) != 0) return std::nullopt;
    Module m;
    in.at = ID_LENGTH;
    m.name = in.text(20);
    in.at = HEADER_SIZE_OFFSET;
    uint32_t headerSize = in.u32();
    int orders = in.u16();
    m.restart = in.u16();
    m.channels = in.u16();
    int patterns = in.u16(), instruments = in.u16();
    m.linearFrequencies = in.u16() & 1;
    m.speed = in.u16();
    m.bpm = in.u16();
    if (orders < 1 || orders > MAX_ORDERS || m.channels < 1 || m.channels > MAX_CHANNELS || patterns > MAX_PATTERNS ||
        instruments > MAX_INSTRUMENTS)
        return std::nullopt;
    for (int i = 0; i < orders; ++i) m.orders.push_back(in.u8());
    in.at = HEADER_SIZE_OFFSET + headerSize;
    m.patterns.resize(size_t(patterns));
    for (Pattern& p : m.patterns)
        if (!readPattern(in, m.channels, p)) return std::nullopt;
    m.instruments.resize(size_t(instruments));
    for (Instrument& ins : m.instruments)
        if (!readInstrument(in, ins)) return std::nullopt;
    for (uint8_t o : m.orders)
        if (o >= m.patterns.size()) return std::nullopt;
    return m;
}

}  // namespace xm
