// Instrument triggers: the demo's flashes and beat counter come from them, so a
// missed trigger loses a flash and an extra one adds a beat. These tests play
// modules written here and check every trigger, instrument and time: implicit
// instruments taken from the channel, key-offs and invalid notes ignored, tone
// portamento not counted, note delays at their tick, several notes in one tick.
#include "music/test_modules.h"
#include "runtime/music/song_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testxm;

namespace {

// Song times are sums of 2.5 / BPM per tick; this only absorbs their rounding.
constexpr double TIME_ROUNDING = 1e-9;
constexpr double TICK = 2.5 / 125;  // the modules' tick at BPM 125
constexpr double ROW = 6 * TICK;    // and their row at speed 6

struct Expected {
    double time;
    int instrument;
};

std::vector<SongEvent> triggersOf(const SongScan& scan)
{
    std::vector<SongEvent> triggers;
    for (const SongEvent& event : scan.events)
        if (event.isTrigger) triggers.push_back(event);
    return triggers;
}

void expectTriggers(const SongScan& scan, const std::vector<Expected>& expected)
{
    ASSERT_TRUE(scan.loaded);
    std::vector<SongEvent> triggers = triggersOf(scan);
    ASSERT_EQ(triggers.size(), expected.size());
    for (size_t i = 0; i < expected.size(); i++) {
        EXPECT_NEAR(triggers[i].time, expected[i].time, TIME_ROUNDING) << "trigger " << i;
        EXPECT_EQ(triggers[i].value, expected[i].instrument) << "trigger " << i;
    }
}

}  // namespace

TEST(InstrumentTriggers, NotesTriggerTheirOwnOrTheChannelsLastInstrument)
{
    Module module = oneOrderModule(8, 2);
    Pattern& p = module.patterns[0];
    cellAt(p, module, 0, 0) = {C4, 2};
    cellAt(p, module, 1, 0) = {D4, 0};        // no instrument: channel 0's last, 2
    cellAt(p, module, 2, 1) = {0, 5};         // an instrument alone sets it, starts nothing
    cellAt(p, module, 3, 1) = {C4, 0};        // so this is instrument 5
    cellAt(p, module, 4, 0) = {C4, 3};        // a new explicit instrument
    cellAt(p, module, 5, 0) = {C4, 0};        // now channel 0's last is 3
    cellAt(p, module, 6, 1) = {D4, 0};        // channel 1 still remembers 5
    cellAt(p, module, 7, 0) = {0, 0, 0x30};   // a volume alone starts nothing
    SongScan scan = scanSong(writeModule("implicit.xm", module), 60);
    expectTriggers(scan, {{0 * ROW, 2}, {1 * ROW, 2}, {3 * ROW, 5}, {4 * ROW, 3}, {5 * ROW, 3}, {6 * ROW, 5}});
}

TEST(InstrumentTriggers, NoNoteWithoutAnyInstrumentOnItsChannel)
{
    Module module = oneOrderModule(2, 2);
    cellAt(module.patterns[0], module, 0, 0) = {C4, 0};  // nothing named on channel 0 yet
    cellAt(module.patterns[0], module, 1, 1) = {C4, 4};
    expectTriggers(scanSong(writeModule("noinstrument.xm", module), 60), {{1 * ROW, 4}});
}

TEST(InstrumentTriggers, KeyOffAndInvalidNotesAreNotTriggers)
{
    Module module = oneOrderModule(6, 2);
    Pattern& p = module.patterns[0];
    cellAt(p, module, 0, 0) = {C4, 2};
    cellAt(p, module, 1, 0) = {KEY_OFF, 0};
    cellAt(p, module, 2, 0) = {KEY_OFF, 2};   // key-off with an instrument (a fade in FastTracker)
    cellAt(p, module, 3, 1) = {BAD_NOTE, 7};  // not a note, but the instrument is named
    cellAt(p, module, 4, 1) = {C4, 0};
    cellAt(p, module, 5, 0) = {C4, 0};
    SongScan scan = scanSong(writeModule("keyoff.xm", module), 60);
    expectTriggers(scan, {{0 * ROW, 2}, {4 * ROW, 7}, {5 * ROW, 2}});
}

TEST(InstrumentTriggers, TonePortamentoSlidesWithoutTriggering)
{
    Module module = oneOrderModule(6, 3);
    Pattern& p = module.patterns[0];
    cellAt(p, module, 0, 0) = {C4, 2};
    cellAt(p, module, 1, 0) = {D4, 2, 0, FX_TONE_PORTAMENTO, 0x20};
    cellAt(p, module, 2, 0) = {C4, 0, 0, FX_TONE_PORTAMENTO_VOLUME_SLIDE, 0x01};
    cellAt(p, module, 3, 0) = {D4, 3, VOLUME_TONE_PORTAMENTO | 4};
    // Tone portamento on a silent channel starts nothing either.
    cellAt(p, module, 3, 1) = {D4, 4, 0, FX_TONE_PORTAMENTO, 0x10};
    // The portamento effect alone, without a note, on another channel's row.
    cellAt(p, module, 4, 2) = {C4, 5};
    cellAt(p, module, 4, 0) = {0, 0, 0, FX_TONE_PORTAMENTO, 0};
    cellAt(p, module, 5, 0) = {C4, 0};  // an ordinary note again: the last named, 3
    SongScan scan = scanSong(writeModule("portamento.xm", module), 60);
    expectTriggers(scan, {{0 * ROW, 2}, {4 * ROW, 5}, {5 * ROW, 3}});
}

TEST(InstrumentTriggers, NoteDelayTriggersAtItsTick)
{
    Module module = oneOrderModule(4, 2);
    Pattern& p = module.patterns[0];
    cellAt(p, module, 0, 0) = {C4, 2, 0, FX_EXTENDED, 0xD3};
    cellAt(p, module, 0, 1) = {C4, 3};
    cellAt(p, module, 1, 0) = {C4, 0, 0, FX_EXTENDED, 0xD5};  // the row's last tick
    cellAt(p, module, 2, 0) = {C4, 4, 0, FX_EXTENDED, 0xD9};  // past the row's six ticks: never starts
    cellAt(p, module, 3, 1) = {C4, 0, 0, FX_EXTENDED, 0xD0};  // ED0 is no delay
    SongScan scan = scanSong(writeModule("delay.xm", module), 60);
    expectTriggers(scan, {{0 * ROW, 3}, {0 * ROW + 3 * TICK, 2}, {1 * ROW + 5 * TICK, 2}, {3 * ROW, 3}});
}

TEST(InstrumentTriggers, EveryChannelOfOneTickCounts)
{
    Module module = oneOrderModule(2, 8);
    for (int channel = 0; channel < 8; channel++)
        cellAt(module.patterns[0], module, 1, channel) = {C4, channel % 2 == 0 ? 2 : 5};
    SongScan scan = scanSong(writeModule("chord.xm", module), 60);
    std::vector<Expected> expected;
    for (int channel = 0; channel < 8; channel++) expected.push_back({ROW, channel % 2 == 0 ? 2 : 5});
    expectTriggers(scan, expected);
}

TEST(InstrumentTriggers, PatternLoopRetriggersTheRepeatedRows)
{
    Module module = oneOrderModule(3, 1);
    Pattern& p = module.patterns[0];
    cellAt(p, module, 0, 0) = {C4, 2, 0, FX_EXTENDED, 0x60};  // E60: loop start
    cellAt(p, module, 1, 0) = {0, 0, 0, FX_EXTENDED, 0x62};   // E62: back twice
    cellAt(p, module, 2, 0) = {C4, 8};
    SongScan scan = scanSong(writeModule("patternloop.xm", module), 60);
    expectTriggers(scan, {{0 * ROW, 2}, {2 * ROW, 2}, {4 * ROW, 2}, {6 * ROW, 8}});
    EXPECT_NEAR(scan.endTime, 7 * ROW, TIME_ROUNDING);
}
