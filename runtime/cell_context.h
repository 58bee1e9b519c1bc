// What one thread of the fast cell loop keeps for the cell it is drawing: the
// per-cell values and the ray marcher's scratch, which the straightforward
// loop keeps in demo. Each thread has its own, so threads never share them.
#pragma once

#include "runtime/demo_state.h"

struct CellContext {
    int cellX;            // column 0..79
    int cellY;            // row 0..49
    float cellU;          // cellX - 40
    float cellV;          // cellY - 25
    Vector3 samplePoint;  // the point the ray marcher is about to evaluate
    int hitMaterial;      // scene 4's classification of its last evaluated point
};
