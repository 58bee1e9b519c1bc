// The capture's clock: the song decoded tick by tick just ahead of the
// frames, on the song's own sample count instead of a wall clock. Frame k
// shows song time k / fps; before it, every tick that starts at or before
// sample floor(k * 44100 / fps) has been decoded and its triggers have gone
// through the demo's instrument callbacks, in order. The decoded sound is kept
// for the sound track.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace music {
struct TickLoop;
}

struct ShowClock {
    music::TickLoop* loop = nullptr;
    int fps = 60;
    int64_t decoded = 0;         // stereo frames decoded: where the next tick starts
    int order = 0;               // order of the last decoded tick
    bool passedEnd = false;      // a decoded tick belongs to the song's second pass
    bool silent = false;         // the song has nothing more to play
    std::vector<int16_t> sound;  // decoded sound from soundStart on
    int64_t soundStart = 0;      // stereo frame of sound[0]
    size_t taken = 0;            // stereo frames of sound handed out
    int64_t soundFrom = 0;       // stereo frame where the sound track begins: earlier sound is dropped
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

// The decoded sound not handed out yet, from soundFrom on, up to stereo frame `end`; with
// `complete`, the song is decoded on (without callbacks: no frame follows) or
// padded with silence until it reaches `end`. Valid until the next call.
const int16_t* takeSound(ShowClock& clock, int64_t end, bool complete, size_t& frames);
