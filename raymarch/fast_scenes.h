// The six scenes for the fast cell loop: the formulas of the scene files, with
// the exact remainder in the folds and samplePoint and hitMaterial kept in the
// drawing thread's CellContext instead of demo. They must give the same bits
// as the scene files for every point; a change to a scene goes into both, and
// the equality tests of the fast path catch one that does not.
#pragma once

#include <bit>
#include <cstdint>

#include "raymarch/cell_context.h"
#include "raymarch/primitives.h"

namespace fastscene {

// Scenes 1 and 3 (scenes_foam.cpp).
inline float holeLattice(float x, float y, float z)
{
    return -sphereDistance(foldExact(x, 2.0), foldExact(y, 2.0), foldExact(z, 2.0), 1.0f);
}

inline float scene1(CellContext&, float x, float y, float z)
{
    const float holes = holeLattice(x, y, z);
    const float radius = float(double(relaxedLoad(demo.accentPulse)) + 7.0);
    const float balls = sphereDistance(foldExact(x, 20.0), foldExact(y, 20.0), foldExact(z, 20.0), radius);
    return balls > holes ? balls : holes;
}

inline float scene3(CellContext&, float x, float y, float z)
{
    const float holes = holeLattice(x, y, z);
    const float beams = -sphereDistance(foldExact(x, 20.0), foldExact(y, 20.0), foldExact(z, 20.0), 13.0f);
    return beams > holes ? beams : holes;
}

// Scene 2 (scene_cubes.cpp). The turn for each angle goes through the
// thread's memo, which gives the very bits axisTurn would.
inline AxisTurn spinTurn(SpinMemo& memo, float cellCoordinate, double drift, float axisCoordinate, float beat,
                         double amplitude)
{
    const double cellIndex = std::trunc(double(cellCoordinate) * double(0.05f));
    const float argument =
        float(cellIndex * double(321.1f) + drift + double(axisCoordinate) * double(0.01f) * beat);
    const uint32_t bits = std::bit_cast<uint32_t>(argument);
    if (memo.valid && memo.argumentBits == bits) return memo.turn;
    const float angle = float(double(float(std::sin(double(argument)))) * amplitude);
    memo = {true, bits, axisTurn(angle)};
    return memo.turn;
}

inline float scene2(CellContext& cell, float x, float y, float z)
{
    const double t = demo.timeSec;
    const float beat = relaxedLoad(demo.beatPulse);
    const float accent = relaxedLoad(demo.accentPulse);
    const Vector3 sample = cell.samplePoint;

    const float qx = foldExact(x, 20.0);
    const float qy = foldExact(y, 20.0);
    const float qz = foldExact(z, 20.0);

    const AxisTurn a = spinTurn(cell.spin[0], sample.x, t * double(0.04f), qx, beat, 11.5);
    const Vector3 r1 = rotateX(qx, qy, qz, a);
    const AxisTurn b = spinTurn(cell.spin[1], sample.y, t * double(0.05f), r1.y, beat, 15.5);
    const Vector3 r2 = rotateY(qx, r1.y, r1.z, b);
    const AxisTurn g = spinTurn(cell.spin[2], sample.z, t * double(0.07f), r2.z, beat, 17.5);
    const Vector3 r3 = rotateZ(r2.x, r1.y, r2.z, g);

    const float halfSize = float(double(accent) * double(0.1f) + 5.0);
    return cubeDistance(r3.x, r3.y, r2.z, halfSize);
}

// Scenes 4 and 5 (scenes_rods.cpp).
inline float scene4(CellContext& cell, float x, float y, float z)
{
    const double t = demo.timeSec;
    const double beat = relaxedLoad(demo.beatPulse);
    const double a = std::sin(double(x) * 0.1 + t * 6.0) * 0.05;
    const double b = std::sin(double(x) * 0.3 + t * 4.0) * 0.05;
    const double g = std::cos(double(x) * 0.2 + t * 5.0) * (beat * 0.05);
    const float w = float(g + (a - b));

    const float qx = foldExact(x, 2.0);
    const float qy = foldExact(y, 2.0);
    const float qz = foldExact(z, 2.0);
    const float gridY = foldExact(y, 45.0);
    const float gridZ = foldExact(z, 45.0);

    const float rodShrink = float(30.0 * -double(w));
    const float inner = cylinderX(x, gridY, gridZ, 6.0f, rodShrink);
    const float wallGrowth = float(double(w) * 30.0);
    const float outer = -cylinderX(x, gridY, gridZ, 24.0f, wallGrowth);

    cell.hitMaterial = std::fabs(gridY) < 12.0f && std::fabs(gridZ) < 12.0f ? 1 : 0;

    const float solid = inner <= outer ? inner : outer;
    const float holes = -sphereDistance(qx, qy, qz, 0.9f);
    return holes >= solid ? holes : solid;
}

inline float scene5(CellContext&, float x, float y, float z)
{
    const float cx = foldExact(x, 20.0);
    const float cy = foldExact(y, 20.0);
    const float cz = foldExact(z, 20.0);
    const float qx = foldExact(x, 2.0);
    const float qy = foldExact(y, 2.0);
    const float qz = foldExact(z, 2.0);
    const float swell = float(1.0 + double(relaxedLoad(demo.accentPulse)));

    const float rodX = cylinderX(cx, cy, cz, 1.0f, swell);
    const float rodY = cylinderY(cx, cy, cz, 1.0f, swell);
    const float rodZ = cylinderZ(cx, cy, cz, 1.0f, swell);
    const float rodsXY = rodY <= rodX ? rodY : rodX;
    const float rods = rodZ <= rodsXY ? rodZ : rodsXY;

    const float holes = -sphereDistance(qx, qy, qz, 1.0f);
    return rods < holes ? holes : rods;
}

// Scene 6 (scene_channels.cpp). The middle grid's remainder is taken from
// the coarse one's: 30 divides 90, so fmod(fmod(a, 90), 30) is fmod(a, 30),
// and both remainders are exact, so the bits are the same.
inline float deepestChannel(float best, float x, float y, float z, float w)
{
    const float alongZ = -boxDistance(x, y, z, w, w, 1000.0f);
    const float alongX = -boxDistance(x, y, z, 1000.0f, w, w);
    const float alongY = -boxDistance(x, y, z, w, 1000.0f, w);
    if (alongZ > best) best = alongZ;
    if (alongX > best) best = alongX;
    if (alongY > best) best = alongY;
    return best;
}

struct CoarseAndMiddle {
    float coarse, middle;
};

inline CoarseAndMiddle channelFolds(float v)
{
    const float shifted = float(double(v) + 500.0);
    const double r90 = double(float(exactRemainder(double(shifted), 90.0)));
    double r30 = r90;
    if (r30 >= 60.0) r30 -= 60.0;
    else if (r30 >= 30.0) r30 -= 30.0;
    else if (r30 <= -60.0) r30 += 60.0;
    else if (r30 <= -30.0) r30 += 30.0;
    return {float(r90 - 45.0), float(double(float(r30)) - 15.0)};
}

inline float scene6(CellContext&, float x, float y, float z)
{
    const CoarseAndMiddle fx = channelFolds(x), fy = channelFolds(y), fz = channelFolds(z);
    float best = cubeDistance(x, y, z, 1000.0f);
    best = deepestChannel(best, fx.coarse, fy.coarse, fz.coarse, 15.0f);
    best = deepestChannel(best, fx.middle, fy.middle, fz.middle, 5.0f);
    best = deepestChannel(best, foldExact(x, 10.0, 500.25), foldExact(y, 10.0, 500.25), foldExact(z, 10.0, 500.25),
                          1.65f);
    return best;
}

// effectId 7 and 8 name no scene: every distance is 0.
inline float noScene(CellContext&, float, float, float) { return 0.0f; }

}  // namespace fastscene
