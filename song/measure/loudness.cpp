#include "song/measure/loudness.h"

#include <cmath>

#include "song/measure/render.h"

namespace measure {
namespace {

struct Biquad {
    double b0, b1, b2, a1, a2, z1 = 0, z2 = 0;
    double run(double x)
    {
        double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }
};

std::vector<double> kWeighted(const std::vector<float>& x)
{
    const double pi = 3.14159265358979323846;
    // The high shelf (+4 dB above ~1.7 kHz) and the high pass near 38 Hz,
    // designed for this rate from the filters' analogue prototypes.
    double a = std::pow(10.0, 3.999843853973347 / 40), w = 2 * pi * 1681.974450955533 / RATE;
    double alpha = std::sin(w) / (2 * 0.7071752369554196), c = std::cos(w), sa = 2 * std::sqrt(a) * alpha;
    double a0 = (a + 1) - (a - 1) * c + sa;
    Biquad shelf{a * ((a + 1) + (a - 1) * c + sa) / a0, -2 * a * ((a - 1) + (a + 1) * c) / a0,
                 a * ((a + 1) + (a - 1) * c - sa) / a0, 2 * ((a - 1) - (a + 1) * c) / a0,
                 ((a + 1) - (a - 1) * c - sa) / a0};
    w = 2 * pi * 38.13547087602444 / RATE;
    alpha = std::sin(w) / (2 * 0.5003270373238773);
    c = std::cos(w);
    a0 = 1 + alpha;
    Biquad high{(1 + c) / 2 / a0, -(1 + c) / a0, (1 + c) / 2 / a0, -2 * c / a0, (1 - alpha) / a0};
    std::vector<double> y(x.size());
    for (size_t i = 0; i < x.size(); ++i) y[i] = high.run(shelf.run(x[i]));
    return y;
}

}  // namespace

double integratedLoudness(const std::vector<float>& left, const std::vector<float>& right)
{
    std::vector<double> l = kWeighted(left), rr = kWeighted(right);
    const size_t block = RATE * 4 / 10, step = RATE / 10;
    std::vector<double> z;
    for (size_t start = 0; start + block <= l.size(); start += step) {
        double sum = 0;
        for (size_t i = start; i < start + block; ++i) sum += l[i] * l[i] + rr[i] * rr[i];
        z.push_back(sum / double(block));
    }
    auto gatedMean = [&](double gate) {
        double sum = 0;
        int n = 0;
        for (double v : z)
            if (-0.691 + db(v) > gate) {
                sum += v;
                ++n;
            }
        return n ? sum / n : 0.0;
    };
    double relative = -0.691 + db(gatedMean(-70)) - 10;
    return -0.691 + db(gatedMean(relative));
}

}  // namespace measure
