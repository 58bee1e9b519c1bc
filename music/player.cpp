// The six player operations the demo calls, on the tick loop and the sound
// output. The output's thread renders the ticks: after each one it publishes
// the order position and calls the callbacks of the instruments that started.
#include "state/player.h"

#include "music/song_path.h"
#include "music/sound_output.h"
#include "music/tick_loop.h"

#include <atomic>

struct Song {
    music::TickLoop* loop;                 // touched only by the output's thread once playing
    music::SoundOutput* output;            // null until played
    std::atomic<int> order;                // order position after the latest tick
    std::atomic<InstrumentCallback> callbacks[music::MAX_INSTRUMENT + 1];  // by instrument number
};

// On the output's thread: one tick, then what the demo sees of it.
static bool renderSongTick(void* user, music::TickAudio& audio)
{
    Song* song = static_cast<Song*>(user);
    music::Tick tick;
    if (!music::playTick(song->loop, tick)) return false;
    song->order.store(tick.order, std::memory_order_relaxed);
    for (int i = 0; i < tick.triggerCount; i++) {
        int instrument = tick.triggers[i];
        InstrumentCallback callback = song->callbacks[instrument].load(std::memory_order_acquire);
        if (callback != nullptr) callback(song, instrument);
    }
    audio.samples = tick.samples;
    audio.frames = tick.frames;
    audio.seconds = tick.seconds;
    return true;
}

bool FSOUND_Init(int, int, unsigned)
{
    // The mixing rate and channel count are the layer's own (44,100 Hz, as
    // the demo asks, and as many voices as the module needs).
    return music::initSoundSystem();
}

Song* FMUSIC_LoadSong(const char* fileName)
{
    music::TickLoop* loop = music::openTickLoop(music::findSong(fileName).c_str());
    if (loop == nullptr) return nullptr;
    Song* song = new Song{};
    song->loop = loop;
    return song;
}

bool FMUSIC_SetInstCallback(Song* song, InstrumentCallback callback, int instrument)
{
    if (song == nullptr || instrument < 1 || instrument > music::MAX_INSTRUMENT) return false;
    song->callbacks[instrument].store(callback, std::memory_order_release);
    return true;
}

bool FMUSIC_PlaySong(Song* song)
{
    if (song == nullptr) return false;
    if (song->output == nullptr) song->output = music::startSoundOutput(renderSongTick, song);
    return true;
}

int FMUSIC_GetOrder(Song* song)
{
    if (song == nullptr) return 0;
    return song->order.load(std::memory_order_relaxed);
}

bool FMUSIC_FreeSong(Song* song)
{
    if (song == nullptr) return true;
    music::stopSoundOutput(song->output);
    music::closeTickLoop(song->loop);
    delete song;
    return true;
}
