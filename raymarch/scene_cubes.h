// Scene 2: a lattice of spinning cubes. Every 20-unit cell holds one cube,
// turned about x, then y, then z. Each angle has a phase from the cell's index
// along that axis (taken from samplePoint, so the three normal samples of a hit
// share the phases of the march point), a slow drift with time, and a twist
// along the rotation's own axis that beatPulse switches on for a moment after
// each beat.
//
// One formula for both renderers: Path (see scenes.h) says how to fold, where
// samplePoint lives and how an angle's sine argument becomes its turn.
#pragma once

#include "raymarch/scenes.h"

namespace cubes {

constexpr double CELL_PERIOD = 20.0;
constexpr double CELL_INDEX_SCALE = double(0.05f);  // 1 / CELL_PERIOD, as a float
constexpr double CELL_PHASE = double(321.1f);       // phase step per cell index
constexpr double TWIST_SCALE = double(0.01f);       // twist per unit along the axis, per unit of beatPulse
constexpr double CUBE_HALF_SIZE = 5.0;
constexpr double CUBE_SWELL = double(0.1f);         // extra half-size per unit of accentPulse

// The turn by one rotation angle, amplitude * sin(cell phase + drift + twist):
// the sum rounded to float here, the rest by Path::spinTurn through spinAngle.
template <class Path, class F>
inline auto spinTurn(typename Path::Context& context, int axis, F cellCoordinate, double drift, F axisCoordinate,
                     float beat, double amplitude)
{
    // The cell index truncates toward zero, so cells -1 and 0 share index 0.
    const auto cellIndex = truncOf(widen(cellCoordinate) * CELL_INDEX_SCALE);
    const F argument = narrow(cellIndex * CELL_PHASE + drift + widen(axisCoordinate) * TWIST_SCALE * double(beat));
    return Path::spinTurn(context, axis, argument, amplitude);
}

template <class Path, class F>
inline F scene2(typename Path::Context& context, F x, F y, F z)
{
    const double t = demo.timeSec;
    const float beat = relaxedLoad(demo.beatPulse);
    const float accent = relaxedLoad(demo.accentPulse);
    const Point3<F> cell = context.samplePoint;

    const F qx = Path::fold(x, CELL_PERIOD);
    const F qy = Path::fold(y, CELL_PERIOD);
    const F qz = Path::fold(z, CELL_PERIOD);

    const auto a = spinTurn<Path>(context, 0, cell.x, t * double(0.04f), qx, beat, 11.5);
    const Point3<F> r1 = rotateX(qx, qy, qz, a);
    const auto b = spinTurn<Path>(context, 1, cell.y, t * double(0.05f), r1.y, beat, 15.5);
    const Point3<F> r2 = rotateY(qx, r1.y, r1.z, b);
    const auto g = spinTurn<Path>(context, 2, cell.z, t * double(0.07f), r2.z, beat, 17.5);
    const Point3<F> r3 = rotateZ(r2.x, r1.y, r2.z, g);

    const float halfSize = float(double(accent) * CUBE_SWELL + CUBE_HALF_SIZE);
    return cubeDistance(r3.x, r3.y, r2.z, halfSize);
}

}  // namespace cubes
