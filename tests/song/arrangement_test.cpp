// The composed song as a musician reads its score. These tests catch an
// arrangement that falls back into a machine: drums that tick on every row
// with one kick pattern for the whole song, a bass of roots only, no tracker
// expression (slides, glides, vibrato, delays, retriggers, sample offsets,
// moving panning), a rigid grid, a lead of arpeggiated chord tones on the
// eighths, and repeats played as copies. The figures come from the song's
// measuring code (song/measure), whose own reading of a score is checked
// here on small cases, with the XM reader that gives it a file's score.
#include "song/compose.h"
#include "song/instruments.h"
#include "song/measure/arrangement.h"
#include "song/measure/xm_reader.h"
#include "song/melody.h"
#include "song/theory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <string>

namespace {

constexpr double MIN_SLIDE_SHARE = 0.02;        // rows with a volume slide
constexpr double MIN_DELAYED_SHARE = 0.02;      // struck notes held back or off the grid
constexpr int MIN_COMMANDS = 6;
constexpr double MIN_BASS_STEPS = 0.08;         // of the bass's moves, to a neighbouring note
constexpr double MIN_REPEATED = 0.10, MIN_ODD_SIXTEENTHS = 0.15, MAX_SKIPS = 0.47;
constexpr int MAX_NEAR_REPEAT_CELLS = 8;        // two orders this close count as one played twice
constexpr double MIN_CHORUS_CHANGE = 0.25;      // of the last chorus's lead notes, not where the first had them
constexpr int FIRST_CHORUS = 11, LAST_CHORUS = 31, CHORUS_ORDERS = 8;

const xm::Module& composed()
{
    static const xm::Module m = song::composeSong();
    return m;
}

std::vector<measure::Note> channelNotes(int channel)
{
    std::vector<measure::Note> out;
    for (const measure::Note& n : measure::notes(composed()))
        if (n.channel == channel) out.push_back(n);
    return out;
}

}  // namespace

TEST(Arrangement, SpeaksTheTrackersLanguageOfExpression)
{
    measure::Expression e = measure::expression(composed());
    EXPECT_GE(int(e.commands.size()), MIN_COMMANDS);
    for (int command : {xm::FX_ARPEGGIO, xm::FX_TONE_PORTA, xm::FX_VIBRATO, xm::FX_PANNING, xm::FX_SAMPLE_OFFSET,
                        xm::FX_VOLUME_SLIDE, xm::FX_EXTENDED, xm::FX_PANNING_SLIDE})
        EXPECT_TRUE(e.commands.count(command)) << "effect " << command << " unused";
    std::set<int> vibratos, extended;
    for (auto [command, param] : e.pairs) {
        if (command == xm::FX_VIBRATO) vibratos.insert(param);
        if (command == xm::FX_EXTENDED) extended.insert(param & 0xF0);
    }
    EXPECT_GE(vibratos.size(), size_t(4)) << "the vibrato is always the same";
    EXPECT_TRUE(extended.count(xm::EX_NOTE_DELAY) && extended.count(xm::EX_RETRIGGER));
    EXPECT_GE(e.slideRows, MIN_SLIDE_SHARE);
    EXPECT_GE(e.slideCells, MIN_SLIDE_SHARE);
    EXPECT_GE(e.delayedNotes, MIN_DELAYED_SHARE) << "every note on the grid";
}

TEST(Arrangement, DrumsAndBassChangeWithTheSectionAndRest)
{
    // The kick's bars: several patterns, not one.
    std::map<int, std::string> kickBars;
    for (const measure::Note& n : channelNotes(song::CH_KICK)) {
        std::string& bar = kickBars[n.order * 4 + n.row / 16];
        bar.resize(16, '.');
        bar[size_t(n.row % 16)] = 'x';
    }
    std::set<std::string> patterns;
    for (const auto& [bar, pattern] : kickBars) patterns.insert(pattern);
    EXPECT_GE(patterns.size(), size_t(5));

    // The hats rest and accent: on at most half the rows, at many levels.
    std::set<std::pair<int, int>> hatRows;
    std::set<int> hatVolumes;
    for (const measure::Note& n : channelNotes(song::CH_HATS)) {
        hatRows.insert({n.order, n.row});
        hatVolumes.insert(n.volume);
    }
    EXPECT_LE(double(hatRows.size()), 0.5 * song::FINAL_ORDER * song::ROWS_PER_ORDER);
    EXPECT_GE(hatVolumes.size(), size_t(6));

    // The bass walks: passing and approach notes move it by a step of one
    // or two semitones, where roots, fifths and octaves leap.
    int moves = 0, steps = 0, previous = 0;
    for (const measure::Note& n : channelNotes(song::CH_BASS)) {
        int step = std::abs(n.pitch - previous);
        if (previous && step) {
            ++moves;
            steps += step <= 2;
        }
        previous = n.pitch;
    }
    EXPECT_GE(double(steps) / moves, MIN_BASS_STEPS) << steps << " of " << moves;
}

TEST(Arrangement, TheLeadSingsStepsRepeatsAndSyncopations)
{
    measure::Line lead = measure::line(composed(), song::CH_LEAD);
    EXPECT_GE(lead.notes, 300);
    EXPECT_GE(lead.repeated, MIN_REPEATED);
    EXPECT_GE(lead.oddSixteenths, MIN_ODD_SIXTEENTHS);
    EXPECT_LE(lead.skips, MAX_SKIPS) << "arpeggiated chord tones";

    // A home: the lead's last note before a rest or an order's end is most
    // often the key's A.
    std::map<int, int> endings;
    std::vector<measure::Note> line = channelNotes(song::CH_LEAD);
    for (size_t i = 0; i + 1 < line.size(); ++i)
        if (line[i + 1].order != line[i].order) endings[(line[i].pitch - 10 + 120) % 12]++;
    int home = endings[0];
    for (const auto& [pc, count] : endings) EXPECT_LE(count, home) << "pitch class " << pc << " above A";
}

TEST(Arrangement, NoOrderIsPlayedTwiceAndTheLastChorusIsNoCopyOfTheFirst)
{
    EXPECT_EQ(measure::nearRepeats(composed(), MAX_NEAR_REPEAT_CELLS), 0);
    auto leadOf = [](int firstOrder) {
        std::set<std::tuple<int, int, int>> at;
        for (const measure::Note& n : channelNotes(song::CH_LEAD))
            if (n.order >= firstOrder && n.order < firstOrder + CHORUS_ORDERS) at.insert({n.order - firstOrder, n.row, n.pitch});
        return at;
    };
    std::set<std::tuple<int, int, int>> first = leadOf(FIRST_CHORUS), last = leadOf(LAST_CHORUS);
    // Any transposition of the first chorus: the last may not match it closely.
    for (int shift = -12; shift <= 12; ++shift) {
        int same = 0;
        for (auto [order, row, pitch] : last) same += first.count({order, row, pitch - shift});
        EXPECT_LE(same, (1 - MIN_CHORUS_CHANGE) * double(last.size())) << "shifted by " << shift;
    }
}

TEST(Arrangement, MeasuresReadAScoreAsAMusicianWould)
{
    // One channel, one order: a line with a repeat, a step, a skip of four
    // and one off the beat; a delayed note; slides on two of sixteen rows.
    xm::Module m{"", 1, 0, 6, 125, true, {0}, {xm::Pattern(16, 1)}, {}};
    xm::Pattern& p = m.patterns[0];
    p.at(0, 0) = {49, 1};
    p.at(2, 0) = {49, 0, 0, xm::FX_VOLUME_SLIDE, 0x01};
    p.at(4, 0) = {51};
    p.at(7, 0) = {55, 0, 0, xm::FX_EXTENDED, xm::EX_NOTE_DELAY | 2};
    p.at(9, 0) = {0, 0, xm::VOLUME_SLIDE_DOWN | 1};
    p.at(12, 0) = {0, 0, 0, xm::FX_ARPEGGIO, 0x00};  // an empty effect: no command
    measure::Line l = measure::line(m, 0);
    EXPECT_EQ(l.notes, 4);
    EXPECT_DOUBLE_EQ(l.repeated, 1.0 / 3);
    EXPECT_DOUBLE_EQ(l.skips, 1.0 / 3);
    EXPECT_DOUBLE_EQ(l.oddSixteenths, 1.0 / 4);
    measure::Expression e = measure::expression(m);
    EXPECT_EQ(e.commands, (std::set<int>{xm::FX_VOLUME_SLIDE, xm::FX_EXTENDED}));
    EXPECT_DOUBLE_EQ(e.slideRows, 2.0 / 16);
    EXPECT_DOUBLE_EQ(e.delayedNotes, 1.0 / 4);

    // Two orders of one pattern are one repeat; a single changed cell keeps
    // it near.
    m.orders = {0, 1};
    m.patterns.push_back(p);
    m.patterns[1].at(15, 0) = {60, 1};
    EXPECT_EQ(measure::nearRepeats(m, 0), 0);
    EXPECT_EQ(measure::nearRepeats(m, 1), 1);
}

TEST(Arrangement, VariationsKeepTheRowsAMelodyFills)
{
    const std::string melody = "A4 . . . . . . . E5 . . . . . . . | C5 . . . . . . . ^ . . . D5 . . .";
    std::vector<song::MelodyNote> plain = song::parseMelody(melody, 32);
    ASSERT_EQ(plain.size(), size_t(4));
    EXPECT_TRUE(plain[2].released);
    for (const char* how : {"t", "r", "a", "d", "o", "l", "tral"}) {
        std::vector<song::MelodyNote> v = song::varied(plain, how);
        int sounding = 0;
        for (size_t i = 0; i < v.size(); ++i) {
            sounding += v[i].length;
            if (i + 1 < v.size() && !v[i].released) {
                EXPECT_EQ(v[i].row + v[i].length, v[i + 1].row) << how;
            }
        }
        EXPECT_EQ(sounding, 28) << how << ": rows gained or lost";
    }
    // A turn goes a step of the key up and back; a repeat strikes the same
    // note again; an anticipation takes the bar's first note a sixteenth early.
    std::vector<song::MelodyNote> turn = song::varied(plain, "t");
    EXPECT_EQ(turn[1].pitch, song::parseNote("B4"));
    EXPECT_EQ(turn[2].pitch, song::parseNote("A4"));
    std::vector<song::MelodyNote> again = song::varied(plain, "r");
    EXPECT_EQ(again[1].pitch, again[0].pitch);
    EXPECT_EQ(again[1].row, 3);
    EXPECT_EQ(song::varied(plain, "a")[2].row, 15);
    EXPECT_EQ(song::scaleStep(song::parseNote("G#4"), 1), song::parseNote("A4"));
    EXPECT_EQ(song::scaleStep(song::parseNote("C5"), -2), song::parseNote("A4"));
}

TEST(Arrangement, TheXmReaderReadsBackWhatTheWriterWrote)
{
    std::vector<uint8_t> bytes = xm::serialise(composed());
    std::optional<xm::Module> back = xm::parse(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->orders, composed().orders);
    EXPECT_TRUE(back->patterns == composed().patterns);
    ASSERT_EQ(back->instruments.size(), composed().instruments.size());
    for (size_t i = 0; i < back->instruments.size(); ++i) {
        const xm::Instrument &a = back->instruments[i], &b = composed().instruments[i];
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(a.fadeout, b.fadeout);
        ASSERT_EQ(a.samples.size(), b.samples.size());
        EXPECT_EQ(a.samples[0].data, b.samples[0].data) << a.name;
        EXPECT_EQ(a.samples[0].panning, b.samples[0].panning);
        EXPECT_EQ(a.samples[0].loopLength, b.samples[0].loopLength);
    }
    bytes.resize(bytes.size() / 2);
    EXPECT_FALSE(xm::parse(bytes)) << "a cut file reads as whole";
}
