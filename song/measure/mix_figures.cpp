#include "song/measure/mix_figures.h"

#include <algorithm>
#include <cmath>

#include "song/spectrum.h"

namespace measure {
namespace {

constexpr double HIGH_BAND_HZ = 4000;

}  // namespace

double highBandFlux(const std::vector<float>& mono, double rate)
{
    constexpr int FRAME = 2048, HOP = 1024;
    std::vector<std::vector<float>> m = spectrum::shortTimeMagnitudes(mono, FRAME, HOP);
    size_t first = size_t(std::ceil(HIGH_BAND_HZ * FRAME / rate));
    double rise = 0, total = 0, before = 0;
    for (size_t t = 0; t < m.size(); ++t) {
        double band = 0;
        for (size_t k = 0; k < m[t].size(); ++k) {
            total += double(m[t][k]);
            if (k >= first) band += double(m[t][k]);
        }
        if (t > 0) rise += std::max(0.0, band - before);
        before = band;
    }
    return total > 0 ? rise / total : 0;
}

double onsetsPerSecond(const std::vector<float>& mono, double rate)
{
    constexpr int FRAME = 1024;
    const int hop = int(rate / 100);
    std::vector<std::vector<float>> m = spectrum::shortTimeMagnitudes(mono, FRAME, hop);
    if (m.size() < 2) return 0;
    double loudest = 0;
    for (const auto& f : m) loudest = std::max(loudest, double(*std::max_element(f.begin(), f.end())));
    if (loudest <= 0) return 0;
    const double gain = 1000 / loudest;  // compression from the song's own loudest bin
    std::vector<double> novelty(m.size(), 0.0);
    for (size_t t = 1; t < m.size(); ++t)
        for (size_t k = 0; k < m[t].size(); ++k)
            novelty[t] += std::max(0.0, std::log1p(gain * double(m[t][k])) - std::log1p(gain * double(m[t - 1][k])));
    double top = *std::max_element(novelty.begin(), novelty.end());
    if (top <= 0) return 0;
    for (double& n : novelty) n /= top;
    constexpr int PEAK_REACH = 3, MEAN_REACH = 10;
    constexpr double DELTA = 0.07;
    int count = 0;
    const int n = int(novelty.size());
    int last = -PEAK_REACH - 1;
    for (int t = 0; t < n; ++t) {
        double v = novelty[size_t(t)];
        bool peak = true;
        for (int u = std::max(0, t - PEAK_REACH); u <= std::min(n - 1, t + PEAK_REACH) && peak; ++u) peak = novelty[size_t(u)] <= v;
        if (!peak) continue;
        double mean = 0;
        int from = std::max(0, t - MEAN_REACH), to = std::min(n - 1, t + MEAN_REACH);
        for (int u = from; u <= to; ++u) mean += novelty[size_t(u)];
        mean /= to - from + 1;
        if (v >= mean + DELTA && t - last > PEAK_REACH) {
            ++count;
            last = t;
        }
    }
    return count / (double(mono.size()) / rate);
}

double sideToMidDb(const std::vector<float>& left, const std::vector<float>& right)
{
    double side = 0, mid = 0;
    for (size_t i = 0; i < left.size() && i < right.size(); ++i) {
        double s = 0.5 * (double(left[i]) - double(right[i])), m = 0.5 * (double(left[i]) + double(right[i]));
        side += s * s;
        mid += m * m;
    }
    return 10 * std::log10((side + 1e-20) / (mid + 1e-20));
}

double nearCopyShare(const std::vector<float>& mono, double rate, double thresholdDb)
{
    constexpr int FRAME = 4096, HOP = 2048, BANDS = 24;
    constexpr double LOW_HZ = 60, HIGH_HZ = 12000, FLOOR_DB = 80;
    std::vector<std::vector<float>> m = spectrum::shortTimeMagnitudes(mono, FRAME, HOP);
    // Band levels in dB, floored FLOOR_DB under the song's loudest band.
    std::vector<std::vector<float>> level(m.size(), std::vector<float>(BANDS, 0.0f));
    double loudest = -1e9;
    for (size_t t = 0; t < m.size(); ++t)
        for (int b = 0; b < BANDS; ++b) {
            double lo = LOW_HZ * std::pow(HIGH_HZ / LOW_HZ, double(b) / BANDS);
            double hi = LOW_HZ * std::pow(HIGH_HZ / LOW_HZ, double(b + 1) / BANDS);
            double e = 0;
            for (size_t k = size_t(std::ceil(lo * FRAME / rate)); k < size_t(std::ceil(hi * FRAME / rate)) && k < m[t].size(); ++k)
                e += double(m[t][k]) * double(m[t][k]);
            level[t][size_t(b)] = float(10 * std::log10(e + 1e-20));
            loudest = std::max(loudest, double(level[t][size_t(b)]));
        }
    for (auto& f : level)
        for (float& v : f) v = float(std::max(double(v), loudest - FLOOR_DB));
    const size_t window = size_t(8 * rate / HOP), step = size_t(rate / HOP);
    int windows = 0, copies = 0;
    for (size_t s = 0; s + window <= level.size(); s += step) {
        ++windows;
        bool copy = false;
        for (size_t u = 0; u + window <= s && !copy; ++u) {
            double diff = 0, limit = thresholdDb * double(window * BANDS);
            for (size_t i = 0; i < window && diff < limit; ++i)
                for (int b = 0; b < BANDS; ++b) diff += std::fabs(double(level[s + i][size_t(b)]) - double(level[u + i][size_t(b)]));
            copy = diff < limit;
        }
        copies += copy;
    }
    return windows ? double(copies) / windows : 0;
}

}  // namespace measure
