// The fade when the song is freed, buffer by buffer as the sound device's
// thread sees it: nothing changes before it is asked for, then the sound
// ramps down to silence without a jump (a click) and stays silent, and the
// stop waits for a silent buffer, so the device never closes on the ramp.
#include "music/fade_out.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

constexpr int BUFFER_FRAMES = 100;  // shorter than the ramp, so it spans buffers
constexpr int16_t LOUD = 30000;

std::vector<int16_t> loudBuffer() { return std::vector<int16_t>(BUFFER_FRAMES * music::MIX_CHANNELS, LOUD); }

}  // namespace

TEST(FadeOut, RampsDownWithoutAJumpAndReportsSilenceOnlyAfterTheRamp)
{
    music::FadeOut fade;
    std::vector<int16_t> before = loudBuffer();
    music::applyFadeOut(fade, before.data(), BUFFER_FRAMES);
    EXPECT_EQ(before, loudBuffer()) << "faded before it was asked for";

    fade.requested = true;
    std::vector<int16_t> played;
    int buffers = 0;
    while (!fade.silent && buffers < 100) {
        std::vector<int16_t> b = loudBuffer();
        music::applyFadeOut(fade, b.data(), BUFFER_FRAMES);
        played.insert(played.end(), b.begin(), b.end());
        ++buffers;
    }
    ASSERT_TRUE(fade.silent);
    // The ramp plus one buffer of silence after the buffer it ended in.
    EXPECT_EQ(buffers, music::FADE_OUT_FRAMES / BUFFER_FRAMES + 2);
    EXPECT_EQ(played.front(), LOUD);
    const int largestStep = LOUD / music::FADE_OUT_FRAMES + 1;
    for (size_t i = music::MIX_CHANNELS; i < played.size(); ++i)
        ASSERT_LE(std::abs(played[i] - played[i - music::MIX_CHANNELS]), largestStep) << "a jump at sample " << i;
    for (size_t i = size_t(music::FADE_OUT_FRAMES) * music::MIX_CHANNELS; i < played.size(); ++i)
        ASSERT_EQ(played[i], 0) << "sound after the ramp at sample " << i;
}
