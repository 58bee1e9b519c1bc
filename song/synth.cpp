#include "song/synth.h"

#include <algorithm>
#include <cmath>

namespace synth {

double Noise::next()
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return double(state) / 2147483648.0 - 1.0;
}

OnePole::OnePole(double cutoffHz, double rate) : a(1.0 - std::exp(-2.0 * PI * cutoffHz / rate)) {}

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
    Signal x(size_t(attackLength + loopLength));
    // Harmonic gains at one moment: a saw or square spectrum through a
    // gentle two-pole lowpass whose corner moves from bright to dark.
    auto gainAt = [&](int h, double corner, bool oddOnly) {
        if (oddOnly && h % 2 == 0) return 0.0;
        double r = h / corner;
        return 1.0 / h / std::sqrt(1.0 + r * r * r * r);
    };
    for (int n = 0; n < int(x.size()); ++n) {
        // Time in centre-voice cycles; the loop (n >= attackLength) is static.
        double cycle = std::min(n, attackLength) / double(design.period);
        double corner = design.brightEnd +
            (design.brightStart - design.brightEnd) * std::exp(-cycle / design.brightTime);
        if (n >= attackLength) corner = design.brightEnd +
            (design.brightStart - design.brightEnd) * std::exp(-design.attackCycles / design.brightTime);
        double v = 0;
        int fromLoop = n - attackLength;  // phases are measured from the loop start
        for (const Voice& voice : design.voices) {
            double cyclesPerSample = double(voice.cyclesPerLoop) / loopLength;
            double phase = 2.0 * PI * std::fmod(cyclesPerSample * fromLoop, 1.0);
            for (int h = 1; h <= design.harmonics; ++h) {
                double g = gainAt(h, corner, voice.oddOnly);
                if (g != 0) v += voice.gain * g * std::sin(h * phase);
            }
        }
        if (design.subGain != 0)
            v += design.subGain * std::sin(2.0 * PI * std::fmod(double(fromLoop) / design.period, 1.0));
        x[size_t(n)] = v;
    }
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
