// The song against the clock: a device pulling ten times faster than real time,
// or at half speed, still gets the ticks (and so the order position the demo
// reads) at the clock's pace, one at the right pace gets the sound without
// gaps, and a tick that cannot move the song on ends it, on the device as on
// the silent pacer, instead of spinning their thread.
#include "music/paced_feed.h"
#include "music/tick_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <thread>
#include <vector>

namespace {

constexpr int TICK_FRAMES = 882, DEVICE_FRAMES = 1024;
std::vector<int16_t> sound(TICK_FRAMES * music::MIX_CHANNELS, 1000);

// 20 ms ticks of sound; from the second on `bad` if it has a duration.
struct FakeSong {
    int ticks = 0;
    music::TickAudio bad{nullptr, 0, 0.0};
};

bool renderFake(void* user, music::TickAudio& audio)
{
    FakeSong* song = static_cast<FakeSong*>(user);
    audio = ++song->ticks > 1 && song->bad.seconds != 0.0 ? song->bad : music::TickAudio{sound.data(), TICK_FRAMES, 0.02};
    return true;
}

}  // namespace

TEST(PacedFeed, TheSongKeepsToTheClockWhateverPaceTheDevicePulls)
{
    for (double speed : {10.0, 1.0, 0.5}) {
        FakeSong song;
        music::PacedFeed feed{renderFake, &song};
        std::vector<int16_t> buffer(DEVICE_FRAMES * music::MIX_CHANNELS);
        long pulls = 0, silentFrames = 0;
        for (double now = 1000.0; now < 1005.0; now += DEVICE_FRAMES / (speed * music::MIX_RATE), pulls++) {
            music::feedFrames(feed, buffer.data(), DEVICE_FRAMES, now);
            for (int frame = 0; frame < DEVICE_FRAMES; frame++) silentFrames += buffer[frame * 2] == 0;
        }
        EXPECT_NEAR(song.ticks, 5.0 / 0.02, 7) << "device at " << speed << " times real time";
        EXPECT_EQ(silentFrames > pulls * DEVICE_FRAMES * 8 / 10, speed == 10.0) << "silence fed at " << speed;
        if (speed == 1.0) {
            EXPECT_EQ(silentFrames, 0) << "gaps in the sound at the clock's pace";
        }
    }
}

TEST(PacedFeed, ATickThatCannotMoveTheSongOnEndsIt)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);  // the silent pacer
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

        music::SoundOutput* output = music::startSoundOutput(renderFake, &paced);
        std::this_thread::sleep_for(std::chrono::milliseconds(60));  // three ticks' time, were they played
        music::stopSoundOutput(output);
        EXPECT_EQ(paced.ticks, 2);
    }
}
