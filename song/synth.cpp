#include "song/synth.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace synth {

double Noise::next()
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return double(state) / 2147483648.0 - 1.0;
}

OnePole::OnePole(double cutoffHz, double rate) : a(1.0 - std::exp(-2.0 * PI * cutoffHz / rate)) {}

void fadeIn(Signal& x, int samples)
{
    samples = std::min(samples, int(x.size()));
    for (int i = 0; i < samples; ++i) x[size_t(i)] *= double(i) / samples;
}

std::vector<int16_t> quantise(const Signal& x, double peak, bool sixteenBit)
{
    double largest = 0;
    for (double v : x) largest = std::max(largest, std::fabs(v));
    double fullScale = sixteenBit ? 32767.0 : 127.0;
    double scale = largest > 0 ? peak * fullScale / largest : 0;
    std::vector<int16_t> out;
    out.reserve(x.size());
    for (double v : x) out.push_back(int16_t(std::lround(v * scale)));
    return out;
}

void tune(xm::Sample& s, double rateAtC4)
{
    double semitones = 12.0 * std::log2(rateAtC4 / TRACKER_C4_RATE);
    int whole = int(std::lround(semitones));
    int fine = int(std::lround((semitones - whole) * 128.0));
    s.relativeNote = int8_t(whole);
    s.finetune = int8_t(std::clamp(fine, -128, 127));
}

xm::Sample tone(const ToneDesign& design, const char* name)
{
    const int loopLength = design.period * design.loopCycles;
    const int attackLength = design.period * design.attackCycles;
    if (design.subOctave != 0 && design.loopCycles % 2 != 0) throw std::logic_error("a sub-octave needs whole cycles in the loop");
    // Harmonic gains at one moment: a saw or square spectrum through a
    // gentle two-pole lowpass whose corner moves from bright to dark.
    auto gainAt = [&](int h, double corner, bool oddOnly) {
        if (oddOnly && h % 2 == 0) return 0.0;
        double r = h / corner;
        return 1.0 / h / std::sqrt(1.0 + r * r * r * r);
    };
    // The corner at a position of the loop: still, or wobbling around brightEnd.
    auto loopCornerAt = [&](int n) {
        double phase = std::fmod(double(n) * design.wobbleCycles / loopLength, 1.0);
        return design.brightEnd * (1.0 + design.wobbleDepth * std::sin(2.0 * PI * phase));
    };
    // The tone `n` samples after a point where every voice is at phase 0.
    auto valueAt = [&](int n, double corner) {
        double v = 0;
        for (const Voice& voice : design.voices) {
            double cyclesPerSample = double(voice.cyclesPerLoop) / loopLength;
            double phase = 2.0 * PI * std::fmod(cyclesPerSample * n, 1.0);
            for (int h = 1; h <= design.harmonics; ++h) {
                double g = gainAt(h, corner, voice.oddOnly);
                if (g != 0) v += voice.gain * g * std::sin(h * phase);
            }
        }
        if (design.subOctave != 0)
            v += design.subOctave * std::sin(2.0 * PI * std::fmod(double(n) / (2.0 * design.period), 1.0));
        return v;
    };
    // The loop's seam goes where the wave is flattest: a player that slips a
    // sample where a wrap meets a tick boundary (libxmp's mixer does: a
    // one-cycle loop clicked there) then barely moves the output.
    int seam = 0;
    double flattest = 1e300;
    for (int n = 0; n < loopLength; ++n) {
        double corner = loopCornerAt(n);
        double slope = std::fabs(valueAt(n + 1, corner) - valueAt(n - 1 + loopLength, corner));
        if (slope < flattest) {
            flattest = slope;
            seam = n;
        }
    }
    // The attack's corner moves from brightStart to where the loop begins.
    const double loopStartCorner = loopCornerAt(seam);
    auto cornerAt = [&](double cycle) {
        return loopStartCorner + (design.brightStart - loopStartCorner) * std::exp(-cycle / design.brightTime);
    };
    Signal x(size_t(attackLength + loopLength));
    for (int n = 0; n < int(x.size()); ++n) {
        int at = n - attackLength + seam;
        double corner = n < attackLength ? cornerAt(double(n) / design.period) : loopCornerAt(((at % loopLength) + loopLength) % loopLength);
        x[size_t(n)] = valueAt(at, corner);
    }
    const int ramp = int(std::lround(HEAD_RAMP_SECONDS * MIDDLE_C_HZ * design.period));
    if (ramp > attackLength) throw std::logic_error(std::string("the head ramp reaches into the loop: ") + name);
    fadeIn(x, ramp);
    xm::Sample s;
    s.name = name;
    s.data = quantise(x, 0.95, true);
    s.loop = xm::Loop::Forward;
    s.loopStart = uint32_t(attackLength);
    s.loopLength = uint32_t(loopLength);
    tune(s, MIDDLE_C_HZ * design.period);
    return s;
}

}  // namespace synth
