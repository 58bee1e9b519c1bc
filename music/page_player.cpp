// The page's player on the show clock. One song at a time; instrument
// triggers go through the demo's hooks (dispatchTrigger) as in the capture.
#include "music/page_player.h"

#include "music/show_clock.h"
#include "state/player.h"

struct Song {
    ShowClock clock;
    bool playing = false;
};

namespace {

Song pageSong;
bool loaded = false;

}  // namespace

bool FSOUND_Init(int, int, unsigned) { return true; }

Song* FMUSIC_LoadSong(const char* fileName)
{
    if (loaded) FMUSIC_FreeSong(&pageSong);
    // The frame rate plays no part: the page passes samples, not frames.
    loaded = openShowClock(pageSong.clock, fileName, 60);
    if (!loaded) closeShowClock(pageSong.clock);
    return loaded ? &pageSong : nullptr;
}

// The show clock calls the demo's hooks itself.
bool FMUSIC_SetInstCallback(Song* song, InstrumentCallback, int) { return song != nullptr; }

bool FMUSIC_PlaySong(Song* song)
{
    if (song == nullptr) return false;
    song->playing = true;
    return true;
}

int FMUSIC_GetOrder(Song* song) { return song ? song->clock.order : 0; }

bool FMUSIC_FreeSong(Song* song)
{
    if (song == nullptr) return false;
    closeShowClock(song->clock);
    song->clock = ShowClock{};
    song->playing = false;
    loaded = false;
    return true;
}

const int16_t* pageSongTakeSound(int64_t until, size_t& frames)
{
    frames = 0;
    if (!loaded || !pageSong.playing) return nullptr;
    decodeAhead(pageSong.clock, until);
    return takeSound(pageSong.clock, pageSong.clock.decoded, false, frames);
}

double pageSongPlayed(int64_t frames)
{
    if (loaded && pageSong.playing) passSample(pageSong.clock, frames);
    return double(frames) * 1000.0 / music::MIX_RATE;
}

bool pageSongPlaying() { return loaded && pageSong.playing; }
bool pageSongSilent() { return loaded && pageSong.clock.silent && pageSong.clock.pending.empty(); }
