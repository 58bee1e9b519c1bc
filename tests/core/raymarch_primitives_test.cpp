// The geometric primitives of the ray marcher round to float at fixed points
// and nowhere else; a rounding added, dropped or moved shifts every surface by
// a last bit and changes whole regions of a picture. These tests pin the
// documented edge cases and, for each primitive with intermediate roundings,
// an input where the correct rounding and the tempting wrong one (float
// products, a division instead of a reciprocal, double cos/sin) give different
// floats. The expected values come from an independent float32 computation.
#include <gtest/gtest.h>

#include <limits>
#include <numbers>

#include "raymarch/primitives.h"

namespace {

// Rotations by pi/2 leave cos(pi/2) in float, about -4.4e-8, in the zero
// components; anything below this is "zero up to the rounding of cos and sin".
constexpr float ROUNDED_TRIG = 1e-7f;
const float QUARTER = float(std::numbers::pi / 2);
const float INF = std::numeric_limits<float>::infinity();

TEST(RaymarchPrimitives, ScalarsRoundWhereTheyShould)
{
    const struct { const char* what; float got, expected; } cases[] = {
        // 1e40 is beyond the float range: the rounded sum of squares is infinite.
        {"length2 overflow", length2(1e20f, 0.0f), INF},
        {"length3 overflow", length3(0.0f, 1e20f, 0.0f), INF},
        {"length2 without rounding the sum: 94.44953155517578",
         length2(-94.1989517211914f, -6.875469207763672f), 94.44953918457031f},
        {"length3 of float squares: 12.32038688659668",
         length3(8.867134094238281f, 2.9794909954071045f, 8.018010139465332f), 12.320385932922363f},
        {"dot3 rounding each product: -2.5025455951690674",
         dot3(-0.8427793383598328f, 1.845911979675293f, 0.15689387917518616f, 0.7113218903541565f,
              -1.1808819770812988f, 1.7639039754867554f),
         -2.5025458335876465f},
        {"cube, largest per-axis excess", cubeDistance(2.0f, -5.0f, 1.0f, 1), 4.0f},
        {"cylinderY ignores y", cylinderY(3.0f, 100.0f, 4.0f, 1, 1.0f), 3.0f},
        {"cylinderZ ignores z", cylinderZ(3.0f, 4.0f, 100.0f, 1, 1.0f), 3.0f},
        {"cylinder rounding after the first radius: 14.829341888427734",
         cylinderX(0.0f, 11.024120330810547f, -15.677885055541992f, 3.741990327835083f, 0.5944533348083496f),
         14.829340934753418f},
        {"fold cell edge", fold(0, 20), -10.0f},
        {"fold cell centre", fold(10, 20), 0.0f},
        {"fold near -500", fold(-490, 20), 0.0f},
        {"fold period 2 near -500", fold(-499, 2), 0.0f},
        // Below -500 the remainder keeps the dividend's sign: no repetition.
        {"fold below -500", fold(-510, 20), -20.0f},
        // v + 500 is rounded to float first: 1e-5 is lost in 500.00001.
        {"fold rounds v + 500", fold(1e-5f, 2), -1.0f},
        {"fold with another offset", fold(-5.25f, 10, 500.25), 0.0f},
        {"rotateX with double cos and sin: -3.87066912651062", rotateX(0, -3, 3, -1.2072665691375732f).y,
         -3.870669364929199f},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
}

TEST(RaymarchPrimitives, VectorsRoundWhereTheyShouldAndTurnOneWay)
{
    const struct {
        const char* what;
        Vector3 got, expected;
        float zeroTolerance = 0;  // allowed off 0 where 0 is expected
    } cases[] = {
        // One sense of turning for all three axes; x first, then y, then z.
        {"rotateZ", rotateZ(1, 0, 0, QUARTER), {0, -1, 0}, ROUNDED_TRIG},
        {"rotateX", rotateX(0, 0, 1, QUARTER), {0, 1, 0}, ROUNDED_TRIG},
        {"rotateY", rotateY(1, 0, 0, QUARTER), {0, 0, -1}, ROUNDED_TRIG},
        {"rotateXYZ order", rotateXYZ(0, 1, 0, QUARTER, QUARTER, 0), {-1, 0, 0}, ROUNDED_TRIG},
        // Carrying the components in double between the steps gives x 2.636939764022827.
        {"rotateXYZ", rotateXYZ(1, 2, 3, -0.8328604102134705f, -2.0042636394500732f, -2.125788450241089f),
         {2.6369400024414062f, -2.59442138671875f, -0.5617166757583618f}},
        {"normalize zero", normalize({0, 0, 0}), {0, 0, 0}},
        // The squared length rounds to 0: returned unchanged.
        {"normalize tiny", normalize({1e-30f, 0, 0}), {1e-30f, 0, 0}},
        {"normalize by the float reciprocal", normalize({3, 0, 4}),
         {3.0f * float(1.0 / 5.0), 0, 4.0f * float(1.0 / 5.0)}},
        // 28 / |v| would give x 0.878006100654602.
        {"normalize", normalize({28, 8, 13}), {0.8780061602592468f, 0.2508589029312134f, 0.40764570236206055f}},
    };
    for (const auto& c : cases)
        for (auto axis : {&Vector3::x, &Vector3::y, &Vector3::z})
            EXPECT_NEAR(c.got.*axis, c.expected.*axis, c.expected.*axis == 0 ? c.zeroTolerance : 0.0f) << c.what;
}

}  // namespace
