#include "song/melody.h"

#include <stdexcept>

#include "song/theory.h"

namespace song {
namespace {

constexpr int BAR = 16;
constexpr int TURN_MIN = 8;      // rows a note must last for a turn
constexpr int REPEAT_MIN = 6;    // ... to be struck again
constexpr int REPEAT_AFTER = 3;
constexpr int ANTICIPATE_MIN = 3;  // rows the note before must last to give one up

// Splits note i at `after` rows into itself and a note of `pitch`.
void split(std::vector<MelodyNote>& notes, size_t i, int after, int pitch)
{
    MelodyNote tail = notes[i];
    tail.row += after;
    tail.length -= after;
    tail.pitch = pitch;
    tail.glide = false;
    tail.late = false;
    notes[i].length = after;
    notes[i].released = false;
    notes.insert(notes.begin() + ptrdiff_t(i) + 1, tail);
}

}  // namespace

std::vector<MelodyNote> parseMelody(const std::string& text, int rows)
{
    std::vector<std::string> tokens = words(text);
    if (tokens.size() != size_t(rows)) throw std::logic_error("melody length: " + text.substr(0, 20));
    std::vector<MelodyNote> notes;
    for (int s = 0; s < rows; ++s) {
        const std::string& t = tokens[size_t(s)];
        if (t == ".") {
            if (!notes.empty() && !notes.back().released) ++notes.back().length;
            continue;
        }
        if (t == "^") {
            if (!notes.empty()) notes.back().released = true;
            continue;
        }
        std::string name = t;
        bool glide = name.back() == '~', late = name.back() == '\'';
        if (glide || late) name.pop_back();
        notes.push_back({s, parseNote(name), 1, glide, late, false});
    }
    return notes;
}

std::vector<MelodyNote> varied(std::vector<MelodyNote> notes, const std::string& how)
{
    auto has = [&](char c) { return how.find(c) != std::string::npos; };
    if (has('t'))
        for (size_t i = 0; i < notes.size(); ++i)
            if (notes[i].length >= TURN_MIN) {
                int half = notes[i].length / 2, pitch = notes[i].pitch;
                split(notes, i, half, scaleStep(pitch, 1));
                split(notes, i + 1, 2, pitch);
                i += 2;
            }
    if (has('r'))
        for (size_t i = 0; i < notes.size(); ++i)
            if (notes[i].length >= REPEAT_MIN) {
                split(notes, i, REPEAT_AFTER, notes[i].pitch);
                ++i;
            }
    if (has('a'))
        for (size_t i = 1; i < notes.size(); ++i) {
            MelodyNote& n = notes[i];
            MelodyNote& before = notes[i - 1];
            if (n.row % BAR == 0 && !before.released && before.row + before.length == n.row && before.length >= ANTICIPATE_MIN) {
                --n.row;
                ++n.length;
                --before.length;
            }
        }
    for (MelodyNote& n : notes) {
        if (has('d') && n.row < 2 * BAR) n.pitch -= 12;
        if (has('o') && n.row >= 2 * BAR) n.pitch += 12;
        if (has('l') && n.row % 2 == 1) n.late = true;
    }
    return notes;
}

}  // namespace song
