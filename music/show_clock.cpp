// The song as the capture and the page hear it: decoded a tick at a time
// ahead of the frames, its ticks passed on the song's own sample count.
#include "music/show_clock.h"

#include <algorithm>

#include "state/instrument_hooks.h"
#include "state/demo_state.h"

namespace {

// One more tick: its sound now, its order and triggers once it is passed.
void decodeTick(ShowClock& clock)
{
    music::Tick tick;
    if (clock.silent || !music::playTick(clock.loop, tick)) {
        clock.silent = true;
        return;
    }
    clock.sound.insert(clock.sound.end(), tick.samples, tick.samples + size_t(tick.frames) * music::MIX_CHANNELS);
    PendingTick pending{clock.decoded, tick.order, tick.wrapped, tick.triggerCount, {}};
    std::copy(tick.triggers, tick.triggers + tick.triggerCount, pending.triggers);
    clock.pending.push_back(pending);
    clock.decoded += tick.frames;
}

// Passes the decoded ticks that start at or before `sample`; with callBack,
// their triggers go through the demo's instrument callbacks.
void passTicks(ShowClock& clock, int64_t sample, bool callBack)
{
    while (!clock.pending.empty() && clock.pending.front().start <= sample) {
        const PendingTick& tick = clock.pending.front();
        clock.order = tick.order;
        clock.passedEnd = clock.passedEnd || tick.wrapped;
        if (callBack)
            for (int i = 0; i < tick.triggerCount; ++i) dispatchTrigger(tick.triggers[i]);
        clock.pending.pop_front();
    }
}

}  // namespace

bool openShowClock(ShowClock& clock, const char* songPath, int fps)
{
    clock = ShowClock{};
    clock.fps = fps;
    clock.loop = music::openTickLoop(songPath);
    return clock.loop != nullptr;
}

void closeShowClock(ShowClock& clock)
{
    music::closeTickLoop(clock.loop);
    clock.loop = nullptr;
}

int64_t frameSample(const ShowClock& clock, int64_t frame) { return frame * music::MIX_RATE / clock.fps; }

void enterFrame(ShowClock& clock, int64_t frame)
{
    const int64_t start = frameSample(clock, frame);
    while (!clock.silent && clock.decoded <= start) decodeTick(clock);
    passTicks(clock, start, true);
    demo.timeSec = double(frame) / double(clock.fps);
    demo.musicOrder = clock.order;
}

void decodeAhead(ShowClock& clock, int64_t until)
{
    while (!clock.silent && clock.decoded < until) decodeTick(clock);
}

void passSample(ShowClock& clock, int64_t sample) { passTicks(clock, sample, true); }

const int16_t* takeSound(ShowClock& clock, int64_t end, bool complete, size_t& frames)
{
    clock.sound.erase(clock.sound.begin(), clock.sound.begin() + ptrdiff_t(clock.taken * music::MIX_CHANNELS));
    clock.soundStart += int64_t(clock.taken);
    clock.taken = 0;
    if (complete) {
        while (!clock.silent && clock.decoded < end) decodeTick(clock);
        passTicks(clock, clock.decoded, false);
        if (clock.decoded < end) {
            clock.sound.resize(clock.sound.size() + size_t(end - clock.decoded) * music::MIX_CHANNELS, 0);
            clock.decoded = end;
        }
    }
    if (clock.soundStart < clock.soundFrom) {
        const int64_t drop = std::min(clock.soundFrom - clock.soundStart, int64_t(clock.sound.size() / music::MIX_CHANNELS));
        clock.sound.erase(clock.sound.begin(), clock.sound.begin() + ptrdiff_t(drop * music::MIX_CHANNELS));
        clock.soundStart += drop;
    }
    const int64_t available = int64_t(clock.sound.size() / music::MIX_CHANNELS);
    const int64_t wanted = end - clock.soundStart;
    frames = size_t(wanted < 0 ? 0 : wanted < available ? wanted : available);
    clock.taken = frames;
    return clock.sound.data();
}
