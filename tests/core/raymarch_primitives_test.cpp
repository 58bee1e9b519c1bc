// The geometric primitives of the ray marcher round to float at fixed points
// and nowhere else; a rounding added, dropped or moved shifts every surface by
// a last bit and changes whole regions of a picture. These tests pin the
// documented edge cases and, for each primitive with intermediate roundings,
// an input where the correct rounding and the tempting wrong one (float
// products, a division instead of a reciprocal, double cos/sin) give different
// floats. The expected values come from an independent float32 computation.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "raymarch/primitives.h"

namespace {

// Rotations by pi/2 leave cos(pi/2) in float, about -4.4e-8, in the zero
// components; anything below this is "zero up to the rounding of cos and sin".
constexpr float ROUNDED_TRIG = 1e-7f;

void expectExactly(Vector3 v, float x, float y, float z)
{
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
}

TEST(RaymarchPrimitives, LengthsRoundTheSumOfSquaresBeforeTheRoot)
{
    // 1e40 is beyond the float range: the rounded sum is infinite.
    EXPECT_EQ(length2(1e20f, 0.0f), std::numeric_limits<float>::infinity());
    EXPECT_EQ(length3(0.0f, 1e20f, 0.0f), std::numeric_limits<float>::infinity());
    EXPECT_EQ(length2(3.0f, 4.0f), 5.0f);
    // Without the rounding of the sum this gives 94.44953155517578.
    EXPECT_EQ(length2(-94.1989517211914f, -6.875469207763672f), 94.44953918457031f);
    // Summing float squares instead of double ones gives 12.32038688659668.
    EXPECT_EQ(length3(8.867134094238281f, 2.9794909954071045f, 8.018010139465332f), 12.320385932922363f);
}

TEST(RaymarchPrimitives, DotProductRoundsOnce)
{
    // Rounding each product gives -2.5025455951690674.
    EXPECT_EQ(dot3(-0.8427793383598328f, 1.845911979675293f, 0.15689387917518616f, 0.7113218903541565f,
                   -1.1808819770812988f, 1.7639039754867554f),
              -2.5025458335876465f);
}

TEST(RaymarchPrimitives, BoxesUseTheLargestPerAxisExcess)
{
    EXPECT_EQ(cubeDistance(0, 0, 0, 2), -2.0f);
    EXPECT_EQ(cubeDistance(2, -5, 1, 1), 4.0f);
    EXPECT_EQ(boxDistance(1, 1, 1, 2, 3, 4), -1.0f);
    EXPECT_EQ(sphereDistance(0, 3, -4, 1.5f), 3.5f);
}

TEST(RaymarchPrimitives, CylindersIgnoreTheirAxisAndSubtractBothRadiiBeforeRounding)
{
    EXPECT_EQ(cylinderX(100, 3, 4, 1, 1), 3.0f);
    EXPECT_EQ(cylinderY(3, 100, 4, 1, 1), 3.0f);
    EXPECT_EQ(cylinderZ(3, 4, 100, 1, 1), 3.0f);
    // Rounding after the first subtraction gives 14.829341888427734.
    EXPECT_EQ(cylinderX(0, 11.024120330810547f, -15.677885055541992f, 3.741990327835083f, 0.5944533348083496f),
              14.829340934753418f);
}

TEST(RaymarchPrimitives, FoldRepeatsAboveMinus500Only)
{
    EXPECT_EQ(fold(0, 20), -10.0f);
    EXPECT_EQ(fold(10, 20), 0.0f);
    EXPECT_EQ(fold(-490, 20), 0.0f);
    EXPECT_EQ(fold(-499, 2), 0.0f);
    // Below -500 the remainder keeps the dividend's sign: no repetition.
    EXPECT_EQ(fold(-510, 20), -20.0f);
    // v + 500 is rounded to float first: 1e-5 is lost in 500.00001, so the
    // result is the cell edge -1, not -0.99999.
    EXPECT_EQ(fold(1e-5f, 2), -1.0f);
    // A different offset moves the cell centres.
    EXPECT_EQ(fold(-5.25f, 10, 500.25), 0.0f);
}

TEST(RaymarchPrimitives, RotationsShareOneSenseAndUseFloatCosineAndSine)
{
    const float quarter = float(std::numbers::pi / 2);
    const Vector3 z = rotateZ(1, 0, 0, quarter);
    EXPECT_NEAR(z.x, 0.0f, ROUNDED_TRIG);
    EXPECT_EQ(z.y, -1.0f);
    EXPECT_EQ(z.z, 0.0f);
    const Vector3 x = rotateX(0, 0, 1, quarter);
    EXPECT_EQ(x.x, 0.0f);
    EXPECT_EQ(x.y, 1.0f);
    EXPECT_NEAR(x.z, 0.0f, ROUNDED_TRIG);
    const Vector3 y = rotateY(1, 0, 0, quarter);
    EXPECT_NEAR(y.x, 0.0f, ROUNDED_TRIG);
    EXPECT_EQ(y.y, 0.0f);
    EXPECT_EQ(y.z, -1.0f);
    // With the double cos and sin the y component is -3.87066912651062.
    EXPECT_EQ(rotateX(0, -3, 3, -1.2072665691375732f).y, -3.870669364929199f);
}

TEST(RaymarchPrimitives, RotateXYZRoundsBetweenTheSteps)
{
    // Carrying the intermediate components in double gives x 2.636939764022827.
    expectExactly(rotateXYZ(1, 2, 3, -0.8328604102134705f, -2.0042636394500732f, -2.125788450241089f),
                  2.6369400024414062f, -2.59442138671875f, -0.5617166757583618f);
    // Order: about x first, then y, then z.
    const float quarter = float(std::numbers::pi / 2);
    const Vector3 v = rotateXYZ(0, 1, 0, quarter, quarter, 0);
    EXPECT_NEAR(v.x, -1.0f, ROUNDED_TRIG);
    EXPECT_NEAR(v.y, 0.0f, ROUNDED_TRIG);
    EXPECT_NEAR(v.z, 0.0f, ROUNDED_TRIG);
}

TEST(RaymarchPrimitives, NormalizeMultipliesByTheFloatReciprocal)
{
    expectExactly(normalize({0, 0, 0}), 0, 0, 0);
    // The squared length rounds to 0: returned unchanged.
    expectExactly(normalize({1e-30f, 0, 0}), 1e-30f, 0, 0);
    expectExactly(normalize({3, 0, 4}), 3.0f * float(1.0 / 5.0), 0, 4.0f * float(1.0 / 5.0));
    // 28 / |v| would give 0.878006100654602.
    expectExactly(normalize({28, 8, 13}), 0.8780061602592468f, 0.2508589029312134f, 0.40764570236206055f);
}

}  // namespace
