// The benchmark's fixed schedule of the whole show, the same on every run and
// machine, and the figures it reports. The workbench's bench and the page's
// bench both render and summarise with these.
#pragma once

#include <cstddef>
#include <vector>

constexpr int BENCH_ORDER_COUNT = 40;
constexpr int BENCH_FRAMES_PER_ORDER = 10;

// The state the schedule gives frame i of order o (of framesPerOrder):
// timeSec = 4o + 4(i + 0.5)/N, musicOrder = o, beatCount = floor(t / 0.5),
// beatPulse = max(0, 3 - 8 (t mod 0.5)), accentPulse = max(0, 3 - 7 (t mod 2)).
// viewDistance, the logo offsets and their random generator carry over from
// the frames before.
void setScheduledState(int order, int i, int framesPerOrder);

// Start of a run: the demo state zeroed and the logos' random generator seeded
// as every run of the schedule starts.
void startSchedule();

// The value at rank ceil(q * n) of the sorted values (nearest rank); 0 for none.
double percentile(std::vector<double> values, double q);

// Milliseconds of a set of frames.
struct FrameTimes {
    size_t frames;
    double median, p95, max, totalMs;
    double framesPerSecond() const { return totalMs > 0 ? 1000.0 * double(frames) / totalMs : 0.0; }
};
FrameTimes summariseTimes(const std::vector<double>& ms);
