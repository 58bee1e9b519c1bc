// The device's feed and the pacer against the clock: a device pulling ten times
// faster than real time, or at half speed, still hears the song at the clock's
// pace (the order position the demo reads comes from the ticks rendered), a
// device at the right pace gets the sound without gaps, and a tick that cannot
// move the song on ends it instead of spinning the device's thread.
#include "music/paced_feed.h"
#include "music/tick_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

namespace {

constexpr double TICK_SECONDS = 0.02;
constexpr int TICK_FRAMES = 882;
constexpr int DEVICE_FRAMES = 1024;  // one pull of the device

struct FakeSong {
    int ticks = 0;
    music::TickAudio bad{nullptr, 0, 0.0};  // returned from the second tick on when badFrom
    bool badFrom = false;
    std::vector<int16_t> sound = std::vector<int16_t>(TICK_FRAMES * music::MIX_CHANNELS, 1000);
};

bool renderFake(void* user, music::TickAudio& audio)
{
    FakeSong* song = static_cast<FakeSong*>(user);
    song->ticks++;
    audio = song->badFrom && song->ticks > 1 ? song->bad : music::TickAudio{song->sound.data(), TICK_FRAMES, TICK_SECONDS};
    return true;
}

}  // namespace

TEST(PacedFeed, TheSongKeepsToTheClockWhateverPaceTheDevicePulls)
{
    constexpr double CLOCK_SECONDS = 5.0;
    for (double speed : {10.0, 1.0, 0.5}) {
        FakeSong song;
        music::PacedFeed feed{};
        feed.render = renderFake;
        feed.user = &song;
        std::vector<int16_t> buffer(DEVICE_FRAMES * music::MIX_CHANNELS);
        const double start = 1000.0;  // any clock origin
        long silentFrames = 0, pulls = 0;
        for (double now = start; now < start + CLOCK_SECONDS; now += DEVICE_FRAMES / (speed * music::MIX_RATE), pulls++) {
            music::feedFrames(feed, buffer.data(), DEVICE_FRAMES, now);
            for (int frame = 0; frame < DEVICE_FRAMES; frame++) silentFrames += buffer[frame * 2] == 0;
        }
        // Within the feed's lead of the clock, whatever the device took.
        const double clockTicks = CLOCK_SECONDS / TICK_SECONDS;
        EXPECT_NEAR(song.ticks, clockTicks, 0.15 / TICK_SECONDS) << "device at " << speed << " times real time";
        if (speed == 1.0) {
            EXPECT_EQ(silentFrames, 0) << "gaps in the sound of a device at the clock's pace";
        } else if (speed == 10.0) {
            EXPECT_GT(silentFrames, pulls * DEVICE_FRAMES * 8 / 10) << "a fast device is fed silence";
        }
    }
}

TEST(PacedFeed, ATickThatCannotMoveTheSongOnEndsIt)
{
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    std::vector<int16_t> sound(TICK_FRAMES * music::MIX_CHANNELS, 1000);
    for (music::TickAudio bad : {music::TickAudio{sound.data(), 0, TICK_SECONDS}, {sound.data(), -5, TICK_SECONDS},
                                 {sound.data(), TICK_FRAMES, 0.0}, {sound.data(), TICK_FRAMES, -2147.483648},
                                 {sound.data(), TICK_FRAMES, nan}, {sound.data(), TICK_FRAMES, inf}}) {
        SCOPED_TRACE(testing::Message() << bad.frames << " frames, " << bad.seconds << " s");
        FakeSong song;
        song.bad = bad;
        song.badFrom = true;
        music::PacedFeed feed{};
        feed.render = renderFake;
        feed.user = &song;
        std::vector<int16_t> buffer(DEVICE_FRAMES * music::MIX_CHANNELS, 7);
        for (int pull = 0; pull < 3; pull++) music::feedFrames(feed, buffer.data(), DEVICE_FRAMES, 1.0 + pull);
        EXPECT_EQ(song.ticks, 2) << "the renderer was asked again after a broken tick";
        EXPECT_EQ(buffer[0], 0) << "no silence after the end";

        // The silent pacer stops asking as well; this process has no sound device.
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        FakeSong paced = song;
        paced.ticks = 0;
        music::SoundOutput* output = music::startSoundOutput(renderFake, &paced);
        ASSERT_TRUE(music::isSilentOutput(output));
        std::this_thread::sleep_for(std::chrono::milliseconds(60));  // three ticks' time, were they played
        music::stopSoundOutput(output);
        EXPECT_EQ(paced.ticks, 2);
    }
}
