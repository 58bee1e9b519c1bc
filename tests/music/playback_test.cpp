// Playback without a sound device, as on a server or in CI: the song must
// still advance in real time (the silent pacer), call the instrument
// callbacks, stop for good when freed (a callback after free would write into
// a demo that is shutting down), and keep the audio libraries' complaints
// about the missing card off the terminal. A tick that cannot move the song on
// ends it instead of spinning the output's thread. (The pace over a whole
// show, on a simulated clock, is tests/sync's.)
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

double steadySeconds() { return std::chrono::duration<double>(Clock::now().time_since_epoch()).count(); }

// The steady clock, keeping the pacer's first reading: its start.
double pacerStart = 0.0;
double steadyKeepingTheFirst()
{
    const double now = steadySeconds();
    if (pacerStart == 0.0) pacerStart = now;
    return now;
}

// 20 ms ticks of sound; from the second on `bad` if it has a duration. The
// first ticks' times on the steady clock are kept.
struct FakeSong {
    std::atomic<int> ticks = 0;
    music::TickAudio bad{nullptr, 0, 0.0};
    std::vector<double> renderedAt = std::vector<double>(1000);
};

bool renderFake(void* user, music::TickAudio& audio)
{
    FakeSong* song = static_cast<FakeSong*>(user);
    const int tick = song->ticks++;
    if (size_t(tick) < song->renderedAt.size()) song->renderedAt[size_t(tick)] = steadySeconds();
    audio = tick > 0 && song->bad.seconds != 0.0 ? song->bad : music::TickAudio{sound.data(), TICK_FRAMES, 0.02};
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

// With real waits on the steady clock, however loaded the machine: no tick
// before its time, counted from the pacer's start.
TEST(Playback, TheSilentPacerNeverPlaysATickBeforeItsTimeOnTheSteadyClock)
{
    FakeSong song;
    music::SoundOutput* output = music::startSoundOutput(renderFake, &song, {steadyKeepingTheFirst, nullptr});
    EXPECT_TRUE(music::isSilentOutput(output));
    EXPECT_TRUE(waitUntil([&] { return song.ticks > 50; }));
    music::stopSoundOutput(output);
    for (int tick = 0; tick < std::min(song.ticks.load(), 1000); tick++)
        EXPECT_GE(song.renderedAt[size_t(tick)] - pacerStart, tick * 0.02 - 1e-6) << "tick " << tick;
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
