// The song keeps to the clock over a whole show on the native outputs: the
// silent pacer, and a sound device's feed whatever pace the device pulls at.
// Both run on a simulated clock that the test moves, so four minutes of song
// take a moment and nothing depends on the machine's speed. Each order must
// start on the clock where the tempos put it in the song, give or take a
// fixed lead or lag: a clock 0.05 % off is 0.13 s adrift by the last order.
#include "sync/pace_song.h"

#include "music/paced_feed.h"
#include "music/sound_output.h"
#include "music/tick_loop.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using pace::ORDERS;
using pace::RATE;

// SDL's dummy driver: no device, so the output is the silent pacer.
const int noSoundDevice = setenv("SDL_AUDIODRIVER", "dummy", 1);

constexpr int DEVICE_FRAMES = 1024;
constexpr double MAX_LATENCY = 0.002;        // how late a waking thread may be
constexpr double DECODE_SECONDS = 1e-4;      // the clock's time a tick takes to decode
constexpr double LONGEST_TICK = 2.5 / 90;    // of the pace song's tempos

// --- the simulated clock; used by one thread at a time (the output's while
// it plays, then the test's)
double simulatedNow = 1000.0;
unsigned latencySeed = 1;
long waits = 0;

double wakeLatency()
{
    latencySeed = latencySeed * 1103515245u + 12345u;
    return MAX_LATENCY * double((latencySeed >> 16) % 1000) / 1000.0;
}

double simulatedClock() { return simulatedNow; }
void simulatedWait(double until)
{
    ++waits;
    simulatedNow = std::max(simulatedNow, until) + wakeLatency();
}
const music::OutputClock SIMULATED{simulatedClock, simulatedWait};

// The pace song decoded a tick at a time, as the player renders it, with the
// clock's time at each order's first tick. Each tick's sound is its order
// plus one in every sample, so that the device's stream shows where each
// order's sound begins.
struct PacedSong {
    music::TickLoop* loop = nullptr;
    double start = simulatedNow;
    std::vector<double> orderRendered = std::vector<double>(ORDERS, NAN);
    std::vector<int16_t> sound;
    std::atomic<bool> ended{false};  // the song has wrapped: nothing more is rendered

    explicit PacedSong(const pace::PaceSong& song) : loop(music::openTickLoop(song.path.c_str())) {}
    ~PacedSong() { music::closeTickLoop(loop); }
};

bool renderPacedTick(void* user, music::TickAudio& audio)
{
    PacedSong& song = *static_cast<PacedSong*>(user);
    music::Tick tick;
    if (!music::playTick(song.loop, tick) || tick.wrapped) {
        song.ended = true;
        return false;
    }
    if (std::isnan(song.orderRendered[size_t(tick.order)])) song.orderRendered[size_t(tick.order)] = simulatedNow;
    simulatedNow += DECODE_SECONDS;
    song.sound.assign(size_t(tick.frames) * music::MIX_CHANNELS, int16_t(tick.order + 1));
    audio = {song.sound.data(), tick.frames, tick.seconds};
    return true;
}

// How far apart, at most, the orders after the first start on the clock
// beyond their distance in the song: 0 on a clock that keeps the song's pace,
// whatever its lead or lag.
double paceSpread(const PacedSong& paced, const pace::PaceSong& song)
{
    double earliest = INFINITY, latest = -INFINITY;
    for (int order = 1; order < ORDERS; ++order) {
        const double offset = paced.orderRendered[size_t(order)] - paced.start - song.startSeconds(order);
        if (std::isnan(offset)) return INFINITY;  // never rendered
        earliest = std::min(earliest, offset);
        latest = std::max(latest, offset);
    }
    return latest - earliest;
}

}  // namespace

// Without a device the pacer plays each tick when it falls due, late by no
// more than its wake-up and the decoding; the lateness must not add up.
TEST(NativePace, TheSilentPacerKeepsTheSongsTimeOverAWholeShow)
{
    const pace::PaceSong song = pace::paceSong();
    PacedSong paced(song);
    ASSERT_NE(paced.loop, nullptr);
    music::SoundOutput* output = music::startSoundOutput(renderPacedTick, &paced, SIMULATED);
    EXPECT_TRUE(music::isSilentOutput(output));
    for (int i = 0; i < 10000 && !paced.ended; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    music::stopSoundOutput(output);
    ASSERT_TRUE(paced.ended) << "the pacer did not play the show within 20 s";
    EXPECT_EQ(paced.orderRendered[0], paced.start);
    EXPECT_LE(paceSpread(paced, song), MAX_LATENCY + DECODE_SECONDS);
}

// A device pulls a buffer at a time at its own pace, then waits as long as
// the feed asks: one faster than real time (speed 0: at once, as ALSA's null
// device does) is held to the clock; one in real time hears every order's
// sound exactly where the song has it; one too slow loses sound, not time.
// Either way the ticks, and with them the orders the picture shows, keep to
// the clock within a pull and a tick.
TEST(NativePace, TheDeviceFeedKeepsTheSongsTimeOverAWholeShowWhateverPaceTheDevicePulls)
{
    const pace::PaceSong song = pace::paceSong();
    const double bufferSeconds = double(DEVICE_FRAMES) / RATE;
    for (double speed : {0.0, 10.0, 1.0, 0.5}) {
        SCOPED_TRACE(testing::Message() << "a device at " << speed << " times real time");
        PacedSong paced(song);
        music::PacedFeed feed{renderPacedTick, &paced};
        std::vector<int16_t> buffer(DEVICE_FRAMES * music::MIX_CHANNELS);
        std::vector<int64_t> heard(ORDERS, -1);  // stream frame of each order's first sound
        long pulls = 0;
        waits = 0;
        while (!paced.ended) {
            music::pullFrames(feed, buffer.data(), DEVICE_FRAMES, SIMULATED);
            for (int frame = 0; frame < DEVICE_FRAMES; ++frame) {
                const int order = buffer[size_t(frame) * music::MIX_CHANNELS] - 1;
                if (order >= 0 && heard[size_t(order)] < 0) heard[size_t(order)] = pulls * DEVICE_FRAMES + frame;
            }
            ++pulls;
            // The device's next pull: on its own schedule, from its start.
            if (speed > 0.0) simulatedNow = std::max(simulatedNow, paced.start + pulls * bufferSeconds / speed + wakeLatency());
            ASSERT_LT(pulls, 2 * 300 * RATE / DEVICE_FRAMES) << "never told to wait";
        }
        const double pullSeconds = speed > 0.0 ? bufferSeconds / speed : 0.0;
        EXPECT_LE(paceSpread(paced, song), std::max(pullSeconds, bufferSeconds) + LONGEST_TICK + MAX_LATENCY);
        // Held to the clock: the sound taken is never more than the device may buffer ahead.
        EXPECT_LE(pulls * bufferSeconds, simulatedNow - paced.start + 0.25 + bufferSeconds);
        EXPECT_EQ(waits > 0, speed == 0.0 || speed > 1.0) << waits << " waits";
        if (speed != 1.0) continue;
        for (int order = 1; order < ORDERS; ++order)
            EXPECT_EQ(heard[size_t(order)] - heard[0], song.orderStart[size_t(order)]) << "order " << order << "'s sound";
    }
}
