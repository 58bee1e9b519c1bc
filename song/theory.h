// The song's music theory: notes as MIDI numbers (middle C 60), chords,
// an order's harmony by half bars, the key of A minor's scale steps, and
// the voicing of held chords.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace song {

constexpr int MIDI_OF_XM_C4 = 60;

// The tracker's note for a MIDI note; throws outside its range.
uint8_t xmNote(int midi);

// The note of pitch class pc (0 = C) in [low, low + 12).
int placeInOctave(int pc, int low);

// "A4", "G#3", "Bb5" as a MIDI note.
int parseNote(const std::string& token);

// The words of a text, bar lines ("|") counting as spaces.
std::vector<std::string> words(const std::string& text);

struct Chord {
    int root;  // pitch class
    bool minor;
    int tone(int i) const { return root + (i == 0 ? 0 : i == 1 ? (minor ? 3 : 4) : 7); }
    bool contains(int midi) const;
    bool operator==(const Chord&) const = default;
};

// An order's harmony by half bars, from "Am F-G C E": a chord a bar, or
// two split by "-" for its halves.
struct Harmony {
    Chord halves[8];
    const Chord& at(int bar, int step) const { return halves[bar * 2 + (step >= 8)]; }
};
Harmony parseHarmony(const char* chords);

// The note `steps` steps of A minor above (below when negative) `midi`; the
// leading note G# counts as G.
int scaleStep(int midi, int steps);

// The harmony voice under a melody note: a third below in the key, unless the
// melody sits on a chord tone and that third clashes with the chord; then the
// next chord tone down.
int harmonyBelow(int midi, const Chord& c);

// The next chord of held voices: each voice takes a tone of the chord, the
// one that moves the voices least in all (held tones stay put), within
// [floor, ceiling]; on a tie the voicing nearer the middle wins.
std::vector<int> nearestVoicing(const std::vector<int>& from, const Chord& chord, int floor, int ceiling);

}  // namespace song
