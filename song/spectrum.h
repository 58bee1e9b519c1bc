// Where a rendered mix keeps its energy: power spectra of a signal summed
// over its whole length, split into frequency bands. Used to check the
// soundtrack's balance (the song tests and the measuring tool).
#pragma once

#include <vector>

namespace spectrum {

// Energy of `x` (sampled at `rate`) in the bands that `edges` (Hz, rising)
// cut the spectrum into: below edges[0], between neighbours, above the last.
// Hann-windowed frames of 4096 samples overlapping by half.
std::vector<double> bandEnergies(const std::vector<float>& x, double rate, const std::vector<double>& edges);

// Share of the total energy below `hz`.
double shareBelow(const std::vector<float>& x, double rate, double hz);

}  // namespace spectrum
