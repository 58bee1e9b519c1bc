// Clicks in a rendered mix: a single sample where the waveform's curvature
// (its second difference) jumps far above the curvature of the 10 ms either
// side. A note struck on a sample that does not begin at zero, or a voice cut
// off mid-swing, makes one; a drum's own attack, loud in its surroundings, does
// not. Used by the song tests and the measuring tool.
#pragma once

#include <vector>

namespace clicks {

constexpr double MIN_JUMP = 0.005;   // of full scale: smaller jumps are inaudible
constexpr double MIN_RATIO = 100;    // the jump's power against its surroundings' mean

// The times (seconds) of the clicks in `x`, sampled at `rate`; after a click
// the next 10 ms are skipped. The end of the signal counts as a jump to
// silence.
std::vector<double> find(const std::vector<float>& x, double rate);

}  // namespace clicks
