// The song's instruments, numbered as the patterns use them (from 1). The
// demo reacts to some of them: 2 and 5 carry the beat, 3, 4 and 8 the
// accents; the rest only sound.
#pragma once

#include <vector>

#include "song/xm_writer.h"

namespace song {

enum InstrumentNumber : uint8_t {
    INS_BASS = 1,
    INS_KICK = 2,     // beat
    INS_CRASH = 3,    // accent
    INS_STAB = 4,     // accent
    INS_SNARE = 5,    // beat
    INS_HAT = 6,
    INS_LEAD = 7,
    INS_HIT = 8,      // accent
    INS_PAD = 9,
    INS_ARP = 10,
    INS_OPEN_HAT = 11,
    INS_RISER = 12,
    INS_SOFT_LEAD = 13,  // the verse's lead, the counter-melody
    INS_BELL = 14,       // the arpeggio where the drums are sparse
    INSTRUMENT_COUNT = 14,
};

// All instruments, index 0 holding instrument 1.
std::vector<xm::Instrument> makeInstruments();

}  // namespace song
