// The soundtrack against the demo's timeline, played through the music
// layer's headless scan (the same tick loop and trigger detection as
// playback). The demo's pictures follow the song: the order position picks
// the scene, instruments 2 and 5 drive the beat flashes and 3, 4 and 8 the
// accents. These tests catch a song that ends too early or too late, a
// section where the picture stops pulsing, an intro too short for the view
// distance to open up, accents missing where the scenes change, and an
// instrument renumbering that silently cuts the visuals off from the music.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "runtime/music/song_scan.h"
#include "song/compose.h"
#include "song/instruments.h"

namespace {

constexpr double SCAN_LIMIT_SECONDS = 600;      // well past any acceptable length
constexpr double FINAL_EARLIEST = 180;          // order 39 between 3 ...
constexpr double FINAL_LATEST = 300;            // ... and 5 minutes
constexpr double MAX_BEAT_GAP = 2.0;            // seconds between beats, orders 2 to 38
constexpr double INTRO_MIN_SECONDS = 6.0;       // orders 0 to 3, for the view distance
constexpr double ACCENT_WINDOW = 0.05;          // an accent "at" an order start: within its first row
constexpr int FIRST_BEAT_ORDER = 2, LAST_BEAT_ORDER = 38;

// Orders where the timeline changes the picture; each deserves an accent.
const int SCENE_CHANGES[] = {2, 4, 6, 7, 10, 11, 19, 24, 25, 27, 29, 31, 39};

bool isBeat(int instrument) { return instrument == song::INS_KICK || instrument == song::INS_SNARE; }
bool isAccent(int instrument)
{
    return instrument == song::INS_CRASH || instrument == song::INS_STAB || instrument == song::INS_HIT;
}

// The song scanned once for all tests in this file.
const SongScan& scan()
{
    static SongScan result = [] {
        std::string path = testing::TempDir() + "song_timeline_test.xm";
        EXPECT_TRUE(xm::saveModule(song::composeSong(), path));
        SongScan s = scanSong(path, SCAN_LIMIT_SECONDS);
        std::remove(path.c_str());
        return s;
    }();
    return result;
}

// Song time at which each order first starts.
std::map<int, double> orderStarts()
{
    std::map<int, double> starts;
    for (const SongEvent& e : scan().events)
        if (!e.isTrigger && !starts.count(e.value)) starts[e.value] = e.time;
    return starts;
}

}  // namespace

TEST(SongTimeline, OrdersRunInSequenceAndOrder39ComesBetween3And5Minutes)
{
    ASSERT_TRUE(scan().loaded);
    std::vector<int> visited;
    for (const SongEvent& e : scan().events)
        if (!e.isTrigger) visited.push_back(e.value);
    ASSERT_GE(visited.size(), size_t(song::ORDER_COUNT));
    for (int o = 0; o < song::ORDER_COUNT; ++o) EXPECT_EQ(visited[size_t(o)], o) << "the song skips or jumps";

    std::map<int, double> starts = orderStarts();
    ASSERT_TRUE(starts.count(song::FINAL_ORDER));
    EXPECT_GE(starts[song::FINAL_ORDER], FINAL_EARLIEST);
    EXPECT_LE(starts[song::FINAL_ORDER], FINAL_LATEST);
    EXPECT_GE(starts[4], INTRO_MIN_SECONDS) << "orders 0 to 3 are over too soon";
}

TEST(SongTimeline, EveryVisualInstrumentTriggers)
{
    std::set<int> triggered;
    for (const SongEvent& e : scan().events)
        if (e.isTrigger) triggered.insert(e.value);
    for (int instrument : {song::INS_KICK, song::INS_CRASH, song::INS_STAB, song::INS_SNARE, song::INS_HIT})
        EXPECT_TRUE(triggered.count(instrument)) << "instrument " << instrument << " never plays";
}

TEST(SongTimeline, BeatsKeepComingThroughTheScenes)
{
    std::map<int, double> starts = orderStarts();
    ASSERT_TRUE(starts.count(FIRST_BEAT_ORDER) && starts.count(LAST_BEAT_ORDER + 1));
    double from = starts[FIRST_BEAT_ORDER], to = starts[LAST_BEAT_ORDER + 1];
    double previous = from, worstGap = 0, worstAt = from;
    for (const SongEvent& e : scan().events) {
        if (!e.isTrigger || !isBeat(e.value) || e.time < from || e.time >= to) continue;
        if (e.time - previous > worstGap) { worstGap = e.time - previous; worstAt = previous; }
        previous = e.time;
    }
    if (to - previous > worstGap) { worstGap = to - previous; worstAt = previous; }
    EXPECT_LE(worstGap, MAX_BEAT_GAP) << "no beat for " << worstGap << " s after " << worstAt << " s";
}

TEST(SongTimeline, AccentsLandWhereTheSceneChanges)
{
    std::map<int, double> starts = orderStarts();
    for (int order : SCENE_CHANGES) {
        ASSERT_TRUE(starts.count(order)) << "order " << order;
        double t = starts[order];
        bool accented = std::any_of(scan().events.begin(), scan().events.end(), [&](const SongEvent& e) {
            return e.isTrigger && isAccent(e.value) && e.time >= t && e.time < t + ACCENT_WINDOW;
        });
        EXPECT_TRUE(accented) << "no accent as order " << order << " begins";
    }
}
