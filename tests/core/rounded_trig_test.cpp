// sinRounded, cosRounded and sinCosRounded stand in for float(std::sin(double(x)))
// and float(std::cos(double(x))) in the fast cell loop, so they must give the
// library's bits for every float. A wrong polynomial coefficient, a reduction
// that loses bits near multiples of pi/4, a domain edge off by one float, a
// lost sign of zero or a guard that lets an estimate next to a float rounding
// boundary through shows up here as a float that differs from the library's.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "raymarch/fast_march.h"
#include "raymarch/rounded_trig.h"

namespace {

uint32_t bitsOf(float f) { return std::bit_cast<uint32_t>(f); }
float floatOf(uint32_t bits) { return std::bit_cast<float>(bits); }

// All three entry points against the library at x.
::testing::AssertionResult agreesWithLibrary(float x)
{
    const uint32_t s = bitsOf(float(std::sin(double(x)))), c = bitsOf(float(std::cos(double(x))));
    const RoundedSinCos both = sinCosRounded(x);
    if (bitsOf(sinRounded(x)) == s && bitsOf(cosRounded(x)) == c && bitsOf(both.s) == s && bitsOf(both.c) == c)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "x = " << std::hexfloat << x << " (bits " << std::hex << bitsOf(x) << ")";
}
::testing::AssertionResult agreesWithEitherSign(uint32_t bits)
{
    return agreesWithLibrary(floatOf(bits)) ? agreesWithLibrary(-floatOf(bits)) : agreesWithLibrary(floatOf(bits));
}

TEST(RoundedTrig, RandomAndHardFloatsGiveTheLibrarysBits)
{
    std::mt19937 random(13);
    std::uniform_real_distribution<float> angle(-20.0f, 20.0f), wide(-1.0e6f, 1.0e6f);
    for (int i = 0; i < 1500000; ++i) {
        // Any bit pattern (the handled range is 0 < |x| <= 2^20), scene-like
        // angles, and tiny and subnormal magnitudes up to 2^-8 of either sign.
        const float x = floatOf(uint32_t(random()));
        ASSERT_EQ(rounded_trig::inDomain(x), std::fabs(x) > 0.0f && std::fabs(x) <= 0x1p20f) << x;
        ASSERT_TRUE(agreesWithLibrary(x));
        ASSERT_TRUE(agreesWithLibrary(i % 2 ? angle(random) : wide(random)));
        ASSERT_TRUE(agreesWithLibrary(floatOf(uint32_t(random()) % 0x3b800000u | (i % 2 ? 0x80000000u : 0u))));
    }
    // The 16 floats either side of multiples of pi/4 up to the edge, where
    // the reduction cancels most; every float around the edge; the smallest
    // subnormals; zeros, infinities and NaN.
    for (double n = 1.0; n * std::numbers::pi / 4.0 < 1100000.0; n = n < 64.0 ? n + 1.0 : std::floor(n * 1.07))
        for (uint32_t b = bitsOf(float(n * std::numbers::pi / 4.0)) - 16, end = b + 33; b < end; ++b)
            ASSERT_TRUE(agreesWithEitherSign(b));
    for (uint32_t b = bitsOf(0x1p20f) - 100000; b < bitsOf(0x1p20f) + 100000; ++b) ASSERT_TRUE(agreesWithEitherSign(b));
    for (uint32_t b = 1; b < 4096; ++b) ASSERT_TRUE(agreesWithEitherSign(b));
    for (const uint32_t b : {0u, 0x7f800000u, 0x7fc00000u}) EXPECT_TRUE(agreesWithEitherSign(b));  // 0, inf, NaN
}

TEST(RoundedTrig, TheGuardRefusesEstimatesNearARoundingBoundaryAndTheLibraryAnswers)
{
    float out = 0.0f;
    // 1 - 2^-25 is halfway between 1 - 2^-24 and 1: refused within 2^-47
    // relative of it, accepted and rounded 2^-40 away.
    const double half = 1.0 - 0x1p-25;
    EXPECT_FALSE(rounded_trig::roundSafely(half + 0x1p-49, 0.0, out));
    EXPECT_TRUE(rounded_trig::roundSafely(half - 0x1p-40, 0.0, out));
    EXPECT_EQ(out, std::nextafter(1.0f, 0.0f));
    // The margin grows with the quadrant count k, which carries the
    // reduction's error: safe for k = 0, not for k = -2^19.
    const double smallHalf = 0x1p-20 + 0x1p-44;
    EXPECT_TRUE(rounded_trig::roundSafely(smallHalf + 0x1p-64, 0.0, out));
    EXPECT_EQ(out, 0x1.000002p-20f);
    EXPECT_FALSE(rounded_trig::roundSafely(smallHalf + 0x1p-64, -524288.0, out));
    // Sines and cosAt next to a boundary, found by a run over every float.
    const uint32_t sinAt[] = {0x39e89768u, 0x3a1285ffu, 0x3eb00d62u, 0x3f86b3d2u, 0x3fa0fa4eu};
    const uint32_t cosAt[] = {0x39800000u, 0x39ddb3d7u, 0x3b41fd61u, 0x3dac4fc0u, 0x3dd00f5du};
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(rounded_trig::sinFast(floatOf(sinAt[i]), out) || rounded_trig::sinFast(-floatOf(sinAt[i]), out));
        EXPECT_FALSE(rounded_trig::cosFast(floatOf(cosAt[i]), out) || rounded_trig::cosFast(-floatOf(cosAt[i]), out));
        EXPECT_TRUE(agreesWithEitherSign(sinAt[i]));
        EXPECT_TRUE(agreesWithEitherSign(cosAt[i]));
    }
}

#if defined(__x86_64__) || defined(__i386__)
TEST(RoundedTrig, TheVectorLanesGiveTheLibrarysBitsAtTheDomainsEdges)
{
    if (!vectorLanesAvailable()) GTEST_SKIP() << "no AVX2";
    // Near multiples of pi/4, around 2^20, subnormals, zeros, infinities,
    // NaN, the floats the guard refuses, and random ones mixed among them so
    // that a set of lanes holds both refused and accepted values.
    std::vector<float> x;
    for (double n = 1.0; n * std::numbers::pi / 4.0 < 1100000.0; n = n < 64.0 ? n + 1.0 : std::floor(n * 1.3))
        for (uint32_t b = bitsOf(float(n * std::numbers::pi / 4.0)) - 4; b <= bitsOf(float(n * std::numbers::pi / 4.0)) + 4; ++b)
            x.push_back(floatOf(b));
    for (uint32_t b = bitsOf(0x1p20f) - 64; b < bitsOf(0x1p20f) + 64; ++b) x.push_back(floatOf(b));
    for (uint32_t b : {0u, 1u, 2u, 0x007fffffu, 0x00800000u, 0x7f800000u, 0x7fc00000u, 0x39e89768u, 0x3a1285ffu,
                       0x3eb00d62u, 0x3f86b3d2u, 0x3fa0fa4eu, 0x39800000u, 0x39ddb3d7u, 0x3b41fd61u, 0x3dac4fc0u,
                       0x3dd00f5du})
        x.push_back(floatOf(b));
    std::mt19937 random(17);
    for (int i = 0; i < 200000; ++i) x.push_back(i % 2 ? floatOf(uint32_t(random())) : float(random() % 40000) / 1000.0f);
    for (size_t i = 0, n = x.size(); i < n; ++i) x.push_back(-x[i]);
    std::vector<float> s(x.size()), c(x.size()), alone(x.size());
    sinCosByLanes(x.data(), int(x.size()), s.data(), c.data(), alone.data());
    for (size_t i = 0; i < x.size(); ++i) {
        // The sine of an infinity is a NaN whose sign differs between C
        // libraries (mingw-w64's is glibc's negated); no cell depends on it.
        const auto same = [](float got, double library) {
            return bitsOf(got) == bitsOf(float(library)) || (std::isnan(got) && std::isnan(library));
        };
        const double expectedS = std::sin(double(x[i])), expectedC = std::cos(double(x[i]));
        ASSERT_TRUE(same(s[i], expectedS) && same(alone[i], expectedS) && same(c[i], expectedC))
            << "x = " << std::hexfloat << x[i];
    }
}
#endif

}  // namespace
