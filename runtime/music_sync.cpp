// The music start-up.
#include "runtime/music_sync.h"

#include "state/console_host.h"
#include "state/demo_state.h"
#include "state/player.h"

int initMusic()
{
    FSOUND_Init(44100, 64, 0);
    demo.song = FMUSIC_LoadSong(SONG_FILE_NAME);
    if (demo.song == nullptr) {
        showErrorBox("Failed loading Protracker-Module", "Error! Plonk suxx!");
        return INIT_MUSIC_FAILED;
    }
    for (const InstrumentHook& hook : instrumentHooks) FMUSIC_SetInstCallback(demo.song, hook.callback, hook.instrument);
    return 0;
}
