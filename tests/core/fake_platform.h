// Fakes of the console host and the player for the core's tests: a scripted
// clock and order sequence, Escape from a chosen query on, a song that loads or
// not, and a record of every platform call and every presented frame.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "state/demo_state.h"

namespace fake {

extern std::vector<uint32_t> clockScript;  // successive clockMs answers; the last repeats
extern std::vector<int> orderScript;       // successive FMUSIC_GetOrder answers; the last repeats
extern int escapeFromQuery;                // escapeHeld answers non-zero from this query on (1-based); 0: never
extern std::atomic<int> escapeQueries;     // how many times escapeHeld was asked (from any thread)
extern bool songLoads;                     // FMUSIC_LoadSong succeeds
extern std::vector<std::string> calls;     // platform calls in order, e.g. "presentFrame"
extern std::vector<ScreenBuffer> presented;     // the buffer at every presentFrame
struct Registration {
    int instrument;
    bool accent;  // registered onAccentInstrument (else onBeatInstrument)
};
extern std::vector<Registration> registrations;
extern Song* const loadedSong;  // the handle FMUSIC_LoadSong returns

// Resets the fakes and the demo state (record, buffer, overlay random state).
void reset();

// How many calls named `name` were recorded.
int countCalls(const std::string& name);

}  // namespace fake
