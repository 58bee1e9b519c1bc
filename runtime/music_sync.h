// Music start-up: the song loaded and the instrument callbacks
// (state/instrument_hooks.h) registered with the player.
#pragma once

#include "state/instrument_hooks.h"

struct Song;

constexpr const char* SONG_FILE_NAME = "GLIMVEX.oXM";
constexpr int INIT_MUSIC_FAILED = int(0x80004005u);

// Starts the sound system, loads the song into demo.song and registers the
// callbacks; shows the error box and returns INIT_MUSIC_FAILED when the song
// does not load, 0 otherwise.
int initMusic();
