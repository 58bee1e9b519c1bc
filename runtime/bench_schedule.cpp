// The benchmark's schedule and its statistics.
#include "runtime/bench_schedule.h"

#include <algorithm>
#include <cmath>

#include "runtime/overlays.h"
#include "state/demo_state.h"

namespace {

constexpr double ORDER_SECONDS = 4.0;
constexpr double BEAT_SECONDS = 0.5;
constexpr double ACCENT_SECONDS = 2.0;
constexpr double PULSE_PEAK = 3.0;
constexpr double BEAT_DECAY = 8.0;  // per second, as the frame loop lets it fall
constexpr double ACCENT_DECAY = 7.0;

}  // namespace

void setScheduledState(int order, int i, int framesPerOrder)
{
    const double t = ORDER_SECONDS * order + ORDER_SECONDS * (i + 0.5) / framesPerOrder;
    demo.timeSec = t;
    demo.musicOrder = order;
    relaxedStore(demo.beatCount, int(std::floor(t / BEAT_SECONDS)));
    relaxedStore(demo.beatPulse, float(std::max(0.0, PULSE_PEAK - BEAT_DECAY * std::fmod(t, BEAT_SECONDS))));
    relaxedStore(demo.accentPulse,
                 float(std::max(0.0, PULSE_PEAK - ACCENT_DECAY * std::fmod(t, ACCENT_SECONDS))));
}

void startSchedule()
{
    resetDemoState();
    overlayRandomState = 1;
}

double percentile(std::vector<double> values, double q)
{
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    size_t rank = size_t(std::ceil(q * double(values.size())));
    if (rank < 1) rank = 1;
    return values[rank - 1];
}

FrameTimes summariseTimes(const std::vector<double>& ms)
{
    double total = 0;
    for (const double m : ms) total += m;
    return {ms.size(), percentile(ms, 0.5), percentile(ms, 0.95), percentile(ms, 1.0), total};
}
