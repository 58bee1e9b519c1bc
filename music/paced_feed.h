// What the sound device is fed: the rendered ticks, paced by the monotonic
// clock rather than by the device. A device may pull faster than real time
// (ALSA's null device takes everything at once) or slower; either way the song
// keeps to the clock, so its order position is the same as with the silent
// pacer. No SDL here: the device callback passes in its clock.
#pragma once

#include "music/sound_output.h"

#include <cstdint>

namespace music {

// A device's feed, made with its renderer and the renderer's user.
struct PacedFeed {
    TickRenderer render;
    void* user;
    const int16_t* pending = nullptr;  // the rest of the last tick not yet handed over
    int pendingFrames = 0;
    bool started = false;              // due is set
    bool finished = false;             // the renderer has nothing more to play
    double due = 0.0;                  // clock time (seconds) at which the next tick starts
    double handedUntil = 0.0;          // clock time up to which the device holds sound from us
};

// True for a tick that moves the song on: some sound, and a duration from one
// frame's time to a minute.
bool isPlayableTick(const TickAudio& audio);

// Fills `frames` stereo frames at `out` for a device pulling at clock time
// `now` in seconds: ticks as they fall due, silence where none is due yet, and
// the sound of ticks already past skipped when the device lags. Once the
// renderer ends or a tick is not playable, only silence. Returns how many
// seconds the device should wait before it pulls again: 0 for a device that
// keeps to the clock, more for one that takes sound faster than real time, so
// that it is held to the clock instead of pulling (and spinning) for ever.
double feedFrames(PacedFeed& feed, int16_t* out, int frames, double now);

// One pull of the device: feedFrames at the clock's time, then the wait it
// asks for on the clock, a little at a time (at most 50 ms a pull) so that
// closing the device, which waits for the pull, stays quick. Both members of
// `clock` are set.
void pullFrames(PacedFeed& feed, int16_t* out, int frames, const OutputClock& clock);

}  // namespace music
