// Order positions: the demo's whole timeline is keyed on the order the player
// reports, so a wrong order or a wrong time for it shows the wrong scene. These
// tests check the order changes and their song times across speed and tempo
// changes, pattern breaks and position jumps, and that the song wraps to its
// restart position at its end instead of stopping.
#include "music/test_modules.h"
#include "runtime/music/song_scan.h"
#include "runtime/music/tick_loop.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace testxm;

namespace {

// Song times are sums of 2.5 / BPM per tick; this only absorbs their rounding.
constexpr double TIME_ROUNDING = 1e-9;

using OrderAt = std::pair<double, int>;  // song time, order

std::vector<OrderAt> ordersOf(const SongScan& scan)
{
    std::vector<OrderAt> orders;
    for (const SongEvent& event : scan.events)
        if (!event.isTrigger) orders.push_back({event.time, event.value});
    return orders;
}

void expectOrders(const SongScan& scan, const std::vector<OrderAt>& expected)
{
    ASSERT_TRUE(scan.loaded);
    std::vector<OrderAt> orders = ordersOf(scan);
    ASSERT_EQ(orders.size(), expected.size());
    for (size_t i = 0; i < expected.size(); i++) {
        EXPECT_NEAR(orders[i].first, expected[i].first, TIME_ROUNDING) << "change " << i;
        EXPECT_EQ(orders[i].second, expected[i].second) << "change " << i;
    }
}

// Orders 0..count-1 each playing their own empty pattern of `rows` rows.
Module plainSong(int count, int rows)
{
    Module module;
    module.channels = 2;
    for (int i = 0; i < count; i++) {
        module.orders.push_back(i);
        module.patterns.push_back(emptyPattern(rows, module.channels));
    }
    return module;
}

}  // namespace

TEST(SongPosition, OrdersAdvanceAtTheirTimesThroughSpeedAndTempoChanges)
{
    Module module = plainSong(3, 4);
    // Order 0: speed 3 from its first row, 4 rows of 3 ticks of 20 ms.
    cellAt(module.patterns[0], module, 0, 0) = {0, 0, 0, FX_SPEED, 3};
    // Order 1: BPM 250 from its third row: 2 rows of 60 ms, 2 rows of 30 ms.
    cellAt(module.patterns[1], module, 2, 1) = {0, 0, 0, FX_SPEED, 250};
    // Order 2: back to speed 6 at BPM 250, 4 rows of 60 ms.
    cellAt(module.patterns[2], module, 0, 0) = {0, 0, 0, FX_SPEED, 6};
    SongScan scan = scanSong(writeModule("tempo.xm", module), 60);
    expectOrders(scan, {{0.0, 0}, {0.24, 1}, {0.42, 2}});
    EXPECT_NEAR(scan.endTime, 0.66, TIME_ROUNDING);
}

TEST(SongPosition, PatternBreaksAndPositionJumpsMoveTheOrder)
{
    Module module = plainSong(6, 4);
    // Speed 3 throughout: a row lasts 60 ms.
    cellAt(module.patterns[0], module, 0, 0) = {0, 0, 0, FX_SPEED, 3};
    // Order 1 breaks after its second row to the next order's row 0.
    cellAt(module.patterns[1], module, 1, 0) = {0, 0, 0, FX_PATTERN_BREAK, 0};
    // Order 2 jumps from its first row to order 4, skipping order 3.
    cellAt(module.patterns[2], module, 0, 1) = {0, 0, 0, FX_POSITION_JUMP, 4};
    // Order 4 breaks at once into row 2 of order 5, which then plays rows 2 and 3.
    cellAt(module.patterns[4], module, 0, 0) = {0, 0, 0, FX_PATTERN_BREAK, 0x02};
    SongScan scan = scanSong(writeModule("jumps.xm", module), 60);
    expectOrders(scan, {{0.0, 0}, {0.24, 1}, {0.36, 2}, {0.42, 4}, {0.48, 5}});
    EXPECT_NEAR(scan.endTime, 0.60, TIME_ROUNDING);
}

TEST(SongPosition, ScanStopsAtTheGivenSongTime)
{
    Module module = plainSong(4, 8);  // 0.96 s per order
    SongScan scan = scanSong(writeModule("long.xm", module), 1.5);
    expectOrders(scan, {{0.0, 0}, {0.96, 1}});
    // It stops at the first tick boundary at or past 1.5 s.
    EXPECT_GE(scan.endTime, 1.5);
    EXPECT_LT(scan.endTime, 1.5 + 2.5 / 125 + TIME_ROUNDING);
}

TEST(SongPosition, SongWrapsToItsRestartPosition)
{
    Module module = plainSong(3, 4);  // 0.48 s per order
    module.restart = 1;
    std::string path = writeModule("restart.xm", module);

    // The scan covers one pass.
    SongScan scan = scanSong(path, 60);
    expectOrders(scan, {{0.0, 0}, {0.48, 1}, {0.96, 2}});
    EXPECT_NEAR(scan.endTime, 1.44, TIME_ROUNDING);

    // Playback goes on at the restart position, again and again.
    music::TickLoop* loop = music::openTickLoop(path.c_str());
    ASSERT_NE(loop, nullptr);
    std::vector<int> visited = {0};
    double time = 0;
    double firstWrap = -1;
    music::Tick tick;
    while (time < 4.0) {
        ASSERT_TRUE(music::playTick(loop, tick));
        if (tick.order != visited.back()) visited.push_back(tick.order);
        if (tick.wrapped && firstWrap < 0) firstWrap = time;
        EXPECT_EQ(tick.frames, 882) << "44,100 Hz for 20 ms";
        time += tick.seconds;
    }
    music::closeTickLoop(loop);
    EXPECT_EQ(visited, (std::vector<int>{0, 1, 2, 1, 2, 1, 2, 1, 2}));
    EXPECT_NEAR(firstWrap, 1.44, TIME_ROUNDING);
}

TEST(SongPosition, TriggersComeBackWhenTheSongWraps)
{
    Module module = plainSong(2, 4);
    cellAt(module.patterns[0], module, 0, 0) = {C4, 2};
    cellAt(module.patterns[1], module, 0, 0) = {C4, 5};
    std::string path = writeModule("wraptriggers.xm", module);
    music::TickLoop* loop = music::openTickLoop(path.c_str());
    ASSERT_NE(loop, nullptr);
    std::vector<int> triggers;
    music::Tick tick;
    for (int i = 0; i < 3 * 2 * 4 * 6; i++) {  // three passes of 2 orders x 4 rows x 6 ticks
        ASSERT_TRUE(music::playTick(loop, tick));
        triggers.insert(triggers.end(), tick.triggers, tick.triggers + tick.triggerCount);
    }
    music::closeTickLoop(loop);
    EXPECT_EQ(triggers, (std::vector<int>{2, 5, 2, 5, 2, 5}));
}
