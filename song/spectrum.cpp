#include "song/spectrum.h"

#include <cmath>
#include <complex>

namespace spectrum {
namespace {

// Long enough that the lowest third-octave bands, 7 Hz wide, get bins of
// their own at 44.1 kHz (2.7 Hz apart).
constexpr int FRAME = 16384;
constexpr int HOP = FRAME / 2;
constexpr double PI = 3.14159265358979323846;

// In-place radix-2 transform; size a power of two.
void fft(std::vector<std::complex<double>>& a)
{
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        std::complex<double> step = std::polar(1.0, -2 * PI / double(len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w = 1;
            for (size_t k = 0; k < len / 2; ++k) {
                std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

std::vector<double> hann(int n)
{
    std::vector<double> window(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) window[size_t(i)] = 0.5 - 0.5 * std::cos(2 * PI * i / n);
    return window;
}

// Power per FFT bin, summed over the frames.
std::vector<double> powerSpectrum(const std::vector<float>& x)
{
    std::vector<double> window = hann(FRAME);
    std::vector<double> power(FRAME / 2 + 1, 0.0);
    std::vector<std::complex<double>> frame(FRAME);
    for (size_t start = 0; start < x.size(); start += HOP) {
        for (size_t i = 0; i < size_t(FRAME); ++i)
            frame[i] = start + i < x.size() ? double(x[start + i]) * window[i] : 0.0;
        fft(frame);
        for (size_t k = 0; k < power.size(); ++k) power[k] += std::norm(frame[k]);
    }
    return power;
}

}  // namespace

std::vector<std::vector<float>> shortTimeMagnitudes(const std::vector<float>& x, int frame, int hop)
{
    std::vector<double> window = hann(frame);
    std::vector<std::vector<float>> frames;
    std::vector<std::complex<double>> a(static_cast<size_t>(frame));
    for (size_t start = 0; start + size_t(frame) <= x.size(); start += size_t(hop)) {
        for (size_t i = 0; i < size_t(frame); ++i) a[i] = double(x[start + i]) * window[i];
        fft(a);
        std::vector<float> m(size_t(frame / 2 + 1));
        for (size_t k = 0; k < m.size(); ++k) m[k] = float(std::abs(a[k]));
        frames.push_back(std::move(m));
    }
    return frames;
}

const int THIRD_OCTAVE_HZ[THIRD_OCTAVES] = {31,   40,   50,   63,   80,   100,  125,  160,  200,   250,
                                            315,  400,  500,  630,  800,  1000, 1250, 1600, 2000,  2500,
                                            3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000};

std::vector<double> bandEnergies(const std::vector<float>& x, double rate, const std::vector<double>& edges)
{
    std::vector<double> power = powerSpectrum(x);
    std::vector<double> bands(edges.size() + 1, 0.0);
    for (size_t k = 0; k < power.size(); ++k) {
        double hz = double(k) * rate / FRAME;
        size_t b = 0;
        while (b < edges.size() && hz >= edges[b]) ++b;
        bands[b] += power[k];
    }
    return bands;
}

double shareBelow(const std::vector<float>& x, double rate, double hz)
{
    std::vector<double> b = bandEnergies(x, rate, {hz});
    double total = b[0] + b[1];
    return total > 0 ? b[0] / total : 0.0;
}

Balance balance(const std::vector<float>& x, double rate)
{
    std::vector<double> power = powerSpectrum(x);
    // Band centres are 1 kHz times powers of 10^(1/10), the bands meeting
    // halfway between (in the logarithm); 31 Hz is 15 steps down.
    std::vector<double> energy(THIRD_OCTAVES, 0.0);
    double total = 0, weighted = 0;
    for (size_t k = 0; k < power.size(); ++k) {
        double hz = double(k) * rate / FRAME;
        if (hz < FLOOR_HZ) continue;
        total += power[k];
        weighted += hz * power[k];
        int band = int(std::floor(10.0 * std::log10(hz / 1000.0) + 0.5)) + 15;
        if (band >= 0 && band < THIRD_OCTAVES) energy[size_t(band)] += power[k];
    }
    Balance b;
    for (double e : energy) b.bandDb.push_back(total > 0 && e > 0 ? 10 * std::log10(e / total) : -200.0);
    b.centroidHz = total > 0 ? weighted / total : 0;
    b.energy = total;
    return b;
}

}  // namespace spectrum
