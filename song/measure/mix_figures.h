// What a listener hears of an arrangement in its render, beyond the tonal
// balance: how restless the top is, how many attacks a second, how wide the
// stereo image, how much of the song repeats itself.
#pragma once

#include <vector>

namespace measure {

// The high band's change from frame to frame: the rises of its magnitude
// (every bin above 4 kHz together) between neighbouring 46 ms frames, 23 ms
// apart, summed, against the magnitude of the whole spectrum. A constant
// tick over the mix scores high, a held cymbal or a quiet top low.
double highBandFlux(const std::vector<float>& mono, double rate);

// Attacks a second: peaks of the rise in log-compressed magnitude, 10 ms
// frames, each the highest within 30 ms and clear of the mean of the
// surrounding 0.2 s; over the whole length.
double onsetsPerSecond(const std::vector<float>& mono, double rate);

// The side signal's energy against the mid signal's, dB: (L - R) / 2
// against (L + R) / 2. A mono mix reads very low, hard-panned parts near 0.
double sideToMidDb(const std::vector<float>& left, const std::vector<float>& right);

// The share of the 8-second windows (one starting every second) that have a
// near copy earlier in the song: an earlier 8 seconds, at any offset that
// does not overlap, whose levels in 24 bands (60 Hz to 12 kHz, 46 ms frames)
// differ from the window's by less than NEAR_COPY_DB on average.
constexpr double NEAR_COPY_DB = 3.0;
double nearCopyShare(const std::vector<float>& mono, double rate, double thresholdDb = NEAR_COPY_DB);

}  // namespace measure
