// Decoding: the module one tick at a time, with the order position and the
// instrument triggers of each tick. No device, no clock and no threads here;
// the sound output (sound_output.h) and the headless scan both drive it.
#pragma once

#include <cstdint>

namespace music {

constexpr int MIX_RATE = 44100;        // frames per second
constexpr int MIX_CHANNELS = 2;        // interleaved stereo, 16-bit signed
constexpr int MAX_CHANNELS = 64;       // most channels a module can have
constexpr int MAX_INSTRUMENT = 255;    // highest instrument number a pattern can name

// A module being played: the decoder and what each channel remembers.
struct TickLoop;

// What one tick produced.
struct Tick {
    int order;                          // order-list position of this tick, from 0
    double seconds;                     // its duration: 2.5 / BPM for the usual formats
    const int16_t* samples;             // its sound; valid until the next tick
    int frames;                         // stereo frames in samples
    bool wrapped;                       // the song has passed its end and started again
    int triggerCount;                   // notes that started in this tick
    int triggers[MAX_CHANNELS];         // their instruments, numbered from 1
};

// Loads an XM module by file name and gets it ready at the start of the song;
// null when the file is missing, unreadable, not a regular file (a FIFO or a
// device, turned away without waiting), not a complete XM (xm_check.h),
// whatever other format it may be, or not a module that loads.
TickLoop* openTickLoop(const char* path);

// Plays the next tick. False when the module has nothing to play (an order
// list without a valid pattern) and, from then on for good, once a tick comes
// out without sound or with a duration outside 1 ms to 2.5 s; the song
// otherwise never ends but wraps to its restart position.
bool playTick(TickLoop* loop, Tick& tick);

// Releases the module. Accepts null.
void closeTickLoop(TickLoop* loop);

}  // namespace music
