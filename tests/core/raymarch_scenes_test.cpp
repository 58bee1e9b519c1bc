// The six scene distance functions, reached through the dispatch on effectId.
// Each scene is checked at points whose distances are known from its geometry
// (cell centres, channel walls, rod axes), under the pulses that swell it, and
// below -500 where the fold stops repeating. The side channels are checked
// too: scene 2 takes its cell phases from samplePoint rather than from its
// argument, and scene 4 writes hitMaterial on every call while the others
// never touch it. A scene wired to the wrong id, a fold with the wrong offset
// or period, a swapped minimum and maximum, or a phase read from the wrong
// point fails here. Values with more digits than the geometry gives were
// computed independently in float32 arithmetic.
#include <gtest/gtest.h>

#include <cmath>

#include "fake_platform.h"
#include "raymarch/march.h"

namespace {

// Geometric values quoted to four decimals (sqrt 2, sqrt 3 and the like).
constexpr float FOUR_DECIMALS = 5e-5f;
const float ANY = NAN;     // a distance not checked
constexpr int UNTOUCHED = 7;  // hitMaterial before each call
const float SQRT2 = std::sqrt(2.0f), SQRT3 = std::sqrt(3.0f), FINE_WALL = float(4.75 - double(1.65f));

TEST(RaymarchScenes, DistancesAtKnownPoints)
{
    const struct {
        int scene;
        Vector3 p;
        float expected, tolerance = 0, accent = 0, beat = 0;
        double time = 0;
        int material = UNTOUCHED;
        Vector3 samplePoint = {};
    } cases[] = {
        // Foam balls: (10, 10, 10) is a ball's centre and a hole lattice corner;
        // (1, 1, 1) a hole's centre, 9 sqrt 3 from the nearest ball centre.
        {1, {10, 10, 10}, 1.0f - SQRT3, FOUR_DECIMALS},
        {1, {1, 1, 1}, 9.0f * SQRT3 - 7.0f, FOUR_DECIMALS},
        {1, {1, 1, 1}, 9.0f * SQRT3 - 10.0f, FOUR_DECIMALS, 3.0f},
        {1, {3.3f, -7.1f, 12.9f}, 0.6683540344238281f, 0, 1.3f},
        // Foam frame: a lattice corner is solid, a ball centre far from it.
        {3, {0, 0, 0}, 1.0f - SQRT3, FOUR_DECIMALS},
        {3, {10, 10, 10}, 13.0f},
        // Cubes: at full beat the cube's turn is irrelevant at this point.
        {2, {10, 30, -10}, -5.0f, 0, 0, 2.0f, 17.3, UNTOUCHED, {-47, 3, 88}},
        {2, {10, 30, -10}, -float(3.0 * double(0.1f) + 5.0), 0, 3.0f, 2.0f, 17.3, UNTOUCHED, {-47, 3, 88}},
        // The turn follows the samplePoint's cell, not the argument's: cells -1
        // and 0 share index 0 (truncation toward zero), index -1 differs.
        {2, {13, 4, 6.5f}, 0.7398848533630371f, 0, 0, 0, 3.0, UNTOUCHED, {-19, 19, 7}},
        {2, {13, 4, 6.5f}, 0.7398848533630371f, 0, 0, 0, 3.0, UNTOUCHED, {19, -19, 7}},
        {2, {213, 4, 6.5f}, 0.7398848533630371f, 0, 0, 0, 3.0, UNTOUCHED, {-19, 19, 7}},
        {2, {13, 4, 6.5f}, 0.7125897407531738f, 0, 0, 0, 3.0, UNTOUCHED, {-21, 19, 7}},
        // On the beat the cube twists along its axes.
        {2, {33.5f, -41.25f, 7}, 3.9203057289123535f, 0, 0.7f, 2.2f, 12.5, UNTOUCHED, {33.5f, -41.25f, 7}},
        // Rod grid: a corner column of the outer solid, 17.5 sqrt 2 from the
        // rod axes; on an axis the holes are the nearest surface; 6.5 from an
        // axis is 0.5 outside the rod of radius 6, or of radius 1.5 at full beat.
        {4, {0, 0, 0}, 24.0f - 17.5f * SQRT2, FOUR_DECIMALS, 0, 0, 0, 0},
        {4, {0, 17.5f, 17.5f}, 0.9f - std::sqrt(1.5f), FOUR_DECIMALS, 0, 0, 0, 1},
        {4, {0, 17.5f, 24}, 0.5f, 0, 0, 0, 0, 1},
        {4, {0, 17.5f, 24}, 5.0f, 0, 0, 3.0f, 0, 1},
        {4, {12.3f, 20.1f, -3.7f}, 3.4216299057006836f, 0, 0, 1.5f, 7.25, 0},
        {4, {0, 29.4f, 17.5f}, ANY, 0, 0, 0, 0, 1},  // the material square: under 12 off the axis
        {4, {0, 29.5f, 17.5f}, ANY, 0, 0, 0, 0, 0},  // exactly 12
        // Rod lattice: swells with the accent, stops repeating below -500.
        {5, {0, 0, 0}, std::sqrt(200.0f) - 2.0f, FOUR_DECIMALS},
        {5, {0, 0, 0}, std::sqrt(200.0f) - 5.0f, FOUR_DECIMALS, 3.0f},
        {5, {-490, -5, -5}, 3.0f},
        {5, {-510, -5, -5}, std::sqrt(50.0f) - 2.0f, FOUR_DECIMALS},
        // Channel cube; (90, 90, z) is the camera line, 10 from the walls.
        {6, {0, 0, 0}, 10.0f},
        {6, {-5, -5, -5}, 15.0f},
        {6, {90, 90, -999}, 10.0f},
        {6, {90, 90, 999}, 10.0f},
        {6, {10, 10, 10}, 0.0f},
        {6, {11, 11, 11}, -1.0f},
        {6, {40, 40, 40}, -FINE_WALL},
        {6, {44.75f, 44.75f, 44.75f}, 1.65f},
        {6, {45, 45, 45}, float(double(1.65f) - 0.25)},
        {6, {1500, 0, 0}, 500.0f},
        {6, {-545, -5, 40}, -FINE_WALL},  // below -500 only the channels along x are left
        {6, {-455, -5, 40}, 15.0f},
    };
    for (const auto& c : cases) {
        fake::reset();
        demo.effectId = c.scene;
        relaxedStore(demo.accentPulse, c.accent);
        relaxedStore(demo.beatPulse, c.beat);
        demo.timeSec = c.time;
        demo.samplePoint = c.samplePoint;
        demo.hitMaterial = UNTOUCHED;
        const float d = sceneDistanceAt(c.p.x, c.p.y, c.p.z);
        const testing::Message where = testing::Message() << "scene " << c.scene << " at " << c.p.x << ","
                                                          << c.p.y << "," << c.p.z;
        if (!std::isnan(c.expected)) {
            EXPECT_NEAR(d, c.expected, c.tolerance) << where;
        }
        EXPECT_EQ(demo.hitMaterial, c.material) << where;
    }
    for (int id : {0, 7, 8, 9, -1}) {
        demo.effectId = id;
        EXPECT_EQ(sceneDistanceAt(3.25f, -17.5f, 41.0f), 0.0f) << "effect " << id;
    }
}

}  // namespace
