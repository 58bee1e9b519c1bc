// What the demo sees of a song: the order position keys its whole timeline and
// the instrument triggers drive its flashes and beat counter, so a wrong order
// or time shows the wrong scene, a missed trigger loses a flash and an extra
// one adds a beat. Each case scans a tiny module and compares every event and
// its song time: implicit instruments taken from the channel, key-offs and
// invalid notes ignored, tone portamento (effect or volume column) not counted,
// note delays at their tick, several notes in one tick, pattern loops; order
// changes across speed and tempo changes, pattern breaks and position jumps,
// and where one pass ends. Playback must then wrap to the restart position.
#include "music/test_modules.h"
#include "music/song_scan.h"
#include "music/tick_loop.h"

#include <algorithm>

using namespace testxm;

namespace {

// Song times are sums of 2.5 / BPM per tick; this only absorbs their rounding.
constexpr double TIME_ROUNDING = 1e-9;
constexpr double TICK = 2.5 / 125;  // the modules' tick at BPM 125
constexpr double ROW = 6 * TICK;    // and their row at speed 6
constexpr uint8_t C4 = xm::NOTE_C4, D4 = 51, OFF = xm::NOTE_KEY_OFF, BAD_NOTE = 120;
constexpr uint8_t PORTA = xm::FX_TONE_PORTA, PORTA_SLIDE = 0x5, EXT = xm::FX_EXTENDED, SPEED = xm::FX_SPEED;
constexpr uint8_t VOLUME_PORTA = 0xF0;  // volume column Mx
constexpr double WHOLE_PASS = 60;       // a scan limit beyond every case's song

SongEvent order(double time, int order) { return {time, false, order}; }
SongEvent trigger(double time, int instrument) { return {time, true, instrument}; }

struct Put { int order, row, channel; xm::Cell cell; };
struct Case {
    const char* name; int channels; std::vector<int> rows; std::vector<Put> cells;
    std::vector<SongEvent> events; double endTime; double maxSeconds = WHOLE_PASS;
};

const Case CASES[] = {
    {"implicit instruments, several in a tick", 3, {8}, {
        {0, 0, 2, {C4}},          // nothing named on channel 2 yet: no trigger
        {0, 0, 0, {C4, 2}},
        {0, 0, 1, {C4, 5}},
        {0, 1, 0, {D4}},          // channel 0's last, 2
        {0, 2, 1, {0, 4}},        // an instrument alone sets it, starts nothing
        {0, 3, 1, {C4}},          // so this is 4
        {0, 4, 0, {C4, 3}},
        {0, 5, 0, {C4}},          // now channel 0's last is 3
        {0, 6, 1, {D4}},          // channel 1 still remembers 4
        {0, 7, 0, {0, 0, 0x30}},  // a volume alone starts nothing
     }, {order(0, 0), trigger(0, 2), trigger(0, 5), trigger(1 * ROW, 2), trigger(3 * ROW, 4), trigger(4 * ROW, 3),
         trigger(5 * ROW, 3), trigger(6 * ROW, 4)}, 8 * ROW},
    {"key-off and invalid notes", 2, {6}, {
        {0, 0, 0, {C4, 2}}, {0, 1, 0, {OFF}}, {0, 2, 0, {OFF, 2}},
        {0, 3, 1, {BAD_NOTE, 7}},  // not a note, but the instrument is named
        {0, 4, 1, {C4}}, {0, 5, 0, {C4}},
     }, {order(0, 0), trigger(0 * ROW, 2), trigger(4 * ROW, 7), trigger(5 * ROW, 2)}, 6 * ROW},
    {"tone portamento", 3, {6}, {
        {0, 0, 0, {C4, 2}},
        {0, 1, 0, {D4, 2, 0, PORTA, 0x20}},
        {0, 2, 0, {C4, 0, 0, PORTA_SLIDE, 0x01}},
        {0, 3, 0, {D4, 3, VOLUME_PORTA | 4}},
        {0, 3, 1, {D4, 4, 0, PORTA, 0x10}},  // on a silent channel too
        {0, 4, 2, {C4, 5}}, {0, 4, 0, {0, 0, 0, PORTA, 0}},
        {0, 5, 0, {C4}},                     // an ordinary note again: the last named, 3
     }, {order(0, 0), trigger(0 * ROW, 2), trigger(4 * ROW, 5), trigger(5 * ROW, 3)}, 6 * ROW},
    {"note delay", 2, {4}, {
        {0, 0, 0, {C4, 2, 0, EXT, 0xD3}}, {0, 0, 1, {C4, 3}},
        {0, 1, 0, {C4, 0, 0, EXT, 0xD5}},  // the row's last tick
        {0, 2, 0, {C4, 4, 0, EXT, 0xD9}},  // past the row's six ticks: never starts
        {0, 3, 1, {C4, 0, 0, EXT, 0xD0}},  // ED0 is no delay
     }, {order(0, 0), trigger(0, 3), trigger(3 * TICK, 2), trigger(ROW + 5 * TICK, 2), trigger(3 * ROW, 3)}, 4 * ROW},
    {"pattern loop", 1, {3}, {
        {0, 0, 0, {C4, 2, 0, EXT, 0x60}},  // loop start
        {0, 1, 0, {0, 0, 0, EXT, 0x62}},   // back twice
        {0, 2, 0, {C4, 8}},
     }, {order(0, 0), trigger(0, 2), trigger(2 * ROW, 2), trigger(4 * ROW, 2), trigger(6 * ROW, 8)}, 7 * ROW},
    {"speed and tempo", 2, {4, 4, 4}, {
        {0, 0, 0, {0, 0, 0, SPEED, 3}},    // rows of 60 ms
        {1, 2, 1, {0, 0, 0, SPEED, 250}},  // of 30 ms from order 1's third row
        {2, 0, 0, {0, 0, 0, SPEED, 6}},    // of 60 ms again
     }, {order(0, 0), order(0.24, 1), order(0.42, 2)}, 0.66},
    {"breaks and jumps", 2, {4, 4, 4, 4, 4, 4}, {
        {0, 0, 0, {0, 0, 0, SPEED, 3}},
        {1, 1, 0, {0, 0, 0, xm::FX_BREAK, 0}},     // after two rows
        {2, 0, 1, {0, 0, 0, xm::FX_JUMP, 4}},      // skipping order 3
        {4, 0, 0, {0, 0, 0, xm::FX_BREAK, 0x02}},  // into row 2 of order 5
     }, {order(0, 0), order(0.24, 1), order(0.36, 2), order(0.42, 4), order(0.48, 5)}, 0.60},
    {"a backward jump ends the pass", 2, {4, 4, 4}, {
        {0, 0, 0, {0, 0, 0, SPEED, 3}}, {2, 3, 0, {0, 0, 0, xm::FX_JUMP, 1}},
     }, {order(0, 0), order(0.24, 1), order(0.48, 2)}, 0.72},
    // The scan stops at the first tick boundary at or after the limit.
    {"a time limit", 2, {4, 4, 4}, {}, {order(0, 0), order(0.48, 1), order(0.96, 2)}, 1.1 + TICK / 2, 1.1},
};

// The writer refuses note bytes that no tracker plays: each is written as a
// B-7 with instrument 7, which the cases do not use otherwise, and patched.
std::vector<uint8_t> withBadNotes(std::vector<uint8_t> bytes)
{
    const uint8_t marker[] = {0x80 | 0x01 | 0x02, 96, 7};  // a packed cell: note and instrument
    auto at = std::search(bytes.begin(), bytes.end(), std::begin(marker), std::end(marker));
    if (at != bytes.end()) at[1] = BAD_NOTE;
    return bytes;
}

}  // namespace

TEST(SongEvents, EveryOrderChangeAndTriggerAtItsTime)
{
    for (const Case& c : CASES) {
        SCOPED_TRACE(c.name);
        xm::Module module = testModule(c.channels, c.rows);
        for (const Put& put : c.cells)
            module.patterns[put.order].at(put.row, put.channel) = put.cell.note == BAD_NOTE ? xm::Cell{96, 7} : put.cell;
        SongScan scan = scanSong(writeTempFile("events.xm", withBadNotes(xm::serialise(module))), c.maxSeconds);
        ASSERT_TRUE(scan.loaded);
        ASSERT_EQ(scan.events.size(), c.events.size());
        for (size_t i = 0; i < c.events.size(); i++) {
            EXPECT_NEAR(scan.events[i].time, c.events[i].time, TIME_ROUNDING) << "event " << i;
            EXPECT_EQ(scan.events[i].isTrigger, c.events[i].isTrigger) << "event " << i;
            EXPECT_EQ(scan.events[i].value, c.events[i].value) << "event " << i;
        }
        double endTolerance = c.maxSeconds < WHOLE_PASS ? TICK / 2 : 0;
        EXPECT_NEAR(scan.endTime, c.endTime, endTolerance + TIME_ROUNDING);
    }
}

TEST(SongEvents, PlaybackWrapsToTheRestartPositionAgainAndAgain)
{
    xm::Module module = testModule(2, {4, 4, 4});  // 0.48 s per order
    module.restart = 1;
    music::TickLoop* loop = music::openTickLoop(writeTempFile("restart.xm", xm::serialise(module)).c_str());
    ASSERT_NE(loop, nullptr);
    std::vector<int> visited = {0};
    double time = 0;
    music::Tick tick;
    while (time < 4.0) {
        ASSERT_TRUE(music::playTick(loop, tick));
        if (tick.order != visited.back()) visited.push_back(tick.order);
        EXPECT_EQ(tick.frames, 882) << "44,100 Hz for 20 ms";
        time += tick.seconds;
    }
    music::closeTickLoop(loop);
    EXPECT_EQ(visited, (std::vector<int>{0, 1, 2, 1, 2, 1, 2, 1, 2}));
}
