// Where a rendered mix keeps its energy: power spectra of a signal summed
// over its whole length (Welch's method: Hann-windowed frames of 16384
// samples overlapping by half), split into frequency bands. Used to check the
// soundtrack's balance (the song tests and the measuring tool).
#pragma once

#include <vector>

namespace spectrum {

// Energy of `x` (sampled at `rate`) in the bands that `edges` (Hz, rising)
// cut the spectrum into: below edges[0], between neighbours, above the last.
std::vector<double> bandEnergies(const std::vector<float>& x, double rate, const std::vector<double>& edges);

// Share of the total energy below `hz`.
double shareBelow(const std::vector<float>& x, double rate, double hz);

// Magnitude spectra (bins 0 to frame / 2) of the Hann-windowed frames of
// `frame` samples (a power of two) that start every `hop` samples and fit
// in `x`.
std::vector<std::vector<float>> shortTimeMagnitudes(const std::vector<float>& x, int frame, int hop);

// The third-octave bands from 31 Hz to 16 kHz, by their nominal centres.
constexpr int THIRD_OCTAVES = 28;
extern const int THIRD_OCTAVE_HZ[THIRD_OCTAVES];
constexpr double FLOOR_HZ = 20;  // energy below this counts for nothing

// The tonal balance of a mix: each third-octave band's share of the energy
// above FLOOR_HZ, in dB, and the spectral centroid (the power-weighted mean
// frequency above FLOOR_HZ).
struct Balance {
    std::vector<double> bandDb;  // THIRD_OCTAVES values, by THIRD_OCTAVE_HZ
    double centroidHz = 0;
    double energy = 0;           // in all, above FLOOR_HZ
};
Balance balance(const std::vector<float>& x, double rate);

}  // namespace spectrum
