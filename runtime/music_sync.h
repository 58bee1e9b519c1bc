// Music start-up and the two instrument callbacks that drive the beat sync.
#pragma once

struct Song;

constexpr const char* SONG_FILE_NAME = "GLIMVEX.oXM";
constexpr int INIT_MUSIC_FAILED = int(0x80004005u);

// Starts the sound system, loads the song into demo.song and registers the
// callbacks; shows the error box and returns INIT_MUSIC_FAILED when the song
// does not load, 0 otherwise.
int initMusic();

// The instrument triggers the show follows, in the order initMusic registers
// them; any other instrument does nothing.
struct InstrumentHook {
    int instrument;  // numbered from 1, as a tracker shows them
    void (*callback)(Song* song, int instrument);
};
constexpr int INSTRUMENT_HOOK_COUNT = 5;
extern const InstrumentHook instrumentHooks[INSTRUMENT_HOOK_COUNT];

// What a trigger of `instrument` does to the demo, as the player would call it
// back after initMusic: the callback runs with a null song, nothing happens
// for an instrument without one. For drivers that decode the song themselves.
void dispatchTrigger(int instrument);

// Instruments 3, 4 and 8: accentPulse = 3.
void onAccentInstrument(Song* song, int instrument);

// Instruments 2 and 5: beatCount + 1, then beatPulse = 3.
void onBeatInstrument(Song* song, int instrument);
