#include "song/clicks.h"

#include <algorithm>
#include <cmath>

namespace clicks {

std::vector<double> find(const std::vector<float>& x, double rate)
{
    const size_t half = size_t(rate / 100);  // 10 ms either side
    std::vector<double> d(x.size(), 0.0), sum(x.size() + 1, 0.0);
    for (size_t i = 2; i < x.size(); ++i) d[i] = double(x[i]) - 2.0 * double(x[i - 1]) + double(x[i - 2]);
    // The sound stops after the last sample: that edge counts too.
    if (x.size() >= 2) d.back() = std::max(std::fabs(d.back()), std::fabs(double(x.back())));
    for (size_t i = 0; i < d.size(); ++i) sum[i + 1] = sum[i] + d[i] * d[i];
    std::vector<double> found;
    for (size_t i = 0; i < d.size(); ++i) {
        size_t a = i > half ? i - half : 0, b = std::min(d.size(), i + half);
        if (std::fabs(d[i]) < MIN_JUMP || b - a < 2) continue;
        double others = (sum[b] - sum[a] - d[i] * d[i]) / double(b - a - 1);
        if (d[i] * d[i] > MIN_RATIO * others) {
            found.push_back(double(i) / rate);
            i += half;
        }
    }
    return found;
}

}  // namespace clicks
