// Music start-up and the two instrument callbacks that drive the beat sync.
#pragma once

struct Song;

constexpr const char* SONG_FILE_NAME = "GLIMVEX.oXM";
constexpr int INIT_MUSIC_FAILED = int(0x80004005u);

// Starts the sound system, loads the song into demo.song and registers the
// callbacks; shows the error box and returns INIT_MUSIC_FAILED when the song
// does not load, 0 otherwise.
int initMusic();

// Instruments 3, 4 and 8: accentPulse = 3.
void onAccentInstrument(Song* song, int instrument);

// Instruments 2 and 5: beatCount + 1, then beatPulse = 3.
void onBeatInstrument(Song* song, int instrument);
