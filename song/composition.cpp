// The score. A song in A minor at 150 beats a minute, four bars to an order,
// one sixteenth note to a row, written for the demo's timeline: a pad-and-
// arpeggio intro under the plasma, a rise for the texture warp, a shuffled
// verse and a second theme, a chorus, a half-time breakdown, a drum break,
// the themes again, a climb, and a last chorus with a counter-melody whose
// final hit rings out before order 39, the short tail where the demo stops.
//
// The score is data: one line per order (ORDER_PLAN) naming the chords, its
// level, the drum groove, the bass figure, the melody and how it is varied,
// the second voice and the accents; the figures and melodies are strings
// below. The arranger (arranger.cpp) turns it into rows.
#include "song/score.h"

namespace song {

const std::map<std::string, const char*> MELODIES = {
    // The verse theme over Am F C G, a question ending on the second ...
    {"themeA1", "E5 . . E5 . . D5 . C5 . . . D5 . E5 . | F5 . . . E5 . . D5 . . C5 . . . . . |"
                "E5 . . E5 . . G5 . E5 . . D5 . . C5 . | D5 . . . . . . . B4 . . C5 . D5 . ."},
    // ... and its answer over Am F E Am, home on A.
    {"themeA2", "A5 . . G5 . . E5 . . . D5 . E5 . . . | F5 . . F5 . . E5 . D5 . . C5 . . . . |"
                "B4 . . . C5 . D5 . . . C5 . B4 . G#4 . | A4 . . . . . . . . . . . ^ . E5 ."},
    // Over Dm Am F E, turning to the dominant.
    {"themeB",  "D5 . . D5 . . F5 . E5 . D5 . . . C5 . | C5 . . . . . B4 . C5 . . A4 . . . . |"
                "A4 . . C5 . . F5 . E5 . . D5 . . C5 . | B4 . . . . . . . G#4 . . . B4 . . ."},
    // The second theme over F G Em Am: one rhythm (three, three, two)
    // climbing a step a bar, then the fall home ...
    {"themeC1", "C5 . . C5 . . A4 . C5 . D5 . . C5 . . | D5 . . D5 . . B4 . D5 . E5 . . D5 . . |"
                "E5 . . E5 . . G5 . E5 . D5 . . B4 . . | C5 . . . B4 . . . A4 . . . . . ^ ."},
    // ... and the same an octave's third higher.
    {"themeC2", "F5 . . F5 . . E5 . F5 . A5 . . G5 . . | G5 . . G5 . . F5 . G5 . B5 . . A5 . . |"
                "G5 . . . E5 . . . G5 . . E5 . D5 . . | E5 . . . . . C5 . . . B4 . A4 . . ."},
    // The chorus hook over F G Em Am, falling home ...
    {"hook1",   "A5 . . A5 . . G5 . F5 . . . E5 . F5 . | G5 . . . . . F5 . E5 . . D5 . . E5 . |"
                "G5 . . G5 . . E5 . . . B4 . . . D5 . | C5 . . . B4 . . A4 . . . . . ^ . ."},
    // ... and its answer over F G C E, rising to the leading note.
    {"hook2",   "A5 . . A5 . . G5 . F5 . . . A5 . C6 . | B5 . . . . . A5 . G5 . . F5 . . G5 . |"
                "E5 . . E5 . . F5 . G5 . . . A5 . G5 . | G#5 . . . . . A5 . B5 . . . . . . ."},
    // The hook as the last chorus sings it: busier, pushing across the beat.
    {"hook1b",  "A5 . . A5 . C6 . A5 . G5 F5 . E5 . F5 . | G5 . . G5 . A5 . G5 . F5 E5 . D5 . E5 . |"
                "G5 . . G5 . A5 . G5 . E5 D5 . B4 . D5 . | C5 . . B4 . . A4 . . . . . ^ . E5 G5"},
    {"hook2b",  "A5 . . A5 . C6 . A5 . G5 F5 . A5 . C6 . | B5 . . B5 . C6 . B5 . A5 G5 . F5 . G5 . |"
                "E5 . . E5 . F5 . G5 . A5 G5 . A5 . B5 . | G#5 . . . . . A5 . B5 . . . . . . ."},
    // The last order: the hook's cadence and the final note, on the hit.
    {"hookEnd", "A5 . . A5 . . G5 . F5 . . . A5 . C6 . | B5 . . . . . A5 . G5 . . A5 . . B5 . |"
                "G#5 . . . . . B5 . E6 . . . D6 . B5 . | A5 . . . . . . . ^ . . . . . . ."},
    // The breakdown: the verse theme slowed down, sung with glides.
    {"slowA",   "E5 . . . . . . . . . . D5 . C5~ . . | C5 . . . . . . . A4 . . . . . . . |"
                "G4 . . . . . . . C5 . . E5 . . . . | D5 . . . . . . . . . . . ^ . . ."},
    {"slowB",   "E5 . . . . . . . . . . G5 . A5~ . . | A5 . . . . . . . F5 . . . E5 . . . |"
                "E5 . . . . . . . D5 . . . C5 . . . | B4 . . . . . . . . . . . ^ . . ."},
    // Over Dm F G E: the climb into the last chorus, step by step.
    {"climb",   "D5 . . D5 . . E5 . F5 . . . E5 . F5 . | A5 . . A5 . . G5 . F5 . . . G5 . A5 . |"
                "B5 . . B5 . . A5 . G5 . . . A5 . B5 . | G#5 . . . . . . . B5 . . . . . . ."},
    // Counter-melodies for the last chorus: long notes moving against the hook.
    {"counter1", "C5 . . . . . . . . . . . A4 . . . | B4 . . . . . . . . . . . D5 . . . |"
                 "E5 . . . . . . . . . . . B4 . . . | C5 . . . . . . . E5 . . . . . . ."},
    {"counter2", "C5 . . . . . . . . . . . F5 . . . | D5 . . . . . . . . . . . B4 . . . |"
                 "C5 . . . . . . . . . . . E5 . . . | E5 . . . . . . . D5 . . . B4 . . ."},
};

const std::map<std::string, Groove> GROOVES = {
    {"",       {{"................", "................", "................"},
                {"................", "................", "................"}}},
    {"intro",  {{"x...............", "................", "..s...s...s...s."},
                {"x.........x.....", "................", "..s...s...s.s.s."}}},
    {"four",   {{"x...x...x...x...", "................", "..c...c...c...c."},
                {"x...x...x...x.x.", "............g...", "..c...c...c.o..."}}},
    {"drive",  {{"x...x...x...x...", "....x.......x...", "c.o...C.c.o...C."},
                {"x...x...x..xx...", "....x..g....x..g", "c.o...C.c.o.csC."}}},
    {"drive2", {{"x...x...x...x...", "....x.......x...", "..o...o...o...o."},
                {"x...x...x..x..x.", "....x..g....x.g.", "..o...o...o..co."}}},
    {"verse2", {{"x.....x...x.x...", "....x..g....x...", "c..c..o.c..c..o."},
                {"x.....x...x...x.", "....x.......x.g.", "c..c..o.c..c.co."}}},
    {"syncop", {{"x..x..x...x.....", "....x.......x..g", "C..c..C.c.C..c.c"},
                {"x..x..x...x..x..", "....x..g.g..x...", "C..c..o.c.C.c.sc"}}},
    {"break",  {{"x.x.......x.....", "....x..g.g..x..g", "c.c.c.c.c.o.c.c."},
                {"x.x.......x.x...", "....x..g....x.gg", "c.c.c.c.c.o.rc.."}}},
    {"half",   {{"x.........x.....", "........x.......", "c...c.s.c...c.s."},
                {"x......x..x.....", "........x.....g.", "c...o...c...c.sc"}}},
    {"final",  {{"x...x...x...x...", "....x..g....x.g.", "c.C.c.C.c.C.csC."},
                {"x...x...x...x.xx", "....x.g.....x.g.", "c.O.c.C.c.O.c.Cs"}}},
    {"final2", {{"x...x...x...x...", "....x..g....x.g.", "..O...O...O...O."},
                {"x...x..xx...x.xx", "....x.g.....x.g.", "..O...O.c.O...Os"}}},
};

const DrumBar FILLS[FILL_COUNT] = {
    {"x.....x...x.....", "....x..g.gx.xxxr", "c.c.c.c.c......."},
    {"x...x.....x.x...", "....x.g..x..xrxr", "c.o.c.o.c......."},
    {"x.x...x...x.....", "....x..x..x.rrrr", "c...c...c......."},
    {"x...x...x.....x.", "....x...g.x.x.xr", "c.c.c.c.c.c....."},
};

const std::map<std::string, BassFigure> BASS_FIGURES = {
    {"",        {"----------------", "----------------"}},
    {"whole",   {"R...............", "R...........5..."}},
    {"offbeat", {"^.R.^.R.^.R.^.R.", "^.R.^.RO^.R.^.Ra"}},
    {"rolling", {"R.RO.R5.R.RO.R5.", "R.RO.R5.R.R.O.pa"}},
    {"sync",    {"R..R..O.^.5.R...", "R..R..O.^.5.R.pa"}},
    {"half",    {"R.......^.R...5.", "R.......^.R.o.a."}},
    {"drive",   {"RR.RO.R.RR.Ro.R.", "RR.RO.R.RR.R5.pa"}},
    {"walk",    {"R...5...O...3...", "R...5...O...3.pa"}},
};

const std::map<std::string, const char*> ARP_FIGURES = {
    {"cascade", "0123432101234321"},
    {"fadein",  "0123432101234321"},
    {"broken",  "0214021402140214"},
    {"eighths", "0.2.3.2.4.2.3.2."},
    {"sparse",  "0..2..4...3..2.."},
    {"rise",    "0.1.2.3.4.3.2.1."},
    {"chip",    "c.......c......."},
};

const std::map<std::string, const char*> STAB_FIGURES = {
    {"",        "................"},
    {"push",    "x.....x...x....."},
    {"offbeat", "......x.......x."},
    {"answer",  "..........x..x.."},
};

const OrderPlan ORDER_PLAN[FINAL_ORDER] = {
    //  chords          lvl drums     ending  bass       lead       var   second      arp        pad    accents stabs     shuffle
    // Intro under the plasma; the first logo lands with the hit of order 1.
    {"Am F C G",      115,  "",       "",     "",        "",        "",   "",         "fadein",  true,  "",     "",        false},  // 0
    {"Am F C E",      115,  "intro",  "roll", "whole",   "",        "",   "",         "eighths", true,  "CHR",  "",        false},  // 1
    // The rise under the texture warp and logos.
    {"Am F C G",      120,  "four",   "",     "offbeat", "",        "",   "",         "cascade", true,  "C",    "",        false},  // 2
    {"Am F C E",      120,  "four",   "roll", "offbeat", "",        "",   "",         "broken",  true,  "R",    "",        false},  // 3
    // Verse, shuffled: the arpeggio steps back for the theme.
    {"Am F C G",      125,  "drive",  "",     "offbeat", "themeA1", "",   "",         "sparse",  false, "CH",   "",        true},   // 4
    {"Am F E Am",     125,  "drive",  "fill", "offbeat", "themeA2", "",   "echo",     "sparse",  false, "",     "answer",  true},   // 5
    {"Dm Am F E",     125,  "drive",  "fill", "rolling", "themeB",  "",   "echo",     "eighths", true,  "C",    "",        true},   // 6
    // Second theme.
    {"F G Em Am",     125,  "syncop", "",     "sync",    "themeC1", "",   "",         "",        false, "C",    "",        true},   // 7
    {"F G Em Am",     125,  "syncop", "",     "sync",    "themeC2", "",   "echo",     "eighths", false, "",     "answer",  true},   // 8
    {"F G Em Am",     125,  "syncop", "fill", "sync",    "themeC1", "r",  "harmony",  "eighths", true,  "",     "",        true},   // 9
    // Break before the chorus.
    {"Am F-G Am E",   125,  "break",  "roll", "offbeat", "",        "",   "",         "cascade", true,  "CR",   "push",    false},  // 10
    // Chorus, twice through: the first time with an echo, then in thirds,
    // each time ornamented differently.
    {"F G Em Am",     120,  "drive",  "",     "rolling", "hook1",   "",   "echo",     "eighths", true,  "CH",   "offbeat", false},  // 11
    {"F G C E",       120,  "drive",  "",     "rolling", "hook2",   "",   "echo",     "eighths", true,  "",     "offbeat", false},  // 12
    {"F G Em Am",     120,  "drive2", "",     "drive",   "hook1",   "r",  "echo",     "broken",  true,  "C",    "offbeat", false},  // 13
    {"F G C E",       120,  "drive2", "fill", "drive",   "hook2",   "a",  "echo",     "broken",  true,  "",     "offbeat", false},  // 14
    {"F G Em Am",     120,  "drive",  "",     "walk",    "hook1",   "t",  "harmony",  "cascade", true,  "C",    "push",    false},  // 15
    {"F G C E",       120,  "drive",  "",     "walk",    "hook2",   "ra", "harmony",  "cascade", true,  "",     "push",    false},  // 16
    {"F G Em Am",     120,  "syncop", "",     "sync",    "hook1",   "d",  "harmony",  "rise",    false, "C",    "offbeat", false},  // 17
    {"F G C E",       120,  "syncop", "roll", "sync",    "hook2",   "at", "harmony",  "rise",    true,  "R",    "offbeat", false},  // 18
    // Breakdown in half time, its chords held two bars, then the build.
    {"Am Am F F",     110,  "half",   "",     "half",    "",        "",   "",         "chip",    true,  "C",    "",        true},   // 19
    {"Am F C G",      110,  "half",   "",     "half",    "slowA",   "",   "echo",     "sparse",  true,  "",     "",        true},   // 20
    {"Am F C G",      115,  "half",   "",     "half",    "slowB",   "l",  "echo",     "chip",    true,  "",     "",        true},   // 21
    {"F-G Am F-G E",  120,  "half",   "",     "half",    "",        "",   "",         "rise",    true,  "",     "answer",  true},   // 22
    {"F G E E",       125,  "four",   "roll", "offbeat", "",        "",   "",         "rise",    true,  "W",    "",        false},  // 23
    // Drum break under the texture warp.
    {"Am Am Am E",    130,  "break",  "fill", "offbeat", "",        "",   "",         "",        false, "CH",   "push",    false},  // 24
    // Verse and second theme again, varied.
    {"Am F C G",      125,  "verse2", "",     "walk",    "themeA1", "ar", "echo",     "eighths", true,  "C",    "",        true},   // 25
    {"Am F E Am",     125,  "verse2", "fill", "walk",    "themeA2", "t",  "echo",     "broken",  true,  "",     "answer",  true},   // 26
    {"F G Em Am",     125,  "syncop", "",     "sync",    "themeC1", "a",  "harmony",  "eighths", true,  "C",    "",        true},   // 27
    {"F G Em Am",     125,  "syncop", "fill", "sync",    "themeC2", "r",  "harmony",  "eighths", true,  "",     "answer",  true},   // 28
    // The climb.
    {"F G Em Am",     150,  "drive",  "",     "rolling", "hook1",   "dl", "echo",     "cascade", true,  "C",    "offbeat", false},  // 29
    {"Dm F G E",      150,  "four",   "roll", "rolling", "climb",   "",   "echo",     "rise",    true,  "W",    "",        false},  // 30
    // Last chorus, full and loud, with a counter-melody, ending on the final hit.
    {"F G Em Am",     165,  "final",  "",     "drive",   "hook1b",  "",   "counter1", "cascade", true,  "CH",   "offbeat", false},  // 31
    {"F G C E",       165,  "final",  "",     "drive",   "hook2b",  "",   "counter2", "cascade", true,  "",     "offbeat", false},  // 32
    {"F G Em Am",     165,  "final",  "",     "rolling", "hook1",   "t",  "counter1", "broken",  true,  "C",    "offbeat", false},  // 33
    {"F G C E",       165,  "final",  "fill", "rolling", "hook2b",  "a",  "counter2", "broken",  true,  "",     "offbeat", false},  // 34
    {"F G Em Am",     165,  "final2", "",     "walk",    "hook1b",  "r",  "harmony",  "eighths", true,  "CH",   "push",    false},  // 35
    {"F G C E",       165,  "final2", "",     "walk",    "hook2",   "at", "harmony",  "eighths", true,  "",     "push",    false},  // 36
    {"F G Em Am",     165,  "final2", "",     "sync",    "hook1b",  "l",  "harmony",  "rise",    true,  "C",    "offbeat", false},  // 37
    {"F G E Am",      165,  "final",  "end",  "drive",   "hookEnd", "",   "harmony",  "broken",  true,  "",     "offbeat", false},  // 38
};
// Order 39 is the ring-out that the demo cuts: a soft cymbal and silence.

}  // namespace song
