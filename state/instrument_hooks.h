// What an instrument trigger does to the demo: the two callbacks that drive
// the beat sync and the table of which instruments call them. The start-up
// registers them with the player (runtime/music_sync.cpp); the music layer's
// own decoders pass their triggers through dispatchTrigger.
#pragma once

struct Song;

// The instrument triggers the show follows, in the order they are registered;
// any other instrument does nothing.
struct InstrumentHook {
    int instrument;  // numbered from 1, as a tracker shows them
    void (*callback)(Song* song, int instrument);
};
constexpr int INSTRUMENT_HOOK_COUNT = 5;
extern const InstrumentHook instrumentHooks[INSTRUMENT_HOOK_COUNT];

// What a trigger of `instrument` does to the demo, as the player would call it
// back: the callback runs with a null song, nothing happens for an instrument
// without one. For drivers that decode the song themselves.
void dispatchTrigger(int instrument);

// Instruments 3, 4 and 8: accentPulse = 3.
void onAccentInstrument(Song* song, int instrument);

// Instruments 2 and 5: beatCount + 1, then beatPulse = 3.
void onBeatInstrument(Song* song, int instrument);
