// The fade to silence when the song is freed: the sound device's last
// buffers ramp down over a few milliseconds instead of stopping mid-wave,
// which the speaker would play as a click.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "music/tick_loop.h"

namespace music {

constexpr int FADE_OUT_FRAMES = MIX_RATE / 200;  // 5 ms

struct FadeOut {
    std::atomic<bool> requested{false};
    std::atomic<bool> silent{false};     // a whole buffer of silence has followed the ramp
    int framesLeft = FADE_OUT_FRAMES;    // of the ramp; touched only by the audio thread
};

// On the audio thread, after a buffer of interleaved stereo frames has been
// filled: once the fade is requested, ramps the sound down to nothing and
// silences everything after it. Leaves the buffer alone until then.
void applyFadeOut(FadeOut& fade, int16_t* samples, int frames);

// Asks for the fade and waits until the audio thread has played it out, or
// until `limit` has passed (a device that stopped pulling buffers).
void fadeOutAndWait(FadeOut& fade, std::chrono::milliseconds limit);

}  // namespace music
