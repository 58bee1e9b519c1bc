// The music start-up and the instrument callbacks. The callbacks run on the
// player's thread: they only store into the three atomic fields.
#include "runtime/music_sync.h"

#include "state/console_host.h"
#include "state/demo_state.h"
#include "state/player.h"

constexpr float PULSE_FULL = 3.0f;

void onAccentInstrument(Song*, int) { relaxedStore(demo.accentPulse, PULSE_FULL); }

void onBeatInstrument(Song*, int)
{
    // The player's thread is the only writer of beatCount.
    relaxedStore(demo.beatCount, relaxedLoad(demo.beatCount) + 1);
    relaxedStore(demo.beatPulse, PULSE_FULL);
}

int initMusic()
{
    FSOUND_Init(44100, 64, 0);
    demo.song = FMUSIC_LoadSong(SONG_FILE_NAME);
    if (demo.song == nullptr) {
        showErrorBox("Failed loading Protracker-Module", "Error! Plonk suxx!");
        return INIT_MUSIC_FAILED;
    }
    FMUSIC_SetInstCallback(demo.song, onAccentInstrument, 3);
    FMUSIC_SetInstCallback(demo.song, onAccentInstrument, 4);
    FMUSIC_SetInstCallback(demo.song, onAccentInstrument, 8);
    FMUSIC_SetInstCallback(demo.song, onBeatInstrument, 2);
    FMUSIC_SetInstCallback(demo.song, onBeatInstrument, 5);
    return 0;
}
