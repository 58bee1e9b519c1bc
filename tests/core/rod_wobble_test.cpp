// Scene 4's wobble on the fast path (wobbleExact, its guarded kernels) must be
// the float of the formula with the library's sine and cosine (wobble), bit
// for bit. A wrong sign or coefficient in a kernel, a fast path taken beyond
// its domain or for NaN and infinities, a guard whose margin ignores the gain
// or lets values near 0 through, or a fast scene 4 that takes its wobble from
// elsewhere shows up here as a float that differs from the library formula's.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "raymarch/fast_march.h"
#include "raymarch/fast_scenes.h"
#include "raymarch/rod_wobble.h"
#include "raymarch/scenes.h"

namespace {

uint32_t bitsOf(float f) { return std::bit_cast<uint32_t>(f); }

// wobbleExact, and wobbleFast when it accepts, against the library formula.
::testing::AssertionResult sameAsLibrary(float x, double t, double beat)
{
    const float expected = rods::wobble(x, t, beat), actual = rods::wobbleExact(x, t, beat);
    float fast = 0.0f;
    if (bitsOf(actual) == bitsOf(expected) && (!rods::wobbleFast(x, t, beat, fast) || bitsOf(fast) == bitsOf(expected)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::hexfloat << "x = " << x << ", t = " << t << ", beat = " << beat
                                         << ": library " << expected << ", fast " << actual;
}

TEST(RodWobble, TheFastWobbleAndTheFastScene4GiveTheLibraryFormulasBits)
{
    // Random points, times and beats (as the demo holds them, floats, and at
    // rest), every thousandth x = 0; scene 4 on both paths at the same x.
    resetDemoState();
    CellContext cell{};
    std::mt19937_64 random(41);
    std::uniform_real_distribution<float> near(-2500.0f, 2500.0f), far(-3.0e6f, 3.0e6f);
    std::uniform_real_distribution<double> time(0.0, 400.0), pulse(0.0, 3.0);
    int refused = 0;
    float out = 0.0f;
    for (int i = 0; i < 2000000; ++i) {
        const float x = i % 8 == 7 ? far(random) : i % 1000 == 0 ? 0.0f : near(random), y = near(random);
        const double t = time(random), beat = i % 4 == 0 ? 0.0 : double(float(pulse(random)));
        refused += !rods::wobbleFast(x, t, beat, out);
        ASSERT_TRUE(sameAsLibrary(x, t, beat));
        demo.timeSec = t;
        relaxedStore(demo.beatPulse, float(beat));
        ASSERT_EQ(bitsOf(scene4Distance(x, y, -y)), bitsOf(fastscene::scene4(cell, x, y, -y))) << x << " " << y;
    }
    // The library answers only near rounding boundaries and 0: about 0.2%.
    EXPECT_TRUE(refused > 500 && refused < 20000) << refused;
    // Consecutive floats as a ray's steps give them; tiny x of either sign
    // down to zero, where w shrinks to 0; beyond the domain, NaN, infinities.
    for (float x = 1999.0f; x < 2015.0f; x = std::nextafter(x, 3000.0f))
        for (const float sign : {1.0f, -1.0f}) ASSERT_TRUE(sameAsLibrary(sign * x, 77.7, 2.4000000953674316));
    for (float m = 0x1p-149f; m < 0x1p-6f; m = m < 0x1p-120f ? 2.0f * m : m * 1.0001f)
        for (const float x : {m, -m, 0.0f, -0.0f})
            for (const double t : {0.0, -0.0, 1.5}) ASSERT_TRUE(sameAsLibrary(x, t, t == 1.5 ? 2.0 : -t));
    for (const float x : {3.6e6f, -3.6e6f, -3.0e38f, float(HUGE_VAL), -float(HUGE_VAL), NAN})
        for (const double t : {0.0, 77.7, 1.0e9, HUGE_VAL, double(NAN)})
            ASSERT_TRUE(sameAsLibrary(x, t, t ? 2.0 : 1.0e6));
    // The guard: 2^-4 + 2^-28 is halfway between two floats, the margin
    // 2^-42 + |gain| 2^-39, so 2^-41 off is safe without gain, not with 0.15.
    EXPECT_FALSE(rods::wobbleRoundsSafely(0x1p-4 + 0x1p-28 + 0x1p-43, 0.0, out));
    EXPECT_TRUE(rods::wobbleRoundsSafely(0x1p-4 + 0x1p-28 - 0x1p-41, 0.0, out));
    EXPECT_EQ(out, 0x1p-4f);
    EXPECT_FALSE(rods::wobbleRoundsSafely(0x1p-4 + 0x1p-28 + 0x1p-41, 0.15, out));
    for (const float x : {0.0f, -0.0f, 1.0e-30f, 3.6e6f}) EXPECT_FALSE(rods::wobbleFast(x, 0.0, 0.0, out)) << x;
    for (const double v : {1.0e6, HUGE_VAL, double(NAN)})
        EXPECT_FALSE(rods::wobbleFast(10.0f, v, 1.0, out) || rods::wobbleFast(10.0f, 7.0, v, out)) << v;
}

#if defined(__x86_64__) || defined(__i386__)
TEST(RodWobble, TheVectorLanesGiveTheLibraryFormulasBits)
{
    if (!vectorLanesAvailable()) GTEST_SKIP() << "no AVX2";
    // Random points near and far, tiny ones down to zero, and beyond the
    // domain, mixed in each set of lanes; times and gains in and out of range.
    std::vector<float> x;
    std::mt19937 random(43);
    std::uniform_real_distribution<float> near(-2500.0f, 2500.0f), far(-3.0e6f, 3.0e6f);
    for (int i = 0; i < 100000; ++i) x.push_back(i % 8 == 7 ? far(random) : near(random));
    for (float m = 0x1p-149f; m < 0x1p-6f; m *= 1.5f) x.insert(x.end(), {m, -m, 0.0f, -0.0f});
    x.insert(x.end(), {3.6e6f, -3.6e6f, float(HUGE_VAL), -float(HUGE_VAL), NAN});
    std::vector<float> out(x.size());
    for (const double t : {77.7, 0.0, 1.0e9, double(NAN)})
        for (const double beat : {2.4000000953674316, 0.0, 1.0e6}) {
            wobbleByLanes(x.data(), int(x.size()), t, beat, out.data());
            for (size_t i = 0; i < x.size(); ++i)
                ASSERT_EQ(bitsOf(out[i]), bitsOf(rods::wobble(x[i], t, beat)))
                    << std::hexfloat << "x = " << x[i] << ", t = " << t << ", beat = " << beat;
        }
}
#endif

}  // namespace
