// sinRounded, cosRounded and sinCosRounded stand in for float(std::sin(double(x)))
// and float(std::cos(double(x))) in the fast cell loop, so they must give the
// library's bits for every float. These tests compare them with the library
// over millions of floats: random bit patterns, floats next to multiples of
// pi/4 (where the reduction cancels most), tiny and subnormal values, the edge
// of the handled range and beyond, zeros, infinities and NaN. They check that
// the rounding guard refuses estimates near a float rounding boundary (with
// its margin growing with the quadrant count) and that inputs whose value lies
// next to such a boundary go to the library and still agree.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>

#include "raymarch/fast_scenes.h"
#include "raymarch/rounded_trig.h"
#include "raymarch/scenes.h"

namespace {

uint32_t bitsOf(float f) { return std::bit_cast<uint32_t>(f); }
float floatOf(uint32_t bits) { return std::bit_cast<float>(bits); }

// Compares all three entry points with the library at x; returns false after
// the first difference so a loop can stop there.
::testing::AssertionResult agreesWithLibrary(float x)
{
    const uint32_t s = bitsOf(float(std::sin(double(x))));
    const uint32_t c = bitsOf(float(std::cos(double(x))));
    const RoundedSinCos both = sinCosRounded(x);
    if (bitsOf(sinRounded(x)) != s || bitsOf(cosRounded(x)) != c || bitsOf(both.s) != s || bitsOf(both.c) != c)
        return ::testing::AssertionFailure() << "x = " << std::hexfloat << x << " (bits " << std::hex << bitsOf(x)
                                             << ")";
    return ::testing::AssertionSuccess();
}

TEST(RoundedTrig, RandomBitPatternsGiveTheLibrarysBits)
{
    std::mt19937 random(13);
    int inDomain = 0;
    for (int i = 0; i < 2000000; ++i) {
        const float x = floatOf(uint32_t(random()));
        ASSERT_TRUE(agreesWithLibrary(x));
        inDomain += rounded_trig::inDomain(x);
    }
    // Random bits land in the handled range a little over half the time.
    EXPECT_GT(inDomain, 1000000);
}

TEST(RoundedTrig, RandomValuesInTheSceneRangesGiveTheLibrarysBits)
{
    std::mt19937 random(17);
    std::uniform_real_distribution<float> angle(-20.0f, 20.0f), wide(-1.0e6f, 1.0e6f);
    for (int i = 0; i < 1000000; ++i) {
        ASSERT_TRUE(agreesWithLibrary(angle(random)));
        ASSERT_TRUE(agreesWithLibrary(wide(random)));
    }
}

TEST(RoundedTrig, FloatsNextToMultiplesOfAQuarterPiGiveTheLibrarysBits)
{
    // Up to the edge of the handled range, with the 16 floats either side of
    // each multiple's nearest float.
    int checked = 0;
    for (double n = 1.0; n * std::numbers::pi / 4.0 < 1100000.0; n = n < 64.0 ? n + 1.0 : std::floor(n * 1.07)) {
        for (const double sign : {1.0, -1.0}) {
            float x = float(sign * n * std::numbers::pi / 4.0);
            for (int i = 0; i < 16; ++i) x = std::nextafter(x, 0.0f);
            for (int i = 0; i < 33; ++i, x = std::nextafter(x, float(sign) * 2.0e6f)) {
                ASSERT_TRUE(agreesWithLibrary(x));
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 10000);
}

TEST(RoundedTrig, TinyAndSubnormalValuesGiveTheLibrarysBits)
{
    std::mt19937 random(19);
    for (int i = 0; i < 500000; ++i) {
        // Magnitudes from the smallest subnormal up to 2^-8.
        const uint32_t magnitude = uint32_t(random()) % 0x3b800000u;
        ASSERT_TRUE(agreesWithLibrary(floatOf(magnitude)));
        ASSERT_TRUE(agreesWithLibrary(floatOf(magnitude | 0x80000000u)));
    }
    for (uint32_t bits = 1; bits < 4096; ++bits) ASSERT_TRUE(agreesWithLibrary(floatOf(bits)));
}

TEST(RoundedTrig, TheEdgeOfTheHandledRangeAndBeyondGiveTheLibrarysBits)
{
    const float edge = 1048576.0f;  // 2^20
    EXPECT_TRUE(rounded_trig::inDomain(edge));
    EXPECT_TRUE(rounded_trig::inDomain(-edge));
    EXPECT_FALSE(rounded_trig::inDomain(std::nextafter(edge, 2.0f * edge)));
    float x = edge;
    for (int i = 0; i < 100000; ++i) x = std::nextafter(x, 0.0f);
    for (int i = 0; i < 200000; ++i, x = std::nextafter(x, 2.0f * edge)) {
        ASSERT_TRUE(agreesWithLibrary(x));
        ASSERT_TRUE(agreesWithLibrary(-x));
    }
    std::mt19937 random(23);
    for (int i = 0; i < 100000; ++i) {
        const float huge = floatOf(0x49800001u + uint32_t(random()) % (0x7f800000u - 0x49800001u));
        ASSERT_FALSE(rounded_trig::inDomain(huge));
        ASSERT_TRUE(agreesWithLibrary(huge));
        ASSERT_TRUE(agreesWithLibrary(-huge));
    }
}

TEST(RoundedTrig, ZerosInfinitiesAndNaNGiveTheLibrarysBits)
{
    const float inf = std::numeric_limits<float>::infinity();
    for (const float x : {0.0f, -0.0f, inf, -inf, std::numeric_limits<float>::quiet_NaN(), -std::nanf("")}) {
        EXPECT_FALSE(rounded_trig::inDomain(x));
        EXPECT_TRUE(agreesWithLibrary(x));
    }
    // The sign of zero survives.
    EXPECT_EQ(bitsOf(sinRounded(-0.0f)), 0x80000000u);
    EXPECT_EQ(bitsOf(sinCosRounded(-0.0f).s), 0x80000000u);
}

TEST(RoundedTrig, TheGuardRefusesEstimatesNearARoundingBoundary)
{
    float out = 0.0f;
    // Halfway between 1 - 2^-24 and 1 is 1 - 2^-25: at it and within 2^-47
    // relative of it the guard refuses; 2^-40 away it accepts and rounds.
    const double half = 1.0 - 0x1p-25;
    EXPECT_FALSE(rounded_trig::roundSafely(half, 0.0, out));
    EXPECT_FALSE(rounded_trig::roundSafely(half + 0x1p-49, 0.0, out));
    EXPECT_FALSE(rounded_trig::roundSafely(half - 0x1p-49, 0.0, out));
    EXPECT_TRUE(rounded_trig::roundSafely(half + 0x1p-40, 0.0, out));
    EXPECT_EQ(out, 1.0f);
    EXPECT_TRUE(rounded_trig::roundSafely(half - 0x1p-40, 0.0, out));
    EXPECT_EQ(out, std::nextafter(1.0f, 0.0f));
    // Near a small value the margin grows with the quadrant count k, which
    // carries the reduction's error: 2^-64 past a halfway point near 2^-20
    // is safe for k = 0 (margin about 2^-67) but not for k = 2^19 (2^-62).
    const double smallHalf = 0x1p-20 + 0x1p-44;  // halfway between two floats
    EXPECT_TRUE(rounded_trig::roundSafely(smallHalf + 0x1p-64, 0.0, out));
    EXPECT_EQ(out, 0x1.000002p-20f);
    EXPECT_TRUE(rounded_trig::roundSafely(smallHalf + 0x1p-64, -3.0, out));
    EXPECT_FALSE(rounded_trig::roundSafely(smallHalf + 0x1p-64, 524288.0, out));
    EXPECT_FALSE(rounded_trig::roundSafely(smallHalf + 0x1p-64, -524288.0, out));
}

TEST(RoundedTrig, ValuesNextToABoundaryGoToTheLibraryAndAgree)
{
    float out = 0.0f;
    // cos(2^-12) = 1 - 2^-25 + 2^-50/24 - ...: a hair above the halfway point
    // between the two floats below 1.
    EXPECT_FALSE(rounded_trig::cosFast(0x1p-12f, out));
    EXPECT_FALSE(rounded_trig::cosFast(-0x1p-12f, out));
    // Sines and cosines found next to a boundary by a run over every float.
    for (const uint32_t bits : {0x39e89768u, 0x3a1285ffu, 0x3eb00d62u, 0x3f86b3d2u, 0x3fa0fa4eu})
        for (const uint32_t sign : {0u, 0x80000000u})
            EXPECT_FALSE(rounded_trig::sinFast(floatOf(bits | sign), out)) << std::hex << bits;
    for (const uint32_t bits : {0x39800000u, 0x39ddb3d7u, 0x3b41fd61u, 0x3dac4fc0u, 0x3dd00f5du})
        EXPECT_FALSE(rounded_trig::cosFast(floatOf(bits), out)) << std::hex << bits;
    for (const uint32_t bits : {0x39800000u, 0x39e89768u, 0x3a1285ffu, 0x3eb00d62u, 0x3f86b3d2u, 0x3fa0fa4eu,
                                0x39ddb3d7u, 0x3b41fd61u, 0x3dac4fc0u, 0x3dd00f5du}) {
        EXPECT_TRUE(agreesWithLibrary(floatOf(bits)));
        EXPECT_TRUE(agreesWithLibrary(floatOf(bits | 0x80000000u)));
    }
}

TEST(RoundedTrig, TheFastPathsTurnIsTheLibraryPathsTurn)
{
    // Scene 2's turn: the memo cleared each time so every turn is computed.
    std::mt19937 random(29);
    std::uniform_real_distribution<float> argument(-5000.0f, 5000.0f);
    const double amplitudes[] = {11.5, 15.5, 17.5};
    for (int i = 0; i < 300000; ++i) {
        const float a = argument(random);
        const double amplitude = amplitudes[i % 3];
        CellContext cell{};
        const AxisTurn fast = fastscene::ExactPath::spinTurn(cell, i % 3, a, amplitude);
        const AxisTurn library = axisTurn(spinAngle(a, amplitude));
        ASSERT_EQ(std::bit_cast<uint64_t>(fast.c), std::bit_cast<uint64_t>(library.c)) << a;
        ASSERT_EQ(std::bit_cast<uint64_t>(fast.s), std::bit_cast<uint64_t>(library.s)) << a;
    }
}

}  // namespace
