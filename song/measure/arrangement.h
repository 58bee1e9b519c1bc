// What a musician reads in the score: the notes as they play, the tracker
// effects the arrangement uses, how its notes sit against the sixteenth
// grid, how a melody moves, and whether orders repeat.
#pragma once

#include <set>
#include <utility>
#include <vector>

#include "song/xm_writer.h"

namespace measure {

// A note in a cell, in playing order (the order list from its start, each
// pattern's rows in turn).
struct Note {
    int order, row, channel;
    int instrument;      // the last one the channel named, 0 none
    int pitch;           // 1..96, C-0 = 1
    int volume;          // 0..64 from the volume column, -1 when it sets none
    int delay;           // ticks a note delay (EDx) holds it back, 0 none
    bool glide;          // tone portamento: the sounding note slides there
    uint8_t effect, param;
};
std::vector<Note> notes(const xm::Module& m);

struct Expression {
    std::set<int> commands;                     // effect-column commands (arpeggio only with a parameter)
    std::set<std::pair<int, int>> pairs;        // effect-column commands with their parameters
    double slideCells = 0;                      // share of the channels' rows with a volume slide
    double slideRows = 0;                       // share of rows with a volume slide on some channel
    double delayedNotes = 0;                    // share of struck notes held back by a note delay
};
Expression expression(const xm::Module& m);

// A melody line: the notes of one channel, struck or glided to, in turn.
struct Line {
    int notes = 0;
    double repeated = 0;        // steps to the same pitch, of all steps
    double oddSixteenths = 0;   // notes on an odd row (rows are sixteenths), of all notes
    double skips = 0;           // steps of 3 to 5 semitones, of all steps
};
Line line(const xm::Module& m, int channel);

// Orders that play the very same pattern as an earlier order, or one whose
// cells differ from it in at most `cells` places.
int nearRepeats(const xm::Module& m, int cells);

}  // namespace measure
