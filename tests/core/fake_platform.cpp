#include "fake_platform.h"

#include <algorithm>

#include "state/console_host.h"
#include "runtime/music_sync.h"
#include "runtime/overlays.h"
#include "state/player.h"

struct Song {
    int unused;
};

namespace fake {

std::vector<uint32_t> clockScript;
std::vector<int> orderScript;
int escapeFromQuery = 0;
std::atomic<int> escapeQueries = 0;
bool songLoads = true;
std::vector<std::string> calls;
std::vector<ScreenBuffer> presented;
std::vector<Registration> registrations;

static Song theSong;
Song* const loadedSong = &theSong;
static size_t clockReads = 0;
static size_t orderReads = 0;

void reset()
{
    clockScript = {0};
    orderScript = {0};
    escapeFromQuery = 0;
    escapeQueries = 0;
    songLoads = true;
    calls.clear();
    presented.clear();
    registrations.clear();
    clockReads = 0;
    orderReads = 0;
    resetDemoState();
    overlayRandomState = 1;
}

int countCalls(const std::string& name) { return int(std::count(calls.begin(), calls.end(), name)); }

template <typename T>
static T nextOf(const std::vector<T>& script, size_t& reads)
{
    const size_t i = std::min(reads, script.size() - 1);
    ++reads;
    return script[i];
}

}  // namespace fake

using namespace fake;

void openConsole() { calls.push_back("openConsole"); }
uint32_t clockMs()
{
    calls.push_back("clockMs");
    return nextOf(clockScript, clockReads);
}
void presentFrame()
{
    calls.push_back("presentFrame");
    presented.push_back(screenBuffer);
}
uint16_t escapeHeld()
{
    const int query = ++escapeQueries;
    return escapeFromQuery != 0 && query >= escapeFromQuery ? 0x8001 : 0;
}
void showErrorBox(const char* text, const char* caption)
{
    calls.push_back(std::string("showErrorBox:") + caption + ":" + text);
}

bool FSOUND_Init(int mixRate, int channels, unsigned flags)
{
    calls.push_back("FSOUND_Init:" + std::to_string(mixRate) + "," + std::to_string(channels) + "," +
                    std::to_string(flags));
    return true;
}
Song* FMUSIC_LoadSong(const char* fileName)
{
    calls.push_back(std::string("FMUSIC_LoadSong:") + fileName);
    return songLoads ? loadedSong : nullptr;
}
bool FMUSIC_SetInstCallback(Song* song, InstrumentCallback callback, int instrument)
{
    calls.push_back("FMUSIC_SetInstCallback");
    if (song == loadedSong) registrations.push_back({instrument, callback == onAccentInstrument});
    return true;
}
bool FMUSIC_PlaySong(Song* song)
{
    calls.push_back(song ? "FMUSIC_PlaySong" : "FMUSIC_PlaySong:null");
    return song != nullptr;
}
int FMUSIC_GetOrder(Song*)
{
    calls.push_back("FMUSIC_GetOrder");
    return nextOf(orderScript, orderReads);
}
bool FMUSIC_FreeSong(Song* song)
{
    calls.push_back(song ? "FMUSIC_FreeSong" : "FMUSIC_FreeSong:null");
    return true;
}
