// The instrument callbacks. They may run on the player's thread: they only
// store into the three atomic fields.
#include "state/instrument_hooks.h"

#include "state/demo_state.h"

constexpr float PULSE_FULL = 3.0f;

void onAccentInstrument(Song*, int) { relaxedStore(demo.accentPulse, PULSE_FULL); }

void onBeatInstrument(Song*, int)
{
    // The player's thread is the only writer of beatCount.
    relaxedStore(demo.beatCount, relaxedLoad(demo.beatCount) + 1);
    relaxedStore(demo.beatPulse, PULSE_FULL);
}

const InstrumentHook instrumentHooks[INSTRUMENT_HOOK_COUNT] = {
    {3, onAccentInstrument}, {4, onAccentInstrument}, {8, onAccentInstrument},
    {2, onBeatInstrument},   {5, onBeatInstrument},
};

void dispatchTrigger(int instrument)
{
    for (const InstrumentHook& hook : instrumentHooks)
        if (hook.instrument == instrument) hook.callback(nullptr, instrument);
}
