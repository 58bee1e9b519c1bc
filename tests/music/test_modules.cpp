// The tests' XM writer (FastTracker 2 module format, version 1.04).
#include "music/test_modules.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace testxm {

constexpr int SAMPLE_LENGTH = 32;          // bytes of the one 8-bit sample per instrument
constexpr int HEADER_SIZE = 276;           // the header from its size field on, with 256 orders
constexpr int INSTRUMENT_HEADER_SIZE = 263;
constexpr int SAMPLE_HEADER_SIZE = 40;
constexpr int LINEAR_FREQUENCIES = 1;

static void put8(std::vector<uint8_t>& out, int value) { out.push_back(static_cast<uint8_t>(value)); }
static void put16(std::vector<uint8_t>& out, int value)
{
    put8(out, value & 0xff);
    put8(out, (value >> 8) & 0xff);
}
static void put32(std::vector<uint8_t>& out, uint32_t value)
{
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}
static void putText(std::vector<uint8_t>& out, const char* text, size_t width)
{
    size_t length = std::strlen(text);
    for (size_t i = 0; i < width; i++) put8(out, i < length ? text[i] : 0);
}

Pattern emptyPattern(int rows, int channels) { return Pattern{rows, std::vector<Cell>(rows * channels)}; }

Cell& cellAt(Pattern& pattern, const Module& module, int row, int channel)
{
    return pattern.cells.at(row * module.channels + channel);
}

std::vector<uint8_t> encode(const Module& module)
{
    std::vector<uint8_t> out;
    putText(out, "Extended Module: ", 17);
    putText(out, "test module", 20);
    put8(out, 0x1a);
    putText(out, "FastTracker v2.00", 20);
    put16(out, 0x0104);
    put32(out, HEADER_SIZE);
    put16(out, static_cast<int>(module.orders.size()));
    put16(out, module.restart);
    put16(out, module.channels);
    put16(out, static_cast<int>(module.patterns.size()));
    put16(out, module.instruments);
    put16(out, LINEAR_FREQUENCIES);
    put16(out, module.speed);
    put16(out, module.bpm);
    for (int i = 0; i < 256; i++) put8(out, i < static_cast<int>(module.orders.size()) ? module.orders[i] : 0);

    for (const Pattern& pattern : module.patterns) {
        put32(out, 9);  // pattern header length
        put8(out, 0);   // packing type
        put16(out, pattern.rows);
        put16(out, pattern.rows * module.channels * 5);
        for (const Cell& cell : pattern.cells) {
            put8(out, cell.note);
            put8(out, cell.instrument);
            put8(out, cell.volume);
            put8(out, cell.effect);
            put8(out, cell.parameter);
        }
    }

    for (int instrument = 0; instrument < module.instruments; instrument++) {
        put32(out, INSTRUMENT_HEADER_SIZE);
        putText(out, "inst", 22);
        put8(out, 0);   // type
        put16(out, 1);  // samples
        put32(out, SAMPLE_HEADER_SIZE);
        for (int i = 0; i < 96; i++) put8(out, 0);       // every note plays sample 0
        for (int i = 0; i < 48 + 48; i++) put8(out, 0);  // envelopes
        for (int i = 0; i < 14; i++) put8(out, 0);       // envelope points, flags, vibrato
        put16(out, 0);                                   // fade-out
        for (int i = 0; i < 22; i++) put8(out, 0);       // reserved
        // Sample header: a forward loop over the whole sample.
        put32(out, SAMPLE_LENGTH);
        put32(out, 0);
        put32(out, SAMPLE_LENGTH);
        put8(out, 48);    // volume
        put8(out, 0);     // finetune
        put8(out, 1);     // forward loop, 8-bit
        put8(out, 0x80);  // panning
        put8(out, 0);     // relative note
        put8(out, 0);     // reserved
        putText(out, "square", 22);
        // Sample data as deltas: a square wave.
        int previous = 0;
        for (int i = 0; i < SAMPLE_LENGTH; i++) {
            int value = i < SAMPLE_LENGTH / 2 ? 60 : -60;
            put8(out, (value - previous) & 0xff);
            previous = value;
        }
    }
    return out;
}

// The files this process wrote, removed when it exits.
struct TempFiles {
    std::vector<std::string> paths;
    ~TempFiles()
    {
        for (const std::string& path : paths) std::remove(path.c_str());
    }
};
static TempFiles tempFiles;

std::string writeTempFile(const std::string& name, const std::vector<uint8_t>& bytes)
{
    // The process id keeps tests that ctest runs side by side off each other's files.
    std::string path = testing::TempDir() + "murl13_" + std::to_string(getpid()) + "_" + name;
    tempFiles.paths.push_back(path);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr) << path;
    if (file == nullptr) return path;
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    return path;
}

std::string writeModule(const std::string& name, const Module& module) { return writeTempFile(name, encode(module)); }

Module oneOrderModule(int rows, int channels)
{
    Module module;
    module.channels = channels;
    module.orders = {0};
    module.patterns = {emptyPattern(rows, channels)};
    return module;
}

}  // namespace testxm
