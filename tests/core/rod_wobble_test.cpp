// Scene 4's wobble on the fast path (wobbleExact, guarded kernels) against the
// formula with the library's sine and cosine (wobble). The fast value must be
// the library formula's float bit for bit: over random points, times and
// beats in and beyond the show's ranges, next to x = 0 where w shrinks to 0,
// with zeros of either sign, beyond the kernels' domain and for NaN and
// infinities. The guard must refuse estimates near a float rounding boundary
// and near 0, so the library decides those; and the scene as instantiated
// for the fast loop must take its wobble from here.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "raymarch/fast_scenes.h"
#include "raymarch/rod_wobble.h"
#include "raymarch/scenes.h"

namespace {

uint32_t bitsOf(float f) { return std::bit_cast<uint32_t>(f); }

::testing::AssertionResult sameAsLibrary(float x, double t, double beat)
{
    const float expected = rods::wobble(x, t, beat);
    const float actual = rods::wobbleExact(x, t, beat);
    float fast = 0.0f;
    const bool accepted = rods::wobbleFast(x, t, beat, fast);
    if (bitsOf(actual) != bitsOf(expected) || (accepted && bitsOf(fast) != bitsOf(expected)))
        return ::testing::AssertionFailure() << std::hexfloat << "x = " << x << ", t = " << t << ", beat = " << beat
                                             << ": library " << expected << ", fast " << actual;
    return ::testing::AssertionSuccess();
}

TEST(RodWobble, RandomPointsTimesAndBeatsGiveTheLibrarysBits)
{
    std::mt19937_64 random(41);
    std::uniform_real_distribution<float> near(-2500.0f, 2500.0f), far(-3.0e6f, 3.0e6f);
    std::uniform_real_distribution<double> time(0.0, 400.0), pulse(0.0, 3.0);
    int accepted = 0;
    const int samples = 1500000;
    for (int i = 0; i < samples; ++i) {
        const float x = i % 8 == 7 ? far(random) : near(random);
        const double t = time(random);
        // Beats as the demo holds them (floats), and at rest.
        const double beat = i % 4 == 0 ? 0.0 : double(float(pulse(random)));
        ASSERT_TRUE(sameAsLibrary(x, t, beat));
        float out;
        accepted += rods::wobbleFast(x, t, beat, out);
    }
    // The library answers only next to rounding boundaries: about 0.2%.
    EXPECT_GT(accepted, samples - samples / 100);
}

TEST(RodWobble, ConsecutiveFloatsAtTheBenchmarksTimesGiveTheLibrarysBits)
{
    // A ray's steps change x by little: every float from 1999 up for a while,
    // on a beat and at rest, and their negatives.
    for (const float sign : {1.0f, -1.0f}) {
        float x = sign * 1999.0f;
        for (int i = 0; i < 300000; ++i, x = std::nextafter(x, sign * 3000.0f)) {
            ASSERT_TRUE(sameAsLibrary(x, 77.7, 2.4000000953674316));
            ASSERT_TRUE(sameAsLibrary(x, 90.2, 0.0));
        }
    }
}

TEST(RodWobble, NearXZeroAndAtTimeZeroTheLibraryDecidesAndSignedZerosSurvive)
{
    // At t = 0 and beat 0, w = float(0.05 (sin 0.1x - sin 0.3x)) shrinks with
    // x down to 0; the guard hands every value near 0 to the library.
    float out = 0.0f;
    for (const double beat : {0.0, -0.0}) {
        for (const double t : {0.0, -0.0}) {
            for (const float x : {0.0f, -0.0f, 1.0e-30f, -1.0e-30f, 1.0e-42f, -1.0e-42f}) {
                EXPECT_FALSE(rods::wobbleFast(x, t, beat, out)) << x;
                ASSERT_TRUE(sameAsLibrary(x, t, beat));
            }
        }
    }
    // Zeros of either sign: at x = 0 every term is 0 and w is +0 whatever the
    // signs of t and beat (g = -0 with a negative zero beat, but a - b = +0).
    // For the smallest float x, a - b = 0.05 (sin 0.1x - sin 0.3x) is a tiny
    // double of the opposite sign to x that rounds to a float zero of that
    // sign.
    EXPECT_EQ(bitsOf(rods::wobbleExact(0.0f, 0.0, 0.0)), 0x00000000u);
    EXPECT_EQ(bitsOf(rods::wobbleExact(-0.0f, -0.0, -0.0)), 0x00000000u);
    EXPECT_EQ(bitsOf(rods::wobbleExact(0.0f, 0.0, -0.0)), 0x00000000u);
    EXPECT_EQ(bitsOf(rods::wobbleExact(0x1p-149f, 0.0, 0.0)), 0x80000000u);
    EXPECT_EQ(bitsOf(rods::wobbleExact(-0x1p-149f, 0.0, 0.0)), 0x00000000u);
    EXPECT_EQ(bitsOf(rods::wobbleExact(0x1p-149f, 0.0, -0.0)), 0x80000000u);

    // Floats spreading from the smallest up to 2^-6, both signs, with and
    // without time and beat.
    for (const float sign : {1.0f, -1.0f}) {
        for (float m = 0x1p-149f; m < 0x1p-6f; m = m < 0x1p-120f ? 2.0f * m : m * 1.0001f) {
            for (const double t : {0.0, 1.5})
                for (const double beat : {0.0, 2.0}) ASSERT_TRUE(sameAsLibrary(sign * m, t, beat));
        }
    }
}

TEST(RodWobble, BeyondTheDomainAndForNaNAndInfinitiesTheLibraryAnswers)
{
    const float infF = std::numeric_limits<float>::infinity();
    const double inf = std::numeric_limits<double>::infinity();
    float out = 0.0f;
    // An argument just beyond 2^20: x 0.3 alone exceeds it.
    const float beyond = 3.6e6f;
    EXPECT_FALSE(rods::wobbleFast(beyond, 0.0, 1.0, out));
    for (const float x : {beyond, -beyond, 1.0e20f, -3.0e38f, infF, -infF, std::nanf("")}) {
        for (const double t : {0.0, 77.7, 1.0e9, inf, std::nan("")}) {
            for (const double beat : {0.0, 2.0, 1.0e6, inf}) ASSERT_TRUE(sameAsLibrary(x, t, beat));
        }
    }
    for (const double t : {1.0e6, inf, -inf, std::nan("")}) EXPECT_FALSE(rods::wobbleFast(10.0f, t, 1.0, out)) << t;
    for (const double beat : {1.0e6, inf, std::nan("")}) EXPECT_FALSE(rods::wobbleFast(10.0f, 7.0, beat, out)) << beat;
}

TEST(RodWobble, TheGuardRefusesValuesNearARoundingBoundary)
{
    float out = 0.0f;
    // Halfway between the floats 2^-4 and 2^-4 + 2^-27 lies 2^-4 + 2^-28;
    // the margin is 2^-42 + |gain| 2^-39.
    const double half = 0x1p-4 + 0x1p-28;
    EXPECT_FALSE(rods::wobbleRoundsSafely(half, 0.0, out));
    EXPECT_FALSE(rods::wobbleRoundsSafely(half + 0x1p-43, 0.0, out));
    EXPECT_TRUE(rods::wobbleRoundsSafely(half + 0x1p-41, 0.0, out));
    EXPECT_EQ(out, 0x1p-4f + 0x1p-27f);
    EXPECT_TRUE(rods::wobbleRoundsSafely(half - 0x1p-41, 0.0, out));
    EXPECT_EQ(out, 0x1p-4f);
    // With the gain the margin grows: 2^-41 past the halfway point is no
    // longer safe for a gain of 0.15.
    EXPECT_FALSE(rods::wobbleRoundsSafely(half + 0x1p-41, 0.15, out));
    EXPECT_TRUE(rods::wobbleRoundsSafely(half + 0x1p-38, 0.15, out));
    // Around 0 the two ends have opposite signs.
    EXPECT_FALSE(rods::wobbleRoundsSafely(0.0, 0.0, out));
    EXPECT_FALSE(rods::wobbleRoundsSafely(-0x1p-43, 0.0, out));
}

TEST(RodWobble, ValuesTheGuardRefusesStillGiveTheLibrarysBits)
{
    // Collect points the guard refuses (near boundaries or near 0) and check
    // that the fallback gives the library's float.
    std::mt19937_64 random(43);
    std::uniform_real_distribution<float> near(-2000.0f, 2000.0f);
    std::uniform_real_distribution<double> time(0.0, 400.0);
    int refused = 0;
    for (int i = 0; i < 2000000 && refused < 500; ++i) {
        const float x = near(random);
        const double t = time(random);
        const double beat = double(float(i % 3));
        float out;
        if (rods::wobbleFast(x, t, beat, out)) continue;
        ++refused;
        ASSERT_TRUE(sameAsLibrary(x, t, beat));
    }
    EXPECT_EQ(refused, 500);
}

TEST(RodWobble, TheFastScenesWobbleIsTheFormulas)
{
    // Scene 4 on both paths at points whose wobble the guard refuses and at
    // ordinary ones, the beat on and off.
    resetDemoState();
    std::mt19937 random(47);
    std::uniform_real_distribution<float> near(-1500.0f, 1500.0f);
    for (const float pulse : {0.0f, 2.5f}) {
        relaxedStore(demo.beatPulse, pulse);
        demo.timeSec = 77.7;
        CellContext cell{};
        for (int i = 0; i < 200000; ++i) {
            const float x = i % 1000 == 0 ? 0.0f : near(random), y = near(random), z = near(random);
            const float expected = scene4Distance(x, y, z);
            const float actual = fastscene::scene4(cell, x, y, z);
            ASSERT_EQ(bitsOf(expected), bitsOf(actual)) << x << " " << y << " " << z;
        }
    }
}

}  // namespace
