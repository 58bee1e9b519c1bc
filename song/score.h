// The score as data, for the arranger (arranger.cpp) to turn into rows: the
// melodies, drum grooves and fills, bass and arpeggio figures, and one line
// per order naming what plays. composition.cpp holds it.
#pragma once

#include <map>
#include <string>

#include "song/compose.h"

namespace song {

// Melodies, one token a sixteenth, four bars: a note (C5, G#4, Bb3), "."
// holds, "^" releases. A note ending in "~" is reached by a glide from the
// one before; one ending in "'" comes a little late (a note delay).
extern const std::map<std::string, const char*> MELODIES;

// A bar of drums. Kick: x hit, g ghost. Snare: x hit, g ghost (struck
// further into the sample: thinner), r a hit retriggered into a drag.
// Hats: s soft, c closed, C accented, o open, O open accented, r a closed
// roll. "." rests.
struct DrumBar {
    const char* kick;
    const char* snare;
    const char* hats;
};

// A section's drums: the main bar plays on bars 1 and 3, the turn on 2 and 4.
struct Groove {
    DrumBar main, turn;
};
extern const std::map<std::string, Groove> GROOVES;

// Last bars that end a phrase, taken in turn.
constexpr int FILL_COUNT = 4;
extern const DrumBar FILLS[FILL_COUNT];

// Bass, a main bar and a turn (bar 4): R root, O octave, o the octave reached
// by a glide, 5 fifth, 3 the chord's third, p a step of the scale towards the
// next chord's root, a the semitone under the next root; "." holds, "^"
// releases.
struct BassFigure {
    const char* main;
    const char* turn;
};
extern const std::map<std::string, BassFigure> BASS_FIGURES;

// Arpeggios, one bar: digits climb the chord (0 root, 1 third, 2 fifth,
// 3 root an octave up ...), "." rests, "c" a held root rippling through the
// chord (the tracker's arpeggio command).
extern const std::map<std::string, const char*> ARP_FIGURES;

// Stabs, one bar: x a stab on the chord.
extern const std::map<std::string, const char*> STAB_FIGURES;

// One order. chords: one a bar; "F-G" splits a bar. level: the section's
// dynamics, in per cent of the written volumes. ending: "fill" or "roll" on
// the last bar, "end" the song's final hit on it. variation: how the melody
// is varied this time (melody.cpp). second: the second voice, "echo",
// "harmony" or a melody of its own. accents at the order's start: C crash,
// H hit; R a riser over the last bar, W over the last two. shuffle: the
// off-beat sixteenths of drums and bass come a tick late.
struct OrderPlan {
    const char* chords;
    int level;
    const char* drums;
    const char* ending;
    const char* bass;
    const char* lead;
    const char* variation;
    const char* second;
    const char* arp;
    bool pad;
    const char* accents;
    const char* stabs;
    bool shuffle;
};
extern const OrderPlan ORDER_PLAN[FINAL_ORDER];

}  // namespace song
