// The sound output: pulls ticks from a renderer and either plays them on the
// sound device (SDL2) or, where there is no real device, paces them in real
// time on a thread of its own and throws the sound away. The only file of the
// music layer that touches SDL or the operating system.
#pragma once

#include <cstdint>

namespace music {

// One rendered tick as the output sees it.
struct TickAudio {
    const int16_t* samples;  // interleaved stereo at MIX_RATE, valid until the next call
    int frames;              // stereo frames in samples
    double seconds;          // how long the tick lasts
};

// Renders the next tick; false when there is nothing more to play, which a
// tick without sound or of no sensible duration (isPlayableTick in
// paced_feed.h) also means. Called on the output's thread (SDL's audio thread
// or the pacer), never two at once.
using TickRenderer = bool (*)(void* user, TickAudio& audio);

struct SoundOutput;

// The clock an output keeps the song to: seconds on a monotonic clock, and a
// wait until a time on it. Left null, they are the steady clock and real
// waits (the silent pacer's cut short by stopSoundOutput); a test passes its
// own to play a whole show's ticks in moments.
struct OutputClock {
    double (*now)() = nullptr;
    void (*waitUntil)(double seconds) = nullptr;
};

// Starts SDL's audio subsystem with the audio libraries' messages kept off the
// screen. Called by FSOUND_Init; startSoundOutput does it by itself as well.
bool initSoundSystem();

// Starts pulling ticks: on the sound device when SDL offers a real one and it
// opens, otherwise on the silent pacer. Either way the ticks keep to the
// clock, however fast the device takes them. Never null.
SoundOutput* startSoundOutput(TickRenderer render, void* user, OutputClock clock = {});

// True when the ticks go to the silent pacer rather than a device.
bool isSilentOutput(const SoundOutput* output);

// Stops the device or the pacer and waits for it: once this returns the
// renderer is not running and will not be called again. A device's sound
// fades out first, over a few milliseconds. Accepts null.
void stopSoundOutput(SoundOutput* output);

}  // namespace music
