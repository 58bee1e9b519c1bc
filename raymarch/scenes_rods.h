// Scenes 4 and 5: rods. Both fold space into cells, join infinite cylinders
// with a minimum and cut a lattice of spherical holes out of every surface
// with a maximum against the negated hole distance.
//
// One formula for both renderers: Path (see scenes.h) says how to fold and
// where hitMaterial lives.
#pragma once

#include "raymarch/rod_wobble.h"
#include "raymarch/scenes.h"

namespace rods {

constexpr double HOLE_PERIOD = 2.0;

// Scene 4: rods along x on a 45-unit grid in y and z.
constexpr double ROD_GRID_PERIOD = 45.0;
constexpr float ROD_RADIUS = 6.0f;           // shrinks by 30 w
constexpr float WALL_RADIUS = 24.0f;         // grows by 30 w
constexpr double WOBBLE_TO_RADIUS = 30.0;
constexpr float MATERIAL_HALF_WIDTH = 12.0f;  // square around each rod axis coloured as material 1
constexpr float ROD_HOLE_RADIUS = 0.9f;

// Scene 5: rods along all three axes on a 20-unit lattice.
constexpr double LATTICE_PERIOD = 20.0;
constexpr float LATTICE_ROD_RADIUS = 1.0f;  // plus 1 + accentPulse
constexpr float LATTICE_HOLE_RADIUS = 1.0f;

template <class Path, class F>
inline F scene4(typename Path::Context& context, F x, F y, F z)
{
    // Wobble from the unfolded x, time and beat (rod_wobble.h).
    const F w = Path::wobble(context, x, demo.timeSec, double(relaxedLoad(demo.beatPulse)));

    const F qx = Path::fold(x, HOLE_PERIOD);
    const F qy = Path::fold(y, HOLE_PERIOD);
    const F qz = Path::fold(z, HOLE_PERIOD);
    const F gridY = Path::fold(y, ROD_GRID_PERIOD);
    const F gridZ = Path::fold(z, ROD_GRID_PERIOD);

    // The rod of radius 6 - 30w, and the solid beyond radius 24 + 30w.
    const F rodShrink = narrow(WOBBLE_TO_RADIUS * -widen(w));
    const F wallGrowth = narrow(widen(w) * WOBBLE_TO_RADIUS);
    const F inner = cylinderX(x, gridY, gridZ, ROD_RADIUS, rodShrink);
    const F outer = -cylinderX(x, gridY, gridZ, WALL_RADIUS, wallGrowth);

    // Colouring depends only on where the point sits in its rod cell.
    Path::markMaterial(context, both(absOf(widen(gridY)) < double(MATERIAL_HALF_WIDTH),
                                     absOf(widen(gridZ)) < double(MATERIAL_HALF_WIDTH)));

    const F solid = pick(inner <= outer, inner, outer);
    const F holes = -sphereDistance(qx, qy, qz, ROD_HOLE_RADIUS);
    return pick(holes >= solid, holes, solid);
}

template <class Path, class F>
inline F scene5(typename Path::Context&, F x, F y, F z)
{
    const F cx = Path::fold(x, LATTICE_PERIOD);
    const F cy = Path::fold(y, LATTICE_PERIOD);
    const F cz = Path::fold(z, LATTICE_PERIOD);
    const F qx = Path::fold(x, HOLE_PERIOD);
    const F qy = Path::fold(y, HOLE_PERIOD);
    const F qz = Path::fold(z, HOLE_PERIOD);
    const float swell = float(1.0 + double(relaxedLoad(demo.accentPulse)));

    const F rodX = cylinderX(cx, cy, cz, LATTICE_ROD_RADIUS, swell);
    const F rodY = cylinderY(cx, cy, cz, LATTICE_ROD_RADIUS, swell);
    const F rodZ = cylinderZ(cx, cy, cz, LATTICE_ROD_RADIUS, swell);
    const F rodsXY = pick(rodY <= rodX, rodY, rodX);
    const F rods = pick(rodZ <= rodsXY, rodZ, rodsXY);

    const F holes = -sphereDistance(qx, qy, qz, LATTICE_HOLE_RADIUS);
    return pick(rods < holes, holes, rods);
}

}  // namespace rods
