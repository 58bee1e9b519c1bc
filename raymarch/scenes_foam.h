// Scenes 1 and 3: two lattices of foam. Both intersect a big period-20 shape
// with the complement of radius-1 holes at the odd coordinates (period 2),
// whose neighbours touch, so every surface is riddled with holes.
//
// One formula for both renderers: Path (see scenes.h) says how to fold.
#pragma once

#include "raymarch/scenes.h"

namespace foam {

constexpr double FINE_PERIOD = 2.0;
constexpr double CELL_PERIOD = 20.0;
constexpr float HOLE_RADIUS = 1.0f;
constexpr double BALL_REST_RADIUS = 7.0;     // scene 1, swells by accentPulse
constexpr float FRAME_BALL_RADIUS = 13.0f;  // scene 3, overlapping balls

// Negative outside the holes of the period-2 lattice.
template <class Path, class F>
inline F holeLattice(F x, F y, F z)
{
    return -sphereDistance(Path::fold(x, FINE_PERIOD), Path::fold(y, FINE_PERIOD), Path::fold(z, FINE_PERIOD),
                           HOLE_RADIUS);
}

// The larger of two distances; the first wins a tie.
template <class F>
inline F larger(F a, F b)
{
    return pick(b > a, b, a);
}

template <class Path, class F>
inline F scene1(typename Path::Context&, F x, F y, F z)
{
    const F holes = holeLattice<Path>(x, y, z);
    const float radius = float(double(relaxedLoad(demo.accentPulse)) + BALL_REST_RADIUS);
    const F balls = sphereDistance(Path::fold(x, CELL_PERIOD), Path::fold(y, CELL_PERIOD),
                                       Path::fold(z, CELL_PERIOD), radius);
    return larger(holes, balls);
}

template <class Path, class F>
inline F scene3(typename Path::Context&, F x, F y, F z)
{
    const F holes = holeLattice<Path>(x, y, z);
    // Balls of radius 13 in 20-unit cells overlap; outside their union only
    // beams along the cell edges remain.
    const F beams = -sphereDistance(Path::fold(x, CELL_PERIOD), Path::fold(y, CELL_PERIOD),
                                        Path::fold(z, CELL_PERIOD), FRAME_BALL_RADIUS);
    return larger(holes, beams);
}

}  // namespace foam
