// A melody as notes with lengths, and the ways a repeat is varied: a
// musician does not play a phrase the same way twice.
#pragma once

#include <string>
#include <vector>

namespace song {

struct MelodyNote {
    int row;       // from the order's start
    int pitch;     // MIDI
    int length;    // rows until the next note or release (or the order's end)
    bool glide;    // reached by a glide from the note before
    bool late;     // held back a little (a note delay)
    bool released; // a release follows it (else the next note, or the order ends)
};

// The notes of a melody string (score.h); throws unless it fills `rows`.
std::vector<MelodyNote> parseMelody(const std::string& text, int rows);

// The melody varied by the letters of `how`, applied in this order:
//   t  a turn on long notes: the step above and back, halfway through
//   r  long notes struck again after three rows
//   a  notes on a bar's first beat anticipated by a sixteenth
//   d  the first half an octave down
//   o  the second half an octave up
//   l  notes on off-beat sixteenths laid back (a note delay)
std::vector<MelodyNote> varied(std::vector<MelodyNote> notes, const std::string& how);

}  // namespace song
