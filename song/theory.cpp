#include "song/theory.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "song/xm_writer.h"

namespace song {
namespace {

Chord parseChord(const std::string& name)
{
    int pc = parseNote(name.substr(0, name.size() > 1 && (name[1] == '#' || name[1] == 'b') ? 2 : 1) + "0") % 12;
    return {pc, name.back() == 'm'};
}

}  // namespace

uint8_t xmNote(int midi)
{
    int n = midi - MIDI_OF_XM_C4 + xm::NOTE_C4;
    if (n < 1 || n > xm::NOTE_COUNT) throw std::logic_error("note out of the tracker's range");
    return uint8_t(n);
}

int placeInOctave(int pc, int low) { return low + ((pc - low) % 12 + 12) % 12; }

int parseNote(const std::string& token)
{
    static const int LETTER[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
    if (token.size() < 2 || token[0] < 'A' || token[0] > 'G') throw std::logic_error("bad note " + token);
    int pc = LETTER[token[0] - 'A'];
    size_t i = 1;
    if (token[i] == '#') { ++pc; ++i; }
    else if (token[i] == 'b') { --pc; ++i; }
    return (std::stoi(token.substr(i)) + 1) * 12 + pc;
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

bool Chord::contains(int midi) const
{
    for (int i = 0; i < 3; ++i)
        if ((tone(i) - midi) % 12 == 0) return true;
    return false;
}

Harmony parseHarmony(const char* chords)
{
    std::vector<std::string> bars = words(chords);
    if (bars.size() != 4) throw std::logic_error(std::string("an order needs four bars of chords: ") + chords);
    Harmony h;
    for (int b = 0; b < 4; ++b) {
        const std::string& bar = bars[size_t(b)];
        size_t split = bar.find('-');
        h.halves[b * 2] = parseChord(bar.substr(0, split));
        h.halves[b * 2 + 1] = split == std::string::npos ? h.halves[b * 2] : parseChord(bar.substr(split + 1));
    }
    return h;
}

int scaleStep(int midi, int steps)
{
    static const int ABOVE_A[7] = {0, 2, 3, 5, 7, 8, 10};  // the scale's steps above A
    int pc = (midi % 12 + 12) % 12;
    if (pc == 8) --midi;  // G# moves as G
    int fromA = ((midi - 9) % 12 + 12) % 12;
    int degree = 0;
    while (degree < 7 && ABOVE_A[degree] != fromA) ++degree;
    if (degree == 7) return midi + steps;  // outside the key: semitones will do
    int target = degree + steps;
    int octaves = target >= 0 ? target / 7 : -((6 - target) / 7);
    return midi - ABOVE_A[degree] + ABOVE_A[target - 7 * octaves] + 12 * octaves;
}

int harmonyBelow(int midi, const Chord& c)
{
    int third = scaleStep(midi, -2);
    if (!c.contains(midi) || c.contains(third)) return third;
    int n = midi - 3;
    while (!c.contains(n)) --n;
    return n;
}

std::vector<int> nearestVoicing(const std::vector<int>& from, const Chord& chord, int floor, int ceiling)
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
            for (int n = floor; n <= ceiling; ++n)
                if (n % 12 == pc && (note < 0 || std::abs(n - from[v]) < std::abs(note - from[v]))) note = n;
            next.push_back(note);
            cost += std::abs(note - from[v]);
            spread += std::abs(note - (floor + ceiling) / 2);
        }
        if (best.empty() || cost < bestCost || (cost == bestCost && spread < bestSpread)) {
            best = next;
            bestCost = cost;
            bestSpread = spread;
        }
    } while (std::next_permutation(order, order + 3));
    return best;
}

}  // namespace song
