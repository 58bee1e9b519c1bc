// The soundtrack: composes the whole module from the score in
// composition.cpp, arranged by arranger.cpp, with the instruments of
// instruments.cpp. Deterministic:
// the same bytes on every call.
#pragma once

#include "song/xm_writer.h"

namespace song {

constexpr int SONG_BPM = 150;
constexpr int SONG_SPEED = 6;             // ticks per row: a row is a sixteenth note
constexpr int STEPS_PER_BAR = 16;
constexpr int BARS_PER_ORDER = 4;
constexpr int ROWS_PER_ORDER = STEPS_PER_BAR * BARS_PER_ORDER;
constexpr int FINAL_ORDER = 39;           // the demo stops as it begins
constexpr int FINAL_ROWS = 32;            // the final hit's ring-out
constexpr int ORDER_COUNT = FINAL_ORDER + 1;

// The channels, each with its part: the lead's second voice plays its echo,
// a harmony or a counter-melody; the pad has three voices.
enum Channel {
    CH_KICK, CH_SNARE, CH_HATS, CH_BASS, CH_LEAD, CH_LEAD2, CH_ARP,
    CH_PAD1, CH_PAD2, CH_PAD3, CH_CRASH, CH_STAB, CH_HIT, CH_RISER,
    CHANNEL_COUNT
};

xm::Module composeSong();

}  // namespace song
