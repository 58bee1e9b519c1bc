// Playback without a sound device, as on a server or in CI: the song must
// still advance in real time (the silent pacer), call the instrument
// callbacks, stop for good when freed (a callback after free would write into
// a demo that is shutting down), and keep the audio libraries' complaints
// about the missing card off the terminal. With a device, whatever pace it
// pulls at, the song keeps to the clock. A tick that cannot move the song on
// ends it instead of spinning the output's thread.
#include "music/test_modules.h"
#include "music/paced_feed.h"
#include "music/tick_loop.h"
#include "music/sound_output.h"
#include "state/player.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <cstdlib>
#include <limits>
#include <thread>

using namespace testxm;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// How long a test waits for something the pacer should do within a second;
// far beyond it on any machine, so only a player that stalls runs into it.
constexpr auto PATIENCE = 10s;
// The pacer's real-time check allows this share of error either way: it
// guards against a pacer that runs free or stalls, not against scheduling.
constexpr double PACE_TOLERANCE = 0.5;

// SDL's dummy driver: no device, as in CI. The stderr test undoes it in its own process.
const int noSoundDevice = setenv("SDL_AUDIODRIVER", "dummy", 1);

std::atomic<int> triggers[9];  // per instrument
std::atomic<bool> inCallback{false};

void countTrigger(Song*, int instrument)
{
    inCallback = true;
    triggers[instrument]++;
    // Linger, so that a free that does not wait for the player's thread would
    // return while a callback is still under way.
    std::this_thread::sleep_for(2ms);
    inCallback = false;
}

// Two orders of 8 rows at speed 3 (60 ms a row): instrument 2 on every row of
// channel 0 and instrument 3 on row 7 of channel 1.
std::string beatingSong()
{
    xm::Module module = testModule(2, {8, 8});
    module.speed = 3;
    for (xm::Pattern& pattern : module.patterns) {
        for (int row = 0; row < 8; row++) pattern.at(row, 0) = {xm::NOTE_C4, 2};
        pattern.at(7, 1) = {xm::NOTE_C4, 3};
    }
    return writeTempFile("beating.oXM", xm::serialise(module));
}

bool waitUntil(const std::function<bool()>& condition)
{
    for (Clock::time_point giveUp = Clock::now() + PATIENCE; !condition();) {
        if (Clock::now() > giveUp) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

constexpr int TICK_FRAMES = 882, DEVICE_FRAMES = 1024;
std::vector<int16_t> sound(TICK_FRAMES * music::MIX_CHANNELS, 1000);

// 20 ms ticks of sound; from the second on `bad` if it has a duration.
struct FakeSong {
    std::atomic<int> ticks = 0;
    music::TickAudio bad{nullptr, 0, 0.0};
};

bool renderFake(void* user, music::TickAudio& audio)
{
    FakeSong* song = static_cast<FakeSong*>(user);
    audio = ++song->ticks > 1 && song->bad.seconds != 0.0 ? song->bad : music::TickAudio{sound.data(), TICK_FRAMES, 0.02};
    return true;
}

}  // namespace

TEST(Playback, SilentSongAdvancesCallsBackAndStopsWhenFreed)
{
    FSOUND_Init(44100, 64, 0);
    std::string path = beatingSong();
    Song* song = FMUSIC_LoadSong(path.c_str());
    ASSERT_NE(song, nullptr);
    FMUSIC_SetInstCallback(song, countTrigger, 2);
    FMUSIC_SetInstCallback(song, countTrigger, 3);
    EXPECT_EQ(FMUSIC_GetOrder(song), 0);
    FMUSIC_PlaySong(song);
    // Order 1 begins 0.48 s in; then the song wraps back to order 0.
    EXPECT_TRUE(waitUntil([&] { return FMUSIC_GetOrder(song) == 1; }));
    EXPECT_TRUE(waitUntil([&] { return FMUSIC_GetOrder(song) == 0; }));
    EXPECT_GE(triggers[2].load(), 2 * 8);
    EXPECT_GE(triggers[3].load(), 2 * 1);
    FMUSIC_FreeSong(song);
    EXPECT_FALSE(inCallback.load());
    int atFree = triggers[2];
    std::this_thread::sleep_for(300ms);  // five rows' worth of triggers, if any still came
    EXPECT_EQ(triggers[2].load(), atFree);

    // Freed right after play, with the thread just started, or in the middle
    // of a callback, which free must wait for.
    for (int round = 0; round < 20; round++) {
        song = FMUSIC_LoadSong(path.c_str());
        FMUSIC_SetInstCallback(song, countTrigger, 2);
        FMUSIC_PlaySong(song);
        FMUSIC_PlaySong(song);  // a second play keeps the one output
        if (round % 2 == 1) {
            EXPECT_TRUE(waitUntil([] { return inCallback.load(); }));
        }
        FMUSIC_FreeSong(song);
        EXPECT_FALSE(inCallback.load());
    }
}

TEST(Playback, SilentPacerKeepsRealTime)
{
    FakeSong song;
    Clock::time_point start = Clock::now();
    music::SoundOutput* output = music::startSoundOutput(renderFake, &song);
    EXPECT_TRUE(music::isSilentOutput(output));
    std::this_thread::sleep_for(2s);
    music::stopSoundOutput(output);
    double expected = std::chrono::duration<double>(Clock::now() - start).count() / 0.02;
    EXPECT_GT(song.ticks, expected * (1 - PACE_TOLERANCE));
    EXPECT_LT(song.ticks, expected * (1 + PACE_TOLERANCE) + 1);
}

TEST(Playback, AudioLibraryMessagesStayOffTheTerminal)
{
    // In a fresh process, so that SDL chooses its driver as the demo's would
    // (ALSA on a machine without a card, which prints a dozen lines when
    // a device is opened).
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string path = beatingSong();
    EXPECT_EXIT(
        {
            unsetenv("SDL_AUDIODRIVER");
            FSOUND_Init(44100, 64, 0);
            Song* song = FMUSIC_LoadSong(path.c_str());
            FMUSIC_PlaySong(song);
            std::this_thread::sleep_for(100ms);
            FMUSIC_FreeSong(song);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "^$") << "the child process wrote to stderr";
}

// A device pulls at its own pace and then waits as long as the feed asks: one
// that takes sound faster than real time (speed 0: at once, as ALSA's null
// device does) must be told to wait until it is back on the clock, never left
// to spin; one at or below real time is never held up.
TEST(Playback, TheDeviceGetsTheSongAtTheClocksPaceWhateverPaceItPulls)
{
    for (double speed : {0.0, 10.0, 1.0, 0.5}) {
        FakeSong song;
        music::PacedFeed feed{renderFake, &song};
        std::vector<int16_t> buffer(DEVICE_FRAMES * music::MIX_CHANNELS);
        long pulls = 0, silentFrames = 0;
        double waited = 0.0;
        for (double now = 1000.0; now < 1005.0; pulls++) {
            const double wait = music::feedFrames(feed, buffer.data(), DEVICE_FRAMES, now);
            for (int frame = 0; frame < DEVICE_FRAMES; frame++) silentFrames += buffer[frame * 2] == 0;
            waited += wait;
            now += std::max(wait, speed > 0 ? DEVICE_FRAMES / (speed * music::MIX_RATE) : 0.0);
            ASSERT_LT(pulls, 100000) << "a device at " << speed << " times real time is never told to wait";
        }
        EXPECT_NEAR(song.ticks, 5.0 / 0.02, 7) << "device at " << speed << " times real time";
        // Held to the clock: five seconds of pulls take about five seconds of sound.
        const double handed = 5.0 * (speed == 0.0 || speed > 1.0 ? 1.0 : speed);
        EXPECT_NEAR(pulls * DEVICE_FRAMES / double(music::MIX_RATE), handed, 0.5) << "device at " << speed;
        EXPECT_EQ(waited > 0.0, speed == 0.0 || speed > 1.0) << "waits at " << speed;
        EXPECT_TRUE(speed != 1.0 || silentFrames == 0) << "gaps in the sound at the clock's pace";
    }
}

TEST(Playback, ATickThatCannotMoveTheSongOnEndsIt)
{
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    for (music::TickAudio bad : {music::TickAudio{sound.data(), 0, 0.02}, {sound.data(), -5, 0.02},
                                 {sound.data(), TICK_FRAMES, 1e-300}, {sound.data(), TICK_FRAMES, -2147.483648},
                                 {sound.data(), TICK_FRAMES, nan}, {sound.data(), TICK_FRAMES, inf}}) {
        SCOPED_TRACE(testing::Message() << bad.frames << " frames of " << bad.seconds << " s");
        FakeSong song{0, bad}, paced{0, bad};
        music::PacedFeed feed{renderFake, &song};
        std::vector<int16_t> buffer(DEVICE_FRAMES * music::MIX_CHANNELS, 7);
        for (double now : {1.0, 2.0, 3.0}) music::feedFrames(feed, buffer.data(), DEVICE_FRAMES, now);
        EXPECT_EQ(song.ticks, 2) << "the renderer was asked again after a broken tick";
        EXPECT_EQ(buffer[0], 0) << "no silence after the end";

        music::SoundOutput* output = music::startSoundOutput(renderFake, &paced);  // the silent pacer
        EXPECT_TRUE(waitUntil([&] { return paced.ticks == 2; }));
        std::this_thread::sleep_for(60ms);  // three ticks' time, were they played
        music::stopSoundOutput(output);
        EXPECT_EQ(paced.ticks, 2);
    }
}
