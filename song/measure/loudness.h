// Integrated loudness after ITU-R BS.1770: K-weighting, 400 ms blocks every
// 100 ms, an absolute gate at -70 LUFS and a relative one 10 dB under.
#pragma once

#include <vector>

namespace measure {

// LUFS of a stereo signal at measure::RATE.
double integratedLoudness(const std::vector<float>& left, const std::vector<float>& right);

}  // namespace measure
