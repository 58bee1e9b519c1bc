// A show's worth of song for the pace tests: 40 orders of 64 rows, each at a
// tempo and speed of its own (4 min 16 s in all), with a note at the start of
// each order. Every tempo gives ticks of a whole number of stereo frames
// (44100 * 2.5 / BPM), so the song's time is exact on every clock and each
// order's start is known from the tempos alone, without the decoder.
#pragma once

#include "music/test_modules.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pace {

constexpr int ORDERS = 40;
constexpr int ROWS = 64;
constexpr int RATE = 44100;

struct Tempo {
    int bpm, speed;
};
constexpr Tempo TEMPOS[] = {{125, 6}, {150, 6}, {98, 5}, {175, 4}, {90, 3}, {210, 7}, {147, 5}, {105, 6}};
constexpr int TEMPO_COUNT = int(sizeof TEMPOS / sizeof TEMPOS[0]);

struct PaceSong {
    std::string path;
    std::vector<int64_t> orderStart;  // stereo frame at which each order starts

    double startSeconds(int order) const { return double(orderStart[size_t(order)]) / RATE; }
    // The order playing at stereo frame `frame`.
    int orderAt(int64_t frame) const
    {
        int order = 0;
        while (order + 1 < ORDERS && orderStart[size_t(order) + 1] <= frame) ++order;
        return order;
    }
};

inline PaceSong paceSong()
{
    std::vector<int> rows(TEMPO_COUNT, ROWS);
    xm::Module module = testxm::testModule(3, rows);
    module.bpm = TEMPOS[0].bpm;
    module.speed = TEMPOS[0].speed;
    module.orders.clear();
    PaceSong song;
    int64_t start = 0;
    for (int order = 0; order < ORDERS; ++order) {
        module.orders.push_back(uint8_t(order % TEMPO_COUNT));
        song.orderStart.push_back(start);
        const Tempo tempo = TEMPOS[order % TEMPO_COUNT];
        start += int64_t(ROWS) * tempo.speed * (RATE * 5 / 2 / tempo.bpm);
    }
    for (int pattern = 0; pattern < TEMPO_COUNT; ++pattern) {
        xm::Pattern& p = module.patterns[size_t(pattern)];
        p.at(0, 0) = {xm::NOTE_C4, uint8_t(1 + pattern % testxm::INSTRUMENTS)};
        p.at(0, 1).effect = xm::FX_SPEED;
        p.at(0, 1).param = uint8_t(TEMPOS[pattern].speed);
        p.at(0, 2).effect = xm::FX_SPEED;
        p.at(0, 2).param = uint8_t(TEMPOS[pattern].bpm);
    }
    song.path = testxm::writeTempFile("pace.xm", xm::serialise(module));
    return song;
}

}  // namespace pace
