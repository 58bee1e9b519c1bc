// The module writer: a small in-memory model of a FastTracker 2 extended
// module and its serialisation to the file format (version 0x0104, packed
// patterns, delta-coded samples). The song generator builds its module with
// it, and tests build tiny modules of their own with it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace xm {

constexpr int MAX_CHANNELS = 32;
constexpr int MAX_ORDERS = 256;
constexpr int MAX_PATTERNS = 256;
constexpr int MAX_INSTRUMENTS = 128;
constexpr int MAX_ROWS = 256;
constexpr int MAX_ENVELOPE_POINTS = 12;
constexpr int NOTE_COUNT = 96;         // C-0 .. B-7
constexpr uint8_t NOTE_NONE = 0;
constexpr uint8_t NOTE_C4 = 49;        // plays a sample at its own rate with no transpose
constexpr uint8_t NOTE_KEY_OFF = 97;
constexpr uint8_t VOLUME_SET = 0x10;   // volume column: 0x10 + v sets volume v (0..64)

// Effect numbers as a tracker shows them (0..9, A..Z as 10..35).
enum Effect : uint8_t {
    FX_ARPEGGIO = 0x0, FX_PORTA_UP = 0x1, FX_PORTA_DOWN = 0x2, FX_TONE_PORTA = 0x3,
    FX_VIBRATO = 0x4, FX_TONE_PORTA_VOLUME_SLIDE = 0x5, FX_VIBRATO_VOLUME_SLIDE = 0x6, FX_PANNING = 0x8, FX_SAMPLE_OFFSET = 0x9, FX_VOLUME_SLIDE = 0xA, FX_JUMP = 0xB,
    FX_SET_VOLUME = 0xC, FX_BREAK = 0xD, FX_EXTENDED = 0xE, FX_SPEED = 0xF,
    FX_GLOBAL_VOLUME = 0x10, FX_PANNING_SLIDE = 0x19,
};

// Extended commands: FX_EXTENDED with the command in the parameter's high
// nibble and its value in the low one.
enum Extended : uint8_t {
    EX_FINE_VOLUME_UP = 0xA0, EX_FINE_VOLUME_DOWN = 0xB0, EX_RETRIGGER = 0x90, EX_NOTE_DELAY = 0xD0,
};

// The volume column's commands besides setting a volume: the command in the
// high nibble, its value in the low one.
constexpr uint8_t VOLUME_SLIDE_DOWN = 0x60, VOLUME_SLIDE_UP = 0x70, VOLUME_FINE_DOWN = 0x80, VOLUME_FINE_UP = 0x90,
                  VOLUME_TONE_PORTA = 0xF0;

struct Cell {
    uint8_t note = NOTE_NONE;  // 0 none, 1..96 a note, 97 key-off
    uint8_t instrument = 0;    // 0 none, else 1-based
    uint8_t volume = 0;        // volume column byte, 0 empty
    uint8_t effect = 0;
    uint8_t param = 0;
    bool operator==(const Cell&) const = default;
};

struct Pattern {
    int rows = 64;
    int channels = 0;
    std::vector<Cell> cells;  // row-major: row * channels + channel

    Pattern() = default;
    Pattern(int rowCount, int channelCount)
        : rows(rowCount), channels(channelCount), cells(size_t(rowCount) * channelCount) {}
    Cell& at(int row, int channel) { return cells.at(size_t(row) * channels + channel); }
    const Cell& at(int row, int channel) const { return cells.at(size_t(row) * channels + channel); }
    bool operator==(const Pattern&) const = default;
};

struct EnvelopePoint {
    uint16_t tick;   // position in ticks from the note start
    uint16_t value;  // 0..64
};

struct Envelope {
    bool enabled = false;
    std::vector<EnvelopePoint> points;  // at most 12, ticks increasing
    int sustain = -1;                   // point index, -1 for none
    int loopStart = -1, loopEnd = -1;   // point indices, -1 for no loop
};

enum class Loop : uint8_t { None = 0, Forward = 1, PingPong = 2 };

struct Sample {
    std::string name;
    bool sixteenBit = true;
    std::vector<int16_t> data;  // the sample values; -128..127 when 8-bit
    Loop loop = Loop::None;
    uint32_t loopStart = 0;     // in sample frames
    uint32_t loopLength = 0;    // in sample frames
    uint8_t volume = 64;        // 0..64
    int8_t finetune = 0;        // -128..127, 1/128 of a semitone
    uint8_t panning = 128;      // 0 left .. 255 right
    int8_t relativeNote = 0;    // semitones added to every note
};

struct Instrument {
    std::string name;
    std::vector<Sample> samples;        // at most 16
    std::array<uint8_t, NOTE_COUNT> keymap{};  // sample index (from 0) per note
    Envelope volumeEnvelope;
    uint16_t fadeout = 0;               // subtracted from 65536 per tick after key-off
};

struct Module {
    std::string name;
    int channels = 4;           // 1..32
    int restart = 0;            // order to go on from after the last
    int speed = 6;              // ticks per row
    int bpm = 125;
    bool linearFrequencies = true;
    std::vector<uint8_t> orders;  // pattern numbers
    std::vector<Pattern> patterns;
    std::vector<Instrument> instruments;  // numbered from 1 in patterns
};

// The module as the bytes of an .xm file. Throws std::invalid_argument when
// the model breaks a limit of the format.
std::vector<uint8_t> serialise(const Module& module);

// Writes serialise(module) to path; false when the file cannot be written.
bool saveModule(const Module& module, const std::string& path);

}  // namespace xm
