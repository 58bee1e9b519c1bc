// murl13-fuzz-seeds: writes the fuzz target's seed corpus into a folder: small
// modules made with the project's XM writer, each using a different part of the
// format, and a short excerpt of the soundtrack with its real instruments.
#include "song/compose.h"
#include "song/xm_writer.h"

#include <cstdio>
#include <string>

namespace {

xm::Sample squareSample(bool sixteenBit, xm::Loop loop)
{
    xm::Sample sample;
    sample.sixteenBit = sixteenBit;
    for (int i = 0; i < 64; i++) sample.data.push_back(int16_t((i < 32 ? 90 : -90) * (sixteenBit ? 256 : 1)));
    sample.loop = loop;
    sample.loopStart = 16;
    sample.loopLength = 32;
    return sample;
}

// Two orders on `channels` channels, a note on each row of channel 0.
xm::Module baseModule(int channels)
{
    xm::Module module;
    module.channels = channels;
    module.orders = {0, 1};
    module.patterns = {xm::Pattern(16, channels), xm::Pattern(8, channels)};
    for (xm::Pattern& pattern : module.patterns)
        for (int row = 0; row < pattern.rows; row++) pattern.at(row, 0) = {uint8_t(xm::NOTE_C4 + row % 12), 1};
    module.instruments.resize(2);
    module.instruments[0].samples = {squareSample(false, xm::Loop::Forward)};
    module.instruments[1].samples = {squareSample(true, xm::Loop::PingPong), squareSample(false, xm::Loop::None)};
    module.instruments[1].keymap.fill(1);
    return module;
}

// The effects the song and the trigger detector care about.
xm::Module effectsModule()
{
    xm::Module module = baseModule(4);
    xm::Pattern& p = module.patterns[0];
    p.at(1, 1) = {xm::NOTE_C4, 2, 0, xm::FX_EXTENDED, 0xd3};        // note delay
    p.at(2, 1) = {xm::NOTE_C4 + 7, 0, 0, xm::FX_TONE_PORTA, 0x20};  // slide, no trigger
    p.at(3, 2) = {xm::NOTE_KEY_OFF, 0, 0, 0, 0};
    p.at(4, 2) = {xm::NOTE_C4, 2, 0xf4, xm::FX_VOLUME_SLIDE, 0x0f}; // volume column tone portamento
    p.at(5, 3) = {0, 0, xm::VOLUME_SET + 32, xm::FX_SPEED, 0x03};
    p.at(6, 3) = {0, 0, 0, xm::FX_SPEED, 0xa0};                      // BPM 160
    p.at(7, 3) = {0, 0, 0, xm::FX_EXTENDED, 0xe2};                   // pattern delay
    p.at(8, 3) = {0, 0, 0, xm::FX_EXTENDED, 0x62};                   // pattern loop
    p.at(12, 3) = {0, 0, 0, xm::FX_JUMP, 0x01};
    module.patterns[1].at(4, 3) = {0, 0, 0, xm::FX_BREAK, 0x02};
    module.restart = 1;
    return module;
}

xm::Module envelopeModule()
{
    xm::Module module = baseModule(2);
    xm::Instrument& instrument = module.instruments[0];
    instrument.volumeEnvelope.enabled = true;
    instrument.volumeEnvelope.points = {{0, 0}, {4, 64}, {10, 40}, {30, 0}};
    instrument.volumeEnvelope.sustain = 2;
    instrument.volumeEnvelope.loopStart = 1;
    instrument.volumeEnvelope.loopEnd = 2;
    instrument.fadeout = 2000;
    module.patterns[0].at(6, 0) = {xm::NOTE_KEY_OFF, 0};
    module.linearFrequencies = false;
    return module;
}

// The first two orders of the soundtrack, its samples cut short.
xm::Module soundtrackExcerpt()
{
    xm::Module module = song::composeSong();
    module.patterns = {module.patterns.at(module.orders.at(0)), module.patterns.at(module.orders.at(1))};
    module.orders = {0, 1};
    module.restart = 0;
    for (xm::Instrument& instrument : module.instruments)
        for (xm::Sample& sample : instrument.samples) {
            if (sample.data.size() > 256) sample.data.resize(256);
            sample.loop = xm::Loop::None;
            sample.loopStart = sample.loopLength = 0;
        }
    return module;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const std::pair<const char*, xm::Module> seeds[] = {
        {"one-channel.xm", baseModule(1)},
        {"effects.xm", effectsModule()},
        {"envelopes.xm", envelopeModule()},
        {"soundtrack-excerpt.xm", soundtrackExcerpt()},
    };
    for (const auto& [name, module] : seeds) {
        if (!xm::saveModule(module, folder + "/" + name)) {
            std::fprintf(stderr, "%s: cannot write %s/%s\n", argv[0], folder.c_str(), name);
            return 1;
        }
    }
    return 0;
}
