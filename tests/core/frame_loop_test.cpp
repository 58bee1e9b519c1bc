// The frame loop as a whole, driven by a scripted clock and song: the order of
// the platform calls, the timeline, both view-distance rules, the pulse decay
// and both ways out. Catches a step run out of order, a wrong row of the
// timeline, a rule applied in the wrong band of orders, a decay that reads the
// wrong value, a key query after the final order, and a song never freed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "fake_platform.h"
#include "runtime/frame_loop.h"
#include "runtime/music_sync.h"

namespace {

std::vector<float> components(Vector3 v) { return {v.x, v.y, v.z}; }

TEST(FrameLoop, StartUpAndOneFrameCallThePlatformInOrder)
{
    fake::reset();
    fake::escapeFromQuery = 1;
    EXPECT_EQ(runDemo(), 0);
    const std::vector<std::string> expected = {
        "openConsole", "clockMs", "FSOUND_Init:44100,64,0", "FMUSIC_LoadSong:GLIMVEX.oXM",
        "FMUSIC_SetInstCallback", "FMUSIC_SetInstCallback", "FMUSIC_SetInstCallback", "FMUSIC_SetInstCallback",
        "FMUSIC_SetInstCallback", "FMUSIC_PlaySong", "clockMs", "FMUSIC_GetOrder", "presentFrame", "FMUSIC_FreeSong",
    };
    EXPECT_EQ(fake::calls, expected);
    std::vector<std::pair<int, bool>> registered;  // instrument, accent
    for (const auto& r : fake::registrations) registered.emplace_back(r.instrument, r.accent);
    EXPECT_EQ(registered, (std::vector<std::pair<int, bool>>{{3, true}, {4, true}, {8, true}, {2, false}, {5, false}}));
}

TEST(FrameLoop, FailedLoadIsReportedOnceBeforeTheFirstFrameAndTheNullSongIsStillUsed)
{
    fake::reset();
    fake::songLoads = false;
    fake::escapeFromQuery = 3;
    EXPECT_EQ(runDemo(), 0);
    const std::string box = "showErrorBox:Error! Plonk suxx!:Failed loading Protracker-Module";
    EXPECT_EQ(fake::countCalls(box), 1);
    EXPECT_LT(std::find(fake::calls.begin(), fake::calls.end(), box),
              std::find(fake::calls.begin(), fake::calls.end(), "presentFrame"));
    EXPECT_EQ(fake::countCalls("FMUSIC_SetInstCallback"), 0);
    EXPECT_EQ(fake::countCalls("FMUSIC_PlaySong:null"), 1);
    EXPECT_EQ(fake::countCalls("FMUSIC_FreeSong:null"), 1);
    EXPECT_EQ(fake::presented.size(), 3u);
    EXPECT_EQ(initMusic(), int(0x80004005u));  // the generic failure code
    fake::songLoads = true;
    EXPECT_EQ(initMusic(), 0);
}

TEST(FrameLoop, TheFinalOrderOrEscapeEndsTheLoopAfterThatFrame)
{
    // The plasma and the warp never ask for the key (the ray marcher asks on
    // every step), so each query counted here is the exit test's. After order
    // 39 is shown there is no query at all.
    const struct { std::vector<int> orders; int escapeFromQuery, frames, queries; } cases[] = {
        {{0}, 4, 4, 4}, {{1, 24, 39, 12}, 0, 3, 2}};
    for (const auto& c : cases) {
        fake::reset();
        fake::orderScript = c.orders;
        fake::escapeFromQuery = c.escapeFromQuery;
        runDemo();
        EXPECT_EQ(fake::presented.size(), size_t(c.frames));
        EXPECT_EQ(fake::escapeQueries, c.queries);
        EXPECT_EQ(fake::calls.back(), "FMUSIC_FreeSong");
    }
    EXPECT_EQ(demo.effectId, 0);  // the last frame shown was order 39's plasma, not order 24's warp
}

TEST(FrameLoop, TimeCountsFromTheClockStartAcrossTheWrapOfTheMillisecondCounter)
{
    fake::reset();
    fake::clockScript = {4294967000u, 4294967295u, 704u};
    fake::escapeFromQuery = 2;
    runDemo();
    EXPECT_EQ(demo.timeSec, 1000.0 * double(0.001f));
}

float wave(double scale, double t) { return float(100.0 * float(std::sin(double(float(scale * t))))); }

TEST(Timeline, EveryRowSelectsItsEffectAndCamera)
{
    enum Camera { Default, Channel, Rod };
    const struct { int firstOrder, lastOrder, effect; Camera camera; } rows[] = {
        {-5, 1, 0, Default}, {2, 3, 9, Default},   {4, 5, 2, Default},  {6, 6, 1, Default},   {7, 9, 5, Default},
        {10, 10, 2, Default}, {11, 18, 6, Channel}, {19, 23, 4, Rod},    {24, 24, 9, Default}, {25, 26, 1, Default},
        {27, 28, 2, Default}, {29, 30, 6, Channel}, {31, 38, 3, Default}, {39, 60, 0, Default},
    };
    for (const auto& row : rows)
        for (int order = row.firstOrder; order <= row.lastOrder; ++order)
            for (double t : {0.0, 1.7, 37.25}) {
                demo.musicOrder = order;
                demo.timeSec = t;
                applyTimeline();
                Vector3 camera = {wave(double(0.2f), t), wave(double(0.3f), t), wave(double(0.1f), t)};
                if (row.camera == Channel) camera = {90, 90, wave(double(0.3f), t)};
                if (row.camera == Rod)
                    camera = {wave(double(0.3f), t), float(6.0 * float(std::cos(double(float(0.5 * t)))) + 6.0),
                              float(6.0 * float(std::sin(double(float(0.5 * t)))) + 6.0)};
                EXPECT_EQ(demo.effectId, row.effect) << "order " << order;
                EXPECT_EQ(components(demo.cameraPos), components(camera)) << "order " << order << " time " << t;
            }
    demo.musicOrder = 20;  // the rod camera at time 0, in plain numbers
    demo.timeSec = 0;
    applyTimeline();
    EXPECT_EQ(components(demo.cameraPos), components({0, 12, 6}));
}

TEST(ViewDistance, RisesBelowOrder4UntilItReaches96AndFallsFromOrder38ClampedAtZero)
{
    const auto swell = [](double t) { return float(100.0 * float(std::sin(double(float(0.25 * float(t)))))); };
    const float KEEP = NAN;
    const struct { int firstOrder, lastOrder; double time; float before, after; } steps[] = {
        {1, 1, 2.0, 0, swell(2.0)},
        {1, 1, 5.2, KEEP, swell(5.2)},  // the first value of 96 or more
        {1, 1, 6.0, KEEP, swell(5.2)},  // held
        {4, 37, 6.0, 50, 50},            // orders 4 to 37 keep it, even below 96
        {-3, -3, 4.0, KEEP, swell(4.0)},
        {38, 38, 3.0, 97, swell(2.0)},  // from order 38 it follows the swell one second late
        {45, 45, 17.0, KEEP, 0},        // a negative swell is clamped to 0
        {45, 45, 3.0, KEEP, swell(2.0)},  // and 0 is above -10, so it follows again
        {45, 45, 3.0, -10, 0},            // at -10 or below only the clamp applies
    };
    for (const auto& s : steps) {
        if (!std::isnan(s.before)) demo.viewDistance = s.before;
        demo.timeSec = s.time;
        for (demo.musicOrder = s.firstOrder; demo.musicOrder <= s.lastOrder; ++demo.musicOrder) updateViewDistance();
        EXPECT_EQ(demo.viewDistance, s.after) << "order " << s.firstOrder << " time " << s.time;
    }
}

TEST(PulseDecay, FramesFollowTheDocumentedSequence)
{
    // Tenth-of-a-second frames from the clock's start (the first frame decays
    // by the whole time since then), accepting the small error of float steps.
    const float tolerance = 1e-5f;
    const float accent[] = {2.3f, 1.6f, 0.9f, 0.2f, 0.0f, 0.0f}, beat[] = {2.2f, 1.4f, 0.6f, 0.0f, 0.0f, 0.0f};
    resetDemoState();
    relaxedStore(demo.accentPulse, 3.0f);
    relaxedStore(demo.beatPulse, 3.0f);
    for (int frame = 0; frame < 6; ++frame) {
        demo.timeSec = 0.1 * (frame + 1);
        decayPulses();
        // Clamped to exactly 0, never below, and the time noted for the next frame.
        const float a = relaxedLoad(demo.accentPulse), b = relaxedLoad(demo.beatPulse);
        EXPECT_NEAR(a, accent[frame], accent[frame] ? tolerance : 0) << "frame " << frame;
        EXPECT_NEAR(b, beat[frame], beat[frame] ? tolerance : 0) << "frame " << frame;
        EXPECT_EQ(demo.prevTimeSec, demo.timeSec);
    }
}

TEST(CellLoop, EveryCellIsVisitedWithExactCoordinatesAndUnknownEffectsDrawNothing)
{
    resetDemoState();
    screenBuffer.fill(CharInfo{7, 7});
    demo.effectId = 42;
    renderCells();
    EXPECT_EQ(std::count(screenBuffer.begin(), screenBuffer.end(), CharInfo{7, 7}), CELL_COUNT);
    EXPECT_TRUE(demo.cellX == 79 && demo.cellY == 49 && demo.cellU == 39.0f && demo.cellV == 24.0f);
}

TEST(BeatSync, CallbacksSetPulsesAndCountBeats)
{
    resetDemoState();
    relaxedStore(demo.accentPulse, 1.2f);
    onAccentInstrument(nullptr, 8);
    onBeatInstrument(nullptr, 2);
    onBeatInstrument(nullptr, 2);
    EXPECT_EQ(relaxedLoad(demo.accentPulse), 3.0f);
    EXPECT_EQ(relaxedLoad(demo.beatCount), 2);
    EXPECT_EQ(relaxedLoad(demo.beatPulse), 3.0f);
}

}  // namespace
