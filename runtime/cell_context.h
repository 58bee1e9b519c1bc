// What one thread of the fast cell loop keeps for the cell it is drawing: the
// per-cell values and the ray marcher's scratch, which the straightforward
// loop keeps in demo. Each thread has its own, so threads never share them.
#pragma once

#include "runtime/demo_state.h"

// The cosine and sine of an angle, rounded to float and held in double.
struct AxisTurn {
    double c, s;
};

// The last turn scene 2 derived for one of its three angles, keyed by the bits
// of the float argument of its sine. While beatPulse is 0 the argument is the
// same for every point of a 20-unit cell, so a ray marching through the cell
// needs the three sines and turns only once.
struct SpinMemo {
    bool valid;
    uint32_t argumentBits;
    AxisTurn turn;
};

struct CellContext {
    int cellX;            // column 0..79
    int cellY;            // row 0..49
    float cellU;          // cellX - 40
    float cellV;          // cellY - 25
    Vector3 samplePoint;  // the point the ray marcher is about to evaluate
    int hitMaterial;      // scene 4's classification of its last evaluated point
    SpinMemo spin[3];     // scene 2's last turns about x, y and z
};
