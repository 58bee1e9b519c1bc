// Scenes 1 and 3: two lattices of foam. Both intersect a big period-20 shape
// with the complement of radius-1 holes at the odd coordinates (period 2),
// whose neighbours touch, so every surface is riddled with holes.
//
// The fast cell loop has its own copy of these formulas (fast_scenes.h); a
// change here goes there too, and the fast loop's equality tests fail until it
// does.
#include "raymarch/primitives.h"
#include "raymarch/scenes.h"

namespace {

constexpr double FINE_PERIOD = 2.0;
constexpr double CELL_PERIOD = 20.0;
constexpr float HOLE_RADIUS = 1.0f;
constexpr double BALL_REST_RADIUS = 7.0;     // scene 1, swells by accentPulse
constexpr float FRAME_BALL_RADIUS = 13.0f;  // scene 3, overlapping balls

// Negative outside the holes of the period-2 lattice.
float holeLattice(float x, float y, float z)
{
    return -sphereDistance(fold(x, FINE_PERIOD), fold(y, FINE_PERIOD), fold(z, FINE_PERIOD), HOLE_RADIUS);
}

// The larger of two distances; the first wins a tie.
float larger(float a, float b) { return b > a ? b : a; }

}  // namespace

float scene1Distance(float x, float y, float z)
{
    const float holes = holeLattice(x, y, z);
    const float radius = float(double(relaxedLoad(demo.accentPulse)) + BALL_REST_RADIUS);
    const float balls =
        sphereDistance(fold(x, CELL_PERIOD), fold(y, CELL_PERIOD), fold(z, CELL_PERIOD), radius);
    return larger(holes, balls);
}

float scene3Distance(float x, float y, float z)
{
    const float holes = holeLattice(x, y, z);
    // Balls of radius 13 in 20-unit cells overlap; outside their union only
    // beams along the cell edges remain.
    const float beams =
        -sphereDistance(fold(x, CELL_PERIOD), fold(y, CELL_PERIOD), fold(z, CELL_PERIOD), FRAME_BALL_RADIUS);
    return larger(holes, beams);
}
