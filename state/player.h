// The music player: loads a tracker module, plays it, reports its order-list
// position and calls back on instrument triggers. The music layer implements
// these; tests link fakes.
#pragma once

struct Song;

// Called once for every note trigger of the instrument it was registered for,
// possibly on the player's own thread. Gets the song and the instrument number.
using InstrumentCallback = void (*)(Song* song, int instrument);

// Starts the sound system. The result is not tested by the demo.
bool FSOUND_Init(int mixRate, int softwareChannels, unsigned flags);

// Loads a module by file name; null when it cannot be loaded.
Song* FMUSIC_LoadSong(const char* fileName);

// Registers a callback for one instrument (numbered from 1, as a tracker shows them).
bool FMUSIC_SetInstCallback(Song* song, InstrumentCallback callback, int instrument);

// Starts playback; accepts the null song and does nothing then.
bool FMUSIC_PlaySong(Song* song);

// The current order-list position counted from 0; 0 for the null song.
int FMUSIC_GetOrder(Song* song);

// Stops playback and releases the song; no callback runs after it returns.
// Accepts the null song.
bool FMUSIC_FreeSong(Song* song);
