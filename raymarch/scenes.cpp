// The straightforward instantiations of the six scene formulas: the fold with
// the library fmod, samplePoint and hitMaterial in demo, every value computed
// on every call. They are the yardstick the fast cell loop is measured and
// checked against.
#include "raymarch/scene_channels.h"
#include "raymarch/scene_cubes.h"
#include "raymarch/scenes.h"
#include "raymarch/scenes_foam.h"
#include "raymarch/scenes_rods.h"

namespace {

struct LibraryPath {
    using Context = DemoState;
    static float fold(float v, double period, double offset = FOLD_OFFSET) { return ::fold(v, period, offset); }
    static TwoFolds foldTwice(float v, double outer, double inner, double offset)
    {
        return {::fold(v, outer, offset), ::fold(v, inner, offset)};
    }
    static AxisTurn spinTurn(DemoState&, int, float argument, double amplitude)
    {
        return axisTurn(spinAngle(argument, amplitude));
    }
    static float wobble(DemoState&, float x, double t, double beat) { return rods::wobble(x, t, beat); }
    static void markMaterial(DemoState& state, bool nearAxis) { state.hitMaterial = nearAxis ? 1 : 0; }
};

}  // namespace

float scene1Distance(float x, float y, float z) { return foam::scene1<LibraryPath>(demo, x, y, z); }
float scene2Distance(float x, float y, float z) { return cubes::scene2<LibraryPath>(demo, x, y, z); }
float scene3Distance(float x, float y, float z) { return foam::scene3<LibraryPath>(demo, x, y, z); }
float scene4Distance(float x, float y, float z) { return rods::scene4<LibraryPath>(demo, x, y, z); }
float scene5Distance(float x, float y, float z) { return rods::scene5<LibraryPath>(demo, x, y, z); }
float scene6Distance(float x, float y, float z) { return channels::scene6<LibraryPath>(demo, x, y, z); }
