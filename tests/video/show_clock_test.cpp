// The capture's clock on a module whose tempo changes move its ticks onto,
// just after and just before frame times: each frame must see exactly the
// ticks that start at or before its first sample, so a beat shows on the frame
// it falls on or the next one, and the pulses fall frame by frame from there.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "music/test_modules.h"
#include "music/tick_loop.h"
#include "runtime/frame_loop.h"
#include "state/demo_state.h"
#include "music/show_clock.h"

namespace {

constexpr int FPS = 50;               // 882 samples a frame: one tick at 125 BPM
constexpr int FRAME_SAMPLES = 882;

// Speed 1, so every row is one tick. Pairs of tempo changes shift the ticks
// against the frames: 121 and 129 BPM by one sample later, 111 and 143 by one
// sample earlier, 125 puts the length back.
std::string clockSong()
{
    xm::Module module = testxm::testModule(2, {24, 16});
    module.speed = 1;
    auto note = [&](int pattern, int row, int channel, int instrument) {
        module.patterns[size_t(pattern)].at(row, channel).note = xm::NOTE_C4;
        module.patterns[size_t(pattern)].at(row, channel).instrument = uint8_t(instrument);
    };
    auto tempo = [&](int row, int bpm) {
        module.patterns[0].at(row, 1).effect = xm::FX_SPEED;
        module.patterns[0].at(row, 1).param = uint8_t(bpm);
    };
    note(0, 2, 0, 2);   // a beat exactly on a frame
    note(0, 4, 0, 3);   // an accent, and an instrument nobody listens to
    note(0, 4, 1, 1);
    tempo(5, 121), tempo(6, 129), tempo(7, 125);
    note(0, 9, 0, 2);   // one sample after a frame
    note(0, 10, 0, 2);  // two beats in one tick
    note(0, 10, 1, 5);
    tempo(12, 111), tempo(13, 143), tempo(14, 125), tempo(15, 111), tempo(16, 143), tempo(17, 125);
    note(0, 18, 0, 2);  // one sample before a frame
    note(0, 20, 0, 8);
    note(1, 2, 0, 5);
    note(1, 6, 0, 4);
    return testxm::writeTempFile("clock.xm", xm::serialise(module));
}

struct DecodedTick {
    int64_t start;
    int order, beats, accents;
};

// The song's first pass straight from the decoder: where each tick starts, and
// how many beats (instruments 2 and 5) and accents (3, 4 and 8) it triggers.
std::vector<DecodedTick> ticksOf(const std::string& song)
{
    std::vector<DecodedTick> ticks;
    music::TickLoop* loop = music::openTickLoop(song.c_str());
    music::Tick tick;
    for (int64_t start = 0; music::playTick(loop, tick) && !tick.wrapped; start += tick.frames) {
        DecodedTick decoded{start, tick.order, 0, 0};
        for (const int instrument : std::vector<int>(tick.triggers, tick.triggers + tick.triggerCount)) {
            decoded.beats += instrument == 2 || instrument == 5;
            decoded.accents += instrument == 3 || instrument == 4 || instrument == 8;
        }
        ticks.push_back(decoded);
    }
    music::closeTickLoop(loop);
    return ticks;
}

TEST(ShowClock, EachFrameSeesTheTicksStartingAtOrBeforeIt)
{
    const std::string song = clockSong();
    const std::vector<DecodedTick> ticks = ticksOf(song);
    ASSERT_EQ(ticks.size(), 40u);

    // The beats fall on, just after and just before frame times.
    std::set<int64_t> offsets;
    for (const DecodedTick& tick : ticks) {
        const int64_t offset = (tick.start + FRAME_SAMPLES / 2) % FRAME_SAMPLES - FRAME_SAMPLES / 2;
        if (tick.beats > 0) offsets.insert(offset);
    }
    EXPECT_TRUE(offsets.count(0) && offsets.count(1) && offsets.count(-1));

    resetDemoState();
    ShowClock clock;
    ASSERT_TRUE(openShowClock(clock, song.c_str(), FPS));
    int beats = 0, beatFrame = -1, accentFrame = -1;
    size_t seen = 0;
    for (int k = 0; k < 38; ++k) {
        enterFrame(clock, k);
        for (; seen < ticks.size() && ticks[seen].start <= int64_t(k) * FRAME_SAMPLES; ++seen) {
            beats += ticks[seen].beats;
            if (ticks[seen].beats) beatFrame = k;
            if (ticks[seen].accents) accentFrame = k;
        }
        EXPECT_EQ(demo.timeSec, double(k) / FPS);
        EXPECT_EQ(demo.musicOrder, ticks[seen - 1].order) << "frame " << k;
        EXPECT_EQ(demo.beatCount.load(), beats) << "frame " << k;
        const double beatPulse = beatFrame < 0 ? 0.0 : std::max(0.0, 3.0 - 8.0 * (k - beatFrame) / FPS);
        const double accentPulse = accentFrame < 0 ? 0.0 : std::max(0.0, 3.0 - 7.0 * (k - accentFrame) / FPS);
        EXPECT_NEAR(demo.beatPulse.load(), beatPulse, 1e-4) << "frame " << k;
        EXPECT_NEAR(demo.accentPulse.load(), accentPulse, 1e-4) << "frame " << k;
        decayPulses();
    }
    EXPECT_EQ(beats, 6);

    closeShowClock(clock);
}

// The page decodes half a second ahead for its sound device: a tick's order
// and triggers must wait until the device has played up to the tick's start.
TEST(ShowClock, TicksDecodedAheadReachTheDemoWhenPlayed)
{
    const std::string song = clockSong();
    const std::vector<DecodedTick> ticks = ticksOf(song);
    resetDemoState();
    ShowClock clock;
    ASSERT_TRUE(openShowClock(clock, song.c_str(), FPS));
    decodeAhead(clock, ticks[30].start);
    EXPECT_GE(clock.decoded, ticks[30].start);
    EXPECT_EQ(demo.beatCount.load(), 0);
    EXPECT_EQ(clock.order, 0);

    int beats = 0;
    size_t seen = 0;
    for (int64_t played = 0; played < ticks[30].start; played += 300) {
        passSample(clock, played);
        for (; seen < ticks.size() && ticks[seen].start <= played; ++seen) beats += ticks[seen].beats;
        EXPECT_EQ(demo.beatCount.load(), beats) << "played " << played;
        EXPECT_EQ(clock.order, ticks[seen - 1].order) << "played " << played;
    }
    EXPECT_GT(beats, 2);
    closeShowClock(clock);
}

}  // namespace
