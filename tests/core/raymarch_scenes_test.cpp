// The six scene distance functions and the dispatch that selects them. Each
// scene is checked at points whose distances are known from its geometry (cell
// centres, channel walls, rod axes), under the pulses that swell it, and below
// -500 where the fold stops repeating. The side channels are checked too:
// scene 2 takes its cell phases from samplePoint rather than from its
// argument, and scene 4 writes hitMaterial on every call while scene 5 never
// touches it. A scene wired to the wrong id, a fold with the wrong offset or
// period, a swapped minimum and maximum, or a phase read from the wrong point
// fails here. Values with more digits than the geometry gives were computed
// independently in float32 arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "fake_platform.h"
#include "raymarch/march.h"
#include "raymarch/scenes.h"

namespace {

// Geometric values quoted to four decimals (sqrt 2, sqrt 3 and the like).
constexpr float FOUR_DECIMALS = 5e-5f;

class RaymarchScenes : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }
};

TEST_F(RaymarchScenes, FoamLattices)
{
    // (10, 10, 10) is a big ball's centre and a corner of the hole lattice.
    EXPECT_NEAR(scene1Distance(10, 10, 10), 1.0f - std::sqrt(3.0f), FOUR_DECIMALS);
    // (1, 1, 1) is a hole's centre, 9 sqrt 3 from the nearest ball centre.
    EXPECT_NEAR(scene1Distance(1, 1, 1), 9.0f * std::sqrt(3.0f) - 7.0f, FOUR_DECIMALS);
    relaxedStore(demo.accentPulse, 3.0f);
    EXPECT_NEAR(scene1Distance(1, 1, 1), 9.0f * std::sqrt(3.0f) - 10.0f, FOUR_DECIMALS);
    relaxedStore(demo.accentPulse, 1.3f);
    EXPECT_EQ(scene1Distance(3.3f, -7.1f, 12.9f), 0.6683540344238281f);
    // The frame of scene 3: a lattice corner is solid, a ball centre far
    // from it.
    EXPECT_NEAR(scene3Distance(0, 0, 0), 1.0f - std::sqrt(3.0f), FOUR_DECIMALS);
    EXPECT_EQ(scene3Distance(10, 10, 10), 13.0f);
}

TEST_F(RaymarchScenes, CubesTurnByTheSamplePointsCell)
{
    demo.timeSec = 17.3;
    demo.samplePoint = {-47, 3, 88};
    relaxedStore(demo.beatPulse, 2.0f);
    EXPECT_EQ(scene2Distance(10, 30, -10), -5.0f);
    relaxedStore(demo.accentPulse, 3.0f);
    EXPECT_EQ(scene2Distance(10, 30, -10), -float(3.0 * double(0.1f) + 5.0));

    // Elsewhere the turn depends on the phases of the samplePoint's cell.
    relaxedStore(demo.beatPulse, 0.0f);
    relaxedStore(demo.accentPulse, 0.0f);
    demo.timeSec = 3.0;
    // Cells -1 and 0 along an axis share index 0 (truncation toward zero).
    demo.samplePoint = {-19, 19, 7};
    const float shared = scene2Distance(13, 4, 6.5f);
    EXPECT_EQ(shared, 0.7398848533630371f);
    demo.samplePoint = {19, -19, 7};
    EXPECT_EQ(scene2Distance(13, 4, 6.5f), shared);
    // Index -1 along x turns the cube differently.
    demo.samplePoint = {-21, 19, 7};
    EXPECT_EQ(scene2Distance(13, 4, 6.5f), 0.7125897407531738f);
    // The argument's own cell is not what picks the phase.
    demo.samplePoint = {-19, 19, 7};
    EXPECT_EQ(scene2Distance(13 + 200, 4, 6.5f), shared);
    // On the beat the cube twists along its axes.
    demo.timeSec = 12.5;
    relaxedStore(demo.beatPulse, 2.2f);
    relaxedStore(demo.accentPulse, 0.7f);
    demo.samplePoint = {33.5f, -41.25f, 7};
    EXPECT_EQ(scene2Distance(33.5f, -41.25f, 7), 3.9203057289123535f);
}

TEST_F(RaymarchScenes, RodGridThinsOnTheBeat)
{
    // A corner column of the outer solid, 17.5 sqrt 2 from the rod axes.
    EXPECT_NEAR(scene4Distance(0, 0, 0), 24.0f - 17.5f * std::sqrt(2.0f), FOUR_DECIMALS);
    EXPECT_EQ(demo.hitMaterial, 0);
    // On a rod axis: inside the rod, the holes are the nearest surface.
    EXPECT_NEAR(scene4Distance(0, 17.5f, 17.5f), 0.9f - std::sqrt(1.5f), FOUR_DECIMALS);
    EXPECT_EQ(demo.hitMaterial, 1);
    // 6.5 from the axis: 0.5 outside the rod of radius 6.
    EXPECT_EQ(scene4Distance(0, 17.5f, 24), 0.5f);
    relaxedStore(demo.beatPulse, 3.0f);  // w = 0.15: rod radius 1.5
    EXPECT_EQ(scene4Distance(0, 17.5f, 24), 5.0f);
    demo.timeSec = 7.25;
    relaxedStore(demo.beatPulse, 1.5f);
    EXPECT_EQ(scene4Distance(12.3f, 20.1f, -3.7f), 3.4216299057006836f);
}

TEST_F(RaymarchScenes, RodGridMaterialIsTheSquareAroundEachAxisWrittenOnEveryCall)
{
    demo.hitMaterial = 7;
    scene4Distance(0, 29.4f, 17.5f);
    EXPECT_EQ(demo.hitMaterial, 1);
    scene4Distance(0, 29.5f, 17.5f);  // exactly 12 off the axis
    EXPECT_EQ(demo.hitMaterial, 0);
    demo.hitMaterial = 7;
    scene4Distance(500, -500, 600);
    EXPECT_TRUE(demo.hitMaterial == 0 || demo.hitMaterial == 1);
}

TEST_F(RaymarchScenes, RodLatticeSwellsAndStopsRepeatingBelowMinus500)
{
    demo.hitMaterial = 7;
    EXPECT_NEAR(scene5Distance(0, 0, 0), std::sqrt(200.0f) - 2.0f, FOUR_DECIMALS);
    relaxedStore(demo.accentPulse, 3.0f);
    EXPECT_NEAR(scene5Distance(0, 0, 0), std::sqrt(200.0f) - 5.0f, FOUR_DECIMALS);
    EXPECT_EQ(demo.hitMaterial, 7);
    relaxedStore(demo.accentPulse, 0.0f);
    EXPECT_EQ(scene5Distance(-490, -5, -5), 3.0f);
    EXPECT_EQ(scene5Distance(-470, -5, -5), 3.0f);
    EXPECT_NEAR(scene5Distance(-510, -5, -5), std::sqrt(50.0f) - 2.0f, FOUR_DECIMALS);
}

TEST_F(RaymarchScenes, ChannelCube)
{
    EXPECT_EQ(scene6Distance(0, 0, 0), 10.0f);
    EXPECT_EQ(scene6Distance(-5, -5, -5), 15.0f);
    // The camera line of the scene: always 10 from the channel walls.
    for (float z : {-999.0f, -100.0f, -27.94f, 0.0f, 63.5f, 999.0f}) EXPECT_EQ(scene6Distance(90, 90, z), 10.0f);
    EXPECT_EQ(scene6Distance(10, 10, 10), 0.0f);
    EXPECT_EQ(scene6Distance(11, 11, 11), -1.0f);
    const float fineWall = float(4.75 - double(1.65f));
    EXPECT_EQ(scene6Distance(40, 40, 40), -fineWall);
    EXPECT_EQ(scene6Distance(44.75f, 44.75f, 44.75f), 1.65f);
    EXPECT_EQ(scene6Distance(45, 45, 45), float(double(1.65f) - 0.25));
    EXPECT_EQ(scene6Distance(1500, 0, 0), 500.0f);
    // Below -500 only the channels along that axis are left.
    EXPECT_EQ(scene6Distance(-545, -5, 40), -fineWall);
    EXPECT_EQ(scene6Distance(-455, -5, 40), 15.0f);
}

TEST_F(RaymarchScenes, DispatchFollowsTheEffectId)
{
    demo.timeSec = 5.5;
    relaxedStore(demo.accentPulse, 1.0f);
    relaxedStore(demo.beatPulse, 2.0f);
    const float x = 3.25f, y = -17.5f, z = 41.0f;
    demo.samplePoint = {x, y, z};
    const SceneDistance scenes[] = {scene1Distance, scene2Distance, scene3Distance,
                                    scene4Distance, scene5Distance, scene6Distance};
    float results[6];
    for (int id = 1; id <= 6; ++id) {
        demo.effectId = id;
        results[id - 1] = sceneDistanceAt(x, y, z);
        EXPECT_EQ(results[id - 1], scenes[id - 1](x, y, z)) << "effect " << id;
    }
    // The six answers differ, so a swapped pair of rows would show.
    EXPECT_EQ(std::set<float>(results, results + 6).size(), 6u);
    for (int id : {0, 7, 8, 9, -1}) {
        demo.effectId = id;
        EXPECT_EQ(sceneDistanceAt(x, y, z), 0.0f) << "effect " << id;
    }
}

}  // namespace
