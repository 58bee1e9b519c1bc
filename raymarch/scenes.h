// The six scenes of the ray marcher, as signed-distance functions of a point:
// positive in free space, negative inside solid matter. Each fills all of
// space by folding it into repeating cells (the fold of primitives.h, offset
// 500, so the repetition stops below -500). The renderer reaches them through
// sceneDistanceAt, which looks effectId up in sceneTable; to add a scene, write
// its function and give it a row there.
//
// Each scene's formula is written once, as a template over a Path, in
// scenes_foam.h, scene_cubes.h, scenes_rods.h and scene_channels.h. A Path
// holds what the two renderers do differently:
//   Context                  where samplePoint and hitMaterial live (DemoState
//                            or a ray's CellContext), passed to every call;
//   fold(v, period, offset)  the fold of primitives.h, or one with the same bits;
//   foldTwice(v, outer, inner, offset)
//                            fold(v, outer, offset) and fold(v, inner, offset),
//                            where outer is three times inner;
//   spinTurn(context, axis, argument, amplitude)
//                            axisTurn(spinAngle(argument, amplitude)) for
//                            scene 2's rotation about axis 0, 1 or 2.
//   wobble(context, x, t, beat)
//                            rods::wobble(x, t, beat), scene 4's wobble, or
//                            one with the same bits;
//   markMaterial(context, nearAxis)
//                            scene 4's hitMaterial, 1 where nearAxis holds.
// The formulas are also templates over the point's float type F: one float,
// or four in vector lanes (lanes.h), with widen, narrow and pick.
// The functions below are the straightforward instantiations (the library
// fmod, demo's fields, every value per call); the fast cell loop instantiates
// the same templates in fast_scenes.h.
#pragma once

#include <cmath>

#include "raymarch/primitives.h"

using SceneDistance = float (*)(float x, float y, float z);

// Pulsing foam balls: period-20 balls of radius 7 + accentPulse, riddled by
// touching radius-1 holes on the period-2 lattice.
float scene1Distance(float x, float y, float z);
// Spinning cubes of half-size 5 + accentPulse/10 in 20-unit cells, each cell
// with its own phase, twisted along its axes by beatPulse. Reads samplePoint
// for the cell phase.
float scene2Distance(float x, float y, float z);
// A static frame of beams along the 20-unit cell edges, riddled like scene 1.
float scene3Distance(float x, float y, float z);
// A grid of wobbling rods along x, 45 apart, between walls of perforated
// solid. Writes hitMaterial (1 near a rod axis, else 0) on every call.
float scene4Distance(float x, float y, float z);
// A lattice of perforated rods along all three axes, 20 apart, swelling with
// accentPulse.
float scene5Distance(float x, float y, float z);
// A solid cube 2000 on a side pierced by square channels at three scales.
float scene6Distance(float x, float y, float z);

// The two folds of one coordinate that Path::foldTwice returns.
template <class F>
struct FoldPair {
    F outer, inner;
};
using TwoFolds = FoldPair<float>;

// Both folds from r, the remainder of the shifted coordinate by outer rounded
// to float: inner divides outer, so fmod(fmod(a, outer), inner) is
// fmod(a, inner), and both remainders are exact, so the bits are fold's.
template <class D>
inline auto foldsOfRemainder(D r, double outer, double inner)
{
    const D ri = pick(r >= 2.0 * inner, r - 2.0 * inner,
                      pick(r >= inner, r - inner,
                           pick(r <= -2.0 * inner, r + 2.0 * inner, pick(r <= -inner, r + inner, r))));
    return FoldPair<decltype(narrow(r))>{narrow(r - outer / 2.0), narrow(widen(narrow(ri)) - inner / 2.0)};
}

// Scene 2's angle for a sine argument: the sine rounded to float, the product
// rounded.
inline float spinAngle(float argument, double amplitude)
{
    return float(double(float(std::sin(double(argument)))) * amplitude);
}

struct SceneEntry {
    int id;                  // the effectId that selects the scene
    SceneDistance distance;  // its distance function
};

inline constexpr SceneEntry sceneTable[] = {
    {1, scene1Distance}, {2, scene2Distance}, {3, scene3Distance},
    {4, scene4Distance}, {5, scene5Distance}, {6, scene6Distance},
};
