// The score. A song in A minor at 150 beats a minute, four bars to an order,
// one sixteenth note to a row, written for the demo's timeline: a pad-and-
// arpeggio intro under the plasma, a rise for the texture warp, grooves and
// choruses whose sections turn where the scenes turn, a breakdown, a drum
// break, and a last chorus a tone higher whose final hit rings out before
// order 39, the short tail where the demo stops.
//
// The score is data: one line per order (ORDER_PLAN) naming the chords, its
// level, the drum groove, the bass figure, the melody and the accents; the
// figures and melodies are note strings below. The arranger turns it into
// rows on one long grid and cuts the grid into patterns.
#include "song/compose.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

#include "song/instruments.h"

namespace song {
namespace {

// ---- Channels -------------------------------------------------------------

enum Channel {
    CH_KICK, CH_SNARE, CH_HATS, CH_BASS, CH_LEAD, CH_LEAD2, CH_ARP,
    CH_PAD1, CH_PAD2, CH_PAD3, CH_CRASH, CH_STAB, CH_HIT, CH_RISER,
    CHANNEL_COUNT
};
constexpr int PAD_VOICES = 3;

// ---- Melodies -------------------------------------------------------------
// One token a sixteenth: a note (C5, G#4, Bb3), "." holds, "^" releases.
// Bars are separated by "|" for reading; each melody is four bars.

const std::map<std::string, const char*> MELODIES = {
    // Over Am F C G: the verse theme.
    {"themeA1", "A4 . . . E5 . . . D5 . C5 . D5 . E5 . | C5 . . . . . A4 . . . C5 . . . F5 . |"
                "E5 . . . . . . . G4 . C5 . E5 . G5 . | D5 . . . . . . . ^ . . . B4 . D5 ."},
    // Over Am F C E: its answer, ending on the dominant.
    {"themeA2", "E5 . . . A5 . . . G5 . E5 . . . D5 . | C5 . . . . . D5 . C5 . A4 . . . . . |"
                "G4 . . . C5 . . . E5 . . . D5 . C5 . | B4 . . . . . . . G#4 . . . B4 . . ."},
    // Over Dm Am F E.
    {"themeB",  "D5 . . . F5 . . . A5 . . . G5 . F5 . | E5 . . . . . . . C5 . . . E5 . . . |"
                "F5 . . . E5 . . . D5 . . . C5 . A4 . | B4 . . . . . . . G#4 . . . . . ^ ."},
    // Over F G Em Am: a rhythmic figure climbing through each chord.
    {"themeC1", "A4 . C5 . . F5 . . E5 . C5 . . . A4 . | B4 . D5 . . G5 . . F5 . D5 . . . B4 . |"
                "G4 . B4 . . E5 . . D5 . B4 . . . G4 . | A4 . C5 . . E5 . . A5 . . . ^ . . ."},
    {"themeC2", "C5 . . . A4 . C5 . F5 . . . E5 . C5 . | D5 . . . B4 . D5 . G5 . . . F5 . D5 . |"
                "E5 . . . B4 . E5 . G5 . . . A5 . G5 . | A5 . . . . . . . E5 . . . C5 . . ."},
    // The chorus hook, over F G Em Am and F G C E.
    {"hook1",   "F5 . . . . . E5 . F5 . . . A5 . . . | G5 . . . . . F5 . G5 . . . B5 . . . |"
                "B5 . . . . . A5 . G5 . . . E5 . . . | A5 . . . . . . . . . . . ^ . E5 G5"},
    {"hook2",   "F5 . . . . . E5 . F5 . . . A5 . C6 . | B5 . . . . . A5 . G5 . . . D5 . . . |"
                "E5 . . . G5 . . . C6 . . . G5 . E5 . | G#5 . . . . . . . B5 . . . E5 . . ."},
    // The breakdown: the verse theme slowed down.
    {"slowA",   "E5 . . . . . . . . . . . D5 . C5 . | C5 . . . . . . . A4 . . . . . . . |"
                "G4 . . . . . . . C5 . . . E5 . . . | D5 . . . . . . . . . . . ^ . . ."},
    {"slowB",   "E5 . . . . . . . . . . . G5 . A5 . | A5 . . . . . . . F5 . . . E5 . . . |"
                "E5 . . . . . . . D5 . . . C5 . . . | B4 . . . . . . . . . . . ^ . . ."},
    // The last order: the hook's cadence and the final note, on the hit.
    {"hookEnd", "F5 . . . . . E5 . F5 . . . A5 . C6 . | B5 . . . . . A5 . G5 . . . D5 . . . |"
                "G#5 . . . . . B5 . E6 . . . D6 . B5 . | A5 . . . . . . . ^ . . . . . . ."},
    // Over F G A F#: the climb into the last chorus, a tone up.
    {"climb",   "A5 . . . . . . . C6 . . . A5 . . . | B5 . . . . . . . D6 . . . B5 . . . |"
                "C#6 . . . . . . . E6 . . . C#6 . . . | A#5 . . . . . . . C#6 . . . . . . ."},
};

// ---- Drums ----------------------------------------------------------------
// One bar each. Kick and snare: x hit, g ghost. Hats: s soft, c closed,
// C accented, o open.

struct Groove {
    const char* kick;
    const char* snare;
    const char* hats;
};

const std::map<std::string, Groove> GROOVES = {
    {"",       {"................", "................", "................"}},
    {"intro",  {"x...............", "................", "..s...s...s...s."}},
    {"four",   {"x...x...x...x...", "................", "..c...c...c...c."}},
    {"drive",  {"x...x...x...x...", "....x.......x...", "scocscocscocscoc"}},
    {"syncop", {"x.....x.x...x...", "....x.......x..g", "scscscocscscscoc"}},
    {"break",  {"x.x.......x.....", "....x..g.g..x..g", "c.c.c.c.c.o.c.c."}},
    {"half",   {"x.........x.....", "........x.......", "s.c.s.c.s.c.s.c."}},
    {"final",  {"x...x...x...x...", "....x..g....x.g.", "scocscocscocscoC"}},
};

// What the last bar of an order does instead of its groove.
constexpr const char* FILL_SNARE = "....x.....g.xxxx";    // "fill": a turn on the last beat
constexpr const char* ROLL_KICK = "x...x...x...x...";     // "roll": a snare roll over the bar

// ---- Bass, arpeggio, stabs ------------------------------------------------
// Bass, one bar: R root, O octave, 5 fifth, "." holds, "^" releases.
const std::map<std::string, const char*> BASS_FIGURES = {
    {"",        "----------------"},
    {"whole",   "R..............."},
    {"offbeat", "^.R.^.R.^.R.^.R."},
    {"rolling", "^RRO^RRO^RRO^RR5"},
    {"sync",    "R..R..R.^.R.O.R."},
    {"half",    "R.......^.R...^."},
};

// Arpeggio, one bar: digits climb the chord (0 root, 1 third, 2 fifth,
// 3 root an octave up ...), "." rests. "fadein" is the cascade fading in,
// "rise" the climb moving a step up each bar.
const std::map<std::string, const char*> ARP_FIGURES = {
    {"cascade", "0123432101234321"},
    {"fadein",  "0123432101234321"},
    {"broken",  "0214021402140214"},
    {"eighths", "0.2.3.2.4.2.3.2."},
    {"sparse",  "0..2..4...3..2.."},
    {"rise",    "0.1.2.3.4.3.2.1."},
};

// Stabs, one bar: x a stab on the chord.
const std::map<std::string, const char*> STAB_FIGURES = {
    {"",        "................"},
    {"push",    "x.....x...x....."},
    {"offbeat", "......x.......x."},
};

// ---- The plan -------------------------------------------------------------
// chords: one a bar; "F-G" splits a bar, F for its first half, G the second.
// level: the section's dynamics, in per cent of the written volumes (a note
// never goes above full volume).
// ending: "fill" or "roll" on the last bar; "end" makes the last bar the
// song's final hit, with everything released soon after.
// accents at the order's start: C crash, H hit; R a riser over the last bar,
// W over the last two.

struct OrderPlan {
    const char* chords;
    int transpose;        // semitones
    int level;
    const char* drums;
    const char* ending;
    const char* bass;
    const char* lead;     // melody, or "" for none
    const char* second;   // second lead voice: "echo", "harmony" or ""
    const char* arp;      // a figure of ARP_FIGURES, or "" for none
    bool pad;
    const char* accents;
    const char* stabs;
};

constexpr int UP = 2;  // the last chorus is a tone higher

const OrderPlan ORDER_PLAN[FINAL_ORDER] = {
    //  chords          tr  lvl drums     ending  bass       lead       second     arp        pad    accents stabs
    // Intro under the plasma; the first logo lands with the hit of order 1.
    {"Am F C G",      0,  115,  "",       "",     "",        "",        "",        "fadein",  true,  "",     ""},         // 0
    {"Am F C E",      0,  115,  "intro",  "roll", "whole",   "",        "",        "eighths", true,  "CHR",  ""},         // 1
    // The rise under the texture warp and logos.
    {"Am F C G",      0,  120,  "four",   "",     "offbeat", "",        "",        "cascade", true,  "C",    ""},         // 2
    {"Am F C E",      0,  120,  "four",   "roll", "offbeat", "",        "",        "cascade", true,  "R",    ""},         // 3
    // Verse: the arpeggio steps back for the theme.
    {"Am F C G",      0,  125,  "drive",  "",     "offbeat", "themeA1", "echo",    "sparse",  false, "CH",   ""},         // 4
    {"Am F C E",      0,  125,  "drive",  "fill", "offbeat", "themeA2", "echo",    "sparse",  false, "",     ""},         // 5
    {"Dm Am F E",     0,  125,  "drive",  "fill", "rolling", "themeB",  "echo",    "eighths", true,  "C",    ""},         // 6
    // Second theme.
    {"F G Em Am",     0,  125,  "syncop", "",     "sync",    "themeC1", "echo",    "",        false, "C",    ""},         // 7
    {"F G Em Am",     0,  125,  "syncop", "",     "sync",    "themeC2", "echo",    "eighths", false, "",     ""},         // 8
    {"F G Em Am",     0,  125,  "syncop", "fill", "sync",    "themeC1", "harmony", "eighths", true,  "",     ""},         // 9
    // Break before the chorus.
    {"Am F-G Am E",   0,  125,  "break",  "roll", "offbeat", "",        "",        "cascade", true,  "CR",   "push"},     // 10
    // Chorus, twice through, the second time in thirds.
    {"F G Em Am",     0,  120,  "drive",  "",     "rolling", "hook1",   "echo",    "eighths", true,  "CH",   "offbeat"},  // 11
    {"F G C E",       0,  120,  "drive",  "",     "rolling", "hook2",   "echo",    "eighths", true,  "",     "offbeat"},  // 12
    {"F G Em Am",     0,  120,  "drive",  "",     "rolling", "hook1",   "echo",    "eighths", true,  "C",    "offbeat"},  // 13
    {"F G C E",       0,  120,  "drive",  "fill", "rolling", "hook2",   "echo",    "eighths", true,  "",     "offbeat"},  // 14
    {"F G Em Am",     0,  120,  "drive",  "",     "rolling", "hook1",   "harmony", "eighths", true,  "C",    "offbeat"},  // 15
    {"F G C E",       0,  120,  "drive",  "",     "rolling", "hook2",   "harmony", "eighths", true,  "",     "offbeat"},  // 16
    {"F G Em Am",     0,  120,  "drive",  "",     "rolling", "hook1",   "harmony", "eighths", true,  "C",    "offbeat"},  // 17
    {"F G C E",       0,  120,  "drive",  "roll", "rolling", "hook2",   "harmony", "eighths", true,  "R",    "offbeat"},  // 18
    // Breakdown in half time, its chords held two bars, then the build.
    {"Am Am F F",     0,  110,  "half",   "",     "half",    "",        "",        "",        true,  "C",    ""},         // 19
    {"Am F C G",      0,  110,  "half",   "",     "half",    "slowA",   "echo",    "sparse",  true,  "",     ""},         // 20
    {"Am F C G",      0,  115,  "half",   "",     "half",    "slowB",   "echo",    "eighths", true,  "",     ""},         // 21
    {"F-G Am F-G E",  0,  120,  "half",   "",     "half",    "",        "",        "rise",    true,  "",     ""},         // 22
    {"F G E E",       0,  125,  "four",   "roll", "offbeat", "",        "",        "rise",    true,  "W",    ""},         // 23
    // Drum break under the texture warp.
    {"Am Am Am E",    0,  130, "break",  "fill", "offbeat", "",        "",        "",        false, "CH",   "push"},     // 24
    // Verse and second theme again.
    {"Am F C G",      0,  125,  "drive",  "",     "offbeat", "themeA1", "echo",    "sparse",  false, "C",    ""},         // 25
    {"Am F C E",      0,  125,  "drive",  "fill", "offbeat", "themeA2", "echo",    "eighths", false, "",     ""},         // 26
    {"F G Em Am",     0,  125,  "syncop", "",     "sync",    "themeC1", "harmony", "eighths", true,  "C",    ""},         // 27
    {"F G Em Am",     0,  125,  "syncop", "fill", "sync",    "themeC2", "harmony", "eighths", true,  "",     ""},         // 28
    // The climb.
    {"F G Em Am",     0,  150, "drive",  "",     "rolling", "hook1",   "echo",    "cascade", true,  "C",    "offbeat"},  // 29
    {"F G A F#",      0,  150, "four",   "roll", "rolling", "climb",   "echo",    "rise",    true,  "W",    ""},         // 30
    // Last chorus, a tone up, full and loud, ending on the final hit.
    {"F G Em Am",     UP, 165, "final", "",     "rolling", "hook1",   "echo",    "cascade", true,  "CH",   "offbeat"},  // 31
    {"F G C E",       UP, 165, "final", "",     "rolling", "hook2",   "echo",    "cascade", true,  "",     "offbeat"},  // 32
    {"F G Em Am",     UP, 165, "final", "",     "rolling", "hook1",   "echo",    "cascade", true,  "C",    "offbeat"},  // 33
    {"F G C E",       UP, 165, "final", "fill", "rolling", "hook2",   "echo",    "cascade", true,  "",     "offbeat"},  // 34
    {"F G Em Am",     UP, 165, "final", "",     "rolling", "hook1",   "harmony", "broken",  true,  "CH",   "offbeat"},  // 35
    {"F G C E",       UP, 165, "final", "",     "rolling", "hook2",   "harmony", "broken",  true,  "",     "offbeat"},  // 36
    {"F G Em Am",     UP, 165, "final", "",     "rolling", "hook1",   "harmony", "broken",  true,  "C",    "offbeat"},  // 37
    {"F G E Am",      UP, 165, "final", "end",  "rolling", "hookEnd", "harmony", "broken",  true,  "",     "offbeat"},  // 38
};
// Order 39 is the ring-out that the demo cuts: a soft cymbal and silence.

// ---- Levels (volume column, 0..64) ----------------------------------------
// Written for full strength; each order's level scales them.

constexpr int VOL_KICK = 56, VOL_KICK_GHOST = 32, VOL_KICK_INTRO = 42;
constexpr int VOL_SNARE = 64, VOL_SNARE_GHOST = 22;
constexpr int VOL_ROLL_START = 12, VOL_ROLL_END = 60;
constexpr int VOL_HAT_SOFT = 24, VOL_HAT = 34, VOL_HAT_ACCENT = 44, VOL_OPEN_HAT = 30;
constexpr int VOL_BASS = 35;
// The lead leans on the first beat of a bar and gives less to notes off the beat.
constexpr int VOL_LEAD_DOWNBEAT = 32, VOL_LEAD_BEAT = 28, VOL_LEAD_OFFBEAT = 25;
constexpr int VOL_ECHO = 5, VOL_HARMONY = 8;
// Pad and arpeggio step back while a melody sings and come forward without one.
struct Backing { int arp, arpAccent, pad; };
constexpr Backing UNDER_MELODY = {4, 6, 9}, ALONE = {9, 12, 12};
constexpr int VOL_ARP_FADE_START = 2;
constexpr int VOL_CRASH = 44, VOL_STAB = 20, VOL_HIT = 48;
constexpr int VOL_RING_OUT_CRASH = 14;
constexpr int VOL_RISER_START = 4, VOL_RISER_END = 30;

constexpr uint8_t VIBRATO = 0x34;         // speed 3, depth 4
constexpr int VIBRATO_AFTER = 4;          // rows a note is held before it wobbles
constexpr int ECHO_DELAY = 3;             // a dotted eighth
constexpr uint8_t ECHO_PAN = 0x50;        // left of centre
constexpr uint8_t RISER_SLIDE = 0x05;     // pitch slide a row, one bar's riser
constexpr uint8_t RISER_SLIDE_LONG = 0x03;
constexpr uint8_t PAD_GLIDE = 0x18;       // a pad voice slides to its next note in a few ticks
constexpr int FINAL_RELEASE = 8;          // rows the final hit holds before everything lets go

// ---- Pitch ----------------------------------------------------------------
// Notes are MIDI numbers (middle C 60) until they go into a cell.

constexpr int MIDI_OF_XM_C4 = 60;
constexpr int BASS_LOW = 36;   // the bass root sits in C2 .. B2, above the kick
constexpr int ARP_LOW = 57;    // arpeggio root in A3 .. G#4
constexpr int PAD_LOW = 55;    // pad chords start in G3 .. F#4 ...
constexpr int PAD_FLOOR = 50, PAD_CEILING = 71;  // ... and move by the nearest note within D3 .. B4
constexpr int STAB_LOW = 55;
constexpr int HIT_LOW = 52;

uint8_t xmNote(int midi)
{
    int n = midi - MIDI_OF_XM_C4 + xm::NOTE_C4;
    if (n < 1 || n > xm::NOTE_COUNT) throw std::logic_error("note out of the tracker's range");
    return uint8_t(n);
}

// The note of pitch class pc (0 = C) in [low, low + 12).
int placeInOctave(int pc, int low)
{
    int n = low + ((pc - low) % 12 + 12) % 12;
    return n;
}

int parseNote(const std::string& token)
{
    static const int LETTER[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
    if (token.size() < 2 || token[0] < 'A' || token[0] > 'G') throw std::logic_error("bad note " + token);
    int pc = LETTER[token[0] - 'A'];
    size_t i = 1;
    if (token[i] == '#') { ++pc; ++i; }
    else if (token[i] == 'b') { --pc; ++i; }
    int octave = std::stoi(token.substr(i));
    return (octave + 1) * 12 + pc;
}

struct Chord {
    int root;  // pitch class
    bool minor;
    int tone(int i) const { return root + (i == 0 ? 0 : i == 1 ? (minor ? 3 : 4) : 7); }
    bool operator==(const Chord&) const = default;
};

Chord parseChord(const std::string& name, int transpose)
{
    int pc = parseNote(name.substr(0, name.size() > 1 && (name[1] == '#' || name[1] == 'b') ? 2 : 1) + "0") % 12;
    bool minor = name.back() == 'm';
    return {((pc + transpose) % 12 + 12) % 12, minor};
}

std::vector<std::string> words(const std::string& text)
{
    std::string spaced = text;
    for (char& c : spaced)
        if (c == '|') c = ' ';  // bar lines are for reading only
    std::istringstream in(spaced);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

// An order's harmony by half bars.
struct Harmony {
    Chord halves[BARS_PER_ORDER * 2];
    const Chord& at(int bar, int step) const { return halves[bar * 2 + (step >= STEPS_PER_BAR / 2)]; }
};

Harmony parseHarmony(const char* chords, int transpose)
{
    std::vector<std::string> bars = words(chords);
    if (bars.size() != size_t(BARS_PER_ORDER)) throw std::logic_error("an order needs four bars of chords");
    Harmony h;
    for (int b = 0; b < BARS_PER_ORDER; ++b) {
        const std::string& bar = bars[size_t(b)];
        size_t split = bar.find('-');
        h.halves[b * 2] = parseChord(bar.substr(0, split), transpose);
        h.halves[b * 2 + 1] = split == std::string::npos ? h.halves[b * 2] : parseChord(bar.substr(split + 1), transpose);
    }
    return h;
}

// The scale step below a note in the key of A minor moved by transpose, for
// the harmony voice a third under the melody.
int thirdBelow(int midi, int transpose)
{
    static const int MINOR_SCALE[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    int pc = ((midi - transpose) % 12 + 12) % 12;
    int scalePc = pc == 8 ? 7 : pc;  // G# (the leading note) counts as G
    int degree = 0;
    while (MINOR_SCALE[degree] != scalePc) ++degree;
    int target = MINOR_SCALE[(degree + 5) % 7];  // two steps down
    int down = (pc - target + 12) % 12;
    return midi - down;
}

bool inChord(int midi, const Chord& c)
{
    for (int i = 0; i < 3; ++i)
        if ((c.tone(i) - midi) % 12 == 0) return true;
    return false;
}

// The harmony voice under a melody note: a third below in the key, unless the
// melody sits on a chord tone and that third clashes with the chord; then the
// next chord tone down, so held notes and the final chord sound clean.
int harmonyBelow(int midi, int transpose, const Chord& c)
{
    int third = thirdBelow(midi, transpose);
    if (!inChord(midi, c) || inChord(third, c)) return third;
    int n = midi - 3;
    while (!inChord(n, c)) --n;
    return n;
}

// The pad's next chord: each voice takes a tone of the chord, the one that
// moves the voices least in all (held tones stay put), staying within the
// pad's range; on a tie the voicing nearer the middle of the range wins.
std::vector<int> nearestVoicing(const std::vector<int>& from, const Chord& chord)
{
    int order[3] = {0, 1, 2};
    std::vector<int> best;
    int bestCost = 0, bestSpread = 0;
    do {
        std::vector<int> next;
        int cost = 0, spread = 0;
        for (size_t v = 0; v < from.size(); ++v) {
            int pc = chord.tone(order[v]) % 12;
            int note = -1;
            for (int n = PAD_FLOOR; n <= PAD_CEILING; ++n)
                if (n % 12 == pc && (note < 0 || std::abs(n - from[v]) < std::abs(note - from[v]))) note = n;
            next.push_back(note);
            cost += std::abs(note - from[v]);
            spread += std::abs(note - (PAD_FLOOR + PAD_CEILING) / 2);
        }
        if (best.empty() || cost < bestCost || (cost == bestCost && spread < bestSpread)) {
            best = next;
            bestCost = cost;
            bestSpread = spread;
        }
    } while (std::next_permutation(order, order + 3));
    return best;
}

// ---- The grid -------------------------------------------------------------

struct Grid {
    int rows;
    std::vector<xm::Cell> cells;
    int level = 100;  // per cent of the written volumes, set per order
    explicit Grid(int rowCount) : rows(rowCount), cells(size_t(rowCount) * CHANNEL_COUNT) {}
    xm::Cell& at(int row, int channel) { return cells.at(size_t(row) * CHANNEL_COUNT + channel); }
    bool has(int row) const { return row >= 0 && row < rows; }
    uint8_t scaled(int v, int maxLevel = 1000) const
    {
        return uint8_t(xm::VOLUME_SET + std::clamp(v * std::min(level, maxLevel) / 100, 0, 64));
    }

    void note(int row, int channel, int midi, uint8_t instrument, int volume, int maxLevel = 1000)
    {
        if (!has(row)) return;
        xm::Cell& c = at(row, channel);
        c.note = xmNote(midi);
        c.instrument = instrument;
        c.volume = scaled(volume, maxLevel);
    }
    // Slides the sounding note to a new pitch without striking it again.
    void glide(int row, int channel, int midi, uint8_t speed)
    {
        if (!has(row)) return;
        xm::Cell& c = at(row, channel);
        c.note = xmNote(midi);
        c.instrument = 0;
        c.effect = xm::FX_TONE_PORTA;
        c.param = speed;
    }
    void release(int row, int channel)
    {
        if (!has(row)) return;
        xm::Cell& c = at(row, channel);
        c.note = xm::NOTE_KEY_OFF;
        c.instrument = 0;
        c.volume = 0;
    }
    void effect(int row, int channel, uint8_t fx, uint8_t param)
    {
        if (!has(row)) return;
        at(row, channel).effect = fx;
        at(row, channel).param = param;
    }
    void volume(int row, int channel, int v)
    {
        if (has(row)) at(row, channel).volume = scaled(v);
    }
};

int lerp(int a, int b, int i, int n) { return a + (b - a) * i / (n > 1 ? n - 1 : 1); }

// ---- The arranger ---------------------------------------------------------

struct Arranger {
    Grid grid{FINAL_ORDER * ROWS_PER_ORDER + FINAL_ROWS};
    std::vector<int> padNotes;  // what the pad holds, empty when silent

    static const Backing& backing(const OrderPlan& p) { return *p.lead ? UNDER_MELODY : ALONE; }

    // Bars of the order that play the groove: all but the final hit's.
    static int playedBars(const OrderPlan& p) { return std::strcmp(p.ending, "end") == 0 ? BARS_PER_ORDER - 1 : BARS_PER_ORDER; }

    void drums(int base, const OrderPlan& p)
    {
        const Groove& g = GROOVES.at(p.drums);
        bool intro = std::strcmp(p.drums, "intro") == 0;
        for (int bar = 0; bar < playedBars(p); ++bar) {
            bool last = bar == BARS_PER_ORDER - 1;
            bool roll = last && std::strcmp(p.ending, "roll") == 0;
            bool fill = last && std::strcmp(p.ending, "fill") == 0;
            const char* kick = roll ? ROLL_KICK : g.kick;
            const char* snare = fill ? FILL_SNARE : g.snare;
            for (int s = 0; s < STEPS_PER_BAR; ++s) {
                int row = base + bar * STEPS_PER_BAR + s;
                if (kick[s] == 'x') grid.note(row, CH_KICK, MIDI_OF_XM_C4, INS_KICK, intro ? VOL_KICK_INTRO : VOL_KICK);
                if (kick[s] == 'g') grid.note(row, CH_KICK, MIDI_OF_XM_C4, INS_KICK, VOL_KICK_GHOST);
                if (roll) {
                    grid.note(row, CH_SNARE, MIDI_OF_XM_C4, INS_SNARE, lerp(VOL_ROLL_START, VOL_ROLL_END, s, STEPS_PER_BAR));
                    continue;  // the hats stop for the roll
                }
                if (snare[s] == 'x') grid.note(row, CH_SNARE, MIDI_OF_XM_C4, INS_SNARE, VOL_SNARE);
                if (snare[s] == 'g') grid.note(row, CH_SNARE, MIDI_OF_XM_C4, INS_SNARE, VOL_SNARE_GHOST);
                switch (g.hats[s]) {
                case 's': grid.note(row, CH_HATS, MIDI_OF_XM_C4, INS_HAT, VOL_HAT_SOFT); break;
                case 'c': grid.note(row, CH_HATS, MIDI_OF_XM_C4, INS_HAT, VOL_HAT); break;
                case 'C': grid.note(row, CH_HATS, MIDI_OF_XM_C4, INS_HAT, VOL_HAT_ACCENT); break;
                case 'o': grid.note(row, CH_HATS, MIDI_OF_XM_C4, INS_OPEN_HAT, VOL_OPEN_HAT); break;
                default: break;
                }
            }
        }
    }

    void bass(int base, const OrderPlan& p, const Harmony& h)
    {
        const char* figure = BASS_FIGURES.at(p.bass);
        for (int bar = 0; bar < playedBars(p); ++bar)
            for (int s = 0; s < STEPS_PER_BAR; ++s) {
                int row = base + bar * STEPS_PER_BAR + s;
                int root = placeInOctave(h.at(bar, s).root, BASS_LOW);
                switch (figure[s]) {
                case 'R': grid.note(row, CH_BASS, root, INS_BASS, VOL_BASS); break;
                case 'O': grid.note(row, CH_BASS, root + 12, INS_BASS, VOL_BASS); break;
                case '5': grid.note(row, CH_BASS, root + 7, INS_BASS, VOL_BASS); break;
                case '^': grid.release(row, CH_BASS); break;
                default: break;
                }
            }
    }

    void melody(int base, const OrderPlan& p, const Harmony& h)
    {
        if (!*p.lead) {
            // Nothing to sing: end what the last order left sounding.
            grid.release(base, CH_LEAD);
            grid.release(base, CH_LEAD2);
            grid.release(base + ECHO_DELAY, CH_LEAD2);
            return;
        }
        std::vector<std::string> tokens = words(MELODIES.at(p.lead));
        if (tokens.size() != size_t(ROWS_PER_ORDER)) throw std::logic_error(std::string("melody length: ") + p.lead);
        bool echo = std::strcmp(p.second, "echo") == 0;
        bool harmony = std::strcmp(p.second, "harmony") == 0;
        int held = -1;  // rows since the sounding note began, -1 when silent
        for (int s = 0; s < ROWS_PER_ORDER; ++s) {
            int row = base + s;
            const std::string& t = tokens[size_t(s)];
            if (t == ".") {
                if (held >= 0 && ++held >= VIBRATO_AFTER) grid.effect(row, CH_LEAD, xm::FX_VIBRATO, VIBRATO);
                continue;
            }
            if (t == "^") {
                held = -1;
                grid.release(row, CH_LEAD);
                if (echo) grid.release(row + ECHO_DELAY, CH_LEAD2);
                if (harmony) grid.release(row, CH_LEAD2);
                continue;
            }
            int n = parseNote(t) + p.transpose;
            held = 0;
            int volume = s % STEPS_PER_BAR == 0 ? VOL_LEAD_DOWNBEAT : s % 4 == 0 ? VOL_LEAD_BEAT : VOL_LEAD_OFFBEAT;
            // Never above its written volumes, so its accents carry in the loudest sections too.
            grid.note(row, CH_LEAD, n, INS_LEAD, volume, 100);
            if (echo) {
                grid.note(row + ECHO_DELAY, CH_LEAD2, n, INS_LEAD, VOL_ECHO);
                grid.effect(row + ECHO_DELAY, CH_LEAD2, xm::FX_PANNING, ECHO_PAN);
            }
            if (harmony)
                grid.note(row, CH_LEAD2, harmonyBelow(n, p.transpose, h.at(s / STEPS_PER_BAR, s % STEPS_PER_BAR)),
                          INS_LEAD, VOL_HARMONY);
        }
    }

    void arpeggio(int base, const OrderPlan& p, const Harmony& h)
    {
        if (!*p.arp) return;
        bool fade = std::strcmp(p.arp, "fadein") == 0, rise = std::strcmp(p.arp, "rise") == 0;
        const char* figure = ARP_FIGURES.at(p.arp);
        const Backing& b = backing(p);
        for (int bar = 0; bar < playedBars(p); ++bar)
            for (int s = 0; s < STEPS_PER_BAR; ++s) {
                if (figure[s] == '.') continue;
                const Chord& c = h.at(bar, s);
                int step = figure[s] - '0' + (rise ? bar : 0);
                int n = c.tone(step % 3) - c.root + placeInOctave(c.root, ARP_LOW) + 12 * (step / 3);
                int i = bar * STEPS_PER_BAR + s;
                int v = fade ? lerp(VOL_ARP_FADE_START, b.arp, i, ROWS_PER_ORDER) : s % 4 == 0 ? b.arpAccent : b.arp;
                grid.note(base + i, CH_ARP, n, INS_ARP, v);
            }
    }

    // Pad chords held from chord to chord: a fresh chord is struck, after
    // that each voice glides to its nearest note of the next chord.
    void padChords(int base, const OrderPlan& p, const Harmony& h)
    {
        if (!p.pad) {
            if (!padNotes.empty())
                for (int v = 0; v < PAD_VOICES; ++v) grid.release(base, CH_PAD1 + v);
            padNotes.clear();
            return;
        }
        // A held chord follows the section's level.
        const Backing& b = backing(p);
        for (int v = 0; v < PAD_VOICES && !padNotes.empty(); ++v) grid.volume(base, CH_PAD1 + v, b.pad);
        for (int half = 0; half < BARS_PER_ORDER * 2; ++half) {
            int row = base + half * STEPS_PER_BAR / 2;
            const Chord& c = h.halves[half];
            if (padNotes.empty()) {
                for (int v = 0; v < PAD_VOICES; ++v) {
                    padNotes.push_back(placeInOctave(c.tone(v) % 12, PAD_LOW));
                    grid.note(row, CH_PAD1 + v, padNotes.back(), INS_PAD, b.pad);
                }
                continue;
            }
            std::vector<int> next = nearestVoicing(padNotes, c);
            for (int v = 0; v < PAD_VOICES; ++v)
                if (next[size_t(v)] != padNotes[size_t(v)]) grid.glide(row, CH_PAD1 + v, next[size_t(v)], PAD_GLIDE);
            padNotes = next;
        }
    }

    void accents(int base, const OrderPlan& p, const Harmony& h)
    {
        std::string a = p.accents;
        // Accents stay at their written volumes in the loudest sections, where
        // they would only add peaks.
        if (a.find('C') != std::string::npos) grid.note(base, CH_CRASH, MIDI_OF_XM_C4, INS_CRASH, VOL_CRASH, 100);
        if (a.find('H') != std::string::npos)
            grid.note(base, CH_HIT, placeInOctave(h.halves[0].root, HIT_LOW), INS_HIT, VOL_HIT, 100);
        bool longRiser = a.find('W') != std::string::npos;
        if (longRiser || a.find('R') != std::string::npos) {
            int bars = longRiser ? 2 : 1;
            int start = base + ROWS_PER_ORDER - bars * STEPS_PER_BAR;
            int length = bars * STEPS_PER_BAR;
            grid.note(start, CH_RISER, MIDI_OF_XM_C4 - 12, INS_RISER, VOL_RISER_START);
            for (int i = 0; i < length; ++i) {
                grid.effect(start + i, CH_RISER, xm::FX_PORTA_UP, longRiser ? RISER_SLIDE_LONG : RISER_SLIDE);
                if (i > 0) grid.volume(start + i, CH_RISER, lerp(VOL_RISER_START, VOL_RISER_END, i, length));
            }
            grid.release(base + ROWS_PER_ORDER, CH_RISER);
        }
        const char* stabs = STAB_FIGURES.at(p.stabs);
        for (int bar = 0; bar < playedBars(p); ++bar)
            for (int s = 0; s < STEPS_PER_BAR; ++s)
                if (stabs[s] == 'x')
                    grid.note(base + bar * STEPS_PER_BAR + s, CH_STAB,
                              placeInOctave(h.at(bar, s).root, STAB_LOW), INS_STAB, VOL_STAB);
    }

    // The last bar of the song's last order: the tonic everywhere at once,
    // held a moment, then every voice lets go so the hit rings out alone.
    void finalHit(int base, const Harmony& h)
    {
        int row = base + (BARS_PER_ORDER - 1) * STEPS_PER_BAR;
        const Chord& c = h.halves[BARS_PER_ORDER * 2 - 1];
        // Everything at once, each at its written volume: louder would only
        // make the song's one peak.
        grid.note(row, CH_KICK, MIDI_OF_XM_C4, INS_KICK, VOL_KICK, 100);
        grid.note(row, CH_SNARE, MIDI_OF_XM_C4, INS_SNARE, VOL_SNARE, 100);
        grid.note(row, CH_CRASH, MIDI_OF_XM_C4, INS_CRASH, VOL_CRASH, 100);
        grid.note(row, CH_HIT, placeInOctave(c.root, HIT_LOW), INS_HIT, VOL_HIT, 100);
        grid.note(row, CH_STAB, placeInOctave(c.root, STAB_LOW), INS_STAB, VOL_STAB, 100);
        grid.note(row, CH_BASS, placeInOctave(c.root, BASS_LOW), INS_BASS, VOL_BASS, 100);
        for (int ch : {CH_BASS, CH_LEAD, CH_LEAD2, CH_ARP, CH_PAD1, CH_PAD2, CH_PAD3, CH_RISER})
            grid.release(row + FINAL_RELEASE, ch);
        padNotes.clear();
    }

    void order(int index, const OrderPlan& p)
    {
        int base = index * ROWS_PER_ORDER;
        grid.level = p.level;
        Harmony h = parseHarmony(p.chords, p.transpose);
        drums(base, p);
        bass(base, p, h);
        melody(base, p, h);
        arpeggio(base, p, h);
        padChords(base, p, h);
        accents(base, p, h);
        if (std::strcmp(p.ending, "end") == 0) finalHit(base, h);
    }

    // Order 39, where the demo stops: a soft cymbal over the dying hit.
    void ringOut()
    {
        grid.level = 100;
        grid.note(FINAL_ORDER * ROWS_PER_ORDER, CH_CRASH, MIDI_OF_XM_C4, INS_CRASH, VOL_RING_OUT_CRASH);
    }
};

// Cuts the grid into one pattern per order and shares identical ones.
xm::Module assemble(const Grid& grid)
{
    xm::Module m;
    m.name = "GLIMVEX";
    m.channels = CHANNEL_COUNT;
    m.restart = 0;
    m.speed = SONG_SPEED;
    m.bpm = SONG_BPM;
    m.linearFrequencies = true;
    for (int o = 0; o < ORDER_COUNT; ++o) {
        int rows = o == FINAL_ORDER ? FINAL_ROWS : ROWS_PER_ORDER;
        xm::Pattern p(rows, CHANNEL_COUNT);
        std::copy(grid.cells.begin() + ptrdiff_t(o) * ROWS_PER_ORDER * CHANNEL_COUNT,
                  grid.cells.begin() + (ptrdiff_t(o) * ROWS_PER_ORDER + rows) * CHANNEL_COUNT, p.cells.begin());
        size_t found = 0;
        while (found < m.patterns.size() && !(m.patterns[found] == p)) ++found;
        if (found == m.patterns.size()) m.patterns.push_back(std::move(p));
        m.orders.push_back(uint8_t(found));
    }
    m.instruments = makeInstruments();
    return m;
}

}  // namespace

xm::Module composeSong()
{
    Arranger a;
    for (int o = 0; o < FINAL_ORDER; ++o) a.order(o, ORDER_PLAN[o]);
    a.ringOut();
    return assemble(a.grid);
}

}  // namespace song
