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

template <class Path>
inline float scene4(typename Path::Context& context, float x, float y, float z)
{
    // Wobble from the unfolded x, time and beat (rod_wobble.h).
    const float w = Path::wobble(context, x, demo.timeSec, double(relaxedLoad(demo.beatPulse)));

    const float qx = Path::fold(x, HOLE_PERIOD);
    const float qy = Path::fold(y, HOLE_PERIOD);
    const float qz = Path::fold(z, HOLE_PERIOD);
    const float gridY = Path::fold(y, ROD_GRID_PERIOD);
    const float gridZ = Path::fold(z, ROD_GRID_PERIOD);

    // The rod of radius 6 - 30w, and the solid beyond radius 24 + 30w.
    const float rodShrink = float(WOBBLE_TO_RADIUS * -double(w));
    const float inner = cylinderX(x, gridY, gridZ, ROD_RADIUS, rodShrink);
    const float wallGrowth = float(double(w) * WOBBLE_TO_RADIUS);
    const float outer = -cylinderX(x, gridY, gridZ, WALL_RADIUS, wallGrowth);

    // Colouring depends only on where the point sits in its rod cell.
    context.hitMaterial =
        std::fabs(gridY) < MATERIAL_HALF_WIDTH && std::fabs(gridZ) < MATERIAL_HALF_WIDTH ? 1 : 0;

    const float solid = inner <= outer ? inner : outer;
    const float holes = -sphereDistance(qx, qy, qz, ROD_HOLE_RADIUS);
    return holes >= solid ? holes : solid;
}

template <class Path>
inline float scene5(typename Path::Context&, float x, float y, float z)
{
    const float cx = Path::fold(x, LATTICE_PERIOD);
    const float cy = Path::fold(y, LATTICE_PERIOD);
    const float cz = Path::fold(z, LATTICE_PERIOD);
    const float qx = Path::fold(x, HOLE_PERIOD);
    const float qy = Path::fold(y, HOLE_PERIOD);
    const float qz = Path::fold(z, HOLE_PERIOD);
    const float swell = float(1.0 + double(relaxedLoad(demo.accentPulse)));

    const float rodX = cylinderX(cx, cy, cz, LATTICE_ROD_RADIUS, swell);
    const float rodY = cylinderY(cx, cy, cz, LATTICE_ROD_RADIUS, swell);
    const float rodZ = cylinderZ(cx, cy, cz, LATTICE_ROD_RADIUS, swell);
    const float rodsXY = rodY <= rodX ? rodY : rodX;
    const float rods = rodZ <= rodsXY ? rodZ : rodsXY;

    const float holes = -sphereDistance(qx, qy, qz, LATTICE_HOLE_RADIUS);
    return rods < holes ? holes : rods;
}

}  // namespace rods
