// The song's own sample count is the clock of the page (the samples its sound
// device has played) and of the capture (frame k at song time k / fps). Over
// a whole show, each frame must show the order the song plays at the frame's
// time, to the sample, and the sound handed out must be the song's, frame for
// frame, none dropped or doubled.
#include "sync/pace_song.h"

#include "music/page_player.h"
#include "music/show_clock.h"
#include "music/tick_loop.h"
#include "state/demo_state.h"
#include "state/player.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using pace::ORDERS;
using pace::RATE;

// The song's sound straight from the decoder, to hold a stream against.
class SongSound {
public:
    explicit SongSound(const std::string& path) : loop_(music::openTickLoop(path.c_str())) {}
    ~SongSound() { music::closeTickLoop(loop_); }

    // Whether `frames` stereo frames at `samples` are the song's next ones.
    bool next(const int16_t* samples, size_t frames)
    {
        const size_t count = frames * music::MIX_CHANNELS;
        music::Tick tick;
        while (sound_.size() < count && music::playTick(loop_, tick))
            sound_.insert(sound_.end(), tick.samples, tick.samples + size_t(tick.frames) * music::MIX_CHANNELS);
        const bool same = sound_.size() >= count && std::equal(samples, samples + count, sound_.begin());
        sound_.erase(sound_.begin(), sound_.begin() + ptrdiff_t(std::min(count, sound_.size())));
        return same;
    }

private:
    music::TickLoop* loop_;
    std::vector<int16_t> sound_;  // decoded, not compared yet
};

}  // namespace

// The page: animation frames about 60 a second, a little irregular; the
// device plays in quanta of 128 frames and is kept half a second ahead.
TEST(ShowClockPace, ThePagesFramesAndSoundKeepTheSongsTimeOverAWholeShow)
{
    const pace::PaceSong song = pace::paceSong();
    SongSound songSound(song.path);
    resetDemoState();
    ASSERT_TRUE(FSOUND_Init(RATE, 64, 0));
    Song* player = FMUSIC_LoadSong(song.path.c_str());
    ASSERT_NE(player, nullptr);
    ASSERT_TRUE(FMUSIC_PlaySong(player));
    int64_t handed = 0;
    int frame = 0, wrongOrders = 0, firstWrong = -1;
    bool soundIsTheSongs = true;
    for (double t = 0.0; FMUSIC_GetOrder(player) < ORDERS - 1; t += (frame % 3 == 0 ? 14.0 : 18.0) / 1000.0, ++frame) {
        const int64_t played = int64_t(t * RATE) / 128 * 128;
        const double ms = pageSongPlayed(played);
        // The order the frame shows is the song's at the frame's time.
        if (FMUSIC_GetOrder(player) != song.orderAt(int64_t(std::floor(ms * RATE / 1000.0 + 1e-6))) && wrongOrders++ == 0)
            firstWrong = frame;
        size_t frames = 0;
        const int16_t* sound = pageSongTakeSound(played + RATE / 2, frames);
        soundIsTheSongs = soundIsTheSongs && songSound.next(sound, frames);
        handed += int64_t(frames);
        ASSERT_GE(handed, played + RATE / 2) << "the device starved at frame " << frame;
        ASSERT_LT(frame, 20000) << "the show did not reach its last order";
    }
    EXPECT_EQ(wrongOrders, 0) << "first at frame " << firstWrong;
    EXPECT_TRUE(soundIsTheSongs);
    FMUSIC_FreeSong(player);
}

// The capture, at 60 and 50 frames a second: frame k shows the order at
// sample floor(k * 44100 / fps), at time k / fps; the sound track written by
// then reaches at least the frame's start and not past its end, and once
// completed it holds the song up to the last frame's end.
TEST(ShowClockPace, TheCapturesFramesAndSoundTrackKeepTheSongsTimeOverAWholeShow)
{
    const pace::PaceSong song = pace::paceSong();
    for (const int fps : {60, 50}) {
        SCOPED_TRACE(testing::Message() << fps << " frames a second");
        SongSound songSound(song.path);
        resetDemoState();
        ShowClock clock;
        ASSERT_TRUE(openShowClock(clock, song.path.c_str(), fps));
        int64_t frame = 0, handed = 0;
        int wrong = 0;
        int64_t firstWrong = -1;
        bool soundIsTheSongs = true;
        for (; demo.musicOrder < ORDERS - 1; ++frame) {
            enterFrame(clock, frame);
            const bool right = demo.musicOrder == song.orderAt(frame * RATE / fps) && demo.timeSec == double(frame) / fps;
            size_t frames = 0;
            const int16_t* sound = takeSound(clock, frameSample(clock, frame + 1), false, frames);
            soundIsTheSongs = soundIsTheSongs && songSound.next(sound, frames);
            handed += int64_t(frames);
            const bool inStep = handed >= frame * RATE / fps && handed <= (frame + 1) * RATE / fps;
            if ((!right || !inStep) && wrong++ == 0) firstWrong = frame;
            ASSERT_LT(frame, 300 * fps) << "the show did not reach its last order";
        }
        size_t frames = 0;
        const int16_t* sound = takeSound(clock, frameSample(clock, frame), true, frames);
        soundIsTheSongs = soundIsTheSongs && songSound.next(sound, frames);
        EXPECT_EQ(handed + int64_t(frames), frame * RATE / fps);
        EXPECT_EQ(wrong, 0) << "first at frame " << firstWrong;
        EXPECT_TRUE(soundIsTheSongs);
        EXPECT_EQ(frame - 1, (song.orderStart[ORDERS - 1] * fps + RATE - 1) / RATE) << "the last order's first frame";
        closeShowClock(clock);
    }
}
