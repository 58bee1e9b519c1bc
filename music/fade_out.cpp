#include "music/fade_out.h"

#include <cmath>
#include <thread>

namespace music {

void applyFadeOut(FadeOut& fade, int16_t* samples, int frames)
{
    if (!fade.requested.load(std::memory_order_acquire)) return;
    // A buffer filled after the ramp had ended is all silence: the ramp's
    // own buffer has gone to the device before this one was asked for.
    bool rampDone = fade.framesLeft == 0;
    for (int f = 0; f < frames; ++f) {
        double gain = double(fade.framesLeft) / FADE_OUT_FRAMES;
        for (int c = 0; c < MIX_CHANNELS; ++c) {
            int16_t& s = samples[f * MIX_CHANNELS + c];
            s = int16_t(std::lround(s * gain));
        }
        if (fade.framesLeft > 0) --fade.framesLeft;
    }
    if (rampDone) fade.silent.store(true, std::memory_order_release);
}

void fadeOutAndWait(FadeOut& fade, std::chrono::milliseconds limit)
{
    fade.requested.store(true, std::memory_order_release);
    auto giveUp = std::chrono::steady_clock::now() + limit;
    while (!fade.silent.load(std::memory_order_acquire) && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace music
