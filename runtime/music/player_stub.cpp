// Placeholder player until the music layer lands: no song loads.
#include "runtime/player.h"

bool FSOUND_Init(int, int, unsigned) { return true; }
Song* FMUSIC_LoadSong(const char*) { return nullptr; }
bool FMUSIC_SetInstCallback(Song*, InstrumentCallback, int) { return false; }
bool FMUSIC_PlaySong(Song*) { return false; }
int FMUSIC_GetOrder(Song*) { return 0; }
bool FMUSIC_FreeSong(Song*) { return true; }
