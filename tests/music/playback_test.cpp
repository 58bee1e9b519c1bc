// Playback without a sound device, as on a server or in CI: the song must
// still advance in real time (the silent pacer), call the instrument
// callbacks, stop for good when freed (a callback after free would write into
// a demo that is shutting down), and keep the audio libraries' complaints
// about the missing card off the terminal.
#include "music/test_modules.h"
#include "runtime/music/sound_output.h"
#include "runtime/music/tick_loop.h"
#include "runtime/player.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>

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

void useNoSoundDevice() { setenv("SDL_AUDIODRIVER", "dummy", 1); }

std::atomic<int> beats{0};
std::atomic<int> accents{0};
std::atomic<bool> inCallback{false};

void countBeat(Song*, int instrument)
{
    inCallback = true;
    EXPECT_TRUE(instrument == 2 || instrument == 5);
    beats++;
    // Linger, so that a free that does not wait for the player's thread would
    // return while a callback is still under way.
    std::this_thread::sleep_for(2ms);
    inCallback = false;
}

void countAccent(Song*, int instrument)
{
    EXPECT_EQ(instrument, 3);
    accents++;
}

// Two orders of 8 rows at speed 3 (60 ms a row): instrument 2 on every row of
// channel 0, instrument 5 on even rows of channel 1, instrument 3 once per order.
Module beatingSong()
{
    Module module;
    module.channels = 2;
    module.speed = 3;
    module.orders = {0, 1};
    for (int order = 0; order < 2; order++) {
        Pattern pattern = emptyPattern(8, module.channels);
        for (int row = 0; row < 8; row++) {
            cellAt(pattern, module, row, 0) = {C4, 2};
            if (row % 2 == 0) cellAt(pattern, module, row, 1) = {D4, 5};
        }
        cellAt(pattern, module, 4, 1) = {C4, 3};
        module.patterns.push_back(pattern);
    }
    return module;
}

bool waitFor(const std::function<bool()>& condition)
{
    Clock::time_point giveUp = Clock::now() + PATIENCE;
    while (!condition()) {
        if (Clock::now() > giveUp) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

}  // namespace

TEST(Playback, SilentSongAdvancesCallsBackAndStopsWhenFreed)
{
    useNoSoundDevice();
    FSOUND_Init(44100, 64, 0);
    Song* song = FMUSIC_LoadSong(writeModule("beating.oXM", beatingSong()).c_str());
    ASSERT_NE(song, nullptr);
    FMUSIC_SetInstCallback(song, countBeat, 2);
    FMUSIC_SetInstCallback(song, countBeat, 5);
    FMUSIC_SetInstCallback(song, countAccent, 3);
    beats = 0;
    accents = 0;
    EXPECT_EQ(FMUSIC_GetOrder(song), 0);
    FMUSIC_PlaySong(song);

    // Order 1 begins 0.48 s in; then the song wraps back to order 0.
    EXPECT_TRUE(waitFor([&] { return FMUSIC_GetOrder(song) == 1; }));
    EXPECT_TRUE(waitFor([&] { return FMUSIC_GetOrder(song) == 0; }));
    EXPECT_GE(beats.load(), 8 + 4 + 8 + 4);
    EXPECT_GE(accents.load(), 2);

    FMUSIC_FreeSong(song);
    EXPECT_FALSE(inCallback.load());
    int beatsAtFree = beats;
    std::this_thread::sleep_for(300ms);  // five rows' worth of beats, if any still came
    EXPECT_EQ(beats.load(), beatsAtFree);
}

TEST(Playback, FreeRightAfterPlayStopsTheThread)
{
    useNoSoundDevice();
    std::string path = writeModule("beating.oXM", beatingSong());
    for (int round = 0; round < 20; round++) {
        Song* song = FMUSIC_LoadSong(path.c_str());
        ASSERT_NE(song, nullptr);
        FMUSIC_SetInstCallback(song, countBeat, 2);
        FMUSIC_PlaySong(song);
        FMUSIC_PlaySong(song);  // a second play keeps the one output
        FMUSIC_FreeSong(song);
        EXPECT_FALSE(inCallback.load());
    }
}

namespace pacer {

constexpr double TICK_SECONDS = 0.02;
int16_t silence[882 * 2];
std::atomic<int> ticks{0};

bool renderSilentTick(void*, music::TickAudio& audio)
{
    ticks++;
    audio.samples = silence;
    audio.frames = 882;
    audio.seconds = TICK_SECONDS;
    return true;
}

}  // namespace pacer

TEST(Playback, SilentPacerKeepsRealTime)
{
    useNoSoundDevice();
    pacer::ticks = 0;
    Clock::time_point start = Clock::now();
    music::SoundOutput* output = music::startSoundOutput(pacer::renderSilentTick, nullptr);
    EXPECT_TRUE(music::isSilentOutput(output));
    std::this_thread::sleep_for(2s);
    music::stopSoundOutput(output);
    double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    double expected = elapsed / pacer::TICK_SECONDS;
    EXPECT_GT(pacer::ticks.load(), expected * (1 - PACE_TOLERANCE));
    EXPECT_LT(pacer::ticks.load(), expected * (1 + PACE_TOLERANCE) + 1);
}

TEST(Playback, AudioLibraryMessagesStayOffTheTerminal)
{
    // In a fresh process, so that SDL chooses its driver as the demo's would
    // (ALSA on a machine without a card, which prints a dozen lines when
    // a device is opened).
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string path = writeModule("beating.oXM", beatingSong());
    std::string errors = writeTempFile("stderr.txt", {});
    EXPECT_EXIT(
        {
            unsetenv("SDL_AUDIODRIVER");
            std::FILE* capture = std::fopen(errors.c_str(), "w");
            if (capture == nullptr) std::_Exit(2);
            dup2(fileno(capture), STDERR_FILENO);
            FSOUND_Init(44100, 64, 0);
            Song* song = FMUSIC_LoadSong(path.c_str());
            FMUSIC_PlaySong(song);
            std::this_thread::sleep_for(100ms);
            FMUSIC_FreeSong(song);
            std::fflush(stderr);
            bool quiet = lseek(STDERR_FILENO, 0, SEEK_END) == 0;
            std::remove(errors.c_str());  // _Exit skips the test files' cleanup
            std::remove(path.c_str());
            std::_Exit(quiet ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
