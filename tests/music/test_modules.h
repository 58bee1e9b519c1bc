// Tiny modules for the music tests, built with the project's module writer:
// every instrument holds one short looped square wave, so that each test
// knows exactly which orders, rows and notes it plays.
#pragma once

#include "song/xm_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

namespace testxm {

constexpr int INSTRUMENTS = 8;

// Orders 0..n-1, each playing its own empty pattern of the given rows (speed 6, BPM 125).
inline xm::Module testModule(int channels, const std::vector<int>& patternRows)
{
    xm::Module module;
    module.channels = channels;
    for (int rows : patternRows) {
        module.orders.push_back(uint8_t(module.patterns.size()));
        module.patterns.emplace_back(rows, channels);
    }
    xm::Sample square;
    square.sixteenBit = false;
    for (int i = 0; i < 32; i++) square.data.push_back(i < 16 ? 60 : -60);
    square.loop = xm::Loop::Forward;
    square.loopLength = 32;
    module.instruments.resize(INSTRUMENTS);
    for (xm::Instrument& instrument : module.instruments) instrument.samples = {square};
    return module;
}

// Writes bytes to a fresh file in the test's temporary folder, removed at exit; returns its path.
inline std::string writeTempFile(const std::string& name, const std::vector<uint8_t>& bytes)
{
    static struct Written : std::vector<std::string> {
        ~Written() { for (const std::string& path : *this) std::remove(path.c_str()); }
    } written;
    // The process id keeps test processes that ctest runs side by side apart.
    std::string path = testing::TempDir() + "murl13_" + std::to_string(getpid()) + "_" + name;
    written.push_back(path);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr) << path;
    if (file == nullptr) return path;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    return path;
}

}  // namespace testxm
