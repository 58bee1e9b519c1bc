// What the capture's tests share: the workbench's capture run as a program,
// tiny songs whose notes and orders each test knows, the decoder's own sound to
// hold the sound track to, and the raw cells the capture writes beside it.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "music/test_modules.h"
#include "music/tick_loop.h"
#include "state/demo_state.h"
#include "tool_process.h"

inline std::pair<int, std::string> capture(const std::string& args) { return tool("capture", args); }

inline std::string temp(const std::string& name) { return testing::TempDir() + "murl13_" + std::to_string(getpid()) + "_" + name; }

inline bool exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

inline std::vector<uint8_t> bytesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// `orders` one-row orders at speed 6 (six ticks of 882 samples each), every row
// a note of instrument 2 and, on the second channel, of instrument 3.
inline std::string songOf(const std::string& name, int orders)
{
    xm::Module module = testxm::testModule(2, std::vector<int>(size_t(orders), 1));
    for (xm::Pattern& pattern : module.patterns) {
        pattern.at(0, 0) = {xm::NOTE_C4, 2, 0, 0, 0};
        pattern.at(0, 1) = {uint8_t(xm::NOTE_C4 + 7), 3, 0, 0, 0};
    }
    return testxm::writeTempFile(name, xm::serialise(module));
}

// The tick loop's own sound for the first `frames` stereo frames.
inline std::vector<int16_t> decoderSound(const std::string& song, size_t frames)
{
    std::vector<int16_t> sound;
    music::TickLoop* loop = music::openTickLoop(song.c_str());
    music::Tick tick;
    while (sound.size() < frames * 2 && music::playTick(loop, tick))
        sound.insert(sound.end(), tick.samples, tick.samples + tick.frames * 2);
    music::closeTickLoop(loop);
    sound.resize(frames * 2);
    return sound;
}

// Frame k of a raw cells file (--cells).
inline ScreenBuffer cellsOf(const std::vector<uint8_t>& raw, size_t k)
{
    ScreenBuffer cells;
    for (int i = 0; i < CELL_COUNT; ++i) {
        const uint8_t* b = &raw[(k * CELL_COUNT + size_t(i)) * 4];
        cells[size_t(i)] = {uint16_t(b[0] | b[1] << 8), uint16_t(b[2] | b[3] << 8)};
    }
    return cells;
}

// Order 0 of 16 rows (1.92 s) with beats on rows 0, 4 and 8 and an accent on
// row 4, then 39 orders of one row, a beat on each of orders 1 to 3.
inline std::string longIntroSong()
{
    std::vector<int> rows(40, 1);
    rows[0] = 16;
    xm::Module module = testxm::testModule(2, rows);
    for (int row : {0, 4, 8}) module.patterns[0].at(row, 0) = {xm::NOTE_C4, 2, 0, 0, 0};
    module.patterns[0].at(4, 1) = {xm::NOTE_C4, 3, 0, 0, 0};
    for (int order : {1, 2, 3}) module.patterns[size_t(order)].at(0, 0) = {xm::NOTE_C4, 2, 0, 0, 0};
    return testxm::writeTempFile("intro.xm", xm::serialise(module));
}

