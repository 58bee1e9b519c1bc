// The six scenes for the fast cell loop: the scene formulas instantiated with
// the exact remainder in the folds, samplePoint and hitMaterial kept in the
// drawing thread's CellContext instead of demo, and scene 2's turns through
// the thread's memo, their sines and cosines rounded to float by
// rounded_trig.h, and scene 4's wobble from rod_wobble.h's guarded kernels.
// Every point gives the same bits as the straightforward
// instantiations of scenes.cpp.
#pragma once

#include <bit>
#include <cstdint>

#include "raymarch/cell_context.h"
#include "raymarch/rounded_trig.h"
#include "raymarch/scene_channels.h"
#include "raymarch/scene_cubes.h"
#include "raymarch/scenes_foam.h"
#include "raymarch/scenes_rods.h"

namespace fastscene {

struct ExactPath {
    using Context = CellContext;
    static float fold(float v, double period, double offset = FOLD_OFFSET) { return foldExact(v, period, offset); }

    // The inner remainder is taken from the outer one.
    static TwoFolds foldTwice(float v, double outer, double inner, double offset)
    {
        const float shifted = float(double(v) + offset);
        return foldsOfRemainder(double(float(exactRemainder(double(shifted), outer))), outer, inner);
    }

    // The turn goes through the ray's memo for the axis, keyed by the bits
    // of the argument. sinRounded and sinCosRounded give the bits of the
    // library's sine and cosine rounded to float, so the turn is the very one
    // axisTurn(spinAngle(argument, amplitude)) gives.
    static AxisTurn spinTurn(CellContext& cell, int axis, float argument, double amplitude)
    {
        SpinMemo& memo = cell.spin[axis];
        const uint32_t bits = std::bit_cast<uint32_t>(argument);
        if (memo.valid && memo.argumentBits == bits) return memo.turn;
        const float angle = float(double(sinRounded(argument)) * amplitude);
        const RoundedSinCos turn = sinCosRounded(angle);
        memo = {true, bits, {double(turn.c), double(turn.s)}};
        return memo.turn;
    }

    // wobbleExact gives the bits of the library formula.
    static float wobble(CellContext&, float x, double t, double beat) { return rods::wobbleExact(x, t, beat); }
    static void markMaterial(CellContext& cell, bool nearAxis) { cell.hitMaterial = nearAxis ? 1 : 0; }
};

inline float scene1(CellContext& cell, float x, float y, float z) { return foam::scene1<ExactPath>(cell, x, y, z); }
inline float scene2(CellContext& cell, float x, float y, float z) { return cubes::scene2<ExactPath>(cell, x, y, z); }
inline float scene3(CellContext& cell, float x, float y, float z) { return foam::scene3<ExactPath>(cell, x, y, z); }
inline float scene4(CellContext& cell, float x, float y, float z) { return rods::scene4<ExactPath>(cell, x, y, z); }
inline float scene5(CellContext& cell, float x, float y, float z) { return rods::scene5<ExactPath>(cell, x, y, z); }
inline float scene6(CellContext& cell, float x, float y, float z)
{
    return channels::scene6<ExactPath>(cell, x, y, z);
}

// effectId 7 and 8 name no scene: every distance is 0.
inline float noScene(CellContext&, float, float, float) { return 0.0f; }

}  // namespace fastscene
