// The frame loop as a whole, driven by a scripted clock and song: the order of
// the platform calls, the timeline, both view-distance rules, the pulse decay
// and both ways out. Catches a step run out of order, a wrong row of the
// timeline, a rule applied in the wrong band of orders, a decay that reads the
// wrong value, a key query after the final order, and a song never freed.
#include <gtest/gtest.h>

#include <cmath>

#include "fake_platform.h"
#include "runtime/frame_loop.h"
#include "runtime/music_sync.h"

namespace {

// The camera formulas round their sine argument and the sine to single
// precision; the expectations here are computed the same way, independently.
float timelineWave(double scale, double t, double factor)
{
    const float argument = static_cast<float>(scale * t);
    const float sine = static_cast<float>(std::sin(static_cast<double>(argument)));
    return static_cast<float>(factor * sine);
}

struct TimelineRow {
    int firstOrder, lastOrder, effect;
    enum Camera { Default, Channel, Rod } camera;
};

const TimelineRow TIMELINE[] = {
    {-5, 1, 0, TimelineRow::Default},   {2, 3, 9, TimelineRow::Default},  {4, 5, 2, TimelineRow::Default},
    {6, 6, 1, TimelineRow::Default},    {7, 9, 5, TimelineRow::Default},   {10, 10, 2, TimelineRow::Default},
    {11, 18, 6, TimelineRow::Channel},  {19, 23, 4, TimelineRow::Rod},     {24, 24, 9, TimelineRow::Default},
    {25, 26, 1, TimelineRow::Default},  {27, 28, 2, TimelineRow::Default}, {29, 30, 6, TimelineRow::Channel},
    {31, 38, 3, TimelineRow::Default},  {39, 60, 0, TimelineRow::Default},
};

class FrameLoop : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }
};

TEST_F(FrameLoop, StartUpAndOneFrameCallThePlatformInOrder)
{
    fake::escapeFromQuery = 1;
    runDemo();
    const std::vector<std::string> expected = {
        "openConsole",
        "clockMs",
        "FSOUND_Init:44100,64,0",
        "FMUSIC_LoadSong:GLIMVEX.oXM",
        "FMUSIC_SetInstCallback", "FMUSIC_SetInstCallback", "FMUSIC_SetInstCallback",
        "FMUSIC_SetInstCallback", "FMUSIC_SetInstCallback",
        "FMUSIC_PlaySong",
        "clockMs",
        "FMUSIC_GetOrder",
        "presentFrame",
        "FMUSIC_FreeSong",
    };
    EXPECT_EQ(fake::calls, expected);
    ASSERT_EQ(fake::registrations.size(), 5u);
    const int instruments[] = {3, 4, 8, 2, 5};
    const bool accents[] = {true, true, true, false, false};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(fake::registrations[i].instrument, instruments[i]);
        EXPECT_EQ(fake::registrations[i].accent, accents[i]);
    }
}

TEST_F(FrameLoop, FailedLoadIsReportedOnceBeforeTheFirstFrameAndTheNullSongIsStillUsed)
{
    fake::songLoads = false;
    fake::escapeFromQuery = 3;
    EXPECT_EQ(runDemo(), 0);
    EXPECT_EQ(fake::countCalls("showErrorBox:Error! Plonk suxx!:Failed loading Protracker-Module"), 1);
    EXPECT_EQ(fake::countCalls("FMUSIC_SetInstCallback"), 0);
    EXPECT_EQ(fake::countCalls("FMUSIC_PlaySong:null"), 1);
    EXPECT_EQ(fake::countCalls("FMUSIC_FreeSong:null"), 1);
    EXPECT_EQ(fake::presented.size(), 3u);
    // The box comes before the first frame is shown.
    const auto box = std::find_if(fake::calls.begin(), fake::calls.end(),
                                  [](const std::string& c) { return c.rfind("showErrorBox", 0) == 0; });
    const auto firstFrame = std::find(fake::calls.begin(), fake::calls.end(), "presentFrame");
    EXPECT_LT(box, firstFrame);
    EXPECT_EQ(relaxedLoad(demo.beatCount), 0);
}

TEST_F(FrameLoop, InitMusicReportsFailureWithTheGenericFailureCode)
{
    fake::songLoads = false;
    EXPECT_EQ(initMusic(), int(0x80004005u));
    fake::songLoads = true;
    EXPECT_EQ(initMusic(), 0);
}

TEST_F(FrameLoop, TheFinalOrderIsShownThenTheLoopEndsWithoutAKeyQuery)
{
    // Orders drawn by the plasma and the warp, which never ask for the key
    // (the ray marcher asks on every step), so each query counted here is
    // the exit test's.
    fake::orderScript = {1, 24, 39, 12};
    fake::clockScript = {1000, 2000, 3000, 4000, 5000};
    runDemo();
    ASSERT_EQ(fake::presented.size(), 3u);
    EXPECT_EQ(fake::escapeQueries, 2);  // after the first two frames only
    EXPECT_EQ(demo.effectId, 0);        // the last frame was the plasma
    EXPECT_EQ(fake::calls.back(), "FMUSIC_FreeSong");
}

TEST_F(FrameLoop, EscapeIsQueriedOncePerFrameAndEndsTheLoopAfterThatFrame)
{
    fake::orderScript = {0};
    fake::escapeFromQuery = 4;
    runDemo();
    EXPECT_EQ(fake::presented.size(), 4u);
    EXPECT_EQ(fake::escapeQueries, 4);
}

TEST_F(FrameLoop, TimeCountsFromTheClockStartAcrossTheWrapOfTheMillisecondCounter)
{
    fake::clockScript = {4294967000u, 4294967295u, 704u};
    fake::escapeFromQuery = 2;
    runDemo();
    EXPECT_DOUBLE_EQ(demo.timeSec, 1000.0 * double(0.001f));
    fake::reset();
    fake::clockScript = {5000u, 7500u};
    fake::escapeFromQuery = 1;
    runDemo();
    EXPECT_EQ(demo.timeSec, 2500.0 * double(0.001f));
}

TEST(Timeline, EveryRowSelectsItsEffectAndCamera)
{
    const double times[] = {0.0, 1.7, 37.25};
    for (const TimelineRow& row : TIMELINE) {
        for (int order = row.firstOrder; order <= row.lastOrder; ++order) {
            for (double t : times) {
                demo.musicOrder = order;
                demo.timeSec = t;
                applyTimeline();
                SCOPED_TRACE(testing::Message() << "order " << order << " time " << t);
                EXPECT_EQ(demo.effectId, row.effect);
                float x = timelineWave(double(0.2f), t, 100), y = timelineWave(double(0.3f), t, 100),
                      z = timelineWave(double(0.1f), t, 100);
                if (row.camera == TimelineRow::Channel) {
                    x = 90;
                    y = 90;
                    z = timelineWave(double(0.3f), t, 100);
                } else if (row.camera == TimelineRow::Rod) {
                    const float half = float(0.5 * t);
                    x = timelineWave(double(0.3f), t, 100);
                    y = float(6.0 * float(std::cos(double(half))) + 6.0);
                    z = float(6.0 * float(std::sin(double(half))) + 6.0);
                }
                EXPECT_EQ(demo.cameraPos.x, x);
                EXPECT_EQ(demo.cameraPos.y, y);
                EXPECT_EQ(demo.cameraPos.z, z);
            }
        }
    }
}

TEST(Timeline, CamerasAtTimeZero)
{
    demo.timeSec = 0;
    demo.musicOrder = 0;
    applyTimeline();
    EXPECT_EQ(demo.cameraPos.x, 0.0f);
    EXPECT_EQ(demo.cameraPos.y, 0.0f);
    EXPECT_EQ(demo.cameraPos.z, 0.0f);
    demo.musicOrder = 20;
    applyTimeline();
    EXPECT_EQ(demo.cameraPos.x, 0.0f);
    EXPECT_EQ(demo.cameraPos.y, 12.0f);
    EXPECT_EQ(demo.cameraPos.z, 6.0f);
}

float swell(double t)
{
    const float quarter = float(0.25 * double(float(t)));
    return float(100.0 * double(float(std::sin(double(quarter)))));
}

TEST(ViewDistance, RisesOverTheFirstOrdersUntilItReaches96ThenHolds)
{
    demo.viewDistance = 0;
    demo.musicOrder = 1;
    demo.timeSec = 2.0;
    updateViewDistance();
    EXPECT_EQ(demo.viewDistance, swell(2.0));
    demo.timeSec = 5.2;  // first value of 96 or more
    updateViewDistance();
    const float held = demo.viewDistance;
    EXPECT_GE(held, 96.0f);
    demo.timeSec = 6.0;
    updateViewDistance();
    EXPECT_EQ(demo.viewDistance, held);
    // Orders 4 to 37 keep whatever it reached, even below 96.
    demo.viewDistance = 50.0f;
    for (int order = 4; order <= 37; ++order) {
        demo.musicOrder = order;
        updateViewDistance();
    }
    EXPECT_EQ(demo.viewDistance, 50.0f);
    // Below order 4, negative orders included, it keeps rising while under 96.
    demo.musicOrder = -3;
    demo.timeSec = 4.0;
    updateViewDistance();
    EXPECT_EQ(demo.viewDistance, swell(4.0));
}

TEST(ViewDistance, FallsFromOrder38AndIsHeldAtZero)
{
    demo.musicOrder = 38;
    demo.viewDistance = 97.0f;
    demo.timeSec = 200.0;
    updateViewDistance();
    EXPECT_EQ(demo.viewDistance, std::max(0.0f, swell(199.0)));
    // A negative swell is clamped to 0, and 0 is above -10 so it is followed again.
    demo.musicOrder = 45;
    demo.timeSec = 1.0 + 4.0 * 4.0;  // sin(4) < 0
    updateViewDistance();
    EXPECT_EQ(demo.viewDistance, 0.0f);
    // At or below -10 the rule leaves it, and only the clamp applies.
    demo.viewDistance = -10.0f;
    demo.timeSec = 3.0;
    updateViewDistance();
    EXPECT_EQ(demo.viewDistance, 0.0f);
}

TEST(PulseDecay, TenthOfASecondFramesFollowTheDocumentedSequence)
{
    resetDemoState();
    relaxedStore(demo.accentPulse, 3.0f);
    relaxedStore(demo.beatPulse, 3.0f);
    // Accepting the small error of single-precision steps.
    const float tolerance = 1e-5f;
    const float accent[] = {2.3f, 1.6f, 0.9f, 0.2f, 0.0f, 0.0f};
    const float beat[] = {2.2f, 1.4f, 0.6f, 0.0f, 0.0f, 0.0f};
    demo.prevTimeSec = 10.0;
    for (int frame = 0; frame < 6; ++frame) {
        demo.timeSec = 10.0 + 0.1 * (frame + 1);
        decayPulses();
        EXPECT_NEAR(relaxedLoad(demo.accentPulse), accent[frame], tolerance) << "frame " << frame;
        EXPECT_NEAR(relaxedLoad(demo.beatPulse), beat[frame], tolerance) << "frame " << frame;
        EXPECT_GE(relaxedLoad(demo.accentPulse), 0.0f);
        EXPECT_GE(relaxedLoad(demo.beatPulse), 0.0f);
        EXPECT_EQ(demo.prevTimeSec, demo.timeSec);
    }
}

TEST(PulseDecay, FirstFrameDecaysByTheWholeTimeSinceTheClockStarted)
{
    resetDemoState();
    relaxedStore(demo.beatPulse, 3.0f);
    demo.timeSec = 0.25;
    decayPulses();
    EXPECT_EQ(relaxedLoad(demo.beatPulse), float(3.0 - 0.25 * 8.0));
    EXPECT_EQ(relaxedLoad(demo.accentPulse), 0.0f);
}

TEST(CellLoop, EveryCellIsVisitedWithExactCoordinatesAndUnknownEffectsDrawNothing)
{
    resetDemoState();
    screenBuffer.fill(CharInfo{7, 7});
    demo.effectId = 42;
    renderCells();
    for (const CharInfo& cell : screenBuffer) EXPECT_EQ(cell, (CharInfo{7, 7}));
    EXPECT_EQ(demo.cellX, 79);
    EXPECT_EQ(demo.cellY, 49);
    EXPECT_EQ(demo.cellU, 39.0f);
    EXPECT_EQ(demo.cellV, 24.0f);
    // The plasma writes every cell.
    demo.effectId = 0;
    demo.timeSec = 3.0;
    renderCells();
    for (const CharInfo& cell : screenBuffer) EXPECT_EQ(cell.glyph, 1);
}

TEST(BeatSync, CallbacksSetPulsesAndCountBeats)
{
    resetDemoState();
    relaxedStore(demo.accentPulse, 1.2f);
    onAccentInstrument(nullptr, 8);
    EXPECT_EQ(relaxedLoad(demo.accentPulse), 3.0f);
    onBeatInstrument(nullptr, 2);
    onBeatInstrument(nullptr, 2);
    EXPECT_EQ(relaxedLoad(demo.beatCount), 2);
    EXPECT_EQ(relaxedLoad(demo.beatPulse), 3.0f);
}

}  // namespace
