// The show's song clock: the song decoded tick by tick on its own sample
// count instead of a wall clock. A tick's order and instrument triggers reach
// the demo when the clock passes the sample at which the tick starts.
//
// The capture decodes just ahead of its frames: frame k shows song time
// k / fps; before it, every tick that starts at or before sample
// floor(k * 44100 / fps) has been decoded and its triggers have gone through
// the demo's instrument callbacks, in order. The decoded sound is kept for
// the sound track.
//
// The page decodes further ahead, for the sound device's queue, and passes
// the ticks as the device reports the samples it has played.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "music/tick_loop.h"

namespace music {
struct TickLoop;
}

// A decoded tick whose start the clock has not passed yet.
struct PendingTick {
    int64_t start;  // stereo frame at which it starts
    int order;
    bool wrapped;
    int triggerCount;
    int triggers[music::MAX_CHANNELS];
};

struct ShowClock {
    music::TickLoop* loop = nullptr;
    int fps = 60;
    int64_t decoded = 0;         // stereo frames decoded: where the next tick starts
    int order = 0;               // order of the last tick passed
    bool passedEnd = false;      // a passed tick belongs to the song's second pass
    bool silent = false;         // the song has nothing more to play
    std::vector<int16_t> sound;  // decoded sound from soundStart on
    int64_t soundStart = 0;      // stereo frame of sound[0]
    size_t taken = 0;            // stereo frames of sound handed out
    int64_t soundFrom = 0;       // stereo frame where the sound track begins: earlier sound is dropped
    std::deque<PendingTick> pending;  // decoded ticks not passed yet, in order
};

// Loads the song for a show at fps frames a second; false when it does not load.
bool openShowClock(ShowClock& clock, const char* songPath, int fps);
void closeShowClock(ShowClock& clock);

// The stereo frame at which frame k starts: floor(k * 44100 / fps).
int64_t frameSample(const ShowClock& clock, int64_t frame);

// Gets the demo ready for frame k (frames come in order, from 0): decodes and
// calls back the ticks up to its start, then timeSec = k / fps and musicOrder
// = the order of the last decoded tick.
void enterFrame(ShowClock& clock, int64_t frame);

// Decodes ticks until at least `until` stereo frames are decoded (or the song
// has nothing more); their orders and triggers wait for passSample.
void decodeAhead(ShowClock& clock, int64_t until);

// The clock has reached stereo frame `sample`: every decoded tick that starts
// at or before it sets the order and calls back its triggers, in order.
void passSample(ShowClock& clock, int64_t sample);

// The decoded sound not handed out yet, from soundFrom on, up to stereo frame `end`; with
// `complete`, the song is decoded on (without callbacks: no frame follows) or
// padded with silence until it reaches `end`. Valid until the next call.
const int16_t* takeSound(ShowClock& clock, int64_t end, bool complete, size_t& frames);
