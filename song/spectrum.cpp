#include "song/spectrum.h"

#include <cmath>
#include <complex>

namespace spectrum {
namespace {

constexpr int FRAME = 4096;
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

}  // namespace

std::vector<double> bandEnergies(const std::vector<float>& x, double rate, const std::vector<double>& edges)
{
    std::vector<double> bands(edges.size() + 1, 0.0);
    std::vector<double> window(FRAME);
    for (int i = 0; i < FRAME; ++i) window[size_t(i)] = 0.5 - 0.5 * std::cos(2 * PI * i / FRAME);
    // Which band each bin falls in.
    std::vector<size_t> bandOf(FRAME / 2 + 1);
    for (size_t k = 0; k < bandOf.size(); ++k) {
        double hz = double(k) * rate / FRAME;
        size_t b = 0;
        while (b < edges.size() && hz >= edges[b]) ++b;
        bandOf[k] = b;
    }
    std::vector<std::complex<double>> frame(FRAME);
    for (size_t start = 0; start < x.size(); start += HOP) {
        for (size_t i = 0; i < size_t(FRAME); ++i)
            frame[i] = start + i < x.size() ? double(x[start + i]) * window[i] : 0.0;
        fft(frame);
        for (size_t k = 0; k < bandOf.size(); ++k) bands[bandOf[k]] += std::norm(frame[k]);
    }
    return bands;
}

double shareBelow(const std::vector<float>& x, double rate, double hz)
{
    std::vector<double> b = bandEnergies(x, rate, {hz});
    double total = b[0] + b[1];
    return total > 0 ? b[0] / total : 0.0;
}

}  // namespace spectrum
