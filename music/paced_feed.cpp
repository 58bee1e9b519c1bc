// The device's feed, kept to the clock: a tick is rendered when it falls due
// (a little early, so that a device pulling in bursts never starves), and
// ticks a slow device left behind are rendered without their sound.
#include "music/paced_feed.h"

#include "music/tick_loop.h"

#include <cstring>

namespace music {

// How far ahead of the clock ticks are rendered: a device takes its buffer a
// few callbacks at a time, and each must find sound waiting.
constexpr double LEAD_SECONDS = 0.1;
// How far a device may lag before the ticks behind the clock are skipped.
constexpr double LAG_SECONDS = 0.1;
// A feed this far behind (the machine was suspended, the process stopped)
// starts afresh from now, as the silent pacer does, instead of decoding the
// whole gap in one callback.
constexpr double GIVE_UP_SECONDS = 0.25;
// How far ahead of the clock a device may hold sound before it is told to
// wait: more than any real device buffers at this program's buffer size.
constexpr double DEVICE_AHEAD_SECONDS = 0.25;
// Longest wait in one pull for a device that pulls faster than real time.
constexpr double LONGEST_DEVICE_WAIT_SECONDS = 0.05;

// At least a frame's time, so that every tick moves the clock schedule on; at
// most a minute, far beyond any tempo.
bool isPlayableTick(const TickAudio& audio)
{
    return audio.frames > 0 && audio.seconds >= 1.0 / MIX_RATE && audio.seconds <= 60.0;
}

// Renders the next tick into pending; false when there is none.
static bool renderNext(PacedFeed& feed)
{
    TickAudio audio;
    if (feed.finished || !feed.render(feed.user, audio) || !isPlayableTick(audio)) {
        feed.finished = true;
        feed.pendingFrames = 0;
        return false;
    }
    feed.pending = audio.samples;
    feed.pendingFrames = audio.frames;
    feed.due += audio.seconds;
    return true;
}

double feedFrames(PacedFeed& feed, int16_t* out, int frames, double now)
{
    if (!feed.started || now - feed.due > GIVE_UP_SECONDS) feed.due = now;
    // A device behind the clock is owed nothing: it is not let run ahead later.
    if (!feed.started || feed.handedUntil < now) feed.handedUntil = now;
    feed.started = true;
    feed.handedUntil += double(frames) / MIX_RATE;
    const double ahead = feed.handedUntil - now - DEVICE_AHEAD_SECONDS;
    while (feed.due < now - LAG_SECONDS && renderNext(feed)) feed.pendingFrames = 0;
    while (frames > 0) {
        if (feed.pendingFrames == 0) {
            if (feed.due > now + LEAD_SECONDS || !renderNext(feed)) break;
            continue;
        }
        int count = feed.pendingFrames < frames ? feed.pendingFrames : frames;
        std::memcpy(out, feed.pending, size_t(count) * MIX_CHANNELS * sizeof(int16_t));
        out += count * MIX_CHANNELS;
        feed.pending += count * MIX_CHANNELS;
        feed.pendingFrames -= count;
        frames -= count;
    }
    std::memset(out, 0, size_t(frames) * MIX_CHANNELS * sizeof(int16_t));
    return ahead > 0.0 ? ahead : 0.0;
}

void pullFrames(PacedFeed& feed, int16_t* out, int frames, const OutputClock& clock)
{
    const double now = clock.now();
    const double wait = feedFrames(feed, out, frames, now);
    if (wait > 0.0) clock.waitUntil(now + (wait < LONGEST_DEVICE_WAIT_SECONDS ? wait : LONGEST_DEVICE_WAIT_SECONDS));
}

}  // namespace music
