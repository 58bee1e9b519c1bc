// Sound synthesis for the song's instruments: every sample of the module is
// computed here, from oscillators, noise and simple filters.
#pragma once

#include <cstdint>
#include <vector>

#include "song/xm_writer.h"

namespace synth {

using Signal = std::vector<double>;

constexpr double PI = 3.14159265358979323846;
constexpr double MIDDLE_C_HZ = 261.6255653005986;  // what note C-4 sounds as
constexpr double TRACKER_C4_RATE = 8363.0;         // rate of C-4 with no transpose

// xorshift32: the same noise on every run and every machine.
struct Noise {
    uint32_t state;
    explicit Noise(uint32_t seed) : state(seed ? seed : 1) {}
    double next();  // uniform in [-1, 1)
};

// One-pole filters; cutoff in Hz at the given sample rate.
struct OnePole {
    double a = 0, y = 0;
    OnePole(double cutoffHz, double rate);
    double lowpass(double x) { y += a * (x - y); return y; }
    double highpass(double x) { return x - lowpass(x); }
};

// Fades the first `samples` values in from zero, so a note struck on the
// sample starts without a step.
void fadeIn(Signal& x, int samples);

// Scales the signal so its largest magnitude is `peak` (0..1 of full scale)
// and converts it to 16-bit values, or 8-bit ones when sixteenBit is false.
std::vector<int16_t> quantise(const Signal& x, double peak, bool sixteenBit);

// Sets relative note and finetune so that note C-4 plays the sample at
// `rateAtC4` samples per second.
void tune(xm::Sample& s, double rateAtC4);

// A pitched tone built from whole harmonics of a period of `period` samples,
// so note C-4 plays it at middle C when tuned to MIDDLE_C_HZ * period.
// Each voice runs a whole number of cycles over the loop, which makes the
// loop seamless while the voices beat against each other (detune).
struct Voice {
    int cyclesPerLoop;  // loopCycles for the centre voice, a few more or less to detune
    double gain;
    bool oddOnly;       // square-like instead of saw-like
};

struct ToneDesign {
    int period = 64;          // samples per cycle of the centre voice
    int loopCycles = 1;       // loop length in centre-voice cycles
    int attackCycles = 0;     // cycles before the loop, where the brightness moves
    int harmonics = 16;       // highest harmonic kept
    double brightStart = 8;   // lowpass corner, in harmonics, at the start of the attack
    double brightEnd = 8;     // the loop's corner, which any wobble moves around
    double brightTime = 10;   // time constant of the corner's move, in cycles
    double subOctave = 0;     // a sine an octave below; needs an even loopCycles
    // The corner's slow movement over the loop: wobbleCycles rises and falls
    // (a whole number, so the loop stays seamless), by wobbleDepth of it.
    int wobbleCycles = 0;
    double wobbleDepth = 0;
    std::vector<Voice> voices;
};

// The tone as a looped sample, tuned so note C-4 sounds middle C. Its head
// fades in over HEAD_RAMP_SECONDS at C-4 (a saw or square starting at phase 0
// leaps at once), so the attack must hold that long.
constexpr double HEAD_RAMP_SECONDS = 0.0015;
xm::Sample tone(const ToneDesign& design, const char* name);

}  // namespace synth
