// Instrument design. Drums and effects are one-shot samples rendered in the
// time domain at their own rates; the melodic instruments are looped tones
// from synth::tone shaped by volume envelopes. Pitched one-shots (stab, hit)
// are rendered so that note C-4 plays them at middle C.
#include "song/instruments.h"

#include <cmath>

#include "song/synth.h"

namespace song {
namespace {

using synth::Noise;
using synth::OnePole;
using synth::PI;
using synth::Signal;

// Drums, cymbals and the riser are rendered at the mixing rate and played at
// it: no interpolation corners, no images above the sample's own band.
constexpr double DRUM_RATE = 44100;
constexpr double PITCHED_PERIOD = 64;                                  // samples per cycle at C-4
constexpr double PITCHED_RATE = synth::MIDDLE_C_HZ * PITCHED_PERIOD;  // rate of pitched one-shots at C-4
constexpr double SAMPLE_PEAK = 0.95;

int samplesFor(double seconds, double rate) { return int(seconds * rate); }

constexpr double HEAD_RAMP = 0.001;  // seconds a one-shot takes to rise from zero

// A one-shot sample; its first millisecond fades in from zero, so a sample
// whose sound starts at full swing (noise, a phase that is not zero) does not
// click where a note strikes it.
xm::Sample oneShot(Signal x, const char* name, double rate, bool sixteenBit = true)
{
    synth::fadeIn(x, samplesFor(HEAD_RAMP, rate));
    xm::Sample s;
    s.name = name;
    s.sixteenBit = sixteenBit;
    s.data = synth::quantise(x, SAMPLE_PEAK, sixteenBit);
    synth::tune(s, rate);
    return s;
}

// A short fade at the very end so no one-shot stops with a click.
void fadeTail(Signal& x, double rate, double seconds = 0.01)
{
    int n = std::min<int>(int(x.size()), samplesFor(seconds, rate));
    for (int i = 0; i < n; ++i) x[x.size() - 1 - i] *= double(i) / n;
}

// A falling sine with a click on top, softly saturated. The body settles on
// A1, the key's root, and dies away quickly so the low end stays tight.
xm::Sample kick()
{
    const double rate = DRUM_RATE;
    Signal x(size_t(samplesFor(0.3, rate)));
    Noise noise(0x4b1c);
    OnePole clickTone(3000, rate);
    double phase = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        double t = i / rate;
        double freq = 55 + 120 * std::exp(-t / 0.032) + 260 * std::exp(-t / 0.0045);
        phase += 2 * PI * freq / rate;
        double body = std::sin(phase) * std::exp(-t / 0.135) * std::min(1.0, t / 0.0008);
        double click = clickTone.lowpass(noise.next()) * std::exp(-t / 0.003) * 1.6;
        x[i] = std::tanh(1.6 * (body + click));
    }
    fadeTail(x, rate);
    return oneShot(x, "kick", rate);
}

// A short tone pair under band-limited noise.
xm::Sample snare()
{
    const double rate = DRUM_RATE;
    Signal x(size_t(samplesFor(0.34, rate)));
    Noise noise(0x5a4e);
    OnePole low1(4000, rate), low2(4000, rate), high(700, rate);
    for (size_t i = 0; i < x.size(); ++i) {
        double t = i / rate;
        double body = (std::sin(2 * PI * 170 * t) + 0.5 * std::sin(2 * PI * 309 * t)) * std::exp(-t / 0.055);
        double n = high.highpass(low2.lowpass(low1.lowpass(noise.next())));
        double rattle = n * (0.9 * std::exp(-t / 0.09) + 0.25 * std::exp(-t / 0.02));
        // Negative: the body's first swings then run against the kick's, so
        // the two struck together on the backbeat do not pile up into the
        // mix's highest peaks.
        x[i] = -std::tanh(2.2 * (0.45 * body + 1.4 * rattle));
    }
    fadeTail(x, rate);
    return oneShot(x, "snare", rate);
}

// Six detuned square waves (a metallic cluster) plus noise, band-passed:
// high-passed so the cymbals leave the low end alone, low-passed so their
// top stays soft rather than fizzy.
Signal metal(double seconds, double decay, uint32_t seed, double noiseMix)
{
    const double rate = DRUM_RATE;
    static const double partials[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    constexpr double METAL_SCALE = 3.2;  // lifts the cluster into the cymbal range
    Signal x(size_t(samplesFor(seconds, rate)));
    Noise noise(seed);
    OnePole high1(3500, rate), high2(3500, rate), low1(7000, rate), low2(7000, rate);
    for (size_t i = 0; i < x.size(); ++i) {
        double t = i / rate;
        double sq = 0;
        for (double p : partials) sq += std::sin(2 * PI * p * METAL_SCALE * t) > 0 ? 1.0 : -1.0;
        double v = (1 - noiseMix) * sq / 6 + noiseMix * noise.next();
        v = low2.lowpass(low1.lowpass(high2.highpass(high1.highpass(v))));
        x[i] = v * std::exp(-t / decay) * std::min(1.0, t / 0.0005);
    }
    fadeTail(x, rate, 0.02);
    return x;
}

xm::Sample closedHat() { return oneShot(metal(0.14, 0.035, 0x4a7, 0.6), "hat", DRUM_RATE); }
xm::Sample openHat() { return oneShot(metal(0.42, 0.13, 0x0a7, 0.55), "open hat", DRUM_RATE, false); }

xm::Sample crash()
{
    const double rate = DRUM_RATE;
    Signal a = metal(1.5, 0.5, 0xc4a5, 0.75);
    Signal b = metal(1.5, 0.09, 0x1234, 0.3);  // the bright strike
    for (size_t i = 0; i < a.size(); ++i) a[i] += 0.8 * b[i];
    return oneShot(a, "crash", rate, false);
}

// Detuned saws at root, fifth and octave with a closing lowpass: a chord
// stab of no fixed quality, so it fits major and minor alike.
Signal powerChord(double seconds, double decay, double closeTime, uint32_t seed)
{
    const double rate = PITCHED_RATE;
    const double root = synth::MIDDLE_C_HZ;
    static const double ratios[] = {1.0, 1.003, 0.997, 1.5, 1.5045, 2.0, 2.006};
    constexpr int HARMONICS = 24;
    Signal x(size_t(samplesFor(seconds, rate)));
    Noise noise(seed);
    double phases[7];
    for (double& p : phases) p = (noise.next() + 1) * PI;  // free-running oscillators
    for (size_t i = 0; i < x.size(); ++i) {
        double t = i / rate;
        double corner = 3 + 20 * std::exp(-t / closeTime);  // in harmonics
        double v = 0;
        for (int k = 0; k < 7; ++k) {
            double f = root * ratios[k];
            double ph = phases[k] + 2 * PI * f * t;
            for (int h = 1; h <= HARMONICS && h * f < rate * 0.3; ++h) {
                double r = h / corner;
                v += std::sin(h * ph) / h / std::sqrt(1 + r * r * r * r);
            }
        }
        x[i] = v * std::exp(-t / decay) * std::min(1.0, t / 0.002);
    }
    fadeTail(x, rate);
    return x;
}

xm::Sample stab() { return oneShot(powerChord(0.45, 0.13, 0.08, 0x57ab), "stab", PITCHED_RATE); }

// The big hit: a power chord, a noise burst and a low thump an octave down.
xm::Sample hit()
{
    const double rate = PITCHED_RATE;
    Signal x = powerChord(1.1, 0.35, 0.25, 0x4177);
    Noise noise(0x7e57);
    OnePole body(2500, rate);
    for (size_t i = 0; i < x.size(); ++i) {
        double t = i / rate;
        double burst = body.lowpass(noise.next()) * std::exp(-t / 0.05) * 3.0;
        double thump = std::sin(2 * PI * synth::MIDDLE_C_HZ / 2 * t) * std::exp(-t / 0.3) * 1.2;
        x[i] = std::tanh(0.5 * (x[i] + burst + thump));
    }
    fadeTail(x, rate);
    return oneShot(x, "hit", rate);
}

// Band-passed noise on a loop; the patterns slide its pitch up for builds.
xm::Sample riser()
{
    const double rate = DRUM_RATE;
    Signal x(size_t(samplesFor(0.5, rate)));
    Noise noise(0x21e5);
    OnePole low(3000, rate), high(600, rate);
    for (double& v : x) v = high.highpass(low.lowpass(noise.next()));
    // Crossfade the end into the start so the loop does not click.
    const int fade = samplesFor(0.05, rate);
    for (int i = 0; i < fade; ++i) {
        double w = double(i) / fade;
        x[x.size() - fade + i] = x[x.size() - fade + i] * (1 - w) + x[i] * w;
    }
    xm::Sample s = oneShot(x, "riser", rate);
    s.loop = xm::Loop::Forward;
    s.loopStart = uint32_t(fade);
    s.loopLength = uint32_t(x.size()) - fade;
    return s;
}

xm::Instrument instrument(const char* name, xm::Sample sample, uint8_t volume, uint8_t panning)
{
    xm::Instrument ins;
    ins.name = name;
    sample.volume = volume;
    sample.panning = panning;
    ins.samples.push_back(std::move(sample));
    return ins;
}

// Volume envelope from (tick, value) points; sustain is a point index or -1.
xm::Envelope envelope(std::vector<xm::EnvelopePoint> points, int sustain)
{
    xm::Envelope e;
    e.enabled = true;
    e.points = std::move(points);
    e.sustain = sustain;
    return e;
}

xm::Instrument bass()
{
    synth::ToneDesign design;
    design.period = 256;
    design.loopCycles = 32;
    design.attackCycles = 24;
    design.harmonics = 80;
    design.brightStart = 5;
    design.brightEnd = 2;
    design.brightTime = 6;
    design.subOctave = 0.6;  // the floor under the kick
    // Its top opens and closes once a loop, a few times a second.
    design.wobbleCycles = 1;
    design.wobbleDepth = 0.35;
    design.voices = {{32, 1.0, false}};
    xm::Instrument ins = instrument("bass", synth::tone(design, "bass"), 64, 128);
    ins.volumeEnvelope = envelope({{0, 64}, {6, 52}, {24, 46}, {30, 0}}, 2);
    ins.fadeout = 0x800;
    return ins;
}

xm::Instrument lead()
{
    synth::ToneDesign design;
    design.period = 64;
    design.loopCycles = 120;
    design.attackCycles = 2;
    design.harmonics = 10;
    design.brightStart = design.brightEnd = 3.5;
    // One light detuned voice: more body for the same peak than a thick unison.
    design.voices = {{120, 1.0, false}, {121, 0.25, false}};
    xm::Instrument ins = instrument("lead", synth::tone(design, "lead"), 64, 128);
    ins.volumeEnvelope = envelope({{0, 0}, {2, 64}, {12, 44}, {36, 30}, {48, 0}}, 3);
    ins.fadeout = 0x600;
    return ins;
}

xm::Instrument pad()
{
    synth::ToneDesign design;
    design.period = 64;
    design.loopCycles = 160;
    design.attackCycles = 2;
    design.harmonics = 16;
    design.brightStart = design.brightEnd = 3.5;
    // Detuned voices kept light, so the chorus shimmers without swelling and
    // fading on its own.
    design.voices = {{159, 0.35, false}, {160, 1.0, false}, {162, 0.35, false}, {160, 0.3, true}};
    design.wobbleCycles = 1;
    design.wobbleDepth = 0.2;
    xm::Instrument ins = instrument("pad", synth::tone(design, "pad"), 64, 128);
    ins.volumeEnvelope = envelope({{0, 0}, {30, 50}, {70, 64}, {150, 0}}, 2);
    ins.fadeout = 0x200;
    return ins;
}

xm::Instrument arp()
{
    synth::ToneDesign design;
    design.period = 64;
    design.loopCycles = 16;
    design.attackCycles = 60;
    design.harmonics = 11;
    design.brightStart = 8;
    design.brightEnd = 2;
    design.brightTime = 14;
    design.wobbleCycles = 1;
    design.wobbleDepth = 0.3;
    // A square with a little saw an octave up.
    design.voices = {{16, 1.0, true}, {32, 0.2, false}};
    xm::Instrument ins = instrument("arp", synth::tone(design, "arp"), 64, 88);
    ins.volumeEnvelope = envelope({{0, 64}, {6, 34}, {20, 14}, {50, 0}}, -1);
    return ins;
}

// A hollow, square-like lead with a slower attack, for the verses.
xm::Instrument softLead()
{
    synth::ToneDesign design;
    design.period = 64;
    design.loopCycles = 120;
    design.attackCycles = 4;
    design.harmonics = 9;
    design.brightStart = 5;
    design.brightEnd = 3;
    design.brightTime = 3;
    design.voices = {{120, 1.0, true}, {121, 0.3, true}};
    xm::Instrument ins = instrument("soft lead", synth::tone(design, "soft lead"), 64, 128);
    ins.volumeEnvelope = envelope({{0, 0}, {3, 64}, {14, 50}, {40, 38}, {52, 0}}, 3);
    ins.fadeout = 0x500;
    return ins;
}

// A bell: a nearly pure tone with a partial at 2.76 times its pitch, struck
// and dying away.
xm::Instrument bell()
{
    synth::ToneDesign design;
    design.period = 64;
    design.loopCycles = 50;
    design.attackCycles = 2;
    design.harmonics = 3;
    design.brightStart = 2;
    design.brightEnd = 1.2;
    design.brightTime = 2;
    design.voices = {{50, 1.0, false}, {138, 0.3, false}, {100, 0.25, false}};
    xm::Instrument ins = instrument("bell", synth::tone(design, "bell"), 64, 128);
    ins.volumeEnvelope = envelope({{0, 64}, {4, 44}, {16, 20}, {48, 0}}, -1);
    return ins;
}

}  // namespace

std::vector<xm::Instrument> makeInstruments()
{
    std::vector<xm::Instrument> all(INSTRUMENT_COUNT);
    all[INS_BASS - 1] = bass();
    all[INS_KICK - 1] = instrument("kick", kick(), 64, 128);
    all[INS_CRASH - 1] = instrument("crash", crash(), 64, 100);
    all[INS_STAB - 1] = instrument("stab", stab(), 64, 110);
    all[INS_SNARE - 1] = instrument("snare", snare(), 64, 128);
    all[INS_HAT - 1] = instrument("hat", closedHat(), 64, 188);
    all[INS_LEAD - 1] = lead();
    all[INS_HIT - 1] = instrument("hit", hit(), 64, 128);
    all[INS_PAD - 1] = pad();
    all[INS_ARP - 1] = arp();
    all[INS_OPEN_HAT - 1] = instrument("open hat", openHat(), 64, 100);
    all[INS_RISER - 1] = instrument("riser", riser(), 64, 160);
    all[INS_SOFT_LEAD - 1] = softLead();
    all[INS_BELL - 1] = bell();
    return all;
}

}  // namespace song
