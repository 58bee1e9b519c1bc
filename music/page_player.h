// The player for a page: the song decoded ahead on the show clock for a sound
// device that the page feeds, its ticks passed as the device reports the
// samples it has played. Implements the player operations (state/player.h).
#pragma once

#include <cstddef>
#include <cstdint>

// The decoded sound not handed out yet, after decoding on until `until`
// stereo frames of the song are decoded; null with no song.
const int16_t* pageSongTakeSound(int64_t until, size_t& frames);

// The device has played `frames` stereo frames of the song: the ticks that
// start at or before that sample reach the demo (order, triggers). Returns
// the song's time there in milliseconds, the clock the show's frames run on.
double pageSongPlayed(int64_t frames);

// Whether a song is loaded and playing, and whether it has nothing more to play.
bool pageSongPlaying();
bool pageSongSilent();
