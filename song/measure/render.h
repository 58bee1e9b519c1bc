// A module rendered the way the demo hears it: libxmp's default mixer at
// 44.1 kHz, stereo, from the start until the song ends or would play again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace measure {

constexpr int RATE = 44100;

struct Render {
    std::vector<float> left, right, mono;            // full scale = 1; mono is their mean
    std::map<std::pair<int, int>, size_t> rowStart;  // (order, row) -> its first sample
    std::vector<size_t> orderStart;                  // first sample of each order as played
    int channels = 0;                                // the module's
    bool loaded = false;
};

// The module in `file` with the channels in `muted` silent, at most
// `limitSeconds` long; not loaded when libxmp does not play it.
Render render(const std::vector<uint8_t>& file, const std::vector<int>& muted = {}, double limitSeconds = 1200);

// Each channel alone, over the whole song: the mean square of its left plus
// that of its right. A part heard throughout and a rare accent at the same
// loudness differ here by how often the accent sounds.
std::vector<double> channelLevels(const std::vector<uint8_t>& file, int channels);

// Decibels of a mean square, full scale 0 dB; silence reads as -120 dB.
double db(double power);
double meanSquare(const std::vector<float>& x, size_t from, size_t to);
double percentile(std::vector<double> v, double p);

}  // namespace measure
