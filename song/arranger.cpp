// The arranger: turns the score (score.h) into rows on one long grid, order
// by order, and cuts the grid into patterns. Here the tracker's expression is
// written: swells and fades, glides, vibrato that follows the note, note
// delays for the shuffle, retriggers in fills, sample offsets for ghost
// notes, and panning that places and moves the parts.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "song/compose.h"
#include "song/instruments.h"
#include "song/melody.h"
#include "song/score.h"
#include "song/theory.h"

namespace song {
namespace {

constexpr int PAD_VOICES = 3;

// ---- Levels (volume column, 0..64) ----------------------------------------
// Written for full strength; each order's level scales them.

constexpr int VOL_KICK = 50, VOL_KICK_GHOST = 28, VOL_KICK_INTRO = 38;
constexpr int VOL_SNARE = 64, VOL_SNARE_GHOST = 20;
constexpr int VOL_ROLL_START = 12, VOL_ROLL_END = 60;
constexpr int VOL_HAT_SOFT = 13, VOL_HAT = 20, VOL_HAT_ACCENT = 28, VOL_OPEN_HAT = 20, VOL_OPEN_HAT_ACCENT = 26;
constexpr int HAT_MAX_LEVEL = 125;  // louder sections lift the hats no further: the top stays calm
constexpr int VOL_BASS = 32;
// The lead leans on the first beat of a bar, gives less to notes off the
// beat, and less again to a note struck twice.
constexpr int VOL_LEAD_DOWNBEAT = 32, VOL_LEAD_BEAT = 28, VOL_LEAD_OFFBEAT = 25, VOL_LEAD_REPEAT = -3;
constexpr int VOL_ECHO = 16, VOL_HARMONY = 18, VOL_COUNTER = 20;
// Pad and arpeggio step back while a melody sings and come forward without one.
struct Backing { int arp, arpAccent, pad; };
constexpr Backing UNDER_MELODY = {9, 12, 9}, ALONE = {14, 18, 12};
constexpr int ARP_MAX_LEVEL = 130;  // louder sections lift the arpeggio no further
constexpr int VOL_ARP_FADE_START = 3;
constexpr int VOL_CRASH = 44, VOL_STAB = 30, VOL_HIT = 48;
constexpr int VOL_RING_OUT_CRASH = 14;
constexpr int VOL_RISER_START = 4;

// ---- Expression -----------------------------------------------------------

constexpr int ECHO_DELAY = 3;               // a dotted eighth
constexpr uint8_t LEAD_GLIDE = 0x10;        // a semitone a tick
constexpr int LEGATO_MAX = 2;               // rows of a note that a step after it slides from
constexpr int GLIDE_PER_SEMITONE = 8;       // a wider slide is quicker: any one takes two ticks
constexpr uint8_t BASS_GLIDE = 0x40;        // an octave in three ticks
constexpr uint8_t PAD_GLIDE = 0x18;         // a pad voice slides to its next note in a few ticks
constexpr uint8_t RISER_SLIDE = 0x05;       // pitch slide a tick, one bar's riser
constexpr uint8_t RISER_SLIDE_LONG = 0x03;
constexpr uint8_t HIT_DRIFT = 0x10;         // the hit's ring drifts right
constexpr int HIT_DRIFT_ROWS = 8;
constexpr int FADE_MIN = 8, FADE_ROWS = 2;  // a note this long fades over its last rows
constexpr uint8_t FADE = xm::VOLUME_SLIDE_DOWN | 1;
// A note struck after another lets that one fall away over the last row's
// five sliding ticks first, as a singer breathes between them: cut off at
// full swing it would click, and faded out to nothing it stops with a step,
// so it falls to a whisper of LET_GO_FLOOR or a little more.
constexpr int SLIDING_TICKS = SONG_SPEED - 1, LET_GO_FLOOR = 1;
constexpr int SHUFFLE_TICKS = 1;            // off-beat sixteenths come this late
constexpr int LATE_TICKS = 2;               // a laid-back melody note
constexpr uint8_t GHOST_OFFSET = 0x04;      // a ghost snare starts 1024 samples in: thinner
constexpr uint8_t DRAG = xm::EX_RETRIGGER | 3;   // a note struck twice in its row
constexpr uint8_t BUZZ = xm::EX_RETRIGGER | 2;   // three times
constexpr uint8_t MINOR_RIPPLE = 0x37, MAJOR_RIPPLE = 0x47;  // arpeggio: third and fifth
constexpr int FINAL_RELEASE = 8;            // rows the final hit holds before everything lets go

// Pans (0 left .. 255 right).
constexpr uint8_t PAN_ECHO = 0x40, PAN_HARMONY = 0xC0, PAN_COUNTER = 0xB0;
constexpr uint8_t PAD_PANS[PAD_VOICES] = {0x48, 0x80, 0xB8};
constexpr uint8_t ARP_PANS[] = {0x58, 0x78, 0x98, 0xB8, 0x98, 0x78};  // the arpeggio swings across

// Breathing pads: within each bar a voice swells, then falls back as much.
constexpr uint8_t SWELL = 0x10, EBB = 0x01;  // volume slides: up, down a step a tick
constexpr int SWELL_ROW = 1, EBB_ROW = 9;

// ---- Pitch ----------------------------------------------------------------

constexpr int BASS_LOW = 36;   // the bass root sits in C2 .. B2, above the kick
constexpr int ARP_LOW = 57;    // arpeggio root in A3 .. G#4
constexpr int PAD_LOW = 55;    // pad chords start in G3 .. F#4 ...
constexpr int PAD_FLOOR = 50, PAD_CEILING = 71;  // ... and move by the nearest note within D3 .. B4
constexpr int STAB_LOW = 55;
constexpr int HIT_LOW = 52;

int lerp(int a, int b, int i, int n) { return a + (b - a) * i / (n > 1 ? n - 1 : 1); }

// A player's unevenness: -2 .. 2, the same every time for the same row.
int human(int row) { return (row * 7 + row / 16 * 3) % 5 - 2; }

bool is(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

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
    void extended(int row, int channel, uint8_t command) { effect(row, channel, xm::FX_EXTENDED, command); }
    void volume(int row, int channel, int v)
    {
        if (has(row)) at(row, channel).volume = scaled(v);
    }
    void volumeCommand(int row, int channel, uint8_t command)
    {
        if (has(row)) at(row, channel).volume = command;
    }
};

// Vibrato that follows the note: none on short notes; on longer ones it
// starts later, and the longest widen and quicken as they are held.
void vibrato(Grid& grid, int channel, const MelodyNote& n, int base)
{
    int onset = n.length >= 12 ? 4 : n.length >= 6 ? 3 : 2;
    if (n.length < 4) return;
    for (int r = onset; r < n.length; ++r) {
        int held = r - onset;
        int speed = n.length >= 12 ? 4 + held / 6 : n.length >= 6 ? 5 : 6;
        int depth = n.length >= 12 ? std::min(5, 2 + held / 3) : n.length >= 6 ? 2 + held / 3 : 2;
        grid.effect(base + n.row + r, channel, xm::FX_VIBRATO, uint8_t(std::min(speed, 15) << 4 | std::min(depth, 15)));
    }
}

// ---- The arranger ---------------------------------------------------------

struct Arranger {
    Grid grid{FINAL_ORDER * ROWS_PER_ORDER + FINAL_ROWS};
    std::vector<int> padNotes;  // what the pad holds, empty when silent
    int fills = 0;              // fills played so far: each takes the next

    static const Backing& backing(const OrderPlan& p) { return *p.lead ? UNDER_MELODY : ALONE; }

    // Bars of the order that play the groove: all but the final hit's.
    static int playedBars(const OrderPlan& p) { return is(p.ending, "end") ? BARS_PER_ORDER - 1 : BARS_PER_ORDER; }

    // A shuffled section plays its off-beat sixteenths a tick late.
    void swing(int row, int channel, const OrderPlan& p)
    {
        if (p.shuffle && row % 2 == 1 && grid.at(row, channel).effect == 0) grid.extended(row, channel, xm::EX_NOTE_DELAY | SHUFFLE_TICKS);
    }

    void drumBar(int start, const DrumBar& bar, const OrderPlan& p, bool intro)
    {
        for (int s = 0; s < STEPS_PER_BAR; ++s) {
            int row = start + s;
            switch (bar.kick[s]) {
            case 'x': grid.note(row, CH_KICK, MIDI_OF_XM_C4, INS_KICK, (intro ? VOL_KICK_INTRO : VOL_KICK) + human(row)); break;
            case 'g': grid.note(row, CH_KICK, MIDI_OF_XM_C4, INS_KICK, VOL_KICK_GHOST + human(row)); break;
            default: break;
            }
            if (bar.kick[s] != '.') swing(row, CH_KICK, p);
            switch (bar.snare[s]) {
            case 'x': grid.note(row, CH_SNARE, MIDI_OF_XM_C4, INS_SNARE, VOL_SNARE); break;
            case 'g':
                grid.note(row, CH_SNARE, MIDI_OF_XM_C4, INS_SNARE, VOL_SNARE_GHOST + 2 * human(row));
                if (!(p.shuffle && row % 2 == 1)) grid.effect(row, CH_SNARE, xm::FX_SAMPLE_OFFSET, GHOST_OFFSET);
                break;
            case 'r':
                grid.note(row, CH_SNARE, MIDI_OF_XM_C4, INS_SNARE, VOL_SNARE - 8);
                grid.extended(row, CH_SNARE, DRAG);
                break;
            default: break;
            }
            if (bar.snare[s] != '.') swing(row, CH_SNARE, p);
            int hat = 0;
            uint8_t instrument = INS_HAT;
            switch (bar.hats[s]) {
            case 's': hat = VOL_HAT_SOFT; break;
            case 'c': hat = VOL_HAT; break;
            case 'C': hat = VOL_HAT_ACCENT; break;
            case 'r': hat = VOL_HAT; break;
            case 'o': hat = VOL_OPEN_HAT; instrument = INS_OPEN_HAT; break;
            case 'O': hat = VOL_OPEN_HAT_ACCENT; instrument = INS_OPEN_HAT; break;
            default: break;
            }
            if (!hat) continue;
            grid.note(row, CH_HATS, MIDI_OF_XM_C4, instrument, hat + human(row), HAT_MAX_LEVEL);
            if (bar.hats[s] == 'r') grid.extended(row, CH_HATS, DRAG);
            swing(row, CH_HATS, p);
        }
    }

    // A bar's snare roll, growing over the bar into a buzz.
    void roll(int start)
    {
        for (int s = 0; s < STEPS_PER_BAR; ++s) {
            if (s % 4 == 0) grid.note(start + s, CH_KICK, MIDI_OF_XM_C4, INS_KICK, VOL_KICK);
            grid.note(start + s, CH_SNARE, MIDI_OF_XM_C4, INS_SNARE, lerp(VOL_ROLL_START, VOL_ROLL_END, s, STEPS_PER_BAR));
            if (s >= STEPS_PER_BAR - 4) grid.extended(start + s, CH_SNARE, BUZZ);
        }
    }

    void drums(int base, const OrderPlan& p)
    {
        const Groove& g = GROOVES.at(p.drums);
        bool intro = is(p.drums, "intro");
        for (int bar = 0; bar < playedBars(p); ++bar) {
            int start = base + bar * STEPS_PER_BAR;
            bool last = bar == BARS_PER_ORDER - 1;
            if (last && is(p.ending, "roll")) {
                roll(start);
                continue;
            }
            if (last && is(p.ending, "fill")) {
                drumBar(start, FILLS[fills++ % FILL_COUNT], p, intro);
                continue;
            }
            drumBar(start, bar % 2 == 0 ? g.main : g.turn, p, intro);
        }
    }

    void bass(int base, const OrderPlan& p, const Harmony& h, const Harmony& next)
    {
        const BassFigure& f = BASS_FIGURES.at(p.bass);
        for (int bar = 0; bar < playedBars(p); ++bar) {
            const char* figure = bar == BARS_PER_ORDER - 1 ? f.turn : f.main;
            const Chord& following = bar + 1 < BARS_PER_ORDER ? h.at(bar + 1, 0) : next.at(0, 0);
            for (int s = 0; s < STEPS_PER_BAR; ++s) {
                int row = base + bar * STEPS_PER_BAR + s;
                const Chord& c = h.at(bar, s);
                int root = placeInOctave(c.root, BASS_LOW);
                int target = placeInOctave(following.root, BASS_LOW);
                bool moves = target != root;
                switch (figure[s]) {
                case 'R': grid.note(row, CH_BASS, root, INS_BASS, VOL_BASS); break;
                case 'O': grid.note(row, CH_BASS, root + 12, INS_BASS, VOL_BASS); break;
                case 'o': grid.glide(row, CH_BASS, root + 12, BASS_GLIDE); break;
                case '5': grid.note(row, CH_BASS, root + 7, INS_BASS, VOL_BASS); break;
                case '3': grid.note(row, CH_BASS, c.tone(1) - c.root + root, INS_BASS, VOL_BASS); break;
                case 'p': grid.note(row, CH_BASS, scaleStep(root, moves && target < root ? -1 : 1), INS_BASS, VOL_BASS - 4); break;
                case 'a': grid.note(row, CH_BASS, moves ? target - 1 : root + 7, INS_BASS, VOL_BASS - 4); break;
                case '^': grid.release(row, CH_BASS); break;
                default: break;
                }
                if (figure[s] != '.' && figure[s] != '^' && figure[s] != '-' && figure[s] != 'o') swing(row, CH_BASS, p);
            }
        }
    }

    // A melody on a channel: struck or glided notes with their dynamics,
    // vibrato, fades and delays.
    // A second voice, quieter, sings legato throughout: it strikes only
    // after a rest or to repeat a note.
    void sing(int base, int channel, const std::vector<MelodyNote>& notes, uint8_t instrument, int volumeShift, int pan,
              bool legato = false)
    {
        int previous = 0, struck = 0;
        for (size_t i = 0; i < notes.size(); ++i) {
            const MelodyNote& n = notes[i];
            int row = base + n.row;
            // The note before, if it still sounds when this one comes.
            const MelodyNote* before = i > 0 && !notes[i - 1].released ? &notes[i - 1] : nullptr;
            int step = std::abs(n.pitch - previous);
            // Quick runs are sung legato: after a short note the next slides
            // there; a sounding note is never cut off mid-swing, which clicks.
            bool slide = before && step > 0 &&
                         (legato || n.glide || before->length == 1 || (before->length <= LEGATO_MAX && step <= 2));
            if (slide) {
                grid.glide(row, channel, n.pitch, uint8_t(std::max<int>(LEAD_GLIDE, step * GLIDE_PER_SEMITONE)));
            } else {
                if (before) grid.volumeCommand(row - 1, channel, uint8_t(xm::VOLUME_SLIDE_DOWN | std::clamp((struck - LET_GO_FLOOR) / SLIDING_TICKS, 0, 15)));
                int volume = n.row % STEPS_PER_BAR == 0 ? VOL_LEAD_DOWNBEAT : n.row % 4 == 0 ? VOL_LEAD_BEAT : VOL_LEAD_OFFBEAT;
                if (n.pitch == previous) volume += VOL_LEAD_REPEAT;
                // Never above its written volumes, so its accents carry in the loudest sections too.
                grid.note(row, channel, n.pitch, instrument, volume + volumeShift, 100);
                struck = grid.at(row, channel).volume - xm::VOLUME_SET;
                if (n.late) grid.extended(row, channel, xm::EX_NOTE_DELAY | LATE_TICKS);
                else if (pan >= 0) grid.effect(row, channel, xm::FX_PANNING, uint8_t(pan));
            }
            vibrato(grid, channel, n, base);
            if (n.length >= FADE_MIN)
                for (int r = n.length - FADE_ROWS; r < n.length; ++r) grid.volumeCommand(row + r, channel, FADE);
            if (n.released) grid.release(row + n.length, channel);
            previous = n.pitch;
        }
    }

    void melody(int base, const OrderPlan& p, const Harmony& h)
    {
        if (!*p.lead) {
            // Nothing to sing: end what the last order left sounding.
            grid.release(base, CH_LEAD);
            grid.release(base + ECHO_DELAY, CH_LEAD2);
            return;
        }
        std::vector<MelodyNote> notes = varied(parseMelody(MELODIES.at(p.lead), ROWS_PER_ORDER), p.variation);
        // The verse themes are sung by the softer lead, the rest by the bright one.
        uint8_t instrument = std::strncmp(p.lead, "theme", 5) == 0 ? INS_SOFT_LEAD : INS_LEAD;
        sing(base, CH_LEAD, notes, instrument, 0, -1);

        if (is(p.second, "echo")) {
            std::vector<MelodyNote> echo = notes;
            for (MelodyNote& n : echo) {
                n.row += ECHO_DELAY;
                n.late = false;
            }
            sing(base, CH_LEAD2, echo, instrument, VOL_ECHO - VOL_LEAD_BEAT, PAN_ECHO, true);
        } else if (is(p.second, "harmony")) {
            std::vector<MelodyNote> below = notes;
            for (MelodyNote& n : below) {
                n.pitch = harmonyBelow(n.pitch, h.at(n.row / STEPS_PER_BAR, n.row % STEPS_PER_BAR));
                n.late = false;
            }
            sing(base, CH_LEAD2, below, instrument, VOL_HARMONY - VOL_LEAD_BEAT, PAN_HARMONY, true);
        } else if (*p.second) {
            sing(base, CH_LEAD2, parseMelody(MELODIES.at(p.second), ROWS_PER_ORDER), INS_SOFT_LEAD, VOL_COUNTER - VOL_LEAD_BEAT,
                 PAN_COUNTER, true);
        } else {
            grid.release(base + ECHO_DELAY, CH_LEAD2);
        }
    }

    void arpeggio(int base, const OrderPlan& p, const Harmony& h)
    {
        if (!*p.arp) return;
        bool fade = is(p.arp, "fadein"), rise = is(p.arp, "rise");
        // Where the drums are sparse the bell plays it.
        uint8_t instrument = is(p.drums, "") || is(p.drums, "intro") || is(p.drums, "half") ? INS_BELL : INS_ARP;
        const char* figure = ARP_FIGURES.at(p.arp);
        const Backing& b = backing(p);
        int struck = 0;
        uint8_t ripple = 0;
        for (int bar = 0; bar < playedBars(p); ++bar)
            for (int s = 0; s < STEPS_PER_BAR; ++s) {
                const Chord& c = h.at(bar, s);
                int i = bar * STEPS_PER_BAR + s;
                int low = placeInOctave(c.root, ARP_LOW);
                if (figure[s] == 'c') {
                    ripple = c.minor ? MINOR_RIPPLE : MAJOR_RIPPLE;
                    grid.note(base + i, CH_ARP, low, instrument, b.arpAccent, ARP_MAX_LEVEL);
                }
                if (ripple) grid.effect(base + i, CH_ARP, xm::FX_ARPEGGIO, ripple);
                if (figure[s] == '.' || figure[s] == 'c') continue;
                int step = figure[s] - '0' + (rise ? bar : 0);
                int n = c.tone(step % 3) - c.root + low + 12 * (step / 3);
                int v = fade ? lerp(VOL_ARP_FADE_START, b.arp, i, ROWS_PER_ORDER) : s % 4 == 0 ? b.arpAccent : b.arp;
                grid.note(base + i, CH_ARP, n, instrument, v, ARP_MAX_LEVEL);
                grid.effect(base + i, CH_ARP, xm::FX_PANNING, ARP_PANS[struck++ % std::size(ARP_PANS)]);
            }
    }

    // Pad chords held from chord to chord: a fresh chord is struck, its
    // voices spread across the field; after that each voice glides to its
    // nearest note of the next chord, breathing within each half bar.
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
        constexpr int HALF = STEPS_PER_BAR / 2;
        for (int half = 0; half < BARS_PER_ORDER * 2; ++half) {
            int row = base + half * HALF;
            const Chord& c = h.halves[half];
            if (padNotes.empty()) {
                for (int v = 0; v < PAD_VOICES; ++v) {
                    padNotes.push_back(placeInOctave(c.tone(v) % 12, PAD_LOW));
                    grid.note(row, CH_PAD1 + v, padNotes.back(), INS_PAD, b.pad);
                    grid.effect(row, CH_PAD1 + v, xm::FX_PANNING, PAD_PANS[v]);
                }
            } else {
                std::vector<int> next = nearestVoicing(padNotes, c, PAD_FLOOR, PAD_CEILING);
                for (int v = 0; v < PAD_VOICES; ++v)
                    if (next[size_t(v)] != padNotes[size_t(v)]) grid.glide(row, CH_PAD1 + v, next[size_t(v)], PAD_GLIDE);
                padNotes = next;
            }
        }
        for (int bar = 0; bar < playedBars(p); ++bar)
            for (int v = 0; v < PAD_VOICES; ++v) {
                grid.effect(base + bar * STEPS_PER_BAR + SWELL_ROW, CH_PAD1 + v, xm::FX_VOLUME_SLIDE, SWELL);
                grid.effect(base + bar * STEPS_PER_BAR + EBB_ROW, CH_PAD1 + v, xm::FX_VOLUME_SLIDE, EBB);
            }
    }

    void accents(int base, const OrderPlan& p, const Harmony& h)
    {
        std::string a = p.accents;
        // Accents stay at their written volumes in the loudest sections, where
        // they would only add peaks.
        if (a.find('C') != std::string::npos) grid.note(base, CH_CRASH, MIDI_OF_XM_C4, INS_CRASH, VOL_CRASH, 100);
        if (a.find('H') != std::string::npos) hit(base, h.halves[0]);
        bool longRiser = a.find('W') != std::string::npos;
        if (longRiser || a.find('R') != std::string::npos) {
            int bars = longRiser ? 2 : 1;
            int start = base + ROWS_PER_ORDER - bars * STEPS_PER_BAR;
            int length = bars * STEPS_PER_BAR;
            grid.note(start, CH_RISER, MIDI_OF_XM_C4 - 12, INS_RISER, VOL_RISER_START);
            for (int i = 0; i < length; ++i) {
                grid.effect(start + i, CH_RISER, xm::FX_PORTA_UP, longRiser ? RISER_SLIDE_LONG : RISER_SLIDE);
                if (i > 0) grid.volumeCommand(start + i, CH_RISER, xm::VOLUME_FINE_UP | (longRiser ? 1 : 2));
            }
            grid.release(base + ROWS_PER_ORDER, CH_RISER);
        }
        const char* stabs = STAB_FIGURES.at(p.stabs);
        for (int bar = 0; bar < playedBars(p); ++bar)
            for (int s = 0; s < STEPS_PER_BAR; ++s)
                if (stabs[s] == 'x')
                    grid.note(base + bar * STEPS_PER_BAR + s, CH_STAB, placeInOctave(h.at(bar, s).root, STAB_LOW), INS_STAB,
                              VOL_STAB + human(s));
    }

    // The big hit, its ring drifting to the right.
    void hit(int row, const Chord& c)
    {
        grid.note(row, CH_HIT, placeInOctave(c.root, HIT_LOW), INS_HIT, VOL_HIT, 100);
        for (int r = 1; r <= HIT_DRIFT_ROWS; ++r) grid.effect(row + r, CH_HIT, xm::FX_PANNING_SLIDE, HIT_DRIFT);
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
        hit(row, c);
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
        Harmony h = parseHarmony(p.chords);
        Harmony next = index + 1 < FINAL_ORDER ? parseHarmony(ORDER_PLAN[index + 1].chords) : h;
        drums(base, p);
        bass(base, p, h, next);
        melody(base, p, h);
        arpeggio(base, p, h);
        padChords(base, p, h);
        accents(base, p, h);
        if (is(p.ending, "end")) finalHit(base, h);
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
