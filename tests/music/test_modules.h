// Small XM modules written by the tests themselves, so that each test knows
// exactly which orders, rows and notes it plays. Only what the tests need:
// unpacked patterns, instruments of one short looped sample each, orders,
// speed, BPM and restart position.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testxm {

// Pattern notes as the XM file stores them.
constexpr int C4 = 49;        // an ordinary note (C-4)
constexpr int D4 = 51;
constexpr int KEY_OFF = 97;   // the key-off "note"
constexpr int BAD_NOTE = 120; // a byte above key-off, which no tracker plays

// Effect numbers as the XM file stores them.
constexpr int FX_TONE_PORTAMENTO = 0x3;
constexpr int FX_TONE_PORTAMENTO_VOLUME_SLIDE = 0x5;
constexpr int FX_POSITION_JUMP = 0xB;
constexpr int FX_PATTERN_BREAK = 0xD;   // parameter: the row, written as decimal digits
constexpr int FX_EXTENDED = 0xE;        // EDx note delay: parameter 0xD0 | x
constexpr int FX_SPEED = 0xF;           // parameter below 32: ticks per row; 32 and above: BPM
constexpr int VOLUME_TONE_PORTAMENTO = 0xF0;  // volume column Mx: 0xF0 | x

struct Cell {
    int note = 0;        // 0 none
    int instrument = 0;  // 0 none, else from 1
    int volume = 0;      // volume column byte, 0 empty
    int effect = 0;
    int parameter = 0;
};

struct Pattern {
    int rows;
    std::vector<Cell> cells;  // rows x channels, row-major
};

struct Module {
    int channels = 4;
    int instruments = 8;
    int speed = 6;       // ticks per row
    int bpm = 125;       // a tick lasts 2.5 / bpm seconds
    int restart = 0;     // order the song goes back to at its end
    std::vector<int> orders;
    std::vector<Pattern> patterns;
};

// An empty pattern of `rows` rows for a module of `channels` channels.
Pattern emptyPattern(int rows, int channels);
Cell& cellAt(Pattern& pattern, const Module& module, int row, int channel);

std::vector<uint8_t> encode(const Module& module);

// Writes bytes to a fresh file under the test's temporary folder; returns its path.
std::string writeTempFile(const std::string& name, const std::vector<uint8_t>& bytes);
std::string writeModule(const std::string& name, const Module& module);

// One-pattern module of `rows` rows and `channels` channels (speed 6, BPM 125).
Module oneOrderModule(int rows, int channels);

}  // namespace testxm
